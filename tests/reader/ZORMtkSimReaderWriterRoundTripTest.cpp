#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "reader/ZORMtkSimReader.h"
#include "support/ZORTestSentinel.h"
#include "tests/platform/PlatformTestDatabase.h"
#include "writer/ZORMtkSimWriter.h"

// Random meshes and fields go through the writer and come back through the reader, which must
// find exactly what the test remembers writing: nodes, coordinates, element classes and their
// connectivity, element boxes (against brute force), nodal fields per increment (by handle and by
// name, partly written, in any node order) with their interpolation and sums, and
// integration-point fields per class.

namespace {

using Ints = std::vector<int>;
using Doubles = std::vector<double>;
// Element types as given to the writer and as stored (the shape table's name), with their
// integration points (-1: no drawer).
struct Kind {
  const char* given;
  const char* stored;
  int nodes;
  int points;
};
const Kind kKinds[] = {{"CPS4", "CPE4", 4, 4}, {"S3R", "S3R", 3, 1},       {"C3D8R", "C3D8", 8, -1},
                       {"S8R", "S8R", 8, 4},   {"STRI65", "STRI65", 6, 3}, {"C3D4", "C3D4", 4, -1},
                       {"CPE3", "CPE3", 3, 1}};

class RoundTrip {
 public:
  explicit RoundTrip(unsigned seed) : rng_(seed) {}

  // One to four blocks of distinct kinds (the reader finds a class's connectivity in one
  // drawer), nodes added in one to three calls.
  void WriteMesh(ZORMtkSimWriter& writer) {
    mesh_ = writer.AddMesh();
    dims_ = Pick(2, 3);
    nodes_ = Pick(8, 30);
    for (int i = 0; i < nodes_ * dims_; ++i) coords_.push_back(Uniform());
    for (int first = 0, count = 0; first < nodes_; first += count) {
      count = std::min(nodes_ - first, Pick(3, nodes_));
      writer.AddMeshNodes(mesh_, count, dims_, coords_.data() + first * dims_);
    }
    ZORSimArray<ZORSimCSetID> blocks;
    cow_List<cow_String> names;
    const Ints kinds = Shuffled(Iota(7));
    for (int b = Pick(1, 4); b > 0; --b) {
      const Kind& kind = kKinds[kinds[b]];
      Ints connectivity;
      const int count = Pick(1, 5);
      for (int e = 0; e < count; ++e) {
        Ints own = Shuffled(Iota(nodes_));
        own.resize(kind.nodes);
        kinds_.push_back(&kind);
        elementNodes_.push_back(own);
        connectivity.insert(connectivity.end(), own.begin(), own.end());
      }
      blocks.Append(
          writer.AddMeshElements(mesh_, count, kind.given, kind.nodes, connectivity.data()));
      names.Append(kind.given);
    }
    writer.ConnectMeshEltypes(mesh_, blocks, names);
  }

  // Up to five writes of random node subsets into increments 1 to 3, by handle or by name; an
  // increment's nodes that no write reached read as 0.
  void WriteNodeField(ZORMtkSimWriter& writer) {
    fieldName_ = Pick(0, 1) ? "U_D" : "NT";
    components_ = Pick(1, 4);
    const ZORSimDynamicID field = writer.AddSimpleNodeField(mesh_, fieldName_, components_);
    for (int w = Pick(1, 5); w > 0; --w) {
      const int increment = Pick(1, 3);
      const Ints targets = Subset(Iota(nodes_));
      Doubles& state = nodal_[increment];
      state.resize(nodes_ * components_, 0.0);
      Doubles values;
      for (int n : targets)
        for (int c = 0; c < components_; ++c)
          values.push_back(state[n * components_ + c] = Uniform());
      cow_List<int> list(targets);
      ASSERT_TRUE(Pick(0, 1) ? writer.WriteSimpleNodeField(field, mesh_, 1, increment, components_,
                                                           list, values.data())
                             : writer.WriteSimpleNodeField(mesh_, fieldName_.c_str(), 1, increment,
                                                           components_, list, values.data()));
    }
  }

  // Per class with integration points a random subset of its elements; then a list that mixes
  // two classes, which matches no drawer and writes nothing.
  void WriteElementField(ZORMtkSimWriter& writer) {
    pointComponents_ = Pick(1, 3);
    const ZORSimDynamicID field = writer.AddSimpleElementField(mesh_, "PRESS", pointComponents_);
    for (int e = 0; e < static_cast<int>(kinds_.size()); ++e)
      if (kinds_[e]->points > 0) classes_[kinds_[e]->stored].push_back(e);
    Ints mixed;
    for (const auto& [name, members] : classes_) {
      const int points = kinds_[members[0]]->points;
      Doubles values;
      for (int e : members) pointValues_[e].assign(points * pointComponents_, 0.0);
      const Ints targets = Subset(members);
      for (int e : targets)
        for (double& v : pointValues_[e]) values.push_back(v = Uniform());
      cow_List<int> list(targets);
      ASSERT_TRUE(writer.WriteSimpleElementClassField(field, mesh_, 1, 1, points, pointComponents_,
                                                      list, values.data()));
      mixed.push_back(members[0]);
    }
    cow_List<int> list(mixed);
    Doubles values(mixed.size() * 4 * pointComponents_, 99.0);
    if (mixed.size() > 1) {
      EXPECT_TRUE(writer.WriteSimpleElementClassField(field, mesh_, 1, 1, 4, pointComponents_, list,
                                                      values.data()));
    }
  }

