// Speed of the co-occurrence engine: single tests of each index and each null
// model at 10, 50 and 100 species x sites, and whole studies of 3600 tests.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "CooccurrenceRun.h"
#include "RandomBits.h"
#include "SwapChain.h"

namespace {

using tessil::cooc::Incidence;
using tessil::cooc::RandomBits;
using tessil::cooc::RunTest;
using tessil::cooc::TestOptions;
using tessil::cooc::TestResult;

Incidence HalfFilled(int size, std::uint64_t seed) {
  RandomBits rng(seed);
  Incidence m(size, size);
  for (int i = 0; i < size; ++i) {
    for (int k = 0; k < size; ++k) {
      m.Set(i, k, rng.Unit() < 0.5);
    }
  }
  return m;
}

const char* const kIndices[] = {"C-score", "Number of checkerboards", "Number of species combinations", "V-ratio"};

// The null models: rows fixed with sites equiprobable, then the three
// fixed-fixed algorithms. Each null matrix of the last two costs 1,000 swaps
// or a fill from empty, so they run fewer.
struct Model {
  const char* Cols;
  const char* Algorithm;
  const char* Iterations;
};
const Model kModels[] = {
    {"Equiprobable", "Sequential Swap", "5000"},
    {"Fixed Sum", "Sequential Swap", "5000"},
    {"Fixed Sum", "Independent Swap", "200"},
    {"Fixed Sum", "Random Knight's Tour", "200"},
};

void BM_OneTest(benchmark::State& state) {
  const auto index = static_cast<std::size_t>(state.range(0));
  const Model& model = kModels[static_cast<std::size_t>(state.range(1))];
  const Incidence m = HalfFilled(static_cast<int>(state.range(2)), 7);
  TestOptions o;
  o.Index = tessil::FromCaption<tessil::CooccurrenceIndex>(kIndices[index]).value();
  o.ColumnConstraint = tessil::FromCaption<tessil::Constraint>(model.Cols).value();
  o.Algorithm = tessil::FromCaption<tessil::FixedFixedAlgorithm>(model.Algorithm).value();
  o.Iterations = model.Iterations;
  std::uint64_t ordinal = 0;
  for (auto _ : state) {
    const TestResult r = RunTest(m, o, ordinal++);
    if (!r.HasResults) {
      state.SkipWithError(r.Reason.c_str());
      break;
    }
    benchmark::DoNotOptimize(r.CountGreaterOrEqual);
  }
  state.SetLabel(std::string(kIndices[index]) + ", " +
                 (model.Cols == std::string("Equiprobable") ? "rows fixed" : model.Algorithm) +
                 ", n=" + model.Iterations);
}
BENCHMARK(BM_OneTest)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1, 2, 3}, {10, 50, 100}})
    ->ArgNames({"index", "model", "size"})
    ->Unit(benchmark::kMillisecond);

// A study: 3600 tests of 10 x 10 matrices with 100 null matrices each, spread
// over `threads` threads, each taking them in batches of 16 as the in-process
// EcoSim's workers take small matrices. Each test's stream comes from (seed,
// ordinal), so the sum of the counts is the same for every thread count.
std::int64_t Study(const std::vector<Incidence>& matrices, const TestOptions& o, unsigned threads) {
  constexpr std::size_t batch = 16;
  std::vector<std::int64_t> sums(threads, 0);
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t) {
    pool.emplace_back([&, t] {
      std::vector<tessil::cooc::TestJob> jobs;
      std::int64_t sum = 0;
      for (std::size_t first = t * batch; first < matrices.size(); first += threads * batch) {
        jobs.clear();
        for (std::size_t test = first; test < std::min(matrices.size(), first + batch); ++test) {
          jobs.push_back({&matrices[test], test, {}});
        }
        for (const TestResult& r : tessil::cooc::RunTests(jobs, o)) {
          sum += r.HasResults ? r.CountGreaterOrEqual * 100003 + r.CountLessOrEqual : -1;
        }
      }
      sums[t] = sum;
    });
  }
  for (std::thread& thread : pool) {
    thread.join();
  }
  std::int64_t total = 0;
  for (const std::int64_t s : sums) {
    total += s;
  }
  return total;
}

