// A sweep's results do not depend on how it is split, stopped or resumed;
// a folder of another plan or version is refused; Slurm's array variables
// choose the shard.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "CommandLine.h"
#include "ProgressBar.h"
#include "Sweep.h"
#include "SweepFolder.h"
#include "SweepPlan.h"
#include "Version.h"

namespace tessil::cli {
namespace {

namespace fs = std::filesystem;

// Six studies: rows 4, 5, 6 by column constraint equiprobable, proportional.
constexpr std::string_view PlanText =
    "iterations = 20\nseed = 3\necosim-seed = 5\n\n[sweep]\nrows = [4, 5, 6]\ncols = 4\n"
    "column-constraint = [\"equi\", \"prop\"]\necosim-iterations = 20\n";

// A clock 0.2 s further on at every reading that, once `studies` holds
// `finished` studies, interrupts the sweep well inside the next study.
class InterruptingClock final : public Clock {
 public:
  InterruptingClock(fs::path studies, int finished, std::atomic<bool>& flag)
      : studies_(std::move(studies)), finished_(finished), flag_(flag) {}
  double SecondsSinceMidnight() override {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(studies_)) count += entry.path().filename().string()[0] != '.';
    if (count >= finished_ && ++readingsAfter_ == 50) flag_.store(true);
    return 0.2 * ++readings_;
  }

 private:
  fs::path studies_;
  int finished_;
  std::atomic<bool>& flag_;
  int readings_ = 0;
  int readingsAfter_ = 0;
};

class SteadyClock final : public Clock {
 public:
  double SecondsSinceMidnight() override { return 0.0; }
};

struct Outcome {
  int Status;
  std::string Out;
  std::string Err;
};

Outcome Cli(std::vector<std::string> args, const std::map<std::string, std::string>& variables = {},
            Clock* clock = nullptr, std::atomic<bool>* flag = nullptr) {
  args.insert(args.begin(), "tessil-cli");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  std::atomic<bool> none{false};
  SteadyClock steady;
  // With a clock of its own the sweep draws its bar, which reads the clock
  // as the study under way goes on.
  Environment env{out, err, flag != nullptr ? flag : &none, clock != nullptr, clock != nullptr ? clock : &steady};
  env.Variable = [&variables](const std::string& name) -> std::optional<std::string> {
    const auto found = variables.find(name);
    return found != variables.end() ? std::optional(found->second) : std::nullopt;
  };
  const int status = RunCommandLine(static_cast<int>(argv.size()), argv.data(), env);
  return {status, out.str(), err.str()};
}

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

struct SweepFolders {
  // A name of its own, so that builds testing at once do not meet.
  fs::path Root = fs::temp_directory_path() / ("tessil-sweep-test-" + std::to_string(std::random_device()()) + "-" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::path Plan = Root / "plan.toml";
  SweepPlan Parsed = ParseSweepPlan(PlanText, "plan.toml");
  SweepFolders() {
    fs::remove_all(Root);
    fs::create_directories(Root);
    std::ofstream(Plan, std::ios::binary) << PlanText;
  }
  ~SweepFolders() {
    std::error_code ignored;
    fs::remove_all(Root, ignored);
  }
  std::string Sweep(const std::string& folder, std::vector<std::string> more = {}) {
    std::vector<std::string> args{"sweep", Plan.string(), "-o", (Root / folder).string(), "--yes"};
    args.insert(args.end(), more.begin(), more.end());
    const Outcome o = Cli(args);
    EXPECT_EQ(o.Status, ExitOk) << o.Err;
    return o.Err;
  }
  // The merged tables, the studies' figures and every argument's.
  std::string Merged(const std::string& folder) {
    std::string tables;
    for (const std::vector<std::string>& options : {std::vector<std::string>{}, {"--json", "--arguments"}}) {
      std::vector<std::string> args{"merge", (Root / folder).string(), "-o", (Root / (folder + ".table")).string()};
      args.insert(args.end(), options.begin(), options.end());
      const Outcome o = Cli(args);
      EXPECT_EQ(o.Status, ExitOk) << o.Err;
      tables += Slurp(Root / (folder + ".table"));
    }
    return tables;
  }
  std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Root / folder / "studies")) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string Id(std::size_t k) const { return Parsed.Studies[k].Id; }
};

