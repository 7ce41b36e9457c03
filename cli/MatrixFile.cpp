#include "MatrixFile.h"

#include "FileOutput.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <system_error>

#ifdef _WIN32
#include <cstdio>
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tessil::cli {

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

// The width of the blank at s[i]: a space or tab (1), a no-break space in
// UTF-8 (2), or none (0).
std::size_t BlankAt(std::string_view s, std::size_t i) {
  if (s[i] == ' ' || s[i] == '\t') return 1;
  if (s[i] == '\xC2' && i + 1 < s.size() && s[i + 1] == '\xA0') return 2;
  return 0;
}

std::string_view TrimBlanks(std::string_view s) {
  for (std::size_t b; !s.empty() && (b = BlankAt(s, 0)) > 0;) s.remove_prefix(b);
  for (;;) {
    if (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
      s.remove_suffix(1);
    } else if (s.size() >= 2 && s.substr(s.size() - 2) == "\xC2\xA0") {
      s.remove_suffix(2);
    } else {
      return s;
    }
  }
}

// Skipped: empty, only blanks, or a comment.
bool IsSkipped(std::string_view line) {
  const std::string_view rest = TrimBlanks(line);
  return rest.empty() || rest.front() == '#';
}

bool IsCell(std::string_view s) { return s == "0" || s == "1"; }

bool LooksLikeNumber(std::string_view s) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  // A number too large for a double still looks like one.
  return (error == std::errc{} || error == std::errc::result_out_of_range) && end == s.data() + s.size();
}

// A first field that names a species rather than holding a (perhaps faulty)
// cell.
bool IsName(std::string_view s) { return !s.empty() && !IsCell(s) && !LooksLikeNumber(s); }

bool IsControl(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u < 0x20 && c != '\t') || u == 0x7F;
}

// "1 GiB (1,073,741,824 bytes)".
std::string Size(std::int64_t bytes) {
  std::string digits = std::to_string(bytes);
  for (int k = static_cast<int>(digits.size()) - 3; k > 0; k -= 3) digits.insert(static_cast<std::size_t>(k), ",");
  for (const auto& [shift, unit] : {std::pair{30, "GiB"}, std::pair{20, "MiB"}, std::pair{10, "KiB"}}) {
    if (bytes >= (std::int64_t{1} << shift) && bytes % (std::int64_t{1} << shift) == 0) {
      return std::to_string(bytes >> shift) + " " + unit + " (" + digits + " bytes)";
    }
  }
  return digits + " bytes";
}

std::string Count(int n) {
  std::string digits = std::to_string(n);
  for (int k = static_cast<int>(digits.size()) - 3; k > 0; k -= 3) digits.insert(static_cast<std::size_t>(k), ",");
  return digits;
}

std::string Quoted(std::string_view text) { return "\"" + Printable(text) + "\""; }

struct Field {
  std::string_view Text;  // into the line, or into the text of a quoted field
  int Column;             // 1-based field number
};

// One line's fields, unquoted; kept from line to line so that reading a long
// file allocates nothing per field.
struct LineFields {
  std::vector<Field> Fields;
  std::vector<std::string_view> Pieces;
  std::deque<std::string> Unquoted;

  void Split(std::string_view line, int number);
};

void LineFields::Split(std::string_view line, int number) {
  Fields.clear();
  Pieces.clear();
  Unquoted.clear();
  std::vector<std::string_view>& pieces = Pieces;
  bool quoted = false;
  bool delimited = false;
  bool quotes = false;
  bool controls = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      quotes = true;
    } else if (!quoted && (c == ',' || c == ';')) {
      delimited = true;
    } else if (IsControl(c)) {
      controls = true;
    }
  }
  quoted = false;
  std::size_t start = 0;
  for (std::size_t i = 0; i < line.size();) {
    const char c = line[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && delimited && (c == ',' || c == ';')) {
      pieces.push_back(line.substr(start, i - start));
      start = i + 1;
    } else if (std::size_t blank; !quoted && !delimited && (blank = BlankAt(line, i)) > 0) {
      if (i > start) pieces.push_back(line.substr(start, i - start));
      start = i + blank;
      i += blank;
      continue;
    }
    ++i;
  }
  if (delimited || start < line.size()) pieces.push_back(line.substr(start));
  if (quoted) {
    throw MatrixFileError(number, static_cast<int>(pieces.size()), "a quote opens here and is not closed on this line");
  }

  for (std::size_t k = 0; k < pieces.size(); ++k) {
    const int column = static_cast<int>(k) + 1;
    const std::string_view piece = TrimBlanks(pieces[k]);
    std::string_view text = piece;
    if (!quotes) {
      // Most lines: nothing to unquote.
    } else if (!piece.empty() && piece.front() == '"') {
      std::string& unquoted = Unquoted.emplace_back();
      if (piece.size() < 2 || piece.back() != '"') {
        throw MatrixFileError(number, column, "text follows a closing quote; put the whole field in quotes");
      }
      const std::string_view inner = piece.substr(1, piece.size() - 2);
      for (std::size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] == '"') {
          if (i + 1 >= inner.size() || inner[i + 1] != '"') {
            throw MatrixFileError(number, column, "text follows a closing quote; put the whole field in quotes");
          }
          ++i;
        }
        unquoted.push_back(inner[i]);
      }
      text = unquoted;
    } else if (piece.find('"') != std::string_view::npos) {
      throw MatrixFileError(number, column, "a quote stands inside a field; put the whole field in quotes");
    }
    if (const auto bad = controls ? std::find_if(text.begin(), text.end(), IsControl) : text.end(); bad != text.end()) {
      throw MatrixFileError(number, column,
                            "the field holds the control character " + Printable(std::string_view(&*bad, 1)) +
                                "; a matrix file is plain text");
    }
    Fields.push_back({text, column});
  }
}