void BM_Study(benchmark::State& state) {
  std::vector<Incidence> matrices;
  matrices.reserve(3600);
  for (int t = 0; t < 3600; ++t) {
    matrices.push_back(HalfFilled(10, 1000 + static_cast<std::uint64_t>(t)));
  }
  TestOptions o;
  o.ColumnConstraint = state.range(0) == 0 ? tessil::Constraint::Equiprobable : tessil::Constraint::Fixed;
  o.Iterations = "100";
  const unsigned threads = state.range(1) == 0 ? 1u : std::max(1u, std::thread::hardware_concurrency());
  const std::int64_t single = Study(matrices, o, 1);
  for (auto _ : state) {
    const std::int64_t total = Study(matrices, o, threads);
    if (total != single) {
      state.SkipWithError("a study's results changed with the thread count");
      break;
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetLabel(std::string(state.range(0) == 0 ? "rows fixed, sites equiprobable" : "Sequential Swap") + ", " +
                 std::to_string(threads) + " thread(s)");
}
BENCHMARK(BM_Study)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"fixed_fixed", "all_cores"})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The bare chain: kept swaps of 10 x 10 half-filled matrices by the pair
// table and nothing else (no set-up, no null matrices, no index), the floor
// a Sequential Swap study's burn-ins can reach. The same 32 chains every
// time, each the way round that wastes fewer trials as the burn-in takes
// it; one lane runs them one after another as single tests do, more run
// that many side by side as a batch does.
void BM_ChainFloor(benchmark::State& state) {
  using tessil::cooc::SwapChain;
  using tessil::cooc::TrialSwapper;
  const auto lanes = static_cast<std::size_t>(state.range(0));
  constexpr std::size_t chains = 32;
  constexpr std::int64_t swaps = 30000;
  std::vector<Incidence> matrices;
  std::vector<TrialSwapper> trials;
  for (std::size_t i = 0; i < chains; ++i) {
    const Incidence m = HalfFilled(10, 500 + i);
    const Incidence turned = tessil::cooc::Transposed(m);
    const std::uint64_t checkerboards = SwapChain(m).CheckerboardSubmatrices();
    const TrialSwapper straight(m);
    const TrialSwapper across(turned);
    const bool turn = across.TrialsPerSwap(checkerboards) < straight.TrialsPerSwap(checkerboards);
    matrices.push_back(turn ? turned : m);
    trials.push_back(turn ? across : straight);
    if (!trials.back().UsesPairTable()) {
      state.SkipWithError("a matrix is beyond the pair table");
      return;
    }
  }
  std::vector<RandomBits> streams;
  for (std::size_t i = 0; i < chains; ++i) {
    streams.emplace_back(i);
  }
  std::vector<TrialSwapper::Lane> work;
  for (auto _ : state) {
    for (std::size_t first = 0; first < chains; first += lanes) {
      if (lanes == 1) {
        trials[first].Swaps(matrices[first], streams[first], swaps, nullptr);
        continue;
      }
      work.clear();
      for (std::size_t i = first; i < std::min(chains, first + lanes); ++i) {
        work.push_back({&trials[i], &matrices[i], &streams[i], swaps, nullptr, false});
      }
      TrialSwapper::SwapsSideBySide(work);
    }
    benchmark::DoNotOptimize(matrices.data());
  }
  state.SetItemsProcessed(state.iterations() * swaps * static_cast<std::int64_t>(chains));
  state.SetLabel("items: kept swaps");
}
BENCHMARK(BM_ChainFloor)->Arg(1)->Arg(4)->Arg(8)->Arg(16)->Arg(32)->ArgName("lanes")->Unit(benchmark::kMillisecond);

}  // namespace
