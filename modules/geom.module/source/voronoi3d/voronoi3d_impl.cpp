// Voronoi cells from the owned tetrahedralisation: circumcentres, merge of close vertices, the
// parallel cell build and finalisation, fuse groups, scaling and the inverted cell.

#include "voronoi3d/voronoi3d_impl.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>

#include "portability.h"
#include "zemox/jobs.h"
#include "zemox/parallel.h"

namespace zemox {
namespace {

// Runs a fallible body for every index in parallel and returns the error of the lowest failing
// index, so that the reported error does not depend on the scheduling.
template <typename Body>
Result<void> ParallelForEach(Int count, Int granularity, Body&& body) {
  struct FirstFailure {
    Int index = std::numeric_limits<Int>::max();
    Error error;
  };
  BaseArray<FirstFailure> failures;
  ZEMOX_TRY(failures.Resize(WorkerCount()));
  ZEMOX_TRY(ParallelFor(
      count,
      [&](Int index) {
        FirstFailure& failure = failures[CurrentWorkerIndex()];
        Result<void> result = body(index);
        if (!result && index < failure.index) {
          failure.index = index;
          failure.error = result.TakeError();
        }
      },
      granularity));
  const FirstFailure* first = nullptr;
  for (const FirstFailure& failure : failures)
    if (first == nullptr || failure.index < first->index) first = &failure;
  if (first == nullptr || first->index == std::numeric_limits<Int>::max()) return OK();
  return first->error;
}

Float SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<Float>(std::chrono::steady_clock::now() - start).count();
}

Float SquaredDistance(const Vector& a, const Vector& b) { return Dot(a - b, a - b); }

// Copies a cell built in scratch into its fresh final arrays, each allocated at its exact size; a
// copy that fails leaves the cell empty rather than half copied.
Result<void> StoreCell(CellData& target, const CellData& built) {
  Result<void> copied = target.CopyFrom(built);
  if (!copied) target.Clear();
  return copied;
}

// Spreads the low 12 bits of v so that two zero bits follow each one: the x, y and z parts of a
// Morton code.
UInt SpreadBits(UInt v) {
  v &= 0xfff;
  v = (v | v << 16) & 0x0000ff0000ffull;
  v = (v | v << 8) & 0x00f00f00f00full;
  v = (v | v << 4) & 0x0c30c30c30c3ull;
  v = (v | v << 2) & 0x249249249249ull;
  return v;
}

// A cell's place in the build order keeps its index in the low bits, below the Morton code of its
// point; the tetrahedralisation's limit of INT32_MAX / 12 points keeps indices within them.
constexpr Int cellIndexBits = 28;
static_assert(INT32_MAX / 12 < (Int{1} << cellIndexBits));

// The cells in the order of their points along a Morton curve over the points' box (4096 steps an
// axis). Neighbouring cells share most of their tetrahedra and Voronoi vertices, so a worker that
// builds them one after the other finds those in cache instead of reading the whole
// tetrahedralisation in random order.
Result<void> SpatialCellOrder(Block<const Vector> points, Int cellCount, BaseArray<UInt>& order) {
  Box3D box;
  for (Int c = 0; c < cellCount; ++c) {
    const Vector& point = points[c + 4];
    box.min = {std::min(box.min.x, point.x), std::min(box.min.y, point.y), std::min(box.min.z, point.z)};
    box.max = {std::max(box.max.x, point.x), std::max(box.max.y, point.y), std::max(box.max.z, point.z)};
  }
  // The tetrahedralisation refuses coordinates that its predicates could overflow, so the box's
  // extents are finite and every ratio lies in [0, 1].
  auto step = [](Float value, Float low, Float high) -> UInt {
    return high > low ? static_cast<UInt>((value - low) / (high - low) * 4095.0) : 0;
  };
  ZEMOX_TRY(order.Resize(cellCount));
  for (Int c = 0; c < cellCount; ++c) {
    const Vector& point = points[c + 4];
    const UInt morton = SpreadBits(step(point.x, box.min.x, box.max.x)) |
                        SpreadBits(step(point.y, box.min.y, box.max.y)) << 1 |
                        SpreadBits(step(point.z, box.min.z, box.max.z)) << 2;
    order[c] = morton << cellIndexBits | static_cast<UInt>(c);
  }
  return ParallelSort(order.begin(), order.end(), std::less<UInt>(), 4096);
}

// The neighbour slot through which the ring around the edge P-Q leaves a tetrahedron that holds P
// at vertex slot i and Q at slot j. Each entry names the face through P and Q that lies ahead in one
// turning sense, so every face loop runs counter-clockwise seen from outside P's cell.
constexpr Int32 ringStep[4][4] = {{-1, 0, 2, 1}, {1, -1, 0, 3}, {0, 3, -1, 2}, {2, 1, 3, -1}};

}  // namespace