// Builds the matrix from the file's lines, one at a time, holding one bit per
// cell.
class MatrixBuilder {
 public:
  explicit MatrixBuilder(const MatrixReadOptions& options) : options_(options) {}

  void Line(std::string_view line, int number) {
    if (number == 1 && line.starts_with(ByteOrderMark)) line.remove_prefix(ByteOrderMark.size());
    if (IsSkipped(line)) return;
    split_.Split(line, number);
    if (result_.FirstLine == 0) {
      result_.FirstLine = number;
      if (IsHeader()) {
        result_.HasHeader = true;
        for (const Field& f : fields_) result_.SiteNames.emplace_back(f.Text);
        return;
      }
    }
    Row(number);
  }

  MatrixFile Finish() {
    if (result_.FirstLine == 0) throw MatrixFileError(1, 1, "the file holds no matrix");
    if (sites_ == 0) throw MatrixFileError(result_.FirstLine, 1, "the file has a header but no species rows");
    result_.Matrix = cooc::Incidence(species_, sites_);
    const std::size_t words = static_cast<std::size_t>(result_.Matrix.WordsPerRow());
    for (int r = 0; r < species_; ++r) {
      std::copy_n(bits_.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(r) * words), words,
                  result_.Matrix.MutableRow(r));
    }
    bits_ = {};
    return std::move(result_);
  }

 private:
  bool IsHeader() const {
    switch (options_.Header) {
      case HeaderRule::Present:
        return true;
      case HeaderRule::Absent:
        return false;
      case HeaderRule::Guess:
        break;
    }
    if (fields_.size() == 1) return !IsCell(fields_.front().Text);
    return std::none_of(fields_.begin() + 1, fields_.end(), [](const Field& f) { return IsCell(f.Text); });
  }

  [[noreturn]] void Fail(int line, int column, std::string what) const {
    // A fault in a first line that was guessed to be data may mean it named
    // the sites after all.
    if (options_.Header == HeaderRule::Guess && line == result_.FirstLine && !result_.HasHeader) {
      what += " (line " + std::to_string(line) + " was read as data; see --header)";
    }
    throw MatrixFileError(line, column, what);
  }

  void Row(int number) {
    if (sites_ == 0) FirstRow(number);
    if (species_ == options_.Limits.MaxSpecies) {
      throw MatrixFileError(number, 0,
                            "more than " + Count(options_.Limits.MaxSpecies) + " species, the most a matrix may have");
    }
    std::size_t offset = 0;
    if (named_) {
      if (!IsName(fields_.front().Text))
        Fail(number, 1, "this row has no species name, but the first species row has one");
      result_.SpeciesNames.emplace_back(fields_.front().Text);
      offset = 1;
    }
    const std::size_t cells = fields_.size() - offset;
    const std::size_t words = (static_cast<std::size_t>(sites_) + 63) / 64;
    const std::size_t base = bits_.size();
    bits_.resize(base + words, 0);
    for (std::size_t k = 0; k < std::min(cells, static_cast<std::size_t>(sites_)); ++k) {
      const Field& f = fields_[offset + k];
      if (!IsCell(f.Text)) {
        Fail(number, f.Column, f.Text.empty() ? std::string("the cell is empty") : Quoted(f.Text) + " is not 0 or 1");
      }
      if (f.Text == "1") bits_[base + k / 64] |= std::uint64_t{1} << (k % 64);
    }
    if (cells != static_cast<std::size_t>(sites_)) {
      const int column = cells < static_cast<std::size_t>(sites_)
                             ? static_cast<int>(fields_.size()) + 1
                             : fields_[offset + static_cast<std::size_t>(sites_)].Column;
      Fail(number, column, "expected " + std::to_string(sites_) + " cells, found " + std::to_string(cells));
    }
    ++species_;
  }

  // The first species row sets the number of sites and whether rows are named.
  void FirstRow(int number) {
    named_ = IsName(fields_.front().Text);
    const std::size_t sites = fields_.size() - (named_ ? 1 : 0);
    if (sites == 0) Fail(number, 2, "a species row has no cells");
    if (sites > static_cast<std::size_t>(options_.Limits.MaxSites)) {
      throw MatrixFileError(number, 0,
                            "more than " + Count(options_.Limits.MaxSites) + " sites, the most a matrix may have");
    }
    std::vector<std::string>& names = result_.SiteNames;
    if (result_.HasHeader) {
      // The header may or may not have a corner cell above the species names.
      if (names.size() == sites + 1) names.erase(names.begin());
      if (names.size() != sites) {
        throw MatrixFileError(
            result_.FirstLine, 1,
            "the header names " + std::to_string(names.size()) + " sites but the rows have " + std::to_string(sites) +
                " cells" +
                (options_.Header == HeaderRule::Guess
                     ? " (line " + std::to_string(result_.FirstLine) + " was read as site names; see --header)"
                     : std::string()));
      }
    }
    sites_ = static_cast<int>(sites);
  }

  const MatrixReadOptions& options_;
  MatrixFile result_;
  LineFields split_;
  const std::vector<Field>& fields_ = split_.Fields;
  bool named_ = false;
  int sites_ = 0;
  int species_ = 0;
  std::vector<std::uint64_t> bits_;
};

