#include "NullModels.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <stdexcept>

namespace tessil::cooc {
namespace {

std::size_t At(int i) { return static_cast<std::size_t>(i); }

// Integer weights in a Fenwick tree, for successive sampling: draw in
// proportion to the weights of what is left, take it out, draw again.
class WeightedUrn {
 public:
  WeightedUrn(const std::vector<std::uint64_t>& weights, StopCheck* check)
      : weights_(weights), tree_(weights.size() + 1, 0), size_(static_cast<int>(weights.size())) {
    for (int i = 1; i <= size_; ++i) {
      if ((i & 4095) == 0) Tick(check, 4096 * 4);
      tree_[At(i)] += weights_[At(i - 1)];
      const int parent = i + (i & -i);
      if (parent <= size_) {
        tree_[At(parent)] += tree_[At(i)];
      }
    }
    top_ = size_ == 0 ? 0 : static_cast<int>(std::bit_floor(static_cast<unsigned>(size_)));
    for (const std::uint64_t w : weights_) {
      total_ += w;
    }
    left_ = total_;
  }

  // An index drawn with chance weight / (weight left); needs weight left.
  int Draw(RandomBits& rng) const {
    assert(left_ > 0 && "drawn from an urn with no weight left");
    std::uint64_t u = rng.Below(left_);
    int pos = 0;
    for (int step = top_; step > 0; step >>= 1) {
      if (pos + step <= size_ && tree_[At(pos + step)] <= u) {
        pos += step;
        u -= tree_[At(pos)];
      }
    }
    // Only a member with weight is ever drawn.
    assert(pos < size_ && weights_[At(pos)] > 0);
    return pos;
  }
  void Take(int index) {
    assert(weights_[At(index)] <= left_);
    Add(index, std::uint64_t{0} - weights_[At(index)]);
    left_ -= weights_[At(index)];
    taken_.push_back(index);
  }
  // Puts every taken index back.
  void Refill(StopCheck* check) {
    const std::int64_t work = 4 * std::bit_width(static_cast<unsigned>(size_)) + 8;
    for (const int index : taken_) {
      Add(index, weights_[At(index)]);
      Tick(check, work);
    }
    taken_.clear();
    left_ = total_;
  }

 private:
  // Modular addition, so a removal is the addition of the weight's negative.
  void Add(int index, std::uint64_t delta) {
    for (int i = index + 1; i <= size_; i += i & -i) {
      tree_[At(i)] += delta;
    }
  }
  std::vector<std::uint64_t> weights_;
  std::vector<std::uint64_t> tree_;
  std::vector<int> taken_;
  int size_ = 0;
  int top_ = 0;
  std::uint64_t total_ = 0;
  std::uint64_t left_ = 0;
};

// Floyd's algorithm: `count` distinct members of {0, ..., size - 1}, every
// subset of that size equally likely, with exactly `count` draws.
template <typename IsMarked, typename Mark>
void FloydSample(RandomBits& rng, std::int64_t size, std::int64_t count, IsMarked&& isMarked, Mark&& mark) {
  for (std::int64_t j = size - count; j < size; ++j) {
    const auto t = static_cast<std::int64_t>(rng.Below(static_cast<std::uint64_t>(j + 1)));
    mark(isMarked(t) ? j : t);
  }
}

// Every set of `count` sites out of at most SubsetSites, listed by count:
// a species' row under rows fixed and sites equiprobable is then one
// uniform draw from the list of its total.
class SiteSubsets {
 public:
  static constexpr int SubsetSites = 12;
  SiteSubsets() {
    for (int n = 1; n <= SubsetSites; ++n) {
      for (int count = 0; count <= n; ++count) {
        start_[n][count] = static_cast<std::uint32_t>(masks_.size());
        for (std::uint32_t mask = 0; mask < (1u << n); ++mask) {
          if (std::popcount(mask) == count) {
            masks_.push_back(static_cast<std::uint16_t>(mask));
          }
        }
      }
      start_[n][n + 1] = static_cast<std::uint32_t>(masks_.size());
    }
  }
  std::uint64_t Count(int n, int count) const { return start_[n][count + 1] - start_[n][count]; }
  std::uint64_t At(int n, int count, std::uint64_t index) const {
    return masks_[static_cast<std::size_t>(start_[n][count] + index)];
  }

