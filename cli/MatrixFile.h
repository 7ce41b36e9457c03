// Reading a user's own presence-absence matrix from a text file.
//
// How a matrix file is read:
//  - Lines end with LF, CR LF or a lone CR (classic Mac files); lines are
//    numbered from 1, one per line end. A UTF-8 byte-order mark at the start
//    is ignored.
//  - A line that is empty or holds only blanks, or whose first non-blank
//    character is '#', is skipped. Blanks are spaces, tabs and no-break spaces
//    (U+00A0, as pasted from word processors and web pages): a no-break space
//    counts as an ordinary blank everywhere outside quotes.
//  - A line that holds a comma or a semicolon outside quotes is split at every
//    comma and semicolon, and blanks around each field are dropped; any other
//    line is split at runs of blanks.
//  - A field may be quoted as CSV quotes it: "Carex, sp" is one field, and ""
//    inside quotes stands for one quote. A quote must open at the start of a
//    field and close at its end; a quoted field does not run on past its line.
//    A quoted "1" is the cell 1.
//  - A field may hold no control character other than a tab; a NUL byte
//    anywhere, comments included, means the file is not text.
//  - Species are rows and sites are columns; every cell is 0 or 1.
//  - The first line read is a header of site names when so told, or, when
//    left to guess, when none of its fields after the first is 0 or 1 (a line
//    of one field is a header unless that field is 0 or 1). So a line of data
//    with a bad cell is data, and its fault is reported.
//  - The first species row decides whether every row starts with a species
//    name: its first field is a name unless it is 0 or 1, empty, or looks like
//    a number ("1.0", "-1", "NaN"), which are faulty cells. Names are kept as
//    written.
//  - The header names as many sites as the first species row has cells, or
//    one more (a corner cell above the species names, dropped).
//  - Columns in messages count fields from 1; column 0 means the whole line.
//    The first fault met, reading from the top and each line from the left,
//    is reported. Text from the file is shown with control characters escaped.
//  - Limits, so that a wrong file (a device, an endless line) is refused
//    rather than read until memory runs out: at most 1 GiB in all, 16 MiB on
//    one line, and 1,000,000 species and 1,000,000 sites. The matrix is held
//    as one bit per cell while it is read, one line at a time.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Incidence.h"

namespace tessil::cli {

// A matrix file that cannot be read, with the place of the fault. Column 0:
// the fault belongs to the line as a whole.
class MatrixFileError : public std::runtime_error {
 public:
  MatrixFileError(int line, int column, const std::string& what)
      : std::runtime_error("line " + std::to_string(line) +
                           (column > 0 ? ", column " + std::to_string(column) : std::string()) + ": " + what),
        line_(line),
        column_(column) {}
  int Line() const { return line_; }
  int Column() const { return column_; }

 private:
  int line_;
  int column_;
};

// The reading was abandoned because the user interrupted it.
class MatrixFileInterrupted : public std::runtime_error {
 public:
  MatrixFileInterrupted() : std::runtime_error("reading the matrix file was interrupted") {}
};

enum class HeaderRule { Guess, Present, Absent };

struct MatrixLimits {
  std::int64_t MaxBytes = std::int64_t{1} << 30;
  std::int64_t MaxLineBytes = std::int64_t{16} << 20;
  int MaxSpecies = 1'000'000;
  int MaxSites = 1'000'000;
};

struct MatrixReadOptions {
  HeaderRule Header = HeaderRule::Guess;
  MatrixLimits Limits;
  // When set, reading ends with MatrixFileInterrupted soon after it becomes
  // true, also while waiting for input from a pipe.
  const std::atomic<bool>* Interrupted = nullptr;
  // Bytes taken at a time; tests make it small so that lines are cut
  // anywhere, a CR LF included.
  std::size_t Chunk = 64 * 1024;
};

struct MatrixFile {
  cooc::Incidence Matrix;
  std::vector<std::string> SpeciesNames;  // empty when the file has none
  std::vector<std::string> SiteNames;     // empty when the file has no header row
  // The line the header question was asked of: the first line read.
  int FirstLine = 0;
  bool HasHeader = false;
};

MatrixFile ParseMatrixText(std::string_view text, const MatrixReadOptions& options = {});
// Fails with MatrixFileError for a faulty file, std::runtime_error saying why
// a file cannot be opened or read, or MatrixFileInterrupted.
MatrixFile ReadMatrixFile(const std::string& path, const MatrixReadOptions& options = {});

// Text from a file or the command line made safe to print: control bytes and
// bytes that are not UTF-8 are shown escaped (\r, \0, \x1B).
std::string Printable(std::string_view text);

// Why `path` cannot be opened, from the system's error number, in the user's
// words: "cannot open "m.csv": there is no such file".
std::string CannotOpen(const std::string& path, int error);

}  // namespace tessil::cli