// Cuts a stream of bytes into lines at LF, CR LF and lone CR, within the
// limits, and hands each to the builder.
class LineSplitter {
 public:
  explicit LineSplitter(const MatrixReadOptions& options) : options_(options), builder_(options) {}

  void Feed(const char* data, std::size_t size) {
    const std::int64_t room = options_.Limits.MaxBytes - total_;
    const bool over = static_cast<std::int64_t>(size) > room;
    if (over) size = static_cast<std::size_t>(std::max<std::int64_t>(room, 0));
    total_ += static_cast<std::int64_t>(size);
    std::size_t start = 0;
    if (afterCr_ && size > 0 && data[0] == '\n') start = 1;  // the LF of a CR LF cut between two reads
    afterCr_ = false;
    for (std::size_t i = start; i < size; ++i) {
      const char c = data[i];
      if (c != '\n' && c != '\r' && c != '\0') continue;
      Append(data + start, i - start);
      if (c == '\0') {
        throw MatrixFileError(
            number_, 0,
            "a NUL byte (\\0) at character " + std::to_string(line_.size() + 1) + ": this is not a text file");
      }
      EndLine();
      if (c == '\r') {
        if (i + 1 == size) afterCr_ = true;
        if (i + 1 < size && data[i + 1] == '\n') ++i;
      }
      start = i + 1;
    }
    if (start < size) Append(data + start, size - start);
    if (over) {
      throw MatrixFileError(
          number_, 0,
          "the file goes on past " + Size(options_.Limits.MaxBytes) + ", the most tessil-cli reads as a matrix file");
    }
  }

  MatrixFile Finish() {
    if (!line_.empty()) EndLine();
    return builder_.Finish();
  }

 private:
  void Append(const char* data, std::size_t size) {
    if (static_cast<std::int64_t>(line_.size() + size) > options_.Limits.MaxLineBytes) {
      throw MatrixFileError(number_, 0,
                            "the line is longer than " + Size(options_.Limits.MaxLineBytes) +
                                ", the most a line of a matrix file may hold");
    }
    line_.append(data, size);
  }

  void EndLine() {
    builder_.Line(line_, number_);
    line_.clear();
    ++number_;
  }

  const MatrixReadOptions& options_;
  MatrixBuilder builder_;
  std::string line_;
  int number_ = 1;
  std::int64_t total_ = 0;
  bool afterCr_ = false;
};

bool Interrupted(const MatrixReadOptions& options) {
  return options.Interrupted != nullptr && options.Interrupted->load();
}

std::string IsADirectory(const std::string& path) {
  return "\"" + Printable(path) + "\" is a directory, not a matrix file";
}

