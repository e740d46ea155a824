#pragma once

#include <cstdint>
#include <vector>

#include "platform/ZORSimAPI.h"
#include "reader/impl/ZORMtkFieldCollections.h"

// The values of some rows of a field drawer, as one read brought them: per row, per integration
// point and per component, with the strides at which they sit in `values`.
struct ZORMtkDrawerValues {
  std::vector<double> values;
  int points = 1;
  int components = 1;
  std::int64_t rowStride = 0;
  std::int64_t pointStride = 0;
  std::int64_t componentStride = 0;

  double At(int row, int point, int component) const {
    return values[static_cast<std::size_t>(row * rowStride + point * pointStride +
                                           component * componentStride)];
  }
};

// One drawer of a field distribution with its dimensions classified by what they run over.
// Owns copies of the drawer's description; reads values only when asked.
class ZORMtkFieldDrawer {
 public:
  ZORMtkFieldDrawer(ZORSimDistributionID distribution, ZORSimDrawerDescriptor drawer,
                    const ZORMtkFieldCollections& collections);

  // Position of the last dimension of that kind, or -1.
  int Find(ZORMtkDimensionKind kind) const;
  bool Has(ZORMtkDimensionKind kind) const { return Find(kind) >= 0; }
  // The drawer's own set of the last dimension of that kind (empty when absent).
  ZORSimCSetID SetOf(ZORMtkDimensionKind kind) const;
  // Member count of that dimension; 1 when the drawer has none.
  int SizeOf(ZORMtkDimensionKind kind) const;

  // Reads the values of `rows` (a set within the drawer's dimension `entity`) at `increment`.
  // Where several values share a row, point and component along the auxiliary dimensions, the
  // one with the highest auxiliary indices is the one kept, so only that one is read. Returns
  // false, reading nothing, when the drawer holds no such values: it lacks the increment, an
  // auxiliary dimension is empty, or a dimension runs over a collection the field cannot have.
  bool Read(const ZORSimContext& context, ZORMtkDimensionKind entity, const ZORSimCSetID& rows,
            const ZORSimCSetID& increment, ZORMtkDrawerValues& out) const;
  // Reads as Read does, straight into `values` laid out as [row][point][component] (room for
  // rows x points x components), when the drawer keeps them in that layout; false, reading
  // nothing, when it does not or holds no such values.
  bool ReadRows(const ZORSimContext& context, ZORMtkDimensionKind entity, const ZORSimCSetID& rows,
                const ZORSimCSetID& increment, double* values) const;

 private:
  // Whether rows of that entity hold a value per point: element rows do; a node's row holds one
  // value per component, so a point dimension over nodes is kept at its last member, as the
  // auxiliary dimensions are, and a node's row never outgrows the field's component count.
  static bool PointsPerRow(ZORMtkDimensionKind entity) {
    return entity != ZORMtkDimensionKind::kNode;
  }
  bool ViewOf(const ZORSimContext& context, ZORMtkDimensionKind entity, const ZORSimCSetID& rows,
              const ZORSimCSetID& increment, std::vector<ZORSimCSetID>& view) const;
  // Reads the view's `count` values into `values`, in the view's row-major order.
  void Transfer(const ZORSimContext& context, const std::vector<ZORSimCSetID>& view, double* values,
                std::size_t count) const;

  ZORSimDistributionID distribution_;
  ZORSimDrawerDescriptor drawer_;
  std::vector<ZORMtkDimensionKind> kinds_;
};