TEST(Sweep, MergesTheSameTablesWholeInShardsAndInterruptedThenResumed) {
  SweepFolders f;
  ASSERT_EQ(f.Parsed.Studies.size(), 6u);
  f.Sweep("whole");
  for (const char* shard : {"0/3", "1/3", "2/3"}) f.Sweep("shards", {"--shard", shard});
  const std::string whole = f.Merged("whole");
  EXPECT_EQ(f.Merged("shards"), whole);
  EXPECT_NE(whole.find("\n" + f.Id(5) + "\tno-interactions\tno\tno\tnone\t6\t4\tfixed\tprop\tcscore\tsequential\t"),
            std::string::npos)
      << whole;

  // Shard 1 (studies 1 and 4) is interrupted inside study 4, after study 1.
  f.Sweep("resumed", {"--shard", "0/3"});
  f.Sweep("resumed", {"--shard", "2/3"});
  std::atomic<bool> flag{false};
  InterruptingClock clock(f.Root / "resumed" / "studies", 5, flag);
  const Outcome stopped = Cli(
      {"sweep", f.Plan.string(), "-o", (f.Root / "resumed").string(), "--yes", "--shard", "1/3"}, {}, &clock, &flag);
  EXPECT_EQ(stopped.Status, ExitCancelled);
  EXPECT_NE(stopped.Err.find("1 of the 2 studies of shard 1/3 of the sweep are finished"), std::string::npos)
      << stopped.Err;
  EXPECT_NE(stopped.Err.find("Run the same command again to resume."), std::string::npos);
  EXPECT_NE(stopped.Err.find("1/2 studies"), std::string::npos) << "the bar counts the shard's studies";
  std::vector<std::string> present{f.Id(0), f.Id(1), f.Id(2), f.Id(3), f.Id(5)};
  std::sort(present.begin(), present.end());
  EXPECT_EQ(f.Entries("resumed"), present) << "nothing of the study under way is left";

  // The table waits for the missing study, unless told otherwise.
  const fs::path partialTable = f.Root / "partial.tsv";
  const Outcome missing = Cli({"merge", (f.Root / "resumed").string(), "-o", partialTable.string()});
  EXPECT_EQ(missing.Status, ExitFailed);
  EXPECT_NE(missing.Err.find("1 of the 6 studies of the sweep are not in"), std::string::npos) << missing.Err;
  EXPECT_NE(missing.Err.find("tessil-cli:   " + f.Id(4) + " rows=6 column-constraint=equi\n"), std::string::npos)
      << missing.Err;
  EXPECT_FALSE(fs::exists(partialTable));
  EXPECT_EQ(Cli({"merge", (f.Root / "resumed").string(), "-o", partialTable.string(), "--allow-missing"}).Status,
            ExitOk);
  const std::string present5 = Slurp(partialTable);
  EXPECT_EQ(std::count(present5.begin(), present5.end(), '\n'), 6) << "the header and five studies";

  // A partial folder left by a killed run of this machine is never read and
  // is removed (no process has the id 2^31).
  const fs::path left = f.Root / "resumed" / "studies" / (".partial-" + f.Id(4) + "." + ThisHost() + ".2147483648");
  fs::create_directories(left);
  std::ofstream(left / "power.json") << "{";
  const fs::path kept = f.Root / "resumed" / "studies" / f.Id(1) / "report.txt";
  const fs::file_time_type keptTime = fs::last_write_time(kept);
  const std::string resumed = f.Sweep("resumed", {"--shard", "1/3", "--no-progress"});
  EXPECT_NE(resumed.find("1 of the 2 studies of shard 1/3 of the sweep is already in"), std::string::npos) << resumed;
  EXPECT_NE(resumed.find("[1/1] study " + f.Id(4) + " finished"), std::string::npos) << resumed;
  EXPECT_EQ(fs::last_write_time(kept), keptTime) << "a finished study is not run again";
  EXPECT_EQ(f.Merged("resumed"), whole);
  EXPECT_EQ(f.Entries("resumed").size(), 6u);

  // A plan changed under a finished sweep is not merged with its results.
  std::ofstream(f.Root / "resumed" / "plan.toml", std::ios::binary | std::ios::app) << "[[study]]\nrows = 7\n";
  const Outcome changed = Cli({"merge", (f.Root / "resumed").string(), "-o", "-"});
  EXPECT_EQ(changed.Status, ExitRefused);
  EXPECT_NE(changed.Err.find("is not the plan of the sweep"), std::string::npos) << changed.Err;
}

