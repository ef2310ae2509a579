// The no-fit and inner-fit polygon calls, plain and with transforms. Survival only: the sliding
// variants must end (no hang) and free what they allocate on every path.
#include "fuzzinput.h"
#include "geom/geometrytypes.h"
#include "geom/geometryutils.h"

namespace {

zemox::Matrix2d DecodeTransform(zemox::fuzz::FuzzInput& input) {
  if (input.Flag()) return {};
  return {input.Point2(), input.Point2(), input.Point2()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zemox;
  using Utils = GeometryUtilsInterface;
  fuzz::FuzzInput input(data, size);
  BaseArray<Vector2d> first;
  BaseArray<Vector2d> second;
  if (!input.Outline(first, 8) || !input.Outline(second, 8)) return 0;
  const Bool relativeBToA = input.Flag();
  switch (input.Byte() % 5) {
    case 0:
      (void)Utils::CalculateNoFitPolygonForConvex(first, second, relativeBToA);
      break;
    case 1:
      (void)Utils::CalculateNoFitPolygonUsingSliding(first, second, relativeBToA);
      break;
    case 2:
      (void)Utils::CalculateInnerFitPolygonUsingSliding(first, second);
      break;
    case 3:
      (void)Utils::CalculateNoFitPolygonForConvex(first, second, DecodeTransform(input), DecodeTransform(input),
                                                  relativeBToA);
      break;
    default:
      (void)Utils::CalculateNoFitPolygonUsingSliding(first, second, DecodeTransform(input), DecodeTransform(input),
                                                     relativeBToA);
      break;
  }
  return 0;
}
