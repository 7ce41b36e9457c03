#include "PValueLine.h"

#include <algorithm>
#include <cmath>

#include "Errors.h"
#include "NumberText.h"

namespace tessil {

std::string LineBuffer(std::string_view line, std::size_t capacity) {
  // Built in place: the grid's check reads one such buffer for every cell
  // typed.
  std::string buffer(capacity, ' ');
  if (capacity >= 1) buffer[0] = static_cast<char>(capacity & 0xFF);
  if (capacity >= 2) buffer[1] = static_cast<char>((capacity >> 8) & 0xFF);
  const std::size_t copied = line.size() < capacity ? line.size() : capacity;
  std::copy_n(line.data(), copied, buffer.data());
  return buffer;
}

double PValueFromLine(std::string_view buffer, std::int16_t upperTail) {
  const std::string_view prefix = upperTail == 0 ? LowerTailPrefix : UpperTailPrefix;
  std::string text(buffer);
  for (std::size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at)) {
    text.erase(at, prefix.size());
  }
  // EcoSim writes its numbers in the user's locale: a decimal comma is a
  // decimal point. A p-value has no thousands to separate.
  std::replace(text.begin(), text.end(), ',', '.');
  const DecimalText read = ReadDecimal(text, std::chars_format::fixed);
  // The reader takes "nan" and "inf" for numbers; a p-value is neither, nor
  // anything outside 0 to 1.
  if (!read.Valid || read.OutOfRange || !std::isfinite(read.Value) || read.Value < 0.0 || read.Value > 1.0) {
    // Show the line as read, with the length field's bytes made visible.
    std::string shown(buffer);
    for (char& c : shown) {
      if (static_cast<unsigned char>(c) < 0x20) c = '?';
    }
    throw PValueNotANumber(shown);
  }
  return read.Value;
}

}  // namespace tessil
