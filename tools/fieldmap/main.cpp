#include <iostream>
#include <string>
#include <vector>

#include "AllocatorTuning.h"
#include "FieldmapProgram.h"

int main(int argc, char** argv) {
  AllocatorTuning::RestartTunedIfNeeded(argv);
  return FieldmapProgram::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                              std::cerr);
}
