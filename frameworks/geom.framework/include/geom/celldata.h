#pragma once

#include "geom/geometrytypes.h"
#include "zemox/basearray.h"
#include "zemox/block.h"
#include "zemox/types.h"

namespace zemox {

// One directed edge of a cell face; every field is an index into the cell's own arrays.
struct CellEdge {
  Int start = 0;
  Int end = 0;
  // The following and the preceding edge of the same face loop.
  Int next = 0;
  Int previous = 0;
  // The same edge in the opposite direction, in the neighbouring face; -1 until linked.
  Int twin = -1;
};

// One Voronoi cell: a convex polyhedron, or after fusion a union of cells, as half-edges. Face loops
// run counter-clockwise seen from outside the cell. Move-only, like the arrays it holds.
struct CellData {
  // Per vertex, the Voronoi vertex it stems from: the index of the Delaunay tetrahedron whose
  // circumcentre it is (or the representative of the merged vertices around it); -1 for a vertex
  // that a plane clip or an enclosing tetrahedron created.
  BaseArray<Int> vertexIds;
  // Vertex positions, parallel to vertexIds.
  BaseArray<Vector> vertices;
  BaseArray<CellEdge> edges;
  // Per face, the first half-edge of its loop.
  BaseArray<Int> faces;
  // Per face, the tetrahedralisation point on the other side: cell index + 4, or 0 to 3 (the
  // enclosing corners) for the outside; -1 where no point is behind the face.
  BaseArray<Int32> faceNeighbors;
  // Set when the cell took part in a fusion.
  Bool fused = false;

  Block<const Int> GetVertexIds() const { return vertexIds.ToBlock(); }
  Block<const Vector> GetVertices() const { return vertices.ToBlock(); }
  Block<const CellEdge> GetEdges() const { return edges.ToBlock(); }
  Block<const Int> GetFaces() const { return faces.ToBlock(); }
  Block<const Int32> GetFaceNeighbors() const { return faceNeighbors.ToBlock(); }
  Bool IsFused() const { return fused; }
  Bool IsEmpty() const { return faces.IsEmpty(); }

  // The box of the vertices; an empty cell gives the empty box (min above max).
  Box3D GetBoundingBox() const {
    Box3D box;
    for (const Vector& v : vertices) {
      box.min = {v.x < box.min.x ? v.x : box.min.x, v.y < box.min.y ? v.y : box.min.y,
                 v.z < box.min.z ? v.z : box.min.z};
      box.max = {v.x > box.max.x ? v.x : box.max.x, v.y > box.max.y ? v.y : box.max.y,
                 v.z > box.max.z ? v.z : box.max.z};
    }
    return box;
  }

  // Empties every array and keeps their memory; the fused flag is left as it is.
  void Clear() {
    vertexIds.Reset();
    vertices.Reset();
    edges.Reset();
    faces.Reset();
    faceNeighbors.Reset();
  }

  // Replaces this cell by a deep copy of src.
  Result<void> CopyFrom(const CellData& src) {
    ZEMOX_RETURN_IF_FAILED(vertexIds.CopyFrom(src.vertexIds.ToBlock()));
    ZEMOX_RETURN_IF_FAILED(vertices.CopyFrom(src.vertices.ToBlock()));
    ZEMOX_RETURN_IF_FAILED(edges.CopyFrom(src.edges.ToBlock()));
    ZEMOX_RETURN_IF_FAILED(faces.CopyFrom(src.faces.ToBlock()));
    ZEMOX_RETURN_IF_FAILED(faceNeighbors.CopyFrom(src.faceNeighbors.ToBlock()));
    fused = src.fused;
    return OK();
  }
};

}  // namespace zemox