Result<void> Voronoi3DImpl::CheckTetrizer(const char* operation) const {
  if (!tetrizer_) return ZEMOX_ERROR_IN(operation, NullReferenceError, "@: Init has not been called.");
  return OK();
}

// ---- Set-up and points ----

Result<void> Voronoi3DImpl::Init(const Box3D& workSpace) {
  reserved_ = false;
  Delaunay3DRef tetrizer = ZEMOX_TRY(Delaunay3DRef::Create());
  ZEMOX_TRY(tetrizer.Init(workSpace));
  tetrizer_ = std::move(tetrizer);
  // Cells of the previous point set would no longer match the tetrizer's points.
  cells_.Reset();
  cellsReady_ = false;
  tetrahedralized_ = false;
  pendingChanges_ = false;
  return OK();
}

Result<void> Voronoi3DImpl::CopyFrom(const Voronoi3DInterface& src, Int) {
  const Voronoi3DImpl& other = ImplementationOf<Voronoi3DImpl>(src);
  if (&other == this) return OK();
  Delaunay3DRef tetrizer;
  if (other.tetrizer_) {
    tetrizer = ZEMOX_TRY(Delaunay3DRef::Create());
    ZEMOX_TRY(tetrizer.CopyFrom(other.tetrizer_));
  }
  BaseArray<Bool> borderCellFlags;
  BaseArray<CellData> cells;
  BaseArray<Bool> cellHasVolume;
  BaseArray<Vector> voronoiPoints;
  BaseArray<Int> fuseGroups;
  ZEMOX_TRY(borderCellFlags.CopyFrom(other.borderCellFlags_.ToBlock()));
  ZEMOX_TRY(cells.Resize(other.cells_.GetCount()));
  for (Int c = 0; c < cells.GetCount(); ++c) ZEMOX_TRY(cells[c].CopyFrom(other.cells_[c]));
  ZEMOX_TRY(cellHasVolume.CopyFrom(other.cellHasVolume_.ToBlock()));
  ZEMOX_TRY(voronoiPoints.CopyFrom(other.voronoiPoints_.ToBlock()));
  ZEMOX_TRY(fuseGroups.CopyFrom(other.fuseGroups_.ToBlock()));
  tetrizer_ = std::move(tetrizer);
  cellsReady_ = other.cellsReady_;
  tetrahedralized_ = other.tetrahedralized_;
  pendingChanges_ = other.pendingChanges_;
  clipping_ = other.clipping_;
  reserved_ = other.reserved_;
  borderCellFlags_ = std::move(borderCellFlags);
  cells_ = std::move(cells);
  cellHasVolume_ = std::move(cellHasVolume);
  voronoiPoints_ = std::move(voronoiPoints);
  fuseGroups_ = std::move(fuseGroups);
  fuseGroupCounter_ = other.fuseGroupCounter_;
  fuseActive_ = other.fuseActive_;
  return OK();
}

Result<void> Voronoi3DImpl::SetPoints(Block<const Vector> points) {
  ZEMOX_TRY(CheckTetrizer("SetPoints"));
  ZEMOX_TRY(tetrizer_.Reset());
  pendingChanges_ = true;
  return tetrizer_.AddPointsIntoTetrahedralization(points);
}

Result<void> Voronoi3DImpl::AddPoint(const Vector& pointIn) {
  ZEMOX_TRY(CheckTetrizer("AddPoint"));
  ZEMOX_TRY(tetrizer_.AddPointIntoTetrahedralization(pointIn));
  pendingChanges_ = true;
  return OK();
}

