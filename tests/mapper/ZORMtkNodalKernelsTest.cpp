#include "mapper/impl/ZORMtkNodalKernels.h"

#include <gtest/gtest.h>

#include <vector>

#include "mapper/ZORMtkDiagnosticsData.h"

namespace {

struct Link {
  int row;
  double weight;
};

ZORMtkNodeLinks MakeLinks(const std::vector<std::vector<Link>>& keys) {
  ZORMtkNodeLinks links;
  for (const std::vector<Link>& key : keys) {
    for (const Link& link : key) links.AddLink(link.row, link.weight);
    links.CloseKey();
  }
  return links;
}

constexpr double kGarbage = -777.0;

}  // namespace

TEST(ZORMtkNodalKernels, GatherWeighsPartnerRowsPerComponentAndZeroesUnlinkedRows) {
  // Three source nodes with two components each; component 1 is ten times component 0 plus 1,
  // so a wrong component stride shows.
  const std::vector<double> source = {1.0, 11.0, 2.0, 21.0, 3.0, 31.0};
  const ZORMtkNodeLinks links = MakeLinks({{{2, 0.25}, {0, 0.75}}, {}, {{1, 1.0}}});
  std::vector<double> result(6, kGarbage);

  ZORMtkNodalKernels::Gather(links, source.data(), 2, result.data());

  const std::vector<double> expected = {
      0.25 * 3.0 + 0.75 * 1.0, 0.25 * 31.0 + 0.75 * 11.0, 0.0, 0.0, 2.0, 21.0};
  EXPECT_EQ(result, expected);
}

TEST(ZORMtkNodalKernels, ScatterSpreadsEachSourceRowAndAccumulatesOnSharedTargets) {
  const std::vector<double> source = {4.0, 40.0, 8.0, 80.0};
  // Source 0 goes half to target 0 and half to target 2; source 1 wholly to target 2.
  const ZORMtkNodeLinks links = MakeLinks({{{0, 0.5}, {2, 0.5}}, {{2, 1.0}}});
  std::vector<double> result(8, kGarbage);

  ZORMtkNodalKernels::Scatter(links, source.data(), 2, 4, result.data());

  const std::vector<double> expected = {2.0, 20.0, 0.0, 0.0, 10.0, 100.0, 0.0, 0.0};
  EXPECT_EQ(result, expected);
}

TEST(ZORMtkNodalKernels, ScatterWithWeightsSummingToOneKeepsTheTotal) {
  const std::vector<double> source = {1.5, -2.0, 7.25};
  const ZORMtkNodeLinks links =
      MakeLinks({{{0, 0.2}, {1, 0.8}}, {{1, 0.5}, {2, 0.25}, {3, 0.25}}, {{3, 1.0}}});
  std::vector<double> result(4);
  ZORMtkNodalKernels::Scatter(links, source.data(), 1, 4, result.data());

  double sourceSum = 0.0, targetSum = 0.0;
  ZORMtkNodalKernels::ComponentSums(source.data(), 3, 1, &sourceSum);
  ZORMtkNodalKernels::ComponentSums(result.data(), 4, 1, &targetSum);
  EXPECT_DOUBLE_EQ(targetSum, sourceSum);
}

TEST(ZORMtkNodalKernels, ShortfallBeyondATenthIsRecordedWithBothSums) {
  ZORMtkDiagnosticsData diagnostics;
  const double source[2] = {3.0, 10.0};
  const double target[2] = {3.0, 8.5};
  ZORMtkNodalKernels::RecordUnconserved(source, target, 2, diagnostics);

  EXPECT_EQ(diagnostics.ErrorFlags(), 32);
  ASSERT_EQ(diagnostics.ConservedComponents().Size(), 1);
  EXPECT_EQ(diagnostics.ConservedComponents()[0], 1);
  EXPECT_EQ(diagnostics.SourceSums()[0], 10.0);
  EXPECT_EQ(diagnostics.TargetSums()[0], 8.5);
}

