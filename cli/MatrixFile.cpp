#include "MatrixFile.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace tessil::cli {

namespace {

struct Field {
  std::string Text;
  int Column;  // 1-based field number
};

std::vector<Field> SplitFields(std::string_view line) {
  // A comma or semicolon separates fields; so does a run of blanks or tabs.
  const bool delimited = line.find_first_of(",;") != std::string_view::npos;
  std::vector<Field> fields;
  std::string current;
  int column = 1;
  auto trim = [](std::string s) {
    const auto begin = s.find_first_not_of(" \t\"");
    const auto end = s.find_last_not_of(" \t\"");
    return begin == std::string::npos ? std::string() : s.substr(begin, end - begin + 1);
  };
  if (delimited) {
    for (char c : line) {
      if (c == ',' || c == ';') {
        fields.push_back({trim(current), column++});
        current.clear();
      } else {
        current.push_back(c);
      }
    }
    fields.push_back({trim(current), column});
    return fields;
  }
  for (char c : line) {
    if (c == ' ' || c == '\t') {
      if (!current.empty()) fields.push_back({current, column++});
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty()) fields.push_back({current, column});
  return fields;
}

bool IsCell(const std::string& s) { return s == "0" || s == "1"; }

}  // namespace

MatrixFile ParseMatrixText(std::string_view text) {
  struct Line {
    int Number;
    std::vector<Field> Fields;
  };
  std::vector<Line> lines;
  int number = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view raw = text.substr(start, end - start);
    ++number;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    if (number == 1 && raw.size() >= 3 && raw.substr(0, 3) == "\xEF\xBB\xBF") raw.remove_prefix(3);
    const auto first = raw.find_first_not_of(" \t");
    if (first != std::string_view::npos && raw[first] != '#') lines.push_back({number, SplitFields(raw)});
    if (end == text.size()) break;
    start = end + 1;
  }
  if (lines.empty()) throw MatrixFileError(1, 1, "the file holds no matrix");

  MatrixFile result;
  // A first row with anything but 0/1 after an optional leading name is a header.
  std::size_t firstData = 0;
  {
    const std::vector<Field>& head = lines.front().Fields;
    bool allCells = true;
    for (std::size_t k = 1; k < head.size(); ++k) allCells = allCells && IsCell(head[k].Text);
    if (!allCells || (head.size() == 1 && !IsCell(head[0].Text))) {
      firstData = 1;
      for (const Field& f : head) result.SiteNames.push_back(f.Text);
    }
  }
  if (firstData >= lines.size()) throw MatrixFileError(lines.front().Number, 1, "the file has a header but no species rows");

  // Names in the first field: decided by the first species row.
  const bool named = !IsCell(lines[firstData].Fields.front().Text);
  const std::size_t sites = lines[firstData].Fields.size() - (named ? 1 : 0);
  if (sites == 0) throw MatrixFileError(lines[firstData].Number, 2, "a species row has no cells");
  if (!result.SiteNames.empty()) {
    // The header may or may not have a corner cell above the names.
    if (result.SiteNames.size() == sites + 1) result.SiteNames.erase(result.SiteNames.begin());
    if (result.SiteNames.size() != sites) {
      throw MatrixFileError(lines.front().Number, 1,
                            "the header names " + std::to_string(result.SiteNames.size()) + " sites but the rows have " +
                                std::to_string(sites) + " cells");
    }
  }
  const std::size_t species = lines.size() - firstData;
  if (species > 1'000'000 || sites > 1'000'000) {
    throw MatrixFileError(lines[firstData].Number, 1, "the matrix is too large");
  }
  result.Matrix = cooc::Incidence(static_cast<int>(species), static_cast<int>(sites));
  for (std::size_t r = 0; r < species; ++r) {
    const Line& line = lines[firstData + r];
    std::size_t offset = 0;
    if (named) {
      if (IsCell(line.Fields.front().Text)) {
        throw MatrixFileError(line.Number, 1, "this row has no species name, but the first species row has one");
      }
      result.SpeciesNames.push_back(line.Fields.front().Text);
      offset = 1;
    }
    const std::size_t cells = line.Fields.size() - offset;
    for (std::size_t k = 0; k < std::min(cells, sites); ++k) {
      const Field& f = line.Fields[offset + k];
      if (!IsCell(f.Text)) {
        throw MatrixFileError(line.Number, f.Column,
                              f.Text.empty() ? std::string("the cell is empty") : "\"" + f.Text + "\" is not 0 or 1");
      }
      result.Matrix.Set(static_cast<int>(r), static_cast<int>(k), f.Text == "1");
    }
    if (cells != sites) {
      const int column = cells < sites ? static_cast<int>(line.Fields.size()) + 1 : line.Fields[offset + sites].Column;
      throw MatrixFileError(line.Number, column,
                            "expected " + std::to_string(sites) + " cells, found " + std::to_string(cells));
    }
  }
  return result;
}

MatrixFile ReadMatrixFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open \"" + path + "\"");
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) throw std::runtime_error("cannot read \"" + path + "\"");
  return ParseMatrixText(buffer.str());
}

}  // namespace tessil::cli
