// The few SVG pieces every chart is drawn from: numbers written the same in
// every locale, escaped text, lines and the document's opening.
#pragma once

#include <string>
#include <string_view>

namespace tessil::svg {

// Numbers in the picture are written with a point whatever the user's
// locale, which an SVG reader requires.
std::string Num(double value, int decimals = 2);

// Text made safe for an element's content or a quoted attribute.
std::string Escaped(std::string_view text);

std::string Text(double x, double y, std::string_view text, std::string_view attributes = {});

std::string Line(double x1, double y1, double x2, double y2, std::string_view attributes);

// The XML declaration, the <svg> element with its size, the document's title
// and a white background; the caller closes the element.
std::string Open(int width, int height, std::string_view title);

}  // namespace tessil::svg
