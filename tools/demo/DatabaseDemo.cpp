// zor_demo: builds a real target database with ZORMtkSimWriter, saves it, opens the file again
// and prints what it holds.
//
//   zor_demo [output-directory]      (default: the current directory)
//
// The target: one mesh of 20 x 20 x 5 hex8 elements (C3D8) with a shell skin on its top face,
// 200 four-node shells (S4) on one half and 400 three-node shells (S3R) on the other; a nodal
// field "U_D" with 3 components and an integration-point field "SHELL_SECTION_FORCES" with 3
// components on the shells, both written for step 1, increment 1. The report is read back from
// the saved file through the database interface only, and the values are compared with what
// was written.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "ZORGfmApi.h"
#include "platform/ZORSimSchemaKeys.h"

namespace {

constexpr int kNX = 20, kNY = 20, kNZ = 5;  // hex cells per direction
constexpr int kPX = kNX + 1, kPY = kNY + 1, kPZ = kNZ + 1;

int NodeOf(int i, int j, int k) { return (k * kPY + j) * kPX + i; }

// The values the demo writes, so that the read-back can be checked.
double Displacement(int node, int component) {
  const int i = node % kPX, j = (node / kPX) % kPY, k = node / (kPX * kPY);
  const double x = i, y = j, z = k;
  switch (component) {
    case 0:
      return 1e-3 * x * z;
    case 1:
      return -5e-4 * y * z;
    default:
      return -2e-3 * x * x / kNX;
  }
}
double ShellForce(int element, int point, int component) {
  return 100.0 * element + 10.0 * point + component;
}

struct Built {
  int numNodes = 0;
  std::vector<int> s4;   // element members of the S4 shells
  std::vector<int> s3r;  // element members of the S3R shells
};

// ---- writing

// A block of hexahedra with a roof of S4 and S3R shells.
ZORSimDynamicID WriteMesh(ZORMtkSimWriter& writer, Built& built) {
  const ZORSimDynamicID mesh = writer.AddMesh();

  std::vector<double> xyz;
  for (int k = 0; k < kPZ; ++k)
    for (int j = 0; j < kPY; ++j)
      for (int i = 0; i < kPX; ++i) xyz.insert(xyz.end(), {1.0 * i, 1.0 * j, 1.0 * k});
  built.numNodes = kPX * kPY * kPZ;
  writer.AddMeshNodes(mesh, built.numNodes, 3, xyz.data());

  std::vector<int> hexes, quads, triangles;
  for (int k = 0; k < kNZ; ++k)
    for (int j = 0; j < kNY; ++j)
      for (int i = 0; i < kNX; ++i)
        hexes.insert(hexes.end(),
                     {NodeOf(i, j, k), NodeOf(i + 1, j, k), NodeOf(i + 1, j + 1, k),
                      NodeOf(i, j + 1, k), NodeOf(i, j, k + 1), NodeOf(i + 1, j, k + 1),
                      NodeOf(i + 1, j + 1, k + 1), NodeOf(i, j + 1, k + 1)});
  for (int j = 0; j < kNY; ++j)
    for (int i = 0; i < kNX; ++i) {
      const int a = NodeOf(i, j, kNZ), b = NodeOf(i + 1, j, kNZ);
      const int c = NodeOf(i + 1, j + 1, kNZ), d = NodeOf(i, j + 1, kNZ);
      if (i < kNX / 2)
        quads.insert(quads.end(), {a, b, c, d});
      else
        triangles.insert(triangles.end(), {a, b, c, a, c, d});
    }
  ZORSimArray<ZORSimCSetID> blocks;
  cow_List<cow_String> types = {"C3D8", "S4", "S3R"};
  blocks.Append(
      writer.AddMeshElements(mesh, static_cast<int>(hexes.size() / 8), "C3D8", 8, hexes.data()));
  blocks.Append(
      writer.AddMeshElements(mesh, static_cast<int>(quads.size() / 4), "S4", 4, quads.data()));
  blocks.Append(writer.AddMeshElements(mesh, static_cast<int>(triangles.size() / 3), "S3R", 3,
                                       triangles.data()));
  writer.ConnectMeshEltypes(mesh, blocks, types);
  for (int m = 0; m < blocks[1].Size(); ++m) built.s4.push_back(ZORSimCSet(blocks[1])[m]);
  for (int m = 0; m < blocks[2].Size(); ++m) built.s3r.push_back(ZORSimCSet(blocks[2])[m]);
  return mesh;
}

Built WriteTarget(const std::string& file) {
  Built built;
  ZORMtkSimWriter writer;
  writer.CreateSim(file);
  const ZORSimDynamicID mesh = WriteMesh(writer, built);

  const ZORSimDynamicID displacement = writer.AddSimpleNodeField(mesh, "U_D", 3);
  const ZORSimDynamicID forces = writer.AddSimpleElementField(mesh, "SHELL_SECTION_FORCES", 3);

  cow_List<int> nodes;
  std::vector<double> u;
  for (int n = 0; n < built.numNodes; ++n) {
    nodes.Append(n);
    for (int c = 0; c < 3; ++c) u.push_back(Displacement(n, c));
  }
  writer.WriteSimpleNodeField(displacement, mesh, 1, 1, 3, nodes, u.data());

  // One element class per call: 4 points per S4 shell, 1 per S3R shell.
  for (const auto& [members, points] :
       {std::make_pair(&built.s4, ZORMtkElementData::GetNumIntPt("S4")),
        std::make_pair(&built.s3r, ZORMtkElementData::GetNumIntPt("S3R"))}) {
    cow_List<int> elements(*members);
    std::vector<double> values;
    for (int e : *members)
      for (int p = 0; p < points; ++p)
        for (int c = 0; c < 3; ++c) values.push_back(ShellForce(e, p, c));
    writer.WriteSimpleElementClassField(forces, mesh, 1, 1, points, 3, elements, values.data());
  }
  writer.SaveContext();
  return built;
}

// ---- reading back through the database interface

ZORSimCollectionID CollectionAt(const ZORSrvPosition& from, int fragment, int index, int side) {
  return ZORSrvPosition(from, from.Follow(ZORSimKeys::Key(fragment, index), side)).GetCollection();
}

std::string MemberText(const ZORSimCSetID& set) {
  const ZORSimCSet members(set);
  if (members.Size() == 0) return "none";
  std::ostringstream text;
  text << members[0];
  if (members.Size() > 1)
    text << (members.Size() == members[members.Size() - 1] - members[0] + 1 ? ".." : " ... ")
         << members[members.Size() - 1];
  return text.str();
}

// The element-type symbol of one element, through the mesh's element-type set.
std::string ElementTypeOf(const ZORSrvPosition& root, const ZORSrvPosition& mesh, int element) {
  const ZORSimCollectionID elements = CollectionAt(mesh, 19, 38, 0);
  const ZORSimCollectionID types = CollectionAt(root, 19, 29, 0);
  const ZORSimDSet typeSet(
      root.Context(),
      ZORSrvPosition(root, mesh.Follow(ZORSimKeys::kMeshElementTypes, 0)).GetDSet());
  const ZORSimCSetID type = typeSet.Select(elements, element).Collect(types);
  if (type.Size() != 1) return "?";
  return ZORSrvPosition(root, root.Context().GetRecord(types, ZORSimCSet(type)[0])).GetSymbolName();
}

std::vector<double> ReadDrawer(const ZORSrvPosition& root, ZORSimDistributionID distribution,
                               const ZORSimDrawerDescriptor& drawer,
                               std::vector<ZORSimCSetID> dims) {
  std::int64_t count = 1;
  for (const ZORSimCSetID& set : dims) count *= set.Size();
  std::vector<double> values(static_cast<std::size_t>(count));
  ZORSimTransfer read(root.Context(), distribution);
  read.SetRead();
  read.SetBufferPadding(false);
  read.SetBufferType(2);
  read.SetDrawer(drawer.id);
  read.SetDims(dims);
  read.CheckView();
  read.SetBuffer(0, static_cast<void*>(values.data()), count * 8);
  read.ExecRead();
  read.RelinquishBuffers();
  return values;
}

// What the demo wrote into one database, read back through the platform's own calls.
struct ReportContext {
  ZORSrvPosition root;
  ZORSimContext context;
  ZORSimCollectionID components;
  ZORSimCollectionID intPoints;
  double largestDifference = 0.0;
};

void ReportMesh(const ReportContext& at, const ZORSrvPosition& mesh, std::size_t number) {
  const ZORSrvPosition& root = at.root;
  const int numNodes = ZORSimCollection(at.context, CollectionAt(mesh, 19, 43, 1)).Space();
  const int numElements = ZORSimCollection(at.context, CollectionAt(mesh, 19, 38, 0)).Space();
  int coordComponents = 0;
  const auto coordinateDrawers =
      ZORSimDistribution(
          at.context,
          ZORSrvPosition(root, mesh.Follow(ZORSimKeys::kMeshCoordinates, 0)).GetDistribution())
          .QueryDrawers();
  if (!coordinateDrawers.empty()) coordComponents = coordinateDrawers[0].dimensions[1].Size();
  const ZORSimDistributionID connectivity =
      ZORSimDSet(at.context,
                 ZORSrvPosition(root, mesh.Follow(ZORSimKeys::kMeshConnectivity, 0)).GetDSet())
          .GetRelationalDistributionID();
  const auto blocks = ZORSimDistribution(at.context, connectivity).QueryDrawers();
  std::cout << "  Mesh " << number << ": " << numNodes << " nodes (" << coordComponents
            << " coordinate components), " << numElements << " elements in " << blocks.size()
            << " blocks\n";
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    const ZORSimCSetID& elements = blocks[b].dimensions[0];
    std::cout << "    Block " << b + 1 << ": elements " << MemberText(elements) << ", "
              << elements.Size() << " x " << ElementTypeOf(root, mesh, ZORSimCSet(elements)[0])
              << " (" << blocks[b].dimensions[1].Size() << " nodes per element)\n";
  }
}

