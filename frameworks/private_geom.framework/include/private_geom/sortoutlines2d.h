#pragma once

#include "private_geom/outlineprocessing.h"
#include "zemox/basearray.h"
#include "zemox/block.h"
#include "zemox/interface.h"
#include "zemox/registry.h"
#include "zemox/result.h"
#include "zemox/string.h"

namespace zemox {

// Registry of the classes that sort outlines, and the two classes entered into it.
inline constexpr Id SortOutlines2DRegistry{"net.zemox.private_geom.registry.sortoutlines2d"};
// Classifies pairs of polylines with exact outline intersection and point-in-outline tests.
inline constexpr Id SortOutlines2DExactClass{"net.zemox.private_geom.sortoutlines2d.exact"};
// Classifies pairs of polylines by their bounding boxes alone: a polyline whose box lies strictly
// inside another box counts as nested, overlapping boxes count as crossing outlines.
inline constexpr Id SortOutlines2DFastClass{"net.zemox.private_geom.sortoutlines2d.fast"};

// Sorts closed polylines into outer boundaries and the holes directly inside them: a polyline nested
// at an even depth is an outer boundary, one at an odd depth a hole of its parent, and polylines that
// touch or cross are separated into independent trees. Created from a class of the registry
// SortOutlines2DRegistry; one thread at a time.
class SortOutlines2DInterface : public OutlineProcessingInterface {
 public:
  ZEMOX_INTERFACE("net.zemox.private_geom.interface.sortoutlines2d", 5)

  // Sorts the polylines: segments holds the vertex count of each, their vertices follow one another
  // in vertexPositions. Polylines with fewer than minPointsCount vertices are dropped but keep their
  // place in the numbering. IllegalArgumentError for empty input, minPointsCount 0 or no polyline
  // kept; after any failure the object is reset.
  ZEMOX_VIRTUAL_SLOT(0, Result<void>, Init, (IN, Block<const Vector2d>, vertexPositions),
                     (IN, Block<const Int>, segments), (IN, UInt32, minPointsCount))
  // Releases everything; the object is then as new.
  ZEMOX_VIRTUAL_SLOT(1, void, Reset)
  // One array per outer boundary, in input order: its input index, then those of its holes.
  // IllegalStateError before a successful Init.
  ZEMOX_VIRTUAL_CONST_SLOT(2, Result<void>, GetResult, (OUT, BaseArray<BaseArray<Int>>&, polygonsWithHoles))
  // Bytes held by the object.
  ZEMOX_VIRTUAL_CONST_SLOT(3, Int, GetMemorySize)
  // "Number of valid polylines: n", then per polyline "\nPolyline i." followed by
  // " Nested polylines indices: j k." or " No nested polylines."; the format statement is not used.
  // Fails only for lack of memory.
  ZEMOX_VIRTUAL_CONST_SLOT(4, Result<String>, ToString, (IN, const char*, formatStatement, nullptr))
};

using SortOutlines2DRef = Ref<SortOutlines2DInterface>;

// A new object of a class entered into SortOutlines2DRegistry.
inline Result<SortOutlines2DRef> CreateSortOutlines2D(const Id& classId) {
  ZEMOX_ASSIGN_OR_RETURN(Object * object, CreateObjectFromRegistry(SortOutlines2DRegistry, classId));
  // Only classes that implement the interface are entered into its registry.
  return SortOutlines2DRef(static_cast<SortOutlines2DInterface*>(object));
}

}  // namespace zemox
