// No-fit and inner-fit polygons for 2D packing: the convex no-fit polygon from merged edge vectors,
// and the no-fit and inner-fit polygons of general loops traced by orbiting one loop around the other.

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>
#include <utility>

#include "geometryutils_impl.h"
#include "portability.h"

namespace zemox {
namespace {

// Orbit positions (scene units): a move of 1e-6 or less adds no point, and a position within 1e-3 of
// an earlier one closes the loop there.
constexpr Float negligibleMoveSq = 1e-12;
constexpr Float closingDistanceSq = 1e-6;
// Contact finding: parameters along the move and along the hit edge snap to their ends within 1e-5;
// a move whose cross product with an edge is at most 1e-5 runs parallel to it and cannot hit it.
constexpr Float parameterTolerance = 1e-5;
constexpr Float parallelTolerance = 1e-5;
constexpr Float samePlaceSq = 1e-10;
constexpr Float edgeEndSq = 1e-12;

Int Next(Int index, Int count) { return index + 1 == count ? 0 : index + 1; }
Int Previous(Int index, Int count) { return index == 0 ? count - 1 : index - 1; }
Float DistanceSq(const Vector2d& a, const Vector2d& b) { return Dot(a - b, a - b); }

Float DistanceToSegmentSq(const Vector2d& point, const Vector2d& p, const Vector2d& q) {
  const Vector2d edge = q - p;
  const Float lengthSq = Dot(edge, edge);
  const Float along = lengthSq > 0.0 ? std::clamp(Dot(point - p, edge) / lengthSq, 0.0, 1.0) : 0.0;
  return DistanceSq(point, p + edge * along);
}

// The turn from `from` to `to`, counter-clockwise, in (0, 2 pi]: turning back onto `from` is a full turn.
Float CounterClockwiseTurn(const Vector2d& from, const Vector2d& to) {
  const Float angle = std::atan2(Cross(from, to), Dot(from, to));
  return angle > 0.0 ? angle : angle + 2.0 * std::numbers::pi;
}

struct Box2D {
  Vector2d min{DBL_MAX, DBL_MAX};
  Vector2d max{-DBL_MAX, -DBL_MAX};
};

Box2D BoxOf(Block<const Vector2d> loop) {
  Box2D box;
  for (const Vector2d& point : loop) {
    box.min = {std::min(box.min.x, point.x), std::min(box.min.y, point.y)};
    box.max = {std::max(box.max.x, point.x), std::max(box.max.y, point.y)};
  }
  return box;
}

Int LowestVertex(Block<const Vector2d> loop) {
  Int minIdxX = -1, maxIdxX = -1, minIdxY = -1, maxIdxY = -1;
  GeometryUtilsImpl::CalculateBoundingBoxIndices(loop, minIdxX, maxIdxX, minIdxY, maxIdxY, true);
  return minIdxY;
}

Int HighestVertex(Block<const Vector2d> loop) {
  Int minIdxX = -1, maxIdxX = -1, minIdxY = -1, maxIdxY = -1;
  GeometryUtilsImpl::CalculateBoundingBoxIndices(loop, minIdxX, maxIdxX, minIdxY, maxIdxY, true);
  return maxIdxY;
}

// The first contact of a no-fit polygon: B's highest vertex on A's lowest, B below A.
struct StartContact {
  Int a = -1;
  Int b = -1;
};

Result<StartContact> FindStartContact(Block<const Vector2d> a, Block<const Vector2d> b) {
  const StartContact start{LowestVertex(a), HighestVertex(b)};
  if (start.a < 0 || start.b < 0) return ZEMOX_ERROR(IllegalStateError, "Invalid starting indices");
  return start;
}

// The last vertex of the horizontal run that `start` begins. A loop whose points all share one y has
// no last one: after a full turn there is no start vertex.
Result<Int> EndOfHorizontalRun(Block<const Vector2d> loop, Int start) {
  const Int n = loop.GetCount();
  Int index = start;
  for (Int step = 0; step < n; ++step) {
    const Int next = Next(index, n);
    if (loop[next].y != loop[index].y) return index;
    index = next;
  }
  return ZEMOX_ERROR(IllegalStateError, "Invalid starting indices");
}

Result<BaseArray<Vector2d>> TransformedCopy(Block<const Vector2d> loop, const Matrix2d& transform) {
  BaseArray<Vector2d> copy;
  ZEMOX_TRY(copy.EnsureCapacity(loop.GetCount()));
  for (const Vector2d& point : loop) ZEMOX_TRY(copy.Append(transform.Transform(point)));
  return copy;
}

void ReflectThroughOrigin(BaseArray<Vector2d>& loop) {
  for (Vector2d& point : loop) point = point * -1.0;
}

// An edge vector of the merge with its direction angle in [0, 2 pi).
struct EdgeRecord {
  Float angle = 0.0;
  Vector2d vector;
};

EdgeRecord MakeEdgeRecord(const Vector2d& vector) {
  const Float angle = std::atan2(vector.y, vector.x);
  return {angle < 0.0 ? angle + 2.0 * std::numbers::pi : angle, vector};
}

// The first place where a vertex of the moving loop meets an edge of the fixed one, and what is left
// of that edge beyond it.
struct RayStop {
  Bool found = false;
  Float distanceSq = 0.0;
  Int vertex = -1;
  Int edge = -1;
  Vector2d trimmed;
  Vector2d rest;
};

// One move of the orbit cut short at the first contact. A contact puts a vertex of one loop on an
// edge of the other; the orbit goes on along that edge's rest.
struct TrimmedMove {
  Vector2d position;
  Bool hasContact = false;
  // (A's edge, B's vertex) or, when alongB, (A's vertex, B's edge).
  Int a = -1;
  Int b = -1;
  Bool alongB = false;
  // B's move that takes the contact to the end of the hit edge.
  Vector2d nextTranslation;
};

// Where an orbit may be: the contact (vertex pairs, or the vertex and edge of a pending slide), the
// slide under way and the position. Equal states lead to equal futures.
struct OrbitState {
  Int a = -1;
  Int b = -1;
  Bool hasContact = false;
  Bool alongB = false;
  Vector2d translation;
  Vector2d position;

