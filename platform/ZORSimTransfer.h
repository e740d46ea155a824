#pragma once

#include <cstdint>
#include <vector>

#include "platform/ZORSimCSetID.h"
#include "platform/ZORSimContext.h"

// One bulk move of values between a caller's buffer and a drawer, or the making of a drawer.
// The buffer is row-major over the transfer's dimension sets, last dimension fastest. Each set
// must lie within the drawer's set of that dimension (in any order); on write with auto-extend,
// members missing from the extendable dimension are appended to the drawer. A buffer whose
// byte length differs from the view's size is refused.
class ZORMTK_EXPORT ZORSimTransfer {
 public:
  ZORSimTransfer(ZORSimContext context, ZORSimDistributionID distribution);
  void SetRead() { mode_ = Mode::kRead; }
  void SetWrite() { mode_ = Mode::kWrite; }
  void SetMakeNewDrawerChunked(const std::vector<int>& chunk);
  void SetBufferPadding(bool padding) { padding_ = padding; }
  // 2: 8-byte doubles; 1 (the default): 4-byte ints.
  void SetBufferType(int type) { bufferType_ = type; }
  void SetExtendableDim(int dimension) { extendableDim_ = dimension; }
  void SetAutoExtend(bool on = true) { autoExtend_ = on; }
  void SetDrawer(ZORSimDrawerID drawer) { drawer_ = drawer; }
  void SetDim(int dimension, const ZORSimCSetID& set);
  void SetDims(const std::vector<ZORSimCSetID>& sets) { dims_ = sets; }
  void CheckView() const;
  void SetBuffer(int index, void* buffer, std::int64_t bytes);
  void SetBuffer(int index, const void* buffer, std::int64_t bytes);
  void ExecRead();
  void ExecWrite();
  void ExecMake();
  ZORSimDrawerID DrawerID() const { return drawer_; }
  void RelinquishBuffers();
  std::int64_t ViewValueCount() const;

 private:
  enum class Mode { kNone, kRead, kWrite, kMake };
  ZORSimContext context_;
  ZORSimDistributionID distribution_;
  Mode mode_ = Mode::kNone;
  std::vector<int> chunk_;
  bool padding_ = false;
  int bufferType_ = 1;
  int extendableDim_ = 0;
  bool autoExtend_ = false;
  ZORSimDrawerID drawer_;
  std::vector<ZORSimCSetID> dims_;
  void* buffer_ = nullptr;
  const void* constBuffer_ = nullptr;
  std::int64_t bufferBytes_ = 0;
};
