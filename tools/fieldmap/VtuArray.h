#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "VtkZlibCompressor.h"

// One data array of a .vtu file: its name, VTK value type, component count and values, which it
// owns. Copies share the values, so arrays move into a piece without copying them.
class VtuArray {
 public:
  VtuArray(std::string name, int components, std::vector<double> values);
  VtuArray(std::string name, int components, std::vector<std::uint8_t> values);
  VtuArray(std::string name, int components, std::vector<std::int32_t> values);
  VtuArray(std::string name, int components, std::vector<std::int64_t> values);

  const std::string& Name() const { return name_; }
  // "Float64", "UInt8", "Int32" or "Int64".
  const char* Type() const { return type_; }
  int Components() const { return components_; }
  VtkZlibCompressor::Span Bytes() const { return {data_, size_}; }

 private:
  template <typename T>
  VtuArray(std::string name, const char* type, int components, std::vector<T> values);

  std::string name_;
  const char* type_;
  int components_;
  std::shared_ptr<const void> owner_;
  const std::uint8_t* data_;
  std::size_t size_;
};
