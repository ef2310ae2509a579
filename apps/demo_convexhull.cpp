// Sample request to the convex hull service, made the way any caller makes it: through the
// registered interface and a ConvexHullRef.

#include <random>
#include <vector>

#include "demos.h"
#include "geom/convexhull.h"

namespace zemox {

bool RunConvexHullDemo(std::FILE* out) {
  Result<ConvexHullRef> created = ConvexHullRef::Create();
  if (!created) {
    std::fprintf(out, "convexhull: no instance: %s\n", created.GetError().Class().Text());
    return false;
  }
  std::mt19937_64 random(2024);
  std::uniform_real_distribution<Float> coordinate(-10.0, 10.0);
  std::vector<Vector> points(20000);
  for (Vector& point : points) point = {coordinate(random), coordinate(random), coordinate(random)};
  ConvexHullRecord hull;
  const Result<Float> shrunk =
      created.Value().ComputeConvexHull({points.data(), static_cast<Int>(points.size())}, 0.0, 0.0, hull);
  if (!shrunk) {
    std::fprintf(out, "convexhull: failed: %s (%.*s)\n", shrunk.GetError().Class().Text(),
                 static_cast<int>(shrunk.GetError().Message().size()), shrunk.GetError().Message().data());
    return false;
  }
  // Every directed edge has a reverse, so a closed hull satisfies V - E/2 + F = 2.
  const Int vertices = hull.vertices.GetCount();
  const Int edges = hull.edges.GetCount() / 2;
  const Int faces = hull.faces.GetCount();
  std::fprintf(out, "convexhull: %zu random points -> %lld vertices, %lld edges, %lld faces; V - E + F = %lld\n",
               points.size(), static_cast<long long>(vertices), static_cast<long long>(edges),
               static_cast<long long>(faces), static_cast<long long>(vertices - edges + faces));
  return vertices - edges + faces == 2;
}

}  // namespace zemox
