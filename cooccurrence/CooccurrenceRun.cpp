#include "CooccurrenceRun.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <string_view>
#include <vector>

#include "Indices.h"
#include "MemoryLimit.h"
#include "NullModels.h"
#include "Public_Declarations.h"
#include "RandomBits.h"
#include "StopCheck.h"
#include "SwapChain.h"

namespace tessil::cooc {
namespace {

struct Choices {
  IndexKind Index = IndexKind::CScore;
  Margin Rows = Margin::Fixed;
  Margin Cols = Margin::Equiprobable;
  FixedFixedAlgorithm Algorithm = FixedFixedAlgorithm::SequentialSwap;
  DegenerateTreatment Degenerate = DegenerateTreatment::Retain;
  bool IncludeEmpty = false;
  std::int64_t Iterations = 0;
  double Seed = 0;
  bool FixedFixed() const { return Rows == Margin::Fixed && Cols == Margin::Fixed; }
};

std::string Quoted(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted += '"';
  quoted += text;
  quoted += '"';
  return quoted;
}

// The options that matter to this test, with the iterations and the seed
// read from their texts; nothing, with the reason, when the iterations are
// out of range.
std::optional<Choices> Parse(const TestOptions& options, std::string& reason) {
  Choices c;
  c.Index = options.Index;
  c.Rows = options.RowConstraint;
  c.Cols = options.ColumnConstraint;
  c.Algorithm = options.Algorithm;
  c.Degenerate = options.DegenerateMatrices;
  c.IncludeEmpty = options.EmptySites == EmptySiteTreatment::Include;
  const double iterations = RoundHalfEven(LeadingNumber(options.Iterations));
  if (!(iterations >= 1 && iterations <= static_cast<double>(MaxIterations))) {
    reason = "The number of iterations " + Quoted(options.Iterations) + " asks for " + GeneralDecimal(iterations) +
             " null matrices; a test needs from 1 to 50000.";
    return std::nullopt;
  }
  c.Iterations = static_cast<std::int64_t>(iterations);
  c.Seed = LeadingNumber(options.Seed);
  return c;
}

std::string Describe(const TestOptions& options, const Choices* c, std::uint64_t ordinal) {
  std::string memo = "Co-occurrence Index: " + std::string(Caption(options.Index)) + "\r\n";
  memo += "Row Constraints: " + std::string(Caption(options.RowConstraint)) + "\r\n";
  memo += "Column Constraints: " + std::string(Caption(options.ColumnConstraint)) + "\r\n";
  if (c == nullptr || c->FixedFixed()) {
    memo += "Fixed-Fixed Randomization Algorithm: " + std::string(Caption(options.Algorithm)) + "\r\n";
  }
  if (c == nullptr || !c->FixedFixed()) {
    memo += "Degenerate Matrices: " + std::string(Caption(options.DegenerateMatrices)) + "\r\n";
  }
  if (c == nullptr || UsesSiteCompositions(c->Index)) {
    memo += "Empty Sites: " + std::string(Caption(options.EmptySites)) + "\r\n";
  }
  memo += "Number of Iterations: " + (c != nullptr ? std::to_string(c->Iterations) : options.Iterations) + "\r\n";
  memo += "Random number seed: " + (c != nullptr ? GeneralDecimal(c->Seed) : options.Seed) + " (test " +
          std::to_string(ordinal + 1) + " since the seed was set)";
  return memo;
}

std::string IndexName(IndexKind kind) {
  switch (kind) {
    case IndexKind::CScore:
      return "The C-score";
    case IndexKind::Checkerboards:
      return "The number of checkerboards";
    case IndexKind::Combinations:
      return "The number of species combinations";
    case IndexKind::VRatio:
      return "The V-ratio";
  }
  return "The index";
}

std::string Undefined(IndexKind kind) {
  if (kind == IndexKind::VRatio) {
    return "The V-ratio is undefined for this matrix: every species occurs at all of the sites counted or at none, "
           "so the species totals have no variance.";
  }
  return IndexName(kind) + " is undefined for this matrix: fewer than two of its species occur.";
}

std::string UndefinedEverywhere(IndexKind kind, std::int64_t drawn) {
  const std::string why = kind == IndexKind::VRatio ? "every species occurs at all of the sites counted or at none"
                                                    : "fewer than two of the species occur";
  return IndexName(kind) + " is undefined in every null matrix drawn (" + std::to_string(drawn) + " of " +
         std::to_string(drawn) + "): in each, " + why + ", so there is nothing to compare the observed index with.";
}

std::unique_ptr<NullModel> MakeModel(const Incidence& matrix, const Choices& c, StopCheck* check) {
  if (!c.FixedFixed()) {
    return MakeMarginSampler(matrix, c.Rows, c.Cols, check);
  }
  switch (c.Algorithm) {
    case FixedFixedAlgorithm::SequentialSwap:
      return std::make_unique<SequentialSwapModel>(matrix, SequentialSwapModel::DefaultBurnIn, check);
    case FixedFixedAlgorithm::IndependentSwap:
      return std::make_unique<IndependentSwapModel>(matrix, IndependentSwapModel::DefaultSwaps, check);
    case FixedFixedAlgorithm::KnightsTour:
      return std::make_unique<KnightsTourModel>(matrix, check);
  }
  return nullptr;
}

TestResult NoResults(std::string memo1, std::string reason) {
  TestResult result;
  result.Memo1 = std::move(memo1);
  result.Reason = std::move(reason);
  return result;
}

// Bytes of a test's working set; in doubles, so that no size overflows.
double WorkingSet(double r, double n, const Choices& c) {
  const double rowWords = std::ceil(n / 64);
  const double colWords = std::ceil(r / 64);
  const double matrix = r * rowWords * 8;
  // The evaluator's scratch space, the degeneracy record, the null values.
  double bytes = r * 8 + n * 8 + rowWords * 8 + static_cast<double>(c.Iterations) * 8;
  if (UsesSiteCompositions(c.Index)) {
    bytes += n * colWords * 8 + n * 4;
  }
  const double chain = matrix + n * colWords * 8 + r * 16 + r * r * 4;
  if (!c.FixedFixed()) {
    bytes += matrix + (r + n) * 4;
    if (c.Degenerate == DegenerateTreatment::Fix) {
      bytes += matrix + (r + n) * 4;
    }
    const bool proportional = c.Rows == Margin::Proportional || c.Cols == Margin::Proportional;
    if (c.Rows == Margin::Fixed) {
      bytes += proportional ? n * 20 : 0;
    } else if (c.Cols == Margin::Fixed) {
      bytes += proportional ? r * 20 : 0;
    } else if (proportional) {
      // The cell urn's weights, tree and draws, and the weights it is built from.
      bytes += r * n * 28;
    }
    return bytes;
  }
  switch (c.Algorithm) {
    case FixedFixedAlgorithm::SequentialSwap:
      // The burn-in briefly holds a second chain and a matrix beside the first.
      return bytes + 2 * chain + matrix + r * 4;
    case FixedFixedAlgorithm::IndependentSwap:
      return bytes + 2 * chain + 2 * matrix + r * 4;
    case FixedFixedAlgorithm::KnightsTour:
      return bytes + matrix + r * n * 8 + (r + n) * 20;
  }
  return bytes;
}

}  // namespace

std::uint64_t TestWorkingSetBytes(std::int64_t rows, std::int64_t cols, const TestOptions& options) {
  std::string reason;
  const std::optional<Choices> c = Parse(options, reason);
  if (!c || rows < 0 || cols < 0) {
    return 0;
  }
  const double bytes = WorkingSet(static_cast<double>(rows), static_cast<double>(cols), *c);
  return bytes >= 1.8e19 ? std::numeric_limits<std::uint64_t>::max() : static_cast<std::uint64_t>(bytes);
}

std::uint64_t TestMemoryLimitBytes() {
  // Asked of the system once: a study asks before each of its thousands of
  // tests, and the answer does not change while it runs.
  static const std::uint64_t physical = PhysicalMemory();
  return StudyMemoryLimit(physical);
}

std::optional<std::string> MemoryRefusal(std::int64_t rows, std::int64_t cols, const TestOptions& options) {
  const std::uint64_t need = TestWorkingSetBytes(rows, cols, options);
  const std::uint64_t limit = TestMemoryLimitBytes();
  if (need <= limit) {
    return std::nullopt;
  }
  return "A test of a matrix of " + std::to_string(rows) + " species and " + std::to_string(cols) +
         " sites with these options needs about " + GibibytesText(static_cast<double>(need)) +
         " of memory, more than the " + GibibytesText(static_cast<double>(limit)) +
         " one test may use (2 GiB, or half of this computer's memory where that is less).";
}

double TestResult::PLower() const {
  return NullMatrices > 0 ? static_cast<double>(CountLessOrEqual) / static_cast<double>(NullMatrices) : 0.0;
}

double TestResult::PUpper() const {
  return NullMatrices > 0 ? static_cast<double>(CountGreaterOrEqual) / static_cast<double>(NullMatrices) : 0.0;
}

TestResult RunTest(const Incidence& matrix, const TestOptions& options, std::uint64_t ordinal) {
  return RunTest(matrix, options, ordinal, TestControl{});
}

namespace {

// A test from its set-up to its results, in stages, so that the burn-ins
// of several tests can be made side by side between the set-up and the
// null matrices.
struct TestRun {
  TestRun(const Incidence& matrix, const TestOptions& options, std::uint64_t ordinal, const TestControl& control)
      : Matrix(matrix), Options(options), Ordinal(ordinal), Control(control), Check(control.Stop) {}

