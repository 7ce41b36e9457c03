// Where the help pages live inside the program.
#pragma once

#include <QString>

namespace tessil {

// The resource folder holding the help pages ("Getting Started.htm",
// "Results.htm", ...), registered on first use.
QString HelpPagesFolder();

}  // namespace tessil
