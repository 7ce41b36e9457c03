// What an implementation of the automation needs of the front end that runs
// it: the progress window's "Show EcoSim" box, and a way to tell the user
// that EcoSim cannot be started at all.
#pragma once

#include <string_view>

namespace tessil {

class AutomationHost {
 public:
  virtual ~AutomationHost() = default;
  // The last step of PrepareEcoSim: EcoSim is ready and its windows may be
  // brought into view.
  virtual void EnableShowEcoSim() = 0;
  // EcoSim's program file is missing. The front end shows the message; the
  // automation then fails with EcoSimProgramMissing and the program ends
  // once the run's finish steps are done.
  virtual void ReportProgramMissing(std::string_view message) = 0;
};

}  // namespace tessil
