#include "mapper/ZORMtkOwnedTable.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// Counts its destructions into a counter the test holds.
class Tracked {
 public:
  Tracked(int value, int& destroyed) : value_(value), destroyed_(destroyed) {}
  ~Tracked() { ++destroyed_; }
  int Value() const { return value_; }

 private:
  int value_;
  int& destroyed_;
};

}  // namespace

// The table is full at its capacity yet grows past it keeping slot order; Clear and destruction
// destroy every object once.
TEST(ZORMtkOwnedTable, GrowsPastItsCapacityAndDestroysEveryObjectOnce) {
  int destroyed = 0;
  {
    ZORMtkOwnedTable<Tracked> table(2);
    table.Append(std::make_unique<Tracked>(10, destroyed));
    EXPECT_FALSE(table.IsFull());
    for (int i = 1; i < 5; ++i) table.Append(std::make_unique<Tracked>(10 + i, destroyed));
    EXPECT_TRUE(table.IsFull());
    EXPECT_EQ(table.Count(), 5);
    EXPECT_EQ(table.Capacity(), 2);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(table.At(i)->Value(), 10 + i);
    EXPECT_EQ(destroyed, 0);
    table.Clear();
    EXPECT_EQ(destroyed, 5);
    EXPECT_EQ(table.Count(), 0);
    table.Append(std::make_unique<Tracked>(9, destroyed));
  }
  EXPECT_EQ(destroyed, 6);
}
