#include "exact_checks.h"

#include <gmpxx.h>

#include <algorithm>
#include <cmath>

namespace zemox::testing {
namespace {

int Sign(const mpq_class& value) { return sgn(value); }
int Sign(double value) { return (value > 0.0) - (value < 0.0); }

template <typename T>
T Det3(const T m[3][3]) {
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// The first three columns of the rows other than `skip`.
template <typename T>
void Minor(const T rows[4][4], int skip, T minor[3][3]) {
  for (int r = 0, k = 0; r < 4; ++r) {
    if (r == skip) continue;
    for (int c = 0; c < 3; ++c) minor[k][c] = rows[r][c];
    ++k;
  }
}

// Determinant of the rows (x, y, z, x^2 + y^2 + z^2) by expansion along the last column.
template <typename T>
T LiftedDet(const T rows[4][4]) {
  T result = 0;
  for (int skip = 0; skip < 4; ++skip) {
    T minor[3][3];
    Minor(rows, skip, minor);
    const T term = rows[skip][3] * Det3(minor);
    result = (skip % 2 == 0) ? T(result - term) : T(result + term);
  }
  return result;
}

// Every term of a determinant's expansion takes one entry from each column, so the product of the
// columns' largest magnitudes bounds the terms, and a small multiple of it the rounding error.
template <int rows, int columns>
double TermBound(const double (&m)[rows][columns]) {
  double bound = 1;
  for (int c = 0; c < columns; ++c) {
    double largest = 0;
    for (int r = 0; r < rows; ++r) largest = std::max(largest, std::fabs(m[r][c]));
    bound *= largest;
  }
  return bound;
}

// The rows p - origin of the points, with |p - origin|^2 as a fourth column when there is one: rounded
// in double, exact in mpq_class.
template <typename T, int columns>
void DifferenceRows(const Vector* const* p, int count, const Vector& origin, T rows[][columns]) {
  for (int i = 0; i < count; ++i) {
    const T x = T(p[i]->x) - origin.x, y = T(p[i]->y) - origin.y, z = T(p[i]->z) - origin.z;
    rows[i][0] = x, rows[i][1] = y, rows[i][2] = z;
    if constexpr (columns == 4) rows[i][3] = x * x + y * y + z * z;
  }
}

}  // namespace

int ExactOrient3d(const Vector& a, const Vector& b, const Vector& c, const Vector& d) {
  const Vector* p[3] = {&a, &b, &c};
  double m[3][3];
  DifferenceRows(p, 3, d, m);
  const double det = Det3(m);
  if (std::fabs(det) > 1e-10 * TermBound(m)) return Sign(det);
  mpq_class q[3][3];
  DifferenceRows(p, 3, d, q);
  return Sign(Det3(q));
}

// The lifted determinant of the rows (p - e, |p - e|^2) is positive when e lies inside the sphere
// through positively oriented (a, b, c, d).
int ExactInsphere(const Vector& a, const Vector& b, const Vector& c, const Vector& d, const Vector& e) {
  const Vector* p[4] = {&a, &b, &c, &d};
  double rows[4][4];
  DifferenceRows(p, 4, e, rows);
  const double det = LiftedDet(rows);
  if (std::fabs(det) > 1e-10 * TermBound(rows)) return Sign(det);
  mpq_class q[4][4];
  DifferenceRows(p, 4, e, q);
  return Sign(LiftedDet(q));
}

namespace {

using ::testing::AssertionFailure;
using ::testing::AssertionResult;
using ::testing::AssertionSuccess;

Bool SameFace(const Tetrahedron& t, int slotT, const Tetrahedron& u, int slotU) {
  Int32 a[3], b[3];
  t.GetFaceVertices(slotT, a[0], a[1], a[2]);
  u.GetFaceVertices(slotU, b[0], b[1], b[2]);
  for (Int32 x : a)
    if (x != b[0] && x != b[1] && x != b[2]) return false;
  return true;
}

AssertionResult CheckStructure(Block<const Tetrahedron> tets, Block<const Vector> points) {
  const Int count = tets.GetCount();
  Int hullFaces = 0;
  for (Int i = 0; i < count; ++i) {
    const Tetrahedron& tet = tets[i];
    for (int k = 0; k < 4; ++k)
      if (tet.v[k] < 0 || tet.v[k] >= points.GetCount())
        return AssertionFailure() << "tetrahedron " << i << ": bad vertex";
    // A repeated vertex makes the orientation zero.
    if (ExactOrient3d(points[tet.v[0]], points[tet.v[1]], points[tet.v[2]], points[tet.v[3]]) <= 0)
      return AssertionFailure() << "tetrahedron " << i << ": orientation not positive";
    for (int slot = 0; slot < 4; ++slot) {
      const Int32 u = tet.n[slot];
      if (u == -1) {
        Int32 a = -1, b = -1, c = -1;
        tet.GetFaceVertices(slot, a, b, c);
        if (a > 3 || b > 3 || c > 3)
          return AssertionFailure() << "tetrahedron " << i << ": inner face without neighbour";
        ++hullFaces;
        continue;
      }
      if (u < 0 || u >= count || u == i) return AssertionFailure() << "tetrahedron " << i << ": bad neighbour";
      const int back = tets[u].GetNeighborSlot(static_cast<Int32>(i));
      if (back < 0)
        return AssertionFailure() << "tetrahedron " << i << ": "
                                  << "tetrahedron " << u << " has no link back";
      if (!SameFace(tet, slot, tets[u], back))
        return AssertionFailure() << "tetrahedron " << i << " and "
                                  << "tetrahedron " << u << ": shared faces differ";
    }
  }
  if (hullFaces != 4) return AssertionFailure() << hullFaces << " faces without neighbour instead of 4";
  return AssertionSuccess();
}

// Checked face by face only: in a valid tetrahedralisation, locally Delaunay everywhere means
// globally Delaunay.
AssertionResult CheckDelaunay(Block<const Tetrahedron> tets, Block<const Vector> points) {
  for (Int i = 0; i < tets.GetCount(); ++i) {
    const Tetrahedron& tet = tets[i];
    const Vector a = points[tet.v[0]], b = points[tet.v[1]], c = points[tet.v[2]], d = points[tet.v[3]];
    for (int slot = 0; slot < 4; ++slot) {
      const Int32 u = tet.n[slot];
      if (u == -1) continue;
      const Int32 apex = tets[u].GetVertexOppositeNeighbor(static_cast<Int32>(i));
      if (ExactInsphere(a, b, c, d, points[apex]) > 0)
        return AssertionFailure() << "tetrahedron " << i << ": apex " << apex << " of neighbour " << u
                                  << " lies inside the circumsphere";
    }
  }
  return AssertionSuccess();
}

// Positive tetrahedra that are correctly linked and fill the enclosing tetrahedron's volume cannot
// overlap.
AssertionResult CheckVolume(Block<const Tetrahedron> tets, Block<const Vector> points) {
  auto volume = [&](Int32 a, Int32 b, Int32 c, Int32 d) {
    return Dot(points[a] - points[d], Cross(points[b] - points[d], points[c] - points[d]));
  };
  long double sum = 0;
  for (const Tetrahedron& tet : tets) sum += volume(tet.v[0], tet.v[1], tet.v[2], tet.v[3]);
  const double whole = volume(0, 1, 2, 3);
  if (std::fabs(static_cast<double>(sum) - whole) > 1e-9 * std::fabs(whole))
    return AssertionFailure() << "volumes sum to " << static_cast<double>(sum) << " instead of " << whole;
  return AssertionSuccess();
}

AssertionResult CheckPoints(Block<const Tetrahedron> tets, Block<const Vector> points, Block<const Int32> pointToTet,
                            Bool laterBatch, const std::vector<Bool>& isVertex) {
  if (pointToTet.GetCount() < points.GetCount())
    return AssertionFailure() << "point table has " << pointToTet.GetCount() << " entries for " << points.GetCount();
  for (Int p = 0; p < points.GetCount(); ++p) {
    const Int32 entry = pointToTet[p];
    if (p < 4 && laterBatch) continue;
    if (entry != -1 && (entry < 0 || entry >= tets.GetCount() || !tets[entry].HasVertex(static_cast<Int32>(p))))
      return AssertionFailure() << "point " << p << " maps to tetrahedron " << entry << " which does not hold it";
    if (isVertex[p] && entry == -1 && !laterBatch) return AssertionFailure() << "vertex " << p << " has no table entry";
    if (p < 4 || isVertex[p]) continue;
    if (entry != -1) return AssertionFailure() << "point " << p << " is no vertex but maps to " << entry;
    Bool nearVertex = false;
    for (Int q = 0; q < points.GetCount() && !nearVertex; ++q) {
      const Vector delta = points[p] - points[q];
      nearVertex = isVertex[q] && Dot(delta, delta) < 1e-7;
    }
    if (!nearVertex) return AssertionFailure() << "point " << p << " is missing from the tetrahedralisation";
  }
  return AssertionSuccess();
}

}  // namespace

AssertionResult IsValidTetrahedralization(Block<const Tetrahedron> tets, Block<const Vector> points,
                                          Block<const Int32> pointToTet, Bool laterBatch) {
  AssertionResult structure = CheckStructure(tets, points);
  if (!structure) return structure;
  std::vector<Bool> isVertex(points.GetCount(), false);
  for (const Tetrahedron& tet : tets)
    for (Int32 v : tet.v) isVertex[v] = true;
  AssertionResult volume = CheckVolume(tets, points);
  if (!volume) return volume;
  AssertionResult delaunay = CheckDelaunay(tets, points);
  if (!delaunay) return delaunay;
  return CheckPoints(tets, points, pointToTet, laterBatch, isVertex);
}

}  // namespace zemox::testing
