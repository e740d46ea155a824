#include "mapper/impl/ZORMtkErrorMessage.h"

#include "platform/impl/ZORFormat.h"

namespace {

// Long coordinate lists would swamp a host's message window; ten points show the pattern.
constexpr int kMaxListedTriples = 10;

bool StartsWith(const std::string& text, std::size_t at, const char* prefix) {
  return text.compare(at, std::char_traits<char>::length(prefix), prefix) == 0;
}

}  // namespace

std::string ZORMtkErrorMessage::Expand(const std::string& message, const cow_List<int>& ints,
                                       const cow_List<double>& doubles) {
  std::string text;
  int nextInt = 0;
  int nextDouble = 0;
  std::size_t scan = 0;
  while (true) {
    const std::size_t percent = message.find('%', scan);
    if (percent == std::string::npos) {
      text.append(message, scan, std::string::npos);
      return text;
    }
    text.append(message, scan, percent - scan);
    const std::size_t after = percent + 1;
    if (StartsWith(message, after, "LI")) {
      text += RemainingInts(ints, nextInt);
      scan = after + 2;
    } else if (StartsWith(message, after, "I")) {
      text += std::to_string(ints[nextInt++]);
      scan = after + 1;
    } else if (StartsWith(message, after, "LC")) {
      text += Triples(doubles, nextDouble);
      scan = after + 2;
    } else if (StartsWith(message, after, "F")) {
      text += ZORFormat("%4.2E", doubles[nextDouble++]);
      scan = after + 1;
    } else {
      scan = after;
    }
  }
}

std::string ZORMtkErrorMessage::RemainingInts(const cow_List<int>& ints, int& next) {
  std::string text;
  for (; next < ints.Size(); ++next) {
    if (!text.empty()) text += ", ";
    text += std::to_string(ints[next]);
  }
  return text;
}

// After a truncated list the cursor stands behind the last triple shown.
std::string ZORMtkErrorMessage::Triples(const cow_List<double>& doubles, int& next) {
  std::string text;
  int listed = 0;
  while (next < doubles.Size()) {
    text +=
        ZORFormat(" (%4.2E, %4.2E, %4.2E)", doubles[next], doubles[next + 1], doubles[next + 2]);
    next += 3;
    ++listed;
    const bool more = next < doubles.Size();
    if (listed == kMaxListedTriples && more) {
      text += " ... list truncated";
      break;
    }
    if (more) text += ", ";
  }
  return text;
}
