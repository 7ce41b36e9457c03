// How long Tessil waits for EcoSim before it gives up. No healthy EcoSim
// comes near these limits: a window appears or hides within a fraction of a
// second, the warm-up test on its 5 x 5 matrix within a few seconds. They
// only keep an EcoSim that misbehaves (a dialog that never comes, a window
// that is missing, a close question of another kind) from holding Tessil
// for ever. A study's own tests have no limit: a large test may run for
// hours, and a stalled or hung one is aborted or cancelled by its own rules.
#pragma once

#include <string_view>

namespace tessil {

struct EcoSimLimits {
  // A window that must appear or hide: a dialog, a page, EcoSim's main
  // window coming back, the confirmation's "OK" button.
  double WindowSeconds = 60.0;
  // EcoSim's close, from the request to close to its end.
  double CloseSeconds = 60.0;
  // The warm-up test before the study, until its results are shown.
  double WarmUpSeconds = 120.0;
  // How long the run may go on once Cancel has been pressed, for an EcoSim
  // that no longer answers; EcoSim is then ended. With the end of EcoSim and
  // of Tessil after it, a Cancel ends within 9 seconds.
  double CancelGraceSeconds = 5.0;
  // How long EcoSim's resize dialog may stay open after "&OK" before the
  // size counts as refused.
  double ResizeRefusedSeconds = 10.0;

  // The limits above, with every one of the first three shortened to the
  // number of seconds in TESSIL_TEST_WAIT_SECONDS when that is a number
  // below it: for tests of the limits, which must not wait a minute.
  static EcoSimLimits FromEnvironment();
};

inline constexpr std::string_view ShortWaitsVariable = "TESSIL_TEST_WAIT_SECONDS";

// Each pass of a wait for EcoSim blocks on Tessil's own messages for at most
// this long: a message of Tessil's is handled the moment it comes and an
// ending EcoSim is seen at once, while the waiting itself costs next to no
// processor time. A window of EcoSim's that appears wakes no one: it is seen
// at the end of the pass, at most this late.
inline constexpr int WaitPassMilliseconds = 2;

}  // namespace tessil
