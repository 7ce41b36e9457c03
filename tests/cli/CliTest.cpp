#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "CommandLine.h"
#include "Errors.h"
#include "FileOutput.h"
#include "InProcessEcoSim.h"
#include "MatrixFile.h"
#include "ProgramFolder.h"
#include "Study.h"
#if TESSIL_WINDOWS_ECOSIM
#include "WindowsEcoSim.h"
#endif
#if TESSIL_PNG_PICTURES
#include "PngPicture.h"
#endif

namespace tessil::cli {
namespace {

struct Outcome {
  int Status;
  std::string Out;
  std::string Err;
};

class FrozenClock final : public Clock {
 public:
  double SecondsSinceMidnight() override { return 0.0; }
};

// `ecosimFolder`: the program folder of an EcoSim driven through its
// windows; without it, or in a build without Qt, `--ecosim windows` is not
// available.
Outcome Cli(std::vector<std::string> args, bool interrupted = false,
            [[maybe_unused]] std::optional<std::filesystem::path> ecosimFolder = std::nullopt) {
  args.insert(args.begin(), "tessil-cli");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  std::atomic<bool> flag{interrupted};
  FrozenClock clock;
  Environment env{out, err, &flag, false, &clock};
#if TESSIL_WINDOWS_ECOSIM
  std::optional<WindowsEcoSim> windows;
  if (ecosimFolder) env.WindowsEcoSim = windows.emplace(*ecosimFolder, err).Factory();
#endif
#if TESSIL_PNG_PICTURES
  env.RenderPng = RenderChartAsPng;
#endif
  const int status = RunCommandLine(static_cast<int>(argv.size()), argv.data(), env);
  return {status, out.str(), err.str()};
}

// The command with standard output going to `out` and `--ecosim windows`
// made by `windows`.
Outcome CliTo(std::vector<std::string> args, std::ostream& out, StudyAutomationFactory windows = {}) {
  args.insert(args.begin(), "tessil-cli");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream err;
  FrozenClock clock;
  Environment env{out, err, nullptr, false, &clock, std::move(windows)};
  const int status = RunCommandLine(static_cast<int>(argv.size()), argv.data(), env);
  return {status, "", err.str()};
}

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A folder of its own for a test, removed afterwards.
struct Scratch {
  explicit Scratch(const char* name) : Path(std::filesystem::temp_directory_path() / name) {
    std::filesystem::remove_all(Path);
    std::filesystem::create_directories(Path);
  }
  ~Scratch() {
    std::error_code ignored;
    std::filesystem::permissions(Path, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(Path, ignored);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Path)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::filesystem::path Path;
};

#ifndef _WIN32
// While it lives, no file this process writes may grow past `bytes`: a write
// past it fails as on a full disk, which works for root too.
struct FileSizeLimit {
  explicit FileSizeLimit(std::uint64_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved);
    previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = static_cast<rlim_t>(bytes);
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
  }
  rlimit saved{};
  void (*previous)(int) = nullptr;
};
#endif

// A stream buffer whose every write fails.
class BrokenOutput final : public std::streambuf {
 protected:
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
  int_type overflow(int_type) override { return traits_type::eof(); }
};

// A small study, fast enough for the sanitizer build.
std::vector<std::string> Small(std::vector<std::string> more = {}) {
  std::vector<std::string> args = {"run",
                                   "--rows",
                                   "6",
                                   "--cols",
                                   "5",
                                   "--iterations",
                                   "12",
                                   "--yes",
                                   "--ecosim-iterations",
                                   "40",
                                   "--assume-sites-equivalent"};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

TEST(CommandLine, RefusesWhatTheWindowsRefuseWithTheirMessages) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"run", "--rows", "1"}, "Error 05: Matrix must have at least 2 rows."},
      {{"run", "--rows", "abc"}, "Error 05: Matrix must have at least 2 rows."},
      {{"run", "--cols", "1.4"}, "Error 04: Matrix must have at least 2 columns."},
      {{"run", "--ecosim-iterations", "50001"}, "Error 06: Number of iterations cannot exceed 50000."},
      {{"run", "--ecosim-iterations", "0.5"}, "Error 01: At least 1 iteration required."},
      {{"run", "--ecosim-seed", "-1"}, "Error 08: Random seed must be nonnegative."},
      {{"run", "--iterations", "abc"}, "Error 07: Number of iterations must be an integer greater than 0."},
      {{"run", "--iterations", "99"},
       "Warning: Simulating with fewer than 100 iterations may yield unreliable results. Continue? (Error 09)"},
      {{"run", "--seed", "-1"}, "Random seed must be an integer greater than 0"},
      {{"run", "--assume-interaction-level", "50"}, "\"No Interactions Between Species\""},
      {{"run", "--hypothesis", "sites-equivalent", "--assume-sites-equivalent"}, "restates the null hypothesis"},
      {{"run", "--hypothesis", "species-equivalent", "--assume-species-equivalent"}, "restates the null hypothesis"},
      {{"run", "--index", "Jaccard"}, "is not a co-occurrence index"},
      {{"test", "/nonexistent/matrix.csv"}, "cannot open"},
  };
  for (const Case& c : cases) {
    const Outcome o = Cli(c.args);
    EXPECT_EQ(o.Status, ExitRefused) << c.args[1];
    EXPECT_NE(o.Err.find(c.message), std::string::npos) << o.Err;
    EXPECT_EQ(o.Out, "");
  }
}

