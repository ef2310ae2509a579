// Every slot of the exact predicates. Orientation and in-circle signs must follow the permutation of
// their arguments, and the in-triangle answer must agree with the three edge orientations.
#include "fuzzinput.h"
#include "geom/exactpredicates2d.h"

namespace zemox::fuzz {
namespace {

using Predicates = ExactPredicates2DInterface;

void CheckOrient(const Vector2d& a, const Vector2d& b, const Vector2d& c) {
  const Float orient = Predicates::Orient(a, b, c);
  if (!IsFinite(a) || !IsFinite(b) || !IsFinite(c)) return Require(std::isnan(orient), "Orient: NaN for non-finite");
  Require(Sign(orient) == Sign(Predicates::Orient(b, c, a)), "Orient: cyclic rotation keeps the sign");
  Require(Sign(orient) == -Sign(Predicates::Orient(b, a, c)), "Orient: a swap flips the sign");
}

void CheckInCircle(const Vector2d& a, const Vector2d& b, const Vector2d& c, const Vector2d& d) {
  const Float inCircle = Predicates::InCircle(a, b, c, d);
  if (!IsFinite(a) || !IsFinite(b) || !IsFinite(c) || !IsFinite(d)) {
    return Require(std::isnan(inCircle), "InCircle: NaN for non-finite");
  }
  Require(Sign(inCircle) == Sign(Predicates::InCircle(b, c, a, d)), "InCircle: cyclic rotation keeps the sign");
  Require(Sign(inCircle) == -Sign(Predicates::InCircle(b, a, c, d)), "InCircle: a swap flips the sign");
}

void CheckInTriangle(const Vector2d& a, const Vector2d& b, const Vector2d& c, const Vector2d& d) {
  const Result<Float> inTriangle = Predicates::InTriangle(a, b, c, d);
  if (!inTriangle || Predicates::Orient(a, b, c) <= 0.0) return;
  const Int signs[] = {Sign(Predicates::Orient(a, b, d)), Sign(Predicates::Orient(b, c, d)),
                       Sign(Predicates::Orient(c, a, d))};
  Int expected = 1;
  for (Int sign : signs) expected = sign < expected ? sign : expected;
  Require(Sign(inTriangle.Value()) == expected, "InTriangle agrees with the edge orientations");
}

void CheckOutlines(FuzzInput& input) {
  BaseArray<Vector2d> first;
  BaseArray<Vector2d> second;
  if (!input.Outline(first, 12) || !input.Outline(second, 12)) return;
  (void)Predicates::OutlineSelfIntersectionTest(first);
  const Result<Bool> pair = Predicates::OutlinesIntersectionTest(first, second);
  const Block<const Vector2d> outlines[] = {first, second};
  const Result<Bool> many = Predicates::OutlinesIntersectionTest(Block<const Block<const Vector2d>>(outlines, 2));
  Require(pair.IsOk() == many.IsOk(), "two outlines: both forms fail alike");
  if (pair && many) Require(pair.Value() == many.Value(), "two outlines: both forms agree");
}

}  // namespace
}  // namespace zemox::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zemox::fuzz;
  FuzzInput input(data, size);
  const zemox::Vector2d a = input.Point2(), b = input.Point2(), c = input.Point2(), d = input.Point2();
  CheckOrient(a, b, c);
  CheckInCircle(a, b, c, d);
  CheckInTriangle(a, b, c, d);
  (void)Predicates::InSector(a, b, c, d);
  CheckOutlines(input);
  return 0;
}