  friend bool operator==(const OrbitState&, const OrbitState&) = default;
};

// A repeated orbit state means the orbit turns in a cycle that will not reach its start contact.
// Brent's method finds the repetition in constant memory: the saved state moves to the current one
// after 1, 2, 4, ... steps, so a cycle is caught within about twice its length after it begins.
class RepeatDetector {
 public:
  // The length of the cycle that `state` closes, 0 while none has closed.
  Int CycleLength(const OrbitState& state) {
    if (hasSaved_ && state == saved_) return stepsSinceSave_;
    if (!hasSaved_ || stepsSinceSave_ == period_) {
      saved_ = state;
      hasSaved_ = true;
      period_ *= 2;
      stepsSinceSave_ = 0;
    }
    ++stepsSinceSave_;
    return 0;
  }

 private:
  OrbitState saved_;
  Bool hasSaved_ = false;
  Int period_ = 1;
  Int stepsSinceSave_ = 0;
};

enum class OrbitEnd { CLOSED, STOPPED };

// Where a loop's outline passes a point: the edges into and out of it, both the same edge inside one.
struct Corner {
  Vector2d in;
  Vector2d out;
};

// A's corner and B's corner at the same point.
struct Contact {
  Corner a;
  Corner b;
};

// A slide a contact offers: the contact (A index, B index), whether it runs along B's edge, and B's move.
struct Slide {
  Int a = -1;
  Int b = -1;
  Bool alongB = false;
  Vector2d translation;
};

// Directions within this share of their lengths' product of each other's line count as along it: slides
// run along edges, and rounding alone should not turn them into or out of a loop.
constexpr Float straightShare = 1e-9;

Int TurnSign(const Vector2d& from, const Vector2d& to) {
  const Float cross = Cross(from, to), bound = straightShare * std::sqrt(Dot(from, from) * Dot(to, to));
  return cross > bound ? 1 : cross < -bound ? -1 : 0;
}

// The material of an orbited loop lies right of its edges (outside a counter-clockwise container):
// at a corner that turns right, right of both edges; at one that turns left, right of either.
Bool PointsIntoMaterial(const Corner& corner, const Vector2d& direction) {
  const Bool rightOfIn = TurnSign(corner.in, direction) < 0, rightOfOut = TurnSign(corner.out, direction) < 0;
  const Int turn = TurnSign(corner.in, corner.out);
  if (turn < 0) return rightOfIn && rightOfOut;
  if (turn > 0) return rightOfIn || rightOfOut;
  return rightOfOut;
}

// Strictly inside the angle from x to y that is less than a half turn.
Bool StrictlyBetween(const Vector2d& direction, const Vector2d& x, const Vector2d& y) {
  const Int turn = TurnSign(x, y);
  return turn != 0 && TurnSign(x, direction) == turn && TurnSign(direction, y) == turn;
}

// B's corner stays apart from A's when B moves a little along `direction`: neither point moves into the
// other loop's material, and no side of one crosses a side of the other (a side from A's point along
// sideA meets one from B's moved point along sideB exactly when the move lies between sideA and -sideB).
Bool KeepsApart(const Corner& a, const Corner& b, const Vector2d& direction) {
  if (PointsIntoMaterial(a, direction) || PointsIntoMaterial(b, direction * -1.0)) return false;
  for (const Vector2d& sideA : {a.in * -1.0, a.out})
    for (const Vector2d& sideB : {b.in * -1.0, b.out})
      if (StrictlyBetween(direction, sideA, sideB * -1.0)) return false;
  return true;
}

// B (clockwise) orbits around A, or inside A when A runs counter-clockwise, keeping contact: each move
// slides a contact vertex along an edge, cut short where another vertex meets another edge.
class Orbit {
 public:
  Orbit(Block<const Vector2d> a, Block<const Vector2d> b) : a_(a), b_(b) {}

