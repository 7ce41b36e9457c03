// Lines of chart text that fit their picture.
#include "ChartText.h"

#include <algorithm>

namespace tessil::chart {

namespace {

bool ContinuesCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0U) == 0x80U; }

std::size_t Characters(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return !ContinuesCharacter(c); }));
}

// The longest start of the text, whole characters only, no wider than
// `width`; at least one character, so that every line takes something.
std::size_t FittingPrefix(std::string_view text, double width, double size, bool bold) {
  const double each = size * (bold ? BoldCharEm : RegularCharEm);
  const auto room = std::max<std::size_t>(1, static_cast<std::size_t>(width / each));
  std::size_t characters = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t next = at + 1;
    while (next < text.size() && ContinuesCharacter(text[next])) ++next;
    if (characters + 1 > room) break;
    ++characters;
    at = next;
  }
  return at;
}

}  // namespace

double TextWidth(std::string_view text, double size, bool bold) {
  return static_cast<double>(Characters(text)) * size * (bold ? BoldCharEm : RegularCharEm);
}

std::vector<std::string> WrapText(std::string_view text, double width, double size, bool bold, std::size_t maxLines) {
  std::vector<std::string> lines;
  std::string_view rest = text;
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  while (!rest.empty()) {
    if (maxLines != 0 && lines.size() + 1 == maxLines && TextWidth(rest, size, bold) > width) {
      // The last line allowed: as much as fits before an ellipsis.
      const std::string_view ellipsis = "\xE2\x80\xA6";
      std::size_t cut = FittingPrefix(rest, width - TextWidth(ellipsis, size, bold), size, bold);
      const std::size_t space = rest.substr(0, cut).rfind(' ');
      if (space != std::string_view::npos && space > cut / 2) cut = space;
      std::string line(rest.substr(0, cut));
      while (!line.empty() && (line.back() == ' ' || line.back() == ',' || line.back() == ';')) line.pop_back();
      lines.push_back(line + std::string(ellipsis));
      return lines;
    }
    std::size_t cut = rest.size();
    if (TextWidth(rest, size, bold) > width) {
      const std::size_t fits = FittingPrefix(rest, width, size, bold);
      // Break at the last space that leaves the line within the width (a
      // space right after the fitting part ends the line there too).
      const std::size_t space = fits < rest.size() && rest[fits] == ' ' ? fits : rest.substr(0, fits).rfind(' ');
      cut = space == std::string_view::npos || space == 0 ? fits : space;
    }
    std::string_view line = rest.substr(0, cut);
    while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
    lines.emplace_back(line);
    rest.remove_prefix(cut);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  }
  return lines;
}

std::vector<std::string> WrapTitle(std::string_view text, double width, double size, bool bold, std::size_t maxLines) {
  std::vector<std::string> lines = WrapText(text, width, size, bold, maxLines);
  if (lines.size() < 2 || lines.back().find("\xE2\x80\xA6") != std::string::npos) return lines;
  const std::size_t count = lines.size();
  // The title's clauses, each with the comma, colon or semicolon that ends
  // it: a line that ends at a clause's end reads better than one that
  // parts "Fixed" from "Sum".
  std::vector<std::string_view> clauses;
  for (std::size_t from = 0, at = 0; at <= text.size(); ++at) {
    const bool ends = at == text.size() || (at + 1 < text.size() && text[at + 1] == ' ' &&
                                            (text[at] == ',' || text[at] == ':' || text[at] == ';'));
    if (!ends) continue;
    const std::size_t end = at == text.size() ? at : at + 1;
    clauses.push_back(text.substr(from, end - from));
    from = end + 1;
    at = end;
  }
  // Clauses packed into lines of at most `room`, or nothing when a clause
  // alone is wider.
  const auto packed = [&](double room) {
    std::vector<std::string> out;
    for (const std::string_view clause : clauses) {
      if (TextWidth(clause, size, bold) > room) return std::vector<std::string>();
      if (!out.empty() && TextWidth(out.back() + " " + std::string(clause), size, bold) <= room) {
        out.back() += " " + std::string(clause);
      } else {
        out.emplace_back(clause);
      }
    }
    return out;
  };
  const auto fits = [&](double room) {
    const std::vector<std::string> byClause = packed(room);
    return !byClause.empty() && byClause.size() <= count;
  };
  const bool byClauses = fits(width);
  const auto lineCount = [&](double room) {
    return byClauses ? (fits(room) ? count : count + 1) : WrapText(text, room, size, bold).size();
  };
  // The narrowest width, to a pixel, that needs no more lines.
  double wide = width;
  double narrow = width / static_cast<double>(count) / 2.0;
  while (wide - narrow > 1.0) {
    const double mid = (wide + narrow) / 2.0;
    if (lineCount(mid) <= count) {
      wide = mid;
    } else {
      narrow = mid;
    }
  }
  return byClauses ? packed(wide) : WrapText(text, wide, size, bold);
}

}  // namespace tessil::chart

namespace tessil {

std::string GroupedNumber(std::int64_t value) {
  const bool negative = value < 0;
  // In unsigned arithmetic the most negative value has a magnitude too.
  std::uint64_t magnitude = negative ? 0U - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  std::string digits = std::to_string(magnitude);
  std::string out;
  for (std::size_t k = 0; k < digits.size(); ++k) {
    if (k > 0 && (digits.size() - k) % 3 == 0) out += ',';
    out += digits[k];
  }
  return negative ? "-" + out : out;
}

}  // namespace tessil