TEST(CommandLine, TheSameStudyGivesTheSameBytesOnAnyNumberOfThreads) {
  const Outcome one = Cli(Small({"--threads", "1"}));
  ASSERT_EQ(one.Status, ExitOk) << one.Err;
  const Outcome again = Cli(Small({"--threads", "1"}));
  const Outcome two = Cli(Small({"--threads", "2"}));
  const Outcome three = Cli(Small({"--threads", "3"}));
  EXPECT_EQ(again.Out, one.Out);
  EXPECT_EQ(two.Out, one.Out);
  EXPECT_EQ(three.Out, one.Out);
  EXPECT_EQ(one.Out.rfind("TYPE I ERROR RATES:", 0), 0u);
  EXPECT_TRUE(one.Out.ends_with("\r\n*Defined in Tessil Help."));
  // Sites assumed equivalent: scenarios 1, 2, 3, 6, 7 at three levels.
  EXPECT_NE(one.Out.find("(3,7)\t\tFalse"), std::string::npos);
  EXPECT_EQ(one.Out.find("(1,4)"), std::string::npos);
  EXPECT_NE(one.Out.find("Matrix dimensions: 6 rows (species) x 5 columns (sites)"), std::string::npos);
}

#if TESSIL_WINDOWS_ECOSIM
TEST(CommandLine, ThroughEcoSimsWindowsTheStudyGivesTheSameBytes) {
  // The stand-in EcoSim installed beside the test program by the build.
  const std::vector<std::string> options = {"--index", "v-ratio", "--empty-sites", "include"};
  const Outcome windows =
      Cli(Small({"--ecosim", "windows", "--index", "v-ratio", "--empty-sites", "include"}), false, ProgramFolder());
  ASSERT_EQ(windows.Status, ExitOk) << windows.Err;
  EXPECT_EQ(windows.Err, "");
  EXPECT_EQ(windows.Out, Cli(Small(options)).Out);
  EXPECT_TRUE(std::filesystem::exists(ProgramFolder() / "EcoSim" / "EcoSim700.exe"));
}

TEST(CommandLine, WithoutEcoSimsProgramFileTheRunEndsWithError02) {
  const std::filesystem::path empty = std::filesystem::temp_directory_path() / "tessil-cli-no-ecosim";
  std::filesystem::create_directories(empty);
  const Outcome o = Cli(Small({"--ecosim", "windows"}), false, empty);
  EXPECT_EQ(o.Status, ExitFailed);
  // The second line names where Tessil looked.
  EXPECT_EQ(o.Err, "tessil-cli: Error 02: EcoSim700.exe not found.\ntessil-cli: Tessil looked for it at " +
                       (empty / "EcoSim" / "EcoSim700.exe").string() + "\n");
  EXPECT_EQ(o.Out, "");
  std::filesystem::remove_all(empty);
}
#endif

TEST(CommandLine, TheProgramFolderHoldsTheRunningProgram) {
  // Tests run from a folder of their own; the programs are built into bin/.
  const std::filesystem::path folder = ProgramFolder();
#ifdef _WIN32
  EXPECT_TRUE(std::filesystem::exists(folder / "cli_tests.exe")) << folder;
#else
  EXPECT_TRUE(std::filesystem::exists(folder / "cli_tests")) << folder;
#endif
}

