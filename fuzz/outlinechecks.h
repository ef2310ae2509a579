#pragma once

#include <algorithm>
#include <cmath>

#include "fuzzinput.h"
#include "geom/exactpredicates2d.h"

namespace zemox::fuzz {

// Shoelace area of the closed loop, positive counter-clockwise.
inline Float SignedArea(Block<const Vector2d> loop) {
  Float twice = 0.0;
  for (Int i = 0; i < loop.GetCount(); ++i) {
    const Vector2d& p = loop[i];
    const Vector2d& q = loop[(i + 1) % loop.GetCount()];
    twice += p.x * q.y - p.y * q.x;
  }
  return twice / 2.0;
}

// Whether segments pq and rs cross at a point inside both, decided with the exact orientation.
inline Bool CrossesProperly(const Vector2d& p, const Vector2d& q, const Vector2d& r, const Vector2d& s) {
  using Predicates = ExactPredicates2DInterface;
  return Sign(Predicates::Orient(p, q, r)) * Sign(Predicates::Orient(p, q, s)) < 0 &&
         Sign(Predicates::Orient(r, s, p)) * Sign(Predicates::Orient(r, s, q)) < 0;
}

// Distance from p to the line through a and b (a != b).
inline Float DistanceToLine(const Vector2d& p, const Vector2d& a, const Vector2d& b) {
  const Vector2d d = b - a;
  return std::fabs(d.x * (p.y - a.y) - d.y * (p.x - a.x)) / std::hypot(d.x, d.y);
}

// A proper crossing with every end farther than `margin` from the other segment's line: a crossing
// that rounding of computed points cannot have made out of a touch.
inline Bool CrossesClearly(const Vector2d& p, const Vector2d& q, const Vector2d& r, const Vector2d& s, Float margin) {
  if (!CrossesProperly(p, q, r, s)) return false;
  return DistanceToLine(p, r, s) > margin && DistanceToLine(q, r, s) > margin && DistanceToLine(r, p, q) > margin &&
         DistanceToLine(s, p, q) > margin;
}

// Whether two edges of the closed loop cross each other; touching is allowed. With a positive margin
// only clear crossings count.
inline Bool HasProperCrossing(Block<const Vector2d> loop, Float margin = 0.0) {
  const Int count = loop.GetCount();
  for (Int first = 0; first < count; ++first) {
    for (Int second = first + 1; second < count; ++second) {
      const Vector2d &p = loop[first], &q = loop[(first + 1) % count];
      const Vector2d &r = loop[second], &s = loop[(second + 1) % count];
      if (margin > 0.0 ? CrossesClearly(p, q, r, s, margin) : CrossesProperly(p, q, r, s)) return true;
    }
  }
  return false;
}

// Whether a vertex of the closed loop repeats another or lies on an edge it does not belong to:
// then edges overlap or meet at a vertex, and a result built from jittered coordinates may resolve
// the contact either way.
inline Bool HasVertexContact(Block<const Vector2d> loop) {
  const Int count = loop.GetCount();
  for (Int vertex = 0; vertex < count; ++vertex) {
    const Vector2d& point = loop[vertex];
    for (Int edge = 0; edge < count; ++edge) {
      const Vector2d& a = loop[edge];
      const Vector2d& b = loop[(edge + 1) % count];
      if (edge == vertex || (edge + 1) % count == vertex) {
        if (edge != vertex && a == point) return true;
        continue;
      }
      const Bool withinBox = std::min(a.x, b.x) <= point.x && point.x <= std::max(a.x, b.x) &&
                             std::min(a.y, b.y) <= point.y && point.y <= std::max(a.y, b.y);
      if (withinBox && ExactPredicates2DInterface::Orient(a, b, point) == 0.0) return true;
    }
  }
  return false;
}

}  // namespace zemox::fuzz
