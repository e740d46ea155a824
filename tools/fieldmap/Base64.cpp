#include "Base64.h"

#include <array>

namespace {

constexpr int kInvalid = -1;
constexpr int kPadding = -2;

constexpr std::array<int, 256> MakeTable() {
  std::array<int, 256> table{};
  for (int& entry : table) entry = kInvalid;
  const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(alphabet[i])] = i;
  table[static_cast<unsigned char>('=')] = kPadding;
  return table;
}
constexpr std::array<int, 256> kTable = MakeTable();

bool IsSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

// Appends the bytes of one complete group of four; returns false for a malformed group
// (padding before the third character, or data after padding).
bool AppendGroup(const int (&group)[4], std::vector<std::uint8_t>& out) {
  if (group[0] == kPadding || group[1] == kPadding) return false;
  if (group[2] == kPadding && group[3] != kPadding) return false;
  const std::uint32_t value = (static_cast<std::uint32_t>(group[0]) << 18) |
                              (static_cast<std::uint32_t>(group[1]) << 12) |
                              (group[2] >= 0 ? static_cast<std::uint32_t>(group[2]) << 6 : 0u) |
                              (group[3] >= 0 ? static_cast<std::uint32_t>(group[3]) : 0u);
  out.push_back(static_cast<std::uint8_t>(value >> 16));
  if (group[2] >= 0) out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
  if (group[3] >= 0) out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  return true;
}

}  // namespace

Base64::Result Base64::Decode(std::string_view text) {
  Result result;
  result.bytes.reserve(text.size() / 4 * 3);
  int group[4];
  int filled = 0;
  std::size_t groupStart = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsSpace(text[i])) continue;
    const int value = kTable[static_cast<unsigned char>(text[i])];
    if (value == kInvalid) {
      result.ok = false;
      result.errorPosition = i;
      return result;
    }
    if (filled == 0) groupStart = i;
    group[filled++] = value;
    if (filled < 4) continue;
    filled = 0;
    if (!AppendGroup(group, result.bytes)) {
      result.ok = false;
      result.errorPosition = groupStart;
      return result;
    }
  }
  if (filled != 0) {
    result.ok = false;
    result.errorPosition = groupStart;
  }
  return result;
}