 private:
  std::vector<std::uint16_t> masks_;
  std::uint32_t start_[SubsetSites + 1][SubsetSites + 2] = {};
};

const SiteSubsets& Subsets() {
  static const SiteSubsets subsets;
  return subsets;
}

// Random bits, each set with chance `quarters` / 4 (1, 2 or 3).
std::uint64_t RandomWord(RandomBits& rng, int quarters) {
  const std::uint64_t x = rng.Next();
  if (quarters == 1) {
    return x & rng.Next();
  }
  if (quarters == 3) {
    return x | rng.Next();
  }
  return x;
}

// Whether `count` of `n` equiprobable sites are cheaper drawn as a random
// bitset trimmed or topped up to `count` than one by one (Floyd), and with
// which chance per bit (in quarters) when they are.
int BitsetQuarters(int n, int count) {
  const int words = (n + 63) / 64;
  const int draws = std::min(count, n - count);
  int best = 0;
  double bestCost = draws;
  for (int quarters = 1; quarters <= 3; ++quarters) {
    const double q = quarters / 4.0;
    const double sd = std::sqrt(n * q * (1 - q));
    // Up to two words the nearest of six or seven candidates is kept.
    const double off =
        words <= 2 ? std::max(0.0, std::abs(q * n - count) - sd) + 0.3 * sd : std::abs(q * n - count) + 0.8 * sd;
    const double cost = words * (words <= 2 ? 3 : quarters == 2 ? 1 : 2) + 2 * off;
    if (cost < bestCost) {
      best = quarters;
      bestCost = cost;
    }
  }
  return best;
}

// The site of `rank` among the set bits of `bits` (words words).
int SelectSet(const std::uint64_t* bits, int words, std::uint64_t rank) {
  if (words <= 2) {
    // Without a branch on where the rank falls, which no predictor can know.
    const auto first = static_cast<std::uint64_t>(std::popcount(bits[0]));
    const int w = words == 2 && rank >= first ? 1 : 0;
    return w * 64 + SelectBit(bits[w], rank - (w == 1 ? first : 0));
  }
  for (int w = 0;; ++w) {
    const auto count = static_cast<std::uint64_t>(std::popcount(bits[w]));
    if (rank < count || w + 1 == words) {
      return w * 64 + SelectBit(bits[w], rank);
    }
    rank -= count;
  }
}

// `count` distinct sites of `n`, every set equally likely: a random bitset
// whose bits are set independently with one chance, then set bits cleared
// or clear bits set, each uniform among its kind, until `count` remain.
// Bitset and corrections treat every site alike, so the law of the result
// is unchanged by any permutation of the sites; it lies on the sets of
// `count` sites, so it is uniform over them.
//
// Up to 128 sites, three random bitsets a, b, c (bits at 1/2) give several
// candidates of the chosen density: a, b, c and their exclusive ors at 1/2,
// pairwise ands at 1/4, pairwise ors at 3/4. Each candidate's bits are
// independent with that chance, and the one kept, the first whose count is
// nearest `count`, is chosen by the counts alone, so the choice too treats
// every site alike, and few corrections remain.
std::uint64_t Candidate(int t, int quarters, std::uint64_t a, std::uint64_t b, std::uint64_t c) {
  static constexpr int first[6] = {0, 0, 1, 0, 0, 1};
  static constexpr int second[6] = {1, 2, 2, 1, 2, 2};
  const std::uint64_t x[3] = {a, b, c};
  if (quarters == 2) {
    static constexpr std::uint64_t picks[7] = {1, 2, 4, 3, 5, 6, 7};
    return ((picks[t] & 1) != 0 ? a : 0) ^ ((picks[t] & 2) != 0 ? b : 0) ^ ((picks[t] & 4) != 0 ? c : 0);
  }
  // The last three mix in the third bitset: (x ^ y) & z has the chance of x & y.
  const std::uint64_t u = t < 3 ? x[first[t]] : x[first[t]] ^ x[second[t]];
  const std::uint64_t v = t < 3 ? x[second[t]] : x[3 - first[t] - second[t]];
  return quarters == 1 ? u & v : u | v;
}

void DrawBitset(RandomBits& rng, std::uint64_t* row, int n, int count, int quarters) {
  const int words = (n + 63) / 64;
  const auto valid = [n](int w) {
    const int bits = std::min(64, n - 64 * w);
    return bits == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1;
  };
  int have = 0;
  if (words <= 2) {
    std::uint64_t base[3][2] = {};
    for (auto& bitset : base) {
      for (int w = 0; w < words; ++w) {
        bitset[w] = rng.Next() & valid(w);
      }
    }
    int nearest = n + 1;
    for (int t = 0; t < (quarters == 2 ? 7 : 6) && nearest > 0; ++t) {
      const std::uint64_t w0 = Candidate(t, quarters, base[0][0], base[1][0], base[2][0]);
      const std::uint64_t w1 = Candidate(t, quarters, base[0][1], base[1][1], base[2][1]);
      const int got = std::popcount(w0) + std::popcount(w1);
      if (std::abs(got - count) < nearest) {
        nearest = std::abs(got - count);
        have = got;
        row[0] = w0;
        if (words == 2) {
          row[1] = w1;
        }
      }
    }
  } else {
    for (int w = 0; w < words; ++w) {
      row[w] = RandomWord(rng, quarters) & valid(w);
      have += std::popcount(row[w]);
    }
  }
  for (; have > count; --have) {
    const int k = SelectSet(row, words, rng.Below(static_cast<std::uint64_t>(have)));
    row[k >> 6] &= ~(std::uint64_t{1} << (k & 63));
  }
  if (have < count) {
    // Complement the row, clear what is too many there, complement back.
    for (int w = 0; w < words; ++w) {
      row[w] = ~row[w] & valid(w);
    }
    for (int lack = n - have; lack > n - count; --lack) {
      const int k = SelectSet(row, words, rng.Below(static_cast<std::uint64_t>(lack)));
      row[k >> 6] &= ~(std::uint64_t{1} << (k & 63));
    }
    for (int w = 0; w < words; ++w) {
      row[w] = ~row[w] & valid(w);
    }
  }
}

std::vector<std::uint64_t> Weights(const std::vector<int>& totals, Margin margin) {
  std::vector<std::uint64_t> weights(totals.size(), 1);
  if (margin == Margin::Proportional) {
    std::transform(totals.begin(), totals.end(), weights.begin(), [](int t) { return static_cast<std::uint64_t>(t); });
  }
  return weights;
}

class MarginSampler final : public NullModel {
 public:
  MarginSampler(const Incidence& observed, Margin rows, Margin cols, StopCheck* check)
      : NullModel(check),
        matrix_(observed.Rows(), observed.Cols()),
        rows_(rows),
        cols_(cols),
        rowTotals_(observed.RowTotals()),
        colTotals_(observed.ColumnTotals()),
        fill_(observed.Fill()) {
    if (rows_ == Margin::Fixed) {
      if (cols_ == Margin::Proportional) {
        urn_.emplace(Weights(colTotals_, cols_), check_);
      } else {
        rowQuarters_.resize(rowTotals_.size());
        for (std::size_t i = 0; i < rowTotals_.size(); ++i) {
          rowQuarters_[i] = BitsetQuarters(observed.Cols(), rowTotals_[i]);
        }
      }
    } else if (cols_ == Margin::Fixed) {
      if (rows_ == Margin::Proportional) {
        urn_.emplace(Weights(rowTotals_, rows_), check_);
      }
    } else if (rows_ == Margin::Proportional || cols_ == Margin::Proportional) {
      const std::vector<std::uint64_t> wRows = Weights(rowTotals_, rows_);
      const std::vector<std::uint64_t> wCols = Weights(colTotals_, cols_);
      std::vector<std::uint64_t> cells;
      cells.reserve(wRows.size() * wCols.size());
      for (const std::uint64_t wr : wRows) {
        for (const std::uint64_t wc : wCols) {
          cells.push_back(wr * wc);
        }
        Tick(check_, static_cast<std::int64_t>(wCols.size()) + 1);
      }
      urn_.emplace(cells, check_);
    }
  }

