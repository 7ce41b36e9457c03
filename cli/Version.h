// Tessil's version, as the build names it; a sweep's folder records it, since
// another version's results may differ.
#pragma once

#include <string_view>

namespace tessil::cli {

inline constexpr std::string_view TessilVersion = TESSIL_VERSION;

}  // namespace tessil::cli
