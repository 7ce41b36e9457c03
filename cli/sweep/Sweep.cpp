#include "Sweep.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

#include "FileOutput.h"
#include "MatrixFile.h"
#include "PowerChart.h"
#include "ProgressBar.h"
#include "Study.h"
#include "SweepFolder.h"
#include "SweepPlan.h"
#include "Validation.h"
#include "Version.h"

namespace tessil::cli {

namespace fs = std::filesystem;

namespace {

// A whole number without sign or blanks, as a shard or a Slurm variable
// is written.
std::optional<std::int32_t> WholeNumber(std::string_view text) {
  std::int32_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || text.front() == '-' || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return number;
}

std::string Quoted(const fs::path& path) { return "\"" + Printable(path.string()) + "\""; }

// A TOML basic string.
std::string TomlString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string StudyToml(const SweepStudy& study) {
  std::string out = "# One study of a Tessil sweep: its identity, its seeds and the command that runs it alone.\n";
  out += "id = " + TomlString(study.Id) + "\n";
  out += "seed = " + std::to_string(study.Request.RandomSeed) + "\n";
  out += "ecosim-seed = " + study.Request.Inputs.Options.EcoSimSeed + "\n";
  out += "run-command = " + TomlString(study.RunCommand) + "\n\n[settings]\n";
  for (const SweepSetting& setting : study.Settings)
    out += std::string(setting.Name) + " = " + TomlString(setting.Value) + "\n";
  return out;
}

// Makes a folder's entries (a file renamed into it, a folder renamed in
// it) reach the disk, so that a study counted as finished after a crash is
// whole. Windows journals a rename with its files: nothing to do there.
std::error_code SyncFolder([[maybe_unused]] const fs::path& folder) {
#if !defined(_WIN32)
  const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (descriptor < 0) return {errno, std::generic_category()};
  const bool synced = fsync(descriptor) == 0 || errno == EINVAL;
  const std::error_code error = synced ? std::error_code{} : std::error_code{errno, std::generic_category()};
  close(descriptor);
  return error;
#else
  return {};
#endif
}

bool Refuse(std::ostream& err, const std::string& message) {
  err << "tessil-cli: " << message << "\n";
  return false;
}

enum class Written { Published, ByAnother, Failed };

// Writes the study's files into a partial folder of this run's own, each on
// disk, the record last, then publishes the folder as <id> by one rename: a
// study's folder is finished or absent, never partial. When another run has
// published the study first, its folder stands if its record proves it
// finished, and this run's copy goes.
Written WriteStudy(const fs::path& studies, const SweepStudy& study, const StudyRequest& request,
                   const std::string& planHash, const StudyResult& result, const Environment& env) {
  std::ostream& err = env.Err;
  const fs::path partial = PartialFolderOf(studies, study.Id);
  std::error_code error;
  fs::remove_all(partial, error);
  if (!error) fs::create_directory(partial, error);
  if (error) {
    Refuse(err, "cannot write " + Quoted(partial) + ": " + WriteErrorReason(error));
    return Written::Failed;
  }
  const std::vector<std::pair<std::string, std::string>> files = {
      {"report.txt", result.Report},
      {"power.tsv", PowerTableTsv(result.Table)},
      {"power.json", PowerTableJson(request, result)},
      {"power.svg", PowerChartSvg(result.Table, request.Inputs)},
      {"study.toml", StudyToml(study)},
  };
  std::string failure;
  for (const auto& [name, bytes] : files) {
    if (const std::error_code e = ReplaceFile(partial / name, bytes)) {
      failure = "cannot write " + Quoted(partial / name) + ": " + WriteErrorReason(e);
      break;
    }
  }
  if (failure.empty()) {
    const fs::path record = partial / StudyRecordName;
    if (const std::error_code e = ReplaceFile(record, StudyRecordText(study.Id, planHash, files)))
      failure = "cannot write " + Quoted(record) + ": " + WriteErrorReason(e);
  }
  if (failure.empty()) {
    if (const std::error_code e = SyncFolder(partial))
      failure = "cannot write " + Quoted(partial) + ": " + WriteErrorReason(e);
  }
  HoldForTest(env, "publish");
  Written outcome = Written::Failed;
  const fs::path published = studies / study.Id;
  // A folder at the study's name that is not a finished study (left by
  // hand, or emptied) is set aside and the rename tried again, once.
  for (int attempt = 0; failure.empty() && attempt < 2 && outcome == Written::Failed; ++attempt) {
    fs::rename(partial, published, error);
    if (!error) {
      outcome = Written::Published;
    } else if (fs::exists(fs::symlink_status(published, error))) {
      const std::string reason = UnfinishedReason(published, study.Id, planHash, StudyFileNames());
      if (reason.empty()) {
        err << "tessil-cli: study " << study.Id << " was finished by another run at the same time; its copy is kept.\n";
        outcome = Written::ByAnother;
      } else if (attempt == 0) {
        std::error_code asideError;
        SetAside(published, asideError);
      } else {
        failure = "cannot publish study " + study.Id + ": " + Quoted(published) + " " + reason;
      }
    } else {
      failure = "cannot write " + Quoted(published) + ": " + WriteErrorReason(error);
    }
  }
  if (failure.empty() && outcome == Written::Failed) failure = "cannot publish study " + study.Id;
  if (failure.empty()) {
    if (const std::error_code e = SyncFolder(studies))
      failure = "cannot write " + Quoted(studies) + ": " + WriteErrorReason(e);
  }
  std::error_code ignored;
  fs::remove_all(partial, ignored);
  if (!failure.empty()) {
    Refuse(err, failure);
    return Written::Failed;
  }
  return outcome;
}

std::string RecordText(const SweepPlan& plan) {
  return "tessil-sweep 1\nplan-hash: " + plan.Hash + "\ntessil-version: " + std::string(TessilVersion) +
         "\nstudies: " + std::to_string(plan.Studies.size()) + "\n";
}

// The refusal of a folder whose record names another plan or version, or
// none that reads; empty when the record is this plan's.
std::string RefuseRecord(const fs::path& folder, const SweepPlan& plan) {
  const std::optional<SweepRecord> record = ReadSweepRecord(folder);
  if (!record) return Quoted(folder / "sweep.txt") + " is not a record of a Tessil sweep; give another folder.";
  if (record->PlanHash != plan.Hash) {
    return Quoted(folder) + " holds a sweep of another plan (plan hash " + record->PlanHash + "; this plan's is " +
           plan.Hash + "); give another folder.";
  }
  if (record->Version != TessilVersion) {
    return Quoted(folder) + " was made by Tessil " + record->Version + "; this is Tessil " +
           std::string(TessilVersion) + ", whose results may differ; give another folder.";
  }
  return {};
}

// The refusal of a folder whose plan.toml is not this plan (neither its bytes
// nor a plan of its hash); empty when it is.
std::string RefusePlanCopy(const fs::path& folder, const SweepPlan& plan, const std::string& planBytes,
                           const Environment& env) {
  const fs::path file = folder / "plan.toml";
  try {
    const std::string bytes = ReadSweepPlanBytes(file, env.Interrupted);
    if (bytes == planBytes) return {};
    const SweepPlan kept = ParseSweepPlan(bytes, file.string(), env.Interrupted);
    if (kept.Hash == plan.Hash) return {};
    return Quoted(folder) + " holds the plan.toml of another plan (plan hash " + kept.Hash + "; this plan's is " +
           plan.Hash + "); give another folder.";
  } catch (const SweepPlanError& e) {
    return Quoted(file) + " is not this plan (" + e.what() + "); give another folder.";
  }
}

// Makes the folder ready for the plan, or refuses it (false, with the
// reason said) when it holds another plan's sweep, another version's, or
// files that are not a sweep, or when a file cannot be made in studies/.
// The plan's copy and the record are created exclusively, so that of two
// plans prepared on one new folder at once one is refused. `failed`: the
// refusal is a failure to write.
bool PrepareFolder(const fs::path& folder, const SweepPlan& plan, const std::string& planBytes, const Environment& env,
                   bool& failed) {
  std::ostream& err = env.Err;
  std::error_code error;
  const fs::file_status status = fs::status(folder, error);
  if (fs::exists(status) && !fs::is_directory(status)) {
    return Refuse(err, Quoted(folder) + " is a file, not a folder; give a folder for the sweep.");
  }
  const bool hasPlan = fs::exists(fs::symlink_status(folder / "plan.toml", error));
  if (fs::exists(fs::symlink_status(folder / "sweep.txt", error))) {
    if (const std::string refusal = RefuseRecord(folder, plan); !refusal.empty()) return Refuse(err, refusal);
  } else if (fs::exists(status)) {
    // A folder of other files is not taken over. Other shards starting at
    // the same moment may be beginning the sweep: its own entries and the
    // hidden files its writes pass through are no reason to refuse.
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
      const std::string name = entry.path().filename().string();
      if (name != "studies" && name != "plan.toml" && name != "sweep.txt" && !name.starts_with(".")) {
        return Refuse(err, Quoted(folder) + " holds other files and no sweep; give a new or empty folder.");
      }
    }
  }
  if (hasPlan) {
    if (const std::string refusal = RefusePlanCopy(folder, plan, planBytes, env); !refusal.empty()) {
      return Refuse(err, refusal);
    }
  }
  failed = true;
  fs::create_directories(folder / "studies", error);
  if (error) return Refuse(err, "cannot create " + Quoted(folder / "studies") + ": " + WriteErrorReason(error));
  HoldForTest(env, "prepare");
  // The plan first: sweep.txt, written last, says the folder is a sweep.
  // Each is made only where none is; one made by another run at the same
  // moment is checked instead.
  for (const auto& [name, bytes] : {std::pair{"plan.toml", planBytes}, std::pair{"sweep.txt", RecordText(plan)}}) {
    std::error_code e;
    if (CreateExclusively(folder / name, bytes, e)) continue;
    if (e) return Refuse(err, "cannot write " + Quoted(folder / name) + ": " + WriteErrorReason(e));
    failed = false;
    const std::string refusal = std::string_view(name) == "plan.toml" ? RefusePlanCopy(folder, plan, planBytes, env)
                                                                      : RefuseRecord(folder, plan);
    if (!refusal.empty()) return Refuse(err, refusal);
    failed = true;
  }
  // Every task of a batch job writes in studies/: proved now, before
  // anything is queued, rather than after hours of computing.
  if (const std::error_code e = CheckWritableFolder(folder / "studies" / ".write-check")) {
    return Refuse(err, "cannot write in " + Quoted(folder / "studies") + ": " + WriteErrorReason(e) +
                           "; give a folder this user can write.");
  }
  failed = false;
  return true;
}

// Seconds from `from` to `to` on a clock that restarts at midnight.
double SecondsBetween(double from, double to) {
  const double d = to - from;
  return d < 0 ? d + 86400.0 : d;
}

bool Interrupted(const Environment& env) { return IsInterrupted(env); }

}  // namespace

