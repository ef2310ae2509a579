#pragma once

#include <utility>

#include "geom/celldata.h"
#include "geom/delaunay3d.h"
#include "geom/geometrytypes.h"
#include "zemox/block.h"
#include "zemox/interface.h"
#include "zemox/result.h"

namespace zemox {

// Two cell indices, the first absorbing the second.
using CellIndexPair = std::pair<Int, Int>;

// Voronoi cells of a point set, one per input point, built on an owned Delaunay3D instance (the
// tetrizer): the cell vertices are the circumcentres of the Delaunay tetrahedra, and circumcentres
// closer than 1e-5 in squared distance (an absolute tolerance: coordinates are scene units) share
// one vertex. Cell i belongs to the tetrizer's point i + 4; points 0 to 3 are its enclosing
// corners, so cells at the border of the set touch them and are closed but large. Arrays that
// methods return view the instance's own storage and stay valid until the next mutating call. Every
// method that needs the tetrizer fails with NullReferenceError before Init. Held through a
// Voronoi3DRef; one thread at a time.
class Voronoi3DInterface : public InstanceInterface<Voronoi3DInterface> {
 public:
  ZEMOX_INSTANCE_INTERFACE(Voronoi3DInterface, "net.zemox.interface.voronoi3d", 25)

  // Creates a new tetrizer (releasing an old one) and starts its tetrahedralisation around workSpace.
  ZEMOX_SLOT(2, Result<void>, Init, (IN, const Box3D&, workSpace))
  // Replaces this instance's state by a deep copy of src's, tetrizer included.
  ZEMOX_SLOT(3, Result<void>, CopyFrom, (IN, const Voronoi3DInterface&, src), (IN, Int, resizeFlags, 0))
  // Cells were computed, possibly before points were added since.
  ZEMOX_CONST_SLOT(4, Bool, IsReadyButPendingChanges)
  // Cells were computed and no point was added since.
  ZEMOX_CONST_SLOT(5, Bool, IsReady)
  // Replaces the point set; the tetrizer refuses non-finite and out-of-range coordinates.
  ZEMOX_SLOT(6, Result<void>, SetPoints, (IN, Block<const Vector>, points))
  ZEMOX_SLOT(7, Result<void>, AddPoint, (IN, const Vector&, pointIn))
  ZEMOX_SLOT(8, Result<void>, AddPoints, (IN, Block<const Vector>, points))
  // Tetrahedralises when needed and builds every cell; a face between two cells of one fuse group is
  // left out and the group becomes one cell at the group id's index. Cells that do not close are
  // left empty. Fails with the host's thread-cancelled error, after the cells are complete, when the
  // surrounding job was cancelled.
  ZEMOX_SLOT(9, Result<void>, CalcCells)
  ZEMOX_SLOT(10, Result<void>, CalcTetrahedralization)
  // With clipping on, CalcCells flags the cells that touch the enclosing corners; the cells
  // themselves are not cut.
  ZEMOX_SLOT(11, void, SetForClipping, (IN, Bool, clipping))
  ZEMOX_CONST_SLOT(12, Int, GetCellCount)
  // Per Delaunay tetrahedron, its circumcentre.
  ZEMOX_CONST_SLOT(13, Block<const Vector>, GetVoronoiPointPositions)
  // The tetrizer's points, enclosing corners first; empty before Init.
  ZEMOX_CONST_SLOT(14, Block<const Vector>, GetInputPoints)
  // Per tetrizer point (corners included): its cell touches the enclosing tetrahedron.
  ZEMOX_CONST_SLOT(15, Block<const Bool>, GetBorderCellFlags)
  ZEMOX_CONST_SLOT(16, Block<const CellData>, GetCellDataStructure)
  // Per cell, after scaling: true when the scaling made the cell vanish.
  ZEMOX_CONST_SLOT(17, Block<const Bool>, GetCellHasVolume)
  // Moves every face of a cell inward by -scaleValue (scene units; values above -0.0001 change
  // nothing); a fused or out-of-range cell is left as it is.
  ZEMOX_SLOT(18, Result<void>, ScaleCell, (IN, Int, cellIndex), (IN, Float, scaleValue))
  ZEMOX_SLOT(19, Result<void>, ScaleAllCells, (IN, Float, scaleValue))
  // The owned tetrizer (a null reference before Init).
  ZEMOX_SLOT(20, Delaunay3DRef*, GetDelaunayTetrizer)
  // Releases the tetrizer's memory, the cells and the border flags.
  ZEMOX_SLOT(21, void, Flush)
  // Puts the listed cells into one fuse group whose id is the first listed index; indices outside
  // the cells are refused with IllegalArgumentError.
  ZEMOX_SLOT(22, Result<void>, SetCellFuseGroup, (IN, Block<const Int>, fuseIndices))
  // For each pair (a, b) of distinct face neighbours, cell a absorbs cell b across their common
  // faces; b is left empty and faces that named b's point name a's.
  ZEMOX_SLOT(23, Result<void>, FuseCells, (IN, Block<const CellIndexPair>, joinList))
  // Replaces all cells by one: the space between an enclosing tetrahedron of the cells and their
  // union, with the cells' faces turned inward.
  ZEMOX_SLOT(24, Result<void>, CreateInvertedVoronoiCell)
};

// Owning reference to one Voronoi3D instance.
using Voronoi3DRef = InstanceRef<Voronoi3DInterface>;

}  // namespace zemox
