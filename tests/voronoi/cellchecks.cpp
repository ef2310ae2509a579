#include "voronoi/cellchecks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>
#include <vector>

#include "voronoi3d/cellops.h"

namespace zemox {

Vector FaceNormal(const CellData& cell, Int face) {
  Vector n;
  Int e = cell.faces[face];
  const Vector& origin = cell.vertices[cell.edges[e].start];
  do {
    n = n + Cross(cell.vertices[cell.edges[e].start] - origin, cell.vertices[cell.edges[e].end] - origin);
    e = cell.edges[e].next;
  } while (e != cell.faces[face]);
  return n;
}

std::string CellDefects(const CellData& cell, Bool convex, Bool connected, Float tolerance) {
  const Int edgeCount = cell.edges.GetCount();
  if (cell.faces.GetCount() != cell.faceNeighbors.GetCount()) return "faces and neighbours differ in count";
  if (cell.vertices.GetCount() != cell.vertexIds.GetCount()) return "vertices and ids differ in count";
  std::vector<int> faceOf(edgeCount, -1);
  for (Int f = 0; f < cell.faces.GetCount(); ++f) {
    Int e = cell.faces[f];
    Int length = 0;
    do {
      if (e < 0 || e >= edgeCount) return "face " + std::to_string(f) + " leaves the edges";
      if (faceOf[e] != -1) return "edge " + std::to_string(e) + " in two loops";
      faceOf[e] = static_cast<int>(f);
      const CellEdge& edge = cell.edges[e];
      if (cell.edges[edge.next].previous != e) return "next/previous disagree at " + std::to_string(e);
      if (cell.edges[edge.next].start != edge.end) return "loop breaks at " + std::to_string(e);
      e = edge.next;
      ++length;
    } while (e != cell.faces[f]);
    if (length < 3) return "face " + std::to_string(f) + " has fewer than three edges";
  }
  for (Int e = 0; e < edgeCount; ++e) {
    const CellEdge& edge = cell.edges[e];
    if (faceOf[e] == -1) return "edge " + std::to_string(e) + " in no face";
    if (edge.twin < 0 || edge.twin >= edgeCount) return "edge " + std::to_string(e) + " has no twin";
    const CellEdge& twin = cell.edges[edge.twin];
    if (twin.twin != e || twin.start != edge.end || twin.end != edge.start)
      return "twin of " + std::to_string(e) + " does not reverse it";
  }
  const Box3D box = cell.GetBoundingBox();
  const Float size = Length(box.max - box.min);
  for (Int f = 0; f < cell.faces.GetCount(); ++f) {
    const Vector n = FaceNormal(cell, f);
    const Float length = Length(n);
    if (!(length > 0)) return "face " + std::to_string(f) + " has no normal";
    const Vector unit = n * (1.0 / length);
    const Vector& origin = cell.vertices[cell.edges[cell.faces[f]].start];
    Int e = cell.faces[f];
    do {
      const CellEdge& edge = cell.edges[e];
      if (std::abs(Dot(cell.vertices[edge.start] - origin, unit)) > tolerance * size)
        return "face " + std::to_string(f) + " is not planar";
      const Vector turn = Cross(cell.vertices[edge.end] - cell.vertices[edge.start],
                                cell.vertices[cell.edges[edge.next].end] - cell.vertices[edge.end]);
      if (convex && Dot(turn, unit) < -tolerance * size * size) return "face " + std::to_string(f) + " is not convex";
      e = edge.next;
    } while (e != cell.faces[f]);
    if (!convex) continue;
    for (const Vector& v : cell.vertices)
      if (Dot(v - origin, unit) > tolerance * size) return "face " + std::to_string(f) + " does not face outward";
  }
  const Int euler = cell.vertices.GetCount() - edgeCount / 2 + cell.faces.GetCount();
  if (connected && !cell.faces.IsEmpty() && euler != 2) return "Euler characteristic " + std::to_string(euler);
  return "";
}

Float CellVolume(const CellData& cell) {
  Float volume = 0;
  for (Int f = 0; f < cell.faces.GetCount(); ++f) {
    const Int first = cell.faces[f];
    const Vector& a = cell.vertices[cell.edges[first].start];
    for (Int e = cell.edges[first].next; cell.edges[e].end != cell.edges[first].start; e = cell.edges[e].next)
      volume += Dot(a, Cross(cell.vertices[cell.edges[e].start], cell.vertices[cell.edges[e].end])) / 6.0;
  }
  return volume;
}

CellData CellFromPolygons(const std::vector<std::vector<Vector>>& polygons) {
  CellData cell;
  CellScratch scratch;
  std::map<std::tuple<Float, Float, Float>, Int> known;
  for (const auto& polygon : polygons) {
    std::vector<Int> loop;
    for (const Vector& p : polygon) {
      auto [it, added] = known.try_emplace({p.x, p.y, p.z}, cell.vertices.GetCount());
      if (added) {
        EXPECT_TRUE(AddCellVertex(cell, scratch, cell.vertices.GetCount(), p));
      }
      loop.push_back(it->second);
    }
    EXPECT_TRUE(AddCellFace(cell, {loop.data(), static_cast<Int>(loop.size())}, 100));
  }
  EXPECT_TRUE(LinkTwins(cell, scratch).Value());
  return cell;
}

CellData BoxCell(Vector l, Vector h) {
  // Corner k takes the high coordinate on each axis whose bit (x = 1, y = 2, z = 4) is set.
  auto corner = [&](int k) { return Vector{k & 1 ? h.x : l.x, k & 2 ? h.y : l.y, k & 4 ? h.z : l.z}; };
  const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  std::vector<std::vector<Vector>> polygons;
  for (const auto& face : faces)
    polygons.push_back({corner(face[0]), corner(face[1]), corner(face[2]), corner(face[3])});
  return CellFromPolygons(polygons);
}

}  // namespace zemox
