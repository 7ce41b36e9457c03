// Random mutations of valid matrix files, read by the reader and by a plain
// reference reader that holds the whole file and follows the reading rules
// step by step. Every file the reader accepts must hold exactly what the
// reference finds; every file it refuses must be refused by the reference at
// the same line and column.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "MatrixFile.h"

namespace tessil::cli {
namespace {

struct Reading {
  int FaultLine = 0;  // 0: the file was read
  int FaultColumn = 0;
  std::vector<std::vector<bool>> Cells;
  std::vector<std::string> Species, Sites;
};

struct Fault {
  int Line, Column;
};

// ---- The reference reader -------------------------------------------------

const std::string Nbsp = "\xC2\xA0";

// Decimal, with an optional exponent, or inf, infinity, nan, nan(...); signs
// in front.
bool LooksLikeNumber(std::string s) {
  if (s.starts_with("+")) s.erase(0, 1);
  if (s.starts_with("-")) s.erase(0, 1);
  std::string lower;
  for (char c : s) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "inf" || lower == "infinity" || lower == "nan") return true;
  auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  if (lower.starts_with("nan(") && lower.ends_with(")")) return std::all_of(s.begin() + 4, s.end() - 1, word);
  auto digit = [&s](std::size_t i) { return i < s.size() && s[i] >= '0' && s[i] <= '9'; };
  std::size_t i = 0;
  int digits = 0;
  for (; digit(i); ++i) ++digits;
  if (i < s.size() && s[i] == '.') ++i;
  for (; digit(i); ++i) ++digits;
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (!digit(i)) return false;
    while (digit(i)) ++i;
  }
  return i == s.size();
}
bool IsCell(const std::string& s) { return s == "0" || s == "1"; }
bool IsName(const std::string& s) { return !s.empty() && !IsCell(s) && !LooksLikeNumber(s); }

// Marks each byte: 'q' a quote, 'i' inside quotes, 'b' a blank, 's' a
// separator, 'o' anything else.
std::string Kinds(const std::string& line, bool& unclosed) {
  std::string kind(line.size(), 'o');
  bool inside = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') {
      kind[i] = 'q';
      inside = !inside;
    } else if (inside) {
      kind[i] = 'i';
    } else if (line[i] == ' ' || line[i] == '\t') {
      kind[i] = 'b';
    } else if (line[i] == ',' || line[i] == ';') {
      kind[i] = 's';
    } else if (line.compare(i, 2, Nbsp) == 0) {
      kind[i] = kind[i + 1] = 'b';
      ++i;
    }
  }
  unclosed = inside;
  return kind;
}

std::vector<std::string> Fields(const std::string& line, int n) {
  bool unclosed = false;
  const std::string kind = Kinds(line, unclosed);
  const bool delimited = kind.find('s') != std::string::npos;
  std::vector<std::pair<std::string, std::string>> pieces;  // bytes and their kinds
  std::pair<std::string, std::string> piece;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const bool cut = delimited ? kind[i] == 's' : kind[i] == 'b';
    if (!cut) {
      piece.first += line[i];
      piece.second += kind[i];
    } else if (delimited || !piece.first.empty()) {
      pieces.push_back(piece);
      piece = {};
    }
  }
  if (delimited || !piece.first.empty()) pieces.push_back(piece);
  if (unclosed) throw Fault{n, static_cast<int>(pieces.size())};

  std::vector<std::string> fields;
  for (auto& [bytes, kinds] : pieces) {
    const int column = static_cast<int>(fields.size()) + 1;
    while (!kinds.empty() && kinds.front() == 'b') bytes.erase(0, 1), kinds.erase(0, 1);
    while (!kinds.empty() && kinds.back() == 'b') bytes.pop_back(), kinds.pop_back();
    std::string text;
    if (!bytes.empty() && bytes[0] == '"') {
      std::size_t i = 1;
      for (;; ++i) {
        if (i >= bytes.size()) throw Fault{n, column};
        if (bytes[i] != '"') {
          text += bytes[i];
        } else if (i + 1 < bytes.size() && bytes[i + 1] == '"') {
          text += '"';
          ++i;
        } else {
          break;
        }
      }
      if (i + 1 != bytes.size()) throw Fault{n, column};
    } else if (bytes.find('"') != std::string::npos) {
      throw Fault{n, column};
    } else {
      text = bytes;
    }
    for (char c : text) {
      if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) throw Fault{n, column};
    }
    fields.push_back(text);
  }
  return fields;
}

