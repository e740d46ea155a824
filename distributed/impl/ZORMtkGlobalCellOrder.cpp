#include "distributed/impl/ZORMtkGlobalCellOrder.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <string>

#include "api/ZORMtkVtkCells.h"
#include "distributed/impl/ZORMpiExchange.h"

namespace {

constexpr int kVtkTypes = 256;
constexpr std::int64_t kAbsent = std::numeric_limits<std::int64_t>::max();

// The element-type block of every VTK cell type, numbered alike on every rank.
std::vector<int> BlockOfType(bool plane, int& blockCount) {
  std::vector<std::string> names;
  std::vector<int> blockOf(kVtkTypes, -1);
  for (int type = 0; type < kVtkTypes; ++type) {
    const ZORMtkVtkCell* cell = ZORMtkVtkCells::Find(type);
    if (cell == nullptr) continue;
    const std::string name = plane ? cell->planeElement : cell->solidOrShellElement;
    const auto at = std::find(names.begin(), names.end(), name);
    blockOf[static_cast<std::size_t>(type)] = static_cast<int>(at - names.begin());
    if (at == names.end()) names.push_back(name);
  }
  blockCount = static_cast<int>(names.size());
  return blockOf;
}

}  // namespace

ZORMtkGlobalCellOrder ZORMtkGlobalCellOrder::Of(const ZORMtkMeshArrays& part, bool plane,
                                                const ZORMpiExchange& exchange) {
  ZORMtkGlobalCellOrder order;
  order.firstCell = exchange.ExclusivePrefix(part.cellCount);
  int blocks = 0;
  const std::vector<int> blockOf = BlockOfType(plane, blocks);
  const std::size_t blockCount = static_cast<std::size_t>(blocks);
  std::vector<int> block(static_cast<std::size_t>(part.cellCount));
  std::vector<std::int64_t> first(blockCount, kAbsent);
  std::vector<std::int64_t> counts(blockCount, 0);
  for (int c = 0; c < part.cellCount; ++c) {
    const int b = blockOf[part.types[c]];
    block[static_cast<std::size_t>(c)] = b;
    first[static_cast<std::size_t>(b)] =
        std::min(first[static_cast<std::size_t>(b)], order.firstCell + c);
    ++counts[static_cast<std::size_t>(b)];
  }
  std::vector<std::int64_t> firstOverall(blockCount);
  std::vector<std::int64_t> totals(blockCount);
  std::vector<std::int64_t> before(blockCount, 0);
  MPI_Allreduce(first.data(), firstOverall.data(), blocks, MPI_INT64_T, MPI_MIN, exchange.Comm());
  MPI_Allreduce(counts.data(), totals.data(), blocks, MPI_INT64_T, MPI_SUM, exchange.Comm());
  MPI_Exscan(counts.data(), before.data(), blocks, MPI_INT64_T, MPI_SUM, exchange.Comm());
  if (exchange.Rank() == 0) std::fill(before.begin(), before.end(), 0);
  // Blocks in the order their types first appear; each starts after the blocks before it.
  std::vector<int> byAppearance(blockCount);
  std::iota(byAppearance.begin(), byAppearance.end(), 0);
  std::stable_sort(byAppearance.begin(), byAppearance.end(), [&](int a, int b) {
    return firstOverall[static_cast<std::size_t>(a)] < firstOverall[static_cast<std::size_t>(b)];
  });
  std::vector<std::int64_t> next(blockCount);
  std::int64_t start = 0;
  for (const int b : byAppearance) {
    next[static_cast<std::size_t>(b)] = start + before[static_cast<std::size_t>(b)];
    start += totals[static_cast<std::size_t>(b)];
  }
  std::vector<std::int64_t> numbers(static_cast<std::size_t>(part.cellCount));
  for (std::size_t c = 0; c < numbers.size(); ++c)
    numbers[c] = next[static_cast<std::size_t>(block[c])]++;
  order.cells.resize(numbers.size());
  std::iota(order.cells.begin(), order.cells.end(), 0);
  std::sort(order.cells.begin(), order.cells.end(), [&](int a, int b) {
    return numbers[static_cast<std::size_t>(a)] < numbers[static_cast<std::size_t>(b)];
  });
  order.elementNumbers.resize(numbers.size());
  for (std::size_t k = 0; k < numbers.size(); ++k)
    order.elementNumbers[k] = numbers[static_cast<std::size_t>(order.cells[k])];
  return order;
}
