#include "MainWindowRules.h"

#include <utility>

namespace tessil {

std::string AlternativeHypothesisText(Hypothesis nullHypothesis) {
  switch (nullHypothesis) {
    case Hypothesis::NoInteractions:
      return "Interactions Between Species";
    case Hypothesis::SitesEquivalent:
      return "Sites Non-equivalent";
    case Hypothesis::SpeciesEquivalent:
      return "Species Non-equivalent";
  }
  return {};
}

MainWindowPresenter::MainWindowPresenter(HelpViewer& help)
    : help_(help), options_([this](const std::string& summary) { SetTestSummary(summary); }) {}

void MainWindowPresenter::Open() { SelectHypothesis(Hypothesis::NoInteractions); }

// The assumption that restates the null hypothesis cannot be declared.
void MainWindowPresenter::SelectHypothesis(Hypothesis hypothesis) {
  state_.NullHypothesis = hypothesis;
  state_.AlternativeHypothesis = AlternativeHypothesisText(hypothesis);
  switch (hypothesis) {
    case Hypothesis::NoInteractions:
      state_.SitesEquivalent.Enabled = true;
      state_.SpeciesEquivalent.Enabled = true;
      // Species that do not interact have no proportion interacting.
      CheckInteraction(false);
      state_.Interaction.Enabled = false;
      break;
    case Hypothesis::SitesEquivalent:
      state_.SpeciesEquivalent.Enabled = true;
      state_.Interaction.Enabled = true;
      state_.SitesEquivalent = {};
      break;
    case Hypothesis::SpeciesEquivalent:
      state_.SitesEquivalent.Enabled = true;
      state_.Interaction.Enabled = true;
      state_.SpeciesEquivalent = {};
      break;
  }
}

void MainWindowPresenter::CheckSitesEquivalent(bool checked) {
  if (state_.SitesEquivalent.Enabled) state_.SitesEquivalent.Checked = checked;
}

void MainWindowPresenter::CheckSpeciesEquivalent(bool checked) {
  if (state_.SpeciesEquivalent.Enabled) state_.SpeciesEquivalent.Checked = checked;
}

void MainWindowPresenter::CheckInteraction(bool checked) {
  state_.Interaction.Checked = checked;
  state_.LevelsEnabled = checked;
  state_.Level = checked ? std::optional{InteractionLevel::None} : std::nullopt;
}

void MainWindowPresenter::SelectLevel(InteractionLevel level) {
  if (state_.LevelsEnabled) state_.Level = level;
}

void MainWindowPresenter::TypeRows(std::string text) { state_.RowsText = std::move(text); }
void MainWindowPresenter::TypeCols(std::string text) { state_.ColsText = std::move(text); }

Checked MainWindowPresenter::LeaveRows() {
  Checked checked = CheckMatrixSize(state_.RowsText, true);
  if (checked.Accepted()) state_.RowsText = checked.Text;
  return checked;
}

Checked MainWindowPresenter::LeaveCols() {
  Checked checked = CheckMatrixSize(state_.ColsText, false);
  if (checked.Accepted()) state_.ColsText = checked.Text;
  return checked;
}

void MainWindowPresenter::SetTestSummary(std::string summary) { state_.TestSummary = std::move(summary); }

void MainWindowPresenter::ShowHelp() { help_.ShowHelpTopic(HelpFile, GettingStartedTopic); }

MainWindowChoices MainWindowPresenter::Choices() const {
  MainWindowChoices c;
  c.NullHypothesis = state_.NullHypothesis.value_or(Hypothesis::NoInteractions);
  // A disabled box that is not ticked is no assumption.
  c.AssumeSitesEquivalent = state_.SitesEquivalent.Checked;
  c.AssumeSpeciesEquivalent = state_.SpeciesEquivalent.Checked;
  if (state_.Interaction.Checked) c.AssumedLevel = state_.Level.value_or(InteractionLevel::None);
  return c;
}

}  // namespace tessil
