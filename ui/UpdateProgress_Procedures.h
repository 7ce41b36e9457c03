// The progress display of a run: the time-remaining text, the percentage in
// the progress window's title, the status line and the bar, and the three
// other operations other parts call on the progress window.
#pragma once

#include <cstdint>
#include <string>

#include "EcoSimAutomation.h"
#include "Public_Declarations.h"

class QWidget;

namespace tessil {

class frmProgress;

// The time line for R seconds remaining: hours when there is at least one,
// then one more minute than the whole minutes (so 60 s reads "2min"), or,
// below 59.5 s, the seconds alone; then "Remaining".
std::string RemainingTimeText(double remainingSeconds);

// The time line of a run at the clock reading `now` (seconds since midnight):
// empty until the second matrix, then the estimate from the work done.
std::string TimeLine(const RunSettings& settings, double now);

// Matrices done as a whole percentage of the run's total, halves to even.
std::int64_t TitlePercent(std::int64_t done, std::int64_t total);

// The matrices the run uses in all.
std::int64_t TotalMatrices(const RunSettings& settings);

// Redraws title, status line, time line and bar from the run's counters, then
// lets the program's pending events through once. The driver calls it after
// every matrix begun.
void UpdateProgress(frmProgress& progress);

// Takes the Close command off the window's frame (revert true puts it back).
void DisableCloseButton(QWidget* window, bool revert);

// Brings EcoSim's windows into view beside the progress window (value 1) or
// moves them off the screen (0), in the order Main, Progress, Coop, Results.
// Fails with EcoSimWindowMissing at the first window that is not there.
void ShowEcoSimWindows(EcoSimAutomation& ecosim, std::int32_t value);

// EcoSim is ready: its windows may be brought into view.
void EnableShowEcoSim(frmProgress& progress);

}  // namespace tessil
