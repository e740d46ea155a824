#pragma once

#include <functional>
#include <string>

#include "RawMesh.h"

// Reads a parallel VTK XML unstructured grid (.pvtu): every piece it names, relative to its own
// folder, read as a .vtu and joined into one mesh. Points shared by pieces are merged: by the
// global point ids when the file names an array of them (ids that disagree on a point's
// coordinates are refused), otherwise by identical coordinates. The first piece to bring a point
// gives its values; every piece must carry the same point arrays. Holds only the file name.
class PvtuReader {
 public:
  // progress, when given, is told the fraction of pieces read.
  explicit PvtuReader(std::string fileName, std::function<void(double)> progress = {});

  RawMesh Read();

 private:
  std::string fileName_;
  std::function<void(double)> progress_;
};
