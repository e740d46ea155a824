#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "DamagedFiles.h"
#include "GmshReader.h"
#include "TempDirectory.h"
#include "TestMeshes.h"

namespace {

RawMesh ReadText(const TempDirectory& directory, const std::string& text) {
  const std::string path = directory.Path("mesh.msh");
  std::ofstream(path) << text;
  return GmshReader(path).Read();
}

TEST(GmshReaderOrdering, MeshesWrittenInGmshOrderComeBackAsWritten) {
  TempDirectory directory;
  for (const std::vector<int>& types :
       {std::vector<int>{10, 24, 13, 26, 12, 25}, std::vector<int>{5, 9, 22, 23}}) {
    RawMesh expected = TestMeshes::CellsOfTypes(types);
    expected.pointArrays.resize(1);  // the text holds "temperature" only
    TestMeshes::ExpectSame(expected, ReadText(directory, TestMeshes::GmshText(types)));
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
  // Types fieldmap does not import (a 3-node line, a 9-node quadrilateral) are skipped alike
  // below the mesh's dimension and refused at it, with the line of the first one.
  const std::string unused = Replace(text, "2 5 2 1\n8 101 102 103\n", "1 5 8 1\n8 101 102 103\n");
  EXPECT_EQ(ReadText(directory, unused).notes[0],
            "1 elements of dimension 1 (below the mesh's 3) skipped");
  const std::string top = Replace(TestMeshes::GmshText({5}), "2 1 2 1\n1 101 102 103",
                                  "2 1 10 1\n1 101 102 103 101 102 103 101 102 103");
  EXPECT_NE(ReadError<GmshReader>(directory, "mesh.msh", top)
                .find("line 17: element type 10 is not supported"),
            std::string::npos);
}

TEST(GmshReaderOrdering, NodeDataOfALaterTimeStepReplacesTheEarlierOne) {
  TempDirectory directory;
  std::string text = TestMeshes::GmshText({10});
  // The name is the first string tag; a second one (an interpolation scheme) names nothing.
  text += "$NodeData\n2\n\"temperature\"\n\"scheme\"\n1\n1.0\n3\n1\n1\n1\n102 42.5\n$EndNodeData\n";
  const RawMesh mesh = ReadText(directory, text);
  ASSERT_EQ(mesh.pointArrays.size(), 1u);
  EXPECT_EQ(mesh.pointArrays[0].values[1], 42.5);
  // Nodes the later step leaves out hold 0.
  EXPECT_EQ(mesh.pointArrays[0].values[0], 0.0);
}

TEST(GmshReaderMalformed, ErrorsNameTheLineAndTheProblem) {
  TempDirectory directory;
  const std::string good = TestMeshes::GmshText({10});
  // Element 1 (line 19) uses nodes 101 to 104; a binary file must hold the number 1 in the
  // machine's byte order after its header.
  for (const auto& [text, expected] : std::vector<std::pair<std::string, std::string>>{
           {Replace(good, "4.1 0 8", "4.0 0 8"), "line 2: format version '4.0'"},
           {Replace(good, "4.1 0 8\n", std::string("4.1 1 8\n\0\0\0\1\n", 13)),
            "byte 20: the binary data has the other byte order"},
           {Replace(good, "1 101 102 103 104", "1 101 102 103 999"),
            "line 19: element 1 uses the undefined node 999"},
           {Replace(good, "3 1 4 1\n", "3 1 42 1\n"), "line 18: element type 42 is not supported"},
           {Replace(good, "1 101 102 103 104", "1 101 102 103"),
            "expected an element tag and 4 node tags"},
           {Replace(good, "$Nodes\n1 4", "$Nodes\n1 5"), "announces 5 nodes, the blocks hold 4"},
           {good.substr(0, good.find("$EndElements")), "the file ends inside a section"},
           {"hello\n", "line 1: the file does not start with $MeshFormat"}})
    EXPECT_NE(ReadError<GmshReader>(directory, "mesh.msh", text).find(expected), std::string::npos)
        << expected;
}

}  // namespace
