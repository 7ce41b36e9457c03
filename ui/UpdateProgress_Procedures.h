// The progress display of a run: the time-remaining text, the percentage in
// the progress window's title, the status line and the bar, and the three
// other operations other parts call on the progress window.
#pragma once

#include <cstdint>
#include <string>

#include "EcoSimAutomation.h"
#include "ProgressRules.h"
#include "Public_Declarations.h"

class QWidget;

namespace tessil {

class frmProgress;

// Redraws title, status line, time line and bar from the run's counters, then
// lets the program's pending events through once. The driver calls it after
// every matrix begun.
void UpdateProgress(frmProgress& progress);

// Takes the Close command off the window's frame (revert true puts it back).
void DisableCloseButton(QWidget* window, bool revert);

// EcoSim is ready: its windows may be brought into view.
void EnableShowEcoSim(frmProgress& progress);

}  // namespace tessil
