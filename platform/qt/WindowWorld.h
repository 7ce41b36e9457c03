// Everything the Qt backend keeps for one program: the windows it knows and
// the programs it hosts. The program's main makes one, and so does each
// test; the window system, the stand-in and whoever makes windows are handed
// it by reference, so no state of the backend outlives its world.
#pragma once

#include "HostedPrograms.h"
#include "WindowRegistry.h"

namespace tessil::qtwin {

class WindowWorld {
 public:
  WindowWorld() = default;
  // The programs end first: their windows' destructors still find the
  // registry.
  ~WindowWorld() { programs_.EndAllPrograms(); }
  WindowWorld(const WindowWorld&) = delete;
  WindowWorld& operator=(const WindowWorld&) = delete;

  WindowRegistry& Windows() { return windows_; }
  ProgramHost& Programs() { return programs_; }

 private:
  WindowRegistry windows_;
  ProgramHost programs_;
};

}  // namespace tessil::qtwin
