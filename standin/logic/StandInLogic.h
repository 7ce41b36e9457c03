// What a stand-in EcoSim does behind its windows, whichever window system
// shows them: the options its controls choose, the grid's cells, seeding by
// ordinal, the test computed beside the message loop, and the texts its
// windows show when a test ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "CooccurrenceRun.h"
#include "Incidence.h"
#include "StandInFaults.h"

namespace tessil::standin {

// The texts EcoSim's option controls show: the selected radio button of
// each group, the index box and the two number boxes.
struct OptionTexts {
  std::string RowConstraint;
  std::string ColumnConstraint;
  std::string Index;
  std::string Algorithm;
  std::string DegenerateMatrices;
  std::string EmptySites;
  std::string Iterations;
  std::string Seed;
};

// The options those texts choose. A text that names no choice of its group
// (the index box takes any text) leaves its option at the default, and when
// the test would use that option, the refusal says why the test cannot run.
struct HeldOptions {
  cooc::TestOptions Options;
  std::string Refusal;  // empty: the test can run
};
HeldOptions ReadOptions(const OptionTexts& texts);

// The working folder's file name by which the stand-in is started.
inline constexpr const char* StandInProgramFile = "EcoSim700.exe";

// The texts of EcoSim's windows that more than one face shows.
inline constexpr std::string_view ExitQuestion = "Exit EcoSim?";
inline constexpr std::string_view ExitQuestionTitle = "Confirm";
inline constexpr std::string_view MessageTitle = "EcoSim";
inline constexpr std::string_view NoResultsMessage = "The simulation ended without results.";
// The progress window's caption after `slices` slices of a test.
std::string ProgressCaption(std::uint64_t slices);

// The matrix's cells as typed into the grid: a character opens the current
// cell's in-place editor or adds to its text, Tab commits the editor's text
// to the cell and moves on in row order, from the last cell back to the
// first. The editor's text is the face's; it is handed in here.
class GridCells {
 public:
  GridCells() { Resize(5, 5); }
  int Rows() const { return rows_; }
  int Cols() const { return cols_; }
  int CurrentRow() const { return row_; }
  int CurrentCol() const { return col_; }
  bool Editing() const { return editing_; }
  const std::string& Cell(int row, int col) const;
  // rows x cols empty cells; the first becomes current and nothing is
  // being edited.
  void Resize(int rows, int cols);
  // The editor's text once `c` is typed while it shows `editorText`.
  std::string Type(char c, const std::string& editorText);
  // Commits `editorText` when a cell is being edited, then moves on; with
  // Shift held (`backwards`) to the cell before, from the first back to the
  // last, as a grid takes Shift+Tab.
  void Tab(const std::string& editorText, bool backwards = false);
  // Presence where a cell holds "1", absence elsewhere.
  cooc::Incidence Matrix() const;

 private:
  int rows_ = 0;
  int cols_ = 0;
  int row_ = 0;
  int col_ = 0;
  bool editing_ = false;
  std::vector<std::string> cells_;
};

// The character the grid shows for `c` typed into it: the other digit while
// the mistyping fault has characters left, which it uses up.
char TypedCharacter(char c, StandInFaults& faults);

// Which test since the seed field was last set this is: the seed and this
// ordinal alone decide a test's random stream.
class TestOrdinals {
 public:
  // A new seed starts a new run of tests.
  void SeedSet() { next_ = 0; }
  // The ordinal of the test starting now; every test counts.
  std::uint64_t Take() { return next_++; }
  std::uint64_t Next() const { return next_; }

 private:
  std::uint64_t next_ = 0;
};

// A size typed into the resize dialog: a whole number from 1 to the
// largest side EcoSim's grid takes, spaces around it allowed.
std::optional<int> WholeNumber(const std::string& text);
struct GridSize {
  int Rows = 0;
  int Cols = 0;
};
// The size the resize dialog takes from its two fields, or nothing when a
// side is not such a number or the cells are more than the grid holds: the
// dialog then stays open.
std::optional<GridSize> AcceptedSize(const std::string& columnsText, const std::string& rowsText);

// One test, computed beside the message loop so that EcoSim's windows (and
// Tessil's, which wait on them) stay live while it runs.
struct Job {
  cooc::Incidence Matrix;
  cooc::TestOptions Options;
  std::uint64_t Ordinal = 0;
  // Cells times null matrices: what the test's duration grows with.
  double Work = 0;
  double Seconds = 0;
  std::atomic<bool> Done{false};
  // Why the options held cannot be tested; empty when they can.
  std::string Refusal;
  cooc::TestResult Result;
  // Abort and close stop the test through this.
  std::stop_source Stop;
  std::atomic<std::int64_t> NullsDrawn{0};

  // Computes the test (or takes the refusal as its result) and marks it
  // done.
  void Run();
  bool IsDone() const { return Done.load(std::memory_order_acquire); }
};

// The test of `matrix` with the options `texts` choose, as test `ordinal`.
std::shared_ptr<Job> MakeJob(cooc::Incidence matrix, const OptionTexts& texts, std::uint64_t ordinal);

// Runs `job` on a thread of its own, counted in `running` until it ends,
// then calls `finished` (when given) on that thread. Throws
// std::system_error, `running` unchanged, when no thread can be started.
std::thread StartWorker(const std::shared_ptr<Job>& job, std::atomic<int>& running,
                        std::function<void()> finished = {});

// The longest a test may hold up the message loop when computed in one
// slice, in seconds.
inline constexpr double SliceSeconds = 0.002;

// How long the next test will take, judged from the last one that ended:
// its seconds scaled by the work.
class DurationEstimate {
 public:
  double ExpectedSeconds(double work) const;
  // A test expected to take longer than one slice gets a thread of its own.
  bool NeedsThread(double work) const { return ExpectedSeconds(work) > SliceSeconds; }
  void Record(const Job& job);

 private:
  double lastSeconds_ = 0;
  double lastWork_ = 0;
};

// The results' p-value lines (5 and 6) with `text` after their prefix.
std::string ReplacePValues(const std::string& memo, const std::string& text);

// What EcoSim shows when a test ends: its results in the two memos, or a
// message form with a text.
struct TestEnding {
  bool ShowsResults = false;
  std::string Memo1;
  std::string Memo2;
  std::string Message;
};
TestEnding EndingOf(const cooc::TestResult& result, const StandInFaults& faults);

}  // namespace tessil::standin
