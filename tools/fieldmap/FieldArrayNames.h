#pragma once

#include <string>

#include "ZORGfmApi.h"

// The name a user knows a field by (the array it was imported from, "temperature" beside its
// field type NT), kept in the database as the string key of the association from the field
// record to its output record. The library's reader follows that association without looking
// at keys, so a database with names reads as one without. Pure functions over a position.
class FieldArrayNames {
 public:
  // Gives the field that name; an empty name, or the field type's own, stores nothing.
  static void Set(const ZORSrvPosition& root, const ZORSimDynamicID& field,
                  const std::string& name);
  // The field's name, or "" when it has none.
  static std::string Get(const ZORSrvPosition& root, const ZORSimDynamicID& field);
};
