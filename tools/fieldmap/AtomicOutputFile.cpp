#include "AtomicOutputFile.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cctype>
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
  RemoveStaleTemporaries();
}

// ".STEM.part-PID.EXT" and the database's side files of it, for a PID whose process is gone.
void AtomicOutputFile::RemoveStaleTemporaries() const {
  const std::filesystem::path path(finalPath_);
  const std::filesystem::path directory(std::filesystem::path(temporaryPath_).parent_path());
  const std::string prefix = "." + path.stem().string() + ".part-";
  const std::string extension = path.extension().string();
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    std::size_t digits = prefix.size();
    while (digits < name.size() && std::isdigit(static_cast<unsigned char>(name[digits]))) ++digits;
    const std::string rest = name.substr(digits);
    const bool sideFile = rest == extension + "-wal" || rest == extension + "-shm" ||
                          rest == extension + "-journal" ||
                          rest.rfind(extension + ".saving-", 0) == 0;
    if (digits == prefix.size() || (rest != extension && !sideFile)) continue;
    const long pid = std::stol(name.substr(prefix.size(), digits - prefix.size()));
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
      std::filesystem::remove(entry.path(), error);
  }
}

bool AtomicOutputFile::Names(const std::string& path) const {
  struct stat in {
  }, out{};
  std::error_code error;
  const bool sameFile = ::stat(path.c_str(), &in) == 0 && ::stat(finalPath_.c_str(), &out) == 0 &&
                        in.st_dev == out.st_dev && in.st_ino == out.st_ino;
  const bool samePath = std::filesystem::weakly_canonical(path, error) ==
                            std::filesystem::weakly_canonical(finalPath_, error) &&
                        !error;
  return sameFile || samePath;
}

void AtomicOutputFile::RefuseInput(const std::string& input) const {
  if (Names(input))
    throw FieldmapError::Usage("the output " + finalPath_ + " is the input " + input +
                               "; an output never replaces an input, choose another name");
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

// The database's text rarely keeps the system's reason, so the two usual ones are looked for. A
// file system without blocks (/proc, /sys) reports no free space, but is not full.
FieldmapError AtomicOutputFile::WriteFailure(const std::string& detail) const {
  // The database names the file it wrote, the temporary one; the user knows only the output.
  const std::string temporaryPrefix = temporaryPath_ + ": ";
  std::string reason =
      detail.rfind(temporaryPrefix, 0) == 0 ? detail.substr(temporaryPrefix.size()) : detail;
  struct statvfs space {};
  struct rlimit limit {};
  const std::string directory = std::filesystem::path(temporaryPath_).parent_path().string();
  if (::statvfs(directory.c_str(), &space) == 0 && space.f_blocks > 0 &&
      static_cast<double>(space.f_bavail) * static_cast<double>(space.f_frsize) < 1e6)
    reason = "disk full";
  else if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
    reason = std::string(std::strerror(EFBIG)) + ": the file-size limit is " +
             std::to_string(limit.rlim_cur) + " bytes";
  std::error_code exists;
  return FieldmapError::Input(
      finalPath_, "",
      "cannot be written (" + reason + ")" +
          (std::filesystem::exists(finalPath_, exists) ? "; the file there before is unchanged"
                                                       : "; nothing was written"));
}
