#pragma once

#include "zemox/types.h"

namespace zemox {

// Machine constants, error bounds and static filters of the adaptive-precision predicates. Every
// predicate reads one; only exactinit writes it.
struct PredicateContext {
  Float splitter = 0.0;
  Float epsilon = 0.0;
  Float resulterrbound = 0.0;
  Float ccwerrboundA = 0.0;
  Float ccwerrboundB = 0.0;
  Float ccwerrboundC = 0.0;
  Float o3derrboundA = 0.0;
  Float o3derrboundB = 0.0;
  Float o3derrboundC = 0.0;
  Float iccerrboundA = 0.0;
  Float iccerrboundB = 0.0;
  Float iccerrboundC = 0.0;
  Float isperrboundA = 0.0;
  Float isperrboundB = 0.0;
  Float isperrboundC = 0.0;
  Int32 useInexactArithmetic = 0;
  Int32 useStaticFilter = 0;
  Float o3dStaticFilter = 1e-10;
  Float ispStaticFilter = 1e-10;
};

// Fills the context: machine epsilon and splitter, the error bounds, the two flags, and static
// filters scaled by the magnitudes of the coordinates the predicates will see.
void exactinit(PredicateContext& context, int noExact, int noFilter, Float maxX, Float maxY, Float maxZ);

// > 0 when a, b, c turn counter-clockwise, < 0 clockwise, 0 collinear.
Float orient2d(const PredicateContext& context, const Vector2d& a, const Vector2d& b, const Vector2d& c);
// > 0 when d lies inside the circle through a, b, c (counter-clockwise), 0 when cocircular.
Float incircle(const PredicateContext& context, const Vector2d& a, const Vector2d& b, const Vector2d& c,
               const Vector2d& d);
// Sign of (a - d) . ((b - d) x (c - d)): > 0 when d lies below the plane through a, b, c.
Float orient3d(const PredicateContext& context, const Vector& a, const Vector& b, const Vector& c, const Vector& d);
// > 0 when e lies inside the sphere through a, b, c, d with orient3d(a, b, c, d) > 0, 0 when cospherical.
Float insphere(const PredicateContext& context, const Vector& a, const Vector& b, const Vector& c, const Vector& d,
               const Vector& e);

}  // namespace zemox
