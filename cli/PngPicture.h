// Charts drawn as PNG, where the build can draw them: with Qt SVG on Linux,
// with GDI+ on Windows. Kept apart so that tessil-cli itself stays free of
// either.
#pragma once

#include <string>

#include "ChartPrimitives.h"

namespace tessil::cli {

// Draws the chart at twice its own size on white and encodes it as PNG.
// Needs no display: with Qt, without an application of its own it makes one
// on Qt's offscreen platform for the drawing. False with the reason when it
// fails.
bool RenderChartAsPng(const chart::Chart& chart, std::string& png, std::string& reason);

}  // namespace tessil::cli
