#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/ZORSimAPI.h"
#include "platform/ZORSimSchemaKeys.h"
#include "platform/impl/ZORSimDatabase.h"
#include "writer/ZORDataDictionary.h"

// A database made from the data dictionary in a scratch folder, with shortcuts to the global
inline std::string ScratchFile(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir ? dir : "/tmp") + "/zorsim-" + std::to_string(::getpid()) + "-" + name;
}

inline void RemoveDatabaseFile(const std::string& file) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((file + suffix).c_str());
}

inline ZORSrvPosition CreateDatabase(const std::string& file) {
  ZORSrvSimAccess access;
  access.SetSchema(eds_SSDLallSource_Get());
  return access.Create(file, "Input", ZORDataDictionaryText(), "anchor:focus");
}

inline ZORSimCollectionID ComponentCollection(const ZORSrvPosition& root) {
  return ZORSrvPosition(root, root.Follow(ZORSimKeys::kComponentCollection, 0)).GetCollection();
}

// A node collection of nodeCount members and a distribution [nodes, components] with one
// drawer over all nodes and `components` components.
struct NodalDrawer {
  ZORSimCollectionID nodes;
  ZORSimDistributionID distribution;
  ZORSimDrawerID drawer;
  ZORSimCSetID componentSet;
};

inline NodalDrawer MakeNodalDrawer(const ZORSrvPosition& root, int nodeCount, int components) {
  NodalDrawer made;
  made.nodes = root.CreateTypedCollection(0, ZORSimKeys::kNodeCollectionType);
  ZORSimCollection nodes(root.Context(), made.nodes);
  nodes.ExtendSpace(nodeCount);
  made.distribution =
      root.CreateTypedDistribution({made.nodes, ComponentCollection(root)},
                                   ZORSimKeys::kCoordinateDistributionType, ZORSimRangeType(2));
  made.componentSet = ZORSimCollection(root.Context(), ComponentCollection(root))
                          .CreateCSetStrided(0, components, 1, 1);
  ZORSimTransfer make(root.Context(), made.distribution);
  make.SetMakeNewDrawerChunked({nodeCount, components});
  make.SetExtendableDim(0);
  make.SetDim(0, nodes.BiggestCSetID());
  make.SetDim(1, made.componentSet);
  make.CheckView();
  make.ExecMake();
  made.drawer = make.DrawerID();
  return made;
}

inline void WriteValues(const ZORSrvPosition& root, const NodalDrawer& d, const ZORSimCSetID& nodes,
                        const std::vector<double>& values, bool autoExtend = false) {
  ZORSimTransfer write(root.Context(), d.distribution);
  write.SetWrite();
  write.SetBufferType(2);
  write.SetAutoExtend(autoExtend);
  write.SetDrawer(d.drawer);
  write.SetDim(0, nodes);
  write.SetDim(1, d.componentSet);
  write.CheckView();
  write.SetBuffer(0, values.data(), static_cast<std::int64_t>(values.size() * sizeof(double)));
  write.ExecWrite();
  write.RelinquishBuffers();
}

inline std::vector<double> ReadValues(const ZORSrvPosition& root, const NodalDrawer& d,
                                      const ZORSimCSetID& nodes) {
  std::vector<double> values(static_cast<std::size_t>(nodes.Size() * d.componentSet.Size()));
  ZORSimTransfer read(root.Context(), d.distribution);
  read.SetRead();
  read.SetBufferType(2);
  read.SetDrawer(d.drawer);
  read.SetDim(0, nodes);
  read.SetDim(1, d.componentSet);
  read.CheckView();
  read.SetBuffer(0, values.data(), static_cast<std::int64_t>(values.size() * sizeof(double)));
  read.ExecRead();
  return values;
}

// Handles are tied to one open database; the same object of a reopened file has the same number.
inline ZORSimDynamicID SameObjectIn(const ZORSrvPosition& root, ZORSimDynamicID id) {
  return root.Context().Database().Handle(id.object);
}
