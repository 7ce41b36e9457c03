#include "EcoSimOptionsRules.h"

#include <utility>

namespace tessil {

EcoSimOptionsPresenter::EcoSimOptionsPresenter(std::function<void(const std::string&)> writeSummary)
    : writeSummary_(std::move(writeSummary)) {}

Checked EcoSimOptionsPresenter::LeaveIterations() {
  Checked checked = CheckEcoSimIterations(working_.EcoSimIterations);
  if (checked.Accepted()) working_.EcoSimIterations = checked.Text;
  return checked;
}

Checked EcoSimOptionsPresenter::LeaveSeed() {
  Checked checked = CheckEcoSimSeed(working_.EcoSimSeed);
  if (checked.Accepted()) working_.EcoSimSeed = checked.Text;
  return checked;
}

void EcoSimOptionsPresenter::MakeChanges() {
  committed_ = working_;
  // Rebuilt, never appended to.
  if (writeSummary_) writeSummary_(BuildTestSummary(committed_));
}

void EcoSimOptionsPresenter::Cancel() { working_ = committed_; }

}  // namespace tessil
