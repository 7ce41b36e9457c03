// The sweep reader shared with tessil-cli can also draw a chart; R draws its
// own charts, so the package never asks it to, and a picture file given to it
// is refused in the words tessil-cli uses for a build that cannot draw one.
#include <ostream>
#include <string>

#include "CommandLine.h"
#include "MatrixFile.h"

namespace tessil::cli {

bool RefusePlotFile(const std::string& path, const Environment& env) {
  if (path.empty()) return false;
  env.Err << "tessil-cli: --plot \"" << Printable(path) << "\": pictures are drawn by R's plot() in this package.\n";
  return true;
}

bool WritePicture(const std::string& path, const std::string&, const Environment& env) {
  return !RefusePlotFile(path, env);
}

}  // namespace tessil::cli
