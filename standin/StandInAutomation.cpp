#include "StandInAutomation.h"

#include <QPointer>

#include "HostedPrograms.h"
#include "StandInEcoSim.h"
#include "WindowProtocolEcoSim.h"

namespace tessil::standin {

QtWindowSystem::Options StandInAutomation::DefaultOptions() {
  QtWindowSystem::Options options;
  options.FullTurnSeconds = 0.0005;
  return options;
}

StandInAutomation::StandInAutomation(std::filesystem::path programFolder, QtWindowSystem::Options options)
    : program_folder_(std::move(programFolder)), windows_(options) {
  RegisterStandInEcoSim();
}

StandInAutomation::~StandInAutomation() { qtwin::EndAllPrograms(); }

std::unique_ptr<EcoSimAutomation> StandInAutomation::MakeAutomation(RunSettings& settings, const RunInputs& inputs,
                                                                    AutomationHost& host, QWidget* progressWindow,
                                                                    std::function<bool()> cancelled) {
  if (const auto* link = dynamic_cast<const ProgressLink*>(&host); link != nullptr && !cancelled) {
    cancelled = [link] { return link->CancelRequested(); };
  }
  // The progress window may go before the automation does.
  QPointer<QWidget> progress(progressWindow);
  return std::make_unique<WindowProtocolEcoSim>(
      windows_, settings, inputs, &host, [progress] { return qtwin::HandleOf(progress.data()); }, program_folder_,
      std::move(cancelled));
}

}  // namespace tessil::standin
