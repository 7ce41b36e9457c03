#include "PValueLine.h"

#include <charconv>

#include "Errors.h"

namespace tessil {

std::string LineBuffer(std::string_view line, std::size_t capacity) {
  std::string buffer(capacity, ' ');
  if (capacity >= 1) buffer[0] = static_cast<char>(capacity & 0xFF);
  if (capacity >= 2) buffer[1] = static_cast<char>((capacity >> 8) & 0xFF);
  const std::size_t copied = line.size() < capacity ? line.size() : capacity;
  buffer.replace(0, copied, line.substr(0, copied));
  return buffer;
}

double PValueFromLine(std::string_view buffer, std::int16_t upperTail) {
  const std::string_view prefix = upperTail == 0 ? LowerTailPrefix : UpperTailPrefix;
  std::string text(buffer);
  for (std::size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at)) {
    text.erase(at, prefix.size());
  }
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  const char* first = text.data() + begin;
  const char* last = text.data() + end;
  if (first != last && *first == '+') ++first;
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
  if (first == last || ec != std::errc() || ptr != last) {
    // Show the line as read, with the length field's bytes made visible.
    std::string shown(buffer);
    for (char& c : shown) {
      if (static_cast<unsigned char>(c) < 0x20) c = '?';
    }
    throw PValueNotANumber(shown);
  }
  return value;
}

}  // namespace tessil
