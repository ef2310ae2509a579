#pragma once

#include <limits>

#include "zemox/block.h"
#include "zemox/error.h"
#include "zemox/registry.h"
#include "zemox/result.h"

namespace zemox {

inline constexpr Id ExactPredicates2DInterfaceId{"net.zemox.interface.exactpredicates2d"};

// Slot table of the exact 2D predicates, in interface order. The two outline-set tests share one
// method name in the interface; their slots are told apart by the member names.
struct ExactPredicates2DSlots {
  Float (*Orient)(const Vector2d& pointA, const Vector2d& pointB, const Vector2d& pointC);
  Float (*InCircle)(const Vector2d& pointA, const Vector2d& pointB, const Vector2d& pointC, const Vector2d& testPoint);
  Result<Float> (*InTriangle)(const Vector2d& pointA, const Vector2d& pointB, const Vector2d& pointC,
                              const Vector2d& testPoint);
  Result<Float> (*InSector)(const Vector2d& center, const Vector2d& rayA, const Vector2d& rayB,
                            const Vector2d& testPoint);
  Result<Bool> (*OutlineSelfIntersectionTest)(Block<const Vector2d> outline);
  Result<Bool> (*OutlinesIntersectionTestPair)(Block<const Vector2d> outline1, Block<const Vector2d> outline2);
  Result<Bool> (*OutlinesIntersectionTestSet)(Block<const Block<const Vector2d>> outlines);
};

// Reflection data of the interface: method and parameter names, all parameters inputs.
namespace exactpredicates2d_reflection {
inline constexpr ParameterInfo triangleParameters[] = {{"pointA", false}, {"pointB", false}, {"pointC", false}};
inline constexpr ParameterInfo circleParameters[] = {
    {"pointA", false}, {"pointB", false}, {"pointC", false}, {"testPoint", false}};
inline constexpr ParameterInfo sectorParameters[] = {
    {"center", false}, {"rayA", false}, {"rayB", false}, {"testPoint", false}};
inline constexpr ParameterInfo outlineParameters[] = {{"outline", false}};
inline constexpr ParameterInfo outlinePairParameters[] = {{"outline1", false}, {"outline2", false}};
inline constexpr ParameterInfo outlineSetParameters[] = {{"outlines", false}};
inline constexpr SlotInfo slots[] = {
    {"Orient", {triangleParameters, 3}},
    {"InCircle", {circleParameters, 4}},
    {"InTriangle", {circleParameters, 4}},
    {"InSector", {sectorParameters, 4}},
    {"OutlineSelfIntersectionTest", {outlineParameters, 1}},
    {"OutlinesIntersectionTest", {outlinePairParameters, 2}},
    {"OutlinesIntersectionTest", {outlineSetParameters, 1}},
};
}  // namespace exactpredicates2d_reflection

inline constexpr InterfaceInfo ExactPredicates2DInterfaceInfo{{exactpredicates2d_reflection::slots, 7}};

// Exact orientation, in-circle, in-triangle and in-sector tests and exact tests whether closed outlines
// touch or cross, reached through the registered implementation. Every answer is exact for all finite
// coordinates, from the smallest subnormal to the largest double, mixed in one call. A coordinate that
// is not finite has no exact answer: Orient and InCircle return NaN, the others fail with an
// IllegalArgumentError.
//
// Without a registered implementation there is no answer to give: the fallible tests return an
// IllegalStateError that names the missing interface, and Orient and InCircle, which cannot report an
// error, return NaN, whose sign tests are all false.
class ExactPredicates2DInterface {
 public:
  // > 0 when pointA, pointB, pointC turn counter-clockwise, < 0 clockwise, 0 exactly when collinear;
  // NaN when a coordinate is not finite.
  static Float Orient(const Vector2d& pointA, const Vector2d& pointB, const Vector2d& pointC) {
    const ExactPredicates2DSlots* slots = Slots();
    if (slots == nullptr) return std::numeric_limits<Float>::quiet_NaN();
    return slots->Orient(pointA, pointB, pointC);
  }

