#pragma once

#include <string>

#include "DemoModel.h"

// Writes the demo's source database: the perturbed box with its nodal displacement U_D and
// temperature NT, and the plate with its strain LE at the integration points, all exact values
// of the analytic fields.
class DemoSource {
 public:
  static void Write(const std::string& path, const DemoSizes& sizes);
};
