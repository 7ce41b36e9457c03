// A chart's primitives as SVG text. Every element is written in one fixed
// form, its role and data first, so that the same chart always gives the
// same bytes.
#include "SvgDrawing.h"

#include <array>
#include <charconv>
#include <cstddef>
#include <system_error>
#include <type_traits>
#include <vector>

namespace tessil::svg {

namespace {

using chart::Coord;

// The shortest text that reads back as the same number: widths, radii and
// dash lengths, "1.5" rather than "1.50".
std::string Short(double value) {
  std::array<char, 64> buffer{};
  const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  if (error != std::errc()) return "0";
  return std::string(buffer.data(), end);
}

std::string Of(const Coord& coord) { return Num(coord.Value, coord.Decimals); }

std::string Hex(const chart::Colour& colour) {
  constexpr std::string_view digits = "0123456789abcdef";
  std::string out = "#";
  for (const std::uint8_t part : {colour.Red, colour.Green, colour.Blue}) {
    out += digits[part >> 4U];
    out += digits[part & 0xFU];
  }
  return out;
}

std::string Attribute(std::string_view name, std::string_view value) {
  return " " + std::string(name) + "=\"" + Escaped(value) + "\"";
}

std::string TagAttributes(const chart::Tag& tag) {
  std::string out;
  if (!tag.Role.empty()) out += Attribute("class", tag.Role);
  for (const auto& [name, value] : tag.Data) out += Attribute("data-" + name, value);
  return out;
}

std::string DashAttribute(const chart::Pen& pen) {
  if (pen.Dashes.empty()) return {};
  std::string dashes;
  for (const double length : pen.Dashes) dashes += (dashes.empty() ? "" : " ") + Short(length);
  return Attribute("stroke-dasharray", dashes);
}

std::string PenAttributes(const chart::Pen& pen) {
  return Attribute("stroke", Hex(pen.Ink)) + Attribute("stroke-width", Short(pen.Width)) + DashAttribute(pen);
}

// The end of an element: its tooltip inside it when it has one.
std::string Close(std::string_view element, const chart::Tag& tag) {
  if (tag.Tip.empty()) return "/>\n";
  return "><title>" + Escaped(tag.Tip) + "</title></" + std::string(element) + ">\n";
}

std::string Anchored(chart::Anchor anchor) {
  switch (anchor) {
    case chart::Anchor::Middle:
      return Attribute("text-anchor", "middle");
    case chart::Anchor::End:
      return Attribute("text-anchor", "end");
    default:
      return {};
  }
}

// A mark's shape about the origin, for a mark moved into place.
std::string ShapeAtOrigin(chart::Shape shape) {
  switch (shape) {
    case chart::Shape::Circle:
      return "<circle r=\"" + Short(chart::MarkRadius) + "\"/>";
    case chart::Shape::Square: {
      const std::string side = Short(2 * chart::MarkHalfSide);
      return "<rect x=\"" + Short(-chart::MarkHalfSide) + "\" y=\"" + Short(-chart::MarkHalfSide) + "\" width=\"" +
             side + "\" height=\"" + side + "\"/>";
    }
    default: {
      std::string points;
      for (const auto& [x, y] : chart::MarkCorners(shape)) {
        points += (points.empty() ? "" : " ") + Short(x) + "," + Short(y);
      }
      return "<polygon points=\"" + points + "\"/>";
    }
  }
}

class Writer {
 public:
  std::string Out;

  void operator()(const chart::Line& line) {
    Out += "<line" + TagAttributes(line.Is) + PenAttributes(line.Stroke) + Attribute("x1", Of(line.From.X)) +
           Attribute("y1", Of(line.From.Y)) + Attribute("x2", Of(line.To.X)) + Attribute("y2", Of(line.To.Y)) +
           Close("line", line.Is);
  }

  void operator()(const chart::Polyline& polyline) {
    std::string points;
    for (const chart::Point& p : polyline.Points) points += (points.empty() ? "" : " ") + Of(p.X) + "," + Of(p.Y);
    Out += "<polyline" + TagAttributes(polyline.Is) + Attribute("points", points) + Attribute("fill", "none") +
           Attribute("stroke", Hex(polyline.Stroke.Ink)) + Attribute("stroke-width", Short(polyline.Stroke.Width)) +
           Attribute("stroke-linejoin", "round") + DashAttribute(polyline.Stroke) + Close("polyline", polyline.Is);
  }

  void operator()(const chart::Box& box) {
    Out += "<rect" + TagAttributes(box.Is) + Attribute("x", Of(box.Corner.X)) + Attribute("y", Of(box.Corner.Y)) +
           Attribute("width", Of(box.Width)) + Attribute("height", Of(box.Height)) + Attribute("fill", Hex(box.Fill));
    if (box.Outline) Out += Attribute("stroke", Hex(*box.Outline));
    if (box.OutlineWidth) Out += Attribute("stroke-width", Short(*box.OutlineWidth));
    Out += Close("rect", box.Is);
  }