  // > 0 when testPoint lies inside the circle through the counter-clockwise pointA, pointB, pointC
  // (reversed for clockwise), 0 exactly when the four are cocircular; NaN when a coordinate is not
  // finite.
  static Float InCircle(const Vector2d& pointA, const Vector2d& pointB, const Vector2d& pointC,
                        const Vector2d& testPoint) {
    const ExactPredicates2DSlots* slots = Slots();
    if (slots == nullptr) return std::numeric_limits<Float>::quiet_NaN();
    return slots->InCircle(pointA, pointB, pointC, testPoint);
  }

  // 1.0 strictly inside the counter-clockwise triangle, 0.0 on its boundary, -1.0 outside; fails with
  // IllegalArgumentError "InTriangle: Point has a non-finite coordinate." when a coordinate is not
  // finite, and with an IllegalArgumentError without message when two vertices are equal.
  static Result<Float> InTriangle(const Vector2d& pointA, const Vector2d& pointB, const Vector2d& pointC,
                                  const Vector2d& testPoint) {
    const ExactPredicates2DSlots* slots = Slots();
    if (slots == nullptr) return NotImplemented(__func__);
    return slots->InTriangle(pointA, pointB, pointC, testPoint);
  }

  // 1.0 strictly inside the sector swept counter-clockwise from center->rayA to center->rayB, 0.0 on
  // one of its rays, -1.0 outside; fails with IllegalArgumentError "InSector: Point has a non-finite
  // coordinate." when a coordinate is not finite, and with an IllegalArgumentError without message
  // unless the sector is strictly convex.
  static Result<Float> InSector(const Vector2d& center, const Vector2d& rayA, const Vector2d& rayB,
                                const Vector2d& testPoint) {
    const ExactPredicates2DSlots* slots = Slots();
    if (slots == nullptr) return NotImplemented(__func__);
    return slots->InSector(center, rayA, rayB, testPoint);
  }

  // True when the closed outline touches or crosses itself anywhere except at the shared vertex of
  // consecutive edges. Fails with IllegalArgumentError "Init: Input outline has a non-finite
  // coordinate." when a coordinate is not finite (the outline tests report on behalf of Init, also for
  // "Init: Input outline has less than 3 points.").
  static Result<Bool> OutlineSelfIntersectionTest(Block<const Vector2d> outline) {
    const ExactPredicates2DSlots* slots = Slots();
    if (slots == nullptr) return NotImplemented(__func__);
    return slots->OutlineSelfIntersectionTest(outline);
  }

  // True when any edges of the two closed outlines, each outline's own edges included, touch or cross.
  static Result<Bool> OutlinesIntersectionTest(Block<const Vector2d> outline1, Block<const Vector2d> outline2) {
    const ExactPredicates2DSlots* slots = Slots();
    if (slots == nullptr) return NotImplemented(__func__);
    return slots->OutlinesIntersectionTestPair(outline1, outline2);
  }

  // The same question for any number of closed outlines ("Init: No input outlines." for none).
  static Result<Bool> OutlinesIntersectionTest(Block<const Block<const Vector2d>> outlines) {
    const ExactPredicates2DSlots* slots = Slots();
    if (slots == nullptr) return NotImplemented(__func__);
    return slots->OutlinesIntersectionTestSet(outlines);
  }

 private:
  static const ExactPredicates2DSlots* Slots() {
    return ResolveSlots<ExactPredicates2DSlots>(ExactPredicates2DInterfaceId);
  }

  static Error NotImplemented(const char* operation) {
    return ZEMOX_ERROR_IN(operation, IllegalStateError, "@: Interface @ is not implemented.",
                          ExactPredicates2DInterfaceId);
  }
};

}  // namespace zemox
