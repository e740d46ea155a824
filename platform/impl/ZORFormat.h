#pragma once

#include <string>

// printf-style formatting into a string. Exponents always have at least two digits
// ("%4.2E" of 1234.5 gives "1.23E+03"), on every platform, because the error texts handed to a
// host are compared byte for byte.
std::string ZORFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
