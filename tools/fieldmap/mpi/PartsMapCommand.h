#pragma once

#include <ostream>

#include "CommandLine.h"

// fieldmap map --parts N, run by every rank of mpirun -n N: each rank reads the source, takes a
// share of its elements and of the target nodes, and the distributed mapper maps the fields;
// rank 0 gathers the mapped rows and writes, prints and returns what one process would. Starts
// MPI before it reads the settings and finalizes it again; ranks other than 0 print nothing.
class PartsMapCommand {
 public:
  static int Run(const CommandLine& line, std::ostream& out);
};
