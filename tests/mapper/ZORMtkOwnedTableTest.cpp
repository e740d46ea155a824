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

TEST(ZORMtkOwnedTable, GrowsPastItsCapacityKeepingSlotOrder) {
  int destroyed = 0;
  ZORMtkOwnedTable<Tracked> table(2);
  EXPECT_FALSE(table.IsFull());
  for (int i = 0; i < 5; ++i) table.Append(std::make_unique<Tracked>(10 + i, destroyed));
  EXPECT_EQ(table.Count(), 5);
  EXPECT_EQ(table.Capacity(), 2);
  EXPECT_TRUE(table.IsFull());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(table.At(i)->Value(), 10 + i);
}

TEST(ZORMtkOwnedTable, FullExactlyAtCapacity) {
  int destroyed = 0;
  ZORMtkOwnedTable<Tracked> table(2);
  table.Append(std::make_unique<Tracked>(0, destroyed));
  EXPECT_FALSE(table.IsFull());
  table.Append(std::make_unique<Tracked>(1, destroyed));
  EXPECT_TRUE(table.IsFull());
}

TEST(ZORMtkOwnedTable, AppendReturnsTheStoredObject) {
  int destroyed = 0;
  ZORMtkOwnedTable<Tracked> table(1);
  auto object = std::make_unique<Tracked>(3, destroyed);
  const Tracked* raw = object.get();
  EXPECT_EQ(table.Append(std::move(object)), raw);
  EXPECT_EQ(table.At(0), raw);
}

TEST(ZORMtkOwnedTable, DestroysEveryObjectOnceOnClearAndOnDestruction) {
  int destroyed = 0;
  {
    ZORMtkOwnedTable<Tracked> table(50);
    for (int i = 0; i < 3; ++i) table.Append(std::make_unique<Tracked>(i, destroyed));
    table.Clear();
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(table.Count(), 0);
    table.Append(std::make_unique<Tracked>(9, destroyed));
  }
  EXPECT_EQ(destroyed, 4);
}