TEST(Sweep, RefusesAFolderOfAnotherPlanOrVersionOrOfOtherFiles) {
  SweepFolders f;
  const std::string folder = (f.Root / "taken").string();
  const std::string version(TessilVersion);
  const std::string q = "\"" + folder + "\"";
  const struct {
    std::string Record;
    std::string Refusal;
  } cases[] = {
      {"tessil-sweep 1\nplan-hash: 0123456789abcdef\ntessil-version: " + version + "\nstudies: 6\n",
       "tessil-cli: " + q + " holds a sweep of another plan (plan hash 0123456789abcdef; this plan's is " +
           f.Parsed.Hash + "); give another folder.\n"},
      {"tessil-sweep 1\nplan-hash: " + f.Parsed.Hash + "\ntessil-version: 0.0.9\nstudies: 6\n",
       "tessil-cli: " + q + " was made by Tessil 0.0.9; this is Tessil " + version +
           ", whose results may differ; give another folder.\n"},
  };
  for (const auto& c : cases) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(fs::path(folder) / "sweep.txt", std::ios::binary) << c.Record;
    const Outcome o = Cli({"sweep", f.Plan.string(), "-o", folder, "--yes"});
    EXPECT_EQ(o.Status, ExitRefused);
    EXPECT_EQ(o.Err, c.Refusal);
    EXPECT_FALSE(fs::exists(fs::path(folder) / "studies")) << "refused before any work";
  }
  // Another plan's copy without a record: a plan prepared there a moment
  // ago, or left half-made; refused before any work, not after the sweep.
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::ofstream(fs::path(folder) / "plan.toml", std::ios::binary) << "[sweep]\nrows = 9\n";
  const Outcome foreign = Cli({"sweep", f.Plan.string(), "-o", folder, "--yes", "--prepare"});
  EXPECT_EQ(foreign.Status, ExitRefused);
  EXPECT_NE(foreign.Err.find(q + " holds the plan.toml of another plan"), std::string::npos) << foreign.Err;
  EXPECT_FALSE(fs::exists(fs::path(folder) / "studies"));
  fs::remove(fs::path(folder) / "plan.toml");
  std::ofstream(fs::path(folder) / "notes.txt") << "mine";
  const Outcome o = Cli({"sweep", f.Plan.string(), "-o", folder, "--yes"});
  EXPECT_EQ(o.Status, ExitRefused);
  EXPECT_EQ(o.Err, "tessil-cli: " + q + " holds other files and no sweep; give a new or empty folder.\n");
}

TEST(Sweep, TakesItsShardFromASlurmArrayOfStepOne) {
  SweepFolders f;
  // Task 5 of --array=4-6: shard 1 of 3, studies 1 and 4; --shard wins.
  const std::map<std::string, std::string> array{{"SLURM_ARRAY_TASK_ID", "5"},
                                                 {"SLURM_ARRAY_TASK_MIN", "4"},
                                                 {"SLURM_ARRAY_TASK_MAX", "6"},
                                                 {"SLURM_ARRAY_TASK_COUNT", "3"},
                                                 {"SLURM_ARRAY_TASK_STEP", "1"}};
  for (const auto& [folder, extra, studies] :
       {std::tuple{"slurm", std::vector<std::string>{}, std::vector{f.Id(1), f.Id(4)}},
        std::tuple{"given", std::vector<std::string>{"--shard", "2/3"}, std::vector{f.Id(2), f.Id(5)}}}) {
    std::vector<std::string> args{"sweep", f.Plan.string(), "-o", (f.Root / folder).string(), "--yes"};
    args.insert(args.end(), extra.begin(), extra.end());
    const Outcome o = Cli(args, array);
    EXPECT_EQ(o.Status, ExitOk) << o.Err;
    std::vector<std::string> expected = studies;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(f.Entries(folder), expected);
  }

  const struct {
    std::map<std::string, std::string> Changed;
    std::string Refusal;
  } refused[] = {
      {{{"SLURM_ARRAY_TASK_STEP", "2"}}, "the Slurm job array steps by 2 (SLURM_ARRAY_TASK_STEP)"},
      // --array=4,6: a list, not a range; its shards would not cover the plan.
      {{{"SLURM_ARRAY_TASK_COUNT", "2"}}, "is not one range of consecutive tasks"},
      {{{"SLURM_ARRAY_TASK_MIN", "x"}}, "SLURM_ARRAY_TASK_MIN=\"x\" is not a whole number"},
      {{{"SLURM_CPUS_PER_TASK", "0"}}, "SLURM_CPUS_PER_TASK=\"0\" is not a number of CPUs; give --threads N."},
  };
  for (const auto& r : refused) {
    std::map<std::string, std::string> variables = array;
    for (const auto& [name, value] : r.Changed) variables[name] = value;
    const Outcome o = Cli({"sweep", f.Plan.string(), "-o", (f.Root / "refused").string(), "--yes"}, variables);
    EXPECT_EQ(o.Status, ExitRefused);
    EXPECT_NE(o.Err.find(r.Refusal), std::string::npos) << o.Err;
    EXPECT_FALSE(fs::exists(f.Root / "refused"));
  }
}

