// Failures that end a run. Each carries Tessil's error number, so the front
// ends can tell them apart and the run's finish steps always run.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tessil {

namespace message {
// What the user is told when EcoSim's program file is not where Tessil
// starts it from; the program then ends.
inline constexpr std::string_view EcoSimNotFound = "Error 02: EcoSim700.exe not found.";
}  // namespace message

class TessilError : public std::runtime_error {
 public:
  TessilError(std::uint32_t number, const std::string& message) : std::runtime_error(message), number_(number) {}
  std::uint32_t Number() const { return number_; }

 private:
  std::uint32_t number_;
};

// The user pressed Cancel; the run ends without results.
class RunCancelled final : public TessilError {
 public:
  static constexpr std::uint32_t Code = 36000;
  RunCancelled() : TessilError(Code, "The run was cancelled.") {}
};

// An EcoSim window that the automation needs is absent or not visible.
class EcoSimWindowMissing final : public TessilError {
 public:
  static constexpr std::uint32_t Code = 0x80040201u;
  EcoSimWindowMissing() : TessilError(Code, "An EcoSim window that Tessil needs is missing.") {}
  // Names the window, where a message went to it and its effect would be
  // waited for.
  explicit EcoSimWindowMissing(std::string_view window)
      : TessilError(Code, "An EcoSim window that Tessil needs is missing: " + std::string(window) + ".") {}
};

// EcoSim's program file is not where Tessil looks for it; the program ends.
class EcoSimProgramMissing final : public TessilError {
 public:
  static constexpr std::uint32_t Code = 53;  // file not found
  EcoSimProgramMissing() : TessilError(Code, "Error 02: EcoSim700.exe not found.") {}
};

// A run setting that cannot be used: a size text that is not a whole number,
// a matrix too large to hold, a counter that would pass its range.
class RunSettingsError final : public TessilError {
 public:
  static constexpr std::uint32_t TypeMismatch = 13;
  static constexpr std::uint32_t Overflow = 6;
  static constexpr std::uint32_t OutOfMemory = 7;
  RunSettingsError(std::uint32_t number, const std::string& message) : TessilError(number, message) {}
};

// EcoSim's resize dialog stayed open after "&OK": EcoSim would not take a
// matrix of this size.
class EcoSimSizeRefused final : public TessilError {
 public:
  static constexpr std::uint32_t Code = 0x80040202u;
  EcoSimSizeRefused(std::int64_t rows, std::int64_t columns)
      : TessilError(Code, "EcoSim would not take a matrix of " + std::to_string(rows) + " rows (species) x " +
                              std::to_string(columns) + " columns (sites).") {}
};

// EcoSim's program file is there but EcoSim did not start, or it ended
// before its main window appeared.
class EcoSimNotStarted final : public TessilError {
 public:
  static constexpr std::uint32_t Code = 0x80040203u;
  explicit EcoSimNotStarted(const std::string& reason)
      : TessilError(Code, "EcoSim could not be started: " + reason + ".") {}
};

// A matrix handed to EcoSim holds a cell that is neither 0 nor 1: EcoSim's
// grid would never read it back as typed.
class MatrixCellNotBinary final : public TessilError {
 public:
  static constexpr std::uint32_t Code = 0x80040204u;
  MatrixCellNotBinary(std::int32_t row, std::int32_t column, std::int32_t value)
      : TessilError(Code, "Cell (" + std::to_string(row) + ", " + std::to_string(column) + ") of the matrix holds " +
                              std::to_string(value) + "; EcoSim takes only 0 and 1.") {}
};

// EcoSim's p-value line did not hold a number.
class PValueNotANumber final : public TessilError {
 public:
  static constexpr std::uint32_t Code = 13;
  explicit PValueNotANumber(const std::string& line)
      : TessilError(Code, "EcoSim's p-value line does not hold a number: \"" + line + "\"") {}
};

// The EcoSim that Tessil started ended while the run needed it (it crashed,
// or it was ended from outside, as Task Manager ends a program).
class EcoSimEnded final : public TessilError {
 public:
  static constexpr std::uint32_t Code = 0x80040205u;
  explicit EcoSimEnded(std::optional<std::uint32_t> exitCode)
      : TessilError(Code, "EcoSim ended during the run" +
                              (exitCode ? " (exit code " + std::to_string(*exitCode) + ")" : std::string()) + ".") {}
};

// EcoSim did not do in time what every healthy EcoSim does at once: a window
// did not appear or hide, the warm-up test did not end, EcoSim did not close.
// The text names what did not happen.
class EcoSimTimedOut final : public TessilError {
 public:
  static constexpr std::uint32_t Code = 0x80040206u;
  EcoSimTimedOut(std::string_view what, double seconds)
      : TessilError(Code,
                    std::string(what) + " within " + std::to_string(static_cast<long long>(seconds)) + " seconds.") {}
};

// EcoSim asks whether to close, and Tessil did not ask it to: another
// program (Task Manager's End task, taskkill) did. Tessil never answers that
// question for the user.
class EcoSimAskedToClose final : public TessilError {
 public:
  static constexpr std::uint32_t Code = 0x80040207u;
  EcoSimAskedToClose() : TessilError(Code, "EcoSim was asked to close by another program.") {}
};

// EcoSim could not be closed at the end of a run, and was ended instead. The
// run's results, when it has any, are kept.
class EcoSimNotClosed final : public TessilError {
 public:
  static constexpr std::uint32_t Code = 0x80040208u;
  explicit EcoSimNotClosed(std::string_view reason)
      : TessilError(Code, "EcoSim could not be closed: " + std::string(reason) + " Tessil ended it.") {}
};

// Windows refused Tessil's messages to EcoSim: EcoSim runs with higher
// rights than Tessil, and Windows drops what a program sends to one that
// runs as administrator.
class EcoSimHigherRights final : public TessilError {
 public:
  static constexpr std::uint32_t Code = 0x80040210u;
  EcoSimHigherRights()
      : TessilError(Code,
                    "EcoSim runs with higher rights than Tessil (as administrator), so Windows refuses Tessil's "
                    "messages to it. Start Tessil and EcoSim with the same rights: clear \"Run this program as an "
                    "administrator\" on the Compatibility page of EcoSim700.exe's Properties, or start Tessil as "
                    "administrator too.") {}
};

}  // namespace tessil
