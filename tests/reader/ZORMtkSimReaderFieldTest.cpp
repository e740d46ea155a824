#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/ZORStream.h"
#include "reader/ZORMtkSimReader.h"
#include "reader/ZORReaderTestMeshes.h"
#include "support/ZORTestCapture.h"
#include "support/ZORTestSentinel.h"

// Field lookup and reads on databases the writer never makes: static steps, several
// increments, auxiliary dimensions, drawers that overlap or cover part of the region, records
// that are not fields. Step 1 is static, step 2 bears increments 1, 2 and 4.

namespace {

std::vector<double> Ramp(int count, double start = 0.5) {
  std::vector<double> values;
  for (int i = 0; i < count; ++i) values.push_back(start + i);
  return values;
}

class ZORMtkSimReaderFieldTest : public ::testing::Test {
 protected:
  ZORTestSourceDatabase db;
  ZORMixedMesh mixed = ZORMixedMesh::Build(db);
  ZORSimDynamicID staticStep = db.AddStaticStep();
  ZORSimDynamicID incrementStep = db.AddIncrementStep({1, 2, 4});
  ZORMtkSimReader reader;
  std::vector<double> values = std::vector<double>(48, kUnwritten);

  void SetUp() override { reader.SetElsetRegion(db.Root(), mixed.mesh, {}); }
  ZORSimCSetID Nodes(const std::vector<int>& nodes) {
    return db.Set(db.NodeCollection(mixed.mesh), nodes);
  }
  ZORSimCSetID Elements(const std::vector<int>& elements) {
    return db.Set(db.ElementCollection(mixed.mesh), elements);
  }
  ZORSimCSetID Points(int count) { return db.Range(db.PointCollection(), 0, count); }
  ZORSimCSetID Components(int count) { return db.Range(db.ComponentCollection(), 0, count); }
  ZORSimDynamicID PointField(const ZORSimDynamicID& step, const char* name) {
    return db.AddField(step, name, ZORTestSourceDatabase::kPointFieldRecord);
  }
  bool ReadElements(const ZORSimDynamicID& field, int step, int increment,
                    std::vector<int> elements) {
    return reader.GetSimpleElementClassField(field, step, increment, elements.data(),
                                             static_cast<int>(elements.size()), 8, 48,
                                             values.data());
  }
  std::vector<double> Head(int n) const { return {values.begin(), values.begin() + n}; }
};

TEST_F(ZORMtkSimReaderFieldTest, LookupFindsTheFirstRecordOfANameInItsStepOnly) {
  const ZORSimDynamicID u = db.AddField(staticStep, "U_D");
  db.AddNodalDrawer(u, mixed.mesh, {0, 1, 2}, 3, Ramp(9));
  db.AddField(staticStep, "U_D");
  const ZORSimDynamicID notAField = db.AddField(staticStep, "CF_D", ZORSimKeys::kFieldOutputRecord);
  const ZORSimDynamicID v = db.AddField(incrementStep, "V_D");
  db.AddNodalDrawer(v, mixed.mesh, {4}, 2, {1, 2});
  EXPECT_EQ(reader.GetFieldID("U_D", 1), u);
  EXPECT_EQ(reader.GetFieldID("CF_D", 1), notAField);
  EXPECT_EQ(reader.GetFieldID("V_D", 2), v);
  for (const auto& [name, step] :
       {std::pair("u_d", 1), {"U_R", 1}, {"U_D", 2}, {"U_D", 3}, {"U_D", 0}, {"U_D", -4}})
    EXPECT_TRUE(reader.GetFieldID(name, step).IsEmpty()) << name << " in step " << step;
  // Sizes: the last step is valid, the next is not; a static step has only increment 1, an
  // increment-bearing step only its own; a record that is not a field has none.
  EXPECT_EQ(reader.GetSimpleFieldSize(u, 1, 1), 3);
  for (int increment : {0, 2}) EXPECT_EQ(reader.GetSimpleFieldSize(u, 1, increment), 0);
  EXPECT_EQ(reader.GetSimpleFieldSize(u, 2, 1), 0);
  EXPECT_EQ(reader.GetSimpleFieldSize(notAField, 1, 1), 0);
  for (int increment : {1, 2, 4}) EXPECT_EQ(reader.GetSimpleFieldSize(v, 2, increment), 2);
  for (int increment : {0, 3}) EXPECT_EQ(reader.GetSimpleFieldSize(v, 2, increment), 0);
  EXPECT_EQ(reader.GetSimpleFieldSize(v, 3, 1), 0);
}

TEST_F(ZORMtkSimReaderFieldTest, SizesComeFromTheFirstDrawerOverTheMeshWithComponents) {
  const ZORSimDynamicID pressure = PointField(staticStep, "PRESS");
  db.AddDrawer(pressure, {mixed.hexes, Points(8), Components(6)}, Ramp(2 * 8 * 6));
  const ZORSimDynamicID empty = db.AddField(staticStep, "RF_D");
  db.AddDrawer(empty, {Components(5)}, Ramp(5));
  db.AddDrawer(empty, {Nodes({0})}, Ramp(1));
  const ZORSimDynamicID second = db.AddField(staticStep, "RF_D");
  db.AddNodalDrawer(second, mixed.mesh, {3}, 2, Ramp(2));
  db.AddNodalDrawer(second, mixed.mesh, {1}, 4, Ramp(4));
  EXPECT_EQ(reader.GetSimpleFieldSize(pressure, 1, 1), 6);
  EXPECT_EQ(reader.GetSimpleFieldSize(empty, 1, 1), 0);
  EXPECT_EQ(reader.GetSimpleFieldSize(second, 1, 1), 2);
  int size = -1;
  ASSERT_TRUE(reader.GetSimpleNodeFieldSize("PRESS", 1, 1, size));
  EXPECT_EQ(size, 6);
  ASSERT_TRUE(reader.GetSimpleNodeFieldSize("RF_D", 1, 1, size));  // on to the next record
  EXPECT_EQ(size, 2);
  size = -1;
  EXPECT_FALSE(reader.GetSimpleNodeFieldSize("RF_R", 1, 1, size));
  EXPECT_FALSE(reader.GetSimpleNodeFieldSize("RF_D", 9, 1, size));
  EXPECT_FALSE(reader.GetSimpleNodeFieldSize("RF_D", 1, 2, size));
  EXPECT_EQ(size, -1);
}

TEST_F(ZORMtkSimReaderFieldTest, NodalDrawersWriteTheirNodesAndTheLaterOneWins) {
  const ZORSimDynamicID field = db.AddField(staticStep, "NT");
  db.AddNodalDrawer(field, mixed.mesh, {12, 2, 0}, 1, {12.0, 2.0, 1.0});
  db.AddNodalDrawer(field, mixed.mesh, {13, 0}, 1, {13.0, 10.0});
  const ZORSimDynamicID twin = db.AddField(staticStep, "NT");
  db.AddNodalDrawer(twin, mixed.mesh, {2}, 1, {20.0});
  reader.SetElsetRegion(db.Root(), mixed.mesh, {3, 4});  // nodes 0 3 5 8 9 11 12
  ASSERT_TRUE(reader.GetSimpleNodeField(field, 1, 1, 7, values.data()));
  EXPECT_EQ(Head(8), (std::vector<double>{10.0, -777, -777, -777, -777, -777, 12.0, -777}));
  reader.SetElsetRegion(db.Root(), mixed.mesh, {});
  ASSERT_TRUE(reader.GetSimpleNodeField("NT", 1, 1, 14, values.data()));  // every record, in order
  EXPECT_EQ(values[2], 20.0);
  EXPECT_EQ(values[13], 13.0);
}

TEST_F(ZORMtkSimReaderFieldTest, NothingToReadStillGivesTrueAndLeavesTheValues) {
  const ZORSimDynamicID field = db.AddField(staticStep, "U_D");
  db.AddNodalDrawer(field, mixed.mesh, {13}, 3, Ramp(3));
  const ZORSimDynamicID notAField = db.AddField(staticStep, "NT", ZORSimKeys::kFieldOutputRecord);
  db.AddNodalDrawer(notAField, mixed.mesh, {0}, 1, {9.0});
  const ZORSimDynamicID late = db.AddField(incrementStep, "U_D");
  db.AddDrawer(late, {db.Increments({1}), Nodes({0}), Components(1)}, {3.0});
  reader.SetElsetRegion(db.Root(), mixed.mesh, {4});
  EXPECT_TRUE(reader.GetSimpleNodeField(field, 1, 1, 9, values.data()));  // outside the region
  EXPECT_TRUE(reader.GetSimpleNodeField("V_D", 1, 1, 9, values.data()));
  EXPECT_TRUE(reader.GetSimpleNodeField(notAField, 1, 1, 9, values.data()));
  EXPECT_TRUE(reader.GetSimpleNodeField("NT", 1, 1, 9, values.data()));
  EXPECT_TRUE(reader.GetSimpleNodeField(field, 2, 1, 9, values.data()));  // a field of step 1
  EXPECT_TRUE(reader.GetSimpleNodeField(late, 2, 2, 9, values.data()));   // no increment 2
  for (double v : values) EXPECT_EQ(v, kUnwritten);
}

TEST_F(ZORMtkSimReaderFieldTest, StepProblemsArePrintedByNameAndSilentByRecord) {
  const ZORSimDynamicID field = db.AddField(staticStep, "U_D");
  const CapturedStream errors(aio_cerr);
  for (const auto& [step, increment] : {std::pair(3, 1), {0, 1}, {1, 2}, {2, 3}}) {
    EXPECT_FALSE(reader.GetSimpleNodeField("U_D", step, increment, 42, values.data()));
    EXPECT_FALSE(reader.GetSimpleNodeField(field, step, increment, 42, values.data()));
  }
  EXPECT_EQ(errors.Text(),
            " ZORMtkSimReader::GetSimpleNodeField: stepNo > numTasks \n"
            " ZORMtkSimReader::GetSimpleNodeField: stepNo > numTasks \n"
            " ZORMtkSimReader::GetSimpleNodeField: static task record problem \n"
            " ZORMtkSimReader::GetSimpleNodeField: incrementNo not found \n");
}

// A drawer over (increment, a, b, node, d, component): the value kept is the one with the
// highest auxiliary indices, for the requested increment.
TEST_F(ZORMtkSimReaderFieldTest, NodalReadsTakeTheIncrementAndTheHighestAuxiliaryIndices) {
  const int nA = 2, nB = 3, nD = 2, nComp = 2;
  const std::vector<int> nodes = {7, 3, 11};
  const auto stored = [&](int increment, int a, int b, int node, int d, int c) {
    return 100000.0 * increment + 10000.0 * a + 1000.0 * b + 10.0 * node + d + 0.1 * c;
  };
  std::vector<double> drawer;
  for (int increment : {2, 4})
    for (int a = 0; a < nA; ++a)
      for (int b = 0; b < nB; ++b)
        for (int node : nodes)
          for (int d = 0; d < nD; ++d)
            for (int c = 0; c < nComp; ++c) drawer.push_back(stored(increment, a, b, node, d, c));
  const ZORSimDynamicID field = db.AddField(incrementStep, "U_D");
  db.AddDrawer(field,
               {db.Increments({2, 4}), db.Range(db.FirstAuxiliary(incrementStep, nA), 0, nA),
                db.Range(db.SecondAuxiliary(nB), 0, nB), Nodes(nodes),
                db.Range(db.ThirdAuxiliary(nD), 0, nD), Components(nComp)},
               drawer);
  for (int increment : {4, 2}) {
    ASSERT_TRUE(reader.GetSimpleNodeField(field, 2, increment, 28, values.data()));
    for (int node : nodes)
      for (int c = 0; c < nComp; ++c)
        EXPECT_EQ(values[node * nComp + c], stored(increment, 1, 2, node, 1, c)) << node;
    EXPECT_EQ(values[0], kUnwritten);
  }
}

// Drawers over every node of the region in its order, in layouts the rows can be read in
// straight and in layouts they cannot: both leave each node's components at its position, taken
// at the requested increment and the highest auxiliary indices; a point dimension is kept at its
// last point, so a row never holds more than the components and nothing lands past them.
TEST_F(ZORMtkSimReaderFieldTest, WholeRegionDrawersGiveNodeRowsInEveryLayout) {
  enum Role { kIncrement, kNode, kPoint, kComponent, kAuxiliary };
  const int nodeCount = 14, nPoint = 2, nComp = 3, nAux = 2;
  std::vector<int> allNodes(nodeCount);
  for (int n = 0; n < nodeCount; ++n) allNodes[static_cast<std::size_t>(n)] = n;
  const std::vector<std::vector<Role>> layouts = {
      {kIncrement, kNode, kComponent},
      {kIncrement, kComponent, kNode},
      {kIncrement, kAuxiliary, kNode, kPoint, kAuxiliary, kComponent},
      {kIncrement, kNode, kComponent, kPoint},
      {kIncrement, kPoint, kNode, kComponent}};
  for (const std::vector<Role>& layout : layouts) {
    std::vector<ZORSimCSetID> dims;
    std::vector<int> sizes;
    int lastPoint = 0;
    for (const Role role : layout) {
      const int size = role == kIncrement || role == kAuxiliary ? nAux
                       : role == kNode                          ? nodeCount
                       : role == kPoint                         ? nPoint
                                                                : nComp;
      dims.push_back(role == kIncrement   ? db.Increments({2, 4})
                     : role == kNode      ? Nodes(allNodes)
                     : role == kPoint     ? Points(nPoint)
                     : role == kComponent ? Components(nComp)
                     : dims.size() == 1 ? db.Range(db.FirstAuxiliary(incrementStep, nAux), 0, nAux)
                                        : db.Range(db.ThirdAuxiliary(nAux), 0, nAux));
      sizes.push_back(size);
      if (role == kPoint) lastPoint = nPoint - 1;
    }
    // Every stored value names its node, point and component; one that is not at increment 4
    // and the last auxiliary members carries a fraction no right read shows.
    std::vector<double> stored;
    std::vector<int> index(layout.size(), 0);
    for (bool more = true; more;) {
      double value = 0.0;
      for (std::size_t d = 0; d < layout.size(); ++d) {
        const int last = sizes[d] - 1;
        value += layout[d] == kNode        ? 1000.0 * index[d]
                 : layout[d] == kPoint     ? 100.0 * index[d]
                 : layout[d] == kComponent ? 10.0 * index[d]
                 : index[d] == last        ? 0.0
                                           : 0.25;
      }
      stored.push_back(value);
      std::size_t d = layout.size();
      while (d > 0 && ++index[d - 1] == sizes[d - 1]) index[--d] = 0;
      more = d > 0;
    }
    const ZORSimDynamicID field = db.AddField(incrementStep, "U_D");
    db.AddDrawer(field, dims, stored);
    std::vector<double> rows(static_cast<std::size_t>(nodeCount * nPoint * nComp), kUnwritten);
    ASSERT_TRUE(reader.GetSimpleNodeField(field, 2, 4, static_cast<int>(rows.size()), rows.data()));
    for (std::size_t slot = 0; slot < rows.size(); ++slot) {
      const int node = static_cast<int>(slot) / nComp;
      EXPECT_EQ(rows[slot], node < nodeCount
                                ? 1000.0 * node + 100.0 * lastPoint + 10.0 * (slot % nComp)
                                : kUnwritten)
          << "layout " << &layout - layouts.data() << " value " << slot;
    }
  }
}

// Callers size their arrays by the field's component count (the first record's of a name that
// has one); drawers keeping more components per node give their first ones, drawers keeping fewer
// leave the rest of the row, and nothing lands past the rows. Sums and time interpolation asking
// for fewer values than the field's rows hold read whole rows and give what they asked for.
TEST_F(ZORMtkSimReaderFieldTest, RowsAreAsWideAsTheFieldsComponentCount) {
  const ZORSimDynamicID field = db.AddField(staticStep, "U_D");
  db.AddNodalDrawer(field, mixed.mesh, {0, 1}, 2, {0.0, 0.1, 1.0, 1.1});
  db.AddNodalDrawer(field, mixed.mesh, {13, 2}, 3, {13.0, 13.1, 13.2, 2.0, 2.1, 2.2});
  db.AddNodalDrawer(field, mixed.mesh, {5}, 1, {5.0});
  const ZORSimDynamicID first = db.AddField(staticStep, "RF_D");
  db.AddNodalDrawer(first, mixed.mesh, {3}, 1, {3.0});
  const ZORSimDynamicID second = db.AddField(staticStep, "RF_D");
  db.AddNodalDrawer(second, mixed.mesh, {13, 4}, 3, {13.0, 13.1, 13.2, 4.0, 4.1, 4.2});
  const std::vector<std::pair<int, std::vector<double>>> written = {
      {0, {0.0, 0.1}}, {1, {1.0, 1.1}}, {2, {2.0, 2.1}}, {13, {13.0, 13.1}}, {5, {5.0}}};
  std::vector<double> expected(values.size(), kUnwritten);
  for (const auto& [node, row] : written)
    std::copy(row.begin(), row.end(), expected.begin() + 2 * node);
  ASSERT_TRUE(reader.GetSimpleNodeField(field, 1, 1, 28, values.data()));
  EXPECT_EQ(values, expected);
  for (const int asked : {1, 3}) {
    std::vector<double> sums(4, kUnwritten);
    reader.SumSimpleNodeField(field, 1, 1, sums.data(), asked);
    const std::vector<double> kept = {21.0, 0.1 + 1.1 + 2.1 + 13.1, 0.0, kUnwritten};
    for (int c = 0; c < 4; ++c)
      EXPECT_DOUBLE_EQ(sums[c], c < asked ? kept[c] : kUnwritten) << asked << " " << c;
  }
  std::vector<double> blended(values.size(), kUnwritten);
  ASSERT_TRUE(
      reader.GetInterpolatedSimpleNodeField(field, 1, 1, 0.0, 1, 1.0, 0.5, 14, blended.data()));
  std::vector<double> firstRows(expected.begin(), expected.begin() + 14);
  std::replace(firstRows.begin(), firstRows.end(), kUnwritten, 0.0);  // work buffers start at 0
  EXPECT_EQ(std::vector<double>(blended.begin(), blended.begin() + 14), firstRows);
  EXPECT_EQ(std::count(blended.begin() + 14, blended.end(), kUnwritten), 48 - 14);
  std::fill(values.begin(), values.end(), kUnwritten);
  std::fill(expected.begin(), expected.end(), kUnwritten);
  for (const auto& [node, value] : {std::pair(3, 3.0), {13, 13.0}, {4, 4.0}})
    expected[static_cast<std::size_t>(node)] = value;
  ASSERT_TRUE(reader.GetSimpleNodeField("RF_D", 1, 1, 14, values.data()));
  EXPECT_EQ(values, expected);
}

// The random round trips check interpolation between increments and sums over regions; here
// times without a positive span take the second state, and a sum of a bad step is zero.
TEST_F(ZORMtkSimReaderFieldTest, InterpolationWithoutASpanTakesTheSecondState) {
  const ZORSimDynamicID field = db.AddField(incrementStep, "NT");
  db.AddDrawer(field, {db.Increments({1, 2}), Nodes({0, 1}), Components(1)},
               {1.0, 10.0, 3.0, 30.0});
  for (const auto& [time1, time2] : {std::pair(1.0, 1.0), {2.0, 1.0}}) {
    std::vector<double> out(14, kUnwritten);
    EXPECT_TRUE(
        reader.GetInterpolatedSimpleNodeField(field, 2, 1, time1, 2, time2, 0.2, 14, out.data()));
    EXPECT_EQ(std::vector<double>(out.begin(), out.begin() + 3),
              (std::vector<double>{3.0, 30.0, 0.0}));
  }
  double sum = kUnwritten;
  reader.SumSimpleNodeField(field, 5, 2, &sum, 1);
  EXPECT_EQ(sum, 0.0);
}

TEST_F(ZORMtkSimReaderFieldTest, ElementReadsNeedOneDrawerHoldingEveryRequestedElement) {
  const ZORSimDynamicID stress = PointField(staticStep, "PRESS");
  db.AddDrawer(stress, {mixed.hexes, Points(2), Components(2)}, Ramp(8, 100.0));
  db.AddDrawer(stress, {mixed.tets, Points(1), Components(2)}, Ramp(4, 200.0));
  const ZORSimDynamicID energy = PointField(staticStep, "EPOT");
  db.AddDrawer(energy, {mixed.hexes, Components(3)}, Ramp(6));
  ASSERT_TRUE(ReadElements(stress, 1, 1, {3}));  // a subset of a drawer
  EXPECT_EQ(Head(3), (std::vector<double>{202.0, 203.0, kUnwritten}));
  ASSERT_TRUE(ReadElements(energy, 1, 1, {1, 0}));  // without points: one per element
  EXPECT_EQ(Head(7), (std::vector<double>{3.5, 4.5, 5.5, 0.5, 1.5, 2.5, kUnwritten}));
  values.assign(48, kUnwritten);
  for (const std::vector<int>& list : {std::vector<int>{0, 2}, {0, 0}, {4}})
    EXPECT_TRUE(ReadElements(stress, 1, 1, list));
  const ZORSimDynamicID notAField = db.AddField(staticStep, "CFF", ZORSimKeys::kFieldOutputRecord);
  db.AddDrawer(notAField, {mixed.hexes, Components(1)}, {1.0, 2.0});
  EXPECT_TRUE(ReadElements(notAField, 1, 1, {0}));
  EXPECT_FALSE(ReadElements(stress, 3, 1, {0}));
  EXPECT_FALSE(ReadElements(stress, 1, 2, {0}));
  EXPECT_FALSE(ReadElements(stress, 2, 1, {0}));  // the field belongs to step 1
  for (double v : values) EXPECT_EQ(v, kUnwritten);
}

TEST_F(ZORMtkSimReaderFieldTest, ElementReadsTakeTheHighestAuxiliaryIndicesAndInterpolate) {
  const int nA = 2, nD = 3, nPts = 2;
  std::vector<double> stored;
  for (int increment : {1, 2})
    for (int a = 0; a < nA; ++a)
      for (int e : {2, 3})
        for (int d = 0; d < nD; ++d)
          for (int p = 0; p < nPts; ++p)
            stored.push_back(10000.0 * increment + 1000.0 * a + 100.0 * e + 10.0 * d + p);
  const ZORSimDynamicID field = PointField(incrementStep, "PRESS");
  db.AddDrawer(field,
               {db.Increments({1, 2}), db.Range(db.FirstAuxiliary(incrementStep, nA), 0, nA),
                mixed.tets, db.Range(db.ThirdAuxiliary(nD), 0, nD), Points(nPts), Components(1)},
               stored);
  ASSERT_TRUE(ReadElements(field, 2, 2, {3, 2}));
  EXPECT_EQ(Head(5), (std::vector<double>{21320.0, 21321.0, 21220.0, 21221.0, kUnwritten}));
  std::vector<int> elements = {3, 2};
  ASSERT_TRUE(reader.GetInterpolatedSimpleElementClassField(
      field, 2, 1, 0.0, 2, 2.0, 0.5, elements.data(), 2, 2, 4, values.data()));
  EXPECT_EQ(Head(5), (std::vector<double>{13820.0, 13821.0, 13720.0, 13721.0, kUnwritten}));
}

// Callers that size their arrays by the element class or by the components they want read rows
// of that shape: a drawer keeping more points or components gives its first ones, one keeping
// fewer leaves the rest of each row, and nothing lands past the rows. Time interpolation of the
// drawer's own rows holds them all, however few values `count` asks to blend.
TEST_F(ZORMtkSimReaderFieldTest, ShapedReadsKeepTheCallersRowsWhateverTheDrawersHold) {
  const int nPts = 3, nComp = 4;
  std::vector<double> stored;
  for (int e = 0; e < 2; ++e)
    for (int p = 0; p < nPts; ++p)
      for (int c = 0; c < nComp; ++c) stored.push_back(100.0 * e + 10.0 * p + c + 1.0);
  const ZORSimDynamicID field = PointField(staticStep, "PRESS");
  db.AddDrawer(field, {mixed.hexes, Points(nPts), Components(nComp)}, stored);
  const std::vector<int> elements = {1, 0};
  for (const auto& [points, components] : {std::pair(3, 4), {2, 2}, {1, 1}, {4, 5}}) {
    const int rowWidth = points * components;
    std::vector<double> rows(static_cast<std::size_t>(2 * rowWidth + 8), kUnwritten);
    ASSERT_TRUE(
        reader.ReadElementRows(field, 1, 1, elements.data(), 2, points, components, rows.data()));
    for (std::size_t slot = 0; slot < rows.size(); ++slot) {
      const int position = static_cast<int>(slot) / rowWidth;
      const int p = static_cast<int>(slot) % rowWidth / components;
      const int c = static_cast<int>(slot) % components;
      const bool held = position < 2 && p < nPts && c < nComp;
      EXPECT_EQ(rows[slot], held ? 100.0 * elements[position] + 10.0 * p + c + 1.0 : kUnwritten)
          << points << " x " << components << " slot " << slot;
    }
  }
  std::vector<int> listed = elements;
  ASSERT_TRUE(reader.GetInterpolatedSimpleElementClassField(field, 1, 1, 0.0, 1, 0.0, 0.5,
                                                            listed.data(), 2, 1, 4, values.data()));
  EXPECT_EQ(Head(5), (std::vector<double>{101.0, 102.0, 103.0, 104.0, kUnwritten}));

  const ZORSimDynamicID nodal = db.AddField(staticStep, "U_D");
  db.AddNodalDrawer(nodal, mixed.mesh, {0, 1}, 2, {0.5, 0.6, 1.5, 1.6});
  db.AddNodalDrawer(nodal, mixed.mesh, {2}, 3, {2.5, 2.6, 2.7});
  const std::vector<std::vector<double>> held = {{0.5, 0.6}, {1.5, 1.6}, {2.5, 2.6, 2.7}};
  for (const int width : {1, 4}) {
    std::vector<double> rows(static_cast<std::size_t>(14 * width + 4), kUnwritten);
    ASSERT_TRUE(reader.ReadNodeRows(nodal, 1, 1, width, rows.data()));
    for (std::size_t slot = 0; slot < rows.size(); ++slot) {
      const std::size_t node = slot / static_cast<std::size_t>(width);
      const std::size_t c = slot % static_cast<std::size_t>(width);
      const bool kept = node < held.size() && c < held[node].size();
      EXPECT_EQ(rows[slot], kept ? held[node][c] : kUnwritten) << width << " slot " << slot;
    }
  }
  EXPECT_FALSE(reader.ReadNodeRows(nodal, 3, 1, 1, values.data()));
}

}  // namespace
