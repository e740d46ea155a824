// Creates, saves and reopens a database through the exported API only.
#include <cstdio>
#include <iostream>

#include "ZORGfmApi.h"

int main(int argc, char** argv) {
  const std::string file = argc > 1 ? argv[1] : "consumer.db";
  std::remove(file.c_str());
  ZORSrvSimAccess access;
  access.SetSchema(eds_SSDLallSource_Get());
  const char* document =
      "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>\n"
      "<dd:datadictionary xmlns:dd=\"urn:velzor:datadictionary\"><dd:modeldata "
      "xmlns=\"urn:velzor:modeldata\" xmlns:dd=\"urn:velzor:datadictionary\"><dd:block "
      "id=\"component\">"
      "<ComponentCollection id=\"collection\"/><Component id=\"C_SCALAR\" "
      "collection=\"collection\" "
      "symbol=\"C_SCALAR\"/><FocusComponentCollection focus=\"anchor:focus\" "
      "components=\"collection\"/>"
      "</dd:block></dd:modeldata></dd:datadictionary>";
  const ZORSrvPosition root = access.Create(file, "Input", document, "anchor:focus");
  root.Context().Save();
  const ZORSrvPosition reopened = ZORSrvSimAccess().Open(file);
  const ZORSimCollectionID components =
      ZORSrvPosition(reopened, reopened.Follow(eds_InputFragmentTypeIndex(11, 43), 0))
          .GetCollection();
  const int space = ZORSimCollection(reopened.Context(), components).Space();
  std::cout << "components " << space << "\n";
  return space == 1 ? 0 : 1;
}