std::string ParseShard(std::string_view text, SweepShard& shard) {
  const std::string given = "\"" + std::string(text) + "\"";
  const std::size_t slash = text.find('/');
  const std::optional<std::int32_t> index = WholeNumber(text.substr(0, slash));
  const std::optional<std::int32_t> count =
      slash == std::string_view::npos ? std::nullopt : WholeNumber(text.substr(slash + 1));
  if (!index || !count) {
    return given + " is not a shard; give I/N, shard I of N shards, I from 0 to N-1 (e.g. 0/4).";
  }
  if (*count < 1) return given + ": the number of shards must be 1 or more.";
  if (*index >= *count) {
    return given + ": there is no shard " + std::to_string(*index) + " of " + std::to_string(*count) +
           "; shards are numbered from 0 to " + std::to_string(*count - 1) + ".";
  }
  shard = {*index, *count};
  return {};
}

std::string ShardFromSlurm(const EnvironmentVariable& variable, std::optional<SweepShard>& shard) {
  shard.reset();
  const auto get = [&variable](const std::string& name) {
    return variable ? variable(name) : std::optional<std::string>();
  };
  if (!get("SLURM_ARRAY_TASK_ID")) return {};
  std::int32_t values[4] = {};
  const char* const names[4] = {"SLURM_ARRAY_TASK_ID", "SLURM_ARRAY_TASK_MIN", "SLURM_ARRAY_TASK_MAX",
                                "SLURM_ARRAY_TASK_COUNT"};
  for (int k = 0; k < 4; ++k) {
    const std::optional<std::string> text = get(names[k]);
    if (!text) return std::string(names[k]) + " is not set although SLURM_ARRAY_TASK_ID is; give --shard I/N.";
    const std::optional<std::int32_t> number = WholeNumber(*text);
    if (!number) return std::string(names[k]) + "=\"" + *text + "\" is not a whole number; give --shard I/N.";
    values[k] = *number;
  }
  const auto [id, min, max, count] = values;
  if (const std::optional<std::string> step = get("SLURM_ARRAY_TASK_STEP"); step && *step != "1") {
    return "the Slurm job array steps by " + *step +
           " (SLURM_ARRAY_TASK_STEP); a sweep's shards are the tasks of an array with step 1, such as "
           "--array=0-3, or give --shard I/N.";
  }
  // A list of tasks such as --array=1,4 (resubmitting some tasks) would
  // shift every shard: only a whole range is taken.
  if (count < 1 || max - min + 1 != count || id < min || id > max) {
    return "the Slurm job array is not one range of consecutive tasks (task " + std::to_string(id) + " of " +
           std::to_string(min) + " to " + std::to_string(max) + ", " + std::to_string(count) +
           " tasks); submit the whole range, such as --array=0-" + std::to_string(std::max(count, 1) - 1) +
           ", or give --shard I/N.";
  }
  shard = SweepShard{id - min, count};
  return {};
}

