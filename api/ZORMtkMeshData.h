#pragma once

#include <string>
#include <vector>

// A mesh read out of a database into arrays the caller owns: nodeCount x dimension coordinates
// and one block per element class, with 0-based node indices (rows of coordinates) in the
// library's node order. A plain value.
struct ZORMtkMeshData {
  struct Block {
    std::string elementType;
    int nodesPerElement = 0;
    std::vector<int> connectivity;
  };

  int dimension = 3;
  std::vector<double> coordinates;
  std::vector<Block> blocks;

  int NodeCount() const {
    return static_cast<int>(coordinates.size() / static_cast<std::size_t>(dimension));
  }
};