TEST(CommandLine, WithoutAWindowsEcoSimItsChoiceIsRefused) {
  const Outcome unavailable = Cli(Small({"--ecosim", "windows"}));
  EXPECT_EQ(unavailable.Status, ExitRefused);
  EXPECT_NE(unavailable.Err.find("not available"), std::string::npos);
}

TEST(CommandLine, ChangedOptionsAreSummarisedAsTheOptionsDialogWritesThem) {
  const Outcome o = Cli(Small({"--index", "v-ratio", "--empty-sites", "include", "--column-constraint", "fixed"}));
  ASSERT_EQ(o.Status, ExitOk) << o.Err;
  EXPECT_NE(o.Out.find("HYPOTHESIS TEST\r\n--------------------------------\r\n"
                       "Empty Sites: Include\r\n"
                       "Fixed-Fixed Randomization Algorithm: Sequential Swap\r\n"
                       "Degenerate Matrices: Retain\r\n"
                       "Column Constraints: Fixed Sum\r\n"
                       "Row Constraints: Fixed Sum\r\n"
                       "Co-occurrence Index: V-ratio\r\n"
                       "Number of iterations: 40\r\n"
                       "Random Number Seed: 0\r\n\r\n\r\nCONDITIONS"),
            std::string::npos)
      << o.Out;
}

TEST(CommandLine, InterruptedRunsPrintNoReport) {
  const Outcome o = Cli(Small(), true);
  EXPECT_EQ(o.Status, ExitCancelled);
  EXPECT_EQ(o.Out, "");
  EXPECT_NE(o.Err.find("cancelled"), std::string::npos);
}