// One drawer of a field: its shape in words, and the largest difference of its increment-1
// values from what the demo wrote.
std::string ReportDrawer(ReportContext& at, const ZORSrvPosition& mesh,
                         const ZORSimDistributionID& distribution,
                         const ZORSimDrawerDescriptor& drawer, bool nodal, int& fieldComponents) {
  const auto& dims = drawer.dimensions;
  int pointsPerElement = 1;
  for (const ZORSimCSetID& set : dims) {
    if (set.collection == at.components) fieldComponents = set.Size();
    if (set.collection == at.intPoints) pointsPerElement = set.Size();
  }
  std::ostringstream part;
  if (nodal)
    part << dims[1].Size() << " nodes";
  else
    part << ElementTypeOf(at.root, mesh, ZORSimCSet(dims[1])[0]) << " (" << dims[1].Size()
         << " elements x " << pointsPerElement << (pointsPerElement == 1 ? " point)" : " points)");
  part << ", increments written " << MemberText(dims[0]);
  if (!ZORSimCSet(dims[0]).IsMember(1)) return part.str();
  std::vector<ZORSimCSetID> view = dims;
  view[0] = ZORSimCollection(at.context, dims[0].collection).CreateTempCSetStrided(1, 1, 1, 1);
  const std::vector<double> values = ReadDrawer(at.root, distribution, drawer, view);
  const ZORSimCSet points(dims[1]);
  std::size_t v = 0;
  for (int i = 0; i < points.Size(); ++i)
    for (int p = 0; p < (nodal ? 1 : pointsPerElement); ++p)
      for (int c = 0; c < fieldComponents; ++c, ++v) {
        const double expected = nodal ? Displacement(points[i], c) : ShellForce(points[i], p, c);
        at.largestDifference = std::fmax(at.largestDifference, std::fabs(values[v] - expected));
      }
  return part.str();
}

