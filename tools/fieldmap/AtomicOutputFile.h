#pragma once

#include <string>

// An output written under a temporary name beside its final path and renamed into place only
// when the run succeeds, so a failed or interrupted run never leaves a half-written file. Owns
// the temporary file: it is removed when this object goes without Commit.
class AtomicOutputFile {
 public:
  // An output whose directory does not exist is an input error, found before any work is done.
  explicit AtomicOutputFile(std::string finalPath);
  ~AtomicOutputFile();
  AtomicOutputFile(const AtomicOutputFile&) = delete;
  AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

  const std::string& TemporaryPath() const { return temporaryPath_; }
  const std::string& FinalPath() const { return finalPath_; }
  // The temporary path without its extension, for writers that append the extension themselves.
  std::string TemporaryBase() const;
  // Renames the temporary file to the final path; a failure is an input error naming both.
  void Commit();

 private:
  std::string finalPath_;
  std::string temporaryPath_;
  bool committed_ = false;
};
