// The results window's Chart view: a child window that paints the chart's
// primitives with GDI+, scaled to fit.
#pragma once

#include "ChartPrimitives.h"
#include "Win32Controls.h"

namespace tessil::win32ui {

HWND CreateChartView(HWND parent, RECT where, int id);
// The chart the view paints; it must outlive the view.
void SetChartPicture(HWND view, const chart::Chart* picture);

}  // namespace tessil::win32ui
