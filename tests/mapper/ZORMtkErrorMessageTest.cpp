#include "mapper/impl/ZORMtkErrorMessage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>

namespace {

cow_List<double> Counting(int count) {
  cow_List<double> values;
  for (int i = 0; i < count; ++i) values.Append(i);
  return values;
}

// The expected text of triples (0, 1, 2) ... listing `first` to `last` (3 doubles each). Every
// triple starts with a blank of its own, so the ", " between two shows as "),  (".
std::string Triples(int first, int last) {
  const auto format = [](int v) {
    char out[16];
    std::snprintf(out, sizeof out, "%.2E", static_cast<double>(v));
    return std::string(out);
  };
  std::string text;
  for (int t = first; t <= last; ++t)
    text += (t > first ? ",  (" : " (") + format(3 * t) + ", " + format(3 * t + 1) + ", " +
            format(3 * t + 2) + ")";
  return text;
}

}  // namespace

TEST(ZORMtkErrorMessage, PlaceholdersTakeTheirValuesInOrder) {
  struct Case {
    const char* format;
    cow_List<int> ints;
    cow_List<double> doubles;
    std::string expected;
  };
  const Case cases[] = {
      {"points: %LI", {5, 9}, {}, "points: 5, 9"},
      {"a %I b %F c %I d %F.", {1, 2}, {1234.5, 0.5}, "a 1 b 1.23E+03 c 2 d 5.00E-01."},
      {"%I: %LI", {7, 8, 9}, {}, "7: 8, 9"},
      {"[%LI] [%LI]", {7, 8}, {}, "[7, 8] []"},
      {"%F %F %F", {}, {1e-5, -2.5, 0.0}, "1.00E-05 -2.50E+00 0.00E+00"},
      {"at%LC.", {}, {1.0, 2.0, 3.0}, "at (1.00E+00, 2.00E+00, 3.00E+00)."},
      // A percent sign that starts no placeholder is dropped.
      {"100%", {}, {}, "100"},
      {"5%x", {}, {}, "5x"},
      {"%LX", {}, {}, "LX"},
      {"%%I", {3}, {}, "3"},
      {"no placeholders", {1}, {2.0}, "no placeholders"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ZORMtkErrorMessage::Expand(c.format, c.ints, c.doubles), c.expected) << c.format;
}

// Ten triples are listed whole; from eleven on the list stops after ten with a note, and the
// next %F takes the first double not shown.
TEST(ZORMtkErrorMessage, TripleListsStopAfterTenWithANote) {
  EXPECT_EQ(ZORMtkErrorMessage::Expand("%LC", {}, Counting(30)), Triples(0, 9));
  EXPECT_EQ(ZORMtkErrorMessage::Expand("%LC", {}, Counting(36)),
            Triples(0, 9) + " ... list truncated");
  EXPECT_EQ(ZORMtkErrorMessage::Expand("%LC; next %F", {}, Counting(33)),
            Triples(0, 9) + " ... list truncated; next 3.00E+01");
}

TEST(ZORMtkErrorMessage, PlaceholderPastItsListLetsTheListErrorThrough) {
  EXPECT_THROW(ZORMtkErrorMessage::Expand("%I %I", {1}, {}), std::out_of_range);
  EXPECT_THROW(ZORMtkErrorMessage::Expand("%F", {}, {}), std::out_of_range);
  EXPECT_THROW(ZORMtkErrorMessage::Expand("%LC", {}, Counting(4)), std::out_of_range);
}