Reading ReferenceRead(const std::string& text, HeaderRule rule) {
  std::vector<std::string> lines{""};
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.push_back("");
    } else {
      lines.back() += text[i];
    }
  }
  if (lines[0].starts_with("\xEF\xBB\xBF")) lines[0].erase(0, 3);
  Reading r;
  try {
    int first = 0;
    int sites = -1;
    bool named = false;
    for (std::size_t k = 0; k < lines.size(); ++k) {
      const int n = static_cast<int>(k) + 1;
      const std::string& line = lines[k];
      if (line.find('\0') != std::string::npos) throw Fault{n, 0};
      std::size_t start = 0;
      while (start < line.size() && (line[start] == ' ' || line[start] == '\t' || line.compare(start, 2, Nbsp) == 0)) {
        start += line[start] == '\xC2' ? 2 : 1;
      }
      if (start == line.size() || line[start] == '#') continue;
      const std::vector<std::string> f = Fields(line, n);
      if (first == 0) {
        first = n;
        bool header = rule == HeaderRule::Present;
        if (rule == HeaderRule::Guess) {
          header = true;
          for (std::size_t j = 1; j < f.size(); ++j) header = header && !IsCell(f[j]);
          if (f.size() == 1) header = !IsCell(f[0]);
        }
        if (header) {
          r.Sites = f;
          continue;
        }
      }
      if (sites < 0) {
        named = IsName(f[0]);
        sites = static_cast<int>(f.size()) - named;
        if (sites == 0) throw Fault{n, 2};
        if (!r.Sites.empty() && static_cast<int>(r.Sites.size()) == sites + 1) r.Sites.erase(r.Sites.begin());
        if (!r.Sites.empty() && static_cast<int>(r.Sites.size()) != sites) throw Fault{first, 1};
      }
      if (named && !IsName(f[0])) throw Fault{n, 1};
      if (named) r.Species.push_back(f[0]);
      const int cells = static_cast<int>(f.size()) - named;
      std::vector<bool> row;
      for (int j = 0; j < std::min(cells, sites); ++j) {
        if (!IsCell(f[static_cast<std::size_t>(j + named)])) throw Fault{n, j + named + 1};
        row.push_back(f[static_cast<std::size_t>(j + named)] == "1");
      }
      if (cells != sites) throw Fault{n, cells < sites ? static_cast<int>(f.size()) + 1 : sites + named + 1};
      r.Cells.push_back(row);
    }
    if (first == 0) throw Fault{1, 1};
    if (sites < 0) throw Fault{first, 1};
  } catch (const Fault& f) {
    r = {};
    r.FaultLine = f.Line;
    r.FaultColumn = f.Column;
  }
  return r;
}

// ---- Valid files and their mutations ---------------------------------------

struct Generated {
  std::string Text;
  HeaderRule Rule;
  Reading Holds;
};

Generated MakeFile(std::mt19937& rng) {
  auto chance = [&rng](int percent) { return static_cast<int>(rng() % 100) < percent; };
  auto pick = [&rng](const std::vector<std::string>& from) { return from[rng() % from.size()]; };
  const int rows = 1 + static_cast<int>(rng() % 5);
  const int cols = 1 + static_cast<int>(rng() % 5);
  const bool header = chance(50);
  const bool names = chance(50);
  const std::string sep = pick({",", ";", "\t", " ", "  ", " , ", ";\t", Nbsp, "\t" + Nbsp, ",\xC2\xA0"});
  const bool blankSeparated = sep.find_first_of(",;") == std::string::npos;
  const std::string eol = pick({"\n", "\r\n", "\r"});
  auto field = [&](const std::string& text) {
    const bool needs = text.empty() ? blankSeparated : text.find_first_of(",;\" \t\xC2") != std::string::npos;
    if (!needs && !chance(10)) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
  };
  auto line = [&](const std::vector<std::string>& fields) {
    std::string out = chance(10) ? pick({" ", "\t", Nbsp}) : "";
    for (std::size_t k = 0; k < fields.size(); ++k) out += (k > 0 ? sep : "") + field(fields[k]);
    return out + (chance(10) ? pick({" ", "\t"}) : "") + eol;
  };
  Generated g;
  g.Rule = chance(80) ? HeaderRule::Guess : header ? HeaderRule::Present : HeaderRule::Absent;
  if (chance(10)) g.Text += "\xEF\xBB\xBF";
  if (chance(20)) g.Text += "# survey of " + std::to_string(rng() % 100) + eol;
  if (header) {
    std::vector<std::string> line1;
    if (names && chance(50)) line1.push_back(pick({"", "species", "sp; name"}));
    for (int k = 0; k < cols; ++k) {
      g.Holds.Sites.push_back(pick({"a", "b c", "site\"7\"", "x,y", "s" + Nbsp + "2", "0a"}));
      line1.push_back(g.Holds.Sites.back());
    }
    g.Text += line(line1);
  }
  for (int i = 0; i < rows; ++i) {
    if (chance(10)) g.Text += pick({"", "  ", "# note", Nbsp}) + eol;
    std::vector<std::string> fields;
    if (names) {
      g.Holds.Species.push_back(pick({"wren", "Carex, sp", "Poa \"annua\"", "s" + Nbsp + "2", "x1", "1a"}));
      fields.push_back(g.Holds.Species.back());
    }
    g.Holds.Cells.emplace_back();
    for (int k = 0; k < cols; ++k) {
      g.Holds.Cells.back().push_back(chance(50));
      fields.push_back(g.Holds.Cells.back().back() ? "1" : "0");
    }
    g.Text += line(fields);
  }
  if (chance(30)) g.Text.erase(g.Text.size() - eol.size());  // no end to the last line
  return g;
}

