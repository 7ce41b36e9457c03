// EcoSim's windows as Tessil last looked them up, and the directory that
// maps each logical name to its chain of look-ups by window class and text.
#pragma once

#include <string_view>

#include "WindowHandle.h"
#include "WindowSystem.h"

namespace tessil {

// One handle per EcoSim window or control Tessil drives; 0 where the last
// look-up found nothing. A field changes only when FindEcoSimWindows looks
// it up, and then always takes the result, 0 included.
struct EcoSimSession {
  WindowHandle MainWindow = NoWindow;
  WindowHandle OptionsWindow = NoWindow;
  WindowHandle OptionsPages = NoWindow;
  WindowHandle OptionsPanel = NoWindow;
  WindowHandle GeneralSheet = NoWindow;
  WindowHandle PreferencesSheet = NoWindow;
  WindowHandle RunButton = NoWindow;
  WindowHandle IterationsGroup = NoWindow;
  WindowHandle SeedEdit = NoWindow;
  WindowHandle IterationsEdit = NoWindow;
  WindowHandle AlgorithmGroup = NoWindow;
  WindowHandle AlgorithmKnight = NoWindow;
  WindowHandle AlgorithmIndependent = NoWindow;
  WindowHandle AlgorithmSequential = NoWindow;
  WindowHandle DegenerateGroup = NoWindow;
  WindowHandle DegenerateFix = NoWindow;
  WindowHandle DegenerateSplit = NoWindow;
  WindowHandle DegenerateDiscard = NoWindow;
  WindowHandle DegenerateRetain = NoWindow;
  WindowHandle ColumnGroup = NoWindow;
  WindowHandle ColumnProportional = NoWindow;
  WindowHandle ColumnFixedSum = NoWindow;
  WindowHandle ColumnEquiprobable = NoWindow;
  WindowHandle RowGroup = NoWindow;
  WindowHandle RowProportional = NoWindow;
  WindowHandle RowFixedSum = NoWindow;
  WindowHandle RowEquiprobable = NoWindow;
  WindowHandle IndexGroup = NoWindow;
  WindowHandle IndexCombo = NoWindow;
  WindowHandle IndexEdit = NoWindow;
  WindowHandle EmptyGroup = NoWindow;
  WindowHandle EmptyInclude = NoWindow;
  WindowHandle EmptyExclude = NoWindow;
  WindowHandle GridEditor = NoWindow;
  WindowHandle BeepCheck = NoWindow;
  WindowHandle ConfirmWindow = NoWindow;
  WindowHandle ConfirmOk = NoWindow;
  WindowHandle ProgressWindow = NoWindow;
  WindowHandle ResultsWindow = NoWindow;
  WindowHandle ResultsPages = NoWindow;
  WindowHandle IndexSheet = NoWindow;
  WindowHandle ResultsMemo = NoWindow;
  WindowHandle Grid = NoWindow;
  WindowHandle ResizeDialog = NoWindow;
  WindowHandle ResizeButtonPanel = NoWindow;
  WindowHandle ResizeEditPanel = NoWindow;
  WindowHandle ResizeOk = NoWindow;
  WindowHandle ResizeEditB = NoWindow;
  WindowHandle ResizeEditA = NoWindow;
  WindowHandle ApplicationWindow = NoWindow;
  WindowHandle AbortButton = NoWindow;

  bool operator==(const EcoSimSession&) const = default;
};

// Performs the look-ups of a logical name ("Application", "Main", "Grid",
// "GridEdit", "Resize", "Coop", "Confirm", "Progress", "Results") in their
// fixed order, each storing its result in its field and each using the
// parents just stored, even when they are 0. `section` is read only for
// "Coop" ("Run", "Iterations", "Algorithm", "Degenerate", "Columns", "Rows",
// "Index", "Empty"); the five look-ups common to "Coop" always run. Never
// fails and never tests visibility; an unknown name does nothing.
void FindEcoSimWindows(WindowSystem& windows, EcoSimSession& session, std::string_view name,
                       std::string_view section = {});

}  // namespace tessil
