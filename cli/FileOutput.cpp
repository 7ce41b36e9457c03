#include "FileOutput.h"

#include <cerrno>
#include <memory>
#include <ostream>
#include <random>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tessil::cli {

namespace fs = std::filesystem;

namespace {

std::error_code LastError() { return {errno != 0 ? errno : EIO, std::generic_category()}; }

struct CloseFile {
  void operator()(std::FILE* file) const {
    if (file != nullptr) std::fclose(file);
  }
};

// Makes every byte written to the file reach the disk before it is renamed
// over the target, so that a crash cannot leave an empty file in its place.
bool ReachDisk(std::FILE* file) {
#if defined(_WIN32)
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0 || errno == EINVAL;  // EINVAL: a device, nothing to sync
#endif
}

// Creates a file of a name no other file has, in the target's folder.
std::unique_ptr<std::FILE, CloseFile> CreateBeside(const fs::path& target, fs::path& created, std::error_code& error) {
  std::random_device device;
  std::mt19937 names(device());
  for (int attempt = 0; attempt < 100; ++attempt) {
    created = target;
    created.replace_filename(Utf8Path("." + target.filename().string() + ".tmp-" + std::to_string(names() % 1000000)));
    errno = 0;
    // "x": never open a file that is already there.
    std::unique_ptr<std::FILE, CloseFile> file(OpenFile(created, "wbx"));
    if (file) return file;
    if (errno != EEXIST) {
      error = LastError();
      return nullptr;
    }
  }
  error = std::make_error_code(std::errc::file_exists);
  return nullptr;
}

// Why the folder of `target` could not be written in: a part of its path
// that is a file is named as such (Windows reports it as a missing folder).
std::error_code MissingFolderReason(const fs::path& target) {
  std::error_code ignored;
  for (fs::path part = target.parent_path(); !part.empty() && part != part.parent_path(); part = part.parent_path()) {
    const fs::file_status status = fs::status(part, ignored);
    if (fs::exists(status)) {
      return fs::is_directory(status) ? std::make_error_code(std::errc::no_such_file_or_directory)
                                      : std::make_error_code(std::errc::not_a_directory);
    }
  }
  return std::make_error_code(std::errc::no_such_file_or_directory);
}

}  // namespace

fs::path Utf8Path(std::string_view text) { return fs::path(std::u8string(text.begin(), text.end())); }

std::FILE* OpenFile(const fs::path& path, const char* mode) {
#if defined(_WIN32)
  const std::string narrow(mode);
  return _wfopen(path.c_str(), std::wstring(narrow.begin(), narrow.end()).c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

std::string WriteErrorReason(std::error_code error) {
  using std::errc;
  if (error == errc::no_such_file_or_directory) return "the folder does not exist";
  if (error == errc::permission_denied || error == errc::operation_not_permitted) return "permission denied";
  if (error == errc::no_space_on_device) return "the disk is full";
#ifdef EDQUOT
  if (error.value() == EDQUOT && error.category() == std::generic_category()) return "the disk quota is used up";
#endif
  if (error == errc::is_a_directory) return "it is a folder, not a file";
  if (error == errc::not_a_directory) return "a part of the path is a file, not a folder";
  if (error == errc::read_only_file_system) return "the disk is read-only";
  if (error == errc::broken_pipe) return "the program reading the output has stopped";
  if (error == errc::filename_too_long) return "the name is too long";
  if (error == errc::file_too_large) return "the file would pass the largest size allowed";
  if (error == errc::too_many_files_open || error == errc::too_many_files_open_in_system) {
    return "too many files are open";
  }
  if (error == errc::io_error) return "the device reported an input/output error";
  return error.message();
}

std::error_code ReplaceFile(const fs::path& path, std::string_view bytes) {
  return ReplaceFile(path, bytes, ReachDisk);
}

std::error_code CheckWritableFolder(const fs::path& target) {
  std::error_code error;
  if (fs::is_directory(target, error)) return std::make_error_code(std::errc::is_a_directory);
  fs::path created;
  error.clear();
  std::unique_ptr<std::FILE, CloseFile> file = CreateBeside(target, created, error);
  if (!file) return error == std::errc::no_such_file_or_directory ? MissingFolderReason(target) : error;
  file.reset();
  fs::remove(created, error);
  return error;
}

std::error_code ReplaceFile(const fs::path& path, std::string_view bytes, FileSync sync) {
  std::error_code error;
  // A link is followed: the file it names is replaced and the link stays.
  fs::path target = path;
  if (fs::is_symlink(fs::symlink_status(path, error))) {
    const fs::path resolved = fs::canonical(path, error);
    if (!error) target = resolved;
  }
  error.clear();
  const fs::file_status existing = fs::status(target, error);
  if (fs::is_directory(existing)) return std::make_error_code(std::errc::is_a_directory);
  error.clear();

  fs::path temporary;
  std::unique_ptr<std::FILE, CloseFile> file = CreateBeside(target, temporary, error);
  if (!file) return error == std::errc::no_such_file_or_directory ? MissingFolderReason(target) : error;
  errno = 0;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size() &&
                 std::fflush(file.get()) == 0 && sync(file.get());
  if (!written) error = LastError();
  errno = 0;
  if (std::fclose(file.release()) != 0 && written) {
    written = false;
    error = LastError();
  }
  if (written) {
    // The new file keeps the permissions the old one had.
    if (fs::exists(existing)) {
      std::error_code ignored;
      fs::permissions(temporary, existing.permissions(), ignored);
    }
    fs::rename(temporary, target, error);
    if (!error) return {};
  }
  std::error_code ignored;
  fs::remove(temporary, ignored);
  return error;
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  if (fs::equivalent(a, b, error) && !error) return true;
  auto resolved = [](const fs::path& p) {
    std::error_code e;
    fs::path r = fs::weakly_canonical(fs::absolute(p, e), e);
    return e ? fs::absolute(p, e).lexically_normal() : r;
  };
  return resolved(a) == resolved(b);
}

std::streamsize CStreamOutput::xsputn(const char* bytes, std::streamsize count) {
  if (failure_ || count <= 0) return 0;
  errno = 0;
  const std::size_t written = std::fwrite(bytes, 1, static_cast<std::size_t>(count), file_);
  if (written < static_cast<std::size_t>(count)) Fail();
  return static_cast<std::streamsize>(written);
}

CStreamOutput::int_type CStreamOutput::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char byte = traits_type::to_char_type(c);
  return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

int CStreamOutput::sync() {
  if (failure_) return -1;
  errno = 0;
  if (std::fflush(file_) != 0) {
    Fail();
    return -1;
  }
  return 0;
}

void CStreamOutput::Fail() {
  if (!failure_) failure_ = LastError();
}

std::error_code StreamFailure(const std::ostream& stream) {
  const auto* buffer = dynamic_cast<const CStreamOutput*>(stream.rdbuf());
  return buffer != nullptr ? buffer->Failure() : std::error_code{};
}

}  // namespace tessil::cli