void ReportField(ReportContext& at, const ZORSimDynamicID& field, const ZORSrvPosition& mesh) {
  const ZORSrvPosition& root = at.root;
  const ZORSrvPosition fieldAt(root, field);
  const std::string name =
      ZORSrvPosition(root, fieldAt.Follow(ZORSimKeys::kFieldFieldType, 1)).GetSymbolName();
  const ZORSimSchema schema(at.context);
  const bool nodal = schema.IsA(field, schema.TypeID(ZORSimKeys::kNodalFieldType));
  std::vector<std::string> parts;
  int fieldComponents = 0;
  for (const ZORSimDynamicID& output : fieldAt.FollowList(ZORSimKeys::kFieldOutputs, 1).Items()) {
    const std::vector<ZORSimDynamicID> valueRecords =
        ZORSrvPosition(root, output).FollowList(ZORSimKeys::kOutputValues, 0).Items();
    for (const ZORSimDynamicID& valuesRecord : valueRecords) {
      const ZORSimDynamicID drawerID =
          ZORSrvPosition(root, valuesRecord).Follow(ZORSimKeys::kValuesDrawer, 0);
      const ZORSimDistributionID distribution = ZORSrvPosition(root, drawerID).GetDistribution();
      for (const ZORSimDrawerDescriptor& drawer :
           ZORSimDistribution(at.context, distribution).QueryDrawers())
        if (drawer.id.id == drawerID)
          parts.push_back(ReportDrawer(at, mesh, distribution, drawer, nodal, fieldComponents));
    }
  }
  std::cout << "    " << name << ": " << (nodal ? "nodal" : "integration-point") << " field, "
            << fieldComponents << " components";
  for (const std::string& part : parts) std::cout << "; " << part;
  std::cout << "\n";
}