Result<void> Voronoi3DImpl::AddPoints(Block<const Vector> points) {
  ZEMOX_TRY(CheckTetrizer("AddPoints"));
  ZEMOX_TRY(tetrizer_.AddPointsIntoTetrahedralization(points));
  pendingChanges_ = true;
  return OK();
}

Result<void> Voronoi3DImpl::CalcTetrahedralization() {
  ZEMOX_TRY(CheckTetrizer("CalcTetrahedralization"));
  if (tetrahedralized_ && !pendingChanges_) return OK();
  ZEMOX_TRY(tetrizer_.CalculateDelaunayTetrahedralization());
  tetrahedralized_ = true;
  pendingChanges_ = false;
  return OK();
}

Block<const Vector> Voronoi3DImpl::GetInputPoints() const {
  if (!tetrizer_) return {};
  return tetrizer_.GetPoints();
}

void Voronoi3DImpl::Flush() {
  if (tetrizer_) tetrizer_.Flush();
  cells_.Flush();
  borderCellFlags_.Flush();
  cellsReady_ = false;
  tetrahedralized_ = false;
}

// ---- CalcCells ----

Result<void> Voronoi3DImpl::CalcCells() {
  ZEMOX_TRY(CheckTetrizer("CalcCells"));
  cells_.Reset();
  cellsReady_ = false;
  auto start = std::chrono::steady_clock::now();
  ZEMOX_TRY(CalcTetrahedralization());
  timings_.tetrahedralization = SecondsSince(start);

  const Block<const Tetrahedron> tetrahedrons = tetrizer_.GetTetrahedrons();
  const Int pointCount = tetrizer_.GetPointCount();
  if (clipping_) {
    ZEMOX_TRY(borderCellFlags_.Resize(pointCount));
    std::fill(borderCellFlags_.begin(), borderCellFlags_.end(), false);
  }
  start = std::chrono::steady_clock::now();
  ZEMOX_TRY(CalcCircumcentres(tetrahedrons, tetrizer_.GetPoints()));
  timings_.circumcentres = SecondsSince(start);
  start = std::chrono::steady_clock::now();
  ZEMOX_TRY(MergeCloseVertices(tetrahedrons));
  timings_.vertexMerge = SecondsSince(start);

  start = std::chrono::steady_clock::now();
  ZEMOX_TRY(BuildPointToTetrahedron(tetrahedrons, pointCount));
  ZEMOX_TRY(cells_.Resize(std::max<Int>(pointCount - 4, 0)));
  ZEMOX_TRY(BuildCells(tetrahedrons));
  ZEMOX_TRY(MergeFuseGroups());
  timings_.cellBuild = SecondsSince(start);

  cellsReady_ = true;
  ZEMOX_TRY(cellHasVolume_.Resize(cells_.GetCount()));
  const Job* job = GetCurrentJob();
  if (job != nullptr && job->IsCancelled()) return ZEMOX_ERROR(ThreadCancelledError);
  return OK();
}

Result<void> Voronoi3DImpl::CalcCircumcentres(Block<const Tetrahedron> tetrahedrons, Block<const Vector> points) {
  ZEMOX_TRY(voronoiPoints_.Resize(tetrahedrons.GetCount()));
  BaseArray<BigCircumcentre> workers;
  ZEMOX_TRY(workers.Resize(WorkerCount()));
  for (BigCircumcentre& worker : workers) ZEMOX_TRY(worker.Init());
  ZEMOX_TRY(ParallelFor(
      tetrahedrons.GetCount(),
      [&](Int t) {
        const Tetrahedron& tet = tetrahedrons[t];
        voronoiPoints_[t] = workers[CurrentWorkerIndex()].Compute(points[tet.v[0]], points[tet.v[1]], points[tet.v[2]],
                                                                  points[tet.v[3]]);
      },
      256));
  timings_.circumcentreFallbacks = 0;
  for (const BigCircumcentre& worker : workers) timings_.circumcentreFallbacks += worker.GetFallbackCount();
  return OK();
}

