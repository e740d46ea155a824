#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sstream>
#include <string>

#include "FieldmapError.h"
#include "GmshReader.h"
#include "TempDirectory.h"
#include "TestMeshes.h"

namespace {

RawMesh ReadText(const TempDirectory& directory, const std::string& text) {
  const std::string path = directory.Path("mesh.msh");
  std::ofstream(path) << text;
  return GmshReader(path).Read();
}

std::string ReadError(const TempDirectory& directory, const std::string& text) {
  try {
    ReadText(directory, text);
  } catch (const FieldmapError& error) {
    EXPECT_EQ(error.Status(), ExitStatus::kBadInput);
    return error.what();
  }
  ADD_FAILURE() << "reading did not fail";
  return "";
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(GmshReaderOrdering, MeshesWrittenInGmshOrderComeBackAsWritten) {
  TempDirectory directory;
  for (const std::vector<int>& types :
       {std::vector<int>{10, 24, 13, 26, 12, 25}, std::vector<int>{5, 9, 22, 23}}) {
    const RawMesh expected = TestMeshes::CellsOfTypes(types);
    const RawMesh read = ReadText(directory, TestMeshes::GmshText(types));
    EXPECT_EQ(read.points, expected.points);
    EXPECT_EQ(read.cellTypes, expected.cellTypes);
    EXPECT_EQ(read.offsets, expected.offsets);
    EXPECT_EQ(read.connectivity, expected.connectivity);
    ASSERT_EQ(read.pointArrays.size(), 1u);
    EXPECT_EQ(read.pointArrays[0].name, "temperature");
    EXPECT_EQ(read.pointArrays[0].values, expected.pointArrays[0].values);
  }
}

// A quadratic cell given by its corners and the edges of its mid-edge nodes, in one convention.
struct QuadraticCell {
  int gmshType;
  std::vector<std::array<double, 3>> corners;
  std::vector<std::pair<int, int>> gmshEdges;  // as Gmsh's documentation numbers them
  std::vector<std::pair<int, int>> vtkEdges;   // as VTK's documentation numbers them
};

std::vector<std::array<double, 3>> Nodes(const QuadraticCell& cell,
                                         const std::vector<std::pair<int, int>>& edges) {
  std::vector<std::array<double, 3>> nodes = cell.corners;
  for (const auto& [a, b] : edges)
    nodes.push_back({0.5 * (cell.corners[a][0] + cell.corners[b][0]),
                     0.5 * (cell.corners[a][1] + cell.corners[b][1]),
                     0.5 * (cell.corners[a][2] + cell.corners[b][2])});
  return nodes;
}

// Independent of the reader's tables: both edge orders are copied from the two formats' own
// documentation, so a wrong reordering puts a mid-edge node on the wrong edge.
TEST(GmshReaderOrdering, MidEdgeNodesLandOnTheEdgesVtkOrderExpects) {
  const std::vector<QuadraticCell> cells = {
      {11,
       {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
       {{0, 1}, {1, 2}, {2, 0}, {3, 0}, {3, 2}, {3, 1}},
       {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {1, 3}, {2, 3}}},
      {17,
       {{-1, -1, -1},
        {1, -1, -1},
        {1, 1, -1},
        {-1, 1, -1},
        {-1, -1, 1},
        {1, -1, 1},
        {1, 1, 1},
        {-1, 1, 1}},
       {{0, 1},
        {0, 3},
        {0, 4},
        {1, 2},
        {1, 5},
        {2, 3},
        {2, 6},
        {3, 7},
        {4, 5},
        {4, 7},
        {5, 6},
        {6, 7}},
       {{0, 1},
        {1, 2},
        {2, 3},
        {3, 0},
        {4, 5},
        {5, 6},
        {6, 7},
        {7, 4},
        {0, 4},
        {1, 5},
        {2, 6},
        {3, 7}}},
      {18,
       {{0, 0, -1}, {1, 0, -1}, {0, 1, -1}, {0, 0, 1}, {1, 0, 1}, {0, 1, 1}},
       {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 4}, {2, 5}, {3, 4}, {3, 5}, {4, 5}},
       {{0, 1}, {1, 2}, {2, 0}, {3, 4}, {4, 5}, {5, 3}, {0, 3}, {1, 4}, {2, 5}}}};
  TempDirectory directory;
  for (const QuadraticCell& cell : cells) {
    SCOPED_TRACE(cell.gmshType);
    const std::vector<std::array<double, 3>> gmsh = Nodes(cell, cell.gmshEdges);
    std::ostringstream text;
    text << "$MeshFormat\n4.1 0 8\n$EndMeshFormat\n$Nodes\n1 " << gmsh.size() << " 1 "
         << gmsh.size() << "\n3 1 0 " << gmsh.size() << "\n";
    for (std::size_t n = 0; n < gmsh.size(); ++n) text << n + 1 << "\n";
    for (const auto& xyz : gmsh) text << xyz[0] << " " << xyz[1] << " " << xyz[2] << "\n";
    text << "$EndNodes\n$Elements\n1 1 1 1\n3 1 " << cell.gmshType << " 1\n1";
    for (std::size_t n = 0; n < gmsh.size(); ++n) text << " " << n + 1;
    text << "\n$EndElements\n";
    const RawMesh mesh = ReadText(directory, text.str());
    const std::vector<std::array<double, 3>> expected = Nodes(cell, cell.vtkEdges);
    ASSERT_EQ(mesh.connectivity.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
      const int node = mesh.connectivity[k];
      EXPECT_EQ((std::array<double, 3>{mesh.points[3 * node], mesh.points[3 * node + 1],
                                       mesh.points[3 * node + 2]}),
                expected[k])
          << "VTK node " << k;
    }
  }
}

TEST(GmshReaderOrdering, BoundaryElementsBelowTheMeshDimensionAreSkippedAndNoted) {
  TempDirectory directory;
  std::string text = TestMeshes::GmshText({12});
  // A boundary triangle and a point element on the hexahedron's nodes.
  text = Replace(text, "$Elements\n1 1 1 1\n",
                 "$Elements\n3 3 1 3\n0 7 15 1\n9 101\n2 5 2 1\n8 101 102 103\n");
  const RawMesh mesh = ReadText(directory, text);
  EXPECT_EQ(mesh.cellTypes, std::vector<int>{12});
  ASSERT_EQ(mesh.notes.size(), 2u);
  EXPECT_EQ(mesh.notes[0], "1 elements of dimension 2 (below the mesh's 3) skipped");
  EXPECT_EQ(mesh.notes[1], "1 point elements skipped");
}

TEST(GmshReaderOrdering, NodeDataOfALaterTimeStepReplacesTheEarlierOne) {
  TempDirectory directory;
  std::string text = TestMeshes::GmshText({10});
  text += "$NodeData\n1\n\"temperature\"\n1\n1.0\n3\n1\n1\n1\n102 42.5\n$EndNodeData\n";
  const RawMesh mesh = ReadText(directory, text);
  ASSERT_EQ(mesh.pointArrays.size(), 1u);
  EXPECT_EQ(mesh.pointArrays[0].values[1], 42.5);
  // Nodes the later step leaves out hold 0.
  EXPECT_EQ(mesh.pointArrays[0].values[0], 0.0);
}

TEST(GmshReaderMalformed, ErrorsNameTheLineAndTheProblem) {
  TempDirectory directory;
  const std::string good = TestMeshes::GmshText({10});
  EXPECT_NE(ReadError(directory, Replace(good, "4.1 0 8", "2.2 0 8"))
                .find("line 2: format version '2.2'"),
            std::string::npos);
  EXPECT_NE(ReadError(directory, Replace(good, "4.1 0 8", "4.1 1 8")).find("binary Gmsh files"),
            std::string::npos);
  // Element 1 (line 19) uses node 104; make it an unknown node.
  EXPECT_NE(ReadError(directory, Replace(good, "1 101 102 103 104", "1 101 102 103 999"))
                .find("line 19: element 1 uses the undefined node 999"),
            std::string::npos);
  EXPECT_NE(ReadError(directory, Replace(good, "3 1 4 1\n", "3 1 42 1\n"))
                .find("line 18: element type 42 is not supported"),
            std::string::npos);
  EXPECT_NE(ReadError(directory, Replace(good, "1 101 102 103 104", "1 101 102 103"))
                .find("expected an element tag and 4 node tags"),
            std::string::npos);
  EXPECT_NE(ReadError(directory, Replace(good, "$Nodes\n1 4", "$Nodes\n1 5"))
                .find("announces 5 nodes, the blocks hold 4"),
            std::string::npos);
  EXPECT_NE(ReadError(directory, good.substr(0, good.find("$EndElements")))
                .find("the file ends inside a section"),
            std::string::npos);
  EXPECT_NE(
      ReadError(directory, "hello\n").find("line 1: the file does not start with $MeshFormat"),
      std::string::npos);
}

}  // namespace
