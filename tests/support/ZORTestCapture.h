#pragma once

#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>

#include "platform/ZORStream.h"

// Sets an environment variable (unsets it, given no value) for the life of the object and puts
// back what was there before, so that no test leaks its configuration into the next.
class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(const char* name, const char* value) : name_(name) {
    if (const char* before = std::getenv(name)) before_ = before;
    Set(value);
  }
  ~ScopedEnvironmentVariable() { Set(before_ ? before_->c_str() : nullptr); }
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

  void Set(const char* value) const {
    if (value)
      ::setenv(name_.c_str(), value, 1);
    else
      ::unsetenv(name_.c_str());
  }

 private:
  std::string name_;
  std::optional<std::string> before_;
};

// Collects what the library writes to one of its streams while the object lives.
class CapturedStream {
 public:
  explicit CapturedStream(aio_Stream& stream) : stream_(stream) { stream_.SetTarget(&text_); }
  ~CapturedStream() { stream_.SetTarget(nullptr); }
  CapturedStream(const CapturedStream&) = delete;
  CapturedStream& operator=(const CapturedStream&) = delete;
  std::string Text() const { return text_.str(); }

 private:
  aio_Stream& stream_;
  std::ostringstream text_;
};
