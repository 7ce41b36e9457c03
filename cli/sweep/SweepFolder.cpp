#include "SweepFolder.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h makes ReplaceFile a macro for its own function; here it is the
// file writer's.
#undef ReplaceFile
#else
#include <unistd.h>
#include <csignal>
#endif

#include "FileOutput.h"
#include "MatrixFile.h"
#include "SweepPlan.h"

namespace tessil::cli {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view PartialPrefix = ".partial-";

std::optional<std::int64_t> WholeNumber(std::string_view text) {
  std::int64_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || text.front() == '-' || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return number;
}

std::optional<std::string> ReadSmallFile(const fs::path& path, std::uintmax_t most) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error || size > most) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return bytes.str();
}

// The UTC time as YYYYMMDDTHHMMSSZ.
std::string UtcStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
#if defined(_WIN32)
  gmtime_s(&utc, &now);
#else
  gmtime_r(&now, &utc);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
  return text;
}

}  // namespace

const std::vector<std::string>& StudyFileNames() {
  static const std::vector<std::string> names = {"report.txt", "power.tsv", "power.json", "power.svg", "study.toml"};
  return names;
}

std::string StudyRecordText(const std::string& id, const std::string& planHash,
                            const std::vector<std::pair<std::string, std::string>>& files) {
  std::string text = "tessil-study 1\nid: " + id + "\nplan-hash: " + planHash + "\n";
  for (const auto& [name, bytes] : files) {
    text += "file: " + name + " " + std::to_string(bytes.size()) + " " + Hex16(Fnv1a64(bytes)) + "\n";
  }
  return text;
}

std::string UnfinishedReason(const fs::path& folder, const std::string& id, const std::string& planHash,
                             const std::vector<std::string>& required) {
  std::error_code error;
  const fs::file_status link = fs::symlink_status(folder, error);
  if (fs::is_symlink(link)) return "is a link, not a folder";
  if (!fs::is_directory(link)) return "is not a folder";
  if (fs::is_empty(folder, error) && !error) return "is empty";
  const std::optional<std::string> record = ReadSmallFile(folder / StudyRecordName, 1 << 16);
  if (!record) return "has no record of a finished study (" + std::string(StudyRecordName) + ")";
  std::istringstream lines(*record);
  std::string line;
  if (!std::getline(lines, line) || line != "tessil-study 1") {
    return "has a record (" + std::string(StudyRecordName) + ") that does not read as one";
  }
  std::string recordId, recordHash;
  std::vector<std::string> listed;
  while (std::getline(lines, line)) {
    if (line.starts_with("id: ")) {
      recordId = line.substr(4);
    } else if (line.starts_with("plan-hash: ")) {
      recordHash = line.substr(11);
    } else if (line.starts_with("file: ")) {
      // "file: NAME SIZE CHECKSUM"; a name never holds a blank.
      std::istringstream fields(line.substr(6));
      std::string name, size, checksum;
      fields >> name >> size >> checksum;
      if (name.empty() || name.find_first_of("/\\") != std::string::npos || name.starts_with(".")) {
        return "has a record that names a file outside it";
      }
      const fs::path file = folder / name;
      const fs::file_status status = fs::symlink_status(file, error);
      if (!fs::is_regular_file(status)) return "has no " + name;
      const std::optional<std::string> bytes = ReadSmallFile(file, static_cast<std::uintmax_t>(1) << 32);
      if (!bytes) return "has a " + name + " that cannot be read";
      if (std::to_string(bytes->size()) != size) return "has a " + name + " of another size than its record says";
      if (Hex16(Fnv1a64(*bytes)) != checksum) return "has a " + name + " whose checksum is not its record's";
      listed.push_back(name);
    }
  }
  if (recordId != id) return "holds the record of another study (" + Printable(recordId) + ")";
  if (recordHash != planHash) return "holds the record of a study of another plan (" + Printable(recordHash) + ")";
  for (const std::string& name : required) {
    if (std::find(listed.begin(), listed.end(), name) == listed.end()) return "has no " + name + " in its record";
  }
  return {};
}

std::string ThisHost() {
  char name[256] = {};
#if defined(_WIN32)
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size)) name[0] = '\0';
#else
  if (gethostname(name, sizeof name - 1) != 0) name[0] = '\0';
#endif
  std::string host;
  for (const char* c = name; *c != '\0'; ++c) {
    const auto byte = static_cast<unsigned char>(*c);
    host += std::isalnum(byte) != 0 || *c == '-' || *c == '_' ? *c : '_';
  }
  return host.empty() ? std::string("host") : host;
}

std::int64_t ThisProcess() {
#if defined(_WIN32)
  return static_cast<std::int64_t>(GetCurrentProcessId());
#else
  return static_cast<std::int64_t>(getpid());
#endif
}

bool ProcessRuns(std::int64_t pid) {
  if (pid <= 0) return false;
#if defined(_WIN32)
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
  const bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return runs;
#else
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
#endif
}

fs::path PartialFolderOf(const fs::path& studies, const std::string& id) {
  return studies / (std::string(PartialPrefix) + id + "." + ThisHost() + "." + std::to_string(ThisProcess()));
}

