// The results window's Chart view and the chart's PNG file.
#pragma once

#include <string>
#include <string_view>

#include "Win32Controls.h"

namespace tessil::win32ui {

// A child window that shows the chart of the run.
HWND CreateChartView(HWND parent, RECT where, int id);
void SetChartPicture(HWND view, const std::string& svg);
// Writes the chart as a PNG picture, whole or not at all.
bool WriteChartPng(const std::wstring& path, const std::string& svg, std::wstring* reason);

}  // namespace tessil::win32ui