TEST(CommandLine, WritesTheReportAndThePowerTableToFiles) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tessil-cli-test";
  std::filesystem::create_directories(dir);
  const std::string report = (dir / "report.txt").string();
  const std::string tsv = (dir / "power.tsv").string();
  const std::string json = (dir / "power.json").string();
  const Outcome o = Cli(Small({"-o", report, "--tsv", tsv, "--json", json}));
  ASSERT_EQ(o.Status, ExitOk) << o.Err;
  EXPECT_EQ(o.Out, "");
  auto slurp = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  };
  EXPECT_EQ(slurp(report), Cli(Small()).Out);
  const std::string table = slurp(tsv);
  EXPECT_EQ(
      table.rfind("Level\tScenario\tInNull\tPower\tMatrices\tRejected\tNotTested\tCILower\tCIUpper\n1\t1\tTrue\t", 0),
      0u)
      << table;
  const nlohmann::json doc = nlohmann::json::parse(slurp(json));
  ASSERT_EQ(doc["arguments"].size(), 15u);
  EXPECT_EQ(doc["arguments"][1]["level"], 2);
  EXPECT_EQ(doc["arguments"][1]["in_null"], false);
  EXPECT_EQ(doc["test"]["index"], "C-score");
  std::filesystem::remove_all(dir);

  const Outcome unwritable = Cli(Small({"-o", "/nonexistent-folder/report.txt"}));
  EXPECT_EQ(unwritable.Status, ExitFailed);
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(CommandLine, PlotsThePowerFunctionAndTheNullDistributionBesideUnchangedOutputs) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tessil-cli-plot-test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string matrix = (dir / "m.csv").string();
  {
    std::ofstream file(matrix);
    file << "1,1,1,0,0,0\n1,1,0,0,0,0\n0,0,0,1,1,1\n0,0,0,1,1,0\n";
  }
  // A picture format it cannot write is refused before any work.
  for (const std::vector<std::string>& args :
       {Small({"--plot", (dir / "chart.jpg").string()}), {"test", matrix, "--plot", (dir / "chart.gif").string()}}) {
    const Outcome refused = Cli(args);
    EXPECT_EQ(refused.Status, ExitRefused);
    EXPECT_EQ(refused.Out, "");
    EXPECT_NE(refused.Err.find("give a file name ending in .svg or .png"), std::string::npos) << refused.Err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "chart.jpg"));

  const std::string svg = (dir / "power.svg").string();
  const std::string tsv = (dir / "power.tsv").string();
  const Outcome o = Cli(Small({"--plot", svg, "--tsv", tsv}));
  ASSERT_EQ(o.Status, ExitOk) << o.Err;
  EXPECT_EQ(o.Out, Cli(Small()).Out);  // the report as without a picture
  const std::string chart = Slurp(svg);
  EXPECT_EQ(chart.rfind("<?xml", 0), 0u);
  EXPECT_EQ(chart.substr(chart.size() - 7), "</svg>\n");
  EXPECT_EQ(Count(chart, "class=\"mark "), 15u);
  EXPECT_EQ(Count(chart, "class=\"interval\""), 15u);
  // Each TSV row: 12 matrices, the rejections behind its rate, an interval
  // around the rate.
  std::istringstream rows(Slurp(tsv));
  std::string line;
  std::getline(rows, line);
  int seen = 0;
  while (std::getline(rows, line)) {
    std::istringstream fields(line);
    std::string level, scenario, inNull;
    double power = 0, lower = 0, upper = 0;
    int matrices = 0, rejected = 0, notTested = 0;
    fields >> level >> scenario >> inNull >> power >> matrices >> rejected >> notTested >> lower >> upper;
    ASSERT_TRUE(fields) << line;
    EXPECT_EQ(matrices, 12);
    EXPECT_NEAR(power, rejected / 12.0, 0.0005) << line;
    EXPECT_LE(notTested, matrices - rejected) << line;
    EXPECT_LE(lower, power);
    EXPECT_GE(upper, power);
    EXPECT_LT(lower, upper);
    ++seen;
  }
  EXPECT_EQ(seen, 15);

  const std::string histogram = (dir / "null.svg").string();
  const Outcome t =
      Cli({"test", matrix, "--column-constraint", "fixed", "--ecosim-iterations", "200", "--plot", histogram});
  ASSERT_EQ(t.Status, ExitOk) << t.Err;
  const std::string null = Slurp(histogram);
  EXPECT_EQ(Count(null, "class=\"observed\""), 1u);
  std::size_t total = 0;
  for (std::size_t at = null.find("data-count=\""); at != std::string::npos; at = null.find("data-count=\"", at + 1)) {
    total += std::stoul(null.substr(at + 12));
  }
  EXPECT_EQ(total, 200u);
  // The p-values the test printed are the legend's.
  const std::size_t p = t.Out.find("p(observed >= expected) = ");
  ASSERT_NE(p, std::string::npos);
  const std::string upper = t.Out.substr(p + 26, t.Out.find('\n', p) - p - 26);
  EXPECT_NE(null.find("p(observed &gt;= expected) = " + upper), std::string::npos) << upper;

  const std::string png = (dir / "power.png").string();
  const Outcome drawn = Cli(Small({"--plot", png}));
#if TESSIL_PNG_PICTURES
  ASSERT_EQ(drawn.Status, ExitOk) << drawn.Err;
  // A PNG file whose header gives twice the chart's width.
  std::string header;
  {
    std::ifstream picture(png, std::ios::binary);
    header.assign(std::istreambuf_iterator<char>(picture), {});
  }
  ASSERT_GT(header.size(), 24u);
  EXPECT_EQ(header.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(header.substr(16, 4), std::string("\0\0\x07\x80", 4));  // 1920
#else
  EXPECT_EQ(drawn.Status, ExitRefused);
  EXPECT_NE(drawn.Err.find("built without Qt"), std::string::npos) << drawn.Err;
  EXPECT_FALSE(std::filesystem::exists(png));
#endif
  std::filesystem::remove_all(dir);
}

TEST(CommandLine, TestsAUsersOwnMatrix) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "tessil-cli-matrix.csv";
  {
    std::ofstream file(path);
    file << "species,a,b,c,d,e,f\n"
            "s1,1,1,1,0,0,0\n"
            "s2,1,1,0,0,0,0\n"
            "s3,0,0,0,1,1,1\n"
            "s4,0,0,0,1,1,0\n";
  }
  const Outcome o = Cli({"test", path.string(), "--column-constraint", "fixed", "--ecosim-iterations", "200"});
  ASSERT_EQ(o.Status, ExitOk) << o.Err;
  EXPECT_NE(o.Out.find("p(observed <= expected) = "), std::string::npos) << o.Out;
  EXPECT_NE(o.Out.find("p(observed >= expected) = "), std::string::npos);
  EXPECT_EQ(o.Out.find('\r'), std::string::npos);

  {
    std::ofstream file(path);
    file << "1 0\n0 1\n1 2\n";
  }
  const Outcome bad = Cli({"test", path.string()});
  EXPECT_EQ(bad.Status, ExitRefused);
  EXPECT_NE(bad.Err.find("line 3, column 2"), std::string::npos) << bad.Err;
  std::filesystem::remove(path);
}

