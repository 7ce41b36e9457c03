// A chart as a list of drawing primitives: lines, marks, boxes and anchored
// text in the chart's own pixels (y grows downwards), each with the role a
// reader or a test finds it by. The charts are computed once into this form;
// the SVG writer and the Win32 painter only draw it (the Qt window shows the
// SVG), so a change to a chart is made where it is computed and every
// picture follows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tessil::chart {

struct Colour {
  std::uint8_t Red = 0;
  std::uint8_t Green = 0;
  std::uint8_t Blue = 0;
  bool operator==(const Colour&) const = default;
};

// A colour from its "#rrggbb" value, as 0xrrggbb.
constexpr Colour Rgb(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value >> 16U), static_cast<std::uint8_t>(value >> 8U),
          static_cast<std::uint8_t>(value)};
}

constexpr Colour White = Rgb(0xffffff);

// A coordinate or length with the number of decimals a saved picture writes
// it with: measured places get two, the chart's fixed offsets none.
struct Coord {
  double Value = 0.0;
  int Decimals = 2;
  Coord() = default;
  Coord(double value) : Value(value) {}  // NOLINT(google-explicit-constructor): plain numbers are the usual case
  Coord(double value, int decimals) : Value(value), Decimals(decimals) {}
};

struct Point {
  Coord X;
  Coord Y;
};

struct Pen {
  Colour Ink;
  double Width = 1.0;
  std::vector<double> Dashes;  // lengths of dash, gap, dash, ...; empty for a solid line
};

// What a primitive is, for whoever reads the picture rather than looks at
// it: its role (a class in SVG, "mark in-null"), named data ("argument" and
// its value, an SVG "data-argument" attribute) and the tooltip a pointer
// shows.
struct Tag {
  std::string Role;
  std::vector<std::pair<std::string, std::string>> Data;
  std::string Tip;
};

// A tag with a role only.
inline Tag Role(std::string role) {
  Tag tag;
  tag.Role = std::move(role);
  return tag;
}

struct Line {
  Point From;
  Point To;
  Pen Stroke;
  Tag Is;
};

// Joined segments through the points, with round joins and nothing filled.
struct Polyline {
  std::vector<Point> Points;
  Pen Stroke;
  Tag Is;
};

// A filled rectangle from its top left corner; an outline without a width
// is one pixel wide.
struct Box {
  Point Corner;
  Coord Width;
  Coord Height;
  Colour Fill;
  std::optional<Colour> Outline;
  std::optional<double> OutlineWidth;
  Tag Is;
};

enum class Shape { Circle, Square, TriangleUp, Diamond, TriangleDown };

// The sizes of the marks, about their centre.
inline constexpr double MarkRadius = 4.5;
inline constexpr double MarkHalfSide = 4.0;

// The corners of a mark drawn as a polygon, about its centre; none for the
// circle and the square.
inline std::vector<std::pair<double, double>> MarkCorners(Shape shape) {
  switch (shape) {
    case Shape::TriangleUp:
      return {{0, -5.5}, {5, 3.5}, {-5, 3.5}};
    case Shape::Diamond:
      return {{0, -5.5}, {5, 0}, {0, 5.5}, {-5, 0}};
    case Shape::TriangleDown:
      return {{0, 5.5}, {5, -3.5}, {-5, -3.5}};
    default:
      return {};
  }
}

// A data point's mark of a fixed size, centred on its place: a circle of
// radius 4.5, a square of side 8, triangles and a diamond about 10 across.
struct Mark {
  Point Centre;
  Shape Form = Shape::Circle;
  Colour Fill;
  std::optional<Pen> Outline;
  // Written in a saved picture as its shape around the origin moved to the
  // centre, the form of marks that stand for a series; looks the same.
  bool Translated = false;
  Tag Is;
};

enum class Anchor { Start, Middle, End };

struct Text {
  Point At;             // on the baseline, at the anchor
  std::string Content;  // UTF-8
  Anchor Align = Anchor::Start;
  double Size = 12;  // in pixels
  bool Bold = false;
  std::optional<Colour> Ink;  // black when absent
  double Rotation = 0;        // degrees, clockwise about At as the y axis points down
  Tag Is;
};

// Primitives between a group's start and end belong together (a legend, a
// legend's entry); their text is of the group's size unless it says otherwise.
struct GroupStart {
  std::optional<double> TextSize;
  Tag Is;
};
struct GroupEnd {};

using Primitive = std::variant<Line, Polyline, Box, Mark, Text, GroupStart, GroupEnd>;

// The room a chart is laid out in, in pixels: a window's view or a saved
// picture's page.
struct ChartSize {
  int Width = 0;
  int Height = 0;
  bool operator==(const ChartSize&) const = default;
};

struct Chart {
  int Width = 0;
  int Height = 0;
  std::string Title;             // the picture's own name, shown by viewers, not drawn
  std::vector<Primitive> Items;  // drawn in order, later over earlier, on white
};

// The role a chart's title lines have: a painter checks by it that a title
// was drawn.
inline constexpr const char* TitleRole = "title";

}  // namespace tessil::chart
