#pragma once

#include "geom/exactpredicates2d.h"
#include "predicates.h"

namespace zemox {

// The module's predicate context, prepared once while the ExactPredicates2D implementation registers
// and only read afterwards. Module code that evaluates 2D predicates uses it.
const PredicateContext& ModulePredicateContext();

// Implementation of ExactPredicates2DInterface: every sign comes from the adaptive predicates
// evaluated with the module context, so collinear, cocircular and touching inputs are recognised
// without tolerance.
class ExactPredicates2DImpl {
 public:
  static Float Orient(const Vector2d& pointA, const Vector2d& pointB, const Vector2d& pointC);
  static Float InCircle(const Vector2d& pointA, const Vector2d& pointB, const Vector2d& pointC,
                        const Vector2d& testPoint);
  static Result<Float> InTriangle(const Vector2d& pointA, const Vector2d& pointB, const Vector2d& pointC,
                                  const Vector2d& testPoint);
  static Result<Float> InSector(const Vector2d& center, const Vector2d& rayA, const Vector2d& rayB,
                                const Vector2d& testPoint);
  static Result<Bool> OutlineSelfIntersectionTest(Block<const Vector2d> outline);
  static Result<Bool> OutlinesIntersectionTest(Block<const Vector2d> outline1, Block<const Vector2d> outline2);
  static Result<Bool> OutlinesIntersectionTest(Block<const Block<const Vector2d>> outlines);
};

}  // namespace zemox