TEST(CommandLine, HelpTeachesTheTool) {
  const Outcome top = Cli({"--help"});
  EXPECT_EQ(top.Status, ExitOk);
  EXPECT_NE(top.Out.find("Type I error"), std::string::npos);
  const Outcome run = Cli({"run", "--help"});
  for (const char* option :
       {"--hypothesis", "--assume-interaction-level", "--rows", "--cols", "--row-constraint", "--column-constraint",
        "--index", "--algorithm", "--degenerate", "--empty-sites", "--ecosim-iterations", "--ecosim-seed",
        "--iterations", "--seed", "--threads", "--ecosim", "--tsv", "--json"}) {
    EXPECT_NE(run.Out.find(option), std::string::npos) << option;
  }
}

TEST(CommandLine, RefusesOptionValuesThatCannotRunBeforeTheRunStarts) {
  const Scratch dir("tessil-cli-refused");
  const std::string report = (dir.Path / "a.txt").string();
  const std::string sameReport = (dir.Path / "." / "a.txt").string();
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"--threads", "abc"}, "--threads: \"abc\" is not a number; give a whole number of threads from 1 to 1024"},
      {{"--threads", "0"}, "--threads: 0 is out of range; give a whole number of threads from 1 to 1024"},
      {{"-o", ""}, "--output: an empty value is not a file name"},
      {{"--tsv", ""}, "--tsv: an empty value is not a file name"},
      {{"--json", ""}, "--json: an empty value is not a file name"},
      {{"--seed", ""}, "--seed: an empty value is not a seed"},
      {{"--rows", "2147483647"}, "A matrix of 2147483647 rows x 6 columns is too large: it has 12884901882 cells"},
      {{"--cols", "2147483647"}, "A matrix of 5 rows x 2147483647 columns is too large"},
      {{"--rows", "100000", "--cols", "100000"}, "cells (rows x columns, such as "},
      // The matrices fit, but the swap chain's table of species pairs would not.
      {{"--rows", "100000", "--cols", "2", "--column-constraint", "Fixed Sum"},
       "A test of a matrix of 100000 species and 2 sites with these options needs about "},
      // Sites assumed equivalent: 15 arguments.
      {{"--iterations", "2147483647"},
       "The number of iterations is too large: 15 arguments x 2147483647 matrices are more than one run can count "
       "(2147483647); this study takes at most 143165576 matrices per argument."},
      {{"-o", report, "--json", sameReport}, "-o and --json name the same file"},
      {{"--tsv", report, "-o", sameReport}, "-o and --tsv name the same file"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"run",
                                     "--rows",
                                     "5",
                                     "--cols",
                                     "6",
                                     "--iterations",
                                     "12",
                                     "--yes",
                                     "--assume-sites-equivalent",
                                     "--ecosim-iterations",
                                     "5"};
    // The case's values replace those of the small study.
    for (std::size_t k = 0; k + 1 < args.size();) {
      const bool replaced = std::find(c.args.begin(), c.args.end(), args[k]) != c.args.end();
      if (replaced) args.erase(args.begin() + static_cast<long>(k), args.begin() + static_cast<long>(k) + 2);
      k += replaced ? 0 : 1;
    }
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome o = Cli(args);
    EXPECT_EQ(o.Status, ExitRefused) << c.message << "\n" << o.Err;
    EXPECT_NE(o.Err.find(c.message), std::string::npos) << o.Err;
    EXPECT_EQ(o.Out, "");
  }
  EXPECT_EQ(dir.Names(), std::vector<std::string>{});
}