  // B placed at `position` moves by `translation`; `contactA` or `contactB` (the other -1) is the
  // vertex already touching, which slides and is not tested again. Stops nearer than sqrt(judgedSq)
  // are contacts whose side the caller has already judged, and do not stop the move.
  TrimmedMove Trim(const Vector2d& position, const Vector2d& translation, Int contactA, Int contactB,
                   Float judgedSq = -1.0) const {
    const RayStop ofB = FirstStop(b_, position, a_, {}, translation, contactB, judgedSq);
    const RayStop ofA = FirstStop(a_, {}, b_, position, translation * -1.0, contactA, judgedSq);
    if (!ofB.found && !ofA.found) return {position + translation};
    if (ofB.found && (!ofA.found || ofB.distanceSq < ofA.distanceSq))
      return {position + ofB.trimmed, true, ofB.edge, ofB.vertex, false, ofB.rest};
    // A's vertex moved against B's motion: B moves by the opposite.
    return {position - ofA.trimmed, true, ofA.vertex, ofA.edge, true, ofA.rest * -1.0};
  }

  // Appends the orbit's positions to `output`, which holds the start position, beginning at the
  // vertex contact (a, b). With closeNearStart the orbit also closes at a position near the start.
  Result<OrbitEnd> Run(Int a, Int b, Int iterationLimit, Bool closeNearStart, BaseArray<Vector2d>& output) const {
    const Int nA = a_.GetCount(), nB = b_.GetCount();
    OrbitState state{a, b, false, false, {}, output.GetLast()};
    RepeatDetector repeats;
    Int lastMoved = -1;
    for (Int iteration = 0; iteration < iterationLimit; ++iteration) {
      TrimmedMove move;
      const Int cycle = repeats.CycleLength(state);
      if (cycle > 0) {
        // A cycle that moved B will not reach the start contact however long it runs. One that kept B
        // in one place is held there by a second contact, and a slide offered by another contact may
        // free it.
        if (lastMoved >= iteration - cycle) return OrbitEnd::STOPPED;
        const Bool freed = ZEMOX_TRY(FreeSlide(output, state, move));
        if (!freed) return OrbitEnd::STOPPED;
        repeats = RepeatDetector();
      } else {
        if (!state.hasContact) {
          // The slide along the edge used last has reached its end: the contact moves to its end vertex.
          if (iteration > 0) {
            if (state.alongB)
              state.b = Next(state.b, nB);
            else
              state.a = Next(state.a, nA);
            if (state.a == a && state.b == b) return OrbitEnd::CLOSED;
          }
          const Vector2d edgeA = a_[Next(state.a, nA)] - a_[state.a];
          const Vector2d edgeB = b_[state.b] - b_[Next(state.b, nB)];
          // Of the two directions leaving the contact, the one further counter-clockwise keeps B outside
          // A (inside a counter-clockwise container); along the other B would cut into A.
          state.alongB = GeometryUtilsImpl::GetAngle2D(edgeA, edgeB) < 0.0;
          state.translation = state.alongB ? edgeB : edgeA;
        }
        move = Trim(output.GetLast(), state.translation, state.alongB ? state.a : -1, state.alongB ? -1 : state.b);
      }
      state.hasContact = move.hasContact;
      if (move.hasContact) {
        state.a = move.a;
        state.b = move.b;
        state.alongB = move.alongB;
        state.translation = move.nextTranslation;
      }
      if (DistanceSq(move.position, output.GetLast()) > negligibleMoveSq) {
        ZEMOX_TRY(output.Append(move.position));
        lastMoved = iteration;
        if (closeNearStart && DistanceSq(move.position, output[0]) < closingDistanceSq) return OrbitEnd::CLOSED;
      }
      state.position = output.GetLast();
    }
    return OrbitEnd::STOPPED;
  }