  bool Draw(RandomBits& rng) override {
    matrix_.Clear(check_);
    if (rows_ == Margin::Fixed) {
      DrawRowsFixed(rng);
    } else if (cols_ == Margin::Fixed) {
      DrawColumnsFixed(rng);
    } else {
      DrawCells(rng);
    }
    return true;
  }
  const Incidence& Current() const override { return matrix_; }

 private:
  void DrawRowsFixed(RandomBits& rng) {
    const int n = matrix_.Cols();
    if (!urn_ && n >= 1 && n <= SiteSubsets::SubsetSites) {
      // Each species' row is one draw from the list of its total's site
      // sets, two species to a random word.
      const SiteSubsets& subsets = Subsets();
      Tick(check_, 8 * std::int64_t{matrix_.Rows()} + 4);
      const int rows = matrix_.Rows();
      for (int i = 0; i < rows; i += 2) {
        const int j = std::min(i + 1, rows - 1);
        const int ri = rowTotals_[At(i)], rj = rowTotals_[At(j)];
        std::uint64_t x = 0, y = 0;
        rng.TwoBelow(subsets.Count(n, ri), subsets.Count(n, rj), x, y);
        matrix_.MutableRow(i)[0] = subsets.At(n, ri, x);
        if (j != i) {
          matrix_.MutableRow(j)[0] = subsets.At(n, rj, y);
        }
      }
      return;
    }
    for (int i = 0; i < matrix_.Rows(); ++i) {
      const int r = rowTotals_[At(i)];
      Tick(check_, std::int64_t{r} * DrawWork() + matrix_.WordsPerRow() + 4);
      if (urn_) {
        for (int t = 0; t < r; ++t) {
          const int k = urn_->Draw(rng);
          urn_->Take(k);
          matrix_.Set(i, k, true);
        }
        urn_->Refill(check_);
      } else if (const int quarters = rowQuarters_[At(i)]; quarters != 0) {
        DrawBitset(rng, matrix_.MutableRow(i), n, r, quarters);
      } else if (2 * r <= n) {
        FloydSample(
            rng, n, r, [&](std::int64_t k) { return matrix_.Get(i, static_cast<int>(k)); },
            [&](std::int64_t k) { matrix_.Set(i, static_cast<int>(k), true); });
      } else {
        // A crowded species: draw the sites it lacks instead.
        for (int k = 0; k < n; ++k) {
          matrix_.Set(i, k, true);
        }
        Tick(check_, std::int64_t{n} * (DrawWork() + 1));
        FloydSample(
            rng, n, n - r, [&](std::int64_t k) { return !matrix_.Get(i, static_cast<int>(k)); },
            [&](std::int64_t k) { matrix_.Set(i, static_cast<int>(k), false); });
      }
    }
  }

