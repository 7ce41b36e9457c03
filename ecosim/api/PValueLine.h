// How every implementation of the automation reads a p-value from EcoSim's
// results text, so that all of them reject on exactly the same matrices.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "EcoSimFacts.h"

namespace tessil {

using ecosim::LowerTailLine;
using ecosim::LowerTailPrefix;
using ecosim::PValueLineCapacity;
using ecosim::UpperTailPrefix;

// A line as a fixed-capacity line buffer returns it: the buffer starts with
// its capacity as a 16-bit little-endian number followed by spaces, and the
// line's first `capacity` characters are copied over it without a
// terminating zero.
std::string LineBuffer(std::string_view line, std::size_t capacity);

// The p-value in a line buffer: every occurrence of the tail's prefix is
// removed and the rest, blanks around it ignored, must be a decimal number
// from 0 to 1, its decimal separator a point or a comma. Fails with
// PValueNotANumber otherwise ("nan" and "inf" included).
double PValueFromLine(std::string_view buffer, std::int16_t upperTail);

}  // namespace tessil
