#include "ScalarDecoder.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace {

constexpr ScalarDecoder::Type kTypes[] = {{"Int8", 1, false, true},   {"UInt8", 1, false, false},
                                          {"Int16", 2, false, true},  {"UInt16", 2, false, false},
                                          {"Int32", 4, false, true},  {"UInt32", 4, false, false},
                                          {"Int64", 8, false, true},  {"UInt64", 8, false, false},
                                          {"Float32", 4, true, true}, {"Float64", 8, true, true}};

static_assert(sizeof(double) == 8 && sizeof(float) == 4, "IEEE float and double expected");

template <typename S>
S Load(const std::uint8_t* at, bool swap) {
  std::uint8_t bytes[sizeof(S)];
  std::memcpy(bytes, at, sizeof(S));
  if (swap)
    for (std::size_t i = 0; i < sizeof(S) / 2; ++i) std::swap(bytes[i], bytes[sizeof(S) - 1 - i]);
  S value;
  std::memcpy(&value, bytes, sizeof(S));
  return value;
}

// Whether an integer array can hold the value exactly.
template <typename T, typename S>
bool Fits(S value) {
  if constexpr (std::is_floating_point_v<T>) {
    return true;
  } else if constexpr (std::is_floating_point_v<S>) {
    return std::isfinite(value) && value == std::trunc(value) &&
           value >= static_cast<S>(std::numeric_limits<T>::min()) &&
           value <= static_cast<S>(std::numeric_limits<T>::max());
  } else if constexpr (std::is_signed_v<S>) {
    return static_cast<std::int64_t>(value) >=
               static_cast<std::int64_t>(std::numeric_limits<T>::min()) &&
           (value < 0 || static_cast<std::uint64_t>(value) <=
                             static_cast<std::uint64_t>(std::numeric_limits<T>::max()));
  } else {
    return static_cast<std::uint64_t>(value) <=
           static_cast<std::uint64_t>(std::numeric_limits<T>::max());
  }
}

template <typename S, typename T>
std::size_t ConvertFrom(const std::uint8_t* bytes, std::size_t count, bool swap, T* out) {
  if (std::is_same_v<S, T> && !swap) {
    if (count > 0) std::memcpy(out, bytes, count * sizeof(T));
    return count;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const S value = Load<S>(bytes + i * sizeof(S), swap);
    if (!Fits<T>(value)) return i;
    out[i] = static_cast<T>(value);
  }
  return count;
}

}  // namespace

const ScalarDecoder::Type* ScalarDecoder::Find(std::string_view name) {
  for (const Type& type : kTypes)
    if (name == type.name) return &type;
  return nullptr;
}

const ScalarDecoder::Type& ScalarDecoder::Int32() { return kTypes[4]; }
const ScalarDecoder::Type& ScalarDecoder::UInt64() { return kTypes[7]; }
const ScalarDecoder::Type& ScalarDecoder::Float64() { return kTypes[9]; }

template <typename T>
std::size_t ScalarDecoder::Convert(const std::uint8_t* bytes, std::size_t count, const Type& type,
                                   bool bigEndian, T* out) {
  const bool swap = bigEndian != ScalarDecoder::kHostIsBigEndian && type.bytes > 1;
  if (type.isFloat)
    return type.bytes == 4 ? ConvertFrom<float>(bytes, count, swap, out)
                           : ConvertFrom<double>(bytes, count, swap, out);
  switch (type.bytes) {
    case 1:
      return type.isSigned ? ConvertFrom<std::int8_t>(bytes, count, swap, out)
                           : ConvertFrom<std::uint8_t>(bytes, count, swap, out);
    case 2:
      return type.isSigned ? ConvertFrom<std::int16_t>(bytes, count, swap, out)
                           : ConvertFrom<std::uint16_t>(bytes, count, swap, out);
    case 4:
      return type.isSigned ? ConvertFrom<std::int32_t>(bytes, count, swap, out)
                           : ConvertFrom<std::uint32_t>(bytes, count, swap, out);
    default:
      return type.isSigned ? ConvertFrom<std::int64_t>(bytes, count, swap, out)
                           : ConvertFrom<std::uint64_t>(bytes, count, swap, out);
  }
}

template std::size_t ScalarDecoder::Convert<double>(const std::uint8_t*, std::size_t, const Type&,
                                                    bool, double*);
template std::size_t ScalarDecoder::Convert<int>(const std::uint8_t*, std::size_t, const Type&,
                                                 bool, int*);
template std::size_t ScalarDecoder::Convert<std::int64_t>(const std::uint8_t*, std::size_t,
                                                          const Type&, bool, std::int64_t*);
