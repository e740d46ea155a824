#pragma once

#include <stdexcept>
#include <string>

#include "platform/ZORExport.h"

// What went wrong, for a host that acts on the cause rather than on the text: a caller's
// mistake (a stale or foreign handle, a buffer that does not match its view), something asked
// for that is not there, a file that is damaged or of another format, a failing medium (a
// failed read or write, a full disk), or a file or folder the process may not use.
enum class ZORSimErrorKind { kInvalidArgument, kNotFound, kCorruption, kIO, kPermission };

// Every failure of the simulation database. The message names what is wrong, and for a file
// the file; the kind says which of the causes above it is. The mapping library never catches
// it; it reaches the host unchanged.
class ZORMTK_EXPORT ZORSimError : public std::runtime_error {
 public:
  explicit ZORSimError(const std::string& message,
                       ZORSimErrorKind kind = ZORSimErrorKind::kInvalidArgument)
      : std::runtime_error(message), kind_(kind) {}
  ZORSimErrorKind Kind() const { return kind_; }

 private:
  ZORSimErrorKind kind_;
};
