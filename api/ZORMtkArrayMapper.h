#pragma once

#include <memory>
#include <string>
#include <vector>

#include "api/ZORMtkArrayStatus.h"
#include "api/ZORMtkElementShapeCheck.h"
#include "api/ZORMtkMeshArrays.h"
#include "api/ZORMtkSparseWeights.h"
#include "mapper/ZORMtkMapSpecs.h"
#include "platform/ZORExport.h"

// How an array mapping finds its weights and what unplaced points get.
struct ZORMtkArrayOptions {
  // Shape-function interpolation in the source elements, or the nearest source node.
  MapMethod_Tag method = MethodShapeInterpolation;
  // Search tolerances: boundary in natural coordinates, normal in element lengths. 0 keeps the
  // library's value (0.3 and 0.5, unless ZORMTK_BOUNDARY_TOLERANCE or ZORMTK_NORMAL_TOLERANCE
  // say otherwise).
  double boundaryTolerance = 0.0;
  double normalTolerance = 0.0;
  // The value of target points the search could not place.
  double unplacedFill = 0.0;
  // Unplaced target points take their nearest source node's value instead of the fill.
  bool nearestFallback = false;
  // Distribute each source value over the target nodes so that every component keeps its sum
  // (the target must be a mesh with elements); a sum that is not kept is reported.
  bool conservative = false;
  // Which element takes a point that several accept: the first (the library's default), or one
  // whose reference shape holds it (no extrapolation from a neighbour).
  ElementChoice_Tag elementChoice = ChoiceFirstAccepted;
  // Threads for the searches and transfers; 0 takes ZORMTK_THREADS, else every hardware thread.
  // The results are the same at any count.
  int threads = 0;
};

// Maps fields given as arrays from a source mesh to target points or a target mesh, with the
// library's own searches and transfers: the meshes go into a simulation database that lives in
// memory and is never saved, a ZORMtkMapper with one request maps each field through its host
// buffers, and its weight cache keeps the weights, so they are searched once per pair of meshes
// and options and every later field costs the arithmetic alone.
//
// Bad arrays or options give a status that says what is wrong; nothing is thrown by the mapping
// itself (the database underneath throws ZORSimError on its own failures). Owns the database,
// the readers and the mapper. One thread at a time per object; separate objects may be used from
// separate threads at once.
class ZORMTK_EXPORT ZORMtkArrayMapper {
 public:
  ZORMtkArrayMapper();
  ~ZORMtkArrayMapper();
  ZORMtkArrayMapper(const ZORMtkArrayMapper&) = delete;
  ZORMtkArrayMapper& operator=(const ZORMtkArrayMapper&) = delete;

  // The meshes; a second call replaces the mesh and drops the weights. The source needs
  // elements for shape interpolation; the target may be points alone (no cells) unless the
  // mapping is conservative.
  ZORMtkArrayStatus SetSource(const ZORMtkMeshArrays& mesh);
  ZORMtkArrayStatus SetTarget(const ZORMtkMeshArrays& mesh);
  // Drops the weights when they were computed with other options.
  ZORMtkArrayStatus SetOptions(const ZORMtkArrayOptions& options);

  // Searches the target points in the source (the first call after a change of mesh or
  // options; later calls return at once). Map calls it when needed.
  ZORMtkArrayStatus ComputeWeights();
  // Maps one field: sourceValues holds sourceRows x components doubles (row i for source node
  // i, components fastest), targetValues receives TargetPointCount() x components.
  ZORMtkArrayStatus Map(const double* sourceValues, int sourceRows, int components,
                        double* targetValues);

  // The source elements that are flat, inverted (nodes in an order the element type does not
  // take) or too small in the mesh's units for the element search: no point is placed in them,
  // so a host may warn. Zero before SetSource.
  ZORMtkShapeCounts SourceShapes() const;
  int SourceNodeCount() const;
  int TargetPointCount() const;
  // After ComputeWeights: 1 for each target point the search placed in a source element (or,
  // with the nearest-node method, gave a nearest node), 0 for the others, which hold the fill
  // value or, with the fallback, their nearest source node's value. A conservative mapping marks
  // the target points that received a share of some source value.
  const std::vector<unsigned char>& Placed() const;
  // After ComputeWeights: the host's cell (the cell index of VTK cells, or the element counted
  // through the blocks in order) whose shape functions give each target point its value; -1
  // where none does (unplaced points, the nearest-node method and fallback, conservative
  // mappings).
  std::vector<int> SourceElements() const;
  // After ComputeWeights: the weights that Map applies, target points by source nodes. Unplaced
  // points without a fallback have empty rows (Map gives them the fill value).
  ZORMtkSparseWeights Weights() const;
  // The diagnostics flags (an OR of DiagnosticCode_Tag) and one text per recorded problem, as the
  // mapper words them, with the first of the points listed and their count.
  int Flags() const;
  std::vector<std::string> DiagnosticTexts() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};