  void operator()(const chart::Mark& mark) {
    const std::string outline = mark.Outline ? Attribute("stroke", Hex(mark.Outline->Ink)) +
                                                   Attribute("stroke-width", Short(mark.Outline->Width))
                                             : std::string();
    if (mark.Translated) {
      Out += "<g" + TagAttributes(mark.Is) +
             Attribute("transform", "translate(" + Of(mark.Centre.X) + " " + Of(mark.Centre.Y) + ")") +
             Attribute("fill", Hex(mark.Fill)) + outline + ">" + ShapeAtOrigin(mark.Form);
      if (!mark.Is.Tip.empty()) Out += "<title>" + Escaped(mark.Is.Tip) + "</title>";
      Out += "</g>\n";
      return;
    }
    const double x = mark.Centre.X.Value;
    const double y = mark.Centre.Y.Value;
    const int decimals = mark.Centre.X.Decimals;
    switch (mark.Form) {
      case chart::Shape::Circle:
        Out += "<circle" + TagAttributes(mark.Is) + Attribute("cx", Of(mark.Centre.X)) +
               Attribute("cy", Of(mark.Centre.Y)) + Attribute("r", Short(chart::MarkRadius)) +
               Attribute("fill", Hex(mark.Fill)) + outline + Close("circle", mark.Is);
        return;
      case chart::Shape::Square:
        Out += "<rect" + TagAttributes(mark.Is) + Attribute("x", Num(x - chart::MarkHalfSide, decimals)) +
               Attribute("y", Num(y - chart::MarkHalfSide, decimals)) +
               Attribute("width", Short(2 * chart::MarkHalfSide)) +
               Attribute("height", Short(2 * chart::MarkHalfSide)) + Attribute("fill", Hex(mark.Fill)) + outline +
               Close("rect", mark.Is);
        return;
      default: {
        std::string points;
        for (const auto& [dx, dy] : chart::MarkCorners(mark.Form)) {
          points += (points.empty() ? "" : " ") + Num(x + dx, decimals) + "," + Num(y + dy, decimals);
        }
        Out += "<polygon" + TagAttributes(mark.Is) + Attribute("points", points) + Attribute("fill", Hex(mark.Fill)) +
               outline + Close("polygon", mark.Is);
      }
    }
  }

  void operator()(const chart::Text& text) {
    std::string look = Anchored(text.Align);
    if (!sizes_.back() || *sizes_.back() != text.Size) look += Attribute("font-size", Short(text.Size));
    if (text.Bold) look += Attribute("font-weight", "bold");
    if (text.Ink) look += Attribute("fill", Hex(*text.Ink));
    const std::string place = Attribute("x", Of(text.At.X)) + Attribute("y", Of(text.At.Y));
    if (text.Rotation == 0.0) {
      Out += "<text" + place + TagAttributes(text.Is) + look + ">";
    } else {
      Out +=
          "<text" + TagAttributes(text.Is) + place + look +
          Attribute("transform", "rotate(" + Short(text.Rotation) + " " + Of(text.At.X) + " " + Of(text.At.Y) + ")") +
          ">";
    }
    if (!text.Is.Tip.empty()) Out += "<title>" + Escaped(text.Is.Tip) + "</title>";
    Out += Escaped(text.Content) + "</text>\n";
  }

  void operator()(const chart::GroupStart& group) {
    Out += "<g" + TagAttributes(group.Is);
    if (group.TextSize) Out += Attribute("font-size", Short(*group.TextSize));
    Out += ">";
    if (!group.Is.Tip.empty()) Out += "<title>" + Escaped(group.Is.Tip) + "</title>";
    Out += "\n";
    sizes_.push_back(group.TextSize ? group.TextSize : sizes_.back());
  }

  void operator()(const chart::GroupEnd& /*end*/) {
    Out += "</g>\n";
    if (sizes_.size() > 1) sizes_.pop_back();
  }

 private:
  // The text size each open group gives its texts, outermost first.
  std::vector<std::optional<double>> sizes_{std::nullopt};
};

}  // namespace

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

std::string Document(const chart::Chart& chart) {
  Writer writer;
  writer.Out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
      std::to_string(chart.Width) + "\" height=\"" + std::to_string(chart.Height) + "\" viewBox=\"0 0 " +
      std::to_string(chart.Width) + " " + std::to_string(chart.Height) +
      "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\">\n<title>" + Escaped(chart.Title) +
      "</title>\n<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  for (const chart::Primitive& item : chart.Items) std::visit(writer, item);
  return writer.Out + "</svg>\n";
}

}  // namespace tessil::svg
