// The main window's rules, without any window system. The face forwards the
// user's events (a hypothesis selected, a box ticked, a text typed, a box
// left) and draws State() after each; the presenter decides which
// assumptions are offered, what the alternative hypothesis reads, which
// matrix sizes are refused and with what message, and holds the test summary
// the EcoSim options dialog writes. It is also what a run reads (RunInputs).
//
//   MainWindowPresenter main(help);
//   main.Open();                                   // optH01 takes the focus
//   main.SelectHypothesis(Hypothesis::SitesEquivalent);
//   main.TypeRows("2.5"); Checked c = main.LeaveRows();  // text "2"
//
// The presenter owns the EcoSim options dialog's rules (EcoSimOptions()),
// which exist from the start: a run before the dialog was ever opened reads
// their defaults.
#pragma once

#include <optional>
#include <string>

#include "EcoSimOptionsRules.h"
#include "Public_Declarations.h"
#include "Validation.h"
#include "WindowServices.h"

namespace tessil {

// A check box as the face shows it.
struct CheckBoxState {
  bool Enabled = false;
  bool Checked = false;
  bool operator==(const CheckBoxState&) const = default;
};

struct MainWindowState {
  // None until the window opens and its first option takes the focus.
  std::optional<Hypothesis> NullHypothesis;
  std::string AlternativeHypothesis;  // txtHA
  CheckBoxState SitesEquivalent;      // chkASiEq
  CheckBoxState SpeciesEquivalent;    // chkASpEq
  CheckBoxState Interaction;          // chkAIn
  bool LevelsEnabled = false;         // fra6 and optAIn0, optAIn50, optAIn100
  std::optional<InteractionLevel> Level;
  std::string RowsText{"10"};
  std::string ColsText{"10"};
  std::string TestSummary{InitialTestSummary};  // txtTest, lines ending in CR LF
  bool operator==(const MainWindowState&) const = default;
};

// The alternative hypothesis shown for a null hypothesis.
std::string AlternativeHypothesisText(Hypothesis nullHypothesis);

class MainWindowPresenter final : public RunInputs {
 public:
  explicit MainWindowPresenter(HelpViewer& help);

  const MainWindowState& State() const { return state_; }

  // The window opens: the focus lands on "No Interactions Between Species",
  // which selects it.
  void Open();
  // An option of the null hypothesis is selected (by a click or the focus).
  // The assumption that restates it is unticked and made unavailable; the
  // other check boxes keep their state.
  void SelectHypothesis(Hypothesis hypothesis);
  void CheckSitesEquivalent(bool checked);
  void CheckSpeciesEquivalent(bool checked);
  // Ticking selects "0%"; unticking deselects every level and makes the
  // levels unavailable.
  void CheckInteraction(bool checked);
  void SelectLevel(InteractionLevel level);

  // Rows and columns as typed, and their check when the focus is about to
  // leave the box: an accepted text is written back rounded (State() shows
  // it); a refused one stays as typed and the face keeps the focus in the
  // box and shows the refusal.
  void TypeRows(std::string text);
  void TypeCols(std::string text);
  Checked LeaveRows();
  Checked LeaveCols();

  // The "Hypothesis Test" box's text, as the EcoSim options dialog writes it.
  void SetTestSummary(std::string summary);

  // "Tessil &Help" (F1): the help at "Getting Started.htm".
  void ShowHelp();

  EcoSimOptionsPresenter& EcoSimOptions() { return options_; }
  const EcoSimOptionsPresenter& EcoSimOptions() const { return options_; }

  // RunInputs
  std::string RowsText() const override { return state_.RowsText; }
  std::string ColsText() const override { return state_.ColsText; }
  const EcoSimTestOptions& CommittedOptions() const override { return options_.Committed(); }
  MainWindowChoices Choices() const override;
  std::string TestSummary() const override { return state_.TestSummary; }

 private:
  HelpViewer& help_;
  MainWindowState state_;
  EcoSimOptionsPresenter options_;
};

}  // namespace tessil
