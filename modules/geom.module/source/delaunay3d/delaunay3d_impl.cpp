#include "delaunay3d/delaunay3d_impl.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "zemox/jobs.h"

namespace zemox {
namespace {

Bool IsFinite(const Vector& point) {
  return std::isfinite(point.x) && std::isfinite(point.y) && std::isfinite(point.z);
}

Bool IsEmpty(const Box3D& box) { return !(box.max.x >= box.min.x && box.max.y >= box.min.y && box.max.z >= box.min.z); }

void Grow(Box3D& box, const Vector& point) {
  if (point.x < box.min.x) box.min.x = point.x;
  if (point.y < box.min.y) box.min.y = point.y;
  if (point.z < box.min.z) box.min.z = point.z;
  if (point.x > box.max.x) box.max.x = point.x;
  if (point.y > box.max.y) box.max.y = point.y;
  if (point.z > box.max.z) box.max.z = point.z;
}

// The predicates are exact only while every product they form is a finite double. The in-sphere
// test multiplies five coordinates or coordinate differences, and its exact stages split such
// products once more (by 2^27) and add some dozens of them. Every point lies inside the enclosing
// tetrahedron, so corners within this magnitude bound every coordinate by it and every difference
// by twice it: the largest term stays near 2^(5 * 191 + 27 + 8), inside the double range.
constexpr Float maxPredicateMagnitude = 0x1p190;

Bool WithinPredicateRange(const Vector (&corners)[4]) {
  for (const Vector& corner : corners) {
    // Written so that NaN fails too.
    if (!(std::fabs(corner.x) <= maxPredicateMagnitude && std::fabs(corner.y) <= maxPredicateMagnitude &&
          std::fabs(corner.z) <= maxPredicateMagnitude))
      return false;
  }
  return true;
}

Result<void> CheckPredicateRange(const Vector (&corners)[4], const char* operation) {
  if (WithinPredicateRange(corners)) return OK();
  return ZEMOX_ERROR_IN(operation, IllegalArgumentError,
                        "@: The enclosing tetrahedron would reach beyond @, the coordinate range in which the "
                        "predicates are exact.",
                        maxPredicateMagnitude);
}

// Tetrahedron indices are 32-bit and storage is reserved at 12 tetrahedra per point, which bounds
// the number of points one object can hold.
constexpr Int maxPointCount = INT32_MAX / 12;

// A point within sqrt(vertexEpsilonSq), about 3.2e-4, of a vertex coincides with it. The corners lie
// at least about 2.3 r from every point of a box of half-diagonal r, so from this radius on no point
// of the box can coincide with a corner.
constexpr Float smallestEnclosedRadius = 1e-3;

}  // namespace

Result<void> Delaunay3DImpl::CheckReady(const char* operation) const {
  if (!initialized_)
    return ZEMOX_ERROR_IN(operation, IllegalStateError,
                          "@: The tetrahedralization is not initialized; call Init first.");
  if (tetrahedronCount_ == 0 || points_.GetCount() < 4)
    return ZEMOX_ERROR_IN(operation, IllegalStateError,
                          "@: The tetrahedralization was flushed; call Reset or Init before using it again.");
  return OK();
}

// Points 0 to 3 become the enclosing corners (placed by the next add) and tetrahedron 0 spans them.
Result<void> Delaunay3DImpl::BuildBaseState() {
  tetrahedrons_.Flush();
  tetrahedronCount_ = 0;
  ZEMOX_TRY(tetrahedrons_.EnsureCapacity(16));
  ZEMOX_TRY(points_.EnsureCapacity(points_.GetCount() + 4));
  ZEMOX_TRY(pointToTet_.EnsureCapacity(4));
  ZEMOX_TRY(tetrahedrons_.Resize(1));
  for (Int i = 0; i < 4; ++i) static_cast<void>(points_.Append(Vector{}));
  tetrahedrons_[0] = Tetrahedron(0, 1, 2, 3, -1, -1, -1, -1);
  tetrahedronCount_ = 1;
  pointToTet_.Reset();
  for (Int i = 0; i < 4; ++i) static_cast<void>(pointToTet_.Append(0));
  PrepareContext();
  return OK();
}

// The in-sphere static filter bounds the error of a determinant of coordinate differences, so it
// takes the largest difference on each axis: the extents of the corners, which enclose every point.
// A corner box that is empty on some axis only arises from non-finite corners and gives zero filters.
void Delaunay3DImpl::PrepareContext() {
  Box3D corners;
  for (Int i = 0; i < 4 && i < points_.GetCount(); ++i) Grow(corners, points_[i]);
  const Vector extents = IsEmpty(corners) ? Vector{} : corners.max - corners.min;
  exactinit(context_, 0, 0, extents.x, extents.y, extents.z);
}

// A regular tetrahedron around the bounding sphere of the box, with room to spare; the tolerances of
// the flip classification grow with the size of the set, since its coordinates are not exact.
Delaunay3DImpl::Enclosure Delaunay3DImpl::Enclose(const Box3D& box) const {
  Vector centre;
  Vector half = box.max;
  if (!IsEmpty(box)) {
    centre = (box.min + box.max) * 0.5;
    half = box.max - centre;
  }
  Float r = std::sqrt(half.x * half.x + half.y * half.y + half.z * half.z);
  // A box without extent, or one so small that its points would lie within the coincidence distance
  // of the corners, would never have its points inserted. It gets the size of a unit box instead.
  if (r < smallestEnclosedRadius) r = std::sqrt(0.75);
  const Float f = enclosingScale_ * (r / -0.3333330225);
  const Float t = ((r - 1000.0) * 9000.0) / 9000.0 + 1.0;
  return {{{centre.x + 0.816497 * f, centre.y, centre.z - 0.57735 * f},
           {centre.x, centre.y + 0.816497 * f, centre.z + 0.57735 * f},
           {centre.x - 0.816497 * f, centre.y, centre.z - 0.57735 * f},
           {centre.x, centre.y - 0.816497 * f, centre.z + 0.57735 * f}},
          t > 1.0 ? t * 1e-5 : 1e-5,
          t > 1.0 ? t * 1e-10 : 1e-10};
}

// Moved corners can cross the faces of the tetrahedra that use them, so a tetrahedralisation whose
// corners move starts over. So does one whose last calculation stopped early: the points it
// inserted are no longer the newest, and insertion newest first cannot go on around them. Either
// way the next calculation builds what a fresh instance builds from the same points.
void Delaunay3DImpl::PlaceEnclosingTetrahedron(const Enclosure& enclosure) {
  Bool moved = false;
  for (Int i = 0; i < 4; ++i) moved = moved || points_[i] != enclosure.corners[i];
  const Bool processedPoints = points_.GetCount() - 4 > pendingCount_;
  if ((moved && processedPoints) || IsInterrupted()) StartOver();
  for (Int i = 0; i < 4; ++i) points_[i] = enclosure.corners[i];
  baryEpsilon_ = enclosure.baryEpsilon;
  lineEpsilon_ = enclosure.lineEpsilon;
}

Bool Delaunay3DImpl::IsInterrupted() const { return insertedPendingCount_ > 0 || !flipStack_.IsEmpty(); }

// Back to the single enclosing tetrahedron with every stored point pending; allocates nothing.
void Delaunay3DImpl::StartOver() {
  tetrahedrons_[0] = Tetrahedron(0, 1, 2, 3, -1, -1, -1, -1);
  tetrahedronCount_ = 1;
  pendingCount_ = points_.GetCount() - 4;
  insertedPendingCount_ = 0;
  insertedCount_ = 0;
  flipStack_.Reset();
  for (Int i = 0; i < pointToTet_.GetCount(); ++i) pointToTet_[i] = i < 4 ? 0 : -1;
}

// Splits and flips take new tetrahedra from the end of the storage; when it is full it doubles.
Result<void> Delaunay3DImpl::ReserveTetrahedrons(Int extra) {
  Int length = tetrahedrons_.GetCount();
  if (tetrahedronCount_ + extra <= length) return OK();
  while (tetrahedronCount_ + extra > length) length = length == 0 ? 16 : length * 2;
  return tetrahedrons_.Resize(length);
}

// Room for the pushes of one split or flip, taken before the change so that a failing allocation
// never leaves a half-linked tetrahedralisation behind.
Result<void> Delaunay3DImpl::ReserveFlipStack(Int extra) {
  const Int needed = flipStack_.GetCount() + extra;
  Int capacity = flipStack_.GetCapacity();
  if (needed <= capacity) return OK();
  while (capacity < needed) capacity = capacity == 0 ? 16 : ((capacity * 3 + 3) / 2 + 15) / 16 * 16;
  return flipStack_.EnsureCapacity(capacity);
}

void Delaunay3DImpl::Push(Int32 tetrahedron) {
  // Cannot fail: ReserveFlipStack made room before the change.
  static_cast<void>(flipStack_.Append(tetrahedron));
}

Result<void> Delaunay3DImpl::CopyFrom(const Delaunay3DInterface& src, Int) {
  return CopyFrom(ImplementationOf<Delaunay3DImpl>(src));
}

Result<void> Delaunay3DImpl::CopyFrom(const Delaunay3DImpl& src) {
  if (&src == this) return OK();
  BaseArray<Tetrahedron> tetrahedrons;
  BaseArray<Vector> points;
  BaseArray<Int32> pointToTet;
  BaseArray<Int32> flipStack;
  ZEMOX_TRY(tetrahedrons.CopyFrom(src.tetrahedrons_.ToBlock()));
  ZEMOX_TRY(points.CopyFrom(src.points_.ToBlock()));
  ZEMOX_TRY(pointToTet.CopyFrom(src.pointToTet_.ToBlock()));
  ZEMOX_TRY(flipStack.CopyFrom(src.flipStack_.ToBlock()));
  lineEpsilon_ = src.lineEpsilon_;
  baryEpsilon_ = src.baryEpsilon_;
  vertexEpsilonSq_ = src.vertexEpsilonSq_;
  workSpace_ = src.workSpace_;
  bounds_ = src.bounds_;
  pendingCount_ = src.pendingCount_;
  insertedPendingCount_ = src.insertedPendingCount_;
  insertedCount_ = src.insertedCount_;
  tetrahedrons_ = std::move(tetrahedrons);
  tetrahedronCount_ = src.tetrahedronCount_;
  points_ = std::move(points);
  pointToTet_ = std::move(pointToTet);
  flipStack_ = std::move(flipStack);
  initialized_ = src.initialized_;
  context_ = src.context_;
  statistics_ = src.statistics_;
  return OK();
}

// A second Init starts over: the points of an earlier run would otherwise stay behind as
// unreachable entries after the new corners.
Result<void> Delaunay3DImpl::Init(const Box3D& workSpace) {
  if (!IsFinite(workSpace.min) || !IsFinite(workSpace.max))
    return ZEMOX_ERROR(IllegalArgumentError, "@: The work space has a non-finite coordinate.");
  if (!IsEmpty(workSpace)) ZEMOX_TRY(CheckPredicateRange(Enclose(workSpace).corners, "Init"));
  points_.Reset();
  ZEMOX_TRY(BuildBaseState());
  workSpace_ = workSpace;
  bounds_ = workSpace;
  pendingCount_ = 0;
  insertedPendingCount_ = 0;
  insertedCount_ = 0;
  flipStack_.Reset();
  initialized_ = true;
  return OK();
}

Result<void> Delaunay3DImpl::AddPointsIntoTetrahedralization(Block<const Vector> newPointsIn) {
  ZEMOX_TRY(CheckReady("AddPointsIntoTetrahedralization"));
  // Adding nothing changes nothing; the point-to-tetrahedron table in particular keeps its entries.
  if (newPointsIn.IsEmpty()) return OK();
  for (Int i = 0; i < newPointsIn.GetCount(); ++i) {
    if (!IsFinite(newPointsIn[i]))
      return ZEMOX_ERROR(IllegalArgumentError, "@: Point @ has a non-finite coordinate.", i);
  }
  const Int k = newPointsIn.GetCount();
  const Int n = points_.GetCount();
  const Int pending = pendingCount_ + k;
  if (pending + n > maxPointCount)
    return ZEMOX_ERROR(IllegalArgumentError, "@: @ points exceed the limit of @.", pending + n, maxPointCount);
  Box3D grown = bounds_;
  for (const Vector& point : newPointsIn) Grow(grown, point);
  const Enclosure enclosure = Enclose(grown);
  ZEMOX_TRY(CheckPredicateRange(enclosure.corners, "AddPointsIntoTetrahedralization"));
  ZEMOX_TRY(points_.EnsureCapacity(n + k));
  ZEMOX_TRY(tetrahedrons_.Resize(std::max<Int>(12 * (pending + n), tetrahedronCount_)));
  ZEMOX_TRY(pointToTet_.Resize(pending + n));
  static_cast<void>(points_.Resize(n + k));
  pendingCount_ = pending;
  for (Int32& entry : pointToTet_) entry = -1;
  for (Int i = 0; i < 4; ++i) pointToTet_[i] = 0;
  for (Int i = 0; i < k; ++i) points_[n + i] = newPointsIn[i];
  bounds_ = grown;
  PlaceEnclosingTetrahedron(enclosure);
  return OK();
}

Result<void> Delaunay3DImpl::AddPointIntoTetrahedralization(const Vector& newPointIn) {
  ZEMOX_TRY(CheckReady("AddPointIntoTetrahedralization"));
  if (!IsFinite(newPointIn)) return ZEMOX_ERROR(IllegalArgumentError, "@: The point has a non-finite coordinate.");
  const Int n = points_.GetCount();
  if (n + 1 > maxPointCount)
    return ZEMOX_ERROR(IllegalArgumentError, "@: @ points exceed the limit of @.", n + 1, maxPointCount);
  Box3D grown = bounds_;
  Grow(grown, newPointIn);
  const Enclosure enclosure = Enclose(grown);
  ZEMOX_TRY(CheckPredicateRange(enclosure.corners, "AddPointIntoTetrahedralization"));
  ZEMOX_TRY(points_.EnsureCapacity(n + 1));
  ZEMOX_TRY(tetrahedrons_.Resize(std::max<Int>(12 * (n + 1), tetrahedronCount_)));
  ZEMOX_TRY(pointToTet_.Resize(n + 1));
  static_cast<void>(points_.Append(newPointIn));
  pendingCount_ += 1;
  bounds_ = grown;
  PlaceEnclosingTetrahedron(enclosure);
  return OK();
}

Result<void> Delaunay3DImpl::CalculateDelaunayTetrahedralization() {
  ZEMOX_TRY(CheckReady("CalculateDelaunayTetrahedralization"));
  PrepareContext();
  const Int pointCount = points_.GetCount();
  if (pointCount < 5) return OK();
  // After an early stop the points inserted so far are skipped; InsertPoint finishes the repair of
  // a point that was interrupted between its split and its last flip.
  for (; insertedPendingCount_ < pendingCount_; ++insertedPendingCount_) {
    const Job* job = GetCurrentJob();
    if (job != nullptr && job->IsCancelled()) return ZEMOX_ERROR(ThreadCancelledError);
    ZEMOX_TRY(InsertPoint(static_cast<Int32>(pointCount - 1 - insertedPendingCount_)));
  }
  pendingCount_ = 0;
  insertedPendingCount_ = 0;
  // The storage reserved for the insertions is released: the result keeps only its tetrahedra.
  ZEMOX_TRY(tetrahedrons_.Resize(tetrahedronCount_));
  return tetrahedrons_.ShrinkToFit();
}

// Pending points are released together with the points, so the pending count restarts at zero; the
// point-to-tetrahedron table keeps only the corners, which a single add does not reset.
Result<void> Delaunay3DImpl::Reset() {
  if (!initialized_)
    return ZEMOX_ERROR(IllegalStateError, "@: The tetrahedralization is not initialized; call Init first.");
  insertedCount_ = 0;
  points_.Flush();
  ZEMOX_TRY(BuildBaseState());
  bounds_ = workSpace_;
  pendingCount_ = 0;
  insertedPendingCount_ = 0;
  flipStack_.Reset();
  return OK();
}

Float Delaunay3DImpl::OrientDet(const Vector& planePointA, const Vector& planePointB, const Vector& planePointC,
                                const Vector& testPoint) const {
  return orient3d(context_, planePointA, planePointB, planePointC, testPoint);
}

// Frees the memory only. The tetrahedron count drops to zero with its storage, which makes the
// other calls refuse to run until Reset or Init rebuilds the base state.
void Delaunay3DImpl::Flush() {
  tetrahedrons_.Flush();
  points_.Flush();
  pointToTet_.Flush();
  flipStack_.Flush();
  tetrahedronCount_ = 0;
}

// The first face slot of `tet`, in slot order, with the query strictly beyond it (-1 when none is);
// the slots tested before it with the query on their plane are set as bits of `zeroSlots`.
// `nearVertex` when the query lies within the vertex tolerance of a vertex. The offsets of the
// vertices from the query are computed once and serve the distance test and every face.
// A walk that came from `previous` (-1 at the start) knows the answers for the face it entered
// through: the query lies strictly on this side of it (the exact orientation of the shared face
// just changed sign), and its three vertices already passed the distance test.
Int32 Delaunay3DImpl::FindFaceBeyond(const Tetrahedron& tet, Int32 previous, const Vector& query,
                                     Int32& zeroSlots) const {
  // The walk is bound by memory latency on large sets: fetching the neighbours now overlaps the
  // wait for the next tetrahedron with the orientation tests of this one.
  for (Int32 neighbor : tet.n)
    if (neighbor != previous && neighbor != -1) ZEMOX_PREFETCH(&tetrahedrons_[neighbor]);
  const Int32 entry = previous == -1 ? -1 : tet.GetNeighborSlot(previous);
  const Vector& p0 = points_[tet.v[0]];
  const Vector& p1 = points_[tet.v[1]];
  const Vector& p2 = points_[tet.v[2]];
  const Vector& p3 = points_[tet.v[3]];
  const Vector d0 = p0 - query;
  const Vector d1 = p1 - query;
  const Vector d2 = p2 - query;
  const Vector d3 = p3 - query;
  auto near = [&](const Vector& offset) { return Dot(offset, offset) < vertexEpsilonSq_; };
  const Bool coincides =
      entry == -1 ? near(d0) || near(d1) || near(d2) || near(d3) : near(points_[tet.v[3 - entry]] - query);
  if (coincides) return nearVertex;
  // True when the query is beyond the face; the faces are those of Tetrahedron::faceSlots.
  auto beyond = [&](Int32 slot, const Vector& da, const Vector& db, const Vector& dc, const Vector& a, const Vector& b,
                    const Vector& c) {
    if (slot == entry) return false;
    const Float orientation = orient3dFromOffsets(context_, da, db, dc, a, b, c, query);
    if (orientation == 0.0) zeroSlots |= 1 << slot;
    return orientation < 0.0;
  };
  if (beyond(0, d0, d1, d2, p0, p1, p2)) return 0;
  if (beyond(1, d0, d3, d1, p0, p3, p1)) return 1;
  if (beyond(2, d0, d2, d3, p0, p2, p3)) return 2;
  if (beyond(3, d1, d3, d2, p1, p3, p2)) return 3;
  return -1;
}

// One step of the walk. A query within the vertex tolerance of a vertex stops the walk as found but
// clears `found`: it is an existing point.
INSIDETEST Delaunay3DImpl::LocateStep(Int32 tetrahedron, Int32 previous, const Vector& query, Int32& next,
                                      Int32& onFace1, Int32& onFace2, Bool& found) const {
  const Tetrahedron& tet = tetrahedrons_[tetrahedron];
  Int32 zeroSlots = 0;
  const Int32 slot = FindFaceBeyond(tet, previous, query, zeroSlots);
  if (slot == nearVertex) {
    found = false;
    return INSIDETEST::INSIDE;
  }
  if (slot != -1) {
    next = tet.n[slot];
    return INSIDETEST::OUTSIDE;
  }
  if (zeroSlots == 0) return INSIDETEST::INSIDE;
  for (Int32 zero = 0; zero < 4; ++zero)
    if ((zeroSlots & (1 << zero)) != 0) (onFace1 == -1 ? onFace1 : onFace2) = zero;
  return INSIDETEST::INSIDE_ON;
}

// Walks from the middle of the storage towards the query; false when the query coincides with a
// vertex, leaves the enclosing tetrahedron or the step bound runs out.
Bool Delaunay3DImpl::Locate(const Vector& query, Int32& foundTetIndex, Int32& onFace1, Int32& onFace2) const {
  Int32 current = tetrahedronCount_ / 2;
  Int32 previous = -1;
  Bool found = true;
  const Int stepLimit = 2 * static_cast<Int>(tetrahedronCount_);
  for (Int steps = 1;; ++steps) {
    Int32 next = -1;
    if (LocateStep(current, previous, query, next, onFace1, onFace2, found) != INSIDETEST::OUTSIDE) {
      foundTetIndex = current;
      return found;
    }
    if (steps >= stepLimit || next == -1) return false;
    previous = current;
    current = next;
  }
}

Int32 Delaunay3DImpl::NextTowards(Int32 tetrahedron, Int32 previous, const Vector& query) const {
  const Tetrahedron& tet = tetrahedrons_[tetrahedron];
  Int32 zeroSlots = 0;
  const Int32 slot = FindFaceBeyond(tet, previous, query, zeroSlots);
  return slot < 0 ? -1 : tet.n[slot];
}

Bool Delaunay3DImpl::Walk(const Vector& query, Int32& foundTetIndex) const {
  Int32 current = tetrahedronCount_ / 2;
  Int32 previous = -1;
  const Int stepLimit = 2 * static_cast<Int>(tetrahedronCount_);
  for (Int steps = 0; steps < stepLimit; ++steps) {
    const Int32 next = NextTowards(current, previous, query);
    if (next == -1) {
      foundTetIndex = current;
      return true;
    }
    previous = current;
    current = next;
  }
  return false;
}

Result<Bool> Delaunay3DImpl::FindTetIndexContainingPoint(const Vector& point, Int32& foundTetIndex, Int32& onFace1,
                                                         Int32& onFace2) const {
  ZEMOX_TRY(CheckReady("FindTetIndexContainingPoint"));
  if (!IsFinite(point)) return ZEMOX_ERROR(IllegalArgumentError, "@: The point has a non-finite coordinate.");
  return Locate(point, foundTetIndex, onFace1, onFace2);
}

Result<Bool> Delaunay3DImpl::FindTetContainingPoint(const Vector& point, Int32& foundTetIndex) const {
  ZEMOX_TRY(CheckReady("FindTetContainingPoint"));
  if (!IsFinite(point)) return ZEMOX_ERROR(IllegalArgumentError, "@: The point has a non-finite coordinate.");
  return Walk(point, foundTetIndex);
}

}  // namespace zemox
