#include "AtomicOutputFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "FieldmapError.h"

AtomicOutputFile::AtomicOutputFile(std::string finalPath) : finalPath_(std::move(finalPath)) {
  const std::filesystem::path path(finalPath_);
  const std::filesystem::path directory =
      path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  std::error_code error;
  if (!std::filesystem::is_directory(directory, error))
    throw FieldmapError::Input(finalPath_, "",
                               "the directory " + directory.string() + " does not exist");
  if (std::filesystem::is_directory(path, error))
    throw FieldmapError::Input(finalPath_, "", "is a directory, not a file name");
  // Hidden and marked with the process, so concurrent runs never share a temporary file; the
  // extension stays last because some writers append it to a base name.
  temporaryPath_ =
      (directory / ("." + path.stem().string() + ".part-" +
                    std::to_string(static_cast<long>(::getpid())) + path.extension().string()))
          .string();
}

AtomicOutputFile::~AtomicOutputFile() {
  if (committed_) return;
  std::remove(temporaryPath_.c_str());
  std::remove((temporaryPath_ + "-wal").c_str());
  std::remove((temporaryPath_ + "-shm").c_str());
}

std::string AtomicOutputFile::TemporaryBase() const {
  const std::filesystem::path path(temporaryPath_);
  return (path.parent_path() / path.stem()).string();
}

void AtomicOutputFile::Commit() {
  if (std::rename(temporaryPath_.c_str(), finalPath_.c_str()) != 0)
    throw FieldmapError::Input(
        finalPath_, "",
        "cannot be written (renaming " + temporaryPath_ + ": " + std::strerror(errno) + ")");
  committed_ = true;
}
