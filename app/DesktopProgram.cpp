#include "DesktopProgram.h"

#include <QCoreApplication>
#include "HelpPages.h"
#include "InProcessEcoSim.h"
#include "StandInAutomation.h"

namespace tessil {

DesktopAutomationFactory InProcessAutomation() {
  return [](RunSettings& settings, const RunInputs& inputs, AutomationHost& host, const ProgressLink&,
            QWidget*) -> MadeAutomation {
    // One test at a time, so that the progress window follows every matrix.
    auto ecosim = std::make_unique<InProcessEcoSim>(settings, inputs, 1, &host);
    EcoSimConcurrentTesting* workers = ecosim.get();
    return {std::move(ecosim), workers};
  };
}

DesktopAutomationFactory WindowProtocolAutomation(standin::StandInAutomation& windows) {
  return [&windows](RunSettings& settings, const RunInputs& inputs, AutomationHost& host, const ProgressLink& link,
                    QWidget* progressWindow) -> MadeAutomation {
    return windows.MakeAutomation(settings, inputs, host, progressWindow, [&link] { return link.CancelRequested(); });
  };
}

DesktopProgram::DesktopProgram(DesktopAutomationFactory automation) : help_(HelpPagesFolder()) {
  main_ = std::make_unique<frmMain>(
      settings_, MainWindowServices{
                     boxes_, help_, clock_, std::move(automation), {}, QCoreApplication::applicationDirPath(), {}, {}});
}

}  // namespace tessil
