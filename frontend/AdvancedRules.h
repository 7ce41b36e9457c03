// The simulation options dialog's rules, without any window system: the
// matrices per argument and the seed of their random stream, kept in the run
// settings only. The dialog is made afresh at every opening.
//
//   AdvancedPresenter dialog(settings, messages);   // texts "100" and "0" in a fresh program
//   dialog.TypeIterations("99");
//   face.Hide();
//   if (dialog.Ok() == AdvancedPresenter::Outcome::BackToDialog) face.ShowAgain();
//   else face.Close();
//
// The face hides the dialog before Ok() (its messages stand alone) and shows
// it again, texts as the user left them, when Ok() says so. "Cancel" and a
// close of the frame store nothing and need no rule.
#pragma once

#include <string>

#include "Public_Declarations.h"
#include "WindowServices.h"

namespace tessil {

class AdvancedPresenter {
 public:
  enum class Outcome { Stored, BackToDialog };

  // Fills the texts from the settings: a field of 0 leaves the default.
  AdvancedPresenter(RunSettings& settings, UserMessages& messages);

  const std::string& IterationsText() const { return iterations_; }
  const std::string& SeedText() const { return seed_; }
  void TypeIterations(std::string text) { iterations_ = std::move(text); }
  void TypeSeed(std::string text) { seed_ = std::move(text); }

  // "OK": refuses iterations of 0 or less, asks before fewer than 100,
  // refuses a negative seed, each through the message boxes; otherwise stores
  // both values rounded halves to even.
  Outcome Ok();

 private:
  RunSettings& settings_;
  UserMessages& messages_;
  std::string iterations_{"100"};
  std::string seed_{"0"};
};

}  // namespace tessil
