#include "Public_Declarations.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace tessil {

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
    throw RunSettingsError(RunSettingsError::OutOfMemory, "A matrix of " + std::to_string(settings.NumRows) +
                                                              " rows x " + std::to_string(settings.NumCols) +
                                                              " columns has too many cells to simulate (at most " +
                                                              std::to_string(MaxMatrixCells) + ").");
  }

  settings.UpperTail = UpperTailIndex(inputs.CommittedOptions().Index) ? 1 : 0;

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
  settings.NullHypothesis = c.NullHypothesis;
  settings.AssumeSitesEquivalent = c.AssumeSitesEquivalent;
  settings.AssumeSpeciesEquivalent = c.AssumeSpeciesEquivalent;
  settings.AssumedLevel = c.AssumedLevel;
}

}  // namespace tessil
