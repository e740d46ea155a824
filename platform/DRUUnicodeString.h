#pragma once

#include <string>

#include "platform/cow_String.h"

// Text that may hold characters beyond 8 bits. Stored as UTF-8; the library compares names after
// converting them to 8-bit characters, which for the ASCII names of the data dictionary is the
// identity.
class DRUUnicodeString {
 public:
  DRUUnicodeString() = default;
  DRUUnicodeString(const char* text) : text_(text ? text : "") {}  // NOLINT: implicit by design
  DRUUnicodeString(std::string text) : text_(std::move(text)) {}   // NOLINT: implicit by design
  DRUUnicodeString(const cow_String& text) : text_(text.Str()) {}  // NOLINT: implicit by design
  const std::string& Str() const { return text_; }
  // The 8-bit form used for byte-for-byte comparison with stored symbol names.
  std::string ToNarrow() const { return text_; }
  friend bool operator==(const DRUUnicodeString& a, const DRUUnicodeString& b) {
    return a.text_ == b.text_;
  }

 private:
  std::string text_;
};
