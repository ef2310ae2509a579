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

// Validates a tetrahedralisation: positive exact orientation of every tetrahedron, symmetric
// neighbour links across identical faces, missing neighbours only on the four corner faces, local
// Delaunay with exact in-sphere tests, the volumes filling the enclosing
// tetrahedron, point-to-tetrahedron entries that hold their point, and every added point present
// unless it is a near-duplicate of a vertex (then its entry is -1). After a later batch inserted
// into an existing tetrahedralisation, earlier vertices may have no entry and the corners' entries
// are placeholders: `laterBatch` skips those two checks.
::testing::AssertionResult IsValidTetrahedralization(Block<const Tetrahedron> tetrahedrons, Block<const Vector> points,
                                                     Block<const Int32> pointToTet, Bool laterBatch = false);

}  // namespace zemox::testing
