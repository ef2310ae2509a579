#pragma once

#include "zemox/types.h"

namespace zemox {

// Answer of the classified vertex test: a decision, or the reason why there is none.
enum class GEOMETRY_TEST_EXACT : Int32 {
  GEOM_FALSE = 0,            // the test is negative (for example the vertex is concave)
  GEOM_TRUE = 1,             // the test is positive
  GEOM_PARALLEL = 2,         // the two directions are the same within epsilon
  GEOM_ANTIPARALLEL = 3,     // the two directions are opposite within epsilon
  GEOM_COINCIDENT_PREV = 4,  // the vertex coincides with its predecessor
  GEOM_COINCIDENT_NEXT = 5,  // the vertex coincides with its successor
  GEOM_COINCIDENT_ALL = 6,   // the vertex coincides with both neighbours
  GEOM_DEGENERATE = 7,       // the test cannot decide (zero or undefined cross product)
  GEOM_INVALID_INPUT = 8,    // the input was rejected
};

// How two loops that do not cross each other lie to one another.
enum class LOOP_OVERLAP_STATE : Int32 {
  INTERSECTING = 0,
  DISJOINT = 1,
  A_INSIDE_B = 2,
  B_INSIDE_A = 3,
  COINCIDENT = 4,
  DEGENERATE = 5,
};

// What the loop clean-up does with an edge; 0 is deliberately not a value.
enum class FIXOPERATION : Int32 {
  SKIPEDGE = 1,
  FUSEWITHNEXT = 2,
  NOTHING = 3,
};

namespace UnionUtilsInternal {

// Where the polygon union moved a point onto the fixed-point grid's geometry.
enum class GEOM_SNAP_DATA : Int32 {
  GEOM_NO_SNAPPING = 0,
  GEOM_SNAP_TO_VERTEX = 1,
  GEOM_SNAP_TO_EDGE = 2,
};

// Flag set: on which sides of a box a point lies (INSIDE when none).
enum class RELATIVE_TO_RANGE_STATE : Int32 {
  INSIDE = 0,
  OUTSIDE_POS_X = 1,
  OUTSIDE_POS_Y = 2,
  OUTSIDE_NEG_X = 4,
  OUTSIDE_NEG_Y = 8,
};

}  // namespace UnionUtilsInternal
}  // namespace zemox
