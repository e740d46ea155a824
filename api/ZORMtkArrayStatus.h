#pragma once

#include <string>
#include <utility>

// The outcome of an array call: fine, or what was wrong with the host's arrays or options, in a
// sentence that names the mesh, the entry and the rule it breaks. The array interface reports
// bad input this way instead of throwing; failures of the database underneath still throw
// ZORSimError. A plain value.
class ZORMtkArrayStatus {
 public:
  static ZORMtkArrayStatus Ok() { return ZORMtkArrayStatus(std::string()); }
  static ZORMtkArrayStatus Invalid(std::string message) {
    return ZORMtkArrayStatus(std::move(message));
  }

  bool IsOk() const { return message_.empty(); }
  explicit operator bool() const { return IsOk(); }
  // Empty when the call succeeded.
  const std::string& Message() const { return message_; }

 private:
  explicit ZORMtkArrayStatus(std::string message) : message_(std::move(message)) {}
  std::string message_;
};
