#pragma once

#include <stdexcept>
#include <string>

// The exit statuses of fieldmap, as scripts rely on them.
enum class ExitStatus : int {
  kSuccess = 0,
  kUsage = 1,
  kBadInput = 2,
  kMappingProblems = 3,
};

// A failure that ends the run: what went wrong, in words a user can act on, and the exit status
// it maps to. Input errors name the file and, when known, the line or byte offset.
class FieldmapError : public std::runtime_error {
 public:
  FieldmapError(ExitStatus status, const std::string& message);

  // A command line that cannot be run: unknown option, missing argument.
  static FieldmapError Usage(const std::string& message);
  // A file that cannot be used: "file: where: problem", where being e.g. "line 12".
  static FieldmapError Input(const std::string& file, const std::string& where,
                             const std::string& problem);

  ExitStatus Status() const { return status_; }

 private:
  ExitStatus status_;
};
