#include "AdvancedRules.h"

#include "Validation.h"

namespace tessil {

AdvancedPresenter::AdvancedPresenter(RunSettings& settings, UserMessages& messages)
    : settings_(settings), messages_(messages) {
  // The fields are 0 until first chosen; the boxes then keep their defaults.
  if (settings_.NumIterations != 0) iterations_ = std::to_string(settings_.NumIterations);
  if (settings_.RandomSeed != 0) seed_ = std::to_string(settings_.RandomSeed);
}

AdvancedPresenter::Outcome AdvancedPresenter::Ok() {
  const SimulationOptions checked = CheckSimulationOptions(iterations_, seed_);
  // Iterations are refused before the question about few matrices; the seed
  // only once the user wants to go on.
  if (checked.Refusal == message::IterationsPositive) {
    messages_.Inform(message::IterationsPositive);
    return Outcome::BackToDialog;
  }
  if (checked.AsksToContinue && !messages_.AskYesNo(message::FewIterations)) return Outcome::BackToDialog;
  if (!checked.Refusal.empty()) {
    messages_.Inform(checked.Refusal);
    return Outcome::BackToDialog;
  }
  settings_.NumIterations = checked.NumIterations;
  settings_.RandomSeed = checked.RandomSeed;
  return Outcome::Stored;
}

}  // namespace tessil
