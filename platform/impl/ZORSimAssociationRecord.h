#pragma once

#include <cstdint>
#include <string>

// One association of the database: its type, its two ends, an optional key, and whether it is
// still alive (removed associations stay in place so positions do not move).
struct ZORSimAssociationRecord {
  int type = 0;
  std::int64_t end[2] = {0, 0};
  bool hasIntKey = false;
  int intKey = 0;
  bool hasStringKey = false;
  std::string stringKey;
  bool alive = true;
};
