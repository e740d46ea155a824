#include "FieldmapError.h"

FieldmapError::FieldmapError(ExitStatus status, const std::string& message)
    : std::runtime_error(message), status_(status) {}

FieldmapError FieldmapError::Usage(const std::string& message) {
  return FieldmapError(ExitStatus::kUsage, message);
}

FieldmapError FieldmapError::Input(const std::string& file, const std::string& where,
                                   const std::string& problem) {
  std::string message = file;
  if (!where.empty()) message += ": " + where;
  return FieldmapError(ExitStatus::kBadInput, message + ": " + problem);
}