// Circumcentres of neighbouring tetrahedra that nearly coincide (four or more cospherical points
// spread them by rounding) become one vertex: each tetrahedron reached from a seed through a chain
// of such close neighbours takes the seed as its representative.
Result<void> Voronoi3DImpl::MergeCloseVertices(Block<const Tetrahedron> tetrahedrons) {
  const Int32 count = static_cast<Int32>(tetrahedrons.GetCount());
  ZEMOX_TRY(representative_.Resize(count));
  std::fill(representative_.begin(), representative_.end(), -1);
  for (Int32 seed = 0; seed < count; ++seed) {
    if (representative_[seed] != -1) continue;
    mergeStack_.Reset();
    ZEMOX_TRY(mergeStack_.Append(seed));
    while (!mergeStack_.IsEmpty()) {
      const Int32 from = mergeStack_.GetLast();
      mergeStack_.Pop();
      for (Int32 neighbor : tetrahedrons[from].n) {
        if (neighbor < 0 || neighbor == seed || representative_[neighbor] != -1) continue;
        if (!(SquaredDistance(voronoiPoints_[neighbor], voronoiPoints_[from]) < 1e-5)) continue;
        representative_[neighbor] = seed;
        ZEMOX_TRY(mergeStack_.Append(neighbor));
      }
    }
  }
  return OK();
}

// The tetrizer's own table can name -1 for points that an insertion left untouched; one pass over
// the tetrahedra gives every inserted point a tetrahedron.
Result<void> Voronoi3DImpl::BuildPointToTetrahedron(Block<const Tetrahedron> tetrahedrons, Int pointCount) {
  ZEMOX_TRY(pointToTetrahedron_.Resize(pointCount));
  std::fill(pointToTetrahedron_.begin(), pointToTetrahedron_.end(), -1);
  for (Int32 t = 0; t < static_cast<Int32>(tetrahedrons.GetCount()); ++t)
    for (Int32 v : tetrahedrons[t].v)
      if (pointToTetrahedron_[v] < 0) pointToTetrahedron_[v] = t;
  return OK();
}

Result<void> Voronoi3DImpl::BuildCells(Block<const Tetrahedron> tetrahedrons) {
  BaseArray<VoronoiParallelForStorage> storage;
  ZEMOX_TRY(storage.Resize(WorkerCount()));
  for (VoronoiParallelForStorage& worker : storage) {
    ZEMOX_TRY(worker.handledPoints.Resize(pointToTetrahedron_.GetCount()));
    ZEMOX_TRY(worker.gatheredNumbers.Resize(tetrahedrons.GetCount()));
    std::fill(worker.gatheredNumbers.begin(), worker.gatheredNumbers.end(), GatheredNumber{0, 0});
  }
  BaseArray<UInt> order;
  ZEMOX_TRY(SpatialCellOrder(tetrizer_.GetPoints(), cells_.GetCount(), order));
  return ParallelForEach(order.GetCount(), 64, [&](Int k) {
    const Int32 cellIndex = static_cast<Int32>(order[k] & ((UInt{1} << cellIndexBits) - 1));
    return BuildCell(tetrahedrons, storage[CurrentWorkerIndex()], cellIndex);
  });
}

// Gathered tetrahedra whose Voronoi vertices were merged carry one id: each hands its vertex to the
// first of them, so that the cell gets one vertex per id. Merges are rare, so a scan does.
static void ShareMergedVertices(BaseArray<AroundTetrahedron>& around) {
  for (Int k = 0; k < around.GetCount(); ++k)
    for (Int j = 0; j < k; ++j)
      if (around[j].vertexId == around[k].vertexId) {
        around[k].vertexOwner = static_cast<Int32>(j);
        break;
      }
}

