// One allocation-failure sweep through every public entry point: every slot of the static interfaces
// called with sample arguments, every instance interface and component through a short scenario of
// its main calls. For k = 1, 2, ... the k-th allocation fails: a call that can report errors answers
// as without failure or with the out-of-memory error, any other call just returns; afterwards the
// same object answers as a fresh one. The sanitizer build adds that nothing leaks.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "common/digest.h"
#include "geom/convexhull.h"
#include "geom/exactpredicates2d.h"
#include "geom/geometryutils.h"
#include "geom/voronoi3d.h"
#include "private_geom/intersectingoutlinesprocessing.h"
#include "private_geom/sortoutlines2d.h"
#include "zemox/memory.h"

namespace zemox {
namespace {

using G = GeometryUtilsInterface;

template <typename T>
Result<Digest> DigestOf(Result<T> answer) {
  if (!answer) return answer.TakeError();
  return Digest().Add(answer.Value());
}

template <typename T>
Block<const T> View(const std::vector<T>& values) {
  return {values.data(), static_cast<Int>(values.size())};
}

// Sample inputs: two clockwise loops that overlap (an L and a square across its lower arm), points in
// general position (the first inside both loops), a non-planar pentagon and a cloud of 3D points.
const std::vector<Vector2d> lShape{{0, 0}, {0, 4}, {2, 4}, {2, 2}, {4, 2}, {4, 0}};
const std::vector<Vector2d> square{{3, 1}, {3, 3}, {5, 3}, {5, 1}};
const Vector2d points2d[] = {{3.5, 1.5}, {1, 0}, {6, 1}, {2, 5}, {0.5, 3}};
const Vector points3d[] = {{1, 1, 0.25}, {4, 0, 1}, {0, 3, 2}, {1, 0, 3}, {0, 0, 1}};
const std::vector<Vector> pentagon{{0, 0, 0}, {4, 0, 0.5}, {4, 4, 0}, {2, 5, 0.5}, {0, 4, 0}};
const Int32 pentagonIndices[] = {0, 1, 2, 3, 4};
const Int lShapeCount[] = {6};
const Block<const Vector2d> bothLoops[] = {View(lShape), View(square)};

const std::vector<Vector> cloud = [] {
  std::vector<Vector> points;
  for (Int i = 1; i <= 14; ++i) {
    const auto spread = [i](Float step) { return 4 * (i * step - std::floor(i * step)); };
    points.push_back({spread(0.618034), spread(0.414214), spread(0.732051)});
  }
  return points;
}();

// A sample value of each parameter type at a position of the list, from the tables above; arrays
// that receive output start empty.
template <typename T>
using As = std::type_identity<T>;
template <std::integral T>
T SampleOf(As<T>, size_t) {
  return 2;
}
Float SampleOf(As<Float>, size_t) { return 0.001; }
Vector2d SampleOf(As<Vector2d>, size_t position) { return points2d[position % std::size(points2d)]; }
Vector SampleOf(As<Vector>, size_t position) { return points3d[position % std::size(points3d)]; }
Matrix2d SampleOf(As<Matrix2d>, size_t) { return {{0.5, 0.25}}; }
Block<const Vector2d> SampleOf(As<Block<const Vector2d>>, size_t position) {
  return View(position % 2 ? square : lShape);
}
Block<const Vector> SampleOf(As<Block<const Vector>>, size_t) { return View(pentagon); }
Block<const Int32> SampleOf(As<Block<const Int32>>, size_t) { return {pentagonIndices, 5}; }
Block<const Int> SampleOf(As<Block<const Int>>, size_t) { return {lShapeCount, 1}; }
Block<const Block<const Vector2d>> SampleOf(As<Block<const Block<const Vector2d>>>, size_t) { return {bothLoops, 2}; }
template <typename T>
BaseArray<T> SampleOf(As<BaseArray<T>>, size_t) {
  return {};
}

// The value behind a parameter of type P, passed as itself, by reference to in-out and out-parameters,
// by address to optional ones.
template <typename P>
using Stored = std::remove_cvref_t<std::remove_pointer_t<P>>;
template <typename P>
P Pass(Stored<P>& value) {
  if constexpr (std::is_pointer_v<P>)
    return &value;
  else
    return value;
}

// Slot `index` of a static interface, called through the registered table with sample arguments;
// the digest holds the returned value and then every out-parameter.
template <typename Interface, Int index,
          typename Signature = typename decltype(slotDeclaration<Interface, index>)::Signature>
struct SampleCall;
template <typename Interface, Int index, typename R, typename... P>
struct SampleCall<Interface, index, R(P...)> {
  static constexpr Bool reportsErrors = requires(const R& answer) { answer.GetError(); };

