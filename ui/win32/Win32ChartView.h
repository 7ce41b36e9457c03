// The results window's Chart view: a child window that paints the chart's
// primitives with GDI+ at one to one (scaled only by the screen's dots per
// inch), laid out again for its own size whenever that changes, with a
// vertical scroll bar when the chart is taller than the view.
#pragma once

#include <functional>

#include "ChartPrimitives.h"
#include "Win32Controls.h"

namespace tessil::win32ui {

// The chart laid out for a room given in pixels at 96 dots per inch.
using ChartSource = std::function<chart::Chart(chart::ChartSize room)>;

HWND CreateChartView(HWND parent, RECT where, int id);
// The chart the view lays out and paints; asked again at every size.
void SetChartSource(HWND view, ChartSource source);

}  // namespace tessil::win32ui
