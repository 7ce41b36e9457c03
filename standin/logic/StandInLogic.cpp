#include "StandInLogic.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <system_error>
#include <utility>

#include "EcoSimFacts.h"
#include "NumberText.h"
#include "TestVocabulary.h"

namespace tessil::standin {

namespace {

template <typename Choice>
void Read(std::string_view text, Choice& option, bool used, std::string_view what, std::string& refusal) {
  if (const std::optional<Choice> chosen = FromCaption<Choice>(text)) {
    option = *chosen;
  } else if (used && refusal.empty()) {
    refusal = std::string(what) + " \"" + std::string(text) + "\" is unknown: choose " + CaptionList<Choice>() + ".";
  }
}

std::size_t Index(int row, int col, int cols) {
  return static_cast<std::size_t>(row) * static_cast<std::size_t>(cols) + static_cast<std::size_t>(col);
}

}  // namespace

HeldOptions ReadOptions(const OptionTexts& t) {
  HeldOptions held;
  cooc::TestOptions& o = held.Options;
  std::string& refusal = held.Refusal;
  // In the order EcoSim reads them; an option a disabled control holds (the
  // algorithm when a margin is free, degenerate matrices when both are
  // fixed, empty sites for the pair indices) is not used.
  Read(t.Index, o.Index, true, "The co-occurrence index", refusal);
  Read(t.RowConstraint, o.RowConstraint, true, "The row constraint", refusal);
  Read(t.ColumnConstraint, o.ColumnConstraint, true, "The column constraint", refusal);
  const bool fixedFixed = o.RowConstraint == Constraint::Fixed && o.ColumnConstraint == Constraint::Fixed;
  Read(t.Algorithm, o.Algorithm, fixedFixed, "The fixed-fixed randomization algorithm", refusal);
  Read(t.DegenerateMatrices, o.DegenerateMatrices, !fixedFixed, "The choice for degenerate matrices", refusal);
  Read(t.EmptySites, o.EmptySites, UsesSiteCompositions(o.Index), "The choice for empty sites", refusal);
  o.Iterations = t.Iterations;
  o.Seed = t.Seed;
  return held;
}

std::string ProgressCaption(std::uint64_t slices) { return "..." + std::to_string(slices % 1000000) + " Simulating"; }

const std::string& GridCells::Cell(int row, int col) const { return cells_[Index(row, col, cols_)]; }

void GridCells::Resize(int rows, int cols) {
  rows_ = rows;
  cols_ = cols;
  cells_.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols), std::string());
  row_ = 0;
  col_ = 0;
  editing_ = false;
}

std::string GridCells::Type(char c, const std::string& editorText) {
  std::string text = editing_ ? editorText + c : std::string(1, c);
  editing_ = true;
  return text;
}

void GridCells::Tab(const std::string& editorText, bool backwards) {
  if (editing_) {
    cells_[Index(row_, col_, cols_)] = editorText;
    editing_ = false;
  }
  if (backwards) {
    if (--col_ < 0) {
      col_ = cols_ - 1;
      if (--row_ < 0) row_ = rows_ - 1;
    }
    return;
  }
  if (++col_ == cols_) {
    col_ = 0;
    if (++row_ == rows_) row_ = 0;
  }
}

cooc::Incidence GridCells::Matrix() const {
  cooc::Incidence matrix(rows_, cols_);
  for (int i = 0; i < rows_; ++i) {
    for (int k = 0; k < cols_; ++k) matrix.Set(i, k, Cell(i, k) == "1");
  }
  return matrix;
}

char TypedCharacter(char c, StandInFaults& faults) {
  if (faults.MistypedCharacters <= 0 || (c != '0' && c != '1')) return c;
  --faults.MistypedCharacters;
  return c == '1' ? '0' : '1';
}

std::optional<int> WholeNumber(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(' ');
  const std::size_t end = text.find_last_not_of(' ');
  if (begin == std::string::npos) return std::nullopt;
  int value = 0;
  const char* first = text.data() + begin;
  const char* last = text.data() + end + 1;
  const auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last || value < 1 || value > ecosim::MaxMatrixSide) return std::nullopt;
  return value;
}

std::optional<GridSize> AcceptedSize(const std::string& columnsText, const std::string& rowsText) {
  const std::optional<int> cols = WholeNumber(columnsText);
  const std::optional<int> rows = WholeNumber(rowsText);
  if (!cols || !rows || std::int64_t{*rows} * *cols > ecosim::MaxGridCells) return std::nullopt;
  return GridSize{*rows, *cols};
}

void Job::Run() {
  const auto start = std::chrono::steady_clock::now();
  if (Refusal.empty()) {
    Result = cooc::RunTest(Matrix, Options, Ordinal, cooc::TestControl{Stop.get_token(), &NullsDrawn});
  } else {
    Result.Reason = Refusal;
  }
  Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  Done.store(true, std::memory_order_release);
}

std::shared_ptr<Job> MakeJob(cooc::Incidence matrix, const OptionTexts& texts, std::uint64_t ordinal) {
  auto job = std::make_shared<Job>();
  job->Matrix = std::move(matrix);
  HeldOptions held = ReadOptions(texts);
  job->Options = std::move(held.Options);
  job->Refusal = std::move(held.Refusal);
  job->Ordinal = ordinal;
  job->Work = static_cast<double>(job->Matrix.Rows()) * job->Matrix.Cols() *
              std::max(1.0, LeadingNumber(job->Options.Iterations));
  return job;
}

std::thread StartWorker(const std::shared_ptr<Job>& job, std::atomic<int>& running, std::function<void()> finished) {
  ++running;
  try {
    return std::thread([job, &running, finished = std::move(finished)] {
      job->Run();
      --running;
      if (finished) finished();
    });
  } catch (...) {
    --running;
    throw;
  }
}

double DurationEstimate::ExpectedSeconds(double work) const {
  return lastWork_ > 0 ? lastSeconds_ * work / lastWork_ : 0.0;
}

void DurationEstimate::Record(const Job& job) {
  lastSeconds_ = job.Seconds;
  lastWork_ = job.Work;
}

std::string ReplacePValues(const std::string& memo, const std::string& text) {
  std::string out;
  std::size_t start = 0;
  for (int line = 0; start <= memo.size(); ++line) {
    std::size_t end = memo.find("\r\n", start);
    if (end == std::string::npos) end = memo.size();
    std::string current = memo.substr(start, end - start);
    if (line == ecosim::LowerTailLine || line == ecosim::UpperTailLine) {
      const std::size_t prefix = current.find(") = ");
      if (prefix != std::string::npos) current = current.substr(0, prefix + 4) + text;
    }
    out += current;
    if (end == memo.size()) break;
    out += "\r\n";
    start = end + 2;
  }
  return out;
}

TestEnding EndingOf(const cooc::TestResult& result, const StandInFaults& faults) {
  TestEnding ending;
  if (result.HasResults && !faults.ConfirmInsteadOfResults) {
    ending.ShowsResults = true;
    ending.Memo1 = result.Memo1;
    ending.Memo2 = faults.PValueText ? ReplacePValues(result.Memo2, *faults.PValueText) : result.Memo2;
    return ending;
  }
  ending.Message = result.HasResults ? std::string(NoResultsMessage) : result.Reason;
  return ending;
}

}  // namespace tessil::standin
