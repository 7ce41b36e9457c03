// Writing what a command produces: files replaced whole or not at all, and
// failures told in plain words.
#pragma once

#include <cstdio>
#include <filesystem>
#include <iosfwd>
#include <streambuf>
#include <string>
#include <string_view>
#include <system_error>

namespace tessil::cli {

// Why a file or a stream could not be written, in a user's words: "the
// folder does not exist", "permission denied", "the disk is full", "it is a
// folder, not a file", or the system's own description of anything else.
std::string WriteErrorReason(std::error_code error);

// A path from text in UTF-8, as every path given on the command line or
// read from a file is held inside Tessil. (A path built from a plain string
// reads it in the ANSI code page on Windows, which cannot hold most names.)
std::filesystem::path Utf8Path(std::string_view text);

// Opens a file by a path in any language (_wfopen on Windows).
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

// Writes the bytes to a new file beside the target and renames it over the
// target once every byte is on disk, so that the target holds either its old
// contents or the new ones, never a fragment. On failure the new file is
// removed and the error returned; an empty error means success.
std::error_code ReplaceFile(const std::filesystem::path& target, std::string_view bytes);

// Makes a file's bytes reach the disk; false (errno set) when they did not.
using FileSync = bool (*)(std::FILE* file);
// The same with the step that puts the bytes on disk given: a test sees
// that it comes before the rename.
std::error_code ReplaceFile(const std::filesystem::path& target, std::string_view bytes, FileSync sync);

// Whether a new file can be made in the folder of `target`, proved by making
// one beside it and removing it; the reason when it cannot.
std::error_code CheckWritableFolder(const std::filesystem::path& target);

// Whether two paths name the same file as the file system resolves them:
// "a.txt", "./a.txt" and a link to it are one file.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// A stream buffer that hands every byte to a C stream (standard output) and
// keeps the reason of the first write that failed, which the stream itself
// forgets. After a failure every further write fails.
class CStreamOutput final : public std::streambuf {
 public:
  explicit CStreamOutput(std::FILE* file) : file_(file) {}
  std::error_code Failure() const { return failure_; }

 protected:
  std::streamsize xsputn(const char* bytes, std::streamsize count) override;
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  void Fail();
  std::FILE* file_;
  std::error_code failure_;
};

// The reason a stream's writes failed, when its buffer keeps one (a
// CStreamOutput); otherwise an empty error.
std::error_code StreamFailure(const std::ostream& stream);

}  // namespace tessil::cli