std::vector<PartialFolder> FindPartialFolders(const fs::path& studies) {
  std::vector<PartialFolder> found;
  std::error_code error;
  const std::string host = ThisHost();
  const std::int64_t self = ThisProcess();
  const auto now = fs::file_time_type::clock::now();
  for (const fs::directory_entry& entry : fs::directory_iterator(studies, error)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(PartialPrefix)) continue;
    PartialFolder partial;
    partial.Path = entry.path();
    // .partial-ID.HOST.PID: the host between the first dot after the id and
    // the last.
    const std::string_view rest = std::string_view(name).substr(PartialPrefix.size());
    const std::size_t first = rest.find('.');
    const std::size_t last = rest.rfind('.');
    if (first != std::string_view::npos && last > first) {
      const std::optional<std::int64_t> pid = WholeNumber(rest.substr(last + 1));
      if (pid) {
        partial.Host = std::string(rest.substr(first + 1, last - first - 1));
        partial.Process = *pid;
      }
    }
    partial.Abandoned = partial.Host == host && partial.Process != self && !ProcessRuns(partial.Process);
    std::error_code timeError;
    const fs::file_time_type changed = fs::last_write_time(entry.path(), timeError);
    if (!timeError) partial.AgeSeconds = std::chrono::duration<double>(now - changed).count();
    found.push_back(std::move(partial));
  }
  std::sort(found.begin(), found.end(),
            [](const PartialFolder& a, const PartialFolder& b) { return a.Path.filename() < b.Path.filename(); });
  return found;
}

bool TidyPartialFolders(const fs::path& studies, bool removeOthers, std::ostream& err) {
  const std::string host = ThisHost();
  bool removedAll = true;
  for (const PartialFolder& partial : FindPartialFolders(studies)) {
    const bool live = partial.Host == host && (partial.Process == ThisProcess() || ProcessRuns(partial.Process));
    if (live) continue;
    if (!partial.Abandoned && !removeOthers) {
      const auto minutes = static_cast<long long>(partial.AgeSeconds / 60.0);
      err << "tessil-cli: \"" << Printable(partial.Path.string()) << "\" is a study under way or left by "
          << (partial.Host.empty() ? std::string("an older run")
                                   : "process " + std::to_string(partial.Process) + " on " + Printable(partial.Host))
          << ", last changed " << minutes << (minutes == 1 ? " minute" : " minutes")
          << " ago; left alone (--remove-partials removes it once no run writes it).\n";
      continue;
    }
    std::error_code error;
    fs::remove_all(partial.Path, error);
    if (error) {
      err << "tessil-cli: cannot remove \"" << Printable(partial.Path.string()) << "\": " << WriteErrorReason(error)
          << "\n";
      removedAll = false;
    }
  }
  return removedAll;
}

fs::path SetAside(const fs::path& entry, std::error_code& error) {
  const std::string stamp = UtcStamp();
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path aside = entry;
    aside.replace_filename(".set-aside-" + entry.filename().string() + "-" + stamp +
                           (attempt == 0 ? std::string() : "-" + std::to_string(attempt)));
    error.clear();
    if (fs::exists(fs::symlink_status(aside, error))) continue;
    // A rename moves a link itself, never what it points to.
    fs::rename(entry, aside, error);
    if (!error) return aside;
    if (error == std::errc::no_such_file_or_directory) {
      error.clear();
      return {};
    }
    if (error != std::errc::file_exists && error != std::errc::directory_not_empty) return {};
  }
  return {};
}

bool CreateExclusively(const fs::path& target, std::string_view bytes, std::error_code& error) {
  error.clear();
  fs::path whole = target;
  whole.replace_filename("." + target.filename().string() + ".new." + ThisHost() + "." + std::to_string(ThisProcess()));
  if ((error = ReplaceFile(whole, bytes))) return false;
  fs::create_hard_link(whole, target, error);
  std::error_code ignored;
  if (error == std::errc::file_exists) {
    fs::remove(whole, ignored);
    error.clear();
    return false;
  }
  if (!error) {
    fs::remove(whole, ignored);
    return true;
  }
  // A file system without links (some shares): the rename that fails on a
  // taken name where the system offers one, else a create that does.
  fs::remove(whole, ignored);
  error.clear();
#if defined(_WIN32)
  if ((error = ReplaceFile(whole, bytes))) return false;
  if (MoveFileExW(whole.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) return true;
  const DWORD reason = GetLastError();
  fs::remove(whole, ignored);
  if (reason == ERROR_ALREADY_EXISTS || reason == ERROR_FILE_EXISTS) return false;
  error = std::error_code(static_cast<int>(reason), std::system_category());
  return false;
#else
  std::FILE* file = std::fopen(target.string().c_str(), "wbx");
  if (file == nullptr) {
    if (errno == EEXIST) return false;
    error = std::error_code(errno, std::generic_category());
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fflush(file) == 0 &&
                       fsync(fileno(file)) == 0;
  if (!written) error = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
  if (std::fclose(file) != 0 && written) error = std::error_code(errno, std::generic_category());
  if (error) fs::remove(target, ignored);
  return !error;
#endif
}

void HoldForTest(const Environment& env, std::string_view point) {
  static bool held = false;
  if (held || !env.Variable) return;
  const std::optional<std::string> switched = env.Variable("TESSIL_SWEEP_HOLD");
  if (!switched || !switched->starts_with(std::string(point) + ":")) return;
  held = true;
  const fs::path dir = switched->substr(point.size() + 1);
  if (ReplaceFile(dir / "held", std::to_string(ThisProcess()) + "\n")) return;
  for (int tick = 0; tick < 6000 && !IsInterrupted(env); ++tick) {
    std::error_code error;
    if (fs::exists(dir / "go", error)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace tessil::cli
