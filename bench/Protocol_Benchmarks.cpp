// What driving EcoSim through its windows costs: one turn of message
// processing, one matrix through the whole protocol (enter, options, run,
// read, close) against the stand-in, and a default study through the
// windows against the same study in-process.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "Distribution_Functions.h"
#include "Kernel_Procedures.h"
#include "QtWindowSystem.h"
#include "StandInEcoSim.h"
#include "StringGrid.h"
#include "Study.h"
#include "WindowProtocolEcoSim.h"
#include "WindowsEcoSim.h"

namespace tessil {
namespace {

QApplication& Application() {
  static int argc = 1;
  static char name[] = "bench";
  static char* argv[] = {name, nullptr};
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QApplication* app = [] {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return new QApplication(argc, argv);
  }();
  return *app;
}

// A program folder holding EcoSim's program file.
std::filesystem::path ProgramFolder() {
  std::filesystem::path folder = std::filesystem::temp_directory_path() / "tessil-protocol-bench";
  std::filesystem::create_directories(folder / "EcoSim");
  std::ofstream(folder / "EcoSim" / "EcoSim700.exe") << "#!/bin/sh\n";
  return folder;
}

void ProcessPendingMessages(benchmark::State& state) {
  Application();
  qtwin::WindowWorld world;
  QtWindowSystem windows(world);
  for (auto _ : state) windows.ProcessPendingMessages();
}
BENCHMARK(ProcessPendingMessages);

// One cell typed into the stand-in's grid while its window is on the
// screen, drawn before the next: about the same whatever the matrix size.
void TypeCellIntoVisibleGrid(benchmark::State& state) {
  Application();
  const int size = static_cast<int>(state.range(0));
  qtwin::WindowRegistry registry;
  QWidget window;
  window.resize(640, 480);
  auto* grid = new standin::StringGrid(registry, &window);
  grid->setGeometry(window.rect());
  grid->Resize(size, size);
  window.show();
  QCoreApplication::processEvents();
  for (auto _ : state) {
    grid->Type('1');
    grid->Tab();
    QCoreApplication::processEvents();
  }
  state.SetLabel(std::to_string(size) + " x " + std::to_string(size));
}
BENCHMARK(TypeCellIntoVisibleGrid)->Arg(10)->Arg(200)->Unit(benchmark::kMicrosecond);

// Testable matrices of the given size from the engine's generator.
std::vector<PresenceAbsenceMatrix> Matrices(std::int32_t size, std::size_t count) {
  const OccupancyMatrix p = BuildOccupancyMatrix(2, size, size);
  const ConditionalOccupancy c = BuildConditionalOccupancy(p, InteractionRatio);
  RandomStream stream;
  SeedRandomStream(stream, 1);
  std::vector<PresenceAbsenceMatrix> matrices;
  while (matrices.size() < count) {
    GeneratedMatrix g = GenerateMatrix(p, c, 0.0, stream);
    if (g.OccupiedSpecies >= 2) matrices.push_back(std::move(g.Matrix));
  }
  return matrices;
}

void OneMatrixThroughTheWindows(benchmark::State& state) {
  Application();
  standin::StandInSwitches switches;
  qtwin::WindowWorld world;
  standin::RegisterStandInEcoSim(world, switches);
  const auto size = static_cast<std::int32_t>(state.range(0));
  QtWindowSystem::Options options;
  options.FullTurnSeconds = static_cast<double>(state.range(1)) * 1e-6;
  QtWindowSystem windows(world, options);
  RunSettings settings;
  FixedRunInputs inputs;
  inputs.Rows = inputs.Cols = std::to_string(size);
  WindowProtocolEcoSim ecosim(windows, settings, inputs, nullptr, {}, ProgramFolder(), {});
  ecosim.PrepareEcoSim();
  const std::vector<PresenceAbsenceMatrix> matrices = Matrices(size, 16);
  std::size_t next = 0;
  for (auto _ : state) {
    ecosim.EnterMatrix(matrices[next++ % matrices.size()]);
    ecosim.OpenCooccurrenceOptions();
    if (ecosim.RunCooccurrenceTest(0) == ResultsShown) {
      benchmark::DoNotOptimize(ecosim.ReadPValue(0));
      ecosim.CloseCooccurrenceResults();
    }
  }
  ecosim.ReleaseEcoSim();
  world.Programs().EndAllPrograms();
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("matrices, 100 EcoSim iterations");
}
BENCHMARK(OneMatrixThroughTheWindows)
    ->ArgNames({"size", "full_turn_us"})
    ->Args({10, 0})
    ->Args({50, 0})
    ->Args({10, 500})
    ->Args({50, 500})
    ->Unit(benchmark::kMillisecond);

// The study the command line runs with its defaults: 10 x 10 matrices, 100
// per argument, 36 arguments.
void DefaultStudy(benchmark::State& state) {
  const int path = static_cast<int>(state.range(0));  // 0 windows, else in-process threads
  const double fullTurn = static_cast<double>(state.range(1)) * 1e-6;
  Application();
  std::ostringstream err;
  cli::WindowsEcoSim windowsEcoSim(cli::ProgramFolder(), err, fullTurn);
  const cli::StudyAutomationFactory factory = path == 0 ? windowsEcoSim.Factory() : cli::StudyAutomationFactory{};
  cli::StudyRequest request;
  request.Threads = static_cast<unsigned>(path == 0 ? 1 : path);
  SystemClock clock;
  for (auto _ : state) {
    const cli::StudyResult result = cli::RunStudy(request, {}, clock, factory);
    benchmark::DoNotOptimize(result.Report);
  }
  state.SetLabel(path == 0 ? "through the stand-in's windows" : "in-process, " + std::to_string(path) + " thread(s)");
}
BENCHMARK(DefaultStudy)
    ->ArgNames({"path", "full_turn_us"})
    ->Args({0, 0})
    ->Args({0, 500})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

}  // namespace
}  // namespace tessil
