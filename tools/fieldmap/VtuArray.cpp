#include "VtuArray.h"

template <typename T>
VtuArray::VtuArray(std::string name, const char* type, int components, std::vector<T> values)
    : name_(std::move(name)), type_(type), components_(components) {
  const auto owned = std::make_shared<const std::vector<T>>(std::move(values));
  data_ = reinterpret_cast<const std::uint8_t*>(owned->data());
  size_ = owned->size() * sizeof(T);
  owner_ = owned;
}

VtuArray::VtuArray(std::string name, int components, std::vector<double> values)
    : VtuArray(std::move(name), "Float64", components, std::move(values)) {}

VtuArray::VtuArray(std::string name, int components, std::vector<std::uint8_t> values)
    : VtuArray(std::move(name), "UInt8", components, std::move(values)) {}

VtuArray::VtuArray(std::string name, int components, std::vector<std::int32_t> values)
    : VtuArray(std::move(name), "Int32", components, std::move(values)) {}

VtuArray::VtuArray(std::string name, int components, std::vector<std::int64_t> values)
    : VtuArray(std::move(name), "Int64", components, std::move(values)) {}
