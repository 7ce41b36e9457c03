// Where the running program's file is: the folder beside which EcoSim's
// program file is looked for.
#pragma once

#include <filesystem>

namespace tessil::cli {

// The folder holding the running program's file; the working folder when the
// system will not say.
std::filesystem::path ProgramFolder();

}  // namespace tessil::cli
