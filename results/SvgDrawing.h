// A chart's primitives written as SVG text, with numbers written the same in
// every locale.
#pragma once

#include <string>
#include <string_view>

#include "ChartPrimitives.h"

namespace tessil::svg {

// Numbers in the picture are written with a point whatever the user's
// locale, which an SVG reader requires.
std::string Num(double value, int decimals = 2);

// Text made safe for an element's content or a quoted attribute.
std::string Escaped(std::string_view text);

// The whole document: the XML declaration, the <svg> element with the
// chart's size and title on a white background, then every primitive in
// order, each role a class and each datum a "data-" attribute, so that
// readers and tests find the chart's parts by name.
std::string Document(const chart::Chart& chart);

}  // namespace tessil::svg
