#pragma once

#include "platform/ZORExport.h"
#include "platform/ZORSimDynamicID.h"

// Typed views of a handle; they compare by the object they name. Each view has a header of its
// own that instantiates this macro.
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
