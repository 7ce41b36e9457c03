#include "StandInEcoSim.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <system_error>

#include "EcoSimFacts.h"
#include "Public_Declarations.h"
#include "StringGrid.h"
#include "WindowMessages.h"

namespace tessil::standin {

namespace {

// The window sizes EcoSim's windows have when Tessil brings them into view.
constexpr QSize SizeOf(ecosim::WindowSize size) { return {size.Width, size.Height}; }
constexpr QSize MainSize = SizeOf(ecosim::MainWindowSize);
constexpr QSize OptionsSize = SizeOf(ecosim::OptionsWindowSize);
constexpr QSize ResultsSize = SizeOf(ecosim::ResultsWindowSize);
constexpr QSize ProgressSize = SizeOf(ecosim::ProgressWindowSize);

// EcoSim never takes the focus from Tessil, and stays off the task bar.
constexpr Qt::WindowFlags EcoSimWindowFlags = Qt::Tool | Qt::WindowDoesNotAcceptFocus;

}  // namespace

StandInEcoSim::StandInEcoSim(qtwin::WindowWorld& world, StandInSwitches& switches, std::string workingFolder)
    : world_(world),
      windows_(world.Windows()),
      workersRunning_(switches.WorkersRunning),
      folder_(std::move(workingFolder)),
      faults_(switches.FaultsForNew) {
  application_ = TopLevel("TApplication", "EcoSim");
  BuildMainWindow();
  BuildResizeDialog();
  BuildOptionsWindow();
  BuildProgressWindow();
  BuildResultsWindow();
  // At start only the application window and the main window are up.
  Show(application_, true);
  Show(main_, true);
}

StandInEcoSim::~StandInEcoSim() {
  StopSlices();
  // A test still being computed is stopped, so that no thread outlives
  // EcoSim nor keeps a core busy for a test nobody waits for.
  StopWorker();
  for (QPointer<QWidget>& window : topLevels_) delete window.data();
}

bool StandInEcoSim::OwnsWindow(WindowHandle window) const {
  const QWidget* widget = qtwin::WidgetOf(windows_, window);
  if (widget == nullptr) return false;
  const QWidget* top = widget->window();
  return std::any_of(topLevels_.begin(), topLevels_.end(), [top](const QPointer<QWidget>& w) { return w == top; });
}

QWidget* StandInEcoSim::Window(QWidget* widget, std::string_view className, std::string_view text) {
  if (faults_.Missing(className, text)) return widget;
  qtwin::MakeWindow(windows_, widget, className, text);
  Attach(windows_, widget);
  return widget;
}

QWidget* StandInEcoSim::TopLevel(std::string_view className, std::string_view text) {
  auto* window = new QWidget(nullptr, EcoSimWindowFlags);
  topLevels_.emplace_back(window);
  return Window(window, className, text);
}

void StandInEcoSim::BuildMainWindow() {
  main_ = TopLevel("TEcoSim", "EcoSim 7.0");
  main_->resize(MainSize);
  grid_ = new StringGrid(windows_, main_);
  Window(grid_, "TStringGrid", "");
  auto* layout = new QVBoxLayout(main_);
  layout->setSizeConstraint(QLayout::SetNoConstraint);
  layout->addWidget(grid_);
}

void StandInEcoSim::BuildResizeDialog() {
  resize_ = TopLevel("TEcoSimRedoMatrix", "Matrix Size");
  auto* buttons = Window(new QFrame(resize_), "TPanel", "");
  auto* ok = new QPushButton(buttons);
  Window(ok, "TButton", "&OK");
  auto* edits = Window(new QFrame(resize_), "TPanel", "");
  Window(new QLabel(edits), "TLabel", "Columns (sites):");
  resizeColumns_ = new QLineEdit(edits);
  Window(resizeColumns_, "TEdit", "5");
  Window(new QLabel(edits), "TLabel", "Rows (species):");
  resizeRows_ = new QLineEdit(edits);
  Window(resizeRows_, "TEdit", "5");

  auto* editLayout = new QVBoxLayout(edits);
  for (QObject* child : edits->children()) {
    if (auto* w = qobject_cast<QWidget*>(child)) editLayout->addWidget(w);
  }
  (new QHBoxLayout(buttons))->addWidget(ok);
  auto* layout = new QVBoxLayout(resize_);
  layout->setSizeConstraint(QLayout::SetNoConstraint);
  layout->addWidget(edits);
  layout->addWidget(buttons);
  QObject::connect(ok, &QPushButton::clicked, this, [this] { AcceptResize(); });
}

template <typename Choice>
StandInEcoSim::RadioGroup StandInEcoSim::BuildRadioGroup(QWidget* page, std::string_view caption,
                                                         const std::vector<Choice>& buttons, Choice selected) {
  RadioGroup group;
  auto* box = new QGroupBox(page);
  group.Box = Window(box, "TRadioGroup", caption);
  auto* layout = new QVBoxLayout(box);
  for (const Choice choice : buttons) {
    auto* button = new QRadioButton(box);
    Window(button, "TGroupButton", Caption(choice));
    button->setChecked(choice == selected);
    layout->addWidget(button);
    group.Buttons.push_back(button);
  }
  page->layout()->addWidget(box);
  return group;
}

QWidget* StandInEcoSim::BuildPreferencesPage() {
  auto* page = new QWidget(pages_);
  Window(page, "TTabSheet", "Preferences");
  new QVBoxLayout(page);
  // EcoSim's buttons, in its child order, and the ones selected when it starts.
  using D = DegenerateTreatment;
  degenerate_ =
      BuildRadioGroup(page, "Degenerate &Matrices", std::vector{D::Fix, D::Split, D::Discard, D::Retain}, D::Retain);
  const std::vector margins{Constraint::Proportional, Constraint::Fixed, Constraint::Equiprobable};
  // EcoSim's caption differs in letter case from the text Tessil looks for.
  columns_ = BuildRadioGroup(page, "Co&lumn Constraints", margins, Constraint::Fixed);
  rows_ = BuildRadioGroup(page, "Ro&w Constraints", margins, Constraint::Fixed);

  auto* indexBox = new QGroupBox(page);
  Window(indexBox, "TGroupBox", "Co-occurrence &Index");
  index_ = new QComboBox(indexBox);
  Window(index_, "TComboBox", "");
  index_->setEditable(true);
  for (const Term<CooccurrenceIndex>& term : Vocabulary<CooccurrenceIndex>::Terms) {
    index_->addItem(QString::fromLatin1(term.Caption.data(), static_cast<qsizetype>(term.Caption.size())));
  }
  Window(index_->lineEdit(), "Edit", Caption(CooccurrenceIndex::CScore));
  (new QVBoxLayout(indexBox))->addWidget(index_);
  page->layout()->addWidget(indexBox);

  empty_ = BuildRadioGroup(page, "&Empty Sites", std::vector{EmptySiteTreatment::Include, EmptySiteTreatment::Exclude},
                           EmptySiteTreatment::Exclude);
  return page;
}

QWidget* StandInEcoSim::BuildGeneralPage() {
  auto* page = new QWidget(pages_);
  Window(page, "TTabSheet", "General");
  auto* layout = new QVBoxLayout(page);
  auto* iterationsBox = new QGroupBox(page);
  Window(iterationsBox, "TGroupBox", "Iterations");
  auto* boxLayout = new QVBoxLayout(iterationsBox);
  boxLayout->addWidget(Window(new QLabel(iterationsBox), "TLabel", "Random number seed (0 = clock):"));
  seed_ = new QLineEdit(iterationsBox);
  boxLayout->addWidget(Window(seed_, "TEdit", "0"));
  boxLayout->addWidget(Window(new QLabel(iterationsBox), "TLabel", "Number of iterations:"));
  iterations_ = new QLineEdit(iterationsBox);
  boxLayout->addWidget(Window(iterations_, "TMaskEdit", "5000 "));
  layout->addWidget(iterationsBox);
  using A = FixedFixedAlgorithm;
  algorithm_ = BuildRadioGroup(page, "Fixed-Fixed Randomization Algorithm",
                               std::vector{A::KnightsTour, A::IndependentSwap, A::SequentialSwap}, A::SequentialSwap);
  return page;
}

void StandInEcoSim::BuildOptionsWindow() {
  options_ = TopLevel("TCoOccurrenceOpts", "Co-occurrence Options");
  options_->resize(OptionsSize);
  pages_ = new QTabWidget(options_);
  Window(pages_, "TPageControl", "");
  QWidget* preferences = BuildPreferencesPage();
  QWidget* general = BuildGeneralPage();
  pages_->addTab(preferences, QStringLiteral("Preferences"));
  pages_->addTab(general, QStringLiteral("General"));
  sheets_ = {preferences, general};

  auto* panel = Window(new QFrame(options_), "TPanel", "");
  auto* run = new QPushButton(panel);
  Window(run, "TButton", "&Run");
  (new QHBoxLayout(panel))->addWidget(run);
  QObject::connect(run, &QPushButton::clicked, this, [this] { StartTest(); });

  auto* layout = new QVBoxLayout(options_);
  layout->setSizeConstraint(QLayout::SetNoConstraint);
  layout->addWidget(pages_);
  layout->addWidget(panel);
  ShowPage(0);
}

void StandInEcoSim::BuildProgressWindow() {
  progress_ = TopLevel("TProgress", "Progress");
  progress_->resize(ProgressSize);
  beep_ = new QCheckBox(progress_);
  Window(beep_, "TCheckBox", "Beep");
  beep_->setChecked(true);
  auto* abort = new QPushButton(progress_);
  Window(abort, "TButton", "&Abort simulation");
  auto* layout = new QVBoxLayout(progress_);
  layout->setSizeConstraint(QLayout::SetNoConstraint);
  layout->addWidget(beep_);
  layout->addWidget(abort);
  QObject::connect(abort, &QPushButton::clicked, this, [this] { Abort(); });
}

void StandInEcoSim::BuildResultsWindow() {
  results_ = TopLevel("TCoOccurrence", "EcoSim -- Co-occurrence Results");
  results_->resize(ResultsSize);
  auto* pages = new QTabWidget(results_);
  Window(pages, "TPageControl", "");
  auto* index = new QWidget(pages);
  Window(index, "TTabSheet", "Index");
  memo1_ = new QPlainTextEdit(index);
  memo2_ = new QPlainTextEdit(index);
  for (QPlainTextEdit* memo : {memo1_, memo2_}) {
    memo->setReadOnly(true);
    Window(memo, "TMemo", "");
  }
  auto* indexLayout = new QVBoxLayout(index);
  indexLayout->addWidget(memo1_);
  indexLayout->addWidget(memo2_);
  pages->addTab(index, QStringLiteral("Index"));
  auto* layout = new QVBoxLayout(results_);
  layout->setSizeConstraint(QLayout::SetNoConstraint);
  layout->addWidget(pages);
}

void StandInEcoSim::Show(QWidget* window, bool shown) { qtwin::SetShown(windows_, window, shown); }

void StandInEcoSim::ShowPage(std::uintptr_t index) {
  if (index >= sheets_.size()) return;
  for (std::size_t k = 0; k < sheets_.size(); ++k) Show(sheets_[k], k == index);
  page_ = static_cast<int>(index);
  // Tessil turns the pages twice for every matrix while the window is off
  // the screen, and a tab bar lays out and elides its captions on each
  // turn: the tab widget follows only once the window is drawn.
  if (options_->isVisible()) pages_->setCurrentIndex(page_);
}

bool StandInEcoSim::eventFilter(QObject* watched, QEvent* event) {
  if (watched == options_ && event->type() == QEvent::Show) pages_->setCurrentIndex(page_);
  return WindowProcedure::eventFilter(watched, event);
}

bool StandInEcoSim::HandleMessage(QWidget* window, qtwin::WindowMessageEvent& m) {
  using namespace win;
  if (window == main_) {
    if (m.Message == WM_COMMAND && m.WParam == ecosim::ResizeCommand) {
      if (!Busy()) Show(resize_, true);
      return true;
    }
    if (m.Message == WM_COMMAND && m.WParam == ecosim::CooccurrenceCommand) {
      if (!Busy() && !qtwin::IsShown(windows_, options_)) {
        Show(main_, false);
        Show(options_, true);
      }
      return true;
    }
    if (m.Message == WM_CLOSE) {
      // A simulation in hand keeps EcoSim from closing.
      if (!Busy()) AskToExit();
      return true;
    }
    return false;
  }
  if (window == grid_) {
    if (m.Message == WM_CHAR) {
      grid_->Type(TypedCharacter(static_cast<char>(m.WParam & 0xFF), faults_));
      return true;
    }
    if (m.Message == WM_KEYDOWN && m.WParam == VK_TAB) {
      grid_->Tab();
      return true;
    }
    return false;
  }
  if (window == pages_ && m.Message == TCM_SETCURFOCUS) {
    ShowPage(m.WParam);
    return true;
  }
  if (m.Message == WM_COMMAND) {
    // A radio group selects the button named by lParam.
    for (const RadioGroup* group : {&rows_, &columns_, &algorithm_, &degenerate_, &empty_}) {
      if (window != group->Box) continue;
      for (QWidget* button : group->Buttons) {
        const WindowHandle handle = qtwin::FindHandle(windows_, button);
        if (handle != NoWindow && static_cast<std::intptr_t>(handle) == m.LParam) {
          static_cast<QRadioButton*>(button)->setChecked(true);
        }
      }
      return true;
    }
  }
  if (m.Message == WM_CLOSE && (window == options_ || window == results_)) {
    Show(window, false);
    Show(main_, true);
    return true;
  }
  if (window == seed_ && m.Message == WM_SETTEXT) {
    // A new seed starts a new run of tests; the default handling sets the
    // field's content.
    ordinals_.SeedSet();
    return false;
  }
  if (window == beep_ && (m.Message == WM_KEYDOWN || m.Message == WM_KEYUP) && m.WParam == VK_SPACE) {
    // A check box toggles when the space bar is released after a press.
    if (m.Message == WM_KEYDOWN) {
      spaceDown_ = true;
    } else if (spaceDown_) {
      spaceDown_ = false;
      beep_->setChecked(!beep_->isChecked());
    }
    return true;
  }
  return false;
}

void StandInEcoSim::AcceptResize() {
  // A size that is not a number keeps the dialog open.
  const std::optional<GridSize> size =
      AcceptedSize(qtwin::TextOf(windows_, resizeColumns_), qtwin::TextOf(windows_, resizeRows_));
  if (!size) return;
  grid_->Resize(size->Rows, size->Cols);
  Show(resize_, false);
}

std::string StandInEcoSim::Selected(const RadioGroup& group) const {
  for (QWidget* button : group.Buttons) {
    if (static_cast<QRadioButton*>(button)->isChecked()) return qtwin::TextOf(windows_, button);
  }
  return {};
}

OptionTexts StandInEcoSim::HeldTexts() const {
  OptionTexts o;
  o.RowConstraint = Selected(rows_);
  o.ColumnConstraint = Selected(columns_);
  o.Index = qtwin::TextOf(windows_, index_->lineEdit());
  o.Algorithm = Selected(algorithm_);
  o.DegenerateMatrices = Selected(degenerate_);
  o.EmptySites = Selected(empty_);
  o.Iterations = qtwin::TextOf(windows_, iterations_);
  o.Seed = qtwin::TextOf(windows_, seed_);
  return o;
}

cooc::Incidence StandInEcoSim::GridMatrix() const { return grid_->Cells().Matrix(); }

bool StandInEcoSim::BeepChecked() const { return beep_->isChecked(); }

void StandInEcoSim::StartTest() {
  if (Busy() || !qtwin::IsShown(windows_, options_)) return;
  running_ = true;
  ++testsStarted_;
  // Every test counts, from the last time the seed was set.
  const std::uint64_t ordinal = ordinals_.Take();
  Show(options_, false);
  sliceCount_ = 0;
  qtwin::SetText(windows_, progress_, ProgressCaption(0));
  Show(progress_, true);
  stalled_ = faults_.Stall;
  hung_ = faults_.Hang;
  if (!stalled_ && !hung_) {
    job_ = MakeJob(GridMatrix(), HeldTexts(), ordinal);
    // A test expected to be short is computed in one slice; a longer one
    // beside the message loop, so that the windows stay live meanwhile.
    if (estimate_.NeedsThread(job_->Work)) {
      // Where no thread can be started the test is computed in the
      // slices instead, holding up the windows while it runs but ending as
      // it would.
      try {
        if (faults_.WorkerThreadFails) {
          throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        }
        worker_ = StartWorker(job_, workersRunning_);
      } catch (const std::system_error&) {
      }
    }
  }
  if (!stalled_) ScheduleSlice();
}

// Each slice is a posted message to EcoSim itself, so one comes in every turn
// of message processing, the turns that deliver only posted messages
// included.
void StandInEcoSim::ScheduleSlice() {
  QMetaObject::invokeMethod(
      this,
      [this, generation = sliceGeneration_] {
        if (generation == sliceGeneration_) Slice();
      },
      Qt::QueuedConnection);
}

void StandInEcoSim::StopSlices() { ++sliceGeneration_; }

// One slice of the work between two turns of message processing: the
// caption shows that the simulation advances.
void StandInEcoSim::Slice() {
  ++sliceCount_;
  qtwin::SetText(windows_, progress_, ProgressCaption(sliceCount_));
  if (job_ == nullptr) {
    ScheduleSlice();
    return;
  }
  if (!worker_.joinable() && !job_->IsDone()) job_->Run();
  if (!job_->IsDone()) {
    ScheduleSlice();
    return;
  }
  StopSlices();
  if (worker_.joinable()) worker_.join();
  const std::shared_ptr<Job> job = std::move(job_);
  estimate_.Record(*job);
  EndTest(job->Result);
}

void StandInEcoSim::EndTest(const cooc::TestResult& result) {
  running_ = false;
  last_ = result;
  Show(progress_, false);
  if (BeepChecked()) QApplication::beep();
  const TestEnding ending = EndingOf(result, faults_);
  if (ending.ShowsResults) {
    qtwin::SetText(windows_, memo1_, ending.Memo1);
    qtwin::SetText(windows_, memo2_, ending.Memo2);
    Show(results_, true);
    return;
  }
  ShowMessage(ending.Message, false);
}

void StandInEcoSim::Abort() {
  if (!running_ || hung_) return;
  StopSlices();
  StopWorker();
  job_.reset();
  running_ = false;
  stalled_ = false;
  Show(progress_, false);
  Show(main_, true);
}

void StandInEcoSim::StopWorker() {
  if (job_ == nullptr) return;
  job_->Stop.request_stop();
  if (worker_.joinable()) worker_.join();
  aborted_ = job_->Result;
}

void StandInEcoSim::AskToExit() { ShowMessage(std::string(ExitQuestion), true); }

void StandInEcoSim::ShowMessage(const std::string& text, bool exitOnOk) {
  auto* form = new QWidget(nullptr, EcoSimWindowFlags);
  topLevels_.emplace_back(form);
  Window(form, "TMessageForm", exitOnOk ? ExitQuestionTitle : MessageTitle);
  auto* layout = new QVBoxLayout(form);
  layout->addWidget(Window(new QLabel(form), "TLabel", text));
  auto* ok = new QPushButton(form);
  layout->addWidget(Window(ok, "TButton", "OK"));
  QObject::connect(ok, &QPushButton::clicked, this, [this, form, exitOnOk] {
    qtwin::DestroyWindow(windows_, form);
    if (!exitOnOk) {
      Show(main_, true);
      return;
    }
    // EcoSim ends: every window of this instance goes at once.
    for (QPointer<QWidget>& window : topLevels_) qtwin::DestroyWindow(windows_, window.data());
    world_.Programs().EndProgramLater(this);
  });
  if (exitOnOk) {
    auto* cancel = new QPushButton(form);
    layout->addWidget(Window(cancel, "TButton", "Cancel"));
    QObject::connect(cancel, &QPushButton::clicked, this, [this, form] { qtwin::DestroyWindow(windows_, form); });
  }
  Show(form, true);
}

void RegisterStandInEcoSim(qtwin::WindowWorld& world, StandInSwitches& switches) {
  world.Programs().RegisterProgram(StandInProgramFile, [&world, &switches](const std::string& folder) {
    return std::make_unique<StandInEcoSim>(world, switches, folder);
  });
}

std::vector<StandInEcoSim*> RunningStandIns(qtwin::WindowWorld& world) {
  std::vector<StandInEcoSim*> running;
  world.Programs().ForEachProgram([&running](qtwin::HostedProgram& p) {
    if (auto* s = dynamic_cast<StandInEcoSim*>(&p)) running.push_back(s);
  });
  return running;
}

}  // namespace tessil::standin
