// What Tessil knows of EcoSim 7.0's windows and the stand-in EcoSim must
// reproduce: the menu commands the window protocol posts, the sizes of the
// windows it brings into view, where the results carry the p-values, and the
// largest matrix EcoSim's grid takes. Both sides read them from here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessil::ecosim {

// WM_COMMAND identifiers of the main window's menu items.
inline constexpr std::uintptr_t ResizeCommand = 17;        // Edit > Matrix Size
inline constexpr std::uintptr_t CooccurrenceCommand = 22;  // Analysis > Co-occurrence

// The sizes of EcoSim's windows when brought into view.
struct WindowSize {
  int Width;
  int Height;
};
inline constexpr WindowSize MainWindowSize{694, 418};
inline constexpr WindowSize OptionsWindowSize{402, 483};
inline constexpr WindowSize ResultsWindowSize{522, 559};
inline constexpr WindowSize ProgressWindowSize{307, 197};

// The results' second memo: its lower-tail p-value line, counted from 0,
// followed by the upper-tail line, each read through a buffer of this many
// characters.
inline constexpr int LowerTailLine = 5;
inline constexpr int UpperTailLine = LowerTailLine + 1;
inline constexpr std::size_t PValueLineCapacity = 33;
inline constexpr std::string_view LowerTailPrefix = "p(observed <= expected) = ";
inline constexpr std::string_view UpperTailPrefix = "p(observed >= expected) = ";

// The matrix sizes the resize dialog accepts: each side from 1 to
// MaxMatrixSide, and at most MaxGridCells cells.
inline constexpr int MaxMatrixSide = 100000;
inline constexpr std::int64_t MaxGridCells = std::int64_t{1} << 24;

}  // namespace tessil::ecosim
