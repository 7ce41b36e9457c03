// tessil-cli's commands: a whole study headless, or one co-occurrence test on
// a user's own matrix.
#pragma once

#include "CliEnvironment.h"

namespace tessil::cli {

int RunCommandLine(int argc, const char* const* argv, Environment& env);

}  // namespace tessil::cli
