// How every implementation of the automation reads a p-value from EcoSim's
// results text, so that all of them reject on exactly the same matrices.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tessil {

inline constexpr std::string_view LowerTailPrefix = "p(observed <= expected) = ";
inline constexpr std::string_view UpperTailPrefix = "p(observed >= expected) = ";
// Line index, counted from 0, of the lower-tail line in the second results
// memo; the upper-tail line follows it.
inline constexpr int LowerTailLine = 5;
// The number of characters of a results line that are read.
inline constexpr std::size_t PValueLineCapacity = 33;

// A line as a fixed-capacity line buffer returns it: the buffer starts with
// its capacity as a 16-bit little-endian number followed by spaces, and the
// line's first `capacity` characters are copied over it without a
// terminating zero.
std::string LineBuffer(std::string_view line, std::size_t capacity);

// The p-value in a line buffer: every occurrence of the tail's prefix is
// removed and the rest, blanks around it ignored, must be a decimal number.
// Fails with PValueNotANumber otherwise.
double PValueFromLine(std::string_view buffer, std::int16_t upperTail);

}  // namespace tessil
