// Tessil's charts drawn with GDI+ on Windows: into a window's device context
// and as PNG pictures, from the same primitives the SVG is written from.
//
// The first call starts GDI+, which stays started until the process ends, so
// a caller needs no set-up and no clean-up. Text is drawn in the system's
// message font (the font of message boxes, as SystemParametersInfo reports
// it), in the face GDI's font mapper realises it with, which exists on every
// machine; where GDI+ cannot make that face, in its generic sans-serif face,
// else in any installed family. A chart is scaled to fit the area it is
// given, keeping its proportions, centred on white.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "ChartPrimitives.h"

namespace tessil::gdiplus {

// Paints the chart into the rectangle of the device context, as a window's
// WM_PAINT handler does with BeginPaint's DC and its client rectangle. False
// when GDI+ could not start or refused to draw; the area is then left as it
// was or partly drawn.
bool DrawChart(HDC dc, const RECT& area, const chart::Chart& chart);

// The chart drawn at width x height pixels (the chart's own size when either
// is 0 or less) on white and encoded as PNG bytes. False with the reason in
// words when GDI+ cannot start, draw or encode.
bool EncodeChartPng(const chart::Chart& chart, int width, int height, std::string& png, std::string& reason);

// Writes that PNG to the path: to a new file beside it first, renamed over
// the path once every byte is on disk, so that an existing picture is
// replaced whole or not at all. False with the reason in words ("the folder
// does not exist", "access is denied", ...); the new file is then removed.
bool WriteChartPng(const chart::Chart& chart, int width, int height, const std::wstring& path, std::string& reason);

// Writes the chart's SVG text to the path the same way: replaced whole or not
// at all, false with the reason in words.
bool WriteChartSvg(const chart::Chart& chart, const std::wstring& path, std::string& reason);

// The face text is drawn in, as GDI+ names it: the system's message font, or
// the generic sans-serif face.
std::wstring ChartFontFace();

}  // namespace tessil::gdiplus
