#include "ExitRules.h"

namespace tessil {

ExitPresenter::ExitPresenter(HelpViewer& help, ExitFace& face) : help_(help), face_(face) {}

void ExitPresenter::Yes() {
  tag_ = ExitTag;
  EndProgram(0);
}

void ExitPresenter::EndProgram(int status) {
  if (ending_) return;
  ending_ = true;
  help_.CloseAllHelp();
  face_.UnloadWindows();
  face_.LeaveMessageLoop(status);
}

}  // namespace tessil