void Mutate(std::string& text, std::mt19937& rng) {
  static const std::vector<std::string> bytes = {
      "0",    "1",           ",", ";",   " ",    "\t",   "\"", "\r", "\n", "#",    "x",    ".",
      "e",    "-",           "+", "nan", "\xC2", "\xA0", Nbsp, "2",  "",   "\x1B", "\x7F", std::string(1, '\0'),
      "\r\n", "\xEF\xBB\xBF"};
  const std::size_t at = text.empty() ? 0 : rng() % (text.size() + 1);
  const std::string& some = bytes[rng() % bytes.size()];
  switch (rng() % 5) {
    case 0:
      text.insert(at, some);
      break;
    case 1:
      if (at < text.size()) text.erase(at, 1 + rng() % 3);
      break;
    case 2:
      if (at < text.size()) text.replace(at, 1, some);
      break;
    case 3: {
      const std::size_t from = text.empty() ? 0 : rng() % text.size();
      text.insert(at, text.substr(from, 1 + rng() % 8));
      break;
    }
    default:
      text.insert(at, "\n" + std::string(rng() % 2 ? "1" : "") + (rng() % 2 ? "," : ""));
  }
}

std::string Describe(const std::string& text, HeaderRule rule, const Reading& r) {
  std::string out = "file: \"" + Printable(text) + "\", header " + std::to_string(static_cast<int>(rule)) + "; ";
  if (r.FaultLine > 0) return out + "fault at " + std::to_string(r.FaultLine) + "," + std::to_string(r.FaultColumn);
  return out + std::to_string(r.Cells.size()) + " rows";
}

TEST(MatrixFileFuzz, TheReaderAgreesWithAPlainReferenceOnMutatedFiles) {
  std::mt19937 rng(20261209);
  constexpr int Files = 30000;
  int accepted = 0;
  int disagreements = 0;
  for (int n = 0; n < Files && disagreements < 5; ++n) {
    const Generated g = MakeFile(rng);
    std::string text = g.Text;
    const int mutations = static_cast<int>(rng() % 4);
    for (int m = 0; m < mutations; ++m) Mutate(text, rng);
    const Reading expected = ReferenceRead(text, g.Rule);
    if (mutations == 0) {
      // The reference itself reads what was written.
      EXPECT_EQ(expected.FaultLine, 0) << Describe(text, g.Rule, expected);
      EXPECT_EQ(expected.Cells, g.Holds.Cells) << Describe(text, g.Rule, expected);
      EXPECT_EQ(expected.Species, g.Holds.Species) << Describe(text, g.Rule, expected);
      EXPECT_EQ(expected.Sites, g.Holds.Sites) << Describe(text, g.Rule, expected);
    }
    MatrixReadOptions options;
    options.Header = g.Rule;
    options.Chunk = rng() % 2 ? 1 + rng() % 7 : options.Chunk;  // cut lines anywhere, a CR LF too
    Reading got;
    try {
      const MatrixFile f = ParseMatrixText(text, options);
      for (int i = 0; i < f.Matrix.Rows(); ++i) {
        got.Cells.emplace_back();
        for (int k = 0; k < f.Matrix.Cols(); ++k) got.Cells.back().push_back(f.Matrix.Get(i, k));
      }
      got.Species = f.SpeciesNames;
      got.Sites = f.SiteNames;
      ++accepted;
    } catch (const MatrixFileError& e) {
      got.FaultLine = e.Line();
      got.FaultColumn = e.Column();
      EXPECT_EQ(std::string(e.what()).rfind("line " + std::to_string(e.Line()), 0), 0u) << e.what();
    }
    const bool same = got.FaultLine == expected.FaultLine && got.FaultColumn == expected.FaultColumn &&
                      got.Cells == expected.Cells && got.Species == expected.Species && got.Sites == expected.Sites;
    if (!same) {
      ++disagreements;
      ADD_FAILURE() << Describe(text, g.Rule, expected) << "; the reader: " << Describe(text, g.Rule, got);
    }
  }
  // Both kinds of file were met often.
  EXPECT_GT(accepted, Files / 5);
  EXPECT_LT(accepted, Files * 4 / 5);
}

}  // namespace
}  // namespace tessil::cli
