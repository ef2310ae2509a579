#pragma once

#include <gmpxx.h>

#include "zemox/types.h"

namespace zemox {

// The sign of the turn a → b → c in exact rational arithmetic on the given doubles: an oracle
// independent of the module's predicates.
inline int ExactOrientation(const Vector2d& a, const Vector2d& b, const Vector2d& c) {
  const mpq_class det =
      (mpq_class(b.x) - a.x) * (mpq_class(c.y) - a.y) - (mpq_class(b.y) - a.y) * (mpq_class(c.x) - a.x);
  return sgn(det);
}

}  // namespace zemox
