#pragma once

#include <string>
#include <vector>

#include "geom/celldata.h"

namespace zemox {

// Empty when the cell is a closed, consistently linked polyhedron: every half-edge has a twin with
// reversed ends, next/previous loops agree, faces are planar within `tolerance` times the cell's
// size and, when convex is set, convex with outward normals; for a connected cell Euler's formula holds.
std::string CellDefects(const CellData& cell, Bool convex, Bool connected = true, Float tolerance = 1e-9);

// Normal of a face, by the sum of its edges' cross products: pointing outward for outward loops.
Vector FaceNormal(const CellData& cell, Int face);

// Volume enclosed by the faces, positive for outward loops.
Float CellVolume(const CellData& cell);

// Cell made of polygons given as position loops (counter-clockwise from outside); shared positions
// get one vertex, each with its own id, and twins are linked.
CellData CellFromPolygons(const std::vector<std::vector<Vector>>& polygons);

// Axis box [low, high]^3 as a cell.
CellData BoxCell(Vector low, Vector high);

}  // namespace zemox
