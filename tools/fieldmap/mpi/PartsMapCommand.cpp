#include "mpi/PartsMapCommand.h"

#include <mpi.h>

#include <algorithm>
#include <climits>
#include <exception>
#include <iostream>
#include <memory>
#include <new>
#include <string>

#include "CommandLine.h"
#include "FieldArrayNames.h"
#include "FieldmapError.h"
#include "MapSteps.h"
#include "NodePoints.h"
#include "OpenedDatabase.h"
#include "ProgressReporter.h"
#include "TargetDatabase.h"
#include "distributed/ZORMtkDistributedMapper.h"
#include "mpi/SourcePart.h"
#include "platform/ZORSimError.h"

namespace {

constexpr int kRoot = 0;

// Rank 0's text on every rank.
std::string FromRoot(std::string text, MPI_Comm comm) {
  int length = static_cast<int>(text.size());
  MPI_Bcast(&length, 1, MPI_INT, kRoot, comm);
  text.resize(static_cast<std::size_t>(length));
  MPI_Bcast(text.data(), length, MPI_CHAR, kRoot, comm);
  return text;
}

// The lowest rank for which `differs` holds, or -1 on every rank when it holds for none.
int FirstRankWhere(bool differs, int rank, MPI_Comm comm) {
  const int mine = differs ? rank : INT_MAX;
  int first = INT_MAX;
  MPI_Allreduce(&mine, &first, 1, MPI_INT, MPI_MIN, comm);
  return first == INT_MAX ? -1 : first;
}

// Ranks given other arguments would exchange rows of other widths, or wait for each other for
// ever; each rank's thread count is its own.
void CheckSameCommand(const CommandLine& line, int rank, MPI_Comm comm) {
  const std::string mine = line.Canonical({"threads"});
  const int first = FirstRankWhere(FromRoot(mine, comm) != mine, rank, comm);
  if (first >= 0)
    throw FieldmapError::Usage("rank " + std::to_string(first) +
                               " was given other arguments than rank 0; every rank of --parts "
                               "runs the same command (--threads may differ)");
}

// Starts MPI for the run and finalizes it when the run ends, however it ends.
class MpiSession {
 public:
  MpiSession() {
    int started = 0;
    MPI_Initialized(&started);
    if (started == 0) MPI_Init(nullptr, nullptr);
    owned_ = started == 0;
  }
  ~MpiSession() {
    if (owned_) MPI_Finalize();
  }
  MpiSession(const MpiSession&) = delete;
  MpiSession& operator=(const MpiSession&) = delete;

 private:
  bool owned_ = false;
};

// One run of fieldmap map on one rank. Every rank reads the source and holds its part; rank 0
// alone holds the target database and the outputs. Steps that rank 0 runs alone end with every
// rank learning how they ended, so a failure there ends every rank with its exit status instead
// of leaving them waiting. One thread.
class PartsRun {
 public:
  PartsRun(const MapSettings& settings, MPI_Comm comm);
  int Run(std::ostream& out);

 private:
  template <typename Work>
  int OnRoot(const Work& work);
  template <typename Work>
  void OnEveryRank(const Work& work);
  void CheckSameSource() const;
  template <typename Value>
  std::vector<Value> GatherRows(const std::vector<Value>& rows, int width, MPI_Datatype type) const;
  void OpenSource();
  int OpenTarget();
  void ShareTargets(int targetNodes);
  void Check(const ZORMtkArrayStatus& status) const;
  ZORMtkArrayOptions Options() const;
  void Search();
  void SearchFallback();
  void Fill(const std::vector<double>& values, int components, std::vector<double>& mapped);
  void MapFields();
  int Finish(std::ostream& out);

