#include "DesktopProgram.h"

#include <QCoreApplication>

#include "HelpPages.h"
#include "InProcessEcoSim.h"
#include "StandInAutomation.h"

namespace tessil {

AutomationFactory InProcessAutomation() {
  return [](RunSettings& settings, const RunInputs& inputs, AutomationHost& host,
            QWidget*) -> std::unique_ptr<EcoSimAutomation> {
    // One test at a time, so that the progress window follows every matrix.
    return std::make_unique<InProcessEcoSim>(settings, inputs, 1, &host);
  };
}

AutomationFactory WindowProtocolAutomation(standin::StandInAutomation& windows) {
  return [&windows](RunSettings& settings, const RunInputs& inputs, AutomationHost& host,
                    QWidget* progressWindow) { return windows.MakeAutomation(settings, inputs, host, progressWindow); };
}

DesktopProgram::DesktopProgram(AutomationFactory automation) : help_(HelpPagesFolder()) {
  main_ = std::make_unique<frmMain>(
      settings_, MainWindowServices{boxes_, help_, clock_, std::move(automation), {},
                                    QCoreApplication::applicationDirPath(), {}, {}});
}

}  // namespace tessil
