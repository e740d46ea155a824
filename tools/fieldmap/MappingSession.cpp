#include "MappingSession.h"

MappingSession::MappingSession(const ZORSrvPosition& sourceRoot, const ZORSimDynamicID& sourceMesh,
                               ZORMtkSimWriter& writer, const ZORSimDynamicID& targetMesh)
    : writer_(writer), mapper_(sourceRoot) {
  source_.SetScope(sourceRoot, ScopeElementRegion, sourceMesh, cow_List<int>());
  target_.SetScope(writer.GetRootPosition(), ScopeElementRegion, targetMesh, cow_List<int>());
  mapper_.SetReader(&source_);
  mapper_.SetReader(&target_);
  mapper_.SetWriter(&writer_);
}

void MappingSession::Configure(const Settings& settings) {
  mapper_.SetUnplacedFill(settings.fill);
  mapper_.SetNearestFallback(settings.nearestFallback);
  mapper_.DefineSearchTolerance(settings.boundaryTolerance, settings.normalTolerance);
  mapper_.SetElementChoice(settings.choice);
  mapper_.SetThreadCount(settings.threads);
}

void MappingSession::FollowProgress(ZORMtkProgressCallback callback, void* context) {
  mapper_.SetProgressCallback(callback, context);
}

bool MappingSession::TargetHasPointTables() const {
  cow_List<cow_String> classes;
  target_.GetElementClassNames(classes);
  if (classes.IsEmpty()) return false;
  for (const cow_String& name : classes)
    if (ZORMtkElementData::GetNumIntPt(name) <= 0) return false;
  return true;
}

bool MappingSession::MapsToPoints(const DatabaseCatalog::Field& source) const {
  return source.integrationPoints && TargetHasPointTables();
}

ZORSimDynamicID MappingSession::Add(const std::string& requestName,
                                    const DatabaseCatalog::Field& source, int components,
                                    const std::string& targetFieldType, const Options& options) {
  Map_Tag tag = MapNodeToNode;
  Conserve_Tag conserve = options.conserve ? ConserveNodal : ConserveNone;
  const bool toPoints = MapsToPoints(source);
  if (source.integrationPoints) {
    // The point-to-point transfer has no conservative form.
    tag = toPoints ? MapIntPtToIntPt : MapIntPtToNode;
    conserve = options.conserve && !toPoints ? ConserveIntPt : ConserveNone;
  }
  const ZORSimDynamicID field =
      toPoints ? writer_.AddSimpleElementField(target_.meshID, targetFieldType, components)
               : writer_.AddSimpleNodeField(target_.meshID, targetFieldType, components);
  mapper_.AddMapSpec(requestName, tag, options.method, conserve, source_.meshID, target_.meshID,
                     source.record, field, false, false);
  return field;
}

int MappingSession::Map(const std::string& requestName, int sourceStep, int sourceIncrement) {
  return mapper_.MapField(requestName, sourceIncrement, 1, sourceStep, 1);
}

std::vector<int> MappingSession::FailedTargetNodes() const {
  // Code 2 lists source points instead when a reverse search recorded it; its text says which.
  constexpr int kFailedPoints = 2;
  cow_String message;
  cow_List<int> nodes;
  cow_List<double> unused;
  mapper_.ProcessError(kFailedPoints, message, nodes, unused);
  if (message.Str().find("target") == std::string::npos) return {};
  return std::vector<int>(nodes.begin(), nodes.end());
}

std::vector<MappingSession::Diagnostic> MappingSession::WithCodes(
    int flags, const std::vector<std::string>& texts) {
  ZORMtkDiagnosticsData recorded;
  recorded.SetError(flags);
  cow_List<int> codes;
  recorded.ListErrors(codes);
  std::vector<Diagnostic> diagnostics;
  for (std::size_t i = 0; i < texts.size() && i < static_cast<std::size_t>(codes.Size()); ++i)
    diagnostics.push_back(Diagnostic{codes[static_cast<int>(i)], texts[i]});
  return diagnostics;
}

std::vector<MappingSession::Diagnostic> MappingSession::Diagnostics() const {
  return WithCodes(mapper_.Diagnostics().ErrorFlags(), ZORMtkDiagnosticTexts::Of(mapper_));
}
