#pragma once

#include <cstdio>

namespace zemox {

// Where the sample requests report: a readable text on `out`, and with `svgDirectory` (may be null)
// an SVG picture of each 2D result.
struct DemoOutput {
  std::FILE* out;
  const char* svgDirectory;
};

// Runs one sample request per service through the registered interfaces and prints a short report.
// Returns false when a request failed.
bool RunDemos(const DemoOutput& output);

// Exact 2D predicates: outline tests and orientation and in-circle signs on degenerate input.
bool RunExactPredicates2DDemo(const DemoOutput& output);

// Sorts nested squares into outer boundaries and holes and prints the sorter's text.
bool RunSortOutlines2DDemo(const DemoOutput& output);

// Splits a self-crossing star outline into simple loops and prints them and its hull.
bool RunIntersectingOutlinesDemo(const DemoOutput& output);

// Tetrahedralises a few thousand random points through Delaunay3DRef and checks the result.
bool RunDelaunay3DDemo(const DemoOutput& output);

// Cuts an L-shaped piece into convex pieces, slides one piece around another for their no-fit polygon
// and unites two overlapping pieces, through GeometryUtilsInterface.
bool RunGeometryUtilsDemo(const DemoOutput& output);

// Hulls a random cloud through ConvexHullRef and reports its vertex, edge and face counts.
bool RunConvexHullDemo(const DemoOutput& output);

// Computes the Voronoi cells of a few thousand random points through Voronoi3DRef and reports the
// cell count, the closed cells and their volume.
bool RunVoronoi3DDemo(const DemoOutput& output);

}  // namespace zemox
