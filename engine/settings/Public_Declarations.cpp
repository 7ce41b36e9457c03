#include "Public_Declarations.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>
#include <limits>
#include <string>

namespace tessil {

double SystemClock::SecondsSinceMidnight() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t t = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  const double fraction =
      static_cast<double>(duration_cast<microseconds>(now.time_since_epoch()).count() % 1000000) / 1e6;
  return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + fraction;
}

namespace {

// A size text as a 32-bit whole number, the way a text box's contents are
// converted: blanks around it are allowed, anything else that is not part of
// the number makes it unusable.
std::int32_t SizeFromText(const std::string& text, const char* what) {
  const DecimalText read = ReadDecimal(text, std::chars_format::general);
  if (!read.Valid) {
    throw RunSettingsError(RunSettingsError::TypeMismatch,
                           std::string("The number of ") + what + " \"" + text + "\" is not a number.");
  }
  const double value = read.Value;
  const double rounded = RoundHalfEven(value);
  if (read.OutOfRange || !(rounded >= std::numeric_limits<std::int32_t>::min()) ||
      !(rounded <= std::numeric_limits<std::int32_t>::max())) {
    throw RunSettingsError(RunSettingsError::Overflow,
                           std::string("The number of ") + what + " \"" + text + "\" is too large.");
  }
  return static_cast<std::int32_t>(rounded);
}

}  // namespace

void LoadRunSettings(RunSettings& settings, const RunInputs& inputs) {
  settings.NumRows = SizeFromText(inputs.RowsText(), "rows");
  settings.NumCols = SizeFromText(inputs.ColsText(), "columns");
  if (settings.NumRows < 2) {
    throw RunSettingsError(RunSettingsError::Overflow, "Error 05: Matrix must have at least 2 rows.");
  }
  if (settings.NumCols < 2) {
    throw RunSettingsError(RunSettingsError::Overflow, "Error 04: Matrix must have at least 2 columns.");
  }
  const std::int64_t cells = std::int64_t{settings.NumRows} * settings.NumCols;
  if (cells > MaxMatrixCells) {
    throw RunSettingsError(RunSettingsError::OutOfMemory,
                           "A matrix of " + std::to_string(settings.NumRows) + " rows x " +
                               std::to_string(settings.NumCols) + " columns has too many cells to simulate (at most " +
                               std::to_string(MaxMatrixCells) + ").");
  }

  const std::string& index = inputs.CommittedOptions().Index;
  if (index == caption::CScore) settings.UpperTail = 1;
  if (index == caption::Checkerboards) settings.UpperTail = 1;
  if (index == caption::SpeciesCombinations) settings.UpperTail = 0;
  if (index == caption::VRatio) settings.UpperTail = 0;

  if (settings.NumIterations == 0) settings.NumIterations = 100;
}

void ResetRunSettings(RunSettings& settings) {
  settings.NumRows = 0;
  settings.NumCols = 0;
  settings.UpperTail = 0;
  settings.StartTime = 0.0;
  settings.NumArguments = 0;
  settings.TestsDone = 0;
  settings.WorkDone = 0.0;
}

void TakeMainWindowChoices(RunSettings& settings, const MainWindowChoices& c) {
  settings.NullHypothesis = NoHypothesis;
  if (c.optH01) settings.NullHypothesis = NoInteractions;
  if (c.optH02) settings.NullHypothesis = SitesEquivalent;
  if (c.optH03) settings.NullHypothesis = SpeciesEquivalent;
  settings.AssumeSitesEquivalent = c.chkASiEq;
  settings.AssumeSpeciesEquivalent = c.chkASpEq;
  settings.AssumeInteractionLevel = c.chkAIn;
  settings.AssumedLevel = 0;
  if (c.optAIn0) settings.AssumedLevel = 1;
  if (c.optAIn50) settings.AssumedLevel = 2;
  if (c.optAIn100) settings.AssumedLevel = 3;
}

std::string RefuseChoices(const MainWindowChoices& c) {
  const int selected = int{c.optH01} + int{c.optH02} + int{c.optH03};
  if (selected == 0) return "Choose a null hypothesis to examine.";
  if (selected > 1) return "Choose only one null hypothesis to examine.";
  if (c.optH01 && c.chkAIn) {
    return "The interaction assumption cannot be declared under the null hypothesis "
           "\"No Interactions Between Species\".";
  }
  if (c.optH02 && c.chkASiEq) {
    return "The assumption \"Sites Equivalent\" restates the null hypothesis \"Sites Equivalent\".";
  }
  if (c.optH03 && c.chkASpEq) {
    return "The assumption \"Species Equivalent\" restates the null hypothesis \"Species Equivalent\".";
  }
  const int levels = int{c.optAIn0} + int{c.optAIn50} + int{c.optAIn100};
  if (c.chkAIn && levels != 1) return "Choose one proportion of species interacting.";
  if (!c.chkAIn && levels != 0) return "A proportion of species interacting needs the interaction assumption.";
  return {};
}

}  // namespace tessil
