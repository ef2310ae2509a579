#pragma once

#include "zemox/types.h"

namespace zemox {

// A segment of the sweep-line status: global indices of its two end points, the lexicographically
// smaller one first.
struct SegmentKey {
  Int start = 0;
  Int end = 0;
};

// Lexicographic point order of the sweeps: x, then y. Once the values differ the answer is LESS when
// the second is greater, GREATER otherwise, so an unordered (NaN) pair counts as GREATER.
inline COMPARERESULT CompareLexicographic(const Vector2d& a, const Vector2d& b) {
  if (a.x != b.x) return b.x > a.x ? COMPARERESULT::LESS : COMPARERESULT::GREATER;
  if (a.y != b.y) return b.y > a.y ? COMPARERESULT::LESS : COMPARERESULT::GREATER;
  return COMPARERESULT::EQUAL;
}

}  // namespace zemox
