// Faults a test can plant in a stand-in EcoSim, to show how Tessil copes
// with an EcoSim that misbehaves. Never set outside tests.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tessil::standin {

struct StandInFaults {
  // The test faults below (stall, hang, confirm, p-value text) hit the tests
  // from this one on, counted from 1 since EcoSim started: 2 spares the
  // warm-up test Tessil runs before the study.
  int FirstFaultyTest = 1;
  // Each test started stops at once: its progress caption stays at its
  // first text and only "&Abort simulation" ends it.
  bool Stall = false;
  // Each test started never ends though its caption keeps changing; EcoSim
  // then answers neither "&Abort simulation" nor a request to close.
  bool Hang = false;
  // Each test ends with a confirmation window instead of its results.
  bool ConfirmInsteadOfResults = false;
  // The two p-value lines of the results carry this text after their
  // prefix instead of the p-value.
  std::optional<std::string> PValueText;
  // The next this many characters typed into the grid show in the in-place
  // editor as the other digit.
  int MistypedCharacters = 0;
  // Windows of these classes are not created at start-up; an item
  // "CLASS/TEXT" leaves out only the windows of that class and text.
  std::vector<std::string> MissingClasses;
  // Starting a worker thread fails as it does when the process may start no
  // more threads (std::system_error).
  bool WorkerThreadFails = false;
  // The character the grid receives with this number, counted from 1 since
  // EcoSim started, is never answered: EcoSim's window thread stays inside
  // that message for good. 0: every character is answered.
  long long HangAtCharacter = 0;
  // The program ends with exit code ExitAtStartCode before it makes any
  // window.
  bool ExitAtStart = false;
  // The program ends at once, with exit code EndedExitCode, as one ended
  // from Task Manager: when the grid receives the character with this
  // number (0: never), or when a faulty test starts.
  long long EndAtCharacter = 0;
  bool EndInTest = false;
  // Its question before it closes is not one of its message forms
  // (another window class), with "OK" and "Cancel" all the same. (The
  // Win32 stand-in.)
  bool OtherCloseQuestion = false;

  // From the character the grid receives with this number (counted from 1
  // since EcoSim started), the grid's thread sees the Shift key held down
  // for HeldShiftMilliseconds, as after a key-up it never received. 0: never.
  long long HoldShiftAtCharacter = 0;

  // Stricter than Windows where Wine cannot show what Windows does (see
  // StrictVariable): edits keep no name of their own beside their content,
  // the grid takes Tab's direction from its thread's Shift key, and the main
  // window takes the foreground when EcoSim starts.
  bool Strict = false;

  bool Missing(std::string_view className, std::string_view text = {}) const;
};

inline constexpr int ExitAtStartCode = 3;
inline constexpr int EndedExitCode = 9;
inline constexpr int HeldShiftMilliseconds = 1500;

// The environment variable through which a test hands faults to a stand-in
// EcoSim running as a program of its own.
inline constexpr const char* FaultsVariable = "TESSIL_ECOSIM_FAULTS";

// The environment variable that makes a stand-in EcoSim running as a
// program of its own stricter than Windows: any value but "" and "0".
inline constexpr const char* StrictVariable = "TESSIL_ECOSIM_STRICT";
bool StrictSwitch(const char* value);

// A faults text that names no fault, or a count that is not a whole number.
class FaultsTextError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Reads a faults text: items separated by ";", each one of "stall",
// "hang", "confirm", "exit-at-start", "end-in-test", "other-close-question",
// "pvalue=TEXT" (TEXT may hold commas), "missing=CLASS" or
// "missing=CLASS/TEXT" (repeatable), "hang-send=N", "end-at-char=N" and
// "hold-shift=N" (N from 1) and "mistype=N" (N from 0). Empty items are
// skipped; anything else throws FaultsTextError naming the item.
StandInFaults ParseFaults(std::string_view text);

}  // namespace tessil::standin
