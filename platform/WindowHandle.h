// A window as the window system names it.
#pragma once

#include <cstdint>

namespace tessil {

// 32 bits, as EcoSim's windows are named on every platform; 0 is no window.
using WindowHandle = std::uint32_t;
inline constexpr WindowHandle NoWindow = 0;

}  // namespace tessil
