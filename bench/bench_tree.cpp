#include <benchmark/benchmark.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <set>
#include <vector>

#include "private_geom/redblacktree.h"

namespace zemox {
namespace {

// The keys 0..count-1 in a fixed shuffled order: inserted in this order, then erased in it.
std::vector<Int> ShuffledKeys(Int count) {
  std::vector<Int> keys(static_cast<size_t>(count));
  std::iota(keys.begin(), keys.end(), Int{0});
  std::shuffle(keys.begin(), keys.end(), std::mt19937_64(42));
  return keys;
}

void BM_TreeInsertErase_zemox(benchmark::State& state) {
  const std::vector<Int> keys = ShuffledKeys(state.range(0));
  DefaultComparator comparator;
  RedBlackTree<Int, DefaultComparator> tree(&comparator);
  if (!tree.Init()) {
    state.SkipWithError("Init failed");
    return;
  }
  for (auto _ : state) {
    for (const Int key : keys) {
      if (!tree.Insert(key)) {
        state.SkipWithError("Insert failed");
        return;
      }
    }
    for (const Int key : keys) {
      Bool erased = false;
      benchmark::DoNotOptimize(tree.Erase(key, erased).IsOk());
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_TreeInsertErase_stdset(benchmark::State& state) {
  const std::vector<Int> keys = ShuffledKeys(state.range(0));
  std::set<Int> set;
  for (auto _ : state) {
    for (const Int key : keys) set.insert(key);
    for (const Int key : keys) benchmark::DoNotOptimize(set.erase(key));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_TreeInsertErase_zemox)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TreeInsertErase_stdset)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zemox

BENCHMARK_MAIN();
