// The whole test as a statistical procedure: how often it rejects matrices
// without structure, and matrices built from segregated guilds.
#include <gtest/gtest.h>

#include <cmath>

#include "CooccurrenceRun.h"
#include "CooccurrenceTestSupport.h"
#include "Public_Declarations.h"

namespace tessil::cooc {
namespace {

// The upper-tail p-value as every implementation reads it: from the 33
// characters of its line.
double UpperPValue(const TestResult& r) {
  const std::size_t line = r.Memo2.rfind("\r\n") + 2;
  return LeadingNumber(r.Memo2.substr(line, 33).substr(26));
}

int Rejections(const std::vector<Incidence>& matrices, const TestOptions& options) {
  int rejected = 0;
  std::uint64_t ordinal = 0;
  for (const Incidence& m : matrices) {
    const TestResult r = RunTest(m, options, ordinal++);
    EXPECT_TRUE(r.HasResults) << r.Reason;
    rejected += UpperPValue(r) <= 0.05 ? 1 : 0;
  }
  return rejected;
}

// 20 x 20 cells, each present with chance 0.5: no structure at all.
std::vector<Incidence> Random(int count, std::uint64_t seed) {
  RandomBits rng(seed);
  std::vector<Incidence> matrices;
  for (int t = 0; t < count; ++t) matrices.push_back(support::RandomMatrix(20, 20, 0.5, rng));
  return matrices;
}

// Species 0-9 at random among sites 0-9, species 10-19 among sites 10-19.
std::vector<Incidence> Guilds(int count, std::uint64_t seed) {
  RandomBits rng(seed);
  std::vector<Incidence> matrices;
  for (int t = 0; t < count; ++t) {
    Incidence m(20, 20);
    for (int i = 0; i < 20; ++i)
      for (int k = 0; k < 20; ++k) m.Set(i, k, (i < 10) == (k < 10) && rng.Unit() < 0.6);
    matrices.push_back(m);
  }
  return matrices;
}

TEST(Pipeline, CScoreTestsHoldTheirLevelAndDetectSegregation) {
  // With n = 199 null matrices, exchangeable null values and ties counted
  // against the observed value, P(p <= 0.05) <= 10 / 200 = 0.05 for the
  // rows-fixed test, which is exact for independent cells given their row
  // totals. The Sequential Swap weighs each matrix by its checkerboard count,
  // which favours large C-scores and only makes the upper tail rarer. Out of
  // 300 matrices the count of rejections is then at most binomial(300, 0.05):
  // mean 15, sd 3.8, so 4 sd above it is 30.
  const std::vector<Incidence> random = Random(300, 99);
  const std::vector<Incidence> guilds = Guilds(40, 98);
  for (const Constraint cols : {Constraint::Equiprobable, Constraint::Fixed}) {
    SCOPED_TRACE(Caption(cols));
    TestOptions o;
    o.ColumnConstraint = cols;
    o.Iterations = std::string("199");
    o.Seed = std::string("12");
    EXPECT_LE(Rejections(random, o), 30);
    // Two guilds on disjoint sites have almost twice the checkerboard units
    // of their null matrices: nearly every one is rejected.
    EXPECT_GE(Rejections(guilds, o), 36);
  }
}

}  // namespace
}  // namespace tessil::cooc
