// Sample request to the Voronoi3D service, made the way any caller makes it: through the
// registered interface and a Voronoi3DRef.

#include <random>
#include <vector>

#include "demos.h"
#include "geom/voronoi3d.h"

namespace zemox {

// Volume enclosed by a cell's faces (each loop fanned from its first vertex), positive for a cell
// whose loops run counter-clockwise seen from outside.
static Float EnclosedVolume(const CellData& cell) {
  Float volume = 0;
  for (Int first : cell.faces) {
    const Vector& a = cell.vertices[cell.edges[first].start];
    for (Int e = cell.edges[first].next; cell.edges[e].end != cell.edges[first].start; e = cell.edges[e].next)
      volume += Dot(a, Cross(cell.vertices[cell.edges[e].start], cell.vertices[cell.edges[e].end])) / 6.0;
  }
  return volume;
}

bool RunVoronoi3DDemo(const DemoOutput& output) {
  std::FILE* out = output.out;
  Result<Voronoi3DRef> created = Voronoi3DRef::Create();
  if (!created) {
    std::fprintf(out, "voronoi3d: no instance: %s\n", created.GetError().Class().Text());
    return false;
  }
  Voronoi3DRef& voronoi = created.Value();
  // Scene units: a 100-unit box, well above the absolute merge radius of the Voronoi vertices.
  std::mt19937_64 random(2025);
  std::uniform_real_distribution<Float> coordinate(0.0, 100.0);
  std::vector<Vector> points(4000);
  for (Vector& point : points) point = {coordinate(random), coordinate(random), coordinate(random)};
  voronoi.SetForClipping(true);
  Result<void> run = voronoi.Init({});
  if (run) run = voronoi.SetPoints({points.data(), static_cast<Int>(points.size())});
  if (run) run = voronoi.CalcCells();
  if (!run) {
    std::fprintf(out, "voronoi3d: failed: %s (%.*s)\n", run.GetError().Class().Text(),
                 static_cast<int>(run.GetError().Message().size()), run.GetError().Message().data());
    return false;
  }
  // Border cells reach out towards the enclosing corners, so the total volume is far larger than
  // the box's.
  Int closed = 0;
  Int border = 0;
  Float totalVolume = 0;
  const Block<const Bool> borderFlags = voronoi.GetBorderCellFlags();
  for (Int c = 0; c < voronoi.GetCellCount(); ++c) {
    const CellData& cell = voronoi.GetCellDataStructure()[c];
    Bool linked = !cell.IsEmpty();
    for (const CellEdge& edge : cell.edges) linked = linked && edge.twin >= 0;
    closed += linked;
    border += borderFlags[c + 4];
    totalVolume += EnclosedVolume(cell);
  }
  std::fprintf(out,
               "voronoi3d: %zu random points in a 100-unit box -> %lld cells, %lld closed, %lld at the border; "
               "total volume %.6g\n",
               points.size(), static_cast<long long>(voronoi.GetCellCount()), static_cast<long long>(closed),
               static_cast<long long>(border), totalVolume);
  return closed == voronoi.GetCellCount() && voronoi.GetCellCount() == static_cast<Int>(points.size());
}

}  // namespace zemox