void ReportSteps(ReportContext& at, const ZORSrvPosition& mesh) {
  const ZORSrvPosition& root = at.root;
  const ZORSrvPosition history(root, root.Follow(ZORSimKeys::kHistory, 1));
  const int numSteps = history.FollowList(ZORSimKeys::kHistorySteps, 1).Size();
  std::cout << "Steps: " << numSteps << "\n";
  for (int s = 0; s < numSteps; ++s) {
    const ZORSrvPosition step(root, history.FollowIntKey(ZORSimKeys::kHistorySteps, 1, s));
    const ZORSimCSetID increments =
        ZORSrvPosition(root, step.Follow(ZORSimKeys::kStepIncrements, 1)).GetCSet();
    const std::vector<ZORSimDynamicID> fields = step.FollowList(ZORSimKeys::kStepFields, 0).Items();
    std::cout << "  Step " << s + 1
              << (step.ID() ==
                          history.FollowStringKey(ZORSimKeys::kHistoryStepNames, 1, "StaticStep")
                      ? " (\"StaticStep\")"
                      : "")
              << ": increment set " << MemberText(increments) << ", " << fields.size()
              << " fields\n";
    for (const ZORSimDynamicID& field : fields) ReportField(at, field, mesh);
  }
}

void Report(const std::string& file) {
  ZORSrvSimAccess access;
  const ZORSrvPosition root = access.Open(file);
  ReportContext at{root, root.Context(), CollectionAt(root, 11, 43, 0),
                   CollectionAt(root, 21, 27, 1)};
  std::cout << "Opened " << file << " (" << std::filesystem::file_size(file) << " bytes)\n";
  const ZORSrvPosition model(root, root.Follow(ZORSimKeys::kModel, 0));
  const std::vector<ZORSimDynamicID> meshes = model.FollowList(ZORSimKeys::kModelMesh, 1).Items();
  std::cout << "Meshes: " << meshes.size() << "\n";
  for (std::size_t m = 0; m < meshes.size(); ++m)
    ReportMesh(at, ZORSrvPosition(root, meshes[m]), m + 1);
  ReportSteps(at, ZORSrvPosition(root, meshes.empty() ? ZORSimDynamicID() : meshes[0]));
  std::cout << "Largest difference between written and saved values: " << at.largestDifference
            << "\n";
  access.Close(root);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string directory = argc > 1 ? argv[1] : ".";
  const std::string file = (std::filesystem::path(directory) / "zor_demo_target.db").string();
  int status = 0;
  ZORGfmApi_initialize(status);
  try {
    std::cout << "Writing the target database " << file << "\n";
    const Built built = WriteTarget(file);
    std::cout << "Written: " << built.numNodes << " nodes, " << kNX * kNY * kNZ << " C3D8, "
              << built.s4.size() << " S4 and " << built.s3r.size()
              << " S3R elements; U_D and SHELL_SECTION_FORCES for step 1, increment 1; saved\n\n";
    Report(file);
  } catch (const std::exception& error) {
    std::cerr << "zor_demo: " << error.what() << "\n";
    ZORGfmApi_finalize(status);
    return 1;
  }
  ZORGfmApi_finalize(status);
  return 0;
}
