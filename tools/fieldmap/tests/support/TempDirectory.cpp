#include "TempDirectory.h"

#include <cstdlib>
#include <string>

TempDirectory::TempDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "fieldmap-test-XXXXXX").string();
  path_ = ::mkdtemp(pattern.data());
}

TempDirectory::~TempDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}