 private:
  // Every contact at the orbit's position offers a slide to the end of an edge: a vertex of B along an
  // edge of A, or a vertex of A along an edge of B (B moving the other way). Those that keep B apart
  // from A at every contact and move it at all are free; of these the orbit takes the one that turns
  // least, counter-clockwise, from the way back along its last move, so that it goes on along the
  // boundary of the touching positions with their inside on its right. The move comes back in `move`,
  // the slide's contact in `state`; false when no slide is free.
  Result<Bool> FreeSlide(const BaseArray<Vector2d>& output, OrbitState& state, TrimmedMove& move) const {
    const Vector2d position = output.GetLast();
    BaseArray<Contact> contacts;
    BaseArray<Slide> slides;
    ZEMOX_TRY(FindContacts(position, contacts, slides));
    // The orbit starts at the lowest touching position, which it reaches moving left.
    const Vector2d back = output.GetCount() > 1 ? output[output.GetCount() - 2] - position : Vector2d{1.0, 0.0};
    Bool found = false;
    Float leastTurn = 0.0;
    for (const Slide& slide : slides) {
      const Bool apart = std::all_of(contacts.begin(), contacts.end(), [&](const Contact& contact) {
        return KeepsApart(contact.a, contact.b, slide.translation);
      });
      const Float turn = CounterClockwiseTurn(back, slide.translation);
      if (!apart || (found && !(turn < leastTurn))) continue;
      const TrimmedMove candidate = Trim(position, slide.translation, -1, -1, samePlaceSq);
      if (DistanceSq(candidate.position, position) <= negligibleMoveSq) continue;
      found = true;
      leastTurn = turn;
      move = candidate;
      state.a = slide.a;
      state.b = slide.b;
      state.alongB = slide.alongB;
    }
    return found;
  }

