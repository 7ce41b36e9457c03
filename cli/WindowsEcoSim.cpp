#include "WindowsEcoSim.h"

#include <cstdio>
#include <cstdlib>
#include <ostream>

namespace tessil::cli {

WindowsEcoSim::WindowsEcoSim(std::filesystem::path programFolder, std::ostream& err, double fullTurnSeconds)
    : programFolder_(std::move(programFolder)), err_(err), fullTurnSeconds_(fullTurnSeconds) {}

WindowsEcoSim::~WindowsEcoSim() {
  standin_.reset();
  world_.reset();
  app_.reset();
}

void WindowsEcoSim::Start() {
  if (standin_ != nullptr) return;
  if (QCoreApplication::instance() == nullptr) {
    // Without a display the windows live on Qt's offscreen platform; they
    // are never shown either way.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr &&
        std::getenv("WAYLAND_DISPLAY") == nullptr) {
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    // Qt's own notices would mix with the report's progress on standard
    // error; only a fatal one is let through.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
      if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        std::abort();
      }
    });
    app_ = std::make_unique<QApplication>(argc_, argv_);
  }
  QtWindowSystem::Options options;
  options.FullTurnSeconds = fullTurnSeconds_;
  world_ = std::make_unique<qtwin::WindowWorld>();
  standin_ = std::make_unique<standin::StandInAutomation>(*world_, programFolder_, options);
}

void WindowsEcoSim::ReportProgramMissing(std::string_view message) { ReportMissing(err_, message, programFolder_); }

StudyAutomationFactory WindowsEcoSim::Factory() {
  return [this](RunSettings& settings, const RunInputs& inputs,
                std::function<bool()> cancelled) -> std::unique_ptr<EcoSimAutomation> {
    Start();
    // No progress window of Tessil's own: EcoSim's windows are never
    // brought into view.
    AutomationHost& host = *this;
    return standin_->MakeAutomation(settings, inputs, host, nullptr, std::move(cancelled));
  };
}

}  // namespace tessil::cli
