// Sample request to the Delaunay3D service, made the way any caller makes it: through the
// registered interface and a Delaunay3DRef.

#include <cmath>
#include <random>
#include <vector>

#include "demos.h"
#include "geom/delaunay3d.h"

namespace zemox {
namespace {

// In-sphere determinant of e against positively oriented (a, b, c, d) in plain floating point, with
// the magnitude of its terms, so that only clear violations count.
bool ClearlyInside(const Vector& a, const Vector& b, const Vector& c, const Vector& d, const Vector& e) {
  const Vector rows[4] = {a - e, b - e, c - e, d - e};
  Float det = 0.0;
  Float scale = 0.0;
  for (int skip = 0; skip < 4; ++skip) {
    const Vector* minor[3];
    for (int r = 0, k = 0; r < 4; ++r)
      if (r != skip) minor[k++] = &rows[r];
    const Float volume = Dot(*minor[0], Cross(*minor[1], *minor[2]));
    const Float lift = Dot(rows[skip], rows[skip]);
    det += (skip % 2 == 0 ? -1.0 : 1.0) * lift * volume;
    scale += lift * std::fabs(volume);
  }
  return det > 1e-10 * scale;
}

struct Report {
  Int negative = 0;
  Int brokenLinks = 0;
  Int nonDelaunay = 0;
};

Report Check(const Delaunay3DRef& tetrahedralization) {
  const Block<const Tetrahedron> tets = tetrahedralization.GetTetrahedrons();
  const Block<const Vector> points = tetrahedralization.GetPoints();
  Report report;
  for (Int32 i = 0; i < tets.GetCount(); ++i) {
    const Tetrahedron& tet = tets[i];
    const Vector& a = points[tet.v[0]];
    const Vector& b = points[tet.v[1]];
    const Vector& c = points[tet.v[2]];
    const Vector& d = points[tet.v[3]];
    if (tetrahedralization.OrientDet(a, b, c, d) <= 0.0) ++report.negative;
    for (Int32 neighbor : tet.n) {
      if (neighbor == -1) continue;
      const Int32 apex = tets[neighbor].GetVertexOppositeNeighbor(i);
      if (apex == -1) {
        ++report.brokenLinks;
        continue;
      }
      if (ClearlyInside(a, b, c, d, points[apex])) ++report.nonDelaunay;
    }
  }
  return report;
}

}  // namespace

bool RunDelaunay3DDemo(const DemoOutput& output) {
  std::FILE* out = output.out;
  Result<Delaunay3DRef> created = Delaunay3DRef::Create();
  if (!created) {
    std::fprintf(out, "delaunay3d: no instance: %s\n", created.GetError().Class().Text());
    return false;
  }
  Delaunay3DRef& tetrahedralization = created.Value();
  std::mt19937_64 random(2024);
  std::uniform_real_distribution<Float> coordinate(-10.0, 10.0);
  std::vector<Vector> points(5000);
  for (Vector& point : points) point = {coordinate(random), coordinate(random), coordinate(random)};
  Box3D workSpace;
  workSpace.min = {-10, -10, -10};
  workSpace.max = {10, 10, 10};
  Result<void> run = tetrahedralization.Init(workSpace);
  if (run) run = tetrahedralization.AddPointsIntoTetrahedralization({points.data(), static_cast<Int>(points.size())});
  if (run) run = tetrahedralization.CalculateDelaunayTetrahedralization();
  if (!run) {
    std::fprintf(out, "delaunay3d: failed: %s (%.*s)\n", run.GetError().Class().Text(),
                 static_cast<int>(run.GetError().Message().size()), run.GetError().Message().data());
    return false;
  }
  const Report report = Check(tetrahedralization);
  std::fprintf(out,
               "delaunay3d: %zu random points -> %lld points with the 4 enclosing corners, %lld tetrahedra; "
               "negative orientations %lld, broken links %lld, faces failing the in-sphere test %lld\n",
               points.size(), static_cast<long long>(tetrahedralization.GetPointCount()),
               static_cast<long long>(tetrahedralization.GetTetrahedronCount()),
               static_cast<long long>(report.negative), static_cast<long long>(report.brokenLinks),
               static_cast<long long>(report.nonDelaunay));
  return report.negative == 0 && report.brokenLinks == 0 && report.nonDelaunay == 0;
}

}  // namespace zemox
