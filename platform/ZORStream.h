#pragma once

#include <ostream>

#include "platform/ZORExport.h"

// One of the platform's two output streams. It writes to the process's standard stream by
// default; a host or a test redirects it with SetTarget. Only one thread writes at a time.
class ZORMTK_EXPORT aio_Stream {
 public:
  explicit aio_Stream(std::ostream& defaultTarget) : default_(&defaultTarget), target_(nullptr) {}

  // Sends further output to target, or back to the standard stream when target is null.
  void SetTarget(std::ostream* target) { target_ = target; }
  std::ostream& Out() const { return target_ ? *target_ : *default_; }

  template <typename T>
  aio_Stream& operator<<(const T& value) {
    Out() << value;
    return *this;
  }
  aio_Stream& operator<<(std::ostream& (*manipulator)(std::ostream&)) {
    manipulator(Out());
    return *this;
  }
  void flush() { Out().flush(); }

 private:
  std::ostream* default_;
  std::ostream* target_;
};

ZORMTK_EXPORT extern aio_Stream aio_cout;
ZORMTK_EXPORT extern aio_Stream aio_cerr;
