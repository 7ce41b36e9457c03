#include <ostream>

#include "WindowProtocolEcoSim.h"
#include "WindowsEcoSim.h"

namespace tessil::cli {

void ReportMissing(std::ostream& err, std::string_view message, const std::filesystem::path& programFolder) {
  const std::filesystem::path file =
      programFolder / WindowProtocolEcoSim::EcoSimFolder / WindowProtocolEcoSim::EcoSimProgram;
  err << "tessil-cli: " << message << "\n"
      << "tessil-cli: Tessil looked for it at " << file.string() << "\n";
}

}  // namespace tessil::cli
