// Matrices drawn per second by the engine's generator.
#include <benchmark/benchmark.h>

#include "Distribution_Functions.h"
#include "Kernel_Procedures.h"

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

}  // namespace
}  // namespace tessil
