// The matrix-file reader and `tessil-cli test`: the header rule, messages a
// user can act on, the reading limits, and Ctrl-C.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <process.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CommandLine.h"
#include "MatrixFile.h"

// A no-break space in UTF-8.
#define NBSP "\xC2\xA0"

namespace tessil::cli {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int Status;
  std::string Out;
  std::string Err;
};

Outcome TestCommand(std::vector<std::string> args, std::atomic<bool>& interrupted, std::ostream* err = nullptr) {
  args.insert(args.begin(), {"tessil-cli", "test"});
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, errText;
  Environment env{out, err != nullptr ? *err : errText, &interrupted};
  const int status = RunCommandLine(static_cast<int>(argv.size()), argv.data(), env);
  return {status, out.str(), errText.str()};
}

Outcome TestCommand(std::vector<std::string> args) {
  std::atomic<bool> never{false};
  return TestCommand(std::move(args), never);
}

// The test program's own scratch folder, removed when the program ends (each
// test runs in a program of its own, which would otherwise leave one behind).
struct ScratchFolder {
  fs::path Path = fs::temp_directory_path() / ("tessil-matrix-file-" + std::to_string(::getpid()));
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(Path, ignored);
  }
};

fs::path Folder() {
  static const ScratchFolder scratch;
  fs::create_directories(scratch.Path);
  return scratch.Path;
}

std::string WriteMatrix(const std::string& name, const std::string& bytes) {
  const fs::path path = Folder() / name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path.string();
}

// Where the reader put the fault, or {0, 0} when it read the file.
std::pair<int, int> FaultOf(const std::string& text, HeaderRule header = HeaderRule::Guess) {
  MatrixReadOptions options;
  options.Header = header;
  try {
    ParseMatrixText(text, options);
  } catch (const MatrixFileError& e) {
    return {e.Line(), e.Column()};
  }
  return {0, 0};
}

TEST(MatrixFile, AFirstLineWithABadCellIsDataAndItsFaultIsReported) {
  struct Case {
    std::string first;
    std::pair<int, int> fault;  // {0, 0}: read as the first of three species rows
  };
  const Case cases[] = {
      {"1,0,x", {1, 3}},
      {"2,0,1", {1, 1}},
      {"-1,0,1", {1, 1}},
      {"0.5,0,1", {1, 1}},
      {"NaN,0,1", {1, 1}},
      {"1,,0", {1, 2}},
      {"1,0,1,", {1, 4}},
      {"\"1\",0,x", {1, 3}},
      // A no-break space is a blank; a stray CR ends a line.
      {"1,0," NBSP "1", {0, 0}},
      {"1" NBSP "0" NBSP "1", {0, 0}},
      {"1,0,1\r\r", {0, 0}},
      {"1,0\r,1", {2, 1}},
  };
  for (const Case& c : cases) {
    const std::string text = c.first + "\n0,1,1\n1,1,0\n";
    EXPECT_EQ(FaultOf(text), c.fault) << Printable(c.first);
    if (c.fault.first == 0) {
      const MatrixFile f = ParseMatrixText(text);
      EXPECT_EQ(f.Matrix.Rows(), 3) << Printable(c.first);
      EXPECT_FALSE(f.HasHeader);
      EXPECT_TRUE(f.Matrix.Get(0, 0) && !f.Matrix.Get(0, 1) && f.Matrix.Get(0, 2)) << Printable(c.first);
    }
  }
  // Told outright, the first line is read as it is told to be.
  EXPECT_EQ(FaultOf("0,1\n1,0\n", HeaderRule::Present), std::pair(0, 0));
  MatrixReadOptions present;
  present.Header = HeaderRule::Present;
  EXPECT_EQ(ParseMatrixText("0,1\n1,0\n", present).SiteNames, (std::vector<std::string>{"0", "1"}));
  EXPECT_EQ(FaultOf("a,b,c\n1,0\n", HeaderRule::Absent), std::pair(1, 2));
}

TEST(MatrixFile, TheTestCommandSaysHowItReadTheFirstLine) {
  const std::string data = WriteMatrix("data.csv", "# field survey\n0,1\n1,0\n1,1\n");
  const std::string named = WriteMatrix("named.csv", "a,b\n1,0\n0,1\n1,1\n");
  const Outcome guessedData = TestCommand({data, "--ecosim-iterations", "5"});
  EXPECT_EQ(guessedData.Status, ExitOk) << guessedData.Err;
  EXPECT_EQ(guessedData.Err,
            "tessil-cli: line 2 was read as data, not a header (--header yes reads it as site names)\n");
  const Outcome guessedHeader = TestCommand({named, "--ecosim-iterations", "5"});
  EXPECT_EQ(guessedHeader.Err,
            "tessil-cli: line 1 was read as a header of site names (--header no reads it as data)\n");
  // Told, it says nothing, and the line of 0 and 1 names the sites.
  const Outcome told = TestCommand({data, "--header", "yes", "--ecosim-iterations", "5"});
  EXPECT_EQ(told.Err.find("was read as"), std::string::npos) << told.Err;
  EXPECT_NE(told.Out, guessedData.Out);
  const Outcome refused = TestCommand({named, "--header", "no"});
  EXPECT_EQ(refused.Status, ExitRefused);
  EXPECT_NE(refused.Err.find("named.csv, line 1, column 2: \"b\" is not 0 or 1"), std::string::npos) << refused.Err;
  EXPECT_EQ(TestCommand({data, "--header", "maybe"}).Status, ExitRefused);
}

