#pragma once

#include "zemox/block.h"
#include "zemox/types.h"

namespace zemox {

// One tetrahedron of a tetrahedralisation: four point indices and four neighbour indices (-1 where
// there is none). Neighbour slot j lies across the face opposite v[3 - j]. The face of slot j lists
// its vertices so that the 3D orientation of (face, q) is negative for a point q beyond that face and
// positive for the fourth vertex; a valid tetrahedron has a positive orientation of (v[0], ..., v[3]).
struct Tetrahedron {
  Int32 v[4];
  Int32 n[4];

  // Vertex positions of the face of each neighbour slot, in face order.
  static constexpr Int32 faceSlots[4][3] = {{0, 1, 2}, {0, 3, 1}, {0, 2, 3}, {1, 3, 2}};

  Tetrahedron() = default;
  constexpr Tetrahedron(Int32 v0, Int32 v1, Int32 v2, Int32 v3, Int32 n0, Int32 n1, Int32 n2, Int32 n3)
      : v{v0, v1, v2, v3}, n{n0, n1, n2, n3} {}

  // The face of neighbour slot j; an out-of-range slot leaves the outputs unchanged.
  constexpr void GetFaceVertices(Int32 slot, Int32& a, Int32& b, Int32& c) const {
    if (slot < 0 || slot > 3) return;
    a = v[faceSlots[slot][0]];
    b = v[faceSlots[slot][1]];
    c = v[faceSlots[slot][2]];
  }

  // The face shared with neighbour u; (-1, -1, -1) when u is no neighbour.
  constexpr void GetFaceVerticesToward(Int32 u, Int32& a, Int32& b, Int32& c) const {
    a = b = c = -1;
    GetFaceVertices(GetNeighborSlot(u), a, b, c);
  }

  // Replaces the first vertex a by b; false when a is no vertex.
  constexpr Bool ReplaceVertex(Int32 a, Int32 b) {
    const Int32 position = GetVertexPosition(a);
    if (position < 0) return false;
    v[position] = b;
    return true;
  }

  // Positions of a and of b among the vertices; an output stays untouched when its vertex is absent.
  constexpr void GetVertexSlots(Int32 a, Int32 b, Int32& slotA, Int32& slotB) const {
    for (Int32 i = 0; i < 4; ++i) {
      if (v[i] == a) slotA = i;
      if (v[i] == b) slotB = i;
    }
  }

  constexpr Int32 GetVertexPosition(Int32 a) const {
    for (Int32 i = 0; i < 4; ++i)
      if (v[i] == a) return i;
    return -1;
  }

  constexpr Bool HasVertex(Int32 a) const { return v[0] == a || v[1] == a || v[2] == a || v[3] == a; }

  constexpr Int32 GetNeighborSlot(Int32 u) const {
    for (Int32 j = 0; j < 4; ++j)
      if (n[j] == u) return j;
    return -1;
  }

  constexpr Int32 GetNeighborSlotOppositeVertex(Int32 a) const {
    const Int32 position = GetVertexPosition(a);
    return position < 0 ? -1 : 3 - position;
  }

  constexpr Int32 GetVertexOppositeSlot(Int32 slot) const { return slot < 0 || slot > 3 ? -1 : v[3 - slot]; }

  constexpr Int32 GetVertexOppositeNeighbor(Int32 u) const { return GetVertexOppositeSlot(GetNeighborSlot(u)); }

  // The slot whose face holds a, b and c (assumed to be three vertices of this tetrahedron): the
  // slot opposite the one vertex that is not among them.
  constexpr Int32 GetFaceSlotContaining(Int32 a, Int32 b, Int32 c) const {
    auto among = [&](Int32 x) { return x == a || x == b || x == c; };
    if (!among(v[0])) return 3;
    if (!among(v[1])) return 2;
    if (!among(v[2])) return 1;
    return 0;
  }

  // The first slot other than k whose face contains both a and b, or -1.
  constexpr Int32 GetOtherFaceSlotContaining(Int32 k, Int32 a, Int32 b) const {
    for (Int32 slot = 0; slot < 4; ++slot) {
      if (slot == k) continue;
      const Int32 opposite = v[3 - slot];
      if (opposite != a && opposite != b && HasVertex(a) && HasVertex(b)) return slot;
    }
    return -1;
  }

  // Weights of v[0..3] that reproduce `point` from the positions in `points`, in plain floating
  // point; they sum to 1. A flat tetrahedron gives non-finite weights.
  void GetBarycentricCoordinates(Block<const Vector> points, const Vector& point, Float (&weights)[4]) const {
    const Vector& origin = points[v[3]];
    const Vector e0 = points[v[0]] - origin;
    const Vector e1 = points[v[1]] - origin;
    const Vector e2 = points[v[2]] - origin;
    const Vector q = point - origin;
    const Float volume = Dot(e0, Cross(e1, e2));
    weights[0] = Dot(q, Cross(e1, e2)) / volume;
    weights[1] = Dot(e0, Cross(q, e2)) / volume;
    weights[2] = Dot(e0, Cross(e1, q)) / volume;
    weights[3] = 1.0 - weights[0] - weights[1] - weights[2];
  }
};

}  // namespace zemox