TEST(CommandLine, AFailedWriteKeepsTheOldFileLeavesNothingBehindAndSaysWhy) {
  const Scratch dir("tessil-cli-failed-write");
  std::filesystem::create_directories(dir.Path / "folder");
  std::ofstream(dir.Path / "old.txt") << "the old report";
  const std::string old = (dir.Path / "old.txt").string();
  struct Case {
    std::string option, target;
    std::uint64_t fileSizeLimit;  // 0: none
    const char* reason;
  };
  const Case cases[] = {
      // A write that fails part-way, as on a full disk, leaves the old file.
      {"-o", old, 1024, "the file would pass the largest size allowed"},
      {"--json", old, 100, "the file would pass the largest size allowed"},
      {"--tsv", old, 10, "the file would pass the largest size allowed"},
      {"-o", (dir.Path / "missing" / "r.txt").string(), 0, "the folder does not exist"},
      {"--json", (dir.Path / "folder").string(), 0, "it is a folder, not a file"},
      {"--tsv", (dir.Path / "old.txt" / "r.tsv").string(), 0, "a part of the path is a file, not a folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option + " " + c.target);
    Outcome o;
#ifdef _WIN32
    // Windows has no limit on one process's file size to make a write fail
    // part-way; those cases run on Linux only.
    if (c.fileSizeLimit != 0) continue;
    o = Cli(Small({c.option, c.target}));
#else
    {
      std::optional<FileSizeLimit> limit;
      if (c.fileSizeLimit != 0) limit.emplace(c.fileSizeLimit);
      o = Cli(Small({c.option, c.target}));
    }
#endif
    EXPECT_EQ(o.Status, ExitFailed);
    EXPECT_NE(o.Err.find("tessil-cli: cannot write \"" + c.target + "\": " + c.reason), std::string::npos) << o.Err;
    EXPECT_EQ(Slurp(old), "the old report");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"folder", "old.txt"}));
  }

#ifndef _WIN32
  // A folder nobody may write to: root may, so there the write succeeds.
  // (Windows keeps only a read-only flag, which does not stop writes into a
  // folder.)
  std::filesystem::create_directories(dir.Path / "locked");
  std::filesystem::permissions(dir.Path / "locked",
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  const Outcome locked = Cli(Small({"-o", (dir.Path / "locked" / "r.txt").string()}));
  if (geteuid() != 0) {
    EXPECT_EQ(locked.Status, ExitFailed);
    EXPECT_NE(locked.Err.find("permission denied"), std::string::npos) << locked.Err;
  }
#endif
}

TEST(CommandLine, ReplacesAnExistingFileWholeAndKeepsItsPermissions) {
  const Scratch dir("tessil-cli-replace");
  const std::filesystem::path json = dir.Path / "power.json";
  std::ofstream(json) << std::string(100000, 'x');
#ifdef _WIN32
  // Renaming over an existing file is the step Windows refuses by default.
  // (Links need a privilege there, and permissions are a read-only flag.)
  const Outcome replaced = Cli(Small({"--json", json.string()}));
  ASSERT_EQ(replaced.Status, ExitOk) << replaced.Err;
  EXPECT_EQ(Slurp(json).rfind("{\n", 0), 0u);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"power.json"});
  GTEST_SKIP() << "links and POSIX permissions are not kept on Windows";
#endif
  std::filesystem::permissions(json, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  std::filesystem::create_symlink("power.json", dir.Path / "link.json");
  const Outcome o = Cli(Small({"--json", (dir.Path / "link.json").string()}));
  ASSERT_EQ(o.Status, ExitOk) << o.Err;
  EXPECT_EQ(Slurp(json).rfind("{\n", 0), 0u);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.Path / "link.json"));
  EXPECT_EQ(std::filesystem::status(json).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"link.json", "power.json"}));
}

TEST(CommandLine, OutputThatDoesNotReachStandardOutputIsAnErrorForBothCommands) {
  const Scratch dir("tessil-cli-stdout");
  const std::string matrix = (dir.Path / "m.csv").string();
  std::ofstream(matrix) << "1,0,1,1\n0,1,1,0\n1,1,0,0\n";
  for (const std::vector<std::string>& args :
       {Small(), std::vector<std::string>{"test", matrix, "--header", "no", "--ecosim-iterations", "20"}}) {
    SCOPED_TRACE(args[0]);
    BrokenOutput broken;
    std::ostream brokenStream(&broken);
    const Outcome toBroken = CliTo(args, brokenStream);
    EXPECT_EQ(toBroken.Status, ExitFailed);
    EXPECT_EQ(toBroken.Err, "tessil-cli: cannot write to standard output\n");

#ifdef _WIN32
    continue;  // no device that is always full
#endif
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    CStreamOutput fullBuffer(full);
    std::ostream fullStream(&fullBuffer);
    const Outcome toFull = CliTo(args, fullStream);
    std::fclose(full);
    EXPECT_EQ(toFull.Status, ExitFailed);
    EXPECT_EQ(toFull.Err, "tessil-cli: cannot write to standard output: the disk is full\n");
  }
  // With the report lost, its tables are not written either.
  BrokenOutput broken;
  std::ostream brokenStream(&broken);
  CliTo(Small({"--json", (dir.Path / "power.json").string()}), brokenStream);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"m.csv"});
}

