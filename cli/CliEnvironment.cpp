#include "CliEnvironment.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "FileOutput.h"
#include "MatrixFile.h"
#include "SvgDrawing.h"

namespace tessil::cli {

namespace {

std::string LowerExtension(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

bool WriteBytes(const std::string& path, const std::string& bytes, std::ostream& err) {
  if (const std::error_code error = ReplaceFile(Utf8Path(path), bytes)) {
    err << "tessil-cli: cannot write \"" << Printable(path) << "\": " << WriteErrorReason(error) << "\n";
    return false;
  }
  return true;
}

}  // namespace

bool RefusePlotFile(const std::string& path, const Environment& env) {
  if (path.empty()) return false;
  const std::string extension = LowerExtension(path);
  if (extension != ".svg" && extension != ".png") {
    env.Err << "tessil-cli: --plot \"" << Printable(path)
            << "\": pictures are written as SVG or PNG; give a file name ending in .svg or .png.\n";
    return true;
  }
  if (extension == ".png" && !env.RenderPng) {
    env.Err << "tessil-cli: --plot \"" << Printable(path)
            << "\": this tessil-cli is built without Qt and cannot write PNG; give a file name ending in .svg.\n";
    return true;
  }
  return false;
}

bool WritePicture(const std::string& path, const chart::Chart& chart, const Environment& env) {
  if (LowerExtension(path) != ".png") return WriteBytes(path, svg::Document(chart), env.Err);
  std::string png;
  std::string reason;
  if (!env.RenderPng(chart, png, reason)) {
    env.Err << "tessil-cli: cannot draw \"" << Printable(path) << "\": " << reason << "\n";
    return false;
  }
  return WriteBytes(path, png, env.Err);
}

bool RefuseUnwritableOutput(const std::string& option, const std::string& path, const Environment& env) {
  if (path.empty() || path == "-") return false;
  if (const std::error_code error = CheckWritableFolder(Utf8Path(path))) {
    env.Err << "tessil-cli: " << option << ": cannot write \"" << Printable(path) << "\": " << WriteErrorReason(error)
            << "; nothing was run.\n";
    return true;
  }
  return false;
}

}  // namespace tessil::cli
