#include "EcoSimSession.h"

#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

#include "TestVocabulary.h"

namespace tessil {

namespace {

using Field = WindowHandle EcoSimSession::*;

// One look-up: a top-level one when `Parent` is null, else among the
// children of the window in `Parent`, after the one in `After` when given.
struct LookUp {
  std::string_view Name;
  std::string_view Section;  // "Coop" only; empty: every section
  Field Target;
  Field Parent;
  Field After;
  std::string_view Class;
  std::optional<std::string_view> Text;
  // Found by class alone, in the same place, when no window carries the
  // text: an edit made empty and filled afterwards has no name to find it
  // by, yet it is the same field.
  bool OrByClass = false;
};

using S = EcoSimSession;
constexpr std::nullopt_t Any = std::nullopt;

// In table order: each row uses the handles stored by the rows above it.
// EcoSim's radio buttons carry the captions of the choices they stand for.
const LookUp Directory[] = {
    {"Application", {}, &S::ApplicationWindow, nullptr, nullptr, "TApplication", "EcoSim"},
    {"Main", {}, &S::MainWindow, nullptr, nullptr, "TEcoSim", Any},
    {"Grid", {}, &S::MainWindow, nullptr, nullptr, "TEcoSim", Any},
    {"Grid", {}, &S::Grid, &S::MainWindow, nullptr, "TStringGrid", Any},
    // The in-place editor under the grid of the last "Grid" look-up.
    {"GridEdit", {}, &S::GridEditor, &S::Grid, nullptr, "TInplaceEdit", Any},
    {"Resize", {}, &S::ResizeDialog, nullptr, nullptr, "TEcoSimRedoMatrix", Any},
    {"Resize", {}, &S::ResizeButtonPanel, &S::ResizeDialog, nullptr, "TPanel", Any},
    {"Resize", {}, &S::ResizeEditPanel, &S::ResizeDialog, &S::ResizeButtonPanel, "TPanel", Any},
    {"Resize", {}, &S::ResizeOk, &S::ResizeButtonPanel, nullptr, "TButton", "&OK"},
    // The size fields are found by the texts they carry when EcoSim starts,
    // or else as the first and the next edit of their panel.
    {"Resize", {}, &S::ResizeEditA, &S::ResizeEditPanel, nullptr, "TEdit", "5", true},
    {"Resize", {}, &S::ResizeEditB, &S::ResizeEditPanel, &S::ResizeEditA, "TEdit", "5", true},
    {"Coop", {}, &S::OptionsWindow, nullptr, nullptr, "TCoOccurrenceOpts", Any},
    {"Coop", {}, &S::OptionsPages, &S::OptionsWindow, nullptr, "TPageControl", Any},
    {"Coop", {}, &S::OptionsPanel, &S::OptionsWindow, nullptr, "TPanel", Any},
    {"Coop", {}, &S::GeneralSheet, &S::OptionsPages, nullptr, "TTabSheet", "General"},
    {"Coop", {}, &S::PreferencesSheet, &S::OptionsPages, nullptr, "TTabSheet", "Preferences"},
    {"Coop", "Run", &S::RunButton, &S::OptionsPanel, nullptr, "TButton", "&Run"},
    {"Coop", "Iterations", &S::IterationsGroup, &S::GeneralSheet, nullptr, "TGroupBox", Any},
    {"Coop", "Iterations", &S::SeedEdit, &S::IterationsGroup, nullptr, "TEdit", "0", true},
    {"Coop", "Iterations", &S::IterationsEdit, &S::IterationsGroup, nullptr, "TMaskEdit", "5000 ", true},
    {"Coop", "Algorithm", &S::AlgorithmGroup, &S::GeneralSheet, nullptr, "TRadioGroup",
     "Fixed-Fixed Randomization Algorithm"},
    {"Coop", "Algorithm", &S::AlgorithmKnight, &S::AlgorithmGroup, nullptr, "TGroupButton",
     Caption(FixedFixedAlgorithm::KnightsTour)},
    {"Coop", "Algorithm", &S::AlgorithmIndependent, &S::AlgorithmGroup, nullptr, "TGroupButton",
     Caption(FixedFixedAlgorithm::IndependentSwap)},
    {"Coop", "Algorithm", &S::AlgorithmSequential, &S::AlgorithmGroup, nullptr, "TGroupButton",
     Caption(FixedFixedAlgorithm::SequentialSwap)},
    {"Coop", "Degenerate", &S::DegenerateGroup, &S::PreferencesSheet, nullptr, "TRadioGroup", "Degenerate &Matrices"},
    {"Coop", "Degenerate", &S::DegenerateFix, &S::DegenerateGroup, nullptr, "TGroupButton",
     Caption(DegenerateTreatment::Fix)},
    {"Coop", "Degenerate", &S::DegenerateSplit, &S::DegenerateGroup, nullptr, "TGroupButton",
     Caption(DegenerateTreatment::Split)},
    {"Coop", "Degenerate", &S::DegenerateDiscard, &S::DegenerateGroup, nullptr, "TGroupButton",
     Caption(DegenerateTreatment::Discard)},
    {"Coop", "Degenerate", &S::DegenerateRetain, &S::DegenerateGroup, nullptr, "TGroupButton",
     Caption(DegenerateTreatment::Retain)},
    {"Coop", "Columns", &S::ColumnGroup, &S::PreferencesSheet, nullptr, "TRadioGroup", "Co&Lumn Constraints"},
    {"Coop", "Columns", &S::ColumnProportional, &S::ColumnGroup, nullptr, "TGroupButton",
     Caption(Constraint::Proportional)},
    {"Coop", "Columns", &S::ColumnFixedSum, &S::ColumnGroup, nullptr, "TGroupButton", Caption(Constraint::Fixed)},
    {"Coop", "Columns", &S::ColumnEquiprobable, &S::ColumnGroup, nullptr, "TGroupButton",
     Caption(Constraint::Equiprobable)},
    {"Coop", "Rows", &S::RowGroup, &S::PreferencesSheet, nullptr, "TRadioGroup", "Ro&w Constraints"},
    {"Coop", "Rows", &S::RowProportional, &S::RowGroup, nullptr, "TGroupButton", Caption(Constraint::Proportional)},
    {"Coop", "Rows", &S::RowFixedSum, &S::RowGroup, nullptr, "TGroupButton", Caption(Constraint::Fixed)},
    {"Coop", "Rows", &S::RowEquiprobable, &S::RowGroup, nullptr, "TGroupButton", Caption(Constraint::Equiprobable)},
    {"Coop", "Index", &S::IndexGroup, &S::PreferencesSheet, nullptr, "TGroupBox", "Co-occurrence &Index"},
    {"Coop", "Index", &S::IndexCombo, &S::IndexGroup, nullptr, "TComboBox", Any},
    {"Coop", "Index", &S::IndexEdit, &S::IndexCombo, nullptr, "Edit", Any},
    {"Coop", "Empty", &S::EmptyGroup, &S::PreferencesSheet, nullptr, "TRadioGroup", "&Empty Sites"},
    {"Coop", "Empty", &S::EmptyInclude, &S::EmptyGroup, nullptr, "TGroupButton", Caption(EmptySiteTreatment::Include)},
    {"Coop", "Empty", &S::EmptyExclude, &S::EmptyGroup, nullptr, "TGroupButton", Caption(EmptySiteTreatment::Exclude)},
    // Any top-level "TMessageForm", of whatever program, is EcoSim's
    // confirmation.
    {"Confirm", {}, &S::ConfirmWindow, nullptr, nullptr, "TMessageForm", Any},
    {"Confirm", {}, &S::ConfirmOk, &S::ConfirmWindow, nullptr, "TButton", "OK"},
    {"Progress", {}, &S::ProgressWindow, nullptr, nullptr, "TProgress", Any},
    {"Progress", {}, &S::BeepCheck, &S::ProgressWindow, nullptr, "TCheckBox", "Beep"},
    {"Progress", {}, &S::AbortButton, &S::ProgressWindow, nullptr, "TButton", "&Abort simulation"},
    {"Results", {}, &S::ResultsWindow, nullptr, nullptr, "TCoOccurrence", "EcoSim -- Co-occurrence Results"},
    {"Results", {}, &S::ResultsPages, &S::ResultsWindow, nullptr, "TPageControl", Any},
    {"Results", {}, &S::IndexSheet, &S::ResultsPages, nullptr, "TTabSheet", "Index"},
    // Twice: the second look-up, after the first memo, leaves the field at
    // the second memo of the page (0 when there is only one).
    {"Results", {}, &S::ResultsMemo, &S::IndexSheet, nullptr, "TMemo", Any},
    {"Results", {}, &S::ResultsMemo, &S::IndexSheet, &S::ResultsMemo, "TMemo", Any},
};

// The rows of one name, which stand together in the directory: a name's
// look-ups are found without comparing every row's name, since the per-cell
// check of a typed matrix looks up "GridEdit" once for every cell.
struct NameRows {
  std::string_view Name;
  std::span<const LookUp> Rows;
};

std::vector<NameRows> GroupByName() {
  std::vector<NameRows> groups;
  const std::span<const LookUp> all(Directory);
  std::size_t begin = 0;
  for (std::size_t k = 1; k <= all.size(); ++k) {
    if (k < all.size() && all[k].Name == all[begin].Name) continue;
    for (const NameRows& earlier : groups) {
      if (earlier.Name == all[begin].Name) throw std::logic_error("the look-ups of a name must stand together");
    }
    groups.push_back({all[begin].Name, all.subspan(begin, k - begin)});
    begin = k;
  }
  return groups;
}

std::span<const LookUp> RowsOf(std::string_view name) {
  static const std::vector<NameRows> groups = GroupByName();
  for (const NameRows& group : groups) {
    if (group.Name == name) return group.Rows;
  }
  return {};
}

}  // namespace

void FindEcoSimWindows(WindowSystem& windows, EcoSimSession& session, std::string_view name, std::string_view section) {
  for (const LookUp& row : RowsOf(name)) {
    if (!row.Section.empty() && row.Section != section) continue;
    if (row.Parent == nullptr) {
      session.*row.Target = windows.FindWindow(row.Class, row.Text);
      continue;
    }
    const WindowHandle parent = session.*row.Parent;
    const WindowHandle after = row.After == nullptr ? NoWindow : session.*row.After;
    // A child look-up under no parent finds nothing.
    WindowHandle found = parent == NoWindow ? NoWindow : windows.FindWindowEx(parent, after, row.Class, row.Text);
    if (found == NoWindow && row.OrByClass && parent != NoWindow) {
      found = windows.FindWindowEx(parent, after, row.Class, std::nullopt);
    }
    session.*row.Target = found;
  }
}

}  // namespace tessil
