#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "RawMesh.h"

// Reads a Gmsh mesh file of format 4.1 in ASCII: nodes, elements and node data. Elements of the
// highest dimension present are kept and reordered into VTK node order; points and the
// lower-dimensional elements Gmsh saves on boundaries are counted and left out. Node data with
// the same name saved for several time steps keeps the last step. Every problem is reported with
// the file name and line.
class GmshReader {
 public:
  // progress, when given, is told the fraction read after each section.
  explicit GmshReader(std::string fileName, std::function<void(double)> progress = {});

  RawMesh Read();

 private:
  struct PendingElement {
    int vtkType;
    int dimension;
    std::vector<int> nodes;
  };

  bool NextLine(std::string& line);
  std::string NextDataLine();
  void ReadFormat();
  void ReadNodes(RawMesh& mesh);
  void ReadElements();
  void ReadNodeData(RawMesh& mesh);
  void SkipSection(const std::string& name);
  void ExpectEnd(const std::string& name);
  void AssembleCells(RawMesh& mesh) const;
  [[noreturn]] void Fail(const std::string& problem) const;
  void Report();

  std::string fileName_;
  std::function<void(double)> progress_;
  std::ifstream in_;
  std::int64_t line_ = 0;
  std::unordered_map<std::int64_t, int> nodeIndex_;
  std::vector<PendingElement> elements_;
  std::int64_t skippedPoints_ = 0;
};
