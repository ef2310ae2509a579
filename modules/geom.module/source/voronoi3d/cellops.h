#pragma once

#include <utility>

#include "geom/celldata.h"
#include "zemox/basearray.h"
#include "zemox/result.h"

namespace zemox {

// Map from Voronoi vertex id (>= 0) to a cell's local vertex index: open addressing on a
// power-of-two table that remembers the slots it filled, so clearing costs what was inserted.
class VertexIdMap {
 public:
  // The local index of id, or -1.
  Int Find(Int id) const;
  Result<void> Insert(Int id, Int local);
  void Clear();

 private:
  Result<void> Grow();
  Int SlotOf(Int id) const;

  BaseArray<Int> keys_;
  BaseArray<Int> values_;
  BaseArray<Int> filled_;
};

// Scratch of the cell operations, reused from cell to cell by one thread.
struct CellScratch {
  VertexIdMap idMap;
  BaseArray<Int> loop;
  BaseArray<Int> outgoingOffsets;
  BaseArray<Int> outgoing;
  BaseArray<Int> localOf;
  BaseArray<Float> distances;
  BaseArray<Int> cuts;
  BaseArray<Bool> removed;
  BaseArray<Vector> planePoints;
  BaseArray<Vector> planeNormals;
  BaseArray<Int32> planeNeighbors;
  BaseArray<std::pair<Float, Int>> capOrder;
};

// Appends a vertex; with an id >= 0 the vertex is shared with every earlier vertex of that id
// registered in the scratch's map. Returns the local index.
Result<Int> AddCellVertex(CellData& cell, CellScratch& scratch, Int id, const Vector& position);

// Appends one face from a loop of local vertex indices: consecutive equal vertices (the wrap from
// last to first included) give no edge, and a loop of fewer than three edges bounds no area and
// adds no face. Twins stay -1.
Result<void> AddCellFace(CellData& cell, Block<const Int> loop, Int32 neighbor);

// Links every half-edge with the first later unlinked half-edge that runs the other way between
// the same vertices. False when some half-edge finds no partner: the surface is not closed.
Result<Bool> LinkTwins(CellData& cell, CellScratch& scratch);

// Removes vertices where only two faces meet by joining their two edges, in at most two rounds.
Result<void> RemoveTwoFaceVertices(CellData& cell, CellScratch& scratch);

// Rebuilds a cell whose listed faces may come from several cells: vertices of equal id become one,
// loops are emitted again and the twins linked. False (and the cell cleared) when it is not closed.
Result<Bool> RebuildMergedCell(CellData& cell, CellScratch& scratch);

// Appends source's vertices, edges and the faces whose neighbour is not skipNeighbor to target,
// with their indices shifted; the twins of the appended edges keep their shifted values.
Result<void> AppendCell(CellData& target, const CellData& source, Int32 skipNeighbor);

// Drops the faces whose neighbour is `neighbor` from the face list.
void DropFacesToward(CellData& cell, Int32 neighbor);

// Keeps the part of a convex cell on the side of the plane opposite the unit normal; the cut is
// closed by a new face carrying `neighbor`. Returns true (cell untouched) when nothing remains.
Result<Bool> ClipCellByPlane(CellData& cell, CellScratch& scratch, const Vector& planePoint, const Vector& normal,
                             Int32 neighbor);

// Shrinks a convex cell by moving every face plane by scaleValue along its outward normal (only
// negative values of magnitude 0.0001 or more act). Returns true when the cell vanished, which
// leaves it empty.
Result<Bool> ScaleCellData(CellData& cell, CellScratch& scratch, Float scaleValue);

// Turns every face loop around: the surface then faces the other way.
void ReverseCell(CellData& cell);

}  // namespace zemox