TEST(ZORMtkNodalKernels, DifferencesUpToATenthAndNegligibleSourcesAreNotRecorded) {
  ZORMtkDiagnosticsData diagnostics;
  // 5 %, exactly 10 %, a source of 1e-13 against anything, a negative sum within 5 %.
  const double source[4] = {10.0, 10.0, 1e-13, -20.0};
  const double target[4] = {9.5, 9.0, 5.0, -19.0};
  ZORMtkNodalKernels::RecordUnconserved(source, target, 4, diagnostics);
  EXPECT_EQ(diagnostics.ErrorFlags(), 0);
  EXPECT_EQ(diagnostics.ConservedComponents().Size(), 0);
}

TEST(ZORMtkNodalKernels, NegativeSumsAreComparedByMagnitude) {
  ZORMtkDiagnosticsData diagnostics;
  const double source[1] = {-10.0};
  const double target[1] = {-12.0};
  ZORMtkNodalKernels::RecordUnconserved(source, target, 1, diagnostics);
  EXPECT_EQ(diagnostics.ErrorFlags(), 32);
  EXPECT_EQ(diagnostics.TargetSums()[0], -12.0);
}

TEST(ZORMtkNodalKernels, RatioDividesByTheDifferenceAndGivesZeroWhenItIsNegligible) {
  const double numerator[4] = {6.0, 6.0, 6.0, 3.0};
  const double lower[4] = {1.0, 2.0, 1.0, 4.0};
  const double upper[4] = {4.0, 2.0, 1.0 + 1e-13, 1.0};
  double ratio[4] = {kGarbage, kGarbage, kGarbage, kGarbage};
  ZORMtkNodalKernels::Ratio(numerator, lower, upper, 4, ratio);
  EXPECT_EQ(ratio[0], 2.0);
  EXPECT_EQ(ratio[1], 0.0);
  EXPECT_EQ(ratio[2], 0.0);
  EXPECT_EQ(ratio[3], -1.0);
}

TEST(ZORMtkNodalKernels, MatrixOfOneToOneLinksIsDiagonalWithTheSourceField) {
  const std::vector<double> source = {2.0, -3.0, 5.0};
  const ZORMtkNodeLinks links = MakeLinks({{{0, 1.0}}, {{1, 1.0}}, {{2, 1.0}}});
  std::vector<double> matrix(9, kGarbage);
  ZORMtkNodalKernels::MatrixProduct(links, source.data(), 3, matrix.data());
  const std::vector<double> expected = {2.0, 0.0, 0.0, 0.0, -3.0, 0.0, 0.0, 0.0, 5.0};
  EXPECT_EQ(matrix, expected);
}

TEST(ZORMtkNodalKernels, MatrixEntriesSumOverSharedSourceNodes) {
  const std::vector<double> source = {2.0, 4.0};
  // Target 0 lies between both source nodes, target 1 on source node 1, target 2 nowhere.
  const ZORMtkNodeLinks links = MakeLinks({{{0, 0.5}, {1, 0.5}}, {{1, 1.0}}, {}});
  std::vector<double> matrix(9, kGarbage);
  ZORMtkNodalKernels::MatrixProduct(links, source.data(), 2, matrix.data());
  // M[i][j] = sum_k w(i,k) S[k] w(j,k)
  const std::vector<double> expected = {
      0.5 * 2 * 0.5 + 0.5 * 4 * 0.5, 0.5 * 4 * 1.0, 0.0, 1.0 * 4 * 0.5, 4.0, 0.0, 0.0, 0.0, 0.0};
  EXPECT_EQ(matrix, expected);
}

TEST(ZORMtkNodalKernels, DenseMatrixBytesCountBothWorkMatricesAndTheResultWithoutOverflow) {
  EXPECT_EQ(ZORMtkNodalKernels::DenseMatrixBytes(3, 2), 8 * (2 * 6 + 4));
  // 20 000 nodes on each side: far beyond int, and beyond the limit.
  EXPECT_EQ(ZORMtkNodalKernels::DenseMatrixBytes(20000, 20000), std::int64_t{8} * 3 * 400000000);
  EXPECT_GT(ZORMtkNodalKernels::DenseMatrixBytes(20000, 20000),
            ZORMtkNodalKernels::kDenseMatrixLimit);
  EXPECT_LT(ZORMtkNodalKernels::DenseMatrixBytes(1000, 1000),
            ZORMtkNodalKernels::kDenseMatrixLimit);
}