TEST(CommandLine, AnUnexpectedFailureEndsWithAMessageAndAStatusNeverAnAbort) {
  struct Case {
    std::function<void()> fail;
    const char* message;
  };
  const Case cases[] = {
      {[] { throw std::bad_alloc(); },
       "tessil-cli: there was not enough memory to finish; no results were produced.\n"},
      {[] { throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again), "thread"); },
       "tessil-cli: an unexpected error occurred: thread: Resource temporarily unavailable\nNo results were "
       "produced.\n"},
      {[] { throw 7; }, "tessil-cli: an unexpected error occurred.\nNo results were produced.\n"},
  };
  for (const Case& c : cases) {
    std::ostringstream out;
    const Outcome o =
        CliTo(Small({"--ecosim", "windows"}), out,
              [&c](RunSettings&, const RunInputs&, std::function<bool()>) -> std::unique_ptr<EcoSimAutomation> {
                c.fail();
                return nullptr;
              });
    EXPECT_EQ(o.Status, ExitFailed);
    EXPECT_EQ(o.Err, c.message);
    EXPECT_EQ(out.str(), "");
  }
}

// The in-process EcoSim, whose close fails as a hung or misbehaving EcoSim's
// does; it records whether the report was out before the close began.
class UnclosableEcoSim final : public EcoSimAutomation {
 public:
  UnclosableEcoSim(RunSettings& settings, const RunInputs& inputs, std::function<bool()> written, bool& writtenFirst)
      : inner_(settings, inputs), written_(std::move(written)), writtenFirst_(writtenFirst) {}
  void PrepareEcoSim() override { inner_.PrepareEcoSim(); }
  void EnterMatrix(const PresenceAbsenceMatrix& m) override { inner_.EnterMatrix(m); }
  void OpenCooccurrenceOptions() override { inner_.OpenCooccurrenceOptions(); }
  RunOutcome RunCooccurrenceTest(std::int16_t toggleBeep) override { return inner_.RunCooccurrenceTest(toggleBeep); }
  double ReadPValue(std::int16_t upperTail) override { return inner_.ReadPValue(upperTail); }
  void CloseCooccurrenceResults() override { inner_.CloseCooccurrenceResults(); }
  void PlaceEcoSimWindow(std::string_view name, std::int32_t mode) override { inner_.PlaceEcoSimWindow(name, mode); }
  void ReleaseEcoSim() override {
    writtenFirst_ = written_();
    inner_.ReleaseEcoSim();
    throw EcoSimNotClosed("EcoSim did not close within 60 seconds.");
  }

 private:
  InProcessEcoSim inner_;
  std::function<bool()> written_;
  bool& writtenFirst_;
};

TEST(CommandLine, TheResultsAreWrittenBeforeEcoSimIsClosedAndAFailedCloseIsSaidAfterThem) {
  const Scratch dir("tessil-cli-unclosable");
  const std::string report = (dir.Path / "report.txt").string();
  const std::string tsv = (dir.Path / "power.tsv").string();
  const Outcome plain = Cli(Small({"-o", report, "--tsv", tsv}));
  ASSERT_EQ(plain.Status, ExitOk) << plain.Err;
  const std::string expectedReport = Slurp(report);
  const std::string expectedTsv = Slurp(tsv);
  std::filesystem::remove(report);
  std::filesystem::remove(tsv);

  bool writtenFirst = false;
  std::ostringstream out;
  const Outcome o =
      CliTo(Small({"--ecosim", "windows", "-o", report, "--tsv", tsv}), out,
            [&](RunSettings& s, const RunInputs& in, std::function<bool()>) {
              return std::make_unique<UnclosableEcoSim>(
                  s, in, [&] { return std::filesystem::exists(report) && std::filesystem::exists(tsv); }, writtenFirst);
            });
  EXPECT_TRUE(writtenFirst) << "the report and its table are written before EcoSim is closed";
  EXPECT_EQ(o.Status, ExitEcoSimNotClosed);
  EXPECT_EQ(Slurp(report), expectedReport);
  EXPECT_EQ(Slurp(tsv), expectedTsv);
  EXPECT_EQ(o.Err,
            "tessil-cli: EcoSim could not be closed: EcoSim did not close within 60 seconds. Tessil ended it. The "
            "results are complete and have been written.\n");
}