  // The contacts of B placed at `position` with A, and the slides they offer.
  Result<void> FindContacts(const Vector2d& position, BaseArray<Contact>& contacts, BaseArray<Slide>& slides) const {
    const Int nA = a_.GetCount(), nB = b_.GetCount();
    const auto cornerOf = [](Block<const Vector2d> loop, Int vertex) -> Corner {
      const Int n = loop.GetCount();
      return {loop[vertex] - loop[Previous(vertex, n)], loop[Next(vertex, n)] - loop[vertex]};
    };
    for (Int i = 0; i < nA; ++i) {
      const Vector2d edgeA = a_[Next(i, nA)] - a_[i];
      for (Int j = 0; j < nB; ++j) {
        const Vector2d vertexB = b_[j] + position, nextB = b_[Next(j, nB)] + position;
        const Slide alongA{i, j, false, a_[Next(i, nA)] - vertexB}, alongB{i, j, true, a_[i] - nextB};
        if (DistanceSq(vertexB, a_[i]) < samePlaceSq) {
          ZEMOX_TRY(contacts.Append({cornerOf(a_, i), cornerOf(b_, j)}));
          ZEMOX_TRY(slides.Append(alongA));
          ZEMOX_TRY(slides.Append(alongB));
          continue;
        }
        if (DistanceToSegmentSq(vertexB, a_[i], a_[Next(i, nA)]) < samePlaceSq &&
            DistanceSq(vertexB, a_[Next(i, nA)]) >= samePlaceSq) {
          ZEMOX_TRY(contacts.Append({{edgeA, edgeA}, cornerOf(b_, j)}));
          ZEMOX_TRY(slides.Append(alongA));
        }
        if (DistanceToSegmentSq(a_[i], vertexB, nextB) < samePlaceSq && DistanceSq(a_[i], nextB) >= samePlaceSq) {
          ZEMOX_TRY(contacts.Append({cornerOf(a_, i), {nextB - vertexB, nextB - vertexB}}));
          ZEMOX_TRY(slides.Append(alongB));
        }
      }
    }
    return OK();
  }

  // An edge leads a move along `direction` when the direction points to its left, the outer side of a
  // clockwise loop's edge; the edges that face a move are those that lead the opposite move.
  static Bool Leads(Block<const Vector2d> loop, Int edge, const Vector2d& direction) {
    return Cross(loop[Next(edge, loop.GetCount())] - loop[edge], direction) > 0.0;
  }

  // Vertices of `moving` (placed at movingOffset) that end a leading edge run along `direction` into
  // the edges of `fixed` (placed at fixedOffset) that face them; the nearest stop wins, the first
  // of equally near ones.
  static RayStop FirstStop(Block<const Vector2d> moving, const Vector2d& movingOffset, Block<const Vector2d> fixed,
                           const Vector2d& fixedOffset, const Vector2d& direction, Int contactVertex, Float judgedSq) {
    const Int nMoving = moving.GetCount(), nFixed = fixed.GetCount();
    RayStop best;
    const auto testVertex = [&](Int vertex) {
      if (vertex == contactVertex) return;
      for (Int edge = 0; edge < nFixed; ++edge) {
        if (!Leads(fixed, edge, direction * -1.0)) continue;
        TestRay(moving[vertex] + movingOffset, direction, fixed[edge] + fixedOffset,
                fixed[Next(edge, nFixed)] + fixedOffset, vertex, edge, judgedSq, best);
      }
    };
    // Each vertex of a leading edge once, in the order the edges bring them up.
    for (Int vertex = 0; vertex < nMoving; ++vertex)
      if (Leads(moving, vertex, direction) || (vertex > 0 && Leads(moving, vertex - 1, direction))) testVertex(vertex);
    if (!Leads(moving, 0, direction) && Leads(moving, nMoving - 1, direction)) testVertex(0);
    return best;
  }

