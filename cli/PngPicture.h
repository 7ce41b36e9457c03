// SVG pictures drawn as PNG, where the build has Qt; kept apart so that
// tessil-cli itself stays free of Qt.
#pragma once

#include <string>

namespace tessil::cli {

// Draws the SVG at twice its own size on white and encodes it as PNG. Needs
// no display: without an application of its own it makes one on Qt's
// offscreen platform for the drawing. False with the reason when it fails.
bool RenderSvgAsPng(const std::string& svg, std::string& png, std::string& reason);

}  // namespace tessil::cli
