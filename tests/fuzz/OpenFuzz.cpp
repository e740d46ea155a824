// libFuzzer target: any byte string written as a database file either opens and reads, or
// raises ZORSimError. Anything else (a crash, a sanitizer report, another exception) is a bug.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/ZORSimAPI.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string file = "/tmp/zorsim-fuzz-" + std::to_string(::getpid()) + ".db";
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (!out) return 0;
  std::fwrite(data, 1, size, out);
  std::fclose(out);
  try {
    const ZORSrvPosition root = ZORSrvSimAccess().Open(file);
    for (const ZORSimDynamicID& id : root.FollowList(eds_InputFragmentTypeIndex(11, 43), 0).Items())
      ZORSimCollection(root.Context(), ZORSrvPosition(root, id).GetCollection()).Space();
  } catch (const ZORSimError&) {
  }
  for (const char* suffix : {"", "-wal", "-shm"}) std::remove((file + suffix).c_str());
  return 0;
}
