#pragma once

#include <cstdio>

namespace zemox {

// Runs one sample request per service through the registered interfaces and prints a short report.
// Returns false when a request failed.
bool RunDemos(std::FILE* out);

// Exact 2D predicates: outline tests and orientation and in-circle signs on degenerate input.
bool RunExactPredicates2DDemo(std::FILE* out);

// Sorts nested squares into outer boundaries and holes and prints the sorter's text.
bool RunSortOutlines2DDemo(std::FILE* out);

// Tetrahedralises a few thousand random points through Delaunay3DRef and checks the result.
bool RunDelaunay3DDemo(std::FILE* out);

// Hulls a random cloud through ConvexHullRef and reports its vertex, edge and face counts.
bool RunConvexHullDemo(std::FILE* out);

// Computes the Voronoi cells of a few thousand random points through Voronoi3DRef and reports the
// cell count, the closed cells and their volume.
bool RunVoronoi3DDemo(std::FILE* out);

}  // namespace zemox
