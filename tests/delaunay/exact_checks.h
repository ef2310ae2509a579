#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "geom/tetrahedron.h"
#include "zemox/block.h"

namespace zemox::testing {

// Orientation and in-sphere signs computed independently of the module: a generously bounded
// floating-point filter, then exact rational arithmetic. Same conventions as the module: orient3d is
// the sign of (a - d) . ((b - d) x (c - d)); insphere is positive when e lies inside the sphere
// through a, b, c, d with a positive orientation.
int ExactOrient3d(const Vector& a, const Vector& b, const Vector& c, const Vector& d);
int ExactInsphere(const Vector& a, const Vector& b, const Vector& c, const Vector& d, const Vector& e);

// What a valid result must satisfy beyond the structural checks.
struct ValidationOptions {
  // Every point from this index on was added and must be a vertex, unless it is a near-duplicate of
  // a vertex (then its table entry must be -1).
  Int firstAddedPoint = 4;
  // Every vertex must have a table entry (true right after a single batch).
  Bool requireVertexEntries = true;
  // The corners' entries hold a tetrahedron with that corner. A later batch resets them to 0 as a
  // placeholder, which only holds the corner until the first split.
  Bool checkCornerEntries = true;
  // Test the in-sphere condition at all.
  Bool checkDelaunay = true;
  // Test every tetrahedron against every vertex, not only against its neighbours' apexes.
  Bool checkGlobally = false;
};

// Validates a tetrahedralisation: positive exact orientation of every tetrahedron, symmetric
// neighbour links across identical faces, missing neighbours only on the four corner faces, local
// (or global) Delaunay with exact in-sphere tests, the volumes filling the enclosing tetrahedron,
// point-to-tetrahedron entries that hold their point, and every added point present.
::testing::AssertionResult IsValidTetrahedralization(Block<const Tetrahedron> tetrahedrons, Block<const Vector> points,
                                                     Block<const Int32> pointToTet,
                                                     const ValidationOptions& options = {});

}  // namespace zemox::testing
