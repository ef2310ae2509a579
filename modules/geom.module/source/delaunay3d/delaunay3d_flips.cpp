// Insertion of one point: the split of the located tetrahedron (or of the face or edge the point
// lies on) and the flips that restore the Delaunay property around the new point.

#include <cmath>

#include "delaunay3d/delaunay3d_impl.h"

namespace zemox {
namespace {

Bool Contains(Block<const Int32> indices, Int32 index) {
  for (Int32 entry : indices)
    if (entry == index) return true;
  return false;
}

// The neighbour of `tet` across its face opposite `vertex`.
Int32 Across(const Tetrahedron& tet, Int32 vertex) { return tet.n[tet.GetNeighborSlotOppositeVertex(vertex)]; }

Bool HoldsFace(const Tetrahedron& tet, Int32 a, Int32 b, Int32 c) {
  return tet.HasVertex(a) && tet.HasVertex(b) && tet.HasVertex(c);
}

// Faces are compared as vertex sets: the two sides of a face list its vertices in opposite orders.
Bool SameFace(Int32 a, Int32 b, Int32 c, Int32 x, Int32 y, Int32 z) {
  auto among = [&](Int32 vertex) { return vertex == a || vertex == b || vertex == c; };
  return among(x) && among(y) && among(z);
}

struct Barycentrics {
  Float alpha;
  Float beta;
  Float gamma;
};

// Where the line through p and apex meets the plane of (a, b, c), as weights of a, b and c; all
// zero when the line is parallel to the plane within lineEpsilon.
Barycentrics LineTriangleBarycentrics(const Vector& a, const Vector& b, const Vector& c, const Vector& p,
                                      const Vector& apex, Float lineEpsilon) {
  Vector d = p - apex;
  const Float length = Length(d);
  d = length > 0.0 ? Vector{d.x / length, d.y / length, d.z / length} : Vector{};
  const Vector e1 = a - c;
  const Vector e2 = b - c;
  const Vector s = Cross(e2, d);
  const Float det = Dot(s, e1);
  if (std::fabs(det) < lineEpsilon) return {0.0, 0.0, 0.0};
  const Vector w = p - c;
  const Float alpha = Dot(s, w) / det;
  const Float beta = Dot(d, Cross(e1, w)) / det;
  return {alpha, beta, 1.0 - alpha - beta};
}

// The vertices (A, B) of the edge shared by the faces of two neighbour slots, indexed by the slot
// pair, as positions in the tetrahedron.
constexpr Int32 edgeOfFaces[4][4][2] = {
    {{-1, -1}, {1, 0}, {0, 2}, {2, 1}},
    {{-1, -1}, {-1, -1}, {3, 0}, {1, 3}},
    {{-1, -1}, {-1, -1}, {-1, -1}, {3, 2}},
    {{-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}},
};

}  // namespace

// Between points the flip stack is empty. A stack that still holds candidates belongs to a point
// whose split is done and whose repair stopped early: the insertion only goes on with the repair.
Result<void> Delaunay3DImpl::InsertPoint(Int32 p) {
  if (flipStack_.IsEmpty()) {
    Int32 t = -1;
    Int32 onFace1 = -1;
    Int32 onFace2 = -1;
    if (!Locate(points_[p], t, onFace1, onFace2)) {
      pointToTet_[p] = -1;
      return OK();
    }
    if (onFace1 == -1) {
      ZEMOX_TRY(Split14(t, p));
    } else if (onFace2 == -1) {
      ZEMOX_TRY(SplitFace(t, onFace1, p));
    } else {
      ZEMOX_TRY(SplitEdge(t, onFace1, onFace2, p));
    }
    // Every split keeps t as one of the tetrahedra around p.
    pointToTet_[p] = t;
  }
  ZEMOX_TRY(RepairFaces(p));
  ++insertedCount_;
  return OK();
}

// Pops candidate tetrahedra until none is left. A candidate whose face opposite p has the apex
// beyond it inside its circumsphere is flipped; entries made stale by earlier flips are skipped.
Result<void> Delaunay3DImpl::RepairFaces(Int32 p) {
  while (!flipStack_.IsEmpty()) {
    const Int32 t = flipStack_.GetLast();
    flipStack_.Pop();
    if (t >= tetrahedronCount_ || !tetrahedrons_[t].HasVertex(p)) continue;
    const Tetrahedron& tet = tetrahedrons_[t];
    const Int32 slot = tet.GetNeighborSlotOppositeVertex(p);
    const Int32 m = tet.n[slot];
    if (m == -1) continue;
    const Int32 slotM = tetrahedrons_[m].GetNeighborSlot(t);
    if (slotM == -1) continue;
    const Int32 apex = tetrahedrons_[m].GetVertexOppositeSlot(slotM);
    const Float inside =
        insphere(context_, points_[tet.v[0]], points_[tet.v[1]], points_[tet.v[2]], points_[tet.v[3]], points_[apex]);
    if (inside <= 0.0) continue;
    Int32 a = -1;
    Int32 b = -1;
    Int32 c = -1;
    tet.GetFaceVertices(slot, a, b, c);
    Result<void> flipped = DispatchFlip(t, m, p, apex, a, b, c);
    if (!flipped) {
      // A flip that fails changes nothing: the candidate goes back on the stack (into the slot its
      // pop freed), so that a later calculation repairs the same face.
      static_cast<void>(flipStack_.Append(t));
      return flipped;
    }
  }
  return OK();
}

Result<void> Delaunay3DImpl::DispatchFlip(Int32 t, Int32 m, Int32 p, Int32 apex, Int32 a, Int32 b, Int32 c) {
  // A 3-2 flip needs the third tetrahedron around the edge that the line p-apex passes beside.
  auto flipThree = [&](Int32 x) -> Result<void> {
    const Int32 u = tetrahedrons_[t].n[tetrahedrons_[t].GetNeighborSlotOppositeVertex(x)];
    if (u == -1 || tetrahedrons_[u].GetNeighborSlot(m) == -1) return OK();
    return Flip32(t, m, u);
  };
  // A 4-4 flip needs the two tetrahedra beyond the faces opposite x to be neighbours themselves.
  auto flipFour = [&](Int32 x) -> Result<void> {
    const Int32 t2 = tetrahedrons_[t].n[tetrahedrons_[t].GetNeighborSlotOppositeVertex(x)];
    const Int32 m2 = tetrahedrons_[m].n[tetrahedrons_[m].GetNeighborSlotOppositeVertex(x)];
    if (t2 == -1 || m2 == -1) return OK();
    for (Int32 neighbor : tetrahedrons_[t2].n) {
      if (neighbor == m2) return Flip44(t, m, t2, m2, p, apex);
      if (neighbor == m) return OK();
    }
    return OK();
  };
  switch (ClassifyFlip(a, b, c, p, apex)) {
    case FLIPCASE::CONVEX:
    case FLIPCASE::CONVEX_COPLANAR_ONPLANE:
      return Flip23(t, m, p, apex);
    case FLIPCASE::CONCAVE_OVER_ONE_FACE_A:
      return flipThree(a);
    case FLIPCASE::CONCAVE_OVER_ONE_FACE_B:
      return flipThree(b);
    case FLIPCASE::CONCAVE_OVER_ONE_FACE_C:
      return flipThree(c);
    case FLIPCASE::CONVEX_COPLANAR_A:
      return flipFour(a);
    case FLIPCASE::CONVEX_COPLANAR_B:
      return flipFour(b);
    case FLIPCASE::CONVEX_COPLANAR_C:
      return flipFour(c);
    case FLIPCASE::CONCAVE_OVER_TWO_FACES:
    case FLIPCASE::BROKEN:
      return OK();
  }
  return OK();
}

// Weights near zero are not trusted in floating point: the exact orientation of p and apex against
// the edge plane decides whether the line passes exactly through the edge or to which side.
Float Delaunay3DImpl::SnapBarycentric(Float weight, Int32 p, Int32 e0, Int32 e1, Int32 apex) const {
  if (std::fabs(weight) >= baryEpsilon_) return weight;
  const Float orientation = orient3d(context_, points_[p], points_[e0], points_[e1], points_[apex]);
  if (orientation == 0.0) return 0.0;
  return orientation < 0.0 ? baryEpsilon_ : -baryEpsilon_;
}

FLIPCASE Delaunay3DImpl::ClassifyFlip(Int32 a, Int32 b, Int32 c, Int32 p, Int32 apex) const {
  const Barycentrics raw =
      LineTriangleBarycentrics(points_[a], points_[b], points_[c], points_[p], points_[apex], lineEpsilon_);
  const Float alpha = SnapBarycentric(raw.alpha, p, b, c, apex);
  const Float beta = SnapBarycentric(raw.beta, p, c, a, apex);
  const Float gamma = SnapBarycentric(raw.gamma, p, a, b, apex);
  if (alpha < 0.0) {
    if (beta < 0.0) return gamma < 0.0 ? FLIPCASE::BROKEN : FLIPCASE::CONCAVE_OVER_TWO_FACES;
    return gamma < 0.0 ? FLIPCASE::CONCAVE_OVER_TWO_FACES : FLIPCASE::CONCAVE_OVER_ONE_FACE_A;
  }
  if (beta < 0.0) return gamma < 0.0 ? FLIPCASE::CONCAVE_OVER_TWO_FACES : FLIPCASE::CONCAVE_OVER_ONE_FACE_B;
  if (gamma < 0.0) return FLIPCASE::CONCAVE_OVER_ONE_FACE_C;
  if (alpha >= baryEpsilon_ && beta >= baryEpsilon_ && gamma >= baryEpsilon_) return FLIPCASE::CONVEX;
  if (orient3d(context_, points_[a], points_[b], points_[c], points_[p]) == 0.0 ||
      orient3d(context_, points_[a], points_[b], points_[c], points_[apex]) == 0.0)
    return FLIPCASE::CONVEX_COPLANAR_ONPLANE;
  if (alpha == 0.0) return FLIPCASE::CONVEX_COPLANAR_A;
  if (beta == 0.0) return FLIPCASE::CONVEX_COPLANAR_B;
  if (gamma == 0.0) return FLIPCASE::CONVEX_COPLANAR_C;
  return FLIPCASE::CONVEX;
}

// Each face of t, in face order, with p becomes a tetrahedron: t keeps the one of slot 0. Every new
// tetrahedron has its old outer face in slot 0 and its siblings in slots 1 to 3.
Result<void> Delaunay3DImpl::Split14(Int32 t, Int32 p) {
  // The siblings across slots 1 to 3 of each new tetrahedron, as positions in `created`.
  static constexpr Int32 siblings[4][3] = {{1, 2, 3}, {2, 0, 3}, {0, 1, 3}, {1, 0, 2}};
  ZEMOX_TRY(ReserveTetrahedrons(3));
  ZEMOX_TRY(ReserveFlipStack(4));
  const Tetrahedron old = tetrahedrons_[t];
  const Int32 first = tetrahedronCount_;
  const Int32 created[] = {t, first, first + 1, first + 2};
  for (Int32 slot = 0; slot < 4; ++slot) {
    const Int32* face = Tetrahedron::faceSlots[slot];
    const Int32* sibling = siblings[slot];
    tetrahedrons_[created[slot]] = Tetrahedron(old.v[face[0]], old.v[face[1]], old.v[face[2]], p, old.n[slot],
                                               created[sibling[0]], created[sibling[1]], created[sibling[2]]);
    Redirect(old.n[slot], t, created[slot]);
  }
  tetrahedronCount_ += 3;
  pointToTet_[old.v[3]] = first + 2;
  for (Int32 index : created) Push(index);
  ++statistics_.split14;
  return OK();
}

// p lies inside the face shared by t and m: both become three tetrahedra around p.
Result<void> Delaunay3DImpl::SplitFace(Int32 t, Int32 faceSlot, Int32 p) {
  const Int32 m = tetrahedrons_[t].n[faceSlot];
  const Int32 slotM = m == -1 ? -1 : tetrahedrons_[m].GetNeighborSlot(t);
  if (slotM == -1)
    return ZEMOX_ERROR(IllegalStateError, "@: Point @ lies on a face without a neighbour across it.", Int{p});
  ZEMOX_TRY(ReserveTetrahedrons(4));
  ZEMOX_TRY(ReserveFlipStack(6));
  const Tetrahedron oldT = tetrahedrons_[t];
  const Tetrahedron oldM = tetrahedrons_[m];
  Int32 f0 = -1;
  Int32 f1 = -1;
  Int32 f2 = -1;
  oldT.GetFaceVertices(faceSlot, f0, f1, f2);
  const Int32 dt = oldT.GetVertexOppositeSlot(faceSlot);
  const Int32 dm = oldM.GetVertexOppositeSlot(slotM);
  const Int32 first = tetrahedronCount_;
  // Each new tetrahedron keeps, in slot 0, the outer face of t or m opposite one of f0, f1, f2.
  tetrahedrons_[t] = Tetrahedron(f0, dt, f1, p, Across(oldT, f2), first, m, first + 1);
  tetrahedrons_[first] = Tetrahedron(f0, f2, dt, p, Across(oldT, f1), first + 2, t, first + 1);
  tetrahedrons_[first + 1] = Tetrahedron(dt, f2, f1, p, Across(oldT, f0), first, t, first + 3);
  tetrahedrons_[m] = Tetrahedron(f0, f1, dm, p, Across(oldM, f2), t, first + 2, first + 3);
  tetrahedrons_[first + 2] = Tetrahedron(f0, dm, f2, p, Across(oldM, f1), m, first, first + 3);
  tetrahedrons_[first + 3] = Tetrahedron(dm, f1, f2, p, Across(oldM, f0), m, first + 2, first + 1);
  Redirect(Across(oldT, f1), t, first);
  Redirect(Across(oldT, f0), t, first + 1);
  Redirect(Across(oldM, f1), m, first + 2);
  Redirect(Across(oldM, f0), m, first + 3);
  tetrahedronCount_ += 4;
  const Int32 created[] = {t, first, first + 1, m, first + 2, first + 3};
  pointToTet_[f2] = first + 1;
  for (Int32 index : created) Push(index);
  ++statistics_.splitFace;
  return OK();
}

// p lies inside the edge (A, B) shared by faces onFace1 and onFace2 of t: every tetrahedron around
// the edge is cut in two, keeping B in the old index and A in a new one.
Result<void> Delaunay3DImpl::SplitEdge(Int32 t, Int32 onFace1, Int32 onFace2, Int32 p) {
  const Int32* positions = edgeOfFaces[onFace1][onFace2];
  const Int32 edgeA = tetrahedrons_[t].v[positions[0]];
  const Int32 edgeB = tetrahedrons_[t].v[positions[1]];
  ZEMOX_TRY(CollectEdgeRing(t, onFace2, edgeA, edgeB));
  const Int ringSize = region_.GetCount();
  ZEMOX_TRY(ReserveTetrahedrons(ringSize));
  ZEMOX_TRY(ReserveFlipStack(2 * ringSize));
  ZEMOX_TRY(created_.EnsureCapacity(2 * ringSize));
  ZEMOX_TRY(CollectOuterFaces(region_.ToBlock()));
  created_.Reset();
  for (Int32 ringMember : region_) {
    const Int32 added = tetrahedronCount_++;
    Tetrahedron& tet = tetrahedrons_[ringMember];
    Int32 a = -1;
    Int32 b = -1;
    Int32 c = -1;
    tet.GetFaceVertices(tet.GetNeighborSlotOppositeVertex(edgeB), a, b, c);
    tet.ReplaceVertex(edgeA, p);
    SetVertices(added, a, b, c, p);
    static_cast<void>(created_.Append(ringMember));
    static_cast<void>(created_.Append(added));
  }
  ZEMOX_TRY(LinkRegion(created_.ToBlock()));
  pointToTet_[edgeA] = created_.GetLast();
  for (Int32 index : created_) Push(index);
  ++statistics_.splitEdge;
  return OK();
}

// Collects into region_ the tetrahedra around the edge (A, B), in ring order: t is left through
// `firstExit`, every later one through its other face holding the edge.
Result<void> Delaunay3DImpl::CollectEdgeRing(Int32 t, Int32 firstExit, Int32 edgeA, Int32 edgeB) {
  region_.Reset();
  Int32 current = t;
  Int32 exit = firstExit;
  for (;;) {
    ZEMOX_TRY(region_.Append(current));
    const Int32 next = tetrahedrons_[current].n[exit];
    if (next == -1 || next == t) return OK();
    const Int32 entry = tetrahedrons_[next].GetNeighborSlot(current);
    exit = entry == -1 ? -1 : tetrahedrons_[next].GetOtherFaceSlotContaining(entry, edgeA, edgeB);
    if (exit == -1 || region_.GetCount() > tetrahedronCount_)
      return ZEMOX_ERROR_IN("SplitEdge", IllegalStateError,
                            "@: Tetrahedron @ around an edge does not refer back to tetrahedron @.", Int{next},
                            Int{current});
    current = next;
  }
}

Result<void> Delaunay3DImpl::Flip23(Int32 t, Int32 m, Int32 p, Int32 apex) {
  ZEMOX_TRY(ReserveTetrahedrons(1));
  ZEMOX_TRY(ReserveFlipStack(3));
  const Tetrahedron oldT = tetrahedrons_[t];
  const Tetrahedron oldM = tetrahedrons_[m];
  Int32 a = -1;
  Int32 b = -1;
  Int32 c = -1;
  oldT.GetFaceVerticesToward(m, a, b, c);
  const Int32 added = tetrahedronCount_;
  // The tetrahedron around the edge (x, y) takes m's old face (x, y, apex) in slot 0 and t's old
  // face (x, y, p) in slot 3: the neighbours of t and m opposite the third vertex.
  tetrahedrons_[t] = Tetrahedron(apex, a, b, p, Across(oldM, c), added, m, Across(oldT, c));
  tetrahedrons_[m] = Tetrahedron(apex, b, c, p, Across(oldM, a), t, added, Across(oldT, a));
  tetrahedrons_[added] = Tetrahedron(apex, c, a, p, Across(oldM, b), m, t, Across(oldT, b));
  Redirect(Across(oldM, c), m, t);
  Redirect(Across(oldT, a), t, m);
  Redirect(Across(oldM, b), m, added);
  Redirect(Across(oldT, b), t, added);
  tetrahedronCount_ += 1;
  const Int32 created[] = {t, m, added};
  pointToTet_[a] = t;
  pointToTet_[b] = m;
  pointToTet_[c] = added;
  for (Int32 index : created) Push(index);
  ++statistics_.flip23;
  return OK();
}

// The three tetrahedra around the edge (E1, E2) become two sharing the triangle (X, Y, Z); the
// index given up is filled by the last tetrahedron so that the storage stays dense.
Result<void> Delaunay3DImpl::Flip32(Int32 t, Int32 m, Int32 u) {
  const Tetrahedron tetT = tetrahedrons_[t];
  Int32 shared[2];
  Int32 sharedCount = 0;
  for (Int32 vertex : tetT.v) {
    if (!tetrahedrons_[m].HasVertex(vertex) || !tetrahedrons_[u].HasVertex(vertex)) continue;
    if (sharedCount < 2) shared[sharedCount] = vertex;
    ++sharedCount;
  }
  if (sharedCount != 2) return ZEMOX_ERROR(IllegalStateError, "the found Tetrahedrons are not sharing an edge");
  Int32 z = -1;
  for (Int32 vertex : tetrahedrons_[m].v)
    if (!tetT.HasVertex(vertex)) z = vertex;
  ZEMOX_TRY(ReserveFlipStack(2));
  const Tetrahedron ring[] = {tetT, tetrahedrons_[m], tetrahedrons_[u]};
  const Int32 ringIndices[] = {t, m, u};
  // Z and E2 lie on the same side of every plane through E1 and two other vertices of t (the edge
  // pierces the triangle X, Y, Z), so replacing one edge end of t by Z keeps a positive orientation.
  Tetrahedron first = tetT;
  Tetrahedron second = tetT;
  first.ReplaceVertex(shared[1], z);
  second.ReplaceVertex(shared[0], z);
  const Int32 last = tetrahedronCount_ - 1;
  const Int32 freed = t == last ? t : (m == last ? m : u);
  const Int32 firstIndex = freed == t ? u : t;
  const Int32 secondIndex = freed == m ? u : m;
  LinkFlippedEdge(firstIndex, first, shared[0], shared[1], secondIndex, ring, ringIndices);
  LinkFlippedEdge(secondIndex, second, shared[1], shared[0], firstIndex, ring, ringIndices);
  // The last tetrahedron is about to move or vanish: its vertices point at neighbours holding them
  // (its new index when it lies on the outer hull), then the flipped vertices at the two results.
  const Tetrahedron& moving = tetrahedrons_[last];
  for (Int32 i = 0; i < 3; ++i) pointToTet_[moving.v[i]] = moving.n[0] != -1 ? moving.n[0] : freed;
  pointToTet_[moving.v[3]] = moving.n[3] != -1 ? moving.n[3] : freed;
  for (Int32 vertex : first.v) pointToTet_[vertex] = firstIndex;
  pointToTet_[shared[1]] = secondIndex;
  MoveLastTetrahedron(freed);
  Push(firstIndex);
  Push(secondIndex);
  ++statistics_.flip32;
  return OK();
}

// t, m, t2 and m2 surround the edge (Y, Z); p, apex, Y and Z are coplanar, and each pair is
// re-split across the diagonal p-apex: t and t2 keep Z, m and m2 keep Y.
Result<void> Delaunay3DImpl::Flip44(Int32 t, Int32 m, Int32 t2, Int32 m2, Int32 p, Int32 apex) {
  Int32 face[3];
  tetrahedrons_[t].GetFaceVerticesToward(m, face[0], face[1], face[2]);
  Int32 edge[2];
  Int32 edgeCount = 0;
  for (Int32 vertex : face) {
    if (!tetrahedrons_[t2].HasVertex(vertex)) continue;
    if (edgeCount < 2) edge[edgeCount] = vertex;
    ++edgeCount;
  }
  if (edgeCount != 2)
    return ZEMOX_ERROR(IllegalStateError, "@: Tetrahedra @ and @ do not share an edge with the flipped face.", Int{t},
                       Int{t2});
  ZEMOX_TRY(ReserveFlipStack(4));
  const Int32 region[] = {t, m, t2, m2};
  ZEMOX_TRY(CollectOuterFaces({region, 4}));
  const Int32 y = edge[0];
  const Int32 z = edge[1];
  tetrahedrons_[t].ReplaceVertex(y, apex);
  tetrahedrons_[t2].ReplaceVertex(y, apex);
  tetrahedrons_[m].ReplaceVertex(z, p);
  tetrahedrons_[m2].ReplaceVertex(z, p);
  ZEMOX_TRY(LinkRegion({region, 4}));
  pointToTet_[y] = m;
  pointToTet_[z] = t;
  for (Int32 index : region) Push(index);
  ++statistics_.flip44;
  return OK();
}

// Moves the last valid tetrahedron into `freed` (or drops it when it is the freed one) and makes
// its neighbours and the flip stack follow it.
void Delaunay3DImpl::MoveLastTetrahedron(Int32 freed) {
  const Int32 last = tetrahedronCount_ - 1;
  tetrahedronCount_ -= 1;
  if (freed == last) {
    Int kept = 0;
    for (Int i = 0; i < flipStack_.GetCount(); ++i)
      if (flipStack_[i] != last) flipStack_[kept++] = flipStack_[i];
    while (flipStack_.GetCount() > kept) flipStack_.Pop();
    return;
  }
  tetrahedrons_[freed] = tetrahedrons_[last];
  for (Int32 neighbor : tetrahedrons_[freed].n) {
    if (neighbor == -1) continue;
    Tetrahedron& beyond = tetrahedrons_[neighbor];
    beyond.n[beyond.GetNeighborSlot(last)] = freed;
  }
  for (Int32& entry : flipStack_)
    if (entry == last) entry = freed;
}

// Writes one result of a 3-2 flip holding the edge end `kept` but not `dropped`: across its face
// opposite `kept` lies the other result; every other face is the face opposite `dropped` of the one
// ring member that lacks the vertex opposite it.
void Delaunay3DImpl::LinkFlippedEdge(Int32 index, Tetrahedron result, Int32 kept, Int32 dropped, Int32 sibling,
                                     const Tetrahedron (&ring)[3], const Int32 (&ringIndices)[3]) {
  for (Int32 slot = 0; slot < 4; ++slot) {
    const Int32 opposite = result.v[3 - slot];
    if (opposite == kept) {
      result.n[slot] = sibling;
      continue;
    }
    Int32 member = 0;
    while (member < 2 && ring[member].HasVertex(opposite)) ++member;
    result.n[slot] = Across(ring[member], dropped);
    Redirect(result.n[slot], ringIndices[member], index);
  }
  tetrahedrons_[index] = result;
}

// The tetrahedron beyond a rebuilt face follows the face to its new owner.
void Delaunay3DImpl::Redirect(Int32 beyond, Int32 oldOwner, Int32 newOwner) {
  if (beyond == -1 || oldOwner == newOwner) return;
  Tetrahedron& tet = tetrahedrons_[beyond];
  const Int32 slot = tet.GetNeighborSlot(oldOwner);
  if (slot != -1) tet.n[slot] = newOwner;
}

Result<void> Delaunay3DImpl::CollectOuterFaces(Block<const Int32> region) {
  outerFaces_.Reset();
  for (Int32 member : region) {
    const Tetrahedron& tet = tetrahedrons_[member];
    for (Int32 slot = 0; slot < 4; ++slot) {
      if (Contains(region, tet.n[slot])) continue;
      OuterFace face{-1, -1, -1, tet.n[slot]};
      tet.GetFaceVertices(slot, face.a, face.b, face.c);
      ZEMOX_TRY(outerFaces_.Append(face));
    }
  }
  return OK();
}

void Delaunay3DImpl::SetVertices(Int32 index, Int32 v0, Int32 v1, Int32 v2, Int32 v3) {
  tetrahedrons_[index] = Tetrahedron(v0, v1, v2, v3, -1, -1, -1, -1);
}

// Gives every face of the rebuilt tetrahedra its neighbour: a sibling holding the same three
// vertices, or the tetrahedron beyond the matching outer face, which is redirected to the new owner.
Result<void> Delaunay3DImpl::LinkRegion(Block<const Int32> created) {
  for (Int32 index : created) {
    Tetrahedron& tet = tetrahedrons_[index];
    for (Int32 slot = 0; slot < 4; ++slot) {
      Int32 a = -1;
      Int32 b = -1;
      Int32 c = -1;
      tet.GetFaceVertices(slot, a, b, c);
      Int32 sibling = -1;
      for (Int32 other : created) {
        if (other == index || !HoldsFace(tetrahedrons_[other], a, b, c)) continue;
        sibling = other;
        break;
      }
      if (sibling != -1) {
        tet.n[slot] = sibling;
        continue;
      }
      const OuterFace* outer = nullptr;
      for (const OuterFace& face : outerFaces_) {
        if (!SameFace(face.a, face.b, face.c, a, b, c)) continue;
        outer = &face;
        break;
      }
      if (outer == nullptr)
        return ZEMOX_ERROR(IllegalStateError, "@: Face of rebuilt tetrahedron @ matches no neighbour.", Int{index});
      tet.n[slot] = outer->neighbor;
      if (outer->neighbor == -1) continue;
      Tetrahedron& beyond = tetrahedrons_[outer->neighbor];
      beyond.n[beyond.GetFaceSlotContaining(a, b, c)] = index;
    }
  }
  return OK();
}

}  // namespace zemox
