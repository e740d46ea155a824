#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The scalar types of binary mesh data (VTK's "Int8" .. "Float64", Gmsh's int, size_t and
// double) and the conversion of their bytes into the arrays fieldmap keeps: doubles for
// coordinates and values, ints for node indices, 64-bit integers for offsets. Where the file's
// type and byte order are the array's own, the conversion is one memcpy. Constant tables only.
class ScalarDecoder {
 public:
  struct Type {
    const char* name;
    int bytes;
    bool isFloat;
    bool isSigned;
  };

  static constexpr bool kHostIsBigEndian = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;

  // The type of a VTK XML type name, or null.
  static const Type* Find(std::string_view name);
  static const Type& Int32();
  static const Type& UInt64();
  static const Type& Float64();

  // Converts count values of type `type` at bytes, stored with the given byte order, into
  // out[0 .. count). Returns the index of the first value out's type cannot hold exactly (a
  // fraction or an out-of-range number for an integer array), or count when every value fits;
  // values after a misfit are left unconverted.
  template <typename T>
  static std::size_t Convert(const std::uint8_t* bytes, std::size_t count, const Type& type,
                             bool bigEndian, T* out);
};