TEST(CommandLine, TheJsonCarriesTheCountsThatWereRun) {
  const Scratch dir("tessil-cli-json-counts");
  const std::string json = (dir.Path / "power.json").string();
  // 0.4 matrices round to none, which runs the default 100; EcoSim rounds
  // 2.5 null matrices half to even: 2.
  const Outcome o =
      Cli({"run", "--rows", "5", "--cols", "4", "--iterations", "0.4", "--yes", "--assume-sites-equivalent",
           "--assume-species-equivalent", "--ecosim-iterations", "2.5", "--json", json});
  ASSERT_EQ(o.Status, ExitOk) << o.Err;
  const nlohmann::json doc = nlohmann::json::parse(Slurp(json));
  EXPECT_EQ(doc["matrices_per_argument"], 100);
  EXPECT_EQ(doc["test"]["iterations"], "2");
  // The report's summary keeps the text as the options dialog writes it.
  EXPECT_NE(o.Out.find("Number of iterations: 2.5\r\n"), std::string::npos) << o.Out;
}

struct ParseCase {
  const char* text;
  int rows, cols;
  std::vector<std::string> species;
};

TEST(MatrixFile, ReadsCsvAndBlankSeparatedMatricesWithOptionalNames) {
  const ParseCase cases[] = {
      {"1,0,1\n0,1,1\n", 2, 3, {}},
      {"1 0 1\n0\t1  1\n", 2, 3, {}},
      {"site1,site2\n1,0\n0,1\n1,1\n", 3, 2, {}},
      {",a,b,c\nwren,1,0,1\nrobin,0,1,1\n", 2, 3, {"wren", "robin"}},
      {"a b c\nwren 1 0 1\r\nrobin 0 1 1\r\n", 2, 3, {"wren", "robin"}},
      {"# survey 2024\n\n1;0\n0;1\n\n", 2, 2, {}},
  };
  for (const ParseCase& c : cases) {
    const MatrixFile f = ParseMatrixText(c.text);
    EXPECT_EQ(f.Matrix.Rows(), c.rows) << c.text;
    EXPECT_EQ(f.Matrix.Cols(), c.cols) << c.text;
    EXPECT_EQ(f.SpeciesNames, c.species) << c.text;
  }
  const MatrixFile f = ParseMatrixText(",a,b,c\nwren,1,0,1\nrobin,0,1,1\n");
  EXPECT_TRUE(f.Matrix.Get(0, 0));
  EXPECT_FALSE(f.Matrix.Get(0, 1));
  EXPECT_TRUE(f.Matrix.Get(1, 2));
  EXPECT_EQ(f.SiteNames, (std::vector<std::string>{"a", "b", "c"}));
}

TEST(MatrixFile, FaultsNameTheirLineAndColumn) {
  struct Case {
    const char* text;
    int line, column;
  };
  for (const Case& c :
       {Case{"1,0,1\n0,2,1\n", 2, 2}, Case{"1,0,1\n0,1\n", 2, 3}, Case{"1,0\n0,1,1\n", 2, 3}, Case{"", 1, 1},
        Case{"a,b,c,d\n1,0\n", 1, 1}, Case{"1,0\n1,,0\n", 2, 2}, Case{"x,1,0\n1,0\n", 2, 1}, Case{"site\n", 1, 1}}) {
    try {
      ParseMatrixText(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const MatrixFileError& e) {
      EXPECT_EQ(e.Line(), c.line) << c.text << " -> " << e.what();
      EXPECT_EQ(e.Column(), c.column) << c.text << " -> " << e.what();
    }
  }
}

}  // namespace
}  // namespace tessil::cli
