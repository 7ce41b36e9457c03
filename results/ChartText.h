// Text in the charts laid out without a font at hand: a line's width
// estimated from its count of characters, long titles and sentences broken
// into lines that fit the picture, and counts written with their thousands
// apart. Every chart uses these, so that SVG, the Qt window and GDI+ show the
// same lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ChartPrimitives.h"

namespace tessil::chart {

// A line of text of `size` pixels on its baseline at (x, y), with the role
// a reader finds it by.
inline Text Label(double x, double y, std::string content, double size, Anchor align = Anchor::Start,
                  std::string role = {}) {
  Text text;
  text.At = {x, y};
  text.Content = std::move(content);
  text.Size = size;
  text.Align = align;
  text.Is.Role = std::move(role);
  return text;
}

// A generous width of one character of the charts' sans-serif face (DejaVu
// Sans, Arial), in ems: DejaVu Sans writes a line of words and figures at
// about 0.52 em a character, 0.59 in bold; Arial narrower still.
inline constexpr double RegularCharEm = 0.58;
inline constexpr double BoldCharEm = 0.66;

// How wide a line of text of `size` pixels is at most, counting characters
// rather than bytes of UTF-8.
double TextWidth(std::string_view text, double size, bool bold = false);

// The text broken into lines no wider than `width`, at spaces; a word wider
// than a line alone is broken between characters. With `maxLines` (not 0)
// and more text than that many lines hold, the last line ends in an
// ellipsis, within the width.
std::vector<std::string> WrapText(std::string_view text, double width, double size, bool bold = false,
                                  std::size_t maxLines = 0);

// A title's lines: as WrapText gives them, but as even in length as the
// same number of lines allows, so that no line is left with a word or two.
std::vector<std::string> WrapTitle(std::string_view text, double width, double size, bool bold = true,
                                   std::size_t maxLines = 3);

}  // namespace tessil::chart

namespace tessil {

// A whole number with a comma between each group of three digits:
// "11,000", "-1,234,567", "950".
std::string GroupedNumber(std::int64_t value);

}  // namespace tessil
