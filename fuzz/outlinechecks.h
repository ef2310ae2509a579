#pragma once

#include <algorithm>

#include "fuzzinput.h"
#include "geom/exactpredicates2d.h"

namespace zemox::fuzz {

// Whether segments pq and rs cross at a point inside both, decided with the exact orientation.
inline Bool CrossesProperly(const Vector2d& p, const Vector2d& q, const Vector2d& r, const Vector2d& s) {
  using Predicates = ExactPredicates2DInterface;
  return Sign(Predicates::Orient(p, q, r)) * Sign(Predicates::Orient(p, q, s)) < 0 &&
         Sign(Predicates::Orient(r, s, p)) * Sign(Predicates::Orient(r, s, q)) < 0;
}

// Whether two edges of the closed loop cross each other; touching is allowed.
inline Bool HasProperCrossing(Block<const Vector2d> loop) {
  const Int count = loop.GetCount();
  for (Int first = 0; first < count; ++first) {
    for (Int second = first + 1; second < count; ++second) {
      if (CrossesProperly(loop[first], loop[(first + 1) % count], loop[second], loop[(second + 1) % count])) {
        return true;
      }
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
