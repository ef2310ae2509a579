// Operations on half-edge cells: building faces, linking twins, removing two-face vertices,
// merging, plane clipping and scaling.

#include "voronoi3d/cellops.h"

#include <algorithm>
#include <cmath>

#include "portability.h"

namespace zemox {

// ---- VertexIdMap ----

Int VertexIdMap::SlotOf(Int id) const {
  const Int mask = keys_.GetCount() - 1;
  Int slot = static_cast<Int>((static_cast<UInt>(id) * 0x9E3779B97F4A7C15ull) >> 20) & mask;
  while (keys_[slot] != -1 && keys_[slot] != id) slot = (slot + 1) & mask;
  return slot;
}

Int VertexIdMap::Find(Int id) const {
  if (keys_.IsEmpty()) return -1;
  const Int slot = SlotOf(id);
  return keys_[slot] == id ? values_[slot] : -1;
}

Result<void> VertexIdMap::Grow() {
  const Int capacity = keys_.IsEmpty() ? 64 : keys_.GetCount() * 2;
  BaseArray<Int> keys;
  BaseArray<Int> values;
  BaseArray<Int> filled;
  ZEMOX_TRY(keys.Resize(capacity));
  ZEMOX_TRY(values.Resize(capacity));
  ZEMOX_TRY(filled.EnsureCapacity(capacity / 2 + 1));
  std::fill(keys.begin(), keys.end(), -1);
  std::swap(keys, keys_);
  std::swap(values, values_);
  for (Int slot : filled_) {
    const Int target = SlotOf(keys[slot]);
    keys_[target] = keys[slot];
    values_[target] = values[slot];
    ZEMOX_TRY(filled.Append(target));
  }
  filled_ = std::move(filled);
  return OK();
}

Result<void> VertexIdMap::Insert(Int id, Int local) {
  // Half full at most, so that probe runs stay short.
  if (2 * (filled_.GetCount() + 1) > keys_.GetCount()) ZEMOX_TRY(Grow());
  const Int slot = SlotOf(id);
  if (keys_[slot] == -1) ZEMOX_TRY(filled_.Append(slot));
  keys_[slot] = id;
  values_[slot] = local;
  return OK();
}

void VertexIdMap::Clear() {
  for (Int slot : filled_) keys_[slot] = -1;
  filled_.Reset();
}

// ---- Building ----

Result<Int> AddCellVertex(CellData& cell, CellScratch& scratch, Int id, const Vector& position) {
  if (id >= 0) {
    const Int known = scratch.idMap.Find(id);
    if (known >= 0) return known;
  }
  const Int local = cell.vertices.GetCount();
  ZEMOX_TRY(cell.vertexIds.Append(id));
  ZEMOX_TRY(cell.vertices.Append(position));
  if (id >= 0) ZEMOX_TRY(scratch.idMap.Insert(id, local));
  return local;
}

Result<void> AddCellFace(CellData& cell, Block<const Int> loop, Int32 neighbor) {
  // The loop's distinct corners: drop each vertex equal to its predecessor, cyclically.
  Int cornerCount = 0;
  for (Int k = 0; k < loop.GetCount(); ++k)
    if (loop[k] != loop[(k + loop.GetCount() - 1) % loop.GetCount()]) ++cornerCount;
  if (cornerCount < 3) return OK();
  const Int first = cell.edges.GetCount();
  ZEMOX_TRY(cell.edges.EnsureCapacity(first + cornerCount));
  Int previousCorner = -1;
  for (Int k = 0; k < loop.GetCount(); ++k) {
    if (loop[k] == loop[(k + loop.GetCount() - 1) % loop.GetCount()]) continue;
    if (previousCorner >= 0) {
      const Int own = cell.edges.GetCount();
      ZEMOX_TRY(cell.edges.Append({previousCorner, loop[k], own + 1, own - 1, -1}));
    }
    previousCorner = loop[k];
  }
  // The closing edge runs from the last corner back to the first one.
  const Int own = cell.edges.GetCount();
  ZEMOX_TRY(cell.edges.Append({previousCorner, cell.edges[first].start, first, own - 1, -1}));
  cell.edges[first].previous = own;
  ZEMOX_TRY(cell.faces.Append(first));
  return cell.faceNeighbors.Append(neighbor);
}

Result<Bool> LinkTwins(CellData& cell, CellScratch& scratch) {
  // Outgoing half-edges per start vertex, in edge order, so that the first later partner is found
  // among a vertex's few edges instead of the whole cell.
  const Int vertexCount = cell.vertices.GetCount();
  BaseArray<Int>& offsets = scratch.outgoingOffsets;
  ZEMOX_TRY(offsets.Resize(vertexCount + 1));
  std::fill(offsets.begin(), offsets.end(), 0);
  for (CellEdge& edge : cell.edges) {
    edge.twin = -1;
    ++offsets[edge.start + 1];
  }
  for (Int v = 0; v < vertexCount; ++v) offsets[v + 1] += offsets[v];
  ZEMOX_TRY(scratch.outgoing.Resize(cell.edges.GetCount()));
  ZEMOX_TRY(scratch.localOf.Resize(vertexCount));
  std::copy(offsets.begin(), offsets.begin() + vertexCount, scratch.localOf.begin());
  for (Int e = 0; e < cell.edges.GetCount(); ++e) scratch.outgoing[scratch.localOf[cell.edges[e].start]++] = e;

  for (Int i = 0; i < cell.edges.GetCount(); ++i) {
    CellEdge& edge = cell.edges[i];
    if (edge.twin >= 0) continue;
    for (Int k = offsets[edge.end]; k < offsets[edge.end + 1] && edge.twin < 0; ++k) {
      const Int j = scratch.outgoing[k];
      if (j > i && cell.edges[j].twin < 0 && cell.edges[j].end == edge.start) {
        edge.twin = j;
        cell.edges[j].twin = i;
      }
    }
    if (edge.twin < 0) return false;
  }
  return true;
}

// ---- Two-face vertices ----

static Int LoopLength(const CellData& cell, Int edge) {
  Int length = 1;
  for (Int e = cell.edges[edge].next; e != edge && length <= cell.edges.GetCount(); e = cell.edges[e].next) ++length;
  return length;
}

// Keeps the edges not marked removed and the vertices they use, renumbering both.
static Result<void> CompactCell(CellData& cell, CellScratch& scratch) {
  BaseArray<Int>& newEdge = scratch.cuts;
  ZEMOX_TRY(newEdge.Resize(cell.edges.GetCount()));
  BaseArray<Int>& newVertex = scratch.localOf;
  ZEMOX_TRY(newVertex.Resize(cell.vertices.GetCount()));
  std::fill(newVertex.begin(), newVertex.end(), -1);
  Int edgeCount = 0;
  for (Int e = 0; e < cell.edges.GetCount(); ++e) {
    newEdge[e] = scratch.removed[e] ? -1 : edgeCount++;
    if (!scratch.removed[e]) newVertex[cell.edges[e].start] = 0;
  }
  Int vertexCount = 0;
  for (Int v = 0; v < cell.vertices.GetCount(); ++v) {
    if (newVertex[v] < 0) continue;
    newVertex[v] = vertexCount;
    cell.vertices[vertexCount] = cell.vertices[v];
    cell.vertexIds[vertexCount] = cell.vertexIds[v];
    ++vertexCount;
  }
  for (Int e = 0; e < cell.edges.GetCount(); ++e) {
    if (newEdge[e] < 0) continue;
    const CellEdge& old = cell.edges[e];
    cell.edges[newEdge[e]] = {newVertex[old.start], newVertex[old.end], newEdge[old.next], newEdge[old.previous],
                              old.twin < 0 ? -1 : newEdge[old.twin]};
  }
  for (Int& face : cell.faces) face = newEdge[face];
  ZEMOX_TRY(cell.edges.Resize(edgeCount));
  ZEMOX_TRY(cell.vertices.Resize(vertexCount));
  return cell.vertexIds.Resize(vertexCount);
}

// Joins edge e (a to v) with its successor (v to b) into a to b, and the reverse pair likewise.
static void JoinAtVertex(CellData& cell, CellScratch& scratch, Int e) {
  const Int n = cell.edges[e].next;
  const Int reverseN = cell.edges[n].twin;
  const Int reverseE = cell.edges[e].twin;
  auto join = [&](Int kept, Int dropped) {
    cell.edges[kept].end = cell.edges[dropped].end;
    cell.edges[kept].next = cell.edges[dropped].next;
    cell.edges[cell.edges[dropped].next].previous = kept;
    scratch.removed[dropped] = true;
    for (Int& face : cell.faces)
      if (face == dropped) face = kept;
  };
  join(e, n);
  join(reverseN, reverseE);
  cell.edges[e].twin = reverseN;
  cell.edges[reverseN].twin = e;
}

Result<void> RemoveTwoFaceVertices(CellData& cell, CellScratch& scratch) {
  for (Int round = 0; round < 2; ++round) {
    ZEMOX_TRY(scratch.removed.Resize(cell.edges.GetCount()));
    std::fill(scratch.removed.begin(), scratch.removed.end(), false);
    Bool found = false;
    for (Int e = 0; e < cell.edges.GetCount(); ++e) {
      if (scratch.removed[e]) continue;
      const CellEdge& edge = cell.edges[e];
      const Int reverseN = cell.edges[edge.next].twin;
      if (edge.twin < 0 || reverseN < 0 || cell.edges[reverseN].next != edge.twin) continue;
      // Both faces must keep three corners; a two-corner face would bound no area.
      if (LoopLength(cell, e) < 4 || LoopLength(cell, reverseN) < 4) continue;
      JoinAtVertex(cell, scratch, e);
      found = true;
    }
    if (!found) return OK();
    ZEMOX_TRY(CompactCell(cell, scratch));
  }
  return OK();
}

// ---- Merging ----

Result<void> AppendCell(CellData& target, const CellData& source, Int32 skipNeighbor) {
  const Int vertexShift = target.vertices.GetCount();
  const Int edgeShift = target.edges.GetCount();
  ZEMOX_TRY(target.vertexIds.Append(source.vertexIds.ToBlock()));
  ZEMOX_TRY(target.vertices.Append(source.vertices.ToBlock()));
  ZEMOX_TRY(target.edges.EnsureCapacity(edgeShift + source.edges.GetCount()));
  for (const CellEdge& edge : source.edges)
    ZEMOX_TRY(target.edges.Append({edge.start + vertexShift, edge.end + vertexShift, edge.next + edgeShift,
                                   edge.previous + edgeShift, edge.twin < 0 ? -1 : edge.twin + edgeShift}));
  for (Int f = 0; f < source.faces.GetCount(); ++f) {
    if (source.faceNeighbors[f] == skipNeighbor) continue;
    ZEMOX_TRY(target.faces.Append(source.faces[f] + edgeShift));
    ZEMOX_TRY(target.faceNeighbors.Append(source.faceNeighbors[f]));
  }
  return OK();
}

void DropFacesToward(CellData& cell, Int32 neighbor) {
  Int kept = 0;
  for (Int f = 0; f < cell.faces.GetCount(); ++f) {
    if (cell.faceNeighbors[f] == neighbor) continue;
    cell.faces[kept] = cell.faces[f];
    cell.faceNeighbors[kept] = cell.faceNeighbors[f];
    ++kept;
  }
  while (cell.faces.GetCount() > kept) {
    cell.faces.Pop();
    cell.faceNeighbors.Pop();
  }
}

Result<Bool> RebuildMergedCell(CellData& cell, CellScratch& scratch) {
  CellData rebuilt;
  rebuilt.fused = cell.fused;
  scratch.idMap.Clear();
  ZEMOX_TRY(scratch.localOf.Resize(cell.vertices.GetCount()));
  std::fill(scratch.localOf.begin(), scratch.localOf.end(), -1);
  for (Int f = 0; f < cell.faces.GetCount(); ++f) {
    scratch.loop.Reset();
    const Int first = cell.faces[f];
    Int e = first;
    do {
      const Int v = cell.edges[e].start;
      if (scratch.localOf[v] < 0)
        scratch.localOf[v] = ZEMOX_TRY(AddCellVertex(rebuilt, scratch, cell.vertexIds[v], cell.vertices[v]));
      ZEMOX_TRY(scratch.loop.Append(scratch.localOf[v]));
      e = cell.edges[e].next;
    } while (e != first && scratch.loop.GetCount() <= cell.edges.GetCount());
    ZEMOX_TRY(AddCellFace(rebuilt, scratch.loop.ToBlock(), cell.faceNeighbors[f]));
  }
  scratch.idMap.Clear();
  const Bool closed = ZEMOX_TRY(LinkTwins(rebuilt, scratch));
  if (!closed) rebuilt.Clear();
  cell = std::move(rebuilt);
  return closed;
}

void ReverseCell(CellData& cell) {
  for (CellEdge& edge : cell.edges) {
    std::swap(edge.start, edge.end);
    std::swap(edge.next, edge.previous);
  }
}

// ---- Plane clip and scaling ----

// The clip point on edge s-t, computed from the kept end so that both half-edges get one point.
static Vector CutPoint(const CellData& cell, const BaseArray<Float>& distances, Int s, Int t) {
  if (distances[s] > 0) std::swap(s, t);
  const Float share = distances[s] / (distances[s] - distances[t]);
  return cell.vertices[s] + (cell.vertices[t] - cell.vertices[s]) * share;
}

// Emits the kept part of one face as a loop of clipped-cell vertices; returns whether a corner lies
// off the plane (a face lying in the plane is replaced by the cap).
static Result<Bool> ClipFaceLoop(const CellData& cell, CellScratch& scratch, CellData& clipped, Int face) {
  const BaseArray<Float>& d = scratch.distances;
  scratch.loop.Reset();
  Bool offPlane = false;
  Int e = cell.faces[face];
  do {
    const CellEdge& edge = cell.edges[e];
    if (d[edge.start] <= 0) {
      ZEMOX_TRY(scratch.loop.Append(scratch.localOf[edge.start]));
      offPlane = offPlane || d[edge.start] < 0;
    }
    if ((d[edge.start] < 0 && d[edge.end] > 0) || (d[edge.start] > 0 && d[edge.end] < 0)) {
      if (scratch.cuts[e] < 0) {
        const Int cut = ZEMOX_TRY(AddCellVertex(clipped, scratch, -1, CutPoint(cell, d, edge.start, edge.end)));
        scratch.cuts[e] = cut;
        if (edge.twin >= 0) scratch.cuts[edge.twin] = cut;
      }
      ZEMOX_TRY(scratch.loop.Append(scratch.cuts[e]));
    }
    e = edge.next;
  } while (e != cell.faces[face]);
  return offPlane;
}

// The cap closes the cut: the clipped cell's vertices on the plane, counter-clockwise around the
// normal, which points out of the kept part. The section of a convex cell is convex, so ordering by
// angle around the centroid is enough.
static Result<void> AddCap(CellData& clipped, CellScratch& scratch, const Vector& normal, Int32 neighbor,
                           Block<const Int> onPlane) {
  Vector centre;
  for (Int v : onPlane) centre = centre + clipped.vertices[v];
  centre = centre * (1.0 / static_cast<Float>(onPlane.GetCount()));
  const Vector helper = std::abs(normal.x) < 0.6 ? Vector{1, 0, 0} : Vector{0, 1, 0};
  const Vector u = Cross(normal, helper) * (1.0 / Length(Cross(normal, helper)));
  const Vector w = Cross(normal, u);
  scratch.capOrder.Reset();
  for (Int v : onPlane) {
    const Vector r = clipped.vertices[v] - centre;
    ZEMOX_TRY(scratch.capOrder.Append({std::atan2(Dot(r, w), Dot(r, u)), v}));
  }
  std::sort(scratch.capOrder.begin(), scratch.capOrder.end());
  scratch.loop.Reset();
  for (const auto& [angle, v] : scratch.capOrder) ZEMOX_TRY(scratch.loop.Append(v));
  return AddCellFace(clipped, scratch.loop.ToBlock(), neighbor);
}

Result<Bool> ClipCellByPlane(CellData& cell, CellScratch& scratch, const Vector& planePoint, const Vector& normal,
                             Int32 neighbor) {
  const Int vertexCount = cell.vertices.GetCount();
  ZEMOX_TRY(scratch.distances.Resize(vertexCount));
  Bool anyKept = false;
  Bool anyDropped = false;
  for (Int v = 0; v < vertexCount; ++v) {
    Float d = Dot(cell.vertices[v] - planePoint, normal);
    // Vertices this close count as on the plane, so that a face lying in it is not cut into slivers.
    if (std::abs(d) < 1e-9) d = 0;
    scratch.distances[v] = d;
    anyKept = anyKept || d <= 0;
    anyDropped = anyDropped || d > 0;
  }
  if (!anyKept) return true;
  if (!anyDropped) return false;

  CellData clipped;
  clipped.fused = cell.fused;
  ZEMOX_TRY(scratch.localOf.Resize(vertexCount));
  BaseArray<Int> onPlane;
  for (Int v = 0; v < vertexCount; ++v) {
    scratch.localOf[v] = -1;
    if (scratch.distances[v] > 0) continue;
    scratch.localOf[v] = ZEMOX_TRY(AddCellVertex(clipped, scratch, -1, cell.vertices[v]));
    clipped.vertexIds[scratch.localOf[v]] = cell.vertexIds[v];
    if (scratch.distances[v] == 0) ZEMOX_TRY(onPlane.Append(scratch.localOf[v]));
  }
  ZEMOX_TRY(scratch.cuts.Resize(cell.edges.GetCount()));
  std::fill(scratch.cuts.begin(), scratch.cuts.end(), -1);
  const Int firstCut = clipped.vertices.GetCount();
  for (Int f = 0; f < cell.faces.GetCount(); ++f) {
    const Bool offPlane = ZEMOX_TRY(ClipFaceLoop(cell, scratch, clipped, f));
    if (offPlane) ZEMOX_TRY(AddCellFace(clipped, scratch.loop.ToBlock(), cell.faceNeighbors[f]));
  }
  // Only a corner, an edge or a face on the plane would remain: nothing with volume.
  if (clipped.faces.IsEmpty()) return true;
  for (Int v = firstCut; v < clipped.vertices.GetCount(); ++v) ZEMOX_TRY(onPlane.Append(v));
  ZEMOX_TRY(AddCap(clipped, scratch, normal, neighbor, onPlane.ToBlock()));
  ZEMOX_TRY(LinkTwins(clipped, scratch));
  cell = std::move(clipped);
  return false;
}

// Newell's normal of a face loop, scaled to unit length; zero for a loop too small to have one.
static Vector FaceNormal(const CellData& cell, Int face) {
  Vector n;
  Int e = cell.faces[face];
  do {
    const Vector& s = cell.vertices[cell.edges[e].start];
    const Vector& t = cell.vertices[cell.edges[e].end];
    n = n + Vector{(s.y - t.y) * (s.z + t.z), (s.z - t.z) * (s.x + t.x), (s.x - t.x) * (s.y + t.y)};
    e = cell.edges[e].next;
  } while (e != cell.faces[face]);
  const Float length = Length(n);
  return length > 1e-10 ? n * (1.0 / length) : Vector{};
}

Result<Bool> ScaleCellData(CellData& cell, CellScratch& scratch, Float scaleValue) {
  // Growing is not supported and tiny values would only move planes by rounding noise.
  if (std::abs(scaleValue) < 0.0001 || scaleValue > 0) return false;
  // The planes come from the faces as they are before the first clip changes them.
  const Int faceCount = cell.faces.GetCount();
  ZEMOX_TRY(scratch.planePoints.Resize(faceCount));
  ZEMOX_TRY(scratch.planeNormals.Resize(faceCount));
  ZEMOX_TRY(scratch.planeNeighbors.CopyFrom(cell.faceNeighbors.ToBlock()));
  for (Int f = 0; f < faceCount; ++f) {
    scratch.planeNormals[f] = FaceNormal(cell, f);
    scratch.planePoints[f] = cell.vertices[cell.edges[cell.faces[f]].start] + scratch.planeNormals[f] * scaleValue;
  }
  for (Int f = 0; f < faceCount; ++f) {
    const Vector normal = scratch.planeNormals[f];
    if (normal == Vector{}) continue;
    const Bool vanished =
        ZEMOX_TRY(ClipCellByPlane(cell, scratch, scratch.planePoints[f], normal, scratch.planeNeighbors[f]));
    if (vanished) {
      cell.Clear();
      return true;
    }
  }
  return false;
}

}  // namespace zemox
