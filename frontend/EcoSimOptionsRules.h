// The EcoSim options dialog's rules, without any window system. Every
// setting exists twice: the working value the dialog's controls show, and the
// committed value the rest of Tessil reads. The face forwards a choice made,
// a text typed, a text box left, "Make Changes", "Cancel" and a close of its
// frame, and draws Working() and EmptySitesShown() after each.
//
//   EcoSimOptionsPresenter options([&](const std::string& s) { main.SetTestSummary(s); });
//   options.ChooseIndex(CooccurrenceIndex::VRatio);   // EmptySitesShown() now true
//   options.TypeIterations("1e3"); options.LeaveIterations();  // text "1000"
//   options.MakeChanges();                            // commits, writes the summary
//
// After MakeChanges() and Cancel() the face hides the dialog and shows the
// main window again, which draws the new summary as it is shown; a close of
// its frame while it is visible is Cancel.
#pragma once

#include <functional>
#include <string>

#include "Public_Declarations.h"
#include "Validation.h"

namespace tessil {

class EcoSimOptionsPresenter {
 public:
  // writeSummary stores the test summary in the main window.
  explicit EcoSimOptionsPresenter(std::function<void(const std::string&)> writeSummary);

  // The values the rest of Tessil reads.
  const EcoSimTestOptions& Committed() const { return committed_; }
  // The values the controls show; the two texts as typed.
  const EcoSimTestOptions& Working() const { return working_; }
  // The Empty Sites group is shown only for the indices computed over the
  // sites' compositions; its choice is kept while it is hidden.
  bool EmptySitesShown() const { return working_.UsesEmptySites(); }

  void ChooseRowConstraint(Constraint choice) { working_.RowConstraint = choice; }
  void ChooseColumnConstraint(Constraint choice) { working_.ColumnConstraint = choice; }
  void ChooseIndex(CooccurrenceIndex choice) { working_.Index = choice; }
  void ChooseAlgorithm(FixedFixedAlgorithm choice) { working_.Algorithm = choice; }
  void ChooseDegenerateMatrices(DegenerateTreatment choice) { working_.DegenerateMatrices = choice; }
  void ChooseEmptySites(EmptySiteTreatment choice) { working_.EmptySites = choice; }

  void TypeIterations(std::string text) { working_.EcoSimIterations = std::move(text); }
  void TypeSeed(std::string text) { working_.EcoSimSeed = std::move(text); }
  // The check made when the focus is about to leave the box: an accepted
  // text is written back in general decimal form; a refused one stays as
  // typed, the face keeps the focus in the box and shows the refusal.
  Checked LeaveIterations();
  Checked LeaveSeed();

  // Commits the working values and rewrites the test summary from them.
  void MakeChanges();
  // Puts the committed values back into the controls.
  void Cancel();

 private:
  std::function<void(const std::string&)> writeSummary_;
  EcoSimTestOptions committed_;
  EcoSimTestOptions working_;
};

}  // namespace tessil
