// The choices a study is described by, one enum per group of options, and
// for each group one table: per value, its caption as Tessil's windows and
// report show it (EcoSim's own controls carry the same words), what the
// window protocol tells EcoSim's options window for it, and the short names
// tessil-cli accepts for it. Below the front ends every layer carries the
// enums; the captions are read and written only where a user sees them.
// A new value is one enumerator and one row here, plus what must really
// differ: its meaning in the engine and the control that shows it.
#pragma once

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tessil {

// A margin of the matrix (species totals or site totals) in a null model.
enum class Constraint { Fixed, Equiprobable, Proportional };
enum class CooccurrenceIndex { CScore, Checkerboards, Combinations, VRatio };
enum class FixedFixedAlgorithm { SequentialSwap, IndependentSwap, KnightsTour };
// What a test does with a null matrix in which a species or a site is empty.
enum class DegenerateTreatment { Retain, Discard, Split, Fix };
enum class EmptySiteTreatment { Include, Exclude };
// The main window's null hypotheses, numbered as the driver numbers them.
enum class Hypothesis { NoInteractions = 1, SitesEquivalent = 2, SpeciesEquivalent = 3 };
// The main window's assumptions.
enum class Assumption { SitesEquivalent, SpeciesEquivalent, InteractionLevel };
// The assumed proportion of species interacting, numbered as the driver
// numbers the levels of the power function's argument.
enum class InteractionLevel { None = 1, Half = 2, All = 3 };

template <typename Choice>
struct Term {
  Choice Value;
  std::string_view Caption;
  // The argument the window protocol passes for it (the radio button it
  // clicks, the text it types); empty where EcoSim has no such control.
  std::string_view EcoSimArgument;
  // tessil-cli's short names besides the caption; empty slots are unused.
  std::array<std::string_view, 2> CliSpellings;
};

template <typename Choice>
struct Vocabulary;

// Each table lists its values in the order the refusals name them.
template <>
struct Vocabulary<Constraint> {
  static constexpr Term<Constraint> Terms[] = {
      {Constraint::Fixed, "Fixed Sum", "Fixed", {"fixed"}},
      {Constraint::Equiprobable, "Equiprobable", "Equiprobable", {"equi"}},
      {Constraint::Proportional, "Proportional", "Proportional", {"prop"}},
  };
};

template <>
struct Vocabulary<CooccurrenceIndex> {
  static constexpr Term<CooccurrenceIndex> Terms[] = {
      {CooccurrenceIndex::CScore, "C-score", "C-score", {"cscore"}},
      {CooccurrenceIndex::Checkerboards, "Number of checkerboards", "Number of checkerboards", {"checkerboards"}},
      {CooccurrenceIndex::Combinations,
       "Number of species combinations",
       "Number of species combinations",
       {"species-combinations", "combinations"}},
      {CooccurrenceIndex::VRatio, "V-ratio", "V-ratio", {"vratio", "variance-ratio"}},
  };
};

template <>
struct Vocabulary<FixedFixedAlgorithm> {
  static constexpr Term<FixedFixedAlgorithm> Terms[] = {
      {FixedFixedAlgorithm::SequentialSwap, "Sequential Swap", "Sequential", {"sequential"}},
      {FixedFixedAlgorithm::IndependentSwap, "Independent Swap", "Independent", {"independent"}},
      {FixedFixedAlgorithm::KnightsTour, "Random Knight's Tour", "Knight", {"knights-tour", "knight's-tour"}},
  };
};

template <>
struct Vocabulary<DegenerateTreatment> {
  static constexpr Term<DegenerateTreatment> Terms[] = {
      {DegenerateTreatment::Retain, "Retain", "Retain", {}},
      {DegenerateTreatment::Discard, "Discard", "Discard", {}},
      {DegenerateTreatment::Split, "Split", "Split", {}},
      {DegenerateTreatment::Fix, "Fix", "Fix", {}},
  };
};

template <>
struct Vocabulary<EmptySiteTreatment> {
  static constexpr Term<EmptySiteTreatment> Terms[] = {
      {EmptySiteTreatment::Include, "Include", "Include", {}},
      {EmptySiteTreatment::Exclude, "Exclude", "Exclude", {}},
  };
};

// tessil-cli names a hypothesis only by its short name.
template <>
struct Vocabulary<Hypothesis> {
  static constexpr Term<Hypothesis> Terms[] = {
      {Hypothesis::NoInteractions, "No Interactions Between Species", {}, {"no-interactions"}},
      {Hypothesis::SitesEquivalent, "Sites Equivalent", {}, {"sites-equivalent"}},
      {Hypothesis::SpeciesEquivalent, "Species Equivalent", {}, {"species-equivalent"}},
  };
};

// The captions of the check boxes; tessil-cli's flags are its short names.
template <>
struct Vocabulary<Assumption> {
  static constexpr Term<Assumption> Terms[] = {
      {Assumption::SitesEquivalent, "Sites Equivalent", {}, {"assume-sites-equivalent"}},
      {Assumption::SpeciesEquivalent, "Species Equivalent", {}, {"assume-species-equivalent"}},
      {Assumption::InteractionLevel, "Interactions Between Species:", {}, {"assume-interaction-level"}},
  };
};

template <>
struct Vocabulary<InteractionLevel> {
  static constexpr Term<InteractionLevel> Terms[] = {
      {InteractionLevel::None, "0%", {}, {"0"}},
      {InteractionLevel::Half, "50%", {}, {"50"}},
      {InteractionLevel::All, "100%", {}, {"100"}},
  };
};

template <typename Choice>
constexpr const Term<Choice>& TermOf(Choice value) {
  for (const Term<Choice>& term : Vocabulary<Choice>::Terms) {
    if (term.Value == value) return term;
  }
  // Every enumerator has its row: reaching here is a missing row, and
  // fails the build wherever the look-up is evaluated at compile time.
  throw std::logic_error("a choice without a row in its vocabulary");
}

template <typename Choice>
constexpr std::string_view Caption(Choice value) {
  return TermOf(value).Caption;
}

template <typename Choice>
constexpr std::string_view EcoSimArgument(Choice value) {
  return TermOf(value).EcoSimArgument;
}

// The value whose caption is exactly `caption`.
template <typename Choice>
constexpr std::optional<Choice> FromCaption(std::string_view caption) {
  for (const Term<Choice>& term : Vocabulary<Choice>::Terms) {
    if (term.Caption == caption) return term.Value;
  }
  return std::nullopt;
}

// The captions of a group in table order, as a refusal lists them:
// "A, B or C".
template <typename Choice>
std::string CaptionList() {
  std::string list;
  const auto& terms = Vocabulary<Choice>::Terms;
  const std::size_t count = std::size(terms);
  for (std::size_t k = 0; k < count; ++k) {
    if (k > 0) list += k + 1 == count ? " or " : ", ";
    list += terms[k].Caption;
  }
  return list;
}

// Empty sites matter only to the two indices computed over site
// compositions.
constexpr bool UsesSiteCompositions(CooccurrenceIndex index) {
  return index == CooccurrenceIndex::Combinations || index == CooccurrenceIndex::VRatio;
}

// Whether a run reads the upper-tail p-value of this index, or the lower.
constexpr bool UpperTailIndex(CooccurrenceIndex index) {
  return index == CooccurrenceIndex::CScore || index == CooccurrenceIndex::Checkerboards;
}

}  // namespace tessil
