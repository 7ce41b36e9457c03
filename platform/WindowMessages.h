// The window messages, styles and flags by which Tessil drives EcoSim, with
// the values EcoSim receives on every platform.
#pragma once

#include <cstdint>

#include "WindowHandle.h"

namespace tessil::win {

// Messages.
inline constexpr std::uint32_t WM_SETTEXT = 0x000C;
inline constexpr std::uint32_t WM_GETTEXT = 0x000D;
inline constexpr std::uint32_t WM_GETTEXTLENGTH = 0x000E;
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;
inline constexpr std::uint32_t WM_KEYUP = 0x0101;
inline constexpr std::uint32_t WM_CHAR = 0x0102;
inline constexpr std::uint32_t WM_COMMAND = 0x0111;
inline constexpr std::uint32_t EM_GETLINE = 0x00C4;
inline constexpr std::uint32_t BM_CLICK = 0x00F5;
inline constexpr std::uint32_t TCM_SETCURFOCUS = 0x1330;

// Virtual keys.
inline constexpr std::uintptr_t VK_TAB = 0x09;
inline constexpr std::uintptr_t VK_SPACE = 0x20;
inline constexpr std::uintptr_t VK_SHIFT = 0x10;

// Extended style and layered windows.
inline constexpr int GWL_EXSTYLE = -20;
inline constexpr std::int32_t WS_EX_TRANSPARENT = 0x00000020;
inline constexpr std::int32_t WS_EX_LAYERED = 0x00080000;
inline constexpr std::uint32_t LWA_ALPHA = 0x00000002;

// Placement in the stacking order (the insert-after argument of SetWindowPos).
inline constexpr WindowHandle HWND_TOP = 0;
inline constexpr WindowHandle HWND_BOTTOM = 1;
inline constexpr WindowHandle HWND_TOPMOST = 0xFFFFFFFFu;
inline constexpr WindowHandle HWND_NOTOPMOST = 0xFFFFFFFEu;

// SetWindowPos flags.
inline constexpr std::uint32_t SWP_NOSIZE = 0x0001;
inline constexpr std::uint32_t SWP_NOMOVE = 0x0002;
inline constexpr std::uint32_t SWP_NOZORDER = 0x0004;
inline constexpr std::uint32_t SWP_NOACTIVATE = 0x0010;

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;

// ShellExecute results: above 32 the program was started.
inline constexpr std::intptr_t SE_ERR_FNF = 2;
inline constexpr std::intptr_t SE_ERR_NOASSOC = 31;
inline constexpr std::intptr_t SE_STARTED = 42;

}  // namespace tessil::win
