// A stop asked for while a test runs reaches it inside the long stretches
// of work (a burn-in, one null matrix, an index of a large matrix), and the
// test then ends at once without results.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stop_token>

#include "CooccurrenceRun.h"
#include "CooccurrenceTestSupport.h"
#include "Indices.h"
#include "NullModels.h"
#include "StopCheck.h"
#include "SwapChain.h"

namespace tessil::cooc {
namespace {

// Counts the polls of this thread and asks for a stop at poll `stop_at`
// (never when 0).
struct PollCounter {
  int polls = 0;
  int stop_at = 0;
  std::stop_source source;

  PollCounter() {
    testing::ObservePolls(
        [](void* context) {
          auto& self = *static_cast<PollCounter*>(context);
          if (++self.polls == self.stop_at) self.source.request_stop();
        },
        this);
  }
  ~PollCounter() { testing::ObservePolls(nullptr, nullptr); }
};

Incidence HalfFilled(int rows, int cols, std::uint64_t seed) {
  RandomBits rng(seed);
  return support::RandomMatrix(rows, cols, 0.5, rng);
}

// Species i at sites 0..(i mod cols): every pair nested, no checkerboard.
Incidence Nested(int rows, int cols) {
  Incidence m(rows, cols);
  for (int i = 0; i < rows; ++i)
    for (int k = 0; k <= i % cols; ++k) m.Set(i, k, true);
  return m;
}

TEST(Stop, LongStretchesOfWorkPollAndStopAtThePollThatSeesIt) {
  const Incidence mid = HalfFilled(400, 64, 1);
  const Incidence wide = HalfFilled(300, 300, 2);
  const Incidence tall = HalfFilled(2000, 64, 3);
  const Incidence long_sites = HalfFilled(2, 200000, 4);
  const Incidence nested = Nested(2000, 64);
  struct Case {
    const char* what;
    std::function<void(StopCheck&)> work;
  };
  const Case cases[] = {
      {"the sequential swap's burn-in",
       [&](StopCheck& check) {
         SequentialSwapModel model(HalfFilled(30, 30, 5), SequentialSwapModel::DefaultBurnIn, &check);
         RandomBits rng(1);
         model.Draw(rng);
       }},
      {"one independent-swap null matrix",
       [&](StopCheck& check) {
         IndependentSwapModel model(mid, IndependentSwapModel::DefaultSwaps, &check);
         RandomBits rng(1);
         model.Draw(rng);
       }},
      {"one knight's tour",
       [&](StopCheck& check) {
         KnightsTourModel model(wide, &check);
         RandomBits rng(1);
         model.Draw(rng);
       }},
      {"one null matrix, sites proportional",
       [&](StopCheck& check) {
         auto model = MakeMarginSampler(wide, Margin::Fixed, Margin::Proportional, &check);
         RandomBits rng(1);
         model->Draw(rng);
       }},
      {"one null matrix, cells proportional",
       [&](StopCheck& check) {
         auto model = MakeMarginSampler(wide, Margin::Proportional, Margin::Equiprobable, &check);
         RandomBits rng(1);
         model->Draw(rng);
       }},
      {"the C-score of 2000 species",
       [&](StopCheck& check) {
         IndexEvaluator evaluator;
         evaluator.Watch(&check);
         evaluator.Evaluate(IndexKind::CScore, tall);
       }},
      {"the combinations of 200000 sites",
       [&](StopCheck& check) {
         IndexEvaluator evaluator;
         evaluator.Watch(&check);
         evaluator.Evaluate(IndexKind::Combinations, long_sites);
       }},
      {"the search for a checkerboard", [&](StopCheck& check) { HasCheckerboard(nested, &check); }},
      {"the pair table of 2000 species", [&](StopCheck& check) { SwapChain chain(tall, &check); }},
  };
  for (const Case& c : cases) {
    int polls_in_all = 0;
    {
      PollCounter counter;
      StopCheck check(counter.source.get_token());
      c.work(check);
      polls_in_all = counter.polls;
    }
    // Enough polls that a stop is seen within a small share of the work.
    EXPECT_GE(polls_in_all, 3) << c.what;
    PollCounter counter;
    counter.stop_at = 2;
    StopCheck check(counter.source.get_token());
    EXPECT_THROW(c.work(check), StopRequested) << c.what;
    EXPECT_EQ(counter.polls, 2) << c.what;
  }
}

TEST(Stop, AStoppedTestEndsWithoutResultsAfterTheWorkBeforeThePoll) {
  TestOptions sequential;
  sequential.ColumnConstraint = Constraint::Fixed;
  sequential.Iterations = "5";
  TestOptions discard;
  discard.RowConstraint = Constraint::Equiprobable;
  discard.ColumnConstraint = Constraint::Fixed;
  discard.DegenerateMatrices = DegenerateTreatment::Discard;
  Incidence permutation(20, 20);
  for (int i = 0; i < 20; ++i) permutation.Set(i, i, true);
  struct Case {
    const char* what;
    Incidence matrix;
    TestOptions options;
    int stop_at;
    std::int64_t nulls_drawn;
  };
  const Case cases[] = {
      // Polls 1 and 2 come before the first draw, 4 within the burn-in.
      {"in the burn-in", HalfFilled(30, 30, 5), sequential, 4, 0},
      // Every draw is degenerate: the stop comes long before Discard gives up.
      {"among Discard's redraws", permutation, discard, 100, 98},
      {"before the test", HalfFilled(30, 30, 5), sequential, 1, 0},
  };
  for (const Case& c : cases) {
    PollCounter counter;
    counter.stop_at = c.stop_at;
    std::atomic<std::int64_t> drawn{0};
    const TestResult r = RunTest(c.matrix, c.options, 0, TestControl{counter.source.get_token(), &drawn});
    EXPECT_TRUE(r.Stopped) << c.what;
    EXPECT_FALSE(r.HasResults) << c.what;
    EXPECT_TRUE(r.Reason.empty()) << c.what;
    EXPECT_EQ(counter.polls, c.stop_at) << c.what;
    EXPECT_EQ(drawn.load(), c.nulls_drawn) << c.what;
  }
}

}  // namespace
}  // namespace tessil::cooc
