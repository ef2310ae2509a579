#pragma once

#include "geom/voronoi3d.h"
#include "voronoi3d/cellops.h"
#include "voronoi3d/circumcentre.h"
#include "zemox/basearray.h"

namespace zemox {

// Time spent in each stage of the last CalcCells, in seconds, for benchmarks.
struct Voronoi3DTimings {
  Float tetrahedralization = 0;
  Float circumcentres = 0;
  Float vertexMerge = 0;
  Float cellBuild = 0;
  // Circumcentres that needed the 256-bit computation.
  Int circumcentreFallbacks = 0;
};

// A tetrahedron around the point whose cell is being built, with its neighbours numbered among
// those around the point, and the id of its Voronoi vertex.
struct AroundTetrahedron {
  Tetrahedron tet;
  Int32 vertexId;
  // The first gathered tetrahedron with the same vertex id (itself, unless merged Voronoi vertices
  // meet here), and the cell's local index of that vertex once it is emitted, else -1; kept on the
  // first one only.
  Int32 vertexOwner;
  Int32 localVertex;
};

// A tetrahedron's number among those gathered around the cell's point, valid when `cell` holds the
// number (cell index + 1) of the cell being built, so that the table needs no clearing between cells.
struct GatheredNumber {
  Int32 cell;
  Int32 local;
};

// Per-worker scratch of the parallel cell build, made once per worker and reused for every cell it
// builds.
struct VoronoiParallelForStorage {
  BaseArray<Int32> stack;
  // The tetrahedra around the cell's point, their local numbers by tetrahedron index, and which of
  // them the visit has reached.
  BaseArray<AroundTetrahedron> around;
  BaseArray<GatheredNumber> gatheredNumbers;
  BaseArray<Bool> visited;
  // Per point, the number (cell index + 1) of the last cell that handled it as a neighbour, so that
  // handled neighbours are recognised without searching.
  BaseArray<Int32> handledPoints;
  // The cell being built. It keeps its capacity from cell to cell, so that the build itself does not
  // allocate once the worker has seen its largest cell; the finished cell is then copied into the
  // cell's own arrays, each allocated once at its exact size.
  CellData built;
  CellScratch cell;
};

// Voronoi cells on top of an owned Delaunay3D instance; see Voronoi3DInterface.
class Voronoi3DImpl final {
 public:
  Voronoi3DImpl() = default;
  Voronoi3DImpl(const Voronoi3DImpl&) = delete;
  Voronoi3DImpl& operator=(const Voronoi3DImpl&) = delete;

  Result<void> Init(const Box3D& workSpace);
  Result<void> CopyFrom(const Voronoi3DInterface& src, Int resizeFlags);
  Bool IsReadyButPendingChanges() const { return cellsReady_; }
  Bool IsReady() const { return cellsReady_ && !pendingChanges_; }
  Result<void> SetPoints(Block<const Vector> points);
  Result<void> AddPoint(const Vector& pointIn);
  Result<void> AddPoints(Block<const Vector> points);
  Result<void> CalcCells();
  Result<void> CalcTetrahedralization();
  void SetForClipping(Bool clipping) { clipping_ = clipping; }
  Int GetCellCount() const { return cells_.GetCount(); }
  Block<const Vector> GetVoronoiPointPositions() const { return voronoiPoints_.ToBlock(); }
  Block<const Vector> GetInputPoints() const;
  Block<const Bool> GetBorderCellFlags() const { return borderCellFlags_.ToBlock(); }
  Block<const CellData> GetCellDataStructure() const { return cells_.ToBlock(); }
  Block<const Bool> GetCellHasVolume() const { return cellHasVolume_.ToBlock(); }
  Result<void> ScaleCell(Int cellIndex, Float scaleValue);
  Result<void> ScaleAllCells(Float scaleValue);
  Delaunay3DRef* GetDelaunayTetrizer() { return &tetrizer_; }
  void Flush();
  Result<void> SetCellFuseGroup(Block<const Int> fuseIndices);
  Result<void> FuseCells(Block<const CellIndexPair> joinList);
  Result<void> CreateInvertedVoronoiCell();

  const Voronoi3DTimings& GetTimings() const { return timings_; }

 private:
  Result<void> CheckTetrizer(const char* operation) const;
  Result<void> CalcCircumcentres(Block<const Tetrahedron> tetrahedrons, Block<const Vector> points);
  Result<void> MergeCloseVertices(Block<const Tetrahedron> tetrahedrons);
  Result<void> BuildPointToTetrahedron(Block<const Tetrahedron> tetrahedrons, Int pointCount);
  Result<void> BuildCells(Block<const Tetrahedron> tetrahedrons);
  Result<Bool> GatherAround(Block<const Tetrahedron> tetrahedrons, VoronoiParallelForStorage& storage, Int32 cellIndex,
                            Int32 first) const;
  Result<void> BuildCell(Block<const Tetrahedron> tetrahedrons, VoronoiParallelForStorage& storage, Int32 cellIndex);
  Bool InOneFuseGroup(Int cellA, Int cellB) const;
  Result<void> FinishCell(CellData& cell, CellScratch& scratch);
  Result<void> MergeFuseGroups();
  Result<void> ScaleOneCell(Int cellIndex, Float scaleValue, CellScratch& scratch);
  Result<void> AbsorbCell(Int target, Int source, CellScratch& scratch);
  Result<void> AbsorbFusedNeighbors(CellScratch& scratch);
  void RenameNeighbor(Int32 from, Int32 to);
  Result<void> AppendEnclosingTetrahedron(CellData& cell);

  // State.
  Delaunay3DRef tetrizer_;
  Bool cellsReady_ = false;
  Bool tetrahedralized_ = false;
  Bool pendingChanges_ = false;
  Bool clipping_ = false;
  // Cleared by Init; no operation sets it.
  Bool reserved_ = false;
  BaseArray<Bool> borderCellFlags_;
  BaseArray<CellData> cells_;
  BaseArray<Bool> cellHasVolume_;
  BaseArray<Vector> voronoiPoints_;
  BaseArray<Int> fuseGroups_;
  Int32 fuseGroupCounter_ = 0;
  Bool fuseActive_ = false;

  // Scratch of CalcCells, kept between calls.
  // Per tetrahedron, the representative of its merged Voronoi vertex, or -1 when it is its own.
  BaseArray<Int32> representative_;
  // Per point, one tetrahedron that has it as a vertex, or -1.
  BaseArray<Int32> pointToTetrahedron_;
  BaseArray<Int32> mergeStack_;
  Voronoi3DTimings timings_;
};

}  // namespace zemox
