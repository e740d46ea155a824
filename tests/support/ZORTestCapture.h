#pragma once

#include <cstdlib>
#include <sstream>
#include <string>

#include "platform/ZORStream.h"

// Sets an environment variable for the life of the object and unsets it afterwards, so that no
// test leaks its configuration into the next.
class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(const char* name, const char* value) : name_(name) {
    ::setenv(name, value, 1);
  }
  ~ScopedEnvironmentVariable() { ::unsetenv(name_.c_str()); }
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

 private:
  std::string name_;
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
