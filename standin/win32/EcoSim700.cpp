// The stand-in EcoSim's program: EcoSim700.exe, started by Tessil (or a
// test) in another process. Test-only faults come from the environment.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "StandInFaults.h"
#include "Win32StandIn.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
  using namespace tessil::standin;
  StandInFaults faults;
  if (const char* text = std::getenv(FaultsVariable)) {
    try {
      faults = ParseFaults(text);
    } catch (const FaultsTextError& error) {
      // A test that names a fault wrongly must not pass against a
      // well-behaved EcoSim.
      OutputDebugStringA(error.what());
      return 2;
    }
  }
  faults.Strict = StrictSwitch(std::getenv(StrictVariable));
  if (faults.ExitAtStart) return ExitAtStartCode;
  Win32StandIn standIn(instance, std::move(faults));
  return standIn.Run();
}