TEST(Sweep, ItsBarCountsStudiesWithTheOneUnderWayByItsShareOfWork) {
  class MovedClock final : public Clock {
   public:
    double Now = 100.0;
    double SecondsSinceMidnight() override { return Now; }
  } clock;
  std::ostringstream err;
  ProgressBar bar(err, clock, true);
  bar.StartSweep(4);
  RunSettings current;
  current.NumArguments = 36;
  current.NumIterations = 100;
  current.WorkDone = 1800;
  clock.Now = 130.0;
  // One study and half the next in 30 s: 2.5 studies left take 50 s.
  bar.UpdateSweep(1, &current);
  EXPECT_EQ(err.str(), "\r[###########...................]  37.5%  1/4 studies  time remaining 0:00:50 ");
}

TEST(Sweep, ReadsAShardAsIOfN) {
  for (const auto& [text, index, count, refusal] : {
           std::tuple{"0/1", 0, 1, ""},
           {"3/4", 3, 4, ""},
           {"4/4", 0, 0, "\"4/4\": there is no shard 4 of 4; shards are numbered from 0 to 3."},
           {"0/0", 0, 0, "\"0/0\": the number of shards must be 1 or more."},
           {"-1/4", 0, 0, "is not a shard"},
           {"1", 0, 0, "is not a shard"},
           {"1/4x", 0, 0, "is not a shard"},
           {"a/b", 0, 0, "is not a shard"},
       }) {
    SweepShard shard{-1, -1};
    const std::string said = ParseShard(text, shard);
    if (std::string_view(refusal).empty()) {
      EXPECT_EQ(said, "") << text;
      EXPECT_EQ(shard.Index, index);
      EXPECT_EQ(shard.Count, count);
    } else {
      EXPECT_NE(said.find(refusal), std::string::npos) << text << ": " << said;
      EXPECT_EQ(shard.Count, -1) << text;
    }
  }
}