  const MapSettings& settings_;
  MPI_Comm comm_;
  int rank_ = 0;
  int ranks_ = 1;
  ProgressReporter progress_;
  std::unique_ptr<OpenedDatabase> source_;
  std::unique_ptr<DatabaseCatalog> catalog_;
  std::unique_ptr<MeshVtuExport> sourceMesh_;
  std::unique_ptr<SourcePart> part_;
  // The mesh's nodes in its order, when a nearest-node search looks at them.
  std::unique_ptr<SourcePart> nodes_;
  std::vector<std::pair<DatabaseCatalog::Field, int>> fields_;
  // Rank 0's: the outputs, the target database, its reader and the fields defined in it.
  MapOutputs outputs_;
  std::unique_ptr<TargetDatabase> target_;
  std::unique_ptr<ZORMtkSimReader> targetReader_;
  std::vector<ExportField> mapped_;
  // Each rank's target nodes: their count per rank, and this rank's coordinates.
  std::vector<int> shares_;
  std::vector<double> targets_;
  ZORMtkDistributedMapper mapper_;
  // With the nearest-node fallback: the nearest-node method for this rank's targets the search
  // left unplaced (their indices here).
  ZORMtkDistributedMapper fallback_;
  std::vector<int> unplaced_;
  MapOutcome outcome_;
};

PartsRun::PartsRun(const MapSettings& settings, MPI_Comm comm)
    : settings_(settings),
      comm_(comm),
      progress_(ProgressReporter::ForStandardError()),
      mapper_(comm),
      fallback_(comm) {
  MPI_Comm_rank(comm_, &rank_);
  MPI_Comm_size(comm_, &ranks_);
}

template <typename Work>
int PartsRun::OnRoot(const Work& work) {
  int result[2] = {0, 0};  // exit status of a failure, else what work returned
  std::exception_ptr failure;
  if (rank_ == kRoot) {
    try {
      result[1] = work();
    } catch (const FieldmapError& error) {
      result[0] = static_cast<int>(error.Status());
      failure = std::current_exception();
    } catch (...) {
      result[0] = static_cast<int>(ExitStatus::kBadInput);
      failure = std::current_exception();
    }
  }
  MPI_Bcast(result, 2, MPI_INT, kRoot, comm_);
  if (failure) std::rethrow_exception(failure);
  if (result[0] != 0) throw FieldmapError(static_cast<ExitStatus>(result[0]), "rank 0 failed");
  return result[1];
}

// Every rank runs work; when it fails on any rank, every rank fails with the status and words
// of the lowest rank that failed (named, when it is not rank 0), which rank 0 reports. A rank
// failing alone would leave the others waiting in the next exchange for ever.
template <typename Work>
void PartsRun::OnEveryRank(const Work& work) {
  std::exception_ptr failure;
  int header[2] = {0, 0};  // exit status, length of the message
  std::string message;
  try {
    work();
  } catch (const FieldmapError& error) {
    header[0] = static_cast<int>(error.Status());
    message = error.what();
    failure = std::current_exception();
  } catch (const ZORSimError& error) {
    message = std::string("database error: ") + error.what();
    failure = std::current_exception();
  } catch (const std::bad_alloc&) {
    message = "out of memory";
    failure = std::current_exception();
  } catch (const std::exception& error) {
    message = error.what();
    failure = std::current_exception();
  }
  const int first = FirstRankWhere(failure != nullptr, rank_, comm_);
  if (first < 0) return;
  if (rank_ == first && header[0] == 0) header[0] = static_cast<int>(ExitStatus::kBadInput);
  header[1] = static_cast<int>(message.size());
  MPI_Bcast(header, 2, MPI_INT, first, comm_);
  message.resize(static_cast<std::size_t>(header[1]));
  MPI_Bcast(message.data(), header[1], MPI_CHAR, first, comm_);
  if (rank_ == first && first == kRoot) std::rethrow_exception(failure);
  throw FieldmapError(static_cast<ExitStatus>(header[0]),
                      "rank " + std::to_string(first) + ": " + message);
}

// Every rank must have read the same source: another file under the same name (on another
// machine) would make a mix of the two, or rows of other widths.
void PartsRun::CheckSameSource() const {
  const ZORMtkSimReader& reader = sourceMesh_->Reader();
  std::string shape = std::to_string(reader.numNodes) + " nodes, " +
                      std::to_string(reader.numElements) + " elements";
  for (const auto& field : fields_)
    shape += ", " + field.first.name + " of " + std::to_string(field.second) +
             (field.second == 1 ? " component" : " components");
  const std::string root = FromRoot(shape, comm_);
  if (root != shape)
    throw FieldmapError::Input(settings_.source, "",
                               "reads as " + shape + " here but as " + root +
                                   " on rank 0; every rank of --parts reads the same source");
}

// Rank 0 receives every rank's rows, rank after rank: the target nodes in their order.
template <typename Value>
std::vector<Value> PartsRun::GatherRows(const std::vector<Value>& rows, int width,
                                        MPI_Datatype type) const {
  std::vector<int> counts(shares_.size());
  std::vector<int> starts(shares_.size(), 0);
  for (std::size_t r = 0; r < shares_.size(); ++r) {
    counts[r] = shares_[r] * width;
    if (r > 0) starts[r] = starts[r - 1] + counts[r - 1];
  }
  std::vector<Value> all(rank_ == kRoot ? static_cast<std::size_t>(starts.back() + counts.back())
                                        : 0);
  MPI_Gatherv(rows.data(), static_cast<int>(rows.size()), type, all.data(), counts.data(),
              starts.data(), type, kRoot, comm_);
  return all;
}

// Every rank reads the source alike, so its errors end every rank alike.
void PartsRun::OpenSource() {
  progress_.Begin("open " + settings_.source);
  source_ = std::make_unique<OpenedDatabase>(settings_.source);
  catalog_ = std::make_unique<DatabaseCatalog>(source_->Root());
  MapSteps::CheckStep(settings_, *catalog_);
  const ZORSimDynamicID mesh = catalog_->MeshNumbered(settings_.source, settings_.sourceMesh);
  sourceMesh_ = std::make_unique<MeshVtuExport>(source_->Root(), mesh);
  for (const std::string& name : settings_.fields) {
    const auto found = MapSteps::FindSourceField(settings_, *catalog_, sourceMesh_->Reader(), name);
    for (const auto& earlier : fields_)
      if (earlier.first.record == found.first.record)
        throw FieldmapError::Usage("--field " + name + " names a field given before");
    if (found.first.integrationPoints)
      throw FieldmapError::Usage("--field " + name +
                                 " holds integration-point values; --parts maps nodal fields");
    fields_.push_back(found);
  }
  part_ = std::make_unique<SourcePart>(*sourceMesh_, settings_.source, rank_, ranks_);
  if (settings_.options.method == MethodNearestNode || settings_.mapper.nearestFallback)
    nodes_ = std::make_unique<SourcePart>(
        SourcePart::NodeChain(*sourceMesh_, settings_.source, rank_, ranks_));
  progress_.End();
}

// Rank 0 makes the target database and defines the target fields as one process does, each
// under the type and name of its source field. Returns the target node count.
int PartsRun::OpenTarget() {
  outputs_ = MapOutputs::For(settings_);
  target_ = std::make_unique<TargetDatabase>(settings_.target, settings_.targetMesh,
                                             outputs_.database->TemporaryPath(), progress_);
  targetReader_ = std::make_unique<ZORMtkSimReader>();
  targetReader_->SetScope(target_->Root(), ScopeElementRegion, target_->Mesh(), cow_List<int>());
  for (const auto& [field, components] : fields_) {
    target_->CheckFree(settings_.target, field.name, *targetReader_);
    const ZORSimDynamicID record =
        target_->Writer().AddSimpleNodeField(target_->Mesh(), field.name, components);
    const std::string arrayName = catalog_->ArrayName(field);
    if (arrayName != field.name) FieldArrayNames::Set(target_->Root(), record, arrayName);
    mapped_.push_back(ExportField{record, arrayName, false, false});
  }
  return targetReader_->numNodes;
}

// Rank 0 reads the target nodes (plane meshes get z = 0) and sends each rank its run of them.
void PartsRun::ShareTargets(int targetNodes) {
  shares_.resize(static_cast<std::size_t>(ranks_));
  std::vector<int> counts(shares_.size());
  std::vector<int> starts(shares_.size());
  for (int r = 0; r < ranks_; ++r) {
    const std::int64_t first = FirstOfShare(targetNodes, r, ranks_);
    shares_[static_cast<std::size_t>(r)] =
        static_cast<int>(FirstOfShare(targetNodes, r + 1, ranks_) - first);
    counts[static_cast<std::size_t>(r)] = 3 * shares_[static_cast<std::size_t>(r)];
    starts[static_cast<std::size_t>(r)] = static_cast<int>(3 * first);
  }
  std::vector<double> all;
  if (rank_ == kRoot) all = NodePoints::ThreeAxes(*targetReader_);
  targets_.resize(static_cast<std::size_t>(counts[static_cast<std::size_t>(rank_)]));
  MPI_Scatterv(all.data(), counts.data(), starts.data(), MPI_DOUBLE, targets_.data(),
               static_cast<int>(targets_.size()), MPI_DOUBLE, kRoot, comm_);
}

// The mapper agrees its statuses over the ranks, so every rank ends alike.
void PartsRun::Check(const ZORMtkArrayStatus& status) const {
  if (!status) throw FieldmapError::Input(settings_.source, "", status.Message());
}

ZORMtkArrayOptions PartsRun::Options() const {
  ZORMtkArrayOptions options;
  options.method = settings_.options.method;
  options.boundaryTolerance = settings_.mapper.boundaryTolerance;
  options.normalTolerance = settings_.mapper.normalTolerance;
  options.unplacedFill = settings_.mapper.fill;
  options.elementChoice = settings_.mapper.choice;
  options.threads = settings_.threads;
  return options;
}

// The nearest-node method searches the mesh's nodes alone; shape interpolation its elements.
void PartsRun::Search() {
  const bool nearest = settings_.options.method == MethodNearestNode;
  ZORMtkMeshArrays points;
  points.coordinates = targets_.data();
  points.nodeCount = static_cast<int>(targets_.size() / 3);
  Check(mapper_.SetSource(nearest ? nodes_->Arrays() : part_->Arrays()));
  Check(mapper_.SetTarget(points));
  Check(mapper_.SetOptions(Options()));
  Check(mapper_.ComputeWeights());
  if (settings_.mapper.nearestFallback) SearchFallback();
}

// The fallback gives the points the element search left unplaced the value of their nearest
// node among all the mesh's nodes in its order, as the database mapper does, which the
// distributed mapper's own fallback, seeing only the nodes the elements use in the order they
// use them, would not. The points stay unplaced in the report.
void PartsRun::SearchFallback() {
  std::vector<double> points;
  for (std::size_t t = 0; t < mapper_.Placed().size(); ++t)
    if (mapper_.Placed()[t] == 0) {
      unplaced_.push_back(static_cast<int>(t));
      points.insert(points.end(), targets_.begin() + static_cast<long>(3 * t),
                    targets_.begin() + static_cast<long>(3 * t + 3));
    }
  ZORMtkMeshArrays unplaced;
  unplaced.coordinates = points.data();
  unplaced.nodeCount = static_cast<int>(unplaced_.size());
  ZORMtkArrayOptions options = Options();
  options.method = MethodNearestNode;
  Check(fallback_.SetSource(nodes_->Arrays()));
  Check(fallback_.SetTarget(unplaced));
  Check(fallback_.SetOptions(options));
  Check(fallback_.ComputeWeights());
}

// The points the search left unplaced take their nearest node's values in place of the fill.
void PartsRun::Fill(const std::vector<double>& values, int components,
                    std::vector<double>& mapped) {
  const std::size_t width = static_cast<std::size_t>(components);
  const std::vector<double> rows = nodes_->Rows(values, components);
  std::vector<double> nearest(unplaced_.size() * width);
  Check(fallback_.Map(rows.data(), static_cast<int>(rows.size() / width), components,
                      nearest.data()));
  for (std::size_t i = 0; i < unplaced_.size(); ++i)
    std::copy_n(nearest.begin() + static_cast<long>(i * width), width,
                mapped.begin() + static_cast<long>(static_cast<std::size_t>(unplaced_[i]) * width));
}

// Each field is read whole by every rank, mapped from this rank's part to this rank's targets,
// and written by rank 0 at every target node, as the database mapper writes it.
void PartsRun::MapFields() {
  const ZORMtkSimReader& reader = sourceMesh_->Reader();
  const std::size_t targetCount = targets_.size() / 3;
  for (std::size_t f = 0; f < fields_.size(); ++f) {
    const auto& [field, components] = fields_[f];
    std::vector<double> values(
        static_cast<std::size_t>(reader.numNodes) * static_cast<std::size_t>(components), 0.0);
    reader.GetSimpleNodeField(field.record, settings_.step, settings_.increment,
                              static_cast<int>(values.size()), values.data());
    const SourcePart& source = settings_.options.method == MethodNearestNode ? *nodes_ : *part_;
    const std::vector<double> rows = source.Rows(values, components);
    std::vector<double> mapped(targetCount * static_cast<std::size_t>(components));
    Check(mapper_.Map(rows.data(), static_cast<int>(rows.size()) / components, components,
                      mapped.data()));
    if (settings_.mapper.nearestFallback) Fill(values, components, mapped);
    std::vector<double> all = GatherRows(mapped, components, MPI_DOUBLE);
    OnRoot([this, &all, f, components = components] {
      cow_List<int> members(targetReader_->nodeList);
      target_->Writer().WriteSimpleNodeField(mapped_[f].record, target_->Mesh(), 1, 1, components,
                                             members, all.data());
      return 0;
    });
    progress_.Update(static_cast<double>(f + 1) / static_cast<double>(fields_.size()));
  }
}

// Rank 0 keeps the placement, saves and commits the outputs and prints the outcome; every
// rank returns its exit status.
int PartsRun::Finish(std::ostream& out) {
  outcome_.flags = mapper_.Flags();
  outcome_.diagnostics = MappingSession::WithCodes(mapper_.Flags(), mapper_.DiagnosticTexts());
  const std::vector<unsigned char> placed = GatherRows(mapper_.Placed(), 1, MPI_UNSIGNED_CHAR);
  return OnRoot([this, &placed, &out] {
    std::vector<int> failed;
    for (std::size_t n = 0; n < placed.size(); ++n)
      if (placed[n] == 0) failed.push_back(targetReader_->nodeList[static_cast<int>(n)]);
    MapSteps::KeepPlacement(settings_, *target_, *targetReader_, failed, mapped_, outcome_);
    MapSteps::Save(settings_, *target_, mapped_, outputs_, progress_);
    targetReader_.reset();
    target_.reset();
    return outputs_.Commit(settings_, outcome_, out);
  });
}

int PartsRun::Run(std::ostream& out) {
  if (ranks_ != settings_.parts)
    throw FieldmapError::Usage("--parts " + std::to_string(settings_.parts) +
                               " runs under mpirun -n " + std::to_string(settings_.parts) +
                               "; this run has " + std::to_string(ranks_) + " rank" +
                               (ranks_ == 1 ? "" : "s"));
  OnEveryRank([this] { OpenSource(); });
  OnEveryRank([this] { CheckSameSource(); });
  const int targetNodes = OnRoot([this] { return OpenTarget(); });
  ShareTargets(targetNodes);
  progress_.Begin("map");
  Search();
  MapFields();
  progress_.End();
  return Finish(out);
}

}  // namespace

int PartsMapCommand::Run(const CommandLine& line, std::ostream& out) {
  const MpiSession mpi;
  int rank = 0;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  // One rank speaks for the run; the others' messages would repeat its own.
  if (rank != kRoot) {
    out.setstate(std::ios::badbit);
    std::cerr.setstate(std::ios::badbit);
  }
  // mpirun ends the whole job as soon as one rank exits with a failure, which could stop rank 0
  // before it has saved or said why. So rank 0's status is the run's, and the other ranks end
  // with success when they stop for a failure every rank shares (the settings, a refused source,
  // a step of rank 0 that failed); their own database errors still end the job at once.
  try {
    CheckSameCommand(line, rank, MPI_COMM_WORLD);
    const MapSettings settings = MapSettings::Read(line);
    PartsRun run(settings, MPI_COMM_WORLD);
    const int status = run.Run(out);
    return rank == kRoot ? status : static_cast<int>(ExitStatus::kSuccess);
  } catch (const FieldmapError&) {
    if (rank == kRoot) throw;
    return static_cast<int>(ExitStatus::kSuccess);
  }
}