std::optional<SweepRecord> ReadSweepRecord(const fs::path& folder) {
  std::ifstream in(folder / "sweep.txt", std::ios::binary);
  std::string line;
  if (!std::getline(in, line) || line != "tessil-sweep 1") return std::nullopt;
  SweepRecord record;
  bool hash = false, version = false, studies = false;
  while (std::getline(in, line)) {
    if (line.starts_with("plan-hash: ")) {
      record.PlanHash = line.substr(11);
      hash = true;
    } else if (line.starts_with("tessil-version: ")) {
      record.Version = line.substr(16);
      version = true;
    } else if (line.starts_with("studies: ")) {
      const std::optional<std::int32_t> n = WholeNumber(std::string_view(line).substr(9));
      record.Studies = n.value_or(0);
      studies = n.has_value();
    }
  }
  if (!hash || !version || !studies) return std::nullopt;
  return record;
}

int RunSweep(const SweepCommand& c, Environment& env) {
  std::ostream& err = env.Err;
  SweepShard shard;
  if (!c.Shard.empty()) {
    if (const std::string refusal = ParseShard(c.Shard, shard); !refusal.empty()) {
      err << "tessil-cli: --shard " << refusal << "\n";
      return ExitRefused;
    }
  } else {
    std::optional<SweepShard> slurm;
    if (const std::string refusal = ShardFromSlurm(env.Variable, slurm); !refusal.empty()) {
      err << "tessil-cli: " << refusal << "\n";
      return ExitRefused;
    }
    if (slurm) shard = *slurm;
  }
  unsigned threads = c.Threads;
  if (threads == 0 && env.Variable) {
    if (const std::optional<std::string> cpus = env.Variable("SLURM_CPUS_PER_TASK")) {
      const std::optional<std::int32_t> n = WholeNumber(*cpus);
      if (!n || *n < 1) {
        err << "tessil-cli: SLURM_CPUS_PER_TASK=\"" << *cpus << "\" is not a number of CPUs; give --threads N.\n";
        return ExitRefused;
      }
      threads = static_cast<unsigned>(*n);
    }
  }
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());

  // The plan's bytes are kept in the folder as they were read.
  SweepPlan plan;
  std::string planBytes;
  try {
    planBytes = ReadSweepPlanBytes(Utf8Path(c.Plan), env.Interrupted);
    plan = ParseSweepPlan(planBytes, c.Plan, env.Interrupted);
  } catch (const SweepPlanInterrupted&) {
    err << "tessil-cli: reading the plan was interrupted; nothing was run.\n";
    return ExitCancelled;
  } catch (const SweepPlanError& e) {
    err << "tessil-cli: " << e.what() << "\n";
    return ExitRefused;
  }
  if (plan.Repeats > 0) {
    err << "tessil-cli: " << plan.Repeats << (plan.Repeats == 1 ? " combination" : " combinations")
        << " of the plan repeat an earlier study (a setting that does not apply to it differs) and "
        << (plan.Repeats == 1 ? "is" : "are") << " run once.\n";
  }
  const std::int32_t total = static_cast<std::int32_t>(plan.Studies.size());

  if (c.List) {
    env.Out << "study\tshard\tseed\tecosim-seed\trun-command\n";
    for (std::int32_t k = 0; k < total; ++k) {
      const SweepStudy& s = plan.Studies[static_cast<std::size_t>(k)];
      env.Out << s.Id << "\t" << k % shard.Count << "\t" << s.Request.RandomSeed << "\t"
              << s.Request.Inputs.Options.EcoSimSeed << "\t" << s.RunCommand << "\n";
    }
    return ExitOk;
  }
  if (plan.AsksToContinue && !c.Yes) {
    err << "tessil-cli: " << message::FewIterations << "\n"
        << "tessil-cli: answer Yes with --yes.\n";
    return ExitRefused;
  }
  if (c.Folder.empty()) {
    err << "tessil-cli: give the sweep's folder with -o DIR.\n";
    return ExitRefused;
  }
  StudyAutomationFactory automation;
  if (c.EcoSim == "windows") {
    if (!env.WindowsEcoSim) {
      err << "tessil-cli: --ecosim windows is not available in this build; use --ecosim in-process.\n";
      return ExitRefused;
    }
    automation = env.WindowsEcoSim;
  }

  const fs::path folder = Utf8Path(c.Folder);
  bool failed = false;
  if (!PrepareFolder(folder, plan, planBytes, env, failed)) return failed ? ExitFailed : ExitRefused;
  if (c.Prepare) {
    err << "tessil-cli: the sweep of " << total << (total == 1 ? " study" : " studies") << " is ready in "
        << Quoted(folder) << ".\n";
    return ExitOk;
  }
  const fs::path studies = folder / "studies";

  // Partial folders of this machine's ended runs go; others are named.
  if (!TidyPartialFolders(studies, c.RemovePartials, err)) return ExitFailed;

  std::vector<const SweepStudy*> toRun;
  std::int32_t inShard = 0;
  for (std::int32_t k = shard.Index; k < total; k += shard.Count) {
    ++inShard;
    const SweepStudy& s = plan.Studies[static_cast<std::size_t>(k)];
    const fs::path entry = studies / s.Id;
    std::error_code error;
    if (!fs::exists(fs::symlink_status(entry, error))) {
      toRun.push_back(&s);
      continue;
    }
    const std::string reason = UnfinishedReason(entry, s.Id, plan.Hash, StudyFileNames());
    if (reason.empty()) continue;
    const fs::path aside = SetAside(entry, error);
    if (error) {
      err << "tessil-cli: study " << s.Id << " in " << Quoted(entry) << " is not finished (it " << reason
          << ") and cannot be moved aside: " << WriteErrorReason(error) << "; move it away and run again.\n";
      return ExitFailed;
    }
    // Another run may have published the study between the check and the
    // rename: a finished study moved aside goes back.
    if (!aside.empty() && UnfinishedReason(aside, s.Id, plan.Hash, StudyFileNames()).empty()) {
      std::error_code back;
      fs::rename(aside, entry, back);
      if (!back || UnfinishedReason(entry, s.Id, plan.Hash, StudyFileNames()).empty()) continue;
    }
    err << "tessil-cli: study " << s.Id << " in " << Quoted(entry) << " is not finished (it " << reason << ")"
        << (aside.empty() ? std::string() : "; set aside as " + Quoted(aside.filename())) << "; it is run again.\n";
    toRun.push_back(&s);
  }
  const std::int32_t already = inShard - static_cast<std::int32_t>(toRun.size());
  const std::string whose =
      shard.Count > 1 ? "shard " + std::to_string(shard.Index) + "/" + std::to_string(shard.Count) + " of the sweep"
                      : "the sweep";
  if (toRun.empty()) {
    err << "tessil-cli: " << (inShard == 1 ? "the one study of " : "the " + std::to_string(inShard) + " studies of ")
        << whose << (inShard == 1 ? " is" : " are") << " already in " << Quoted(folder) << ".\n";
    return ExitOk;
  }
  if (already > 0) {
    err << "tessil-cli: " << already << " of the " << inShard << " studies of " << whose
        << (already == 1 ? " is" : " are") << " already in " << Quoted(folder) << "; running the other " << toRun.size()
        << ".\n";
  }

  const bool drawBar = env.ErrIsTerminal && !c.NoProgress;
  ProgressBar bar(err, *env.Time, drawBar);
  bar.StartSweep(static_cast<std::int32_t>(toRun.size()));
  std::int32_t finished = 0;
  const auto cancelled = [&] {
    bar.Finish();
    err << "tessil-cli: the sweep was interrupted; " << already + finished << " of the " << inShard << " studies of "
        << whose << " are finished in " << Quoted(folder)
        << ", and nothing of the study under way was kept. Run the same command again to resume.\n";
    return ExitCancelled;
  };
  for (const SweepStudy* study : toRun) {
    if (Interrupted(env)) return cancelled();
    StudyRequest request = RequestToRun(*study);
    request.Threads = threads;
    const double began = env.Time->SecondsSinceMidnight();
    StudyHooks hooks;
    hooks.OnProgress = [&bar, &finished](const RunSettings& s) { bar.UpdateSweep(finished, &s); };
    hooks.Cancelled = [&env] { return Interrupted(env); };
    StudyResult result;
    try {
      result = RunStudy(request, hooks, *env.Time, automation);
    } catch (const RunCancelled&) {
      return cancelled();
    } catch (const EcoSimProgramMissing&) {
      bar.Finish();
      return ExitFailed;
    } catch (const TessilError& e) {
      bar.Finish();
      err << "tessil-cli: study " << study->Id << " failed (error " << e.Number() << "): " << e.what() << "\n"
          << "tessil-cli: the sweep stops; its " << already + finished << " finished studies stay in " << Quoted(folder)
          << ". Alone, the study is: " << study->RunCommand << "\n";
      return ExitFailed;
    }
    if (WriteStudy(studies, *study, request, plan.Hash, result, env) == Written::Failed) {
      bar.Finish();
      return ExitFailed;
    }
    ++finished;
    bar.UpdateSweep(finished, nullptr);
    if (!drawBar) {
      char seconds[32];
      std::snprintf(seconds, sizeof seconds, "%.1f", SecondsBetween(began, env.Time->SecondsSinceMidnight()));
      err << "tessil-cli: [" << finished << "/" << toRun.size() << "] study " << study->Id << " finished in " << seconds
          << " s\n"
          << std::flush;
    }
  }
  bar.Finish();
  err << "tessil-cli: " << (inShard == 1 ? "the one study of " : "the " + std::to_string(inShard) + " studies of ")
      << whose << (inShard == 1 ? " is" : " are") << " in " << Quoted(folder) << ".\n";
  return ExitOk;
}

}  // namespace tessil::cli