// Copies the tetrahedra around the cell's point, found across the faces through it, into the
// scratch with their neighbours renumbered locally (-1 across the face opposite the point), so that
// the ring walks read a few cache lines instead of the whole tetrahedralisation. False when the
// tetrahedra around the point do not close.
Result<Bool> Voronoi3DImpl::GatherAround(Block<const Tetrahedron> tetrahedrons, VoronoiParallelForStorage& storage,
                                         Int32 cellIndex, Int32 first) const {
  const Int32 p = cellIndex + 4;
  const Int32 stamp = cellIndex + 1;
  storage.around.Reset();
  auto numberOf = [&](Int32 t) {
    const GatheredNumber& number = storage.gatheredNumbers[t];
    return number.cell == stamp ? number.local : -1;
  };
  Bool merged = false;
  auto add = [&](Int32 t) -> Result<void> {
    const Int32 local = static_cast<Int32>(storage.around.GetCount());
    storage.gatheredNumbers[t] = {stamp, local};
    merged = merged || representative_[t] >= 0;
    const Int32 id = representative_[t] < 0 ? t : representative_[t];
    return storage.around.Append({tetrahedrons[t], id, local, -1});
  };
  ZEMOX_TRY(add(first));
  for (Int k = 0; k < storage.around.GetCount(); ++k) {
    const Tetrahedron tet = storage.around[k].tet;
    for (Int32 slot = 0; slot < 4; ++slot) {
      if (tet.v[3 - slot] == p) continue;
      if (tet.n[slot] < 0) return false;
      if (numberOf(tet.n[slot]) < 0) ZEMOX_TRY(add(tet.n[slot]));
    }
  }
  for (AroundTetrahedron& entry : storage.around)
    for (Int32& neighbor : entry.tet.n) neighbor = neighbor < 0 ? -1 : numberOf(neighbor);
  if (merged) ShareMergedVertices(storage.around);
  return true;
}

// Walks the ring of gathered tetrahedra around the edge p-q from `start`, queueing those not yet
// visited and handing each to addVertex. Returns false when the ring is open.
static Result<Bool> WalkRing(VoronoiParallelForStorage& storage, Int32 p, Int32 q, Int32 start, const auto& addVertex) {
  Int32 t = start;
  Int steps = 0;
  do {
    if (!storage.visited[t]) {
      storage.visited[t] = true;
      ZEMOX_TRY(storage.stack.Append(t));
    }
    ZEMOX_TRY(addVertex(t));
    const Tetrahedron& tet = storage.around[t].tet;
    const Int32 i = tet.GetVertexPosition(p);
    const Int32 j = tet.GetVertexPosition(q);
    if (i < 0 || j < 0 || i == j) return false;
    t = tet.n[ringStep[i][j]];
    if (t < 0 || ++steps > storage.around.GetCount()) return false;
  } while (t != start);
  return true;
}

Result<void> Voronoi3DImpl::BuildCell(Block<const Tetrahedron> tetrahedrons, VoronoiParallelForStorage& storage,
                                      Int32 cellIndex) {
  const Int32 p = cellIndex + 4;
  CellData& cell = storage.built;
  cell.Clear();
  cell.fused = false;
  // cells_[cellIndex] is fresh (empty, not fused): a cell that cannot be built is left that way.
  const Int32 first = pointToTetrahedron_[p];
  if (first < 0) return OK();
  Bool closed = ZEMOX_TRY(GatherAround(tetrahedrons, storage, cellIndex, first));
  if (!closed) return OK();
  // Each tetrahedron gives at most one vertex and three edges (it lies on three rings).
  const Int aroundCount = storage.around.GetCount();
  ZEMOX_TRY(cell.vertexIds.EnsureCapacity(aroundCount));
  ZEMOX_TRY(cell.vertices.EnsureCapacity(aroundCount));
  ZEMOX_TRY(cell.edges.EnsureCapacity(3 * aroundCount));
  ZEMOX_TRY(storage.visited.Resize(aroundCount));
  std::fill(storage.visited.begin(), storage.visited.end(), false);
  const Int32 stamp = cellIndex + 1;
  CellScratch& scratch = storage.cell;
  storage.stack.Reset();
  storage.visited[0] = true;
  ZEMOX_TRY(storage.stack.Append(0));
  Bool emit = true;
  // The face loop takes the local vertex of a gathered tetrahedron, made when its id first appears.
  auto addVertex = [&](Int32 around) -> Result<void> {
    if (!emit) return OK();
    AroundTetrahedron& owner = storage.around[storage.around[around].vertexOwner];
    if (owner.localVertex < 0) {
      owner.localVertex = static_cast<Int32>(cell.vertices.GetCount());
      ZEMOX_TRY(cell.vertexIds.Append(owner.vertexId));
      ZEMOX_TRY(cell.vertices.Append(voronoiPoints_[owner.vertexId]));
    }
    return scratch.loop.Append(owner.localVertex);
  };
  while (!storage.stack.IsEmpty() && closed) {
    const Int32 from = storage.stack.GetLast();
    const Tetrahedron tet = storage.around[from].tet;
    storage.stack.Pop();
    for (Int32 q : tet.v) {
      if (clipping_ && q < 4) borderCellFlags_[p] = true;
      if (q == p || storage.handledPoints[q] == stamp) continue;
      storage.handledPoints[q] = stamp;
      // Faces between two cells of one fuse group are left out; the group is joined afterwards.
      emit = !(q >= 4 && InOneFuseGroup(p - 4, q - 4));
      if (!emit) cell.fused = true;
      scratch.loop.Reset();
      closed = ZEMOX_TRY(WalkRing(storage, p, q, from, addVertex));
      if (!closed) break;
      if (emit) ZEMOX_TRY(AddCellFace(cell, scratch.loop.ToBlock(), q));
    }
  }
  if (!closed)
    cell.Clear();
  else if (!cell.fused)
    ZEMOX_TRY(FinishCell(cell, scratch));
  return StoreCell(cells_[cellIndex], cell);
}