  static Result<Digest> Run() { return RunWith(std::index_sequence_for<P...>{}); }

  template <size_t... positions>
  static Result<Digest> RunWith(std::index_sequence<positions...>) {
    std::tuple<Stored<P>...> samples{SampleOf(As<Stored<P>>{}, positions)...};
    const auto slot = reinterpret_cast<SlotPointer<Interface, index>>(ResolveSlotTable<Interface>()[index]);
    const auto call = [&] { return slot(Pass<P>(std::get<positions>(samples))...); };
    Digest digest;
    if constexpr (std::is_same_v<R, Result<void>>) {
      ZEMOX_RETURN_IF_FAILED(call());
    } else if constexpr (reportsErrors) {
      ZEMOX_ASSIGN_OR_RETURN(const auto value, call());
      digest.Add(value);
    } else if constexpr (std::is_void_v<R>) {
      call();
    } else {
      digest.Add(call());
    }
    const auto addOutput = [&]<size_t position>() {
      if constexpr (slotDeclaration<Interface, index>.parameters[position].direction != ParameterDirection::IN)
        digest.Add(std::get<position>(samples));
    };
    (addOutput.template operator()<positions>(), ...);
    return digest;
  }
};

using Call = std::function<Result<Digest>()>;

// For k = 1, 2, ... until a run of `call` meets no failure, the k-th allocation fails. A failed run
// reports the out-of-memory error; a completed one gives fresh's answer, unless the call cannot report
// errors and met the failure. After each failure `call` runs again without one and gives that answer.
void Sweep(const std::string& name, Bool reportsErrors, const Call& call, const Call& fresh) {
  const Result<Digest> expected = fresh();
  ASSERT_TRUE(expected) << name << ": " << expected.GetError().Message();
  for (Int k = 1;; ++k) {
    FailAllocationAfter(k);
    const Result<Digest> answer = call();
    const Bool delivered = AllocationFailureDelivered();
    FailAllocationAfter(0);
    if (!answer) {
      EXPECT_TRUE(answer.GetError().Is(OutOfMemoryError))
          << name << ", k = " << k << ": " << answer.GetError().Class().Text() << " " << answer.GetError().Message();
    } else if (reportsErrors || !delivered) {
      EXPECT_TRUE(answer.Value() == expected.Value()) << name << ", k = " << k;
    }
    if (!delivered) return;
    const Result<Digest> again = call();
    ASSERT_TRUE(again) << name << " after k = " << k << ": " << again.GetError().Message();
    EXPECT_TRUE(again.Value() == expected.Value()) << name << " after k = " << k;
  }
}

// Sweeps every declared slot of a static interface: the sample call, or the override given for its index
// where sample arguments would not reach the allocating path.
template <typename Interface>
void SweepEverySlot(const std::map<Int, Call>& overrides) {
  ASSERT_NE(ResolveSlotTable<Interface>(), nullptr);
  [&]<size_t... indices>(std::index_sequence<indices...>) {
    const auto sweepSlot = [&]<Int index>() {
      using Slot = SampleCall<Interface, index>;
      const auto found = overrides.find(index);
      const Call call = found != overrides.end() ? found->second : Call(&Slot::Run);
      Sweep(std::to_string(index) + " " + slotDeclaration<Interface, index>.method, Slot::reportsErrors, call, call);
    };
    (sweepSlot.template operator()<Int(indices)>(), ...);
  }
  (std::make_index_sequence<size_t(Interface::SLOT_COUNT)>{});
}

// Runs `scenario` on one object kept across the runs, created first when it is missing, so that
// creation fails in turn too.
template <typename Object>
void SweepScenario(const std::string& name, const std::function<Result<Object>()>& create,
                   const std::function<Result<Digest>(Object&)>& scenario) {
  const auto run = [&](Object& object) -> Result<Digest> {
    if (!object) {
      ZEMOX_ASSIGN_OR_RETURN(object, create());
    }
    return scenario(object);
  };
  Object reused;
  Sweep(
      name, true, [&] { return run(reused); },
      [&] {
        Object fresh;
        return run(fresh);
      });
}

TEST(AllocationSweepTest, GeometryUtils) {
  const std::vector<Vector2d> triangle{{0, 0}, {1, 2}, {2, 0}};
  const std::vector<Vector2d> container{{-1, -1}, {8, -1}, {8, 8}, {-1, 8}};
  // Start away from the leftmost vertex, with a collinear and a repeated vertex: all three need work.
  const std::vector<Vector2d> untidy{{2, 4}, {2, 2}, {3, 2}, {4, 2}, {4, 2}, {4, 0}, {0, 0}, {0, 4}};
  const Matrix2d shift{{0.5, 0.25}};
  // B gets held in A's notch by two contacts: the orbit gathers the slides its contacts offer.
  const std::vector<Vector2d> notched{{13, 3}, {7, 17}, {16, 18}, {14, 7}, {20, 3}}, wedge{{3, 14}, {7, 8}, {4, 1}};
  SweepEverySlot<G>({
      {73,
       [&]() -> Result<Digest> {
         BaseArray<Vector2d> loop;
         ZEMOX_RETURN_IF_FAILED(loop.CopyFrom(View(untidy)));
         ZEMOX_ASSIGN_OR_RETURN(const Bool changed, G::CleanLoop2DInPlace(loop, false));
         return Digest().Add(changed, loop);
       }},
      {74, [&] { return DigestOf(G::CalculateNoFitPolygonForConvex(View(square), View(triangle), true)); }},
      {75, [&] { return DigestOf(G::CalculateNoFitPolygonUsingSliding(View(notched), View(wedge), true)); }},
      {76, [&] { return DigestOf(G::CalculateInnerFitPolygonUsingSliding(View(container), View(lShape))); }},
      {77, [&] { return DigestOf(G::CalculateNoFitPolygonForConvex(View(square), View(triangle), {}, shift, false)); }},
  });
}

TEST(AllocationSweepTest, ExactPredicates2D) { SweepEverySlot<ExactPredicates2DInterface>({}); }

Result<Digest> Tetrahedralize(Delaunay3DRef& delaunay) {
  ZEMOX_RETURN_IF_FAILED(delaunay.Init({{0, 0, 0}, {4, 4, 4}}));
  ZEMOX_RETURN_IF_FAILED(delaunay.AddPointsIntoTetrahedralization(View(cloud)));
  ZEMOX_RETURN_IF_FAILED(delaunay.CalculateDelaunayTetrahedralization());
  // A point beyond the bounds moves the enclosing tetrahedron: the next calculation starts over.
  ZEMOX_RETURN_IF_FAILED(delaunay.AddPointIntoTetrahedralization({5, 5, 5}));
  ZEMOX_RETURN_IF_FAILED(delaunay.CalculateDelaunayTetrahedralization());
  Int32 found = -1, onFace1 = -1, onFace2 = -1, containing = -1;
  ZEMOX_ASSIGN_OR_RETURN(const Bool located, delaunay.FindTetIndexContainingPoint({1, 1, 1}, found, onFace1, onFace2));
  ZEMOX_ASSIGN_OR_RETURN(const Bool contained, delaunay.FindTetContainingPoint({2, 1, 1}, containing));
  Int tetrahedronCount = 0, pointCount = 0;
  Digest digest;
  digest.Add(delaunay.GetTetrahedrons(tetrahedronCount, pointCount), tetrahedronCount, pointCount,
             delaunay.GetTetrahedrons(), delaunay.GetPointsToTetConnections(), delaunay.GetPoints(),
             delaunay.GetPointsWrite(), delaunay.GetTetrahedronCount(), delaunay.GetPointCount(), located, found,
             onFace1, onFace2, contained, containing, delaunay.OrientDet(cloud[0], cloud[1], cloud[2], cloud[3]));
  ZEMOX_ASSIGN_OR_RETURN(Delaunay3DRef copy, Delaunay3DRef::Create());
  ZEMOX_RETURN_IF_FAILED(copy.CopyFrom(delaunay));
  digest.Add(copy.GetTetrahedrons(), copy.GetPoints());
  ZEMOX_RETURN_IF_FAILED(delaunay.Reset());
  digest.Add(delaunay.GetTetrahedrons());
  delaunay.Flush();
  return digest.Add(delaunay.IsInitialized());
}

TEST(AllocationSweepTest, Delaunay3D) {
  SweepScenario<Delaunay3DRef>("Delaunay3D", Delaunay3DRef::Create, Tetrahedralize);
}

Digest& AddCells(Digest& digest, const Voronoi3DInterface& voronoi) {
  return digest.Add(voronoi.GetCellCount(), voronoi.GetCellDataStructure(), voronoi.GetBorderCellFlags());
}

Result<Digest> Tessellate(Voronoi3DRef& voronoi) {
  ZEMOX_RETURN_IF_FAILED(voronoi.Init({{0, 0, 0}, {4, 4, 4}}));
  ZEMOX_RETURN_IF_FAILED(voronoi.SetPoints(View(cloud).Slice(0, 6)));
  ZEMOX_RETURN_IF_FAILED(voronoi.AddPoint(cloud[6]));
  ZEMOX_RETURN_IF_FAILED(voronoi.AddPoints(View(cloud).Slice(7, 2)));
  voronoi.SetForClipping(true);
  ZEMOX_RETURN_IF_FAILED(voronoi.CalcTetrahedralization());
  ZEMOX_RETURN_IF_FAILED(voronoi.CalcCells());
  Digest digest;
  AddCells(digest, voronoi)
      .Add(voronoi.IsReady(), voronoi.IsReadyButPendingChanges(), voronoi.GetVoronoiPointPositions(),
           voronoi.GetInputPoints());
  ZEMOX_ASSIGN_OR_RETURN(Voronoi3DRef copy, Voronoi3DRef::Create());
  ZEMOX_RETURN_IF_FAILED(copy.CopyFrom(voronoi));
  AddCells(digest, copy);
  // Cell 0 absorbs its first neighbour among the cells.
  const CellData& first = voronoi.GetCellDataStructure()[0];
  Int neighbor = 0;
  for (const Int32 point : first.GetFaceNeighbors())
    if (neighbor == 0 && point >= 4) neighbor = point - 4;
  const CellIndexPair join{0, neighbor};
  ZEMOX_RETURN_IF_FAILED(voronoi.FuseCells({&join, 1}));
  AddCells(digest, voronoi);
  ZEMOX_RETURN_IF_FAILED(voronoi.ScaleCell(3, -0.05));
  ZEMOX_RETURN_IF_FAILED(voronoi.ScaleAllCells(-0.1));
  AddCells(digest, voronoi).Add(voronoi.GetCellHasVolume());
  const Int fuseGroup[] = {1, 2};
  ZEMOX_RETURN_IF_FAILED(voronoi.SetCellFuseGroup({fuseGroup, 2}));
  ZEMOX_RETURN_IF_FAILED(voronoi.CalcCells());
  AddCells(digest, voronoi);
  ZEMOX_RETURN_IF_FAILED(voronoi.CreateInvertedVoronoiCell());
  AddCells(digest, voronoi).Add(voronoi.GetDelaunayTetrizer()->GetTetrahedronCount());
  voronoi.Flush();
  return digest.Add(voronoi.GetInputPoints());
}

TEST(AllocationSweepTest, Voronoi3D) { SweepScenario<Voronoi3DRef>("Voronoi3D", Voronoi3DRef::Create, Tessellate); }

Result<Digest> Hull(ConvexHullRef& hull) {
  Digest digest;
  for (const Float shrink : {0.0, 0.1}) {
    ConvexHullRecord record;
    Result<Float> moved = shrink == 0
                              ? hull.ComputeConvexHull(View(cloud), 0, 0, record.vertices, record.edges, record.faces)
                              : hull.ComputeConvexHull(View(cloud), shrink, 0.5, record);
    // A failed computation leaves no partial hull behind.
    EXPECT_TRUE(moved || (record.vertices.IsEmpty() && record.edges.IsEmpty() && record.faces.IsEmpty()));
    if (!moved) return moved.TakeError();
    digest.Add(moved.Value(), record);
  }
  return digest;
}

TEST(AllocationSweepTest, ConvexHull) { SweepScenario<ConvexHullRef>("ConvexHull", ConvexHullRef::Create, Hull); }

// A square with a hole holding an island, two crossing squares beside it, and a polyline too short to
// keep.
Result<Digest> SortNested(SortOutlines2DRef& sorter) {
  static const std::vector<Vector2d> vertices{{0, 0},  {0, 10}, {10, 10}, {10, 0}, {2, 2},  {2, 8},  {8, 8},  {8, 2},
                                              {3, 3},  {3, 5},  {5, 5},   {5, 3},  {20, 0}, {20, 2}, {22, 2}, {22, 0},
                                              {21, 1}, {21, 3}, {23, 3},  {23, 1}, {30, 0}, {31, 1}};
  static const Int counts[] = {4, 4, 4, 4, 4, 2};
  ZEMOX_RETURN_IF_FAILED(sorter->Init(View(vertices), {counts, 6}, 3));
  BaseArray<BaseArray<Int>> nesting;
  ZEMOX_RETURN_IF_FAILED(sorter->GetResult(nesting));
  ZEMOX_ASSIGN_OR_RETURN(const String text, sorter->ToString());
  const Digest digest = Digest().Add(nesting, text, sorter->GetSupportedInput());
  EXPECT_GT(sorter->GetMemorySize(), 0);
  sorter->Reset();
  return digest;
}

TEST(AllocationSweepTest, SortOutlines2D) {
  for (const Id& classId : {SortOutlines2DExactClass, SortOutlines2DFastClass})
    SweepScenario<SortOutlines2DRef>(
        classId.Text(), [&] { return CreateSortOutlines2D(classId); }, SortNested);
}

// A five-pointed star, which crosses itself five times.
Result<Digest> Repair(IntersectingOutlinesProcessingRef& component) {
  static const std::vector<Vector2d> star{{0, 0}, {2, 6}, {4, 0}, {-1, 4}, {5, 4}};
  BaseArray<Vector2d> pieces, hull;
  BaseArray<Int> counts, pieceIds, hullIds;
  ZEMOX_ASSIGN_OR_RETURN(const Bool split, component->GetSimplePolygons(View(star), true, pieces, counts, &pieceIds));
  ZEMOX_ASSIGN_OR_RETURN(const Bool reduced, component->GetHull(View(star), true, hull, &hullIds));
  return Digest().Add(split, pieces, counts, pieceIds, reduced, hull, hullIds, component->GetSupportedInput());
}

TEST(AllocationSweepTest, IntersectingOutlinesProcessing) {
  SweepScenario<IntersectingOutlinesProcessingRef>(
      "IntersectingOutlinesProcessing",
      [] { return CreateIntersectingOutlinesProcessing(IntersectingOutlinesProcessingNonRobustClass); }, Repair);
}

}  // namespace
}  // namespace zemox
