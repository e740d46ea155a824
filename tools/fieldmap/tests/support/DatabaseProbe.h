#pragma once

#include <string>
#include <vector>

#include "OpenedDatabase.h"
#include "ZORGfmApi.h"

// Reads back what a test wrote into a database, through the public reader: one mesh's
// coordinates and nodal fields of step 1.
class DatabaseProbe {
 public:
  // mesh counts from 1, as the program's options do.
  DatabaseProbe(const std::string& fileName, int mesh = 1);

  int NodeCount() const { return reader_.numNodes; }
  std::vector<double> Coordinates() const;
  // The nodal field of step 1, increment 1, on this mesh; empty when it has none.
  std::vector<double> NodeField(const std::string& name) const;

 private:
  OpenedDatabase database_;
  ZORMtkSimReader reader_;
};