TEST(Sweep, ResumeSetsAsideEveryStudyItsRecordDoesNotProveAndMergeRefusesIt) {
  SweepFolders f;
  f.Sweep("whole");
  const std::string whole = f.Merged("whole");
  f.Sweep("tampered");
  const fs::path studies = f.Root / "tampered" / "studies";
  const fs::path elsewhere = f.Root / "elsewhere";
  fs::create_directories(elsewhere);
  std::ofstream(elsewhere / "kept.txt") << "not the sweep's";
  const auto folderOf = [&](std::size_t k) { return studies / f.Id(k); };
  const struct {
    std::size_t Study;
    std::function<void(const fs::path&)> Tamper;
    std::string Reason;
  } cases[] = {
      // In reverse plan order: merge names the first study it cannot take.
      {5, [](const fs::path& d) { fs::remove(d / "report.txt"); }, "has no report.txt"},
      {4,
       [](const fs::path& d) {
         for (const auto& entry : fs::directory_iterator(d)) fs::remove(entry.path());
       },
       "is empty"},
#ifndef _WIN32
      {3,
       [&](const fs::path& d) {
         fs::remove_all(d);
         fs::create_directory_symlink(elsewhere, d);
       },
       "is a link, not a folder"},
#else
      // Making a link needs a privilege on Windows: a missing file instead.
      {3, [](const fs::path& d) { fs::remove(d / "power.tsv"); }, "has no power.tsv"},
#endif
      {2,
       [&](const fs::path& d) {
         std::ofstream(d / "power.json", std::ios::binary) << Slurp(folderOf(0) / "power.json");
       },
       "has a power.json of another size than its record says"},
      {1,
       [](const fs::path& d) {
         std::string svg = Slurp(d / "power.svg");
         svg[svg.size() / 2] = svg[svg.size() / 2] == 'x' ? 'y' : 'x';
         std::ofstream(d / "power.svg", std::ios::binary) << svg;
       },
       "has a power.svg whose checksum is not its record's"},
      {0, [](const fs::path& d) { fs::remove(d / "finished.txt"); },
       "has no record of a finished study (finished.txt)"},
  };
  for (const auto& c : cases) {
    c.Tamper(folderOf(c.Study));
    const Outcome merged = Cli({"merge", (f.Root / "tampered").string(), "-o", "-"});
    EXPECT_EQ(merged.Status, ExitFailed) << c.Reason;
    EXPECT_NE(merged.Err.find("cannot take the results of study " + f.Id(c.Study)), std::string::npos) << merged.Err;
    EXPECT_NE(merged.Err.find(c.Reason), std::string::npos) << merged.Err;
    EXPECT_NE(merged.Err.find("run the sweep again with the same plan and folder"), std::string::npos);
    EXPECT_EQ(merged.Out, "");
  }
  const std::string resumed = f.Sweep("tampered", {"--no-progress"});
  for (const auto& c : cases) {
    const std::string line = "tessil-cli: study " + f.Id(c.Study) + " in \"" + folderOf(c.Study).string() +
                             "\" is not finished (it " + c.Reason + "); set aside as \".set-aside-" + f.Id(c.Study) +
                             "-";
    EXPECT_NE(resumed.find(line), std::string::npos) << resumed;
  }
  EXPECT_NE(resumed.find("[6/6] study"), std::string::npos) << resumed;
  EXPECT_EQ(f.Merged("tampered"), whole);
  EXPECT_EQ(Slurp(elsewhere / "kept.txt"), "not the sweep's") << "a link is moved, never followed";
  std::size_t asides = 0;
  for (const auto& entry : fs::directory_iterator(studies)) asides += entry.path().filename().string()[0] == '.';
  EXPECT_EQ(asides, 6u) << "nothing is deleted";

  // A folder whose record is made to name it, holding another study's
  // figures, is caught by merge's check of power.json against the plan.
  fs::remove_all(folderOf(5));
  fs::create_directory(folderOf(5));
  std::vector<std::pair<std::string, std::string>> files;
  for (const std::string& name : StudyFileNames()) {
    files.emplace_back(name, Slurp(folderOf(4) / name));
    std::ofstream(folderOf(5) / name, std::ios::binary) << files.back().second;
  }
  std::ofstream(folderOf(5) / "finished.txt", std::ios::binary) << StudyRecordText(f.Id(5), f.Parsed.Hash, files);
  const Outcome forged = Cli({"merge", (f.Root / "tampered").string(), "-o", "-"});
  EXPECT_EQ(forged.Status, ExitFailed);
  EXPECT_NE(forged.Err.find("its power.json holds the figures of another study (its seed differs)"), std::string::npos)
      << forged.Err;
}

TEST(Sweep, PartialStudiesOfOtherRunsAreNamedWithTheirAgeAndRemovedOnlyOnRequest) {
  SweepFolders f;
  f.Sweep("shared", {"--shard", "0/2"});
  const fs::path studies = f.Root / "shared" / "studies";
  const fs::path ended = studies / (".partial-" + f.Id(1) + "." + ThisHost() + ".2147483648");
  const fs::path other = studies / (".partial-" + f.Id(3) + ".node-17.42");
  fs::create_directories(ended);
  fs::create_directories(other);
#ifdef _WIN32
  // A folder's time cannot be set through the standard library there.
  const std::string age = "0 minutes";
#else
  fs::last_write_time(other, fs::file_time_type::clock::now() - std::chrono::minutes(125));
  const std::string age = "125 minutes";
#endif
  const std::string named = "tessil-cli: \"" + other.string() +
                            "\" is a study under way or left by process 42 on node-17, last changed " + age +
                            " ago; left alone (--remove-partials removes it once no run writes it).\n";
  const Outcome merged = Cli({"merge", (f.Root / "shared").string(), "-o", "-", "--allow-missing"});
  EXPECT_EQ(merged.Status, ExitOk);
  EXPECT_NE(merged.Err.find(named), std::string::npos) << merged.Err;
  EXPECT_FALSE(fs::exists(ended)) << "this machine's ended run leaves nothing";
  const std::string resumed = f.Sweep("shared", {"--shard", "1/2"});
  EXPECT_NE(resumed.find(named), std::string::npos) << resumed;
  EXPECT_TRUE(fs::exists(other));
  f.Sweep("shared", {"--remove-partials"});
  EXPECT_FALSE(fs::exists(other));
  EXPECT_EQ(f.Entries("shared").size(), 6u);
}

