#include "platform/impl/ZORFormat.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

std::string ZORFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    text.assign(buffer.data(), static_cast<std::size_t>(length));
  }
  va_end(args);
  return text;
}
