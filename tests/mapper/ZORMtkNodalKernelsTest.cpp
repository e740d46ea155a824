#include "mapper/impl/ZORMtkNodalKernels.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "mapper/ZORMtkDiagnosticsData.h"
#include "support/ZORTestSentinel.h"

// Gather and scatter are checked through whole mappings (EndToEndMappingTest), which reproduce
// fields exactly and keep sums; these are the edges no mapping reaches exactly.
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

}  // namespace

// A component is recorded when its sums differ by more than a tenth of the source's magnitude,
// and never when the source sum is negligible.
TEST(ZORMtkNodalKernels, OnlyShortfallsBeyondATenthAreRecordedWithBothSums) {
  struct Case {
    double source, target;
    bool recorded;
  };
  const Case cases[] = {{10.0, 8.5, true},   {10.0, 9.5, false},    {10.0, 9.0, false},
                        {1e-13, 5.0, false}, {-20.0, -19.0, false}, {-10.0, -12.0, true},
                        {-10.0, 10.0, true}};
  for (const Case& c : cases) {
    ZORMtkDiagnosticsData diagnostics;
    const double source[2] = {3.0, c.source}, target[2] = {3.0, c.target};
    ZORMtkNodalKernels::RecordUnconserved(source, target, 2, diagnostics);
    EXPECT_EQ(diagnostics.ErrorFlags(), c.recorded ? 32 : 0) << c.source << " " << c.target;
    if (!c.recorded) continue;
    ASSERT_EQ(diagnostics.ConservedComponents().Size(), 1);
    EXPECT_EQ(diagnostics.ConservedComponents()[0], 1);
    EXPECT_EQ(diagnostics.SourceSums()[0], c.source);
    EXPECT_EQ(diagnostics.TargetSums()[0], c.target);
  }
}

TEST(ZORMtkNodalKernels, RatioDividesByTheDifferenceAndGivesZeroWhenItIsNegligible) {
  const double numerator[4] = {6.0, 6.0, 6.0, 3.0};
  const double lower[4] = {1.0, 2.0, 1.0, 4.0};
  const double upper[4] = {4.0, 2.0, 1.0 + 1e-13, 1.0};
  double ratio[4] = {kUnwritten, kUnwritten, kUnwritten, kUnwritten};
  ZORMtkNodalKernels::Ratio(numerator, lower, upper, 4, ratio);
  EXPECT_EQ(std::vector<double>(ratio, ratio + 4), (std::vector<double>{2.0, 0.0, 0.0, -1.0}));
}

// M[i][j] = sum_k w(i,k) S[k] w(j,k), against the triple sum over random links (some targets
// without any, some sharing source nodes).
TEST(ZORMtkNodalKernels, MatrixProductMatchesTheTripleSum) {
  std::mt19937 random(7u);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const int sourceRows = 5, targetRows = 6;
  std::vector<std::vector<double>> w(targetRows, std::vector<double>(sourceRows, 0.0));
  std::vector<std::vector<Link>> keys(targetRows);
  for (int i = 0; i < targetRows; ++i)
    for (int k = 0; k < sourceRows; ++k)
      if (i != 3 && unit(random) < 0.4) keys[i].push_back({k, w[i][k] = unit(random)});
  std::vector<double> source(sourceRows);
  for (double& s : source) s = unit(random) - 0.5;
  std::vector<double> matrix(targetRows * targetRows, kUnwritten);
  ZORMtkNodalKernels::MatrixProduct(MakeLinks(keys), source.data(), sourceRows, matrix.data());
  for (int i = 0; i < targetRows; ++i)
    for (int j = 0; j < targetRows; ++j) {
      double expected = 0.0;
      for (int k = 0; k < sourceRows; ++k) expected += w[i][k] * source[k] * w[j][k];
      EXPECT_NEAR(matrix[i * targetRows + j], expected, 1e-15) << i << " " << j;
    }
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