  // A random region (the whole mesh by an empty list, or a random subset of elements); the
  // reopened file has handles of its own, so there its only mesh is reached as the default one.
  void CheckMesh(const ZORSrvPosition& root, bool reopened) {
    const int elements = static_cast<int>(kinds_.size());
    Ints region = Pick(0, 2) ? Subset(Iota(elements)) : Ints{};
    reader_.SetElsetRegion(root, reopened ? ZORSimDynamicID{} : mesh_, cow_List<int>(region));
    if (region.empty()) region = Iota(elements);
    std::sort(region.begin(), region.end());
    std::set<int> used;
    std::map<std::string, Ints> classes;
    for (int e : region) {
      used.insert(elementNodes_[e].begin(), elementNodes_[e].end());
      classes[kinds_[e]->stored].push_back(e);
    }
    // Every element in the region: every node, also those no element uses.
    const Ints nodeList =
        static_cast<int>(region.size()) == elements ? Iota(nodes_) : Ints(used.begin(), used.end());
    ASSERT_EQ(reader_.nodeList.Items(), nodeList);
    EXPECT_EQ(reader_.numNodes, static_cast<int>(nodeList.size()));
    EXPECT_EQ(reader_.numElements, static_cast<int>(region.size()));
    EXPECT_EQ(reader_.numCoordComponents, dims_);
    Ints got(nodeList.size());
    ASSERT_TRUE(reader_.GetNodes(static_cast<int>(got.size()), got.data()));
    EXPECT_EQ(got, nodeList);
    Doubles xyz(nodeList.size() * dims_), expected;
    ASSERT_TRUE(reader_.FillCoordinates(static_cast<int>(xyz.size()), xyz.data()));
    for (int n : nodeList)
      expected.insert(expected.end(), &coords_[n * dims_], &coords_[(n + 1) * dims_]);
    EXPECT_EQ(xyz, expected);
    cow_List<cow_String> names;
    reader_.GetElementClassNames(names);
    std::vector<std::string> expectedNames, gotNames;
    for (const cow_String& name : names.Items()) gotNames.push_back(name.Str());
    for (const auto& [name, members] : classes) {
      expectedNames.push_back(name);
      Ints own(members.size()), connectivity(members.size() * elementNodes_[members[0]].size()),
          stored;
      ASSERT_TRUE(reader_.GetElementClassMembers(name, static_cast<int>(own.size()), own.data()));
      EXPECT_EQ(own, members) << name;
      ASSERT_TRUE(reader_.GetElementClassConnectivity(name, static_cast<int>(connectivity.size()),
                                                      connectivity.data()));
      for (int e : members)
        stored.insert(stored.end(), elementNodes_[e].begin(), elementNodes_[e].end());
      EXPECT_EQ(connectivity, stored) << name;
    }
    EXPECT_EQ(gotNames, expectedNames);
    CheckBoxes(region);
  }

  void CheckNodeField() {
    const ZORSimDynamicID field = reader_.GetFieldID(fieldName_.c_str(), 1);
    const int size = reader_.numNodes * components_, last = nodal_.rbegin()->first;
    for (int increment = 1; increment <= 3; ++increment) {
      Doubles values(size, kUnwritten);
      ASSERT_EQ(reader_.GetSimpleNodeField(field, 1, increment, size, values.data()),
                increment <= last);
      EXPECT_EQ(reader_.GetSimpleFieldSize(field, 1, increment),
                increment <= last ? components_ : 0);
      EXPECT_EQ(values, Expected(increment)) << "increment " << increment;
    }
    const int first = nodal_.begin()->first;
    const double time = Uniform() / 5.0;  // between the times 0 and 1 and beyond both
    Doubles blended(size, kUnwritten), sums(components_, 0.0), got(components_, kUnwritten);
    reader_.GetInterpolatedSimpleNodeField(field, 1, first, 0.0, last, 1.0, time, size,
                                           blended.data());
    const Doubles a = Expected(first), b = Expected(last);
    for (int k = 0; k < size; ++k) {
      EXPECT_NEAR(blended[k], (1 - time) * a[k] + time * b[k], 1e-12) << k;
      sums[k % components_] += b[k];
    }
    reader_.SumSimpleNodeField(field, 1, last, got.data(), components_);
    for (int c = 0; c < components_; ++c) EXPECT_NEAR(got[c], sums[c], 1e-12) << c;
  }

