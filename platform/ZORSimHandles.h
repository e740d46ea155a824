#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ZORExport.h"

// Every failure of the simulation database: a bad file, a stale or foreign handle, a buffer
// that does not match its view, a value outside its collection. The message names what is
// wrong. The mapping library never catches it; it reaches the host unchanged.
class ZORMTK_EXPORT ZORSimError : public std::runtime_error {
 public:
  explicit ZORSimError(const std::string& message) : std::runtime_error(message) {}
};

// Handle of one object of a database (record, collection, stored set, data set, distribution or
// drawer). The leading int identifies the open database (a process-unique serial, never 0), so
// handles of two databases open at once never compare equal; 0 means the empty handle.
struct ZORMTK_EXPORT ZORSimDynamicID {
  int leading = 0;
  std::int64_t object = 0;

  bool IsEmpty() const { return leading == 0; }
  friend bool operator==(const ZORSimDynamicID& a, const ZORSimDynamicID& b) {
    return a.leading == b.leading && a.object == b.object;
  }
  friend bool operator!=(const ZORSimDynamicID& a, const ZORSimDynamicID& b) { return !(a == b); }
  friend bool operator<(const ZORSimDynamicID& a, const ZORSimDynamicID& b) {
    return a.leading != b.leading ? a.leading < b.leading : a.object < b.object;
  }
};

// Typed views of a handle; they compare by the object they name.
#define ZOR_SIM_TYPED_ID(Name)                                                    \
  struct ZORMTK_EXPORT Name {                                                     \
    ZORSimDynamicID id;                                                           \
    Name() = default;                                                             \
    explicit Name(ZORSimDynamicID handle) : id(handle) {}                         \
    bool IsEmpty() const { return id.IsEmpty(); }                                 \
    friend bool operator==(const Name& a, const Name& b) { return a.id == b.id; } \
    friend bool operator!=(const Name& a, const Name& b) { return a.id != b.id; } \
    friend bool operator<(const Name& a, const Name& b) { return a.id < b.id; }   \
  };
ZOR_SIM_TYPED_ID(ZORSimCollectionID)
ZOR_SIM_TYPED_ID(ZORSimDSetID)
ZOR_SIM_TYPED_ID(ZORSimDistributionID)
ZOR_SIM_TYPED_ID(ZORSimDrawerID)
#undef ZOR_SIM_TYPED_ID

// A schema type: the index that eds_InputFragmentTypeIndex gives for a (fragment, index) key.
struct ZORMTK_EXPORT ZORSimTypeID {
  int index = 0;
  ZORSimTypeID() = default;
  explicit ZORSimTypeID(int typeIndex) : index(typeIndex) {}
  friend bool operator==(const ZORSimTypeID& a, const ZORSimTypeID& b) {
    return a.index == b.index;
  }
};

// Value type of a distribution: 2 doubles, 3 increment values (doubles), 5 references to the
// members of a target collection (32-bit ints).
struct ZORMTK_EXPORT ZORSimRangeType {
  int code = 2;
  ZORSimCollectionID target;
  ZORSimRangeType() = default;
  explicit ZORSimRangeType(int valueCode) : code(valueCode) {}
  ZORSimRangeType(int valueCode, ZORSimCollectionID targetCollection)
      : code(valueCode), target(targetCollection) {}
};

// The type index stored in files for the schema key (fragment, index); the same in every process.
ZORMTK_EXPORT int eds_InputFragmentTypeIndex(int fragment, int index);
// This project's schema source: every record, association, collection, distribution and data
// set type the library names by key, with the subtype relation.
ZORMTK_EXPORT const char* eds_SSDLallSource_Get();
