#pragma once

#include <ostream>
#include <string>

// Byte string with value semantics, the string type of the exported signatures.
class cow_String {
 public:
  cow_String() = default;
  cow_String(const char* text) : text_(text ? text : "") {}  // NOLINT: implicit by design
  cow_String(std::string text) : text_(std::move(text)) {}   // NOLINT: implicit by design
  const char* CStr() const { return text_.c_str(); }
  const std::string& Str() const { return text_; }
  int Length() const { return static_cast<int>(text_.size()); }
  bool IsEmpty() const { return text_.empty(); }
  friend bool operator==(const cow_String& a, const cow_String& b) { return a.text_ == b.text_; }
  friend bool operator!=(const cow_String& a, const cow_String& b) { return a.text_ != b.text_; }
  friend bool operator<(const cow_String& a, const cow_String& b) { return a.text_ < b.text_; }
  friend std::ostream& operator<<(std::ostream& out, const cow_String& s) { return out << s.text_; }

 private:
  std::string text_;
};

// 8-bit string of the platform's string library.
using DRUString = cow_String;
