// Matrices drawn per second by the engine's generator, and whole studies run
// in-process as tessil-cli run runs them.
#include <benchmark/benchmark.h>

#include <string>

#include "Distribution_Functions.h"
#include "Kernel_Procedures.h"
#include "Study.h"

namespace tessil {
namespace {

void GenerateMatrices(benchmark::State& state) {
  const auto size = static_cast<std::int32_t>(state.range(0));
  const int level = static_cast<int>(state.range(1));
  const OccupancyMatrix p = BuildOccupancyMatrix(12, size, size);
  const ConditionalOccupancy c = BuildConditionalOccupancy(p, InteractionRatio);
  RandomStream stream;
  SeedRandomStream(stream, 1);
  for (auto _ : state) {
    GeneratedMatrix g = GenerateMatrix(p, c, InteractionProportion(level), stream);
    benchmark::DoNotOptimize(g);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("matrices");
}
BENCHMARK(GenerateMatrices)->ArgNames({"size", "level"})->Args({10, 1})->Args({10, 3})->Args({100, 1})->Args({100, 3});

void CheckerboardPair(benchmark::State& state) {
  const auto size = static_cast<std::int32_t>(state.range(0));
  const OccupancyMatrix p = BuildOccupancyMatrix(2, size, size);
  const ConditionalOccupancy c = BuildConditionalOccupancy(p, InteractionRatio);
  RandomStream stream;
  SeedRandomStream(stream, 1);
  const GeneratedMatrix g = GenerateMatrix(p, c, 0.0, stream);
  for (auto _ : state) benchmark::DoNotOptimize(HasCheckerboardPair(g.Matrix));
}
BENCHMARK(CheckerboardPair)->Arg(10)->Arg(100);

// A study of 10 x 10 matrices, 100 per argument, 36 arguments, on one thread:
// with the default test options (rows fixed, sites equiprobable), or with both
// margins fixed and the Sequential Swap, whose 30,000 burn-in swaps per test
// dominate. Matrix generation, the tests and the report are all counted.
void InProcessStudy(benchmark::State& state) {
  cli::StudyRequest request;
  request.Threads = 1;
  const bool fixedFixed = state.range(0) != 0;
  if (fixedFixed) {
    request.Inputs.Options.ColumnConstraint = Constraint::Fixed;
  }
  SystemClock clock;
  for (auto _ : state) {
    const cli::StudyResult result = cli::RunStudy(request, {}, clock);
    benchmark::DoNotOptimize(result.Report);
  }
  state.SetLabel(fixedFixed ? "Sequential Swap, 1 thread" : "default options, 1 thread");
}
BENCHMARK(InProcessStudy)
    ->ArgNames({"fixed_fixed"})
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace
}  // namespace tessil
