#pragma once

#include <string>

#include "FieldmapError.h"

// An output written under a temporary name beside its final path and renamed into place only
// when the run succeeds, so a failed or interrupted run never leaves a half-written file. Owns
// the temporary file: it is removed when this object goes without Commit. The temporary name
// carries the process id, so temporary files of this output left by a killed run are recognised
// and removed by the next run once their process is gone.
class AtomicOutputFile {
 public:
  // An output whose directory does not exist is an input error, found before any work is done.
  explicit AtomicOutputFile(std::string finalPath);
  ~AtomicOutputFile();
  AtomicOutputFile(const AtomicOutputFile&) = delete;
  AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

  const std::string& TemporaryPath() const { return temporaryPath_; }
  const std::string& FinalPath() const { return finalPath_; }
  // Refuses, before anything is written, an output that is the input file: the same file by
  // device and inode, or the same path once resolved. A usage error naming both.
  void RefuseInput(const std::string& input) const;
  // Whether path names this output: the same file by device and inode, or the same path once
  // resolved.
  bool Names(const std::string& path) const;
  // The error for a save into the temporary file that failed: it names the output and the
  // reason (a full disk, the file-size limit, else the writer's own text in detail), and says
  // that the output's old content is untouched.
  FieldmapError WriteFailure(const std::string& detail) const;
  // The temporary path without its extension, for writers that append the extension themselves.
  std::string TemporaryBase() const;
  // Renames the temporary file to the final path; a failure is an input error naming both.
  void Commit();

 private:
  void RemoveStaleTemporaries() const;

  std::string finalPath_;
  std::string temporaryPath_;
  bool committed_ = false;
};
