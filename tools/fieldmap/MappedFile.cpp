#include "MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "FieldmapError.h"

MappedFile::MappedFile(const std::string& fileName) {
  const int descriptor = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0)
    throw FieldmapError::Input(fileName, "",
                               std::string("cannot be opened: ") + std::strerror(errno));
  struct stat status {};
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(descriptor);
    throw FieldmapError::Input(fileName, "", "cannot be opened: not a regular file");
  }
  size_ = static_cast<std::size_t>(status.st_size);
  if (size_ > 0) {
    // Populated in one call: faulting the pages in one by one costs more than reading them.
    void* mapped = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, descriptor, 0);
    const int error = errno;
    ::close(descriptor);
    if (mapped == MAP_FAILED)
      throw FieldmapError::Input(fileName, "",
                                 std::string("cannot be read: ") + std::strerror(error));
    data_ = static_cast<const char*>(mapped);
  } else {
    ::close(descriptor);
  }
}

MappedFile::~MappedFile() {
  if (data_) ::munmap(const_cast<char*>(data_), size_);
}