  void DrawColumnsFixed(RandomBits& rng) {
    const int species = matrix_.Rows();
    for (int k = 0; k < matrix_.Cols(); ++k) {
      const int c = colTotals_[At(k)];
      Tick(check_, std::int64_t{c} * DrawWork() + 4);
      if (urn_) {
        for (int t = 0; t < c; ++t) {
          const int i = urn_->Draw(rng);
          urn_->Take(i);
          matrix_.Set(i, k, true);
        }
        urn_->Refill(check_);
      } else {
        FloydSample(
            rng, species, c, [&](std::int64_t i) { return matrix_.Get(static_cast<int>(i), k); },
            [&](std::int64_t i) { matrix_.Set(static_cast<int>(i), k, true); });
      }
    }
  }

  void DrawCells(RandomBits& rng) {
    const std::int64_t n = matrix_.Cols();
    const auto cell = [&](std::int64_t t) { return std::pair{static_cast<int>(t / n), static_cast<int>(t % n)}; };
    if (urn_) {
      for (std::int64_t t = 0; t < fill_; ++t) {
        const int index = urn_->Draw(rng);
        urn_->Take(index);
        const auto [i, k] = cell(index);
        matrix_.Set(i, k, true);
        Tick(check_, DrawWork());
      }
      urn_->Refill(check_);
    } else {
      FloydSample(
          rng, static_cast<std::int64_t>(matrix_.Rows()) * n, fill_,
          [&](std::int64_t t) {
            const auto [i, k] = cell(t);
            return matrix_.Get(i, k);
          },
          [&](std::int64_t t) {
            const auto [i, k] = cell(t);
            matrix_.Set(i, k, true);
            Tick(check_, DrawWork());
          });
    }
  }