Bool Voronoi3DImpl::InOneFuseGroup(Int cellA, Int cellB) const {
  if (!fuseActive_ || cellA >= fuseGroups_.GetCount() || cellB >= fuseGroups_.GetCount()) return false;
  return fuseGroups_[cellA] != -1 && fuseGroups_[cellA] == fuseGroups_[cellB];
}

// Links the twins (a cell whose surface does not close is cleared) and removes the vertices where
// only two faces meet, which merged Voronoi vertices can leave behind.
Result<void> Voronoi3DImpl::FinishCell(CellData& cell, CellScratch& scratch) {
  const Bool closed = ZEMOX_TRY(LinkTwins(cell, scratch));
  if (!closed) {
    cell.Clear();
    return OK();
  }
  return RemoveTwoFaceVertices(cell, scratch);
}

Result<void> Voronoi3DImpl::MergeFuseGroups() {
  Bool anyFused = false;
  for (const CellData& cell : cells_) anyFused = anyFused || cell.fused;
  if (!anyFused) return OK();
  const Int cellCount = cells_.GetCount();
  for (Int c = 0; c < std::min(cellCount, fuseGroups_.GetCount()); ++c) {
    const Int group = fuseGroups_[c];
    if (group == -1 || group == c || group < 0 || group >= cellCount) continue;
    ZEMOX_TRY(AppendCell(cells_[group], cells_[c], std::numeric_limits<Int32>::min()));
    cells_[group].fused = true;
    cells_[c].Clear();
  }
  for (CellData& cell : cells_) {
    for (Int32& neighbor : cell.faceNeighbors) {
      const Int other = neighbor - 4;
      if (other < 0 || other >= std::min(cellCount, fuseGroups_.GetCount())) continue;
      const Int group = fuseGroups_[other];
      if (group >= 0 && group < cellCount && group != other) neighbor = static_cast<Int32>(group + 4);
    }
  }
  BaseArray<CellScratch> scratch;
  ZEMOX_TRY(scratch.Resize(WorkerCount()));
  return ParallelForEach(cellCount, 16, [&](Int c) -> Result<void> {
    if (!cells_[c].fused || cells_[c].IsEmpty()) return OK();
    ZEMOX_TRY(RebuildMergedCell(cells_[c], scratch[CurrentWorkerIndex()]));
    return OK();
  });
}

// ---- Scaling ----

Result<void> Voronoi3DImpl::ScaleOneCell(Int cellIndex, Float scaleValue, CellScratch& scratch) {
  CellData& cell = cells_[cellIndex];
  if (cell.fused) {
    cellHasVolume_[cellIndex] = false;
    return OK();
  }
  cellHasVolume_[cellIndex] = ZEMOX_TRY(ScaleCellData(cell, scratch, scaleValue));
  return OK();
}