TEST(Sweep, PlanFilesAreBoundedAndTheirReadingAnswersCtrlC) {
  SweepFolders f;
  const fs::path large = f.Root / "large.toml";
  std::ofstream(large, std::ios::binary) << PlanText;
  fs::resize_file(large, MostPlanBytes + 1);
  struct Case {
    fs::path Plan;
    std::string Refusal;
  };
  std::vector<Case> cases = {
      {large, "cannot read \"" + large.string() +
                  "\": it is 17 MiB; a plan is read up to 16 MiB (16777216 bytes); split the plan"},
      {f.Root, "cannot read \"" + f.Root.string() + "\": it is a folder, not a file"},
  };
#ifndef _WIN32
  const fs::path fifo = f.Root / "fifo.toml";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  cases.push_back({fifo, "cannot read \"" + fifo.string() + "\": it is not a regular file (a pipe or a device)"});
  cases.push_back({"/dev/zero", "cannot read \"/dev/zero\": it is not a regular file (a pipe or a device)"});
#endif
  for (const Case& c : cases) {
    const Outcome o = Cli({"sweep", c.Plan.string(), "--list"});
    EXPECT_EQ(o.Status, ExitRefused) << c.Plan;
    EXPECT_NE(o.Err.find(c.Refusal), std::string::npos) << o.Err;
  }
  std::atomic<bool> flag{true};
  SteadyClock clock;
  const Outcome stopped = Cli({"sweep", f.Plan.string(), "-o", (f.Root / "none").string()}, {}, &clock, &flag);
  EXPECT_EQ(stopped.Status, ExitCancelled);
  EXPECT_NE(stopped.Err.find("reading the plan was interrupted; nothing was run."), std::string::npos);
  EXPECT_FALSE(fs::exists(f.Root / "none"));
  EXPECT_THROW(ParseSweepPlan(PlanText, "plan.toml", &flag), SweepPlanInterrupted);
}

#ifndef _WIN32
TEST(Sweep, PrepareProvesThatStudiesCanBeWritten) {
  SweepFolders f;
  const fs::path folder = f.Root / "unwritable";
  fs::create_directories(folder);
  // /proc takes no new file, even from root.
  fs::create_directory_symlink("/proc", folder / "studies");
  const Outcome o = Cli({"sweep", f.Plan.string(), "-o", folder.string(), "--yes", "--prepare"});
  EXPECT_NE(o.Status, ExitOk);
  EXPECT_NE(o.Err.find("cannot write in \"" + (folder / "studies").string() + "\""), std::string::npos) << o.Err;
  EXPECT_EQ(o.Err.find("is ready"), std::string::npos);
}
#endif

TEST(Sweep, MergedRowsFollowThePlansOrder) {
  SweepFolders f;
  std::vector<std::string> planOrder;
  for (const SweepStudy& study : f.Parsed.Studies) planOrder.push_back(study.Id);
  ASSERT_FALSE(std::is_sorted(planOrder.begin(), planOrder.end())) << "the ids alone would give the order";
  for (const char* shard : {"2/3", "0/3", "1/3"}) f.Sweep("out", {"--shard", shard});
  const Outcome o = Cli({"merge", (f.Root / "out").string(), "-o", "-"});
  ASSERT_EQ(o.Status, ExitOk) << o.Err;
  std::istringstream lines(o.Out);
  std::string line;
  std::getline(lines, line);
  std::vector<std::string> merged;
  while (std::getline(lines, line)) merged.push_back(line.substr(0, line.find('\t')));
  EXPECT_EQ(merged, planOrder);

  // The summary chart is titled by the plan's title, or by what it varies.
  const fs::path chart = f.Root / "chart.svg";
  ASSERT_EQ(Cli({"merge", (f.Root / "out").string(), "-o", "-", "--plot", chart.string()}).Status, ExitOk);
  EXPECT_NE(Slurp(chart).find("Tessil sweep over rows and column-constraint (plan " + f.Parsed.Hash + ")"),
            std::string::npos);
  std::ofstream(f.Plan, std::ios::binary) << "title = \"Size &amp; margins\"\n" << PlanText;
  f.Sweep("titled");
  ASSERT_EQ(Cli({"merge", (f.Root / "titled").string(), "-o", "-", "--plot", chart.string()}).Status, ExitOk);
  EXPECT_NE(Slurp(chart).find("<title>Size &amp;amp; margins</title>"), std::string::npos);
}

}  // namespace
}  // namespace tessil::cli
