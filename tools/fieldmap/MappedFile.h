#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A whole input file mapped read-only into memory, so readers parse it where it lies: no copy of
// the file is made, and binary arrays are converted straight from the page cache into the
// arrays fieldmap keeps. Owns the mapping; not copyable.
class MappedFile {
 public:
  // An input error naming the file when it cannot be opened or mapped.
  explicit MappedFile(const std::string& fileName);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  std::string_view Text() const { return {data_, size_}; }

 private:
  const char* data_ = nullptr;
  std::size_t size_ = 0;
};
