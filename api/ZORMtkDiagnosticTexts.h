#pragma once

#include <string>
#include <vector>

#include "platform/ZORExport.h"

class ZORMtkMapper;

// The problems a mapper recorded, as texts for a person: one per code, worded by the mapper,
// with the first points of long lists and their count. Pure functions.
class ZORMTK_EXPORT ZORMtkDiagnosticTexts {
 public:
  // How many listed points a text shows before it gives the count.
  static constexpr int kShownPoints = 20;

  static std::vector<std::string> Of(const ZORMtkMapper& mapper);
};
