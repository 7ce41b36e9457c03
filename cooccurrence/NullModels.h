// The null models: how the null matrices of a test are drawn from the
// observed matrix, and what becomes of degenerate ones.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "Incidence.h"
#include "Indices.h"
#include "RandomBits.h"
#include "SwapChain.h"

namespace tessil::cooc {

// How a margin (the species totals, or the site totals) is treated: Fixed
// reproduces it exactly; under Equiprobable every species (site) has weight
// 1, under Proportional the weight of its observed total.
using Margin = Constraint;

class NullModel {
 public:
  virtual ~NullModel() = default;
  // Draws the next null matrix into Current(); false when the model gives up.
  virtual bool Draw(RandomBits& rng) = 0;
  virtual const Incidence& Current() const = 0;
  // The index of Current() when the model keeps it current as it moves.
  virtual std::optional<Fraction> TrackedIndex(IndexKind) const { return std::nullopt; }

 protected:
  explicit NullModel(StopCheck* check) : check_(check) {}
  // Where the model counts its work, so that a stop reaches it inside a
  // draw; none when the model is used on its own.
  StopCheck* check_ = nullptr;
};

// A model with at least one free margin: rows fixed, columns fixed, or cells
// drawn one after another by successive sampling with the margin weights.
// Needs rows or cols not Fixed.
std::unique_ptr<NullModel> MakeMarginSampler(const Incidence& observed, Margin rows, Margin cols,
                                             StopCheck* check = nullptr);

// Sequential Swap: one chain from the observed matrix; its first Draw runs the
// burn-in and one more swap, every later Draw one swap. Fails with
// std::invalid_argument when the observed matrix has no checkerboard.
class SequentialSwapModel final : public NullModel {
 public:
  static constexpr int DefaultBurnIn = 30000;
  explicit SequentialSwapModel(const Incidence& observed, int burnIn = DefaultBurnIn, StopCheck* check = nullptr);
  bool Draw(RandomBits& rng) override;
  const Incidence& Current() const override { return chain_.Matrix(); }
  std::optional<Fraction> TrackedIndex(IndexKind kind) const override;
  const SwapChain& Chain() const { return chain_; }
  // The burn-in's swaps, where they go by the pair table, lent to a caller
  // that makes several tests' burn-ins side by side in one thread
  // (TrialSwapper::SwapsSideBySide) with the stream `rng` that Draw would
  // use; the first Draw then goes on from where they leave the matrix.
  // Nothing where the burn-in goes another way or has begun.
  std::optional<TrialSwapper::Lane> BurnInLane(RandomBits& rng);

 private:
  void PlanBurnIn();

  SwapChain chain_;
  int burnIn_;
  // How the burn-in goes: by trials on occupied cells, by trials on pairs
  // of species (the matrix perhaps turned), or by weighted swaps of the
  // chain itself; lent, its swaps made by the caller; or done.
  enum class BurnIn { Unplanned, ByCells, ByTrials, ByWeights, SwapsLent, Done };
  BurnIn way_ = BurnIn::Unplanned;
  Incidence burnMatrix_;
  bool turned_ = false;
  std::optional<TrialSwapper> burnTrials_;
  std::optional<CellSwapper> burnCells_;
  std::optional<TrialSwapper> chainTrials_;
};

// Independent Swap: every null matrix is the observed matrix after 1,000
// fresh swaps. Fails with std::invalid_argument when the observed matrix has
// no checkerboard.
class IndependentSwapModel final : public NullModel {
 public:
  static constexpr int DefaultSwaps = 1000;
  explicit IndependentSwapModel(const Incidence& observed, int swaps = DefaultSwaps, StopCheck* check = nullptr);
  bool Draw(RandomBits& rng) override;
  const Incidence& Current() const override { return byTrials_ ? matrix_ : chain_.Matrix(); }
  std::optional<Fraction> TrackedIndex(IndexKind kind) const override;

 private:
  Incidence observed_;
  SwapChain start_;
  SwapChain chain_;
  Incidence matrix_;
  TrialSwapper trials_;
  int swaps_;
  bool byTrials_;
};

// Random Knight's Tour: every null matrix filled from empty by picking a
// species that still needs occurrences and a site that still needs species;
// after max(R, N) picks in a row that land on filled cells one filled cell is
// emptied (a retreat). Gives up after 1,000 x F picks for one matrix.
class KnightsTourModel final : public NullModel {
 public:
  explicit KnightsTourModel(const Incidence& observed, StopCheck* check = nullptr);
  bool Draw(RandomBits& rng) override;
  const Incidence& Current() const override { return matrix_; }
  // Picks used by the last Draw.
  std::int64_t Picks() const { return picks_; }
  std::int64_t PickLimit() const { return 1000 * fill_; }

 private:
  Incidence matrix_;
  std::vector<int> rowTotals_;
  std::vector<int> colTotals_;
  std::int64_t fill_ = 0;
  std::int64_t picks_ = 0;
  // Species and sites still in need, with each one's place in its list.
  std::vector<int> rowNeed_, colNeed_;
  std::vector<int> needyRows_, needyCols_, rowPlace_, colPlace_;
  // Filled cells (i * N + k), with each cell's place in the list.
  std::vector<std::int32_t> filled_;
  std::vector<std::int32_t> filledPlace_;
};

// The species and sites of the observed matrix that a null matrix must not
// empty, and the repair of null matrices that did.
class Degeneracy {
 public:
  explicit Degeneracy(const Incidence& observed, StopCheck* check = nullptr);
  // A species that occurs in the observed matrix has no occurrence, or a site
  // that holds a species in the observed matrix is empty.
  bool IsDegenerate(const Incidence& null) const;
  // Moves, for each newly empty species, one occurrence into it from a
  // species with two or more (same site, a random such cell); then, for each
  // newly empty site, one occurrence from a site with two or more species
  // (same species). Stops where no donor is left.
  void Repair(Incidence& null, RandomBits& rng) const;
  // Sites empty in the observed matrix: with "Split", the only empty sites
  // that still count.
  const std::vector<bool>& EmptyInObserved() const { return emptyInObserved_; }

 private:
  std::vector<int> occurringSpecies_;
  std::vector<int> occupiedSites_;
  std::vector<std::uint64_t> occupiedMask_;
  std::vector<bool> emptyInObserved_;
  StopCheck* check_ = nullptr;
};

}  // namespace tessil::cooc