  const Incidence& Matrix;
  const TestOptions& Options;
  std::uint64_t Ordinal;
  const TestControl& Control;
  StopCheck Check;
  Choices C;
  std::string Memo1;
  // Set once the test has ended, with results or without.
  std::optional<TestResult> Result;
  IndexEvaluator Evaluator;
  std::optional<Fraction> Observed;
  std::optional<RandomBits> Rng;
  std::unique_ptr<NullModel> Model;
  std::optional<Degeneracy> Degenerate;

  // Runs `stage`, ending the test where it runs out of memory or is stopped.
  template <typename Stage>
  void Guarded(Stage&& stage) {
    if (Result) {
      return;
    }
    try {
      stage();
    } catch (const std::bad_alloc&) {
      Result = NoResults(
          Memo1, "The test ran out of memory: this computer could not give it the " +
                     GibibytesText(static_cast<double>(TestWorkingSetBytes(Matrix.Rows(), Matrix.Cols(), Options))) +
                     " it needs.");
    } catch (const StopRequested&) {
      EndStopped();
    }
  }
  void EndStopped() {
    TestResult stopped;
    stopped.Stopped = true;
    stopped.Memo1 = Memo1;
    Result = std::move(stopped);
  }
};

// The options read, the observed index, the null model: everything before
// the first null matrix.
void SetUp(TestRun& t) {
  std::string reason;
  const std::optional<Choices> parsed = Parse(t.Options, reason);
  if (!parsed) {
    t.Result = NoResults(Describe(t.Options, nullptr, t.Ordinal), reason);
    return;
  }
  t.C = *parsed;
  t.Memo1 = Describe(t.Options, &t.C, t.Ordinal);
  // Refused before any table is built, rather than failing part-way for
  // want of memory.
  if (const auto refusal = MemoryRefusal(t.Matrix.Rows(), t.Matrix.Cols(), t.Options)) {
    t.Result = NoResults(t.Memo1, *refusal);
    return;
  }
  t.Guarded([&] {
    const Choices& c = t.C;
    StopCheck& check = t.Check;
    // A stop asked for before the test starts ends it before any work.
    check.Poll();
    t.Evaluator.Watch(&check);
    const SiteRule allSites{c.IncludeEmpty, nullptr};
    t.Observed = t.Evaluator.Evaluate(c.Index, t.Matrix, allSites);
    if (!t.Observed) {
      t.Result = NoResults(t.Memo1, Undefined(c.Index));
      return;
    }
    if (c.FixedFixed() && c.Algorithm != FixedFixedAlgorithm::KnightsTour && !HasCheckerboard(t.Matrix, &check)) {
      t.Result = NoResults(t.Memo1, "The " + std::string(Caption(c.Algorithm)) +
                                        " cannot run: the matrix has no checkerboard submatrix, so no swap is "
                                        "possible.");
      return;
    }
    t.Rng.emplace(RandomBits::ForTest(c.Seed, t.Ordinal));
    t.Model = MakeModel(t.Matrix, c, &check);
    t.Degenerate.emplace(t.Matrix, &check);
  });
}

// The null matrices and the results.
TestResult Compute(const Choices& c, const TestControl& control, StopCheck& check, const std::string& memo1,
                   IndexEvaluator& evaluator, const std::optional<Fraction>& observed, RandomBits& rng,
                   NullModel* model, const Degeneracy& degeneracy) {
  const SiteRule allSites{c.IncludeEmpty, nullptr};
  const SiteRule splitSites{c.IncludeEmpty, &degeneracy.EmptyInObserved()};
  Incidence repaired;

  TestResult result;
  std::vector<double> values;
  values.reserve(static_cast<std::size_t>(c.Iterations));
  Fraction first;
  bool allEqual = true;
  int degenerateInARow = 0;
  std::int64_t undefined = 0;
  while (static_cast<std::int64_t>(values.size()) + undefined < c.Iterations) {
    check.Poll();
    if (!model->Draw(rng)) {
      const auto& tour = static_cast<const KnightsTourModel&>(*model);
      return NoResults(memo1, "The Random Knight's Tour gave up: null matrix " + std::to_string(values.size() + 1) +
                                  " was still incomplete after " + std::to_string(tour.PickLimit()) + " picks.");
    }
    if (control.NullsDrawn != nullptr) control.NullsDrawn->fetch_add(1, std::memory_order_relaxed);
    const Incidence* null = &model->Current();
    SiteRule sites = allSites;
    if (!c.FixedFixed() && degeneracy.IsDegenerate(*null)) {
      ++result.DegenerateDraws;
      switch (c.Degenerate) {
        case DegenerateTreatment::Retain:
          break;
        case DegenerateTreatment::Discard:
          if (++degenerateInARow >= DiscardLimit) {
            return NoResults(memo1, "All of " + std::to_string(DiscardLimit) +
                                        " null matrices drawn in a row were degenerate, so Discard "
                                        "found none to keep.");
          }
          continue;
        case DegenerateTreatment::Split:
          sites = splitSites;
          break;
        case DegenerateTreatment::Fix:
          repaired.Assign(*null, &check);
          degeneracy.Repair(repaired, rng);
          null = &repaired;
          break;
      }
    }
    degenerateInARow = 0;
    std::optional<Fraction> value = null == &model->Current() ? model->TrackedIndex(c.Index) : std::nullopt;
    if (!value) {
      value = evaluator.Evaluate(c.Index, *null, sites);
    }
    // A null matrix on which the index is undefined (no pair of occurring
    // species, or species totals without variance) says nothing about the
    // index: it is left out rather than scored, for 0 would claim the most
    // aggregated V-ratio or the least segregated pairs.
    if (!value) {
      ++undefined;
      continue;
    }
    const Fraction v = *value;
    const int order = Compare(v, *observed);
    result.CountLessOrEqual += order <= 0 ? 1 : 0;
    result.CountGreaterOrEqual += order >= 0 ? 1 : 0;
    if (values.empty()) {
      first = v;
    } else if (allEqual && Compare(v, first) != 0) {
      allEqual = false;
    }
    values.push_back(v.Value());
  }

  if (values.empty()) {
    return NoResults(memo1, UndefinedEverywhere(c.Index, undefined));
  }
  const auto n = static_cast<double>(values.size());
  double sum = 0;
  for (const double x : values) {
    sum += x;
  }
  result.NullMean = allEqual ? first.Value() : sum / n;
  double squares = 0;
  if (!allEqual) {
    for (const double x : values) {
      squares += (x - result.NullMean) * (x - result.NullMean);
    }
  }
  result.NullVariance = squares / n;
  result.Observed = observed->Value();
  if (result.NullVariance > 0) {
    result.EffectSize = (result.Observed - result.NullMean) / std::sqrt(result.NullVariance);
  }
  result.NullMatrices = static_cast<std::int64_t>(values.size());
  result.UndefinedNullValues = undefined;
  result.HasResults = true;
  result.NullValues = std::move(values);

  std::string used = "Null matrices used = " + std::to_string(result.NullMatrices);
  std::string notes;
  if (result.DegenerateDraws > 0) {
    static constexpr const char* fate[] = {"retained", "discarded", "split", "repaired"};
    notes = std::to_string(result.DegenerateDraws) + " degenerate " +
            (c.Degenerate == DegenerateTreatment::Discard ? "draws " : "matrices ") +
            fate[static_cast<int>(c.Degenerate)];
  }
  if (undefined > 0) {
    notes += (notes.empty() ? "" : "; ") + std::to_string(undefined) + " with an undefined index left out";
  }
  if (!notes.empty()) {
    used += " (" + notes + ")";
  }
  result.Memo1 = memo1;
  result.Memo2 = "Observed index = " + Fixed5(result.Observed) + "\r\n" +
                 "Mean of simulated indices = " + Fixed5(result.NullMean) + "\r\n" +
                 "Variance of simulated indices = " + Fixed5(result.NullVariance) + "\r\n" +
                 "Standardized effect size = " + (result.EffectSize ? Fixed5(*result.EffectSize) : "n/a") + "\r\n" +
                 used + "\r\n" +
                 "p(observed <= expected) = " + FormatPValue(result.CountLessOrEqual, result.NullMatrices) + "\r\n" +
                 "p(observed >= expected) = " + FormatPValue(result.CountGreaterOrEqual, result.NullMatrices);
  return result;
}

void Finish(TestRun& t) {
  t.Guarded([&] {
    t.Result = Compute(t.C, t.Control, t.Check, t.Memo1, t.Evaluator, t.Observed, *t.Rng, t.Model.get(), *t.Degenerate);
  });
}

}  // namespace

TestResult RunTest(const Incidence& matrix, const TestOptions& options, std::uint64_t ordinal,
                   const TestControl& control) {
  TestRun t(matrix, options, ordinal, control);
  SetUp(t);
  Finish(t);
  return std::move(*t.Result);
}

std::vector<TestResult> RunTests(std::span<const TestJob> jobs, const TestOptions& options) {
  std::vector<std::unique_ptr<TestRun>> runs;
  runs.reserve(jobs.size());
  for (const TestJob& job : jobs) {
    runs.push_back(std::make_unique<TestRun>(*job.Matrix, options, job.Ordinal, job.Control));
    SetUp(*runs.back());
  }
  // The burn-ins that go by the pair table, made side by side, each from
  // its own test's stream.
  std::vector<TrialSwapper::Lane> lanes;
  std::vector<TestRun*> laneRuns;
  for (const auto& run : runs) {
    TestRun& t = *run;
    auto* sequential = dynamic_cast<SequentialSwapModel*>(t.Model.get());
    if (sequential == nullptr) {
      continue;
    }
    t.Guarded([&] {
      if (auto lane = sequential->BurnInLane(*t.Rng)) {
        lanes.push_back(*lane);
        laneRuns.push_back(&t);
      }
    });
  }
  TrialSwapper::SwapsSideBySide(lanes);
  for (std::size_t i = 0; i < lanes.size(); ++i) {
    if (lanes[i].Stopped) {
      laneRuns[i]->EndStopped();
    }
  }
  std::vector<TestResult> results;
  results.reserve(runs.size());
  for (const auto& run : runs) {
    Finish(*run);
    results.push_back(std::move(*run->Result));
  }
  return results;
}

}  // namespace tessil::cooc