Result<void> Voronoi3DImpl::ScaleCell(Int cellIndex, Float scaleValue) {
  ZEMOX_TRY(cellHasVolume_.Resize(cells_.GetCount()));
  if (scaleValue == 0 || cellIndex < 0 || cellIndex >= cells_.GetCount()) return OK();
  CellScratch scratch;
  return ScaleOneCell(cellIndex, scaleValue, scratch);
}

Result<void> Voronoi3DImpl::ScaleAllCells(Float scaleValue) {
  ZEMOX_TRY(cellHasVolume_.Resize(cells_.GetCount()));
  if (scaleValue == 0) return OK();
  BaseArray<CellScratch> scratch;
  ZEMOX_TRY(scratch.Resize(WorkerCount()));
  return ParallelForEach(cells_.GetCount(), 16,
                         [&](Int c) { return ScaleOneCell(c, scaleValue, scratch[CurrentWorkerIndex()]); });
}

// ---- Fusion ----

Result<void> Voronoi3DImpl::SetCellFuseGroup(Block<const Int> fuseIndices) {
  ZEMOX_TRY(CheckTetrizer("SetCellFuseGroup"));
  const Int cellCount = std::max<Int>(tetrizer_.GetPointCount() - 4, 0);
  for (Int index : fuseIndices)
    if (index < 0 || index >= cellCount)
      return ZEMOX_ERROR(IllegalArgumentError, "@: Cell index @ is outside the @ cells.", index, cellCount);
  const Int oldCount = fuseGroups_.GetCount();
  ZEMOX_TRY(fuseGroups_.Resize(cellCount));
  for (Int c = oldCount; c < cellCount; ++c) fuseGroups_[c] = -1;
  fuseActive_ = true;
  ++fuseGroupCounter_;
  const Int group = fuseIndices.IsEmpty() ? fuseGroupCounter_ : fuseIndices[0];
  for (Int index : fuseIndices) fuseGroups_[index] = group;
  return OK();
}

void Voronoi3DImpl::RenameNeighbor(Int32 from, Int32 to) {
  for (CellData& cell : cells_)
    for (Int32& neighbor : cell.faceNeighbors)
      if (neighbor == from) neighbor = to;
}

// Cell target takes in cell source across their common faces; the merged cell is built aside, so a
// failure leaves both cells as they were.
Result<void> Voronoi3DImpl::AbsorbCell(Int target, Int source, CellScratch& scratch) {
  CellData merged;
  ZEMOX_TRY(merged.CopyFrom(cells_[target]));
  DropFacesToward(merged, static_cast<Int32>(source + 4));
  ZEMOX_TRY(AppendCell(merged, cells_[source], static_cast<Int32>(target + 4)));
  merged.fused = true;
  ZEMOX_TRY(RebuildMergedCell(merged, scratch));
  cells_[target] = std::move(merged);
  cells_[source].Clear();
  RenameNeighbor(static_cast<Int32>(source + 4), static_cast<Int32>(target + 4));
  return OK();
}

static Bool HasFaceToward(const CellData& cell, Int32 neighbor) {
  return std::find(cell.faceNeighbors.begin(), cell.faceNeighbors.end(), neighbor) != cell.faceNeighbors.end();
}

Result<void> Voronoi3DImpl::FuseCells(Block<const CellIndexPair> joinList) {
  const Int cellCount = cells_.GetCount();
  for (const auto& [a, b] : joinList)
    if (a < 0 || a >= cellCount || b < 0 || b >= cellCount)
      return ZEMOX_ERROR(IllegalArgumentError, "@: Cell pair (@, @) is outside the @ cells.", a, b, cellCount);
  CellScratch scratch;
  for (const auto& [a, b] : joinList)
    if (a != b && HasFaceToward(cells_[a], static_cast<Int32>(b + 4))) ZEMOX_TRY(AbsorbCell(a, b, scratch));
  return OK();
}

// ---- Inverted cell ----