std::string CannotRead(const std::string& path, int error) {
  return "cannot read \"" + Printable(path) + "\": " + std::generic_category().message(error);
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  auto hex = [&out](unsigned char c) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
    out += buffer;
  };
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      switch (c) {
        case '\0':
          out += "\\0";
          break;
        case '\t':
          out += "\\t";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        default:
          if (c < 0x20 || c == 0x7F) {
            hex(c);
          } else {
            out.push_back(static_cast<char>(c));
          }
      }
      ++i;
      continue;
    }
    // A well-formed UTF-8 sequence is kept, unless it is a C1 control.
    const std::size_t length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    bool valid = length > 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    }
    if (valid && length >= 3) {
      const auto second = static_cast<unsigned char>(text[i + 1]);
      valid = !(c == 0xE0 && second < 0xA0) && !(c == 0xED && second > 0x9F) && !(c == 0xF0 && second < 0x90) &&
              !(c == 0xF4 && second > 0x8F);
    }
    if (!valid) {
      hex(c);
      ++i;
    } else if (c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned char>(text[i + 1]));
      out += buffer;
      i += 2;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
  return out;
}

std::string CannotOpen(const std::string& path, int error) {
  std::string reason;
  switch (error) {
    case ENOENT:
      reason = "there is no such file";
      break;
    case EACCES:
    case EPERM:
      reason = "permission denied";
      break;
    case ENOTDIR:
      reason = "a part of the path is not a directory";
      break;
    case EISDIR:
      return IsADirectory(path);
#ifdef _WIN32
    case EINVAL:  // a name Windows cannot give a file, such as one with a control byte
      reason = "there is no such file";
      break;
#endif
    default:
      reason = std::generic_category().message(error);
  }
  return "cannot open \"" + Printable(path) + "\": " + reason;
}

MatrixFile ParseMatrixText(std::string_view text, const MatrixReadOptions& options) {
  LineSplitter lines(options);
  const std::size_t chunk = std::max<std::size_t>(options.Chunk, 1);
  for (std::size_t at = 0; at < text.size(); at += chunk)
    lines.Feed(text.data() + at, std::min(chunk, text.size() - at));
  return lines.Finish();
}

MatrixFile ReadMatrixFile(const std::string& path, const MatrixReadOptions& options) {
  if (Interrupted(options)) throw MatrixFileInterrupted();
  std::error_code ignored;
  if (std::filesystem::is_directory(Utf8Path(path), ignored)) throw std::runtime_error(IsADirectory(path));
  LineSplitter lines(options);
  const std::size_t chunk = std::max<std::size_t>(options.Chunk, 1);
  const auto buffer = std::make_unique<char[]>(chunk);
#ifdef _WIN32
  std::FILE* file = OpenFile(Utf8Path(path), "rb");
  if (file == nullptr) throw std::runtime_error(CannotOpen(path, errno));
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, &std::fclose);
  for (;;) {
    if (Interrupted(options)) throw MatrixFileInterrupted();
    const std::size_t got = std::fread(buffer.get(), 1, chunk, file);
    if (got > 0) lines.Feed(buffer.get(), got);
    if (got < chunk) {
      if (std::ferror(file)) throw std::runtime_error(CannotRead(path, errno));
      break;
    }
  }
#else
  // Not blocking, so that a pipe whose writer stays silent is waited on in
  // short steps that notice an interruption (Ctrl-C, or the flag set by
  // another thread).
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error(CannotOpen(path, errno));
  const std::unique_ptr<const int, void (*)(const int*)> closer(&fd, [](const int* f) { ::close(*f); });
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) throw std::runtime_error(IsADirectory(path));
  for (;;) {
    if (Interrupted(options)) throw MatrixFileInterrupted();
    // A pipe that no writer has opened yet is not at its end: wait for data
    // or for a writer that came and went.
    pollfd wait{fd, POLLIN, 0};
    const int ready = ::poll(&wait, 1, 100);
    if (ready < 0 && errno != EINTR) throw std::runtime_error(CannotRead(path, errno));
    if (ready <= 0) continue;
    const ssize_t got = ::read(fd, buffer.get(), chunk);
    if (got > 0) {
      lines.Feed(buffer.get(), static_cast<std::size_t>(got));
    } else if (got == 0) {
      break;
    } else if (errno == EISDIR) {
      throw std::runtime_error(IsADirectory(path));
    } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
      throw std::runtime_error(CannotRead(path, errno));
    }
  }
#endif
  return lines.Finish();
}

}  // namespace tessil::cli
