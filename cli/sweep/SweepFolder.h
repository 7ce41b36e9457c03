// A sweep's folder as several runs share it: each run writes a study in a
// partial folder of its own and publishes it by one rename; a study counts as
// finished only when its folder holds a record, written last, that proves it
// whole; and a folder is made a sweep's by files created exclusively, so that
// runs on several machines of a cluster, sharing the folder over a network
// file system, never damage each other's work.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "CliEnvironment.h"

namespace tessil::cli {

// The record of a finished study, inside its folder.
inline constexpr std::string_view StudyRecordName = "finished.txt";

// The files of a finished study, which its record lists.
const std::vector<std::string>& StudyFileNames();

// The record's text: the study's id, the plan's hash, and each file's name,
// size and checksum (FNV-1a 64) in the order given.
std::string StudyRecordText(const std::string& id, const std::string& planHash,
                            const std::vector<std::pair<std::string, std::string>>& files);

// Empty when `folder` proves the study `id` of the plan `planHash` finished:
// a real folder (not a link) whose record names the study and the plan and
// lists `required` files, each present with its size and checksum. Otherwise
// what is wrong, in a few words ("is empty", "has no report.txt", ...).
std::string UnfinishedReason(const std::filesystem::path& folder, const std::string& id, const std::string& planHash,
                             const std::vector<std::string>& required);

// This machine's name as it may stand in a file name, and this process's id.
std::string ThisHost();
std::int64_t ThisProcess();
// Whether process `pid` runs on this machine.
bool ProcessRuns(std::int64_t pid);

// studies/.partial-ID.HOST.PID: the partial folder of this run.
std::filesystem::path PartialFolderOf(const std::filesystem::path& studies, const std::string& id);

// A partial folder found under studies/.
struct PartialFolder {
  std::filesystem::path Path;
  std::string Host;  // empty: a name of no known form
  std::int64_t Process = 0;
  bool Abandoned = false;   // of this machine, and its process has ended
  double AgeSeconds = 0.0;  // since it last changed
};
std::vector<PartialFolder> FindPartialFolders(const std::filesystem::path& studies);

// Removes the partial folders this machine's ended runs left, which nobody
// else can be writing; lists the others on `err` with their age, and removes
// them too when `removeOthers` (never one of a process that runs here).
// Returns false once a failure to remove is said.
bool TidyPartialFolders(const std::filesystem::path& studies, bool removeOthers, std::ostream& err);

// Moves `entry` (a folder, a file or a link, never followed) aside by one
// rename to studies/.set-aside-NAME-WHEN, WHEN the UTC time as
// YYYYMMDDTHHMMSSZ; returns the new path, or empty when it could not be
// moved (the reason in `error`), or when it was gone already.
std::filesystem::path SetAside(const std::filesystem::path& entry, std::error_code& error);

// Creates `target` holding `bytes` only if no file of that name exists, by
// a link from a whole file beside it (exclusive on network file systems, and
// never seen half-written). Returns false with an empty error when the name
// was taken; an error when it could not be made.
bool CreateExclusively(const std::filesystem::path& target, std::string_view bytes, std::error_code& error);

// For tests of runs that overlap: when the variable TESSIL_SWEEP_HOLD is
// "POINT:DIR" and this is POINT, the run writes its process id to DIR/held
// and waits (at most 60 s, and never past an interruption) until DIR/go
// exists, once per run. Lets a test start a second run inside the window.
void HoldForTest(const Environment& env, std::string_view point);

}  // namespace tessil::cli