  // Every class in a random order; elements without integration points have no drawer.
  void CheckElementField() {
    const ZORSimDynamicID field = reader_.GetFieldID("PRESS", 1);
    for (const auto& [name, members] : classes_) {
      const Ints order = Shuffled(members);
      Doubles values(pointValues_[members[0]].size() * order.size() + 1, kUnwritten), expected;
      for (int e : order)
        expected.insert(expected.end(), pointValues_[e].begin(), pointValues_[e].end());
      expected.push_back(kUnwritten);
      ASSERT_TRUE(reader_.GetSimpleElementClassField(
          field, 1, 1, order.data(), static_cast<int>(order.size()), 0, 0, values.data()));
      EXPECT_EQ(values, expected) << name;
    }
    for (int e = 0; e < static_cast<int>(kinds_.size()); ++e) {
      double value = kUnwritten;
      if (kinds_[e]->points < 0) {
        EXPECT_TRUE(reader_.GetSimpleElementClassField(field, 1, 1, &e, 1, 0, 0, &value));
      }
      EXPECT_EQ(value, kUnwritten);
    }
  }

 private:
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  double Uniform() { return std::uniform_real_distribution<double>(-10.0, 10.0)(rng_); }
  static Ints Iota(int n) {
    Ints v(n);
    std::iota(v.begin(), v.end(), 0);
    return v;
  }
  Ints Shuffled(Ints v) {
    std::shuffle(v.begin(), v.end(), rng_);
    return v;
  }
  // A random non-empty subset, in random order.
  Ints Subset(const Ints& from) {
    Ints s = Shuffled(from);
    s.resize(Pick(1, static_cast<int>(s.size())));
    return s;
  }

  void CheckBoxes(const Ints& region) {
    const std::size_t n = region.size() * dims_;
    Ints elements(region.size());
    Doubles low(n), high(n), expectLow, expectHigh,
        overall = {1e300, 1e300, 1e300, -1e300, -1e300, -1e300};
    double average = 0.0, sizes = 0.0, overallLow[3], overallHigh[3];
    ASSERT_TRUE(reader_.GetElementBoxes(elements.data(), low.data(), high.data(), average,
                                        overallLow, overallHigh));
    EXPECT_EQ(elements, region);
    for (int e : region) {
      double largest = 0.0;
      for (int c = 0; c < dims_; ++c) {
        double lo = 1e300, hi = -1e300;
        for (int node : elementNodes_[e])
          lo = std::min(lo, coords_[node * dims_ + c]),
          hi = std::max(hi, coords_[node * dims_ + c]);
        expectLow.push_back(lo), expectHigh.push_back(hi);
        overall[c] = std::min(overall[c], lo), overall[3 + c] = std::max(overall[3 + c], hi);
        largest = std::max(largest, hi - lo);
      }
      sizes += largest;
    }
    EXPECT_EQ(low, expectLow);
    EXPECT_EQ(high, expectHigh);
    EXPECT_DOUBLE_EQ(average, sizes / region.size());
    for (int c = 0; c < dims_; ++c)
      EXPECT_EQ(Doubles({overallLow[c], overallHigh[c]}), Doubles({overall[c], overall[3 + c]}));
  }

  // What a read of the increment gives, node by node in nodeList order.
  Doubles Expected(int increment) const {
    Doubles out(reader_.numNodes * components_, kUnwritten);
    if (nodal_.count(increment))
      for (int i = 0; i < reader_.numNodes; ++i)
        for (int c = 0; c < components_; ++c)
          out[i * components_ + c] = nodal_.at(increment)[reader_.nodeList[i] * components_ + c];
    return out;
  }

  std::mt19937 rng_;
  ZORSimDynamicID mesh_;
  int dims_ = 3, nodes_ = 0, components_ = 1, pointComponents_ = 1;
  Doubles coords_;
  std::vector<const Kind*> kinds_;
  std::vector<Ints> elementNodes_;
  std::string fieldName_;
  std::map<int, Doubles> nodal_, pointValues_;
  std::map<std::string, Ints> classes_;
  ZORMtkSimReader reader_;
};

// Odd seeds read the file after SaveContext, even seeds the live database.
TEST(ZORMtkSimReaderWriterRoundTripTest, RandomMeshesAndFieldsComeBackAsWritten) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const RemovedAtEnd file(::testing::TempDir() + "zor_round_trip_" + std::to_string(seed));
    RoundTrip trip(seed);
    ZORMtkSimWriter writer;
    writer.CreateSim(file.name);
    trip.WriteMesh(writer);
    trip.WriteNodeField(writer);
    trip.WriteElementField(writer);
    ZORSrvSimAccess access;
    ZORSrvPosition root = writer.GetRootPosition();
    if (seed % 2) {
      writer.SaveContext();
      root = access.Open(file.name);
    }
    trip.CheckMesh(root, seed % 2);
    trip.CheckNodeField();
    trip.CheckElementField();
    if (seed % 2) access.Close(root);
  }
}

}  // namespace