  // The vertex moving from v by `direction` against the edge p-q.
  static void TestRay(const Vector2d& v, const Vector2d& direction, const Vector2d& p, const Vector2d& q, Int vertex,
                      Int edge, Float judgedSq, RayStop& best) {
    const Vector2d end = v + direction;
    // Sliding along this very edge is no contact.
    if (DistanceSq(v, p) < samePlaceSq && DistanceSq(end, q) < samePlaceSq) return;
    const Vector2d edgeVector = q - p;
    const Float den = Cross(direction, edgeVector);
    if (std::fabs(den) <= parallelTolerance) return;
    const Vector2d w = p - v;
    const Float s = Cross(w, edgeVector) / den, u = Cross(w, direction) / den;
    const auto inRange = [](Float value) { return value >= -parameterTolerance && value <= 1.0 + parameterTolerance; };
    if (!inRange(s) || !inRange(u)) return;
    Vector2d stop = v + direction * s;
    if (u < parameterTolerance)
      stop = p;
    else if (u > 1.0 - parameterTolerance)
      stop = q;
    else if (s < parameterTolerance)
      stop = v;
    else if (s > 1.0 - parameterTolerance)
      stop = end;
    // Reaching the edge's end is a vertex contact, which the next slide starts from.
    if (DistanceSq(stop, q) < edgeEndSq) return;
    const Float distanceSq = DistanceSq(stop, v);
    if (distanceSq < judgedSq || (best.found && !(distanceSq < best.distanceSq))) return;
    best = {true, distanceSq, vertex, edge, stop - v, q - stop};
  }