TEST(MatrixFile, ReadsClassicMacLineEndsCsvQuotesAndNoBreakSpaces) {
  struct Case {
    std::string text;
    std::vector<std::string> species, sites;
  };
  const Case cases[] = {
      {"sp,a,b\rs1,1,0\rs2,0,1\r", {"s1", "s2"}, {"a", "b"}},
      {"species;a;b\r\n\"Carex, sp\";1;0\r\n\"Poa \"\"annua\"\"\" ; 0 ; \"1\"\n",
       {"Carex, sp", "Poa \"annua\""},
       {"a", "b"}},
      {"\"Carex sp\" 1 0\n\"\" 0 1\n", {}, {}},  // an empty quoted first field is an empty cell
      {"sp" NBSP "a" NBSP "b\ns1" NBSP "1" NBSP "0\n\"s" NBSP "2\",0,1\n", {"s1", "s" NBSP "2"}, {"a", "b"}},
  };
  for (const Case& c : cases) {
    if (c.species.empty()) {
      EXPECT_EQ(FaultOf(c.text), std::pair(2, 1)) << Printable(c.text);
      continue;
    }
    const MatrixFile f = ParseMatrixText(c.text);
    EXPECT_EQ(f.SpeciesNames, c.species) << Printable(c.text);
    EXPECT_EQ(f.SiteNames, c.sites) << Printable(c.text);
    EXPECT_TRUE(f.Matrix.Get(0, 0) && !f.Matrix.Get(0, 1) && !f.Matrix.Get(1, 0) && f.Matrix.Get(1, 1));
  }
}

TEST(MatrixFile, MessagesSayWhatIsWrongAndNeverEchoControlBytes) {
  const std::string folder = Folder().string();
  struct Case {
    std::string path;  // a name in the folder, written with `bytes` unless empty
    std::string bytes;
    std::string message;
  };
  const Case cases[] = {
      {"first.csv", "1.0,0,1\n0,1,1\n", "first.csv, line 1, column 1: \"1.0\" is not 0 or 1"},
      {"esc.csv", "1,0\n0,\x1B[31m\n", "esc.csv, line 2, column 2: the field holds the control character \\x1B"},
      {"nul-byte.csv", std::string("1,0\n0\0,1\n", 9),
       "nul-byte.csv, line 2: a NUL byte (\\0) at character 2: this is not a text file"},
      {"tab.csv", "1,0\n1,\"0\t\"\n", "tab.csv, line 2, column 2: \"0\\t\" is not 0 or 1"},
      {"c1.csv", "1,0\n1,0\xC2\x9B\n", "c1.csv, line 2, column 2: \"0\\u009B\" is not 0 or 1"},
      {"cr.csv", "1,\"0\r\",1\n", "cr.csv, line 1, column 2: a quote opens here and is not closed on this line"},
      {"latin1.csv", "1,0\n1,\xA0x\n", "latin1.csv, line 2, column 2: \"\\xA0x\" is not 0 or 1"},
      {"rows.csv", "1 0 1\n0 1\n", "rows.csv, line 2, column 3: expected 3 cells, found 2"},
      {"no\x1Bsuch.csv", "", "cannot open \"" + folder + "/no\\x1Bsuch.csv\": there is no such file"},
      {"", "", "\"" + folder + "/\" is a directory, not a matrix file"},
  };
  for (const Case& c : cases) {
    const std::string path = c.bytes.empty() ? folder + "/" + c.path : WriteMatrix(c.path, c.bytes);
    const Outcome o = TestCommand({path});
    EXPECT_EQ(o.Status, ExitRefused) << c.message;
    EXPECT_EQ(o.Out, "");
    EXPECT_NE(o.Err.find(c.message), std::string::npos) << o.Err;
    for (char b : o.Err) EXPECT_TRUE(b == '\n' || (static_cast<unsigned char>(b) >= 0x20 && b != 0x7F)) << o.Err;
  }
  EXPECT_EQ(CannotOpen("m.csv", EACCES), "cannot open \"m.csv\": permission denied");
  EXPECT_EQ(CannotOpen("m\r.csv", ENOENT), "cannot open \"m\\r.csv\": there is no such file");
#ifndef _WIN32             // Windows keeps no permission that stops reading
  if (::geteuid() != 0) {  // root reads any file
    const std::string locked = WriteMatrix("locked.csv", "1,0\n0,1\n");
    fs::permissions(locked, fs::perms::none);
    EXPECT_NE(TestCommand({locked}).Err.find("permission denied"), std::string::npos);
  }
#endif
}

