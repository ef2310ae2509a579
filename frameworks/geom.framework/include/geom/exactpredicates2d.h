#pragma once

#include "zemox/block.h"
#include "zemox/error.h"
#include "zemox/interface.h"
#include "zemox/result.h"

namespace zemox {

// Exact orientation, in-circle, in-triangle and in-sector tests and exact tests whether closed outlines
// touch or cross, reached through the registered implementation. Every answer is exact for all finite
// coordinates, from the smallest subnormal to the largest double, mixed in one call. A coordinate that
// is not finite has no exact answer: Orient and InCircle return NaN, the others fail with an
// IllegalArgumentError.
//
// Without a registered implementation there is no answer to give: the fallible tests return an
// IllegalStateError that names the missing interface, and Orient and InCircle, which cannot report an
// error, return NaN, whose sign tests are all false.
class ExactPredicates2DInterface : public StaticInterface<ExactPredicates2DInterface> {
 public:
  ZEMOX_INTERFACE("net.zemox.interface.exactpredicates2d", 7)

  // > 0 when pointA, pointB, pointC turn counter-clockwise, < 0 clockwise, 0 exactly when collinear;
  // NaN when a coordinate is not finite.
  ZEMOX_STATIC_SLOT(0, Float, Orient, (IN, const Vector2d&, pointA), (IN, const Vector2d&, pointB),
                    (IN, const Vector2d&, pointC))

  // > 0 when testPoint lies inside the circle through the counter-clockwise pointA, pointB, pointC
  // (reversed for clockwise), 0 exactly when the four are cocircular; NaN when a coordinate is not
  // finite.
  ZEMOX_STATIC_SLOT(1, Float, InCircle, (IN, const Vector2d&, pointA), (IN, const Vector2d&, pointB),
                    (IN, const Vector2d&, pointC), (IN, const Vector2d&, testPoint))

  // 1.0 strictly inside the counter-clockwise triangle, 0.0 on its boundary, -1.0 outside; fails with
  // IllegalArgumentError "InTriangle: Point has a non-finite coordinate." when a coordinate is not
  // finite, and with an IllegalArgumentError without message when two vertices are equal.
  ZEMOX_STATIC_SLOT(2, Result<Float>, InTriangle, (IN, const Vector2d&, pointA), (IN, const Vector2d&, pointB),
                    (IN, const Vector2d&, pointC), (IN, const Vector2d&, testPoint))

  // 1.0 strictly inside the sector swept counter-clockwise from center->rayA to center->rayB, 0.0 on
  // one of its rays, -1.0 outside; fails with IllegalArgumentError "InSector: Point has a non-finite
  // coordinate." when a coordinate is not finite, and with an IllegalArgumentError without message
  // unless the sector is strictly convex.
  ZEMOX_STATIC_SLOT(3, Result<Float>, InSector, (IN, const Vector2d&, center), (IN, const Vector2d&, rayA),
                    (IN, const Vector2d&, rayB), (IN, const Vector2d&, testPoint))

  // True when the closed outline touches or crosses itself anywhere except at the shared vertex of
  // consecutive edges. Fails with IllegalArgumentError "Init: Input outline has a non-finite
  // coordinate." when a coordinate is not finite (the outline tests report on behalf of Init, also for
  // "Init: Input outline has less than 3 points.").
  ZEMOX_STATIC_SLOT(4, Result<Bool>, OutlineSelfIntersectionTest, (IN, Block<const Vector2d>, outline))

  // True when any edges of the two closed outlines, each outline's own edges included, touch or cross.
  ZEMOX_STATIC_SLOT(5, Result<Bool>, OutlinesIntersectionTest, (IN, Block<const Vector2d>, outline1),
                    (IN, Block<const Vector2d>, outline2))

  // The same question for any number of closed outlines.
  ZEMOX_STATIC_SLOT(6, Result<Bool>, OutlinesIntersectionTest, (IN, Block<const Block<const Vector2d>>, outlines))
};

}  // namespace zemox
