// The three fixed-fixed algorithms, checked against whole margin classes
// enumerated exhaustively.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <utility>

#include "CooccurrenceTestSupport.h"
#include "Indices.h"
#include "NullModels.h"
#include "SwapChain.h"

namespace tessil::cooc {
namespace {

using support::Code;
using support::FromRows;
using support::MarginClass;

struct ClassCase {
  std::vector<int> rows, cols;
  std::size_t size;
};

const ClassCase kClasses[] = {
    {{1, 2, 1}, {1, 2, 1}, 5},
    {{2, 2, 1, 1}, {2, 2, 1, 1}, 34},
    {{3, 2, 2, 1}, {2, 2, 2, 1, 1}, 117},
};

// A margin class with the swap moves between its matrices: every checkerboard
// submatrix of a matrix, flipped, leads to a distinct neighbour.
struct SwapGraph {
  std::vector<Incidence> states;
  std::map<std::uint64_t, std::size_t> index;
  std::vector<std::vector<std::size_t>> neighbours;

  explicit SwapGraph(const ClassCase& c) : states(MarginClass(c.rows, c.cols)) {
    for (std::size_t s = 0; s < states.size(); ++s) index[Code(states[s])] = s;
    for (const Incidence& m : states) {
      std::vector<std::size_t> next;
      for (int a = 0; a < m.Rows(); ++a)
        for (int b = a + 1; b < m.Rows(); ++b)
          for (int k = 0; k < m.Cols(); ++k)
            for (int l = k + 1; l < m.Cols(); ++l) {
              const bool board = m.Get(a, k) == m.Get(b, l) && m.Get(a, l) == m.Get(b, k) && m.Get(a, k) != m.Get(a, l);
              if (!board) continue;
              Incidence y = m;
              y.Set(a, k, !m.Get(a, k));
              y.Set(a, l, !m.Get(a, l));
              y.Set(b, k, !m.Get(b, k));
              y.Set(b, l, !m.Get(b, l));
              next.push_back(index.at(Code(y)));
            }
      neighbours.push_back(next);
    }
  }
  // The distribution after `steps` uniform swaps from state `from`.
  std::vector<double> After(std::size_t from, int steps) const {
    std::vector<double> p(states.size(), 0.0);
    p[from] = 1;
    for (int t = 0; t < steps; ++t) {
      std::vector<double> q(states.size(), 0.0);
      for (std::size_t s = 0; s < states.size(); ++s)
        for (const std::size_t y : neighbours[s]) q[y] += p[s] / static_cast<double>(neighbours[s].size());
      p = q;
    }
    return p;
  }
};

TEST(FixedFixed, MarginClassesHaveTheirKnownSizesAndCheckerboardCounts) {
  for (const ClassCase& c : kClasses) {
    const SwapGraph g(c);
    ASSERT_EQ(g.states.size(), c.size);
    for (std::size_t s = 0; s < g.states.size(); ++s) {
      // Every matrix of these classes can be swapped, and the chain counts
      // its checkerboard submatrices exactly as the brute-force search does.
      ASSERT_FALSE(g.neighbours[s].empty());
      EXPECT_EQ(SwapChain(g.states[s]).CheckerboardSubmatrices(), g.neighbours[s].size());
    }
  }
}

TEST(FixedFixed, SequentialSwapVisitsMatricesInProportionToTheirCheckerboards) {
  // The chain moves to each checkerboard's flip with chance 1/T(X), so it is
  // reversible with stationary weights proportional to T(X), not uniform.
  // Both ways of drawing a swap (the weighted pair sampler and the trials)
  // must give that chain. States recorded 25 swaps apart are close to
  // independent for classes of at most 117 matrices; the chi-square bound at
  // z = 4.75 (~1e-6) leaves room for what dependence remains, while the
  // uniform distribution lies beyond it.
  for (const ClassCase& c : kClasses) {
    const SwapGraph g(c);
    double total = 0;
    for (std::size_t s = 0; s < g.states.size(); ++s) total += static_cast<double>(g.neighbours[s].size());
    constexpr int samples = 30000;
    std::vector<double> expected(g.states.size());
    for (std::size_t s = 0; s < g.states.size(); ++s)
      expected[s] = samples * static_cast<double>(g.neighbours[s].size()) / total;
    const std::vector<double> uniform(g.states.size(), samples / static_cast<double>(g.states.size()));
    const double bound = support::ChiSquareBound(static_cast<int>(g.states.size()) - 1, 4.75);

    for (const bool by_trials : {false, true}) {
      SCOPED_TRACE(std::to_string(c.size) + (by_trials ? " matrices, trials" : " matrices, weighted pairs"));
      SwapChain chain(g.states.front());
      Incidence m = g.states.front();
      const TrialSwapper trials(m);
      RandomBits rng(2024);
      std::vector<double> counts(g.states.size(), 0.0);
      for (int t = 0; t < samples; ++t) {
        for (int skip = 0; skip < 25; ++skip) {
          if (by_trials) {
            trials.Swap(m, rng);
          } else {
            chain.Swap(rng);
          }
        }
        counts[g.index.at(Code(by_trials ? m : chain.Matrix()))] += 1;
      }
      EXPECT_LT(support::ChiSquare(counts, expected), bound);
      EXPECT_GT(support::ChiSquare(counts, uniform), bound);
    }
  }
}

TEST(FixedFixed, TrialsWithOneBoundForEveryPairKeepTheSameLaw) {
  // Matrices of more than 64 sites, or whose pair bounds add up to much, draw
  // uniform pairs against one bound instead of the pair table; small classes
  // take the table, so that way is forced here, and checked as above.
  for (const ClassCase& c : kClasses) {
    SCOPED_TRACE(std::to_string(c.size) + " matrices");
    const SwapGraph g(c);
    double total = 0;
    for (std::size_t s = 0; s < g.states.size(); ++s) total += static_cast<double>(g.neighbours[s].size());
    constexpr int samples = 30000;
    std::vector<double> expected(g.states.size());
    for (std::size_t s = 0; s < g.states.size(); ++s)
      expected[s] = samples * static_cast<double>(g.neighbours[s].size()) / total;
    Incidence m = g.states.front();
    const TrialSwapper trials(m, nullptr, false);
    RandomBits rng(2025);
    std::vector<double> counts(g.states.size(), 0.0);
    for (int t = 0; t < samples; ++t) {
      for (int skip = 0; skip < 25; ++skip) trials.Swap(m, rng);
      counts[g.index.at(Code(m))] += 1;
    }
    EXPECT_LT(support::ChiSquare(counts, expected),
              support::ChiSquareBound(static_cast<int>(g.states.size()) - 1, 4.75));
  }
}

TEST(FixedFixed, ChainTrialsKeepTheLawAndThePairTable) {
  // Between null matrices the chain may take its swaps by trials read off
  // the pair table; every few samples a weighted swap follows, which must
  // find the species' weights summed afresh. Same law and bound as above.
  for (const ClassCase& c : kClasses) {
    SCOPED_TRACE(std::to_string(c.size) + " matrices");
    const SwapGraph g(c);
    double total = 0;
    for (std::size_t s = 0; s < g.states.size(); ++s) total += static_cast<double>(g.neighbours[s].size());
    constexpr int samples = 30000;
    std::vector<double> expected(g.states.size());
    for (std::size_t s = 0; s < g.states.size(); ++s)
      expected[s] = samples * static_cast<double>(g.neighbours[s].size()) / total;
    SwapChain chain(g.states.front());
    const TrialSwapper trials(chain.Matrix(), nullptr, false);
    RandomBits rng(2026);
    std::vector<double> counts(g.states.size(), 0.0);
    for (int t = 0; t < samples; ++t) {
      for (int skip = 0; skip < 25; ++skip) chain.TrialSwap(trials, rng);
      if (t % 7 == 0) chain.Swap(rng);
      const std::size_t s = g.index.at(Code(chain.Matrix()));
      ASSERT_EQ(chain.CheckerboardSubmatrices(), g.neighbours[s].size());
      counts[s] += 1;
    }
    EXPECT_LT(support::ChiSquare(counts, expected),
              support::ChiSquareBound(static_cast<int>(g.states.size()) - 1, 4.75));
  }
  // Two words of species and of sites: the overlaps kept by trials equal a
  // fresh count.
  RandomBits make(33);
  SwapChain chain(support::RandomMatrix(70, 70, 0.3, make));
  const TrialSwapper trials(chain.Matrix(), nullptr, false);
  RandomBits rng(34);
  for (int s = 0; s < 5000; ++s) chain.TrialSwap(trials, rng);
  const SwapChain fresh(chain.Matrix());
  EXPECT_EQ(chain.CheckerboardSubmatrices(), fresh.CheckerboardSubmatrices());
  EXPECT_EQ(chain.CheckerboardPairs(), fresh.CheckerboardPairs());
}

TEST(FixedFixed, TrialsOnOccupiedCellsKeepTheLaw) {
  // The burn-in of matrices beyond the pair table draws pairs of occupied
  // cells; the law does not depend on the size, so the small classes check
  // it, and a matrix of two words per species checks that the margins hold.
  for (const ClassCase& c : kClasses) {
    SCOPED_TRACE(std::to_string(c.size) + " matrices");
    const SwapGraph g(c);
    double total = 0;
    for (std::size_t s = 0; s < g.states.size(); ++s) total += static_cast<double>(g.neighbours[s].size());
    constexpr int samples = 30000;
    std::vector<double> expected(g.states.size());
    for (std::size_t s = 0; s < g.states.size(); ++s)
      expected[s] = samples * static_cast<double>(g.neighbours[s].size()) / total;
    Incidence m = g.states.front();
    CellSwapper cells(m);
    ASSERT_TRUE(cells.Usable());
    RandomBits rng(2027);
    std::vector<double> counts(g.states.size(), 0.0);
    for (int t = 0; t < samples; ++t) {
      cells.Swaps(m, rng, 25, nullptr);
      counts[g.index.at(Code(m))] += 1;
    }
    EXPECT_LT(support::ChiSquare(counts, expected),
              support::ChiSquareBound(static_cast<int>(g.states.size()) - 1, 4.75));
  }
  RandomBits make(35);
  const Incidence start = support::RandomMatrix(100, 100, 0.5, make);
  Incidence m = start;
  CellSwapper cells(m);
  RandomBits rng(36);
  cells.Swaps(m, rng, 30000, nullptr);
  EXPECT_EQ(m.RowTotals(), start.RowTotals());
  EXPECT_EQ(m.ColumnTotals(), start.ColumnTotals());
  EXPECT_NE(m, start);
}

TEST(FixedFixed, SequentialSwapBurnsInOnTheTurnedMatrixWithTheSameLaw) {
  // 5 species x 4 sites: the sites' pair bounds add up to 23, the species'
  // to 25, so the burn-in runs its trials on the turned matrix. The first
  // null matrix, 3 burn-in swaps and one more from the matrix with the
  // most checkerboards, must follow the exact law of 4 uniform swaps (few,
  // so that a swap too many or too few shows).
  const SwapGraph g(ClassCase{{2, 2, 2, 1, 1}, {3, 2, 2, 1}, 117});
  ASSERT_EQ(g.states.size(), 117u);
  std::size_t start = 0;
  for (std::size_t s = 0; s < g.states.size(); ++s)
    if (g.neighbours[s].size() > g.neighbours[start].size()) start = s;
  const std::vector<double> exact = g.After(start, 4);
  RandomBits rng(78);
  constexpr int samples = 20000;
  std::vector<double> counts(g.states.size(), 0.0);
  for (int t = 0; t < samples; ++t) {
    SequentialSwapModel model(g.states[start], 3);
    model.Draw(rng);
    counts[g.index.at(Code(model.Current()))] += 1;
  }
  std::vector<double> seen, wanted;
  for (std::size_t s = 0; s < exact.size(); ++s) {
    if (exact[s] < 1e-12) {
      EXPECT_EQ(counts[s], 0) << "state " << s;
    } else {
      seen.push_back(counts[s]);
      wanted.push_back(exact[s] * samples);
    }
  }
  EXPECT_LT(support::ChiSquare(seen, wanted), support::ChiSquareBound(static_cast<int>(seen.size()) - 1, 4.75));
}

TEST(FixedFixed, ChainsSideBySideKeepTheExactLawOfFewSwaps) {
  // Sixteen chains at a time from the matrix with the most checkerboards,
  // 3 swaps each, one chain on the turned class: after the swaps each must
  // follow the exact law of 3 uniform swaps, which a rank drawn wrongly, a
  // trial kept once too often or a lane's flip landing on another would
  // change.
  const SwapGraph g(ClassCase{{2, 2, 1, 1}, {2, 2, 1, 1}, 34});
  std::size_t start = 0;
  for (std::size_t s = 0; s < g.states.size(); ++s)
    if (g.neighbours[s].size() > g.neighbours[start].size()) start = s;
  const std::vector<double> exact = g.After(start, 3);
  const TrialSwapper trials(g.states[start]);
  ASSERT_TRUE(trials.UsesPairTable());
  constexpr int lanes = 16;
  constexpr int batches = 1500;
  std::vector<double> counts(g.states.size(), 0.0);
  std::vector<RandomBits> streams;
  for (int i = 0; i < lanes; ++i) streams.emplace_back(900 + i);
  for (int b = 0; b < batches; ++b) {
    std::vector<Incidence> m(lanes, g.states[start]);
    std::vector<TrialSwapper::Lane> work;
    for (int i = 0; i < lanes; ++i) work.push_back({&trials, &m[i], &streams[i], 3, nullptr, false});
    TrialSwapper::SwapsSideBySide(work);
    for (const Incidence& x : m) counts[g.index.at(Code(x))] += 1;
  }
  std::vector<double> seen, wanted;
  for (std::size_t s = 0; s < exact.size(); ++s) {
    if (exact[s] < 1e-12) {
      EXPECT_EQ(counts[s], 0) << "state " << s;
    } else {
      seen.push_back(counts[s]);
      wanted.push_back(exact[s] * lanes * batches);
    }
  }
  EXPECT_LT(support::ChiSquare(seen, wanted), support::ChiSquareBound(static_cast<int>(seen.size()) - 1, 4.75));
}

TEST(FixedFixed, ChainsSideBySideDrawOnlyFromTheirOwnStreams) {
  // Chains of three shapes (up to 16 sites, beyond 16, the turned way),
  // of lengths from none to several runs between two ticks, made side by
  // side: each must end exactly where it ends alone, in its matrix, in its
  // stream and in the work it counted, so no chain borrows a word of
  // another's.
  struct Chain {
    Incidence Start;
    std::int64_t Swaps;
  };
  RandomBits make(61);
  std::vector<Chain> chains;
  const std::pair<int, int> shapes[] = {{10, 10}, {6, 40}, {12, 16}};
  const std::int64_t lengths[] = {0, 1, 7, 2500, 40, 30000};
  for (const auto& [rows, cols] : shapes)
    for (const std::int64_t swaps : lengths) chains.push_back({support::RandomMatrix(rows, cols, 0.5, make), swaps});
  std::vector<TrialSwapper> trials;
  for (const Chain& c : chains) {
    trials.emplace_back(c.Start);
    ASSERT_TRUE(trials.back().UsesPairTable());
    ASSERT_GT(SwapChain(c.Start).CheckerboardSubmatrices(), 0u);
  }
  std::vector<Incidence> together;
  std::vector<RandomBits> streams;
  std::vector<StopCheck> checks(chains.size());
  for (std::size_t i = 0; i < chains.size(); ++i) {
    together.push_back(chains[i].Start);
    streams.emplace_back(100 + i);
  }
  std::vector<TrialSwapper::Lane> work;
  for (std::size_t i = 0; i < chains.size(); ++i)
    work.push_back({&trials[i], &together[i], &streams[i], chains[i].Swaps, &checks[i], false});
  int polls = 0;
  testing::ObservePolls([](void* count) { ++*static_cast<int*>(count); }, &polls);
  TrialSwapper::SwapsSideBySide(work);
  const int pollsTogether = std::exchange(polls, 0);
  for (std::size_t i = 0; i < chains.size(); ++i) {
    SCOPED_TRACE("chain " + std::to_string(i));
    Incidence alone = chains[i].Start;
    RandomBits stream(100 + i);
    StopCheck check;
    trials[i].Swaps(alone, stream, chains[i].Swaps, &check);
    EXPECT_EQ(together[i], alone);
    EXPECT_EQ(streams[i].Next(), stream.Next()) << "the chain used another number of random words";
    EXPECT_FALSE(work[i].Stopped);
    EXPECT_EQ(together[i].RowTotals(), chains[i].Start.RowTotals());
    EXPECT_EQ(together[i].ColumnTotals(), chains[i].Start.ColumnTotals());
  }
  testing::ObservePolls(nullptr, nullptr);
  // The work counted, seen through the polls it caused.
  EXPECT_GT(pollsTogether, 0);
  EXPECT_EQ(pollsTogether, polls);
}

TEST(FixedFixed, AChainThatCanNoLongerKeepATrialFailsInsteadOfLooping) {
  // Trials made for one matrix run on a matrix of the same shape without a
  // checkerboard, as a corrupt state would: no trial can ever be kept. Every
  // way of making trials must end with an error, in every build.
  const Incidence swappable = FromRows({"1100", "0011", "1010", "0101"});
  const Incidence stuck = FromRows({"1100", "1100", "1100", "1100"});
  const TrialSwapper byTable(swappable);
  ASSERT_TRUE(byTable.UsesPairTable());
  const TrialSwapper uniform(swappable, nullptr, false);
  RandomBits rng(3);
  Incidence m = stuck;
  EXPECT_THROW(byTable.Swaps(m, rng, 5, nullptr), std::logic_error);
  EXPECT_THROW(uniform.Swaps(m, rng, 5, nullptr), std::logic_error);
  SwapChain chain(stuck);
  EXPECT_THROW(chain.TrialSwap(uniform, rng), std::logic_error);
  std::vector<Incidence> lanes(3, swappable);
  lanes[1] = stuck;
  std::vector<RandomBits> streams(3, RandomBits(4));
  std::vector<TrialSwapper::Lane> work;
  for (int i = 0; i < 3; ++i) work.push_back({&byTable, &lanes[i], &streams[i], 1000, nullptr, false});
  EXPECT_THROW(TrialSwapper::SwapsSideBySide(work), std::logic_error);
  Incidence cells = stuck;
  CellSwapper cellTrials(stuck);
  EXPECT_THROW(cellTrials.Swaps(cells, rng, 5, nullptr), std::logic_error);
}

TEST(FixedFixed, IndependentSwapDrawsTheDistributionOfAThousandSwapsFromTheObservedMatrix) {
  for (const ClassCase& c : {kClasses[0], kClasses[1]}) {
    SCOPED_TRACE(c.size);
    const SwapGraph g(c);
    const std::size_t start = g.states.size() / 2;
    const std::vector<double> exact = g.After(start, IndependentSwapModel::DefaultSwaps);
    IndependentSwapModel model(g.states[start]);
    RandomBits rng(77);
    constexpr int samples = 4000;
    std::vector<double> counts(g.states.size(), 0.0);
    for (int t = 0; t < samples; ++t) {
      model.Draw(rng);
      counts[g.index.at(Code(model.Current()))] += 1;
    }
    // A class whose swap graph is bipartite leaves half its matrices out of
    // reach after an even number of swaps: those must never be drawn.
    std::vector<double> seen, wanted;
    for (std::size_t s = 0; s < exact.size(); ++s) {
      if (exact[s] < 1e-12) {
        EXPECT_EQ(counts[s], 0) << "state " << s;
      } else {
        seen.push_back(counts[s]);
        wanted.push_back(exact[s] * samples);
      }
    }
    EXPECT_LT(support::ChiSquare(seen, wanted), support::ChiSquareBound(static_cast<int>(seen.size()) - 1, 4.75));
  }
}

TEST(FixedFixed, KnightsTourReachesEveryMatrixOfTheClass) {
  for (const ClassCase& c : kClasses) {
    SCOPED_TRACE(c.size);
    const std::vector<Incidence> states = MarginClass(c.rows, c.cols);
    KnightsTourModel model(states.back());
    RandomBits rng(8);
    std::map<std::uint64_t, int> visits;
    for (int t = 0; t < 30 * static_cast<int>(states.size()); ++t) {
      ASSERT_TRUE(model.Draw(rng));
      ASSERT_EQ(model.Current().RowTotals(), states.back().RowTotals());
      ASSERT_EQ(model.Current().ColumnTotals(), states.back().ColumnTotals());
      ++visits[Code(model.Current())];
    }
    EXPECT_EQ(visits.size(), states.size());
  }
}

TEST(FixedFixed, KnightsTourGivesUpOnAMatrixAloneInItsClass) {
  // A perfectly nested matrix (species i at sites 0..i) is the only matrix
  // with its margins; filling it by random picks with single retreats is
  // hopeless at 30 x 30, and easy at 3 x 3.
  const auto nested = [](int size) {
    Incidence m(size, size);
    for (int i = 0; i < size; ++i)
      for (int k = 0; k <= i; ++k) m.Set(i, size - 1 - k, true);
    return m;
  };
  RandomBits rng(1);
  KnightsTourModel small(nested(3));
  ASSERT_TRUE(small.Draw(rng));
  EXPECT_EQ(small.Current(), nested(3));
  KnightsTourModel large(nested(30));
  EXPECT_FALSE(large.Draw(rng));
  EXPECT_EQ(large.Picks(), 1000 * 465);
}

TEST(FixedFixed, SwapChainKeepsItsPairBookkeepingExact) {
  // 70 species x 70 sites: rows and columns both span two words. After many
  // swaps the overlaps kept up swap by swap must equal a fresh count.
  RandomBits make(31);
  const Incidence start = support::RandomMatrix(70, 70, 0.3, make);
  SwapChain chain(start);
  RandomBits rng(32);
  IndexEvaluator evaluator;
  for (int round = 0; round < 5; ++round) {
    for (int s = 0; s < 2000; ++s) chain.Swap(rng);
    const Incidence& m = chain.Matrix();
    ASSERT_EQ(m.RowTotals(), start.RowTotals());
    ASSERT_EQ(m.ColumnTotals(), start.ColumnTotals());
    const SwapChain fresh(m);
    EXPECT_EQ(chain.CheckerboardSubmatrices(), fresh.CheckerboardSubmatrices());
    EXPECT_EQ(chain.CheckerboardPairs(), fresh.CheckerboardPairs());
    const Fraction c_score = *evaluator.Evaluate(IndexKind::CScore, m);
    EXPECT_EQ(Compare(Fraction{chain.CheckerboardSubmatrices(), chain.OccurringPairs()}, c_score), 0);
    EXPECT_EQ(chain.CheckerboardPairs(), evaluator.Evaluate(IndexKind::Checkerboards, m)->Num);
  }
  EXPECT_NE(chain.Matrix(), start);

  Incidence tried = start;
  const TrialSwapper trials(tried);
  EXPECT_TRUE(trials.Pays(chain.CheckerboardSubmatrices()));
  for (int s = 0; s < 10000; ++s) trials.Swap(tried, rng);
  EXPECT_EQ(tried.RowTotals(), start.RowTotals());
  EXPECT_EQ(tried.ColumnTotals(), start.ColumnTotals());
  EXPECT_NE(tried, start);
}

}  // namespace
}  // namespace tessil::cooc
