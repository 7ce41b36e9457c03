// `--ecosim windows` on Windows: EcoSim itself, in a process of its own.
#include <cstdint>
#include <ostream>

#include "WindowsApi.h"

#include "WindowProtocolEcoSim.h"
#include "WindowsEcoSim.h"

namespace tessil::cli {

WindowsEcoSim::WindowsEcoSim(std::filesystem::path programFolder, std::ostream& err)
    : programFolder_(std::move(programFolder)), err_(err) {}

void WindowsEcoSim::ReportProgramMissing(std::string_view message) { ReportMissing(err_, message, programFolder_); }

StudyAutomationFactory WindowsEcoSim::Factory() {
  return [this](RunSettings& settings, const RunInputs& inputs,
                std::function<bool()> cancelled) -> std::unique_ptr<EcoSimAutomation> {
    // No progress window of Tessil's own: EcoSim's windows are never brought
    // into view. The console Tessil runs in takes the foreground back from
    // EcoSim, which took it when it started, so that the keys the user types
    // during the study do not reach EcoSim's focused control.
    AutomationHost& host = *this;
    return std::make_unique<WindowProtocolEcoSim>(
        windows_, settings, inputs, &host,
        [] { return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(GetConsoleWindow()) & 0xFFFFFFFFu); },
        programFolder_, std::move(cancelled));
  };
}

}  // namespace tessil::cli