// Fused cells that touch each other become one, so that their common faces do not stay inside the
// inverted cell.
Result<void> Voronoi3DImpl::AbsorbFusedNeighbors(CellScratch& scratch) {
  Bool changed = true;
  while (changed) {
    changed = false;
    for (Int a = 0; a < cells_.GetCount(); ++a) {
      if (!cells_[a].fused || cells_[a].IsEmpty()) continue;
      for (Int32 neighbor : cells_[a].faceNeighbors) {
        const Int b = neighbor - 4;
        if (b < 0 || b == a || b >= cells_.GetCount() || !cells_[b].fused || cells_[b].IsEmpty()) continue;
        ZEMOX_TRY(AbsorbCell(a, b, scratch));
        changed = true;
        break;
      }
    }
  }
  return OK();
}

// The enclosing tetrahedron of a box, sized and placed as the tetrahedralisation places its own.
static void EnclosingCorners(const Box3D& box, Vector (&corners)[4]) {
  Vector centre;
  Float r = 0;
  if (box.min.x <= box.max.x) {
    centre = (box.min + box.max) * 0.5;
    r = Length(box.max - centre);
  }
  if (r == 0) r = std::sqrt(0.75);
  const Float f = 1.1 * (r / -0.3333330225);
  corners[0] = {centre.x + 0.816497 * f, centre.y, centre.z - 0.57735 * f};
  corners[1] = {centre.x, centre.y + 0.816497 * f, centre.z + 0.57735 * f};
  corners[2] = {centre.x - 0.816497 * f, centre.y, centre.z - 0.57735 * f};
  corners[3] = {centre.x, centre.y - 0.816497 * f, centre.z + 0.57735 * f};
}

// Appends the enclosing tetrahedron's corners and its four faces, turned outward, with their
// twins linked among themselves.
Result<void> Voronoi3DImpl::AppendEnclosingTetrahedron(CellData& cell) {
  Vector corners[4];
  EnclosingCorners(cell.GetBoundingBox(), corners);
  const Vector centroid = (corners[0] + corners[1] + corners[2] + corners[3]) * 0.25;
  const Int firstVertex = cell.vertices.GetCount();
  for (const Vector& corner : corners) {
    ZEMOX_TRY(cell.vertexIds.Append(-1));
    ZEMOX_TRY(cell.vertices.Append(corner));
  }
  const Int firstEdge = cell.edges.GetCount();
  constexpr Int faceCorners[4][3] = {{0, 1, 2}, {0, 3, 1}, {0, 2, 3}, {1, 3, 2}};
  for (const auto& face : faceCorners) {
    Int loop[3] = {firstVertex + face[0], firstVertex + face[1], firstVertex + face[2]};
    const Vector& a = cell.vertices[loop[0]];
    if (Dot(Cross(cell.vertices[loop[1]] - a, cell.vertices[loop[2]] - a), a - centroid) < 0)
      std::swap(loop[1], loop[2]);
    ZEMOX_TRY(AddCellFace(cell, {loop, 3}, -1));
  }
  for (Int i = firstEdge; i < cell.edges.GetCount(); ++i)
    for (Int j = firstEdge; j < cell.edges.GetCount(); ++j)
      if (cell.edges[j].start == cell.edges[i].end && cell.edges[j].end == cell.edges[i].start) cell.edges[i].twin = j;
  return OK();
}

Result<void> Voronoi3DImpl::CreateInvertedVoronoiCell() {
  if (cells_.IsEmpty()) return OK();
  CellScratch scratch;
  ZEMOX_TRY(AbsorbFusedNeighbors(scratch));
  CellData gathered;
  for (const CellData& cell : cells_) ZEMOX_TRY(AppendCell(gathered, cell, std::numeric_limits<Int32>::min()));
  // The cells' surfaces bound the inverted cell from outside it, so they face inward.
  ReverseCell(gathered);
  std::fill(gathered.faceNeighbors.begin(), gathered.faceNeighbors.end(), -1);
  gathered.fused = true;
  ZEMOX_TRY(cellHasVolume_.Resize(1));
  cellHasVolume_[0] = gathered.IsEmpty();
  ZEMOX_TRY(AppendEnclosingTetrahedron(gathered));
  ZEMOX_TRY(cells_.Resize(1));
  cells_[0] = std::move(gathered);
  return OK();
}

}  // namespace zemox
