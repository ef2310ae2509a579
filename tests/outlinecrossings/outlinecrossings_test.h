#pragma once

#include <random>
#include <vector>

#include "common/loops2d.h"
#include "outlinesintersections2d.h"
#include "zemox/basearray.h"

namespace zemox {

using Outline = std::vector<Vector2d>;

// Random points in a 1000-unit square joined in random order: an outline that crosses itself about
// count²/10 times, in general position.
Outline RandomCrossingOutline(Int count, unsigned seed);

// The crossings of a set of outlines as the sweep reports them.
struct SweepResult {
  BaseArray<Vector2d> points;
  BaseArray<IndexPair> segments;
  BaseArray<IndexPair> outlines;
};
Result<void> Sweep(const std::vector<Outline>& outlines, SweepResult& result);

}  // namespace zemox
