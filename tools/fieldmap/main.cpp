#include <iostream>
#include <string>
#include <vector>

#include "FieldmapProgram.h"

int main(int argc, char** argv) {
  return FieldmapProgram::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                              std::cerr);
}
