#include "StandInAutomation.h"

#include <QPointer>

#include "WindowProtocolEcoSim.h"

namespace tessil::standin {

QtWindowSystem::Options StandInAutomation::DefaultOptions() {
  QtWindowSystem::Options options;
  options.FullTurnSeconds = 0.0005;
  return options;
}

StandInAutomation::StandInAutomation(qtwin::WindowWorld& world, std::filesystem::path programFolder,
                                     QtWindowSystem::Options options)
    : programFolder_(std::move(programFolder)), windows_(world, options) {
  RegisterStandInEcoSim(world, switches_);
}

StandInAutomation::~StandInAutomation() {
  qtwin::ProgramHost& programs = windows_.World().Programs();
  programs.EndAllPrograms();
  // Its switches go with it.
  programs.UnregisterProgram(StandInProgramFile);
}

std::unique_ptr<EcoSimAutomation> StandInAutomation::MakeAutomation(RunSettings& settings, const RunInputs& inputs,
                                                                    AutomationHost& host, QWidget* progressWindow,
                                                                    std::function<bool()> cancelled) {
  // The progress window may go before the automation does.
  QPointer<QWidget> progress(progressWindow);
  return std::make_unique<WindowProtocolEcoSim>(
      windows_, settings, inputs, &host,
      [&registry = windows_.World().Windows(), progress] { return qtwin::HandleOf(registry, progress.data()); },
      programFolder_, std::move(cancelled));
}

}  // namespace tessil::standin
