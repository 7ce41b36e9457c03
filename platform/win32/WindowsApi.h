// <windows.h> for the files that call user32 and shell32 beside the window
// system's own operations: user32's A/W macros (FindWindow, SendMessage, ...)
// would rename those operations, so they are undone here. Include it in
// source files only, never in a header others include.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// windows.h first, then shellapi.h
#include <shellapi.h>

#undef FindWindow
#undef FindWindowEx
#undef PostMessage
#undef SendMessage
#undef GetWindowText
#undef GetWindowLong
#undef SetWindowLong
#undef ShellExecute
