// The exit question's rules, without any window system. Every request to
// close the main window asks "Exit Tessil?"; only Yes ends the program, after
// every help window is closed. The question's tag carries the answer: empty
// until Yes, then "Exit".
//
//   ExitPresenter exit(help, face);
//   if (!exit.CloseAllowed()) { /* refuse the close */ face.Ask(exit.Question()); }
//   exit.Yes();   // CloseAllHelp, face.UnloadWindows(), face.LeaveMessageLoop(0)
//   exit.No();    // nothing changes; the next request asks again
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "WindowServices.h"

namespace tessil {

inline constexpr std::string_view ExitTag = "Exit";
inline constexpr std::string_view ExitQuestionText = "Exit Tessil?";

class ExitFace {
 public:
  virtual ~ExitFace() = default;
  // Unloads, in this order, the EcoSim options dialog, the main window and
  // the question.
  virtual void UnloadWindows() = 0;
  // Leaves the message loop with the program's exit status. (Named apart
  // from RunFace::EndProgram, so that one window can be both faces.)
  virtual void LeaveMessageLoop(int status) = 0;
};

class ExitPresenter {
 public:
  ExitPresenter(HelpViewer& help, ExitFace& face);

  // A close of the main window proceeds only once the end was confirmed;
  // otherwise the face refuses it and asks the question (unless it is
  // already on screen).
  bool CloseAllowed() const { return ending_; }
  const std::string& Tag() const { return tag_; }

  // The question's buttons. A close of the question in any other way is No.
  void Yes();
  void No() {}
  // Ends the program with the status: every help window closed, the windows
  // unloaded. Also the end after EcoSim's program was found missing.
  void EndProgram(int status);

 private:
  HelpViewer& help_;
  ExitFace& face_;
  std::string tag_;
  bool ending_ = false;
};

}  // namespace tessil
