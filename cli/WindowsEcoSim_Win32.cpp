// `--ecosim windows` on Windows: EcoSim itself, in a process of its own.
#include <ostream>

#include "WindowProtocolEcoSim.h"
#include "WindowsEcoSim.h"

namespace tessil::cli {

WindowsEcoSim::WindowsEcoSim(std::filesystem::path programFolder, std::ostream& err)
    : programFolder_(std::move(programFolder)), err_(err) {}

void WindowsEcoSim::ReportProgramMissing(std::string_view message) { ReportMissing(err_, message, programFolder_); }

StudyAutomationFactory WindowsEcoSim::Factory() {
  return [this](RunSettings& settings, const RunInputs& inputs,
                std::function<bool()> cancelled) -> std::unique_ptr<EcoSimAutomation> {
    // No progress window of Tessil's own: EcoSim's windows are placed
    // against none and never brought into view.
    AutomationHost& host = *this;
    return std::make_unique<WindowProtocolEcoSim>(
        windows_, settings, inputs, &host, [] { return NoWindow; }, programFolder_, std::move(cancelled));
  };
}

}  // namespace tessil::cli