  // One draw from the urn costs a descent of its tree, twice; Floyd's draw
  // a few operations.
  std::int64_t DrawWork() const { return urn_ ? 4 * 32 + 8 : 8; }

  Incidence matrix_;
  Margin rows_;
  Margin cols_;
  std::vector<int> rowTotals_;
  std::vector<int> colTotals_;
  std::int64_t fill_;
  std::optional<WeightedUrn> urn_;
  // Under rows fixed and sites equiprobable: for each species, 0 to draw its
  // sites one by one, else the chance per bit (in quarters) of its bitset.
  std::vector<int> rowQuarters_;
};

std::optional<Fraction> ChainIndex(const SwapChain& chain, IndexKind kind, StopCheck* check) {
  if (chain.OccurringPairs() == 0) {
    return std::nullopt;
  }
  if (kind == IndexKind::CScore) {
    return Fraction{chain.CheckerboardSubmatrices(), chain.OccurringPairs()};
  }
  if (kind == IndexKind::Checkerboards) {
    return Fraction{chain.CheckerboardPairs(check), 1};
  }
  return std::nullopt;
}

void Enlist(std::vector<int>& list, std::vector<int>& place, int member) {
  assert(place[At(member)] == -1 && "enlisted twice");
  place[At(member)] = static_cast<int>(list.size());
  list.push_back(member);
}

void Delist(std::vector<int>& list, std::vector<int>& place, int member) {
  const int hole = place[At(member)];
  assert(hole >= 0 && hole < static_cast<int>(list.size()) && list[At(hole)] == member);
  list[At(hole)] = list.back();
  place[At(list.back())] = hole;
  list.pop_back();
  place[At(member)] = -1;
}

}  // namespace

std::unique_ptr<NullModel> MakeMarginSampler(const Incidence& observed, Margin rows, Margin cols, StopCheck* check) {
  return std::make_unique<MarginSampler>(observed, rows, cols, check);
}

SequentialSwapModel::SequentialSwapModel(const Incidence& observed, int burnIn, StopCheck* check)
    : NullModel(check), chain_(observed, check), burnIn_(burnIn) {
  if (chain_.CheckerboardSubmatrices() == 0) {
    throw std::invalid_argument("a matrix without a checkerboard cannot be swapped");
  }
}

void SequentialSwapModel::PlanBurnIn() {
  // The burn-in computes no index, so where trials are cheap it keeps no
  // bookkeeping and the chain's counts are taken afresh at its end.
  TrialSwapper trials(chain_.Matrix(), check_);
  const std::uint64_t checkerboards = chain_.CheckerboardSubmatrices();
  // Trials run on whichever way round wastes fewer of them: the pair
  // bounds of the sites may add up to less than those of the species.
  // Only small matrices are turned, where the pair table can serve the
  // sites (at most 64 species) and the copy costs next to nothing.
  const bool small = chain_.Matrix().Rows() <= 64 && chain_.Matrix().Cols() <= 256;
  Incidence turned = small ? Transposed(chain_.Matrix(), check_) : Incidence();
  TrialSwapper turnedTrials(turned, check_);
  const bool turn = small && turnedTrials.TrialsPerSwap(checkerboards) < trials.TrialsPerSwap(checkerboards);
  const double pairTrials = (turn ? turnedTrials : trials).TrialsPerSwap(checkerboards);
  // A trial on cells costs about half one on a pair of species without
  // the pair table (no popcount, and a kept one needs no site selected),
  // but more than one with it.
  const bool byTable = (turn ? turnedTrials : trials).UsesPairTable();
  CellSwapper cells(byTable ? Incidence() : chain_.Matrix(), check_);
  const double cellTrials = cells.Usable() ? cells.TrialsPerSwap(checkerboards) : 0.0;
  if (cells.Usable() && cellTrials < 8.0 + chain_.Matrix().Rows() && cellTrials < 2.0 * pairTrials) {
    burnMatrix_.Assign(chain_.Matrix(), check_);
    burnCells_.emplace(std::move(cells));
    way_ = BurnIn::ByCells;
  } else if (trials.Pays(checkerboards)) {
    if (turn) {
      burnMatrix_ = std::move(turned);
      burnTrials_.emplace(std::move(turnedTrials));
    } else {
      burnMatrix_.Assign(chain_.Matrix(), check_);
      burnTrials_.emplace(std::move(trials));
    }
    turned_ = turn;
    way_ = BurnIn::ByTrials;
  } else {
    way_ = BurnIn::ByWeights;
  }
}

std::optional<TrialSwapper::Lane> SequentialSwapModel::BurnInLane(RandomBits& rng) {
  if (way_ == BurnIn::Unplanned) {
    PlanBurnIn();
  }
  if (way_ != BurnIn::ByTrials || !burnTrials_->UsesPairTable() || burnMatrix_.WordsPerRow() != 1) {
    return std::nullopt;
  }
  way_ = BurnIn::SwapsLent;
  return TrialSwapper::Lane{&*burnTrials_, &burnMatrix_, &rng, burnIn_, check_};
}

bool SequentialSwapModel::Draw(RandomBits& rng) {
  if (way_ != BurnIn::Done) {
    if (way_ == BurnIn::Unplanned) {
      PlanBurnIn();
    }
    switch (way_) {
      case BurnIn::ByCells:
        burnCells_->Swaps(burnMatrix_, rng, burnIn_, check_);
        break;
      case BurnIn::ByTrials:
        burnTrials_->Swaps(burnMatrix_, rng, burnIn_, check_);
        break;
      case BurnIn::ByWeights: {
        const std::int64_t work = chain_.SwapWork();
        for (int s = 0; s < burnIn_; ++s) {
          chain_.Swap(rng);
          Tick(check_, work);
        }
        break;
      }
      case BurnIn::SwapsLent:  // made by the caller
      case BurnIn::Unplanned:
      case BurnIn::Done:
        break;
    }
    if (way_ != BurnIn::ByWeights) {
      chain_ = SwapChain(turned_ ? Transposed(burnMatrix_, check_) : burnMatrix_, check_);
    }
    burnMatrix_ = Incidence();
    burnTrials_.reset();
    burnCells_.reset();
    way_ = BurnIn::Done;
    // Between null matrices the index is read from the pair table, which
    // trials keep for less than the species' weights cost where they pay.
    TrialSwapper chainTrials(chain_.Matrix(), check_, false);
    if (chainTrials.Pays(chain_.CheckerboardSubmatrices())) {
      chainTrials_.emplace(std::move(chainTrials));
    }
  }
  if (chainTrials_) {
    chain_.TrialSwap(*chainTrials_, rng);
  } else {
    chain_.Swap(rng);
  }
  Tick(check_, chain_.SwapWork());
  return true;
}

std::optional<Fraction> SequentialSwapModel::TrackedIndex(IndexKind kind) const {
  return ChainIndex(chain_, kind, check_);
}

IndependentSwapModel::IndependentSwapModel(const Incidence& observed, int swaps, StopCheck* check)
    : NullModel(check),
      observed_(observed),
      start_(observed, check),
      chain_(start_),
      matrix_(observed),
      trials_(observed, check),
      swaps_(swaps),
      byTrials_(trials_.Pays(start_.CheckerboardSubmatrices())) {
  if (start_.CheckerboardSubmatrices() == 0) {
    throw std::invalid_argument("a matrix without a checkerboard cannot be swapped");
  }
}

bool IndependentSwapModel::Draw(RandomBits& rng) {
  if (byTrials_) {
    matrix_.Assign(observed_, check_);
    trials_.Swaps(matrix_, rng, swaps_, check_);
  } else {
    chain_.Assign(start_, check_);
    const std::int64_t work = chain_.SwapWork();
    for (int s = 0; s < swaps_; ++s) {
      chain_.Swap(rng);
      Tick(check_, work);
    }
  }
  return true;
}

std::optional<Fraction> IndependentSwapModel::TrackedIndex(IndexKind kind) const {
  return byTrials_ ? std::nullopt : ChainIndex(chain_, kind, check_);
}

KnightsTourModel::KnightsTourModel(const Incidence& observed, StopCheck* check)
    : NullModel(check),
      matrix_(observed.Rows(), observed.Cols()),
      rowTotals_(observed.RowTotals()),
      colTotals_(observed.ColumnTotals()),
      fill_(observed.Fill()),
      rowPlace_(At(observed.Rows()), -1),
      colPlace_(At(observed.Cols()), -1),
      filledPlace_(static_cast<std::size_t>(observed.Rows()) * static_cast<std::size_t>(observed.Cols()), -1) {}

bool KnightsTourModel::Draw(RandomBits& rng) {
  matrix_.Clear(check_);
  for (const std::int32_t cell : filled_) {
    filledPlace_[At(cell)] = -1;
  }
  Tick(check_, 4 * static_cast<std::int64_t>(filled_.size() + rowTotals_.size() + colTotals_.size()));
  filled_.clear();
  rowNeed_ = rowTotals_;
  colNeed_ = colTotals_;
  needyRows_.clear();
  needyCols_.clear();
  for (int i = 0; i < matrix_.Rows(); ++i) {
    rowPlace_[At(i)] = -1;
    if (rowNeed_[At(i)] > 0) {
      Enlist(needyRows_, rowPlace_, i);
    }
  }
  for (int k = 0; k < matrix_.Cols(); ++k) {
    colPlace_[At(k)] = -1;
    if (colNeed_[At(k)] > 0) {
      Enlist(needyCols_, colPlace_, k);
    }
  }

  const int n = matrix_.Cols();
  const int patience = std::max(matrix_.Rows(), n);
  int misses = 0;
  picks_ = 0;
  while (static_cast<std::int64_t>(filled_.size()) < fill_) {
    if (picks_ >= PickLimit()) {
      return false;
    }
    ++picks_;
    Tick(check_, 16);
    // While cells are wanted, some species and some site still need them.
    assert(!needyRows_.empty() && !needyCols_.empty());
    const int i = needyRows_[static_cast<std::size_t>(rng.Below(needyRows_.size()))];
    const int k = needyCols_[static_cast<std::size_t>(rng.Below(needyCols_.size()))];
    if (!matrix_.Get(i, k)) {
      matrix_.Set(i, k, true);
      const std::int32_t cell = i * n + k;
      filledPlace_[At(cell)] = static_cast<std::int32_t>(filled_.size());
      filled_.push_back(cell);
      assert(rowNeed_[At(i)] > 0 && colNeed_[At(k)] > 0 && "a pick outside the need lists");
      if (--rowNeed_[At(i)] == 0) {
        Delist(needyRows_, rowPlace_, i);
      }
      if (--colNeed_[At(k)] == 0) {
        Delist(needyCols_, colPlace_, k);
      }
      misses = 0;
    } else if (++misses >= patience) {
      // A retreat: every cell still wanted may be filled, so give one back.
      assert(misses == patience && !filled_.empty());
      const auto hole = static_cast<std::int32_t>(rng.Below(filled_.size()));
      const std::int32_t cell = filled_[At(hole)];
      assert(filledPlace_[At(cell)] == hole && matrix_.Get(cell / n, cell % n));
      filled_[At(hole)] = filled_.back();
      filledPlace_[At(filled_.back())] = hole;
      filled_.pop_back();
      filledPlace_[At(cell)] = -1;
      const int ri = cell / n;
      const int rk = cell % n;
      matrix_.Set(ri, rk, false);
      if (rowNeed_[At(ri)]++ == 0) {
        Enlist(needyRows_, rowPlace_, ri);
      }
      if (colNeed_[At(rk)]++ == 0) {
        Enlist(needyCols_, colPlace_, rk);
      }
      misses = 0;
    }
  }
  // Every species and every site got exactly its total.
  assert(needyRows_.empty() && needyCols_.empty());
  return true;
}

Degeneracy::Degeneracy(const Incidence& observed, StopCheck* check)
    : occupiedMask_(At(observed.WordsPerRow()), 0), emptyInObserved_(At(observed.Cols()), true), check_(check) {
  for (int i = 0; i < observed.Rows(); ++i) {
    Tick(check_, 2 * observed.WordsPerRow() + 2);
    if (observed.RowTotal(i) > 0) {
      occurringSpecies_.push_back(i);
    }
    for (int w = 0; w < observed.WordsPerRow(); ++w) {
      occupiedMask_[At(w)] |= observed.Row(i)[w];
    }
  }
  for (int k = 0; k < observed.Cols(); ++k) {
    if (((occupiedMask_[At(k >> 6)] >> (k & 63)) & 1u) != 0) {
      occupiedSites_.push_back(k);
      emptyInObserved_[At(k)] = false;
    }
  }
}

bool Degeneracy::IsDegenerate(const Incidence& null) const {
  const int words = null.WordsPerRow();
  if (words == 1) {
    // One word per species: one pass over the species finds both.
    Tick(check_, 2 * std::int64_t{null.Rows()} + 2);
    const std::uint64_t* rows = null.Row(0);
    std::uint64_t present = 0;
    for (int i = 0; i < null.Rows(); ++i) {
      present |= rows[i];
    }
    bool emptied = false;
    for (const int i : occurringSpecies_) {
      emptied |= rows[i] == 0;
    }
    return emptied || (occupiedMask_[0] & ~present) != 0;
  }
  for (const int i : occurringSpecies_) {
    const std::uint64_t* row = null.Row(i);
    if (std::all_of(row, row + words, [](std::uint64_t w) { return w == 0; })) {
      return true;
    }
    Tick(check_, words + 1);
  }
  for (int w = 0; w < words; ++w) {
    Tick(check_, 2 * std::int64_t{null.Rows()} + 1);
    std::uint64_t present = 0;
    for (int i = 0; i < null.Rows(); ++i) {
      present |= null.Row(i)[w];
    }
    if ((occupiedMask_[At(w)] & ~present) != 0) {
      return true;
    }
  }
  return false;
}

void Degeneracy::Repair(Incidence& null, RandomBits& rng) const {
  Tick(check_, std::int64_t{null.Rows()} * (null.WordsPerRow() + 1));
  std::vector<int> rows = null.RowTotals();
  for (const int i : occurringSpecies_) {
    if (rows[At(i)] > 0) {
      continue;
    }
    Tick(check_, 2 * static_cast<std::int64_t>(rows.size()) + null.WordsPerRow());
    // A donor cell: any occurrence of a species that can spare one.
    std::uint64_t donors = 0;
    for (const int r : rows) {
      donors += r >= 2 ? static_cast<std::uint64_t>(r) : 0;
    }
    if (donors == 0) {
      break;
    }
    auto u = static_cast<int>(rng.Below(donors));
    int j = 0;
    while (rows[At(j)] < 2 || u >= rows[At(j)]) {
      u -= rows[At(j)] >= 2 ? rows[At(j)] : 0;
      ++j;
      assert(j < null.Rows() && "the donors' occurrences add up to less than counted");
    }
    int k = -1;
    for (int w = 0; k < 0; ++w) {
      const int c = std::popcount(null.Row(j)[w]);
      if (u < c) {
        k = w * 64 + SelectBit(null.Row(j)[w], static_cast<std::uint64_t>(u));
      }
      u -= c;
    }
    assert(k < null.Cols() && null.Get(j, k) && !null.Get(i, k));
    null.Set(j, k, false);
    null.Set(i, k, true);
    --rows[At(j)];
    ++rows[At(i)];
  }

  Tick(check_, std::int64_t{null.Rows()} * (64 * null.WordsPerRow() + 1));
  std::vector<int> cols = null.ColumnTotals();
  for (const int k : occupiedSites_) {
    if (cols[At(k)] > 0) {
      continue;
    }
    Tick(check_, 2 * static_cast<std::int64_t>(cols.size()) + null.Rows());
    std::uint64_t donors = 0;
    for (const int c : cols) {
      donors += c >= 2 ? static_cast<std::uint64_t>(c) : 0;
    }
    if (donors == 0) {
      break;
    }
    auto u = static_cast<int>(rng.Below(donors));
    int l = 0;
    while (cols[At(l)] < 2 || u >= cols[At(l)]) {
      u -= cols[At(l)] >= 2 ? cols[At(l)] : 0;
      ++l;
      assert(l < null.Cols() && "the donors' occurrences add up to less than counted");
    }
    int i = 0;
    for (;; ++i) {
      assert(i < null.Rows() && "a donor site holds fewer species than counted");
      if (null.Get(i, l) && u-- == 0) {
        break;
      }
    }
    null.Set(i, l, false);
    null.Set(i, k, true);
    --cols[At(l)];
    ++cols[At(k)];
  }
}

}  // namespace tessil::cooc
