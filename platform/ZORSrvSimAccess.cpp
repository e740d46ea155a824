#include "platform/ZORSrvSimAccess.h"
#include "platform/impl/ZORSimDatabase.h"
#include "platform/impl/ZORSimDocumentLoader.h"
#include "platform/impl/ZORSimSqliteStore.h"
#include "platform/impl/ZORSimStorage.h"

namespace {
// The focus record is always the first object of a database.
constexpr std::int64_t kFocusObject = 1;
}  // namespace

void ZORSrvSimAccess::SetSchema(const char* schemaSource) {
  schema_ = schemaSource ? schemaSource : "";
}

ZORSrvPosition ZORSrvSimAccess::Create(const std::string& fileName, const std::string& /*role*/,
                                       const char* documentText, const std::string& focusBinding) {
  auto database = std::make_shared<ZORSimDatabase>(
      fileName, ZORSimSchemaTable::Parse(schema_.empty() ? eds_SSDLallSource_Get() : schema_));
  ZORSimObject focus;
  focus.kind = ZORSimObjectKind::kRecord;
  focus.tag = "Focus";
  database->CreateObject(std::move(focus));
  ZORSimDocumentLoader::Load(*database, documentText, focusBinding, kFocusObject);
  return ZORSrvPosition(ZORSimContext(database), database->Handle(kFocusObject));
}

ZORSrvPosition ZORSrvSimAccess::Open(const std::string& fileName) {
  auto database = ZORSimStorage::Open(ZORSimSqliteStore::OpenFile(fileName));
  if (database->ObjectCount() <= kFocusObject || database->Object(kFocusObject).tag != "Focus")
    throw ZORSimError(fileName + ": the database has no focus record (the file is corrupted)",
                      ZORSimErrorKind::kCorruption);
  return ZORSrvPosition(ZORSimContext(database), database->Handle(kFocusObject));
}

void ZORSrvSimAccess::Close(const ZORSrvPosition& position) {
  if (position.Context().IsOpen()) position.Context().Database().Close();
}