  Block<const Vector2d> a_;
  Block<const Vector2d> b_;
};

// An orbit that did not come back to its start contact is closed where it last came back near a
// position it had passed: the output keeps that lap. False when it never came back.
Bool KeepLastLap(BaseArray<Vector2d>& output) {
  const Int last = output.GetCount() - 1;
  for (Int k = last - 1; k >= 0; --k) {
    if (DistanceSq(output[k], output[last]) >= closingDistanceSq) continue;
    std::rotate(output.begin(), output.begin() + k, output.end());
    for (Int i = 0; i < k; ++i) output.Pop();
    return true;
  }
  return false;
}

// The orbit's last position repeats its first when it closed near it. An inner fit closes at its
// start contact instead, while its first position is where B first touched the container, usually in
// the middle of an edge: the last position is then a genuine corner, and dropping it would cut that
// corner off the result (a part in a rectangular sheet lost one corner of its rectangle of positions).
void DropRepeatedStart(BaseArray<Vector2d>& output) {
  if (output.GetCount() > 1 && DistanceSq(output.GetLast(), output[0]) < closingDistanceSq) output.Pop();
}

// The box of all positions at which B can touch A, for an orbit that never closes: from min A - max B
// to max A - min B. (The sum of the two boxes would be the box of A + B, which leaves out the touching
// positions below and left of A whenever B extends above or right of its origin.)
Result<BaseArray<Vector2d>> TouchingPositionsBox(Block<const Vector2d> a, Block<const Vector2d> b, Bool relativeBToA) {
  const Box2D boxA = BoxOf(a), boxB = BoxOf(b);
  const Vector2d low = relativeBToA ? boxA.min - boxB.max : boxB.min - boxA.max;
  const Vector2d high = relativeBToA ? boxA.max - boxB.min : boxB.max - boxA.min;
  BaseArray<Vector2d> box;
  ZEMOX_TRY(box.EnsureCapacity(4));
  for (const Vector2d& corner : {low, Vector2d{low.x, high.y}, high, Vector2d{high.x, low.y}})
    ZEMOX_TRY(box.Append(corner));
  return box;
}

// Every point of B moved by `offset` lies inside A.
Bool FitsInside(Block<const Vector2d> container, Block<const Vector2d> part, const Vector2d& offset) {
  for (const Vector2d& point : part)
    if (!GeometryUtilsImpl::PointInOutlineRobust2D(point + offset, container)) return false;
  return true;
}

}  // namespace

Result<BaseArray<Vector2d>> GeometryUtilsImpl::CalculateNoFitPolygonForConvex(Block<const Vector2d> outlinePointsA,
                                                                              Block<const Vector2d> outlinePointsB,
                                                                              Bool relativeBToA) {
  const Int nA = outlinePointsA.GetCount(), nB = outlinePointsB.GetCount();
  if (nA < 3 || nB < 3) return ZEMOX_ERROR(IllegalArgumentError);
  const StartContact lowAndHigh = ZEMOX_TRY(FindStartContact(outlinePointsA, outlinePointsB));
  // The chain starts at the leftmost point of the result's bottom run, so that the edges, taken
  // clockwise from the direction pointing left, close the loop.
  const Int a = ZEMOX_TRY(EndOfHorizontalRun(outlinePointsA, lowAndHigh.a));
  const Int b = ZEMOX_TRY(EndOfHorizontalRun(outlinePointsB, lowAndHigh.b));
  BaseArray<EdgeRecord> edges;
  ZEMOX_TRY(edges.EnsureCapacity(nA + nB));
  for (Int i = 0; i < nA; ++i)
    ZEMOX_TRY(edges.Append(MakeEdgeRecord(outlinePointsA[Previous(i, nA)] - outlinePointsA[i])));
  for (Int i = 0; i < nB; ++i)
    ZEMOX_TRY(edges.Append(MakeEdgeRecord(outlinePointsB[i] - outlinePointsB[Previous(i, nB)])));
  std::sort(edges.begin(), edges.end(),
            [](const EdgeRecord& left, const EdgeRecord& right) { return left.angle < right.angle; });
  BaseArray<Vector2d> output;
  ZEMOX_TRY(output.EnsureCapacity(nA + nB + 1));
  Vector2d point = relativeBToA ? outlinePointsA[a] - outlinePointsB[b] : outlinePointsB[b] - outlinePointsA[a];
  ZEMOX_TRY(output.Append(point));
  for (Int k = edges.GetCount() - 1; k >= 0; --k) {
    point = relativeBToA ? point - edges[k].vector : point + edges[k].vector;
    ZEMOX_TRY(output.Append(point));
  }
  ZEMOX_TRY(CleanLoop2DInPlace(output, true));
  return output;
}

Result<BaseArray<Vector2d>> GeometryUtilsImpl::CalculateNoFitPolygonForConvex(Block<const Vector2d> outlinePointsA,
                                                                              Block<const Vector2d> outlinePointsB,
                                                                              const Matrix2d& transformA,
                                                                              const Matrix2d& transformB,
                                                                              Bool relativeBToA) {
  const BaseArray<Vector2d> a = ZEMOX_TRY(TransformedCopy(outlinePointsA, transformA));
  const BaseArray<Vector2d> b = ZEMOX_TRY(TransformedCopy(outlinePointsB, transformB));
  return CalculateNoFitPolygonForConvex(a, b, relativeBToA);
}

Result<BaseArray<Vector2d>> GeometryUtilsImpl::CalculateNoFitPolygonUsingSliding(Block<const Vector2d> outlinePointsA,
                                                                                 Block<const Vector2d> outlinePointsB,
                                                                                 Bool relativeBToA) {
  const Int nA = outlinePointsA.GetCount(), nB = outlinePointsB.GetCount();
  if (nA < 3 || nB < 3) return ZEMOX_ERROR(IllegalArgumentError);
  const StartContact start = ZEMOX_TRY(FindStartContact(outlinePointsA, outlinePointsB));
  BaseArray<Vector2d> output;
  ZEMOX_TRY(output.Append(outlinePointsA[start.a] - outlinePointsB[start.b]));
  const Orbit orbit(outlinePointsA, outlinePointsB);
  const OrbitEnd end = ZEMOX_TRY(orbit.Run(start.a, start.b, 2 * nA * nB + 2, false, output));
  if (end == OrbitEnd::STOPPED && !KeepLastLap(output))
    return TouchingPositionsBox(outlinePointsA, outlinePointsB, relativeBToA);
  DropRepeatedStart(output);
  // The positions of A's origin around B are those of B's origin around A, reflected: orbiting A
  // around B instead would start from another contact and trim differently, and need not give the
  // same loop.
  if (!relativeBToA) ReflectThroughOrigin(output);
  ZEMOX_TRY(CleanLoop2DInPlace(output, false));
  return output;
}

Result<BaseArray<Vector2d>> GeometryUtilsImpl::CalculateNoFitPolygonUsingSliding(Block<const Vector2d> outlinePointsA,
                                                                                 Block<const Vector2d> outlinePointsB,
                                                                                 const Matrix2d& transformA,
                                                                                 const Matrix2d& transformB,
                                                                                 Bool relativeBToA) {
  const BaseArray<Vector2d> a = ZEMOX_TRY(TransformedCopy(outlinePointsA, transformA));
  const BaseArray<Vector2d> b = ZEMOX_TRY(TransformedCopy(outlinePointsB, transformB));
  return CalculateNoFitPolygonUsingSliding(a, b, relativeBToA);
}

Result<BaseArray<Vector2d>> GeometryUtilsImpl::CalculateInnerFitPolygonUsingSliding(
    Block<const Vector2d> outlinePointsCcwA, Block<const Vector2d> outlinePointsB) {
  const Int nA = outlinePointsCcwA.GetCount(), nB = outlinePointsB.GetCount();
  if (nA < 3 || nB < 3) return ZEMOX_ERROR(IllegalArgumentError);
  const Int a = LowestVertex(outlinePointsCcwA), b = LowestVertex(outlinePointsB);
  if (a < 0 || b < 0) return ZEMOX_ERROR(IllegalStateError, "Invalid starting indices");
  BaseArray<Vector2d> output;
  const Box2D boxA = BoxOf(outlinePointsCcwA), boxB = BoxOf(outlinePointsB);
  const Vector2d sizeA = boxA.max - boxA.min, sizeB = boxB.max - boxB.min;
  if (sizeA.x < sizeB.x || sizeA.y < sizeB.y) return output;
  // Trial positions: centres of the boxes on each other, then a quarter of the container to each side.
  const Vector2d centred = (boxA.min + boxA.max) * 0.5 - (boxB.min + boxB.max) * 0.5;
  const Vector2d quarterX{sizeA.x / 4.0, 0.0}, quarterY{0.0, sizeA.y / 4.0};
  const Vector2d* start = nullptr;
  const Vector2d trials[] = {centred, centred + quarterX, centred - quarterX, centred + quarterY, centred - quarterY};
  for (const Vector2d& trial : trials) {
    if (!FitsInside(outlinePointsCcwA, outlinePointsB, trial)) continue;
    start = &trial;
    break;
  }
  if (start == nullptr) return output;
  const Orbit orbit(outlinePointsCcwA, outlinePointsB);
  ZEMOX_TRY(output.Append(orbit.Trim(*start, {sizeA.x, 0.0}, -1, -1).position));
  const OrbitEnd end = ZEMOX_TRY(orbit.Run(a, b, 2 * (nA + nB), true, output));
  if (end == OrbitEnd::STOPPED && !KeepLastLap(output)) {
    output.Reset();
    return output;
  }
  DropRepeatedStart(output);
  if (output.GetCount() < 2) {
    output.Reset();
    return output;
  }
  ZEMOX_TRY(CleanLoop2DInPlace(output, false));
  return output;
}

}  // namespace zemox
