// The combinations of hypothesis and assumptions that the main window makes
// impossible; other front ends refuse them in these words.
#pragma once

#include <string>

#include "Public_Declarations.h"

namespace tessil {

// Why these choices cannot be run, or an empty text when they can.
std::string RefuseChoices(const MainWindowChoices& choices);

}  // namespace tessil
