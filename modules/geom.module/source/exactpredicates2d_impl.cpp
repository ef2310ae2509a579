#include "exactpredicates2d_impl.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "outlinesintersectiontest2d.h"

namespace zemox {
namespace {

// Static lifetime and constant-initialised, so it exists before any initialiser of the module runs;
// exactinit fills it while the implementation registers.
constinit PredicateContext moduleContext{};

Bool SamePoint(const Vector2d& a, const Vector2d& b) { return a.x == b.x && a.y == b.y; }

Bool AllFinite(std::initializer_list<Vector2d> points) {
  return std::all_of(points.begin(), points.end(),
                     [](const Vector2d& p) { return std::isfinite(p.x) && std::isfinite(p.y); });
}

Result<Bool> RunOutlineTest(Block<const Block<const Vector2d>> outlines) {
  OutlinesIntersectionTest2D test;
  ZEMOX_TRY(test.Init(outlines));
  return test.IsIntersecting();
}

}  // namespace

const PredicateContext& ModulePredicateContext() { return moduleContext; }

Float ExactPredicates2DImpl::Orient(const Vector2d& pointA, const Vector2d& pointB, const Vector2d& pointC) {
  return orient2d(moduleContext, pointA, pointB, pointC);
}

Float ExactPredicates2DImpl::InCircle(const Vector2d& pointA, const Vector2d& pointB, const Vector2d& pointC,
                                      const Vector2d& testPoint) {
  return incircle(moduleContext, pointA, pointB, pointC, testPoint);
}

// The three edge orientations add up to the doubled signed area, so a clockwise triangle has a
// negative one for every point and answers outside everywhere.
Result<Float> ExactPredicates2DImpl::InTriangle(const Vector2d& pointA, const Vector2d& pointB, const Vector2d& pointC,
                                                const Vector2d& testPoint) {
  // A non-finite point has no side: any classification would look like an answer.
  if (!AllFinite({pointA, pointB, pointC, testPoint}))
    return ZEMOX_ERROR(IllegalArgumentError, "@: Point has a non-finite coordinate.");
  if (SamePoint(pointA, pointB) || SamePoint(pointA, pointC) || SamePoint(pointB, pointC))
    return ZEMOX_ERROR(IllegalArgumentError);
  const Float edgeAB = orient2d(moduleContext, pointA, pointB, testPoint);
  const Float edgeBC = orient2d(moduleContext, pointB, pointC, testPoint);
  const Float edgeCA = orient2d(moduleContext, pointC, pointA, testPoint);
  if (edgeAB > 0.0 && edgeBC > 0.0 && edgeCA > 0.0) return 1.0;
  if (!(edgeAB < 0.0 || edgeBC < 0.0 || edgeCA < 0.0)) return 0.0;
  return -1.0;
}

// A point on the ray through rayA counts as boundary only on the rayA side of the centre: there the
// ray through rayB sees it on its inner side.
Result<Float> ExactPredicates2DImpl::InSector(const Vector2d& center, const Vector2d& rayA, const Vector2d& rayB,
                                              const Vector2d& testPoint) {
  if (!AllFinite({center, rayA, rayB, testPoint}))
    return ZEMOX_ERROR(IllegalArgumentError, "@: Point has a non-finite coordinate.");
  if (orient2d(moduleContext, center, rayA, rayB) <= 0.0) return ZEMOX_ERROR(IllegalArgumentError);
  const Float sideA = orient2d(moduleContext, center, testPoint, rayA);
  const Float sideB = orient2d(moduleContext, center, testPoint, rayB);
  if (sideA < 0.0) {
    if (sideB > 0.0) return 1.0;
    if (sideB == 0.0) return 0.0;
    return -1.0;
  }
  if (sideA == 0.0 && sideB > 0.0) return 0.0;
  return -1.0;
}

Result<Bool> ExactPredicates2DImpl::OutlineSelfIntersectionTest(Block<const Vector2d> outline) {
  return RunOutlineTest({&outline, 1});
}

Result<Bool> ExactPredicates2DImpl::OutlinesIntersectionTest(Block<const Vector2d> outline1,
                                                             Block<const Vector2d> outline2) {
  const Block<const Vector2d> outlines[] = {outline1, outline2};
  return RunOutlineTest({outlines, 2});
}

Result<Bool> ExactPredicates2DImpl::OutlinesIntersectionTest(Block<const Block<const Vector2d>> outlines) {
  return RunOutlineTest(outlines);
}

namespace {

// The module context is the only thing computed at load: it is ready before the implementation
// becomes reachable through the registry.
Bool PrepareModuleContext() {
  moduleContext = PredicateContext{};
  exactinit(moduleContext, 0, 0, 0.0, 0.0, 0.0);
  return true;
}

const InterfaceRegistration<ExactPredicates2DInterface> interfaceRecord;
[[maybe_unused]] const Bool moduleContextPrepared = PrepareModuleContext();
const ImplementationRegistration<ExactPredicates2DInterface, ExactPredicates2DImpl> implementationRecord(
    "ExactPredicates2DImpl");

}  // namespace
}  // namespace zemox
