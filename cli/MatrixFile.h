// Reading a user's own presence-absence matrix from a text file.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Incidence.h"

namespace tessil::cli {

// A matrix file that cannot be read, with the place of the fault.
class MatrixFileError : public std::runtime_error {
 public:
  MatrixFileError(int line, int column, const std::string& what)
      : std::runtime_error("line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what),
        line_(line),
        column_(column) {}
  int Line() const { return line_; }
  int Column() const { return column_; }

 private:
  int line_;
  int column_;
};

struct MatrixFile {
  cooc::Incidence Matrix;
  std::vector<std::string> SpeciesNames;  // empty when the file has none
  std::vector<std::string> SiteNames;     // empty when the file has no header row
};

// Species as rows, sites as columns; cells 0 or 1 separated by commas,
// semicolons, tabs or blanks. A first row that is not all 0/1 is a header of
// site names; a first field of every row that is not 0/1 is the species'
// name. Blank lines and lines starting with '#' are skipped. Columns count
// fields from 1.
MatrixFile ParseMatrixText(std::string_view text);
MatrixFile ReadMatrixFile(const std::string& path);

}  // namespace tessil::cli
