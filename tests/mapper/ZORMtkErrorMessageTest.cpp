#include "mapper/impl/ZORMtkErrorMessage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

cow_List<double> Counting(int count) {
  cow_List<double> values;
  for (int i = 0; i < count; ++i) values.Append(i);
  return values;
}

int CountOf(const std::string& text, char c) {
  return static_cast<int>(std::count(text.begin(), text.end(), c));
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TEST(ZORMtkErrorMessage, ListsEveryIntSeparatedByCommas) {
  EXPECT_EQ(ZORMtkErrorMessage::Expand("points: %LI", {5, 9}, {}), "points: 5, 9");
}

TEST(ZORMtkErrorMessage, IntAndDoubleCursorsAdvanceIndependently) {
  EXPECT_EQ(ZORMtkErrorMessage::Expand("a %I b %F c %I d %F.", {1, 2}, {1234.5, 0.5}),
            "a 1 b 1.23E+03 c 2 d 5.00E-01.");
}

TEST(ZORMtkErrorMessage, IntListStartsAtTheIntCursor) {
  EXPECT_EQ(ZORMtkErrorMessage::Expand("%I: %LI", {7, 8, 9}, {}), "7: 8, 9");
  EXPECT_EQ(ZORMtkErrorMessage::Expand("[%LI] [%LI]", {7, 8}, {}), "[7, 8] []");
}

TEST(ZORMtkErrorMessage, DoublesHaveTwoDigitExponents) {
  EXPECT_EQ(ZORMtkErrorMessage::Expand("%F %F %F", {}, {1e-5, -2.5, 0.0}),
            "1.00E-05 -2.50E+00 0.00E+00");
}

TEST(ZORMtkErrorMessage, PercentThatStartsNoPlaceholderIsDropped) {
  EXPECT_EQ(ZORMtkErrorMessage::Expand("100%", {}, {}), "100");
  EXPECT_EQ(ZORMtkErrorMessage::Expand("5%x", {}, {}), "5x");
  EXPECT_EQ(ZORMtkErrorMessage::Expand("%LX", {}, {}), "LX");
  EXPECT_EQ(ZORMtkErrorMessage::Expand("%%I", {3}, {}), "3");
  EXPECT_EQ(ZORMtkErrorMessage::Expand("no placeholders", {1}, {2.0}), "no placeholders");
}

TEST(ZORMtkErrorMessage, OneTripleHasNoSeparator) {
  EXPECT_EQ(ZORMtkErrorMessage::Expand("at%LC.", {}, {1.0, 2.0, 3.0}),
            "at (1.00E+00, 2.00E+00, 3.00E+00).");
}

// Every triple starts with a blank of its own, so the ", " between two triples shows as "),  (".
TEST(ZORMtkErrorMessage, ThirtyDoublesListTenTriplesWithoutNote) {
  const std::string text = ZORMtkErrorMessage::Expand("%LC", {}, Counting(30));
  EXPECT_EQ(text.rfind(" (0.00E+00, 1.00E+00, 2.00E+00),  (3.00E+00, 4.00E+00, 5.00E+00),  ", 0),
            0u);
  EXPECT_TRUE(EndsWith(text, "),  (2.70E+01, 2.80E+01, 2.90E+01)")) << text;
  EXPECT_EQ(CountOf(text, '('), 10);
  EXPECT_EQ(text.find("truncated"), std::string::npos);
}

TEST(ZORMtkErrorMessage, ThirtySixDoublesStopAfterTenTriplesWithNote) {
  const std::string text = ZORMtkErrorMessage::Expand("%LC", {}, Counting(36));
  EXPECT_TRUE(EndsWith(text, "),  (2.70E+01, 2.80E+01, 2.90E+01) ... list truncated")) << text;
  EXPECT_EQ(CountOf(text, '('), 10);
  EXPECT_EQ(text.find("3.00E+01"), std::string::npos);
}

TEST(ZORMtkErrorMessage, DoubleAfterTruncatedListIsTheFirstNotShown) {
  const std::string text = ZORMtkErrorMessage::Expand("%LC; next %F", {}, Counting(33));
  EXPECT_TRUE(EndsWith(text, " ... list truncated; next 3.00E+01")) << text;
}

TEST(ZORMtkErrorMessage, PlaceholderPastItsListLetsTheListErrorThrough) {
  EXPECT_THROW(ZORMtkErrorMessage::Expand("%I %I", {1}, {}), std::out_of_range);
  EXPECT_THROW(ZORMtkErrorMessage::Expand("%F", {}, {}), std::out_of_range);
  EXPECT_THROW(ZORMtkErrorMessage::Expand("%LC", {}, Counting(4)), std::out_of_range);
}
