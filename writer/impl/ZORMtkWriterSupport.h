#pragma once

#include <cstdint>

#include "platform/ZORSimAPI.h"

// Small steps the writer's operations share: 32-bit byte lengths, following an association to a
// collection, and appending members to a collection. Pure functions over database handles; they
// run inside the caller's transaction.
namespace ZORMtkWriterSupport {

// Byte lengths are computed in 32-bit int arithmetic: a product beyond 2^31
// wraps, and the database then refuses the buffer because it does not match the view.
inline int Mul32(int a, int b) {
  return static_cast<int>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// The collection reached from a position by one association (empty when there is none).
inline ZORSimCollectionID FollowCollection(const ZORSrvPosition& from, int type, int side) {
  return ZORSrvPosition(from, from.Follow(type, side)).GetCollection();
}

// Append members: the set of n new members s … s+n−1 of a collection whose space was s.
inline ZORSimCSetID AppendMembers(const ZORSimCollection& collection, int n) {
  const int space = collection.Space();
  collection.ExtendSpace(
      static_cast<int>(static_cast<std::uint32_t>(space) + static_cast<std::uint32_t>(n)));
  return collection.CreateCSetStrided(space, n, 1, 1);
}

}  // namespace ZORMtkWriterSupport
