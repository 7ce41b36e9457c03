// The SVG pieces the charts share.
#include "SvgDrawing.h"

#include <array>
#include <charconv>
#include <system_error>

namespace tessil::svg {

std::string Num(double value, int decimals) {
  std::array<char, 64> buffer{};
  const auto [end, error] =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, decimals);
  if (error != std::errc()) return "0";
  return std::string(buffer.data(), end);
}

std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Text(double x, double y, std::string_view text, std::string_view attributes) {
  std::string out = "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\"";
  if (!attributes.empty()) {
    out += ' ';
    out += attributes;
  }
  return out + ">" + Escaped(text) + "</text>\n";
}

std::string Line(double x1, double y1, double x2, double y2, std::string_view attributes) {
  return "<line " + std::string(attributes) + " x1=\"" + Num(x1) + "\" y1=\"" + Num(y1) + "\" x2=\"" + Num(x2) +
         "\" y2=\"" + Num(y2) + "\"/>\n";
}

std::string Open(int width, int height, std::string_view title) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
         std::to_string(width) + "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) +
         " " + std::to_string(height) + "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\">\n<title>" +
         Escaped(title) + "</title>\n<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
}

}  // namespace tessil::svg