TEST(MatrixFile, ReadingIsBoundedAndTheRefusalStatesTheBound) {
  MatrixReadOptions small;
  small.Limits.MaxBytes = 1024;
  small.Limits.MaxLineBytes = 64;
  small.Limits.MaxSpecies = 4;
  small.Limits.MaxSites = 5;
  auto fault = [&](const std::string& text) -> std::string {
    try {
      ParseMatrixText(text, small);
    } catch (const MatrixFileError& e) {
      return e.what();
    }
    return "read";
  };
  // Line 1021 ends at byte 1,024; line 1022 goes past it.
  const std::string rows = std::string(1020, '\n') + "1,0\n0,1\n";
  EXPECT_EQ(fault(rows),
            "line 1022: the file goes on past 1 KiB (1,024 bytes), the most tessil-cli reads as a matrix file");
  EXPECT_EQ(fault("1,0\n" + std::string(100, '1') + "\n"),
            "line 2: the line is longer than 64 bytes, the most a line of a matrix file may hold");
  EXPECT_EQ(fault("1,0\n0,1\n1,1\n0,0\n1,0\n"), "line 5: more than 4 species, the most a matrix may have");
  EXPECT_EQ(fault("1 0 1 0 1 0\n"), "line 1: more than 5 sites, the most a matrix may have");
  EXPECT_EQ(fault("1,0\n0,1\n1,1\n0,0\n"), "read");

#ifndef _WIN32
  // A device that never ends: refused at its first byte, not read until
  // memory runs out.
  const Outcome zero = TestCommand({"/dev/zero"});
  EXPECT_EQ(zero.Status, ExitRefused);
  EXPECT_EQ(zero.Err, "tessil-cli: /dev/zero, line 1: a NUL byte (\\0) at character 1: this is not a text file\n");
#endif
}

// Standard error that, when the test subcommand says how it read the file
// (just before the test starts), sets the interrupt flag as Ctrl-C would.
class InterruptWhenTheTestStarts : public std::stringbuf {
 public:
  explicit InterruptWhenTheTestStarts(std::atomic<bool>& flag) : flag_(flag) {}

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    if (std::string_view(s, static_cast<std::size_t>(n)).find("was read as") != std::string_view::npos) flag_ = true;
    return std::stringbuf::xsputn(s, n);
  }

 private:
  std::atomic<bool>& flag_;
};

TEST(MatrixFile, CtrlCEndsTheTestAtOnceWithNoResult) {
  std::string text;
  for (int i = 0; i < 60; ++i) {
    for (int k = 0; k < 60; ++k) text += (k > 0 ? "," : "") + std::string((i * 7 + k * 3) % 5 < 2 ? "1" : "0");
    text += "\n";
  }
  const std::string path = WriteMatrix("long.csv", text);
  std::atomic<bool> flag{false};
  InterruptWhenTheTestStarts buffer(flag);
  std::ostream err(&buffer);
  const Outcome o = TestCommand({path, "--ecosim-iterations", "50000"}, flag, &err);
  EXPECT_EQ(o.Status, ExitCancelled);
  EXPECT_EQ(o.Out, "");
  const std::string said = buffer.str();
  const std::size_t at = said.find("the test was interrupted after ");
  ASSERT_NE(at, std::string::npos) << said;
  std::size_t end = 0;
  const int drawn = std::stoi(said.substr(at + 30), &end);
  EXPECT_LT(drawn, 50000);
  EXPECT_EQ(said.substr(at + 30 + end), " of 50000 null matrices; no result was produced.\n");
}

TEST(MatrixFile, CtrlCEndsTheReadingOfAPipeWhoseWriterStaysOpen) {
#ifdef _WIN32
  GTEST_SKIP() << "named pipes made by mkfifo are Linux only";
#else
  const std::string path = (Folder() / "pipe").string();
  ::unlink(path.c_str());
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  // Read and write, so that opening does not wait for a reader; the pipe
  // then has a writer that never closes.
  const int writer = ::open(path.c_str(), O_RDWR);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(::write(writer, "1,0\n", 4), 4);
  std::atomic<bool> flag{false};
  std::thread user([&flag] { flag = true; });
  const Outcome o = TestCommand({path}, flag);
  user.join();
  ::close(writer);
  EXPECT_EQ(o.Status, ExitCancelled);
  EXPECT_EQ(o.Out, "");
  EXPECT_EQ(o.Err, "tessil-cli: reading the matrix file was interrupted; no result was produced.\n");
#endif
}

}  // namespace
}  // namespace tessil::cli
