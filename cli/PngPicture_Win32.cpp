// tessil-cli.exe's PNG pictures, drawn with GDI+ from the chart's primitives.
#include "ChartPainter.h"
#include "PngPicture.h"

namespace tessil::cli {

bool RenderChartAsPng(const chart::Chart& chart, std::string& png, std::string& reason) {
  return gdiplus::EncodeChartPng(chart, 2 * chart.Width, 2 * chart.Height, png, reason);
}

}  // namespace tessil::cli
