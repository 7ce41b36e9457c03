// windows.h (through the face's header) before commctrl.h
#include "Win32Windows.h"
// comctl32
#include <commctrl.h>

#include <exception>

#include "FaceRules.h"
#include "Kernel_Procedures.h"
#include "OutputResults_Procedures.h"
#include "PowerChart.h"
#include "RandomStream.h"
#include "Validation.h"
#include "Win32Progress.h"

namespace tessil::win32ui {

namespace {

enum : int {
  optH01 = 201,
  optH02,
  optH03,
  txtHA,
  chkASiEq,
  chkASpEq,
  chkAIn,
  optAIn0,
  optAIn50,
  optAIn100,
  txtTest,
  cmdChange,
  txtRows,
  txtCols,
  cmdRun,
  cmdAdvanced,
  mnuFileExit,
  mnuHelpHelp,
  mnuHelpAbout,
};

// The clock as the run reads it: seconds since midnight at single precision,
// so that the start of the run and every later reading agree in precision.
class SinglePrecisionClock final : public Clock {
 public:
  explicit SinglePrecisionClock(Clock& inner) : inner_(inner) {}
  double SecondsSinceMidnight() override {
    return static_cast<double>(static_cast<float>(inner_.SecondsSinceMidnight()));
  }

 private:
  Clock& inner_;
};

std::wstring CaptionOf(std::string_view caption) { return Wide(caption); }

}  // namespace

frmMain::frmMain(RunSettings& settings, DesktopServices& services)
    : settings_(settings), services_(services), testSummary_(InitialTestSummary) {
  HMENU menu = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, mnuFileExit, L"E&xit");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
  HMENU help = CreatePopupMenu();
  AppendMenuW(help, MF_STRING, mnuHelpHelp, L"Tessil &Help\tF1");
  AppendMenuW(help, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(help, MF_STRING, mnuHelpAbout, L"&About Tessil");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"&Help");
  Create(L"Tessil", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, 715, 451, nullptr,
         nullptr, menu);
  BuildControls();
  SetTestSummary(testSummary_);
  // The first control in the tab order takes the focus when the window
  // opens, and an option that takes the focus is selected.
  SetChecked(optH01_, true);
  optH01_Click();
}

frmMain::~frmMain() {
  results_.reset();
  options_.reset();
  confirm_.reset();
}

void frmMain::BuildControls() {
  HWND w = Handle();
  constexpr DWORD Group = BS_GROUPBOX;
  constexpr DWORD Radio = BS_AUTORADIOBUTTON;
  constexpr DWORD Check = BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP;
  constexpr DWORD ReadOnlyEdit = ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP;
  const std::wstring sites = CaptionOf(Caption(Assumption::SitesEquivalent));

  // Frames first, so that they lie beneath their controls.
  HWND fra1 = AddControl(w, L"Button", L"Null Hypothesis", Group, ScaledRect(16, 10, 330, 118), 0);
  HWND fra2 = AddControl(w, L"Button", L"Alternative Hypothesis", Group, ScaledRect(16, 134, 330, 74), 0);
  HWND fra3 = AddControl(w, L"Button", L"Assumptions", Group, ScaledRect(16, 214, 330, 222), 0);
  HWND fra4 = AddControl(w, L"Button", L"Hypothesis Test", Group, ScaledRect(362, 10, 337, 210), 0);
  HWND fra5 = AddControl(w, L"Button", L"Presence-Absence Matrix", Group, ScaledRect(362, 226, 337, 104), 0);
  HWND fra8 = AddControl(w, L"Button", L"Analysis", Group, ScaledRect(362, 336, 337, 100), 0);
  for (HWND frame : {fra1, fra2, fra3, fra4, fra5, fra8}) {
    SendMessageW(frame, WM_SETFONT, reinterpret_cast<WPARAM>(BoldDialogFont()), FALSE);
  }
  fra6_ = AddControl(w, L"Button", L"Proportion of Species Interacting", Group | WS_DISABLED,
                     ScaledRect(54, 328, 274, 92), 0);

  // Controls in the tab order.
  optH01_ = AddControl(w, L"Button", CaptionOf(Caption(Hypothesis::NoInteractions)), Radio | WS_TABSTOP | WS_GROUP,
                       ScaledRect(34, 41, 300, 22), optH01);
  optH02_ = AddControl(w, L"Button", CaptionOf(Caption(Hypothesis::SitesEquivalent)), Radio,
                       ScaledRect(34, 66, 300, 22), optH02);
  optH03_ = AddControl(w, L"Button", CaptionOf(Caption(Hypothesis::SpeciesEquivalent)), Radio,
                       ScaledRect(34, 91, 300, 22), optH03);
  txtHA_ = AddControl(w, L"Edit", L"", ReadOnlyEdit, ScaledRect(34, 166, 294, 24), txtHA);
  chkASiEq_ = AddControl(w, L"Button", sites, Check | WS_DISABLED, ScaledRect(34, 245, 300, 22), chkASiEq);
  chkASpEq_ = AddControl(w, L"Button", CaptionOf(Caption(Assumption::SpeciesEquivalent)), Check | WS_DISABLED,
                         ScaledRect(34, 270, 300, 22), chkASpEq);
  chkAIn_ = AddControl(w, L"Button", CaptionOf(Caption(Assumption::InteractionLevel)), Check | WS_DISABLED,
                       ScaledRect(34, 295, 300, 22), chkAIn);
  optAIn0_ = AddControl(w, L"Button", CaptionOf(Caption(InteractionLevel::None)),
                        Radio | WS_TABSTOP | WS_GROUP | WS_DISABLED, ScaledRect(72, 372, 70, 22), optAIn0);
  optAIn50_ = AddControl(w, L"Button", CaptionOf(Caption(InteractionLevel::Half)), Radio | WS_DISABLED,
                         ScaledRect(154, 372, 70, 22), optAIn50);
  optAIn100_ = AddControl(w, L"Button", CaptionOf(Caption(InteractionLevel::All)), Radio | WS_DISABLED,
                          ScaledRect(236, 372, 80, 22), optAIn100);
  txtTest_ = AddControl(w, L"Edit", L"",
                        ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | WS_HSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP,
                        ScaledRect(376, 38, 309, 140), txtTest);
  cmd1_ = AddControl(w, L"Button", L"Change...", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, ScaledRect(575, 186, 110, 26),
                     cmdChange);
  AddControl(w, L"Static", L"Rows (Number of Species):", SS_LEFT, ScaledRect(380, 262, 210, 22), 0);
  txtRows_ = AddControl(w, L"Edit", L"10", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP,
                        ScaledRect(595, 259, 88, 24), txtRows);
  AddControl(w, L"Static", L"Columns (Number of Sites):", SS_LEFT, ScaledRect(380, 294, 210, 22), 0);
  txtCols_ = AddControl(w, L"Edit", L"10", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP,
                        ScaledRect(595, 291, 88, 24), txtCols);
  cmd2_ = AddControl(w, L"Button", L"Run", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, ScaledRect(380, 374, 140, 36),
                     cmdRun);
  SendMessageW(cmd2_, WM_SETFONT, reinterpret_cast<WPARAM>(BoldDialogFont()), FALSE);
  cmd3_ = AddControl(w, L"Button", L"Advanced Options...", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP,
                     ScaledRect(534, 374, 149, 36), cmdAdvanced);

  // One tooltip per frame, for every control in it.
  tooltips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, w, nullptr, GetModuleHandleW(nullptr),
                              nullptr);
  SendMessageW(tooltips_, TTM_SETMAXTIPWIDTH, 0, Scaled(360));
  auto tip = [&](std::initializer_list<HWND> controls, const wchar_t* text) {
    for (HWND control : controls) {
      TOOLINFOW tool{};
      tool.cbSize = sizeof(tool);
      tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      tool.hwnd = w;
      tool.uId = reinterpret_cast<UINT_PTR>(control);
      tool.lpszText = const_cast<wchar_t*>(text);
      SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
  };
  tip({optH01_, optH02_, optH03_}, L"Enter the null hypothesis of that you would like to test.");
  tip({txtHA_}, L"The alternative hypothesis is the complement of the null hypothesis.");
  tip({chkASiEq_, chkASpEq_, chkAIn_, optAIn0_, optAIn50_, optAIn100_},
      L"Check the assumptions that are appropriate for data set being analyzed.");
  tip({txtTest_, cmd1_}, L"Select the test that you are using.");
  tip({txtRows_, txtCols_}, L"Enter the dimensions of the presence-absence matrix being analyzed.");
  tip({cmd2_, cmd3_},
      L"Click Run to measure error rates, robustness, and bias.   Click Advanced Options for additional options.");
}

int frmMain::DefaultButton() const { return cmdRun; }

std::string frmMain::RowsText() const { return Narrow(TextOf(txtRows_)); }
std::string frmMain::ColsText() const { return Narrow(TextOf(txtCols_)); }

const EcoSimTestOptions& frmMain::CommittedOptions() const {
  return options_ ? options_->Committed() : defaultOptions_;
}

MainWindowChoices frmMain::Choices() const {
  MainWindowChoices c;
  if (IsChecked(optH02_)) c.NullHypothesis = Hypothesis::SitesEquivalent;
  if (IsChecked(optH03_)) c.NullHypothesis = Hypothesis::SpeciesEquivalent;
  c.AssumeSitesEquivalent = IsChecked(chkASiEq_);
  c.AssumeSpeciesEquivalent = IsChecked(chkASpEq_);
  if (IsChecked(chkAIn_)) {
    c.AssumedLevel = InteractionLevel::None;
    if (IsChecked(optAIn50_)) c.AssumedLevel = InteractionLevel::Half;
    if (IsChecked(optAIn100_)) c.AssumedLevel = InteractionLevel::All;
  }
  return c;
}

void frmMain::SetTestSummary(std::string summary) {
  testSummary_ = std::move(summary);
  SetText(txtTest_, Wide(testSummary_));
}

void frmMain::optH01_Click() {
  SetText(txtHA_, L"Interactions Between Species");
  EnableWindow(chkASiEq_, TRUE);
  EnableWindow(chkASpEq_, TRUE);
  SetChecked(chkAIn_, false);
  EnableWindow(chkAIn_, FALSE);
  chkAIn_Click();
}

void frmMain::optH02_Click() {
  SetText(txtHA_, L"Sites Non-equivalent");
  EnableWindow(chkASpEq_, TRUE);
  EnableWindow(chkAIn_, TRUE);
  SetChecked(chkASiEq_, false);
  EnableWindow(chkASiEq_, FALSE);
}

void frmMain::optH03_Click() {
  SetText(txtHA_, L"Species Non-equivalent");
  EnableWindow(chkASiEq_, TRUE);
  EnableWindow(chkAIn_, TRUE);
  SetChecked(chkASpEq_, false);
  EnableWindow(chkASpEq_, FALSE);
}

void frmMain::chkAIn_Click() {
  const bool on = IsChecked(chkAIn_);
  EnableWindow(fra6_, on ? TRUE : FALSE);
  for (HWND level : {optAIn100_, optAIn50_, optAIn0_}) {
    if (!on) SetChecked(level, false);
    EnableWindow(level, on ? TRUE : FALSE);
  }
  if (on) SetChecked(optAIn0_, true);
}

void frmMain::ValidateSize(HWND box, bool rows) {
  if (validating_) return;
  const Checked checked = CheckMatrixSize(Narrow(TextOf(box)), rows);
  if (checked.Accepted()) {
    SetText(box, Wide(checked.Text));
    if (refusedBox_ == box) refusedBox_ = nullptr;
    return;
  }
  // The box keeps the focus until it holds a size that can be run.
  validating_ = true;
  refusedBox_ = box;
  Inform(Handle(), checked.Refusal);
  SetFocus(box);
  SendMessageW(box, EM_SETSEL, 0, -1);
  validating_ = false;
}

void frmMain::cmd1_Click() {
  if (!options_) {
    options_ = std::make_unique<frmEcoSimOptions>(Handle(), [this](const std::string& s) { SetTestSummary(s); });
  }
  Show(false);
  options_->ShowCommitted();
}

void frmMain::cmd3_Click() {
  frmAdvanced dialog(settings_, Handle());
  dialog.Open();
}

void frmMain::mnuHelpAbout_Click() {
  frmAbout about(Handle());
  about.Open();
}

void frmMain::cmd2_Click() {
  if (running_) return;
  running_ = true;
  std::unique_ptr<frmProgress> progress;
  std::unique_ptr<EcoSimAutomation> ecosim;
  EcoSimConcurrentTesting* workers = nullptr;
  PowerTable table;
  std::exception_ptr failure;

  try {
    Show(false);
    progress = std::make_unique<frmProgress>(settings_, services_.Time);
    progress->Show(true);
    DisableCloseButton(progress->Handle());
    // The window's first painting says that EcoSim is being initialized and
    // offers Cancel, before EcoSim is started.
    progress->Repaint();
    UpdateWindow(progress->Handle());
    ProcessPendingMessages();
    MadeAutomation made = services_.MakeAutomation(settings_, *this, *progress, *progress, progress->Handle());
    ecosim = std::move(made.EcoSim);
    workers = made.Workers;
    progress->AttachAutomation(ecosim.get());
    ecosim->PrepareEcoSim();
    SinglePrecisionClock clock(services_.Time);
    RandomStream stream;
    RunContext run{settings_, *this, *ecosim, *progress, stream, clock, workers};
    table = RunPowerSimulation(run);
  } catch (...) {
    failure = std::current_exception();
  }

  // Finish, whatever happened: EcoSim is released and the settings reset.
  try {
    if (ecosim) {
      ecosim->ReleaseEcoSim();
    } else {
      ResetRunSettings(settings_);
    }
  } catch (...) {
    ResetRunSettings(settings_);
    if (!failure) failure = std::current_exception();
  }
  if (progress) {
    progress->AttachAutomation(nullptr);
    progress->Show(false);
  }
  ecosim.reset();

  const bool cancelled = progress && progress->CancelRequested();
  const bool programMissing = failure && FailedForMissingProgram(failure);
  if (cancelled) {
    Show(true);
  } else if (programMissing) {
    // The user has been told that EcoSim cannot be found; Tessil cannot
    // work without it.
  } else if (failure) {
    Show(true);
    Inform(Handle(), RunFailureText(failure));
  } else {
    results_ = std::make_unique<frmResults>(services_, BuildResultsReport(table, AnalyzeErrorRates(table), *this),
                                            PowerChartSvg(table, *this), [this] { Show(true); });
  }
  if (progress) progress->Unload();
  progress.reset();
  running_ = false;
  if (programMissing) ExitProgram(1);
}

void frmMain::AskToExit() {
  if (!confirm_) confirm_ = std::make_unique<frmConfirmExit>(Handle());
  if (confirm_->Visible()) return;
  if (confirm_->Ask()) ExitProgram(0);
}

void frmMain::ExitProgram(int status) {
  CloseAllHelp(services_);
  if (options_) options_->Unload();
  options_.reset();
  results_.reset();
  exitStatus_ = status;
  ended_ = true;
  Destroy();
  confirm_.reset();
  PostQuitMessage(status);
}

void frmMain::Command(int id, int code) {
  switch (id) {
    case optH01:
      if (code == BN_CLICKED && IsChecked(optH01_)) optH01_Click();
      break;
    case optH02:
      if (code == BN_CLICKED && IsChecked(optH02_)) optH02_Click();
      break;
    case optH03:
      if (code == BN_CLICKED && IsChecked(optH03_)) optH03_Click();
      break;
    case chkAIn:
      if (code == BN_CLICKED) chkAIn_Click();
      break;
    case txtRows:
      if (code == EN_KILLFOCUS) ValidateSize(txtRows_, true);
      break;
    case txtCols:
      if (code == EN_KILLFOCUS) ValidateSize(txtCols_, false);
      break;
    case cmdChange:
    case cmdRun:
    case cmdAdvanced:
      // A size box holding a refused text keeps the focus: the press only
      // repeats the refusal.
      if (refusedBox_ != nullptr) {
        ValidateSize(refusedBox_, refusedBox_ == txtRows_);
        if (refusedBox_ != nullptr) break;
      }
      if (id == cmdChange) cmd1_Click();
      if (id == cmdRun) cmd2_Click();
      if (id == cmdAdvanced) cmd3_Click();
      break;
    case mnuFileExit:
      PostMessageW(Handle(), WM_CLOSE, 0, 0);
      break;
    case mnuHelpHelp:
    case HelpCommand:
      ShowHelpTopic(services_, "Getting Started.htm");
      break;
    case mnuHelpAbout:
      mnuHelpAbout_Click();
      break;
    default:
      break;
  }
}

LRESULT frmMain::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      Command(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CLOSE:
      // Every request to close asks first.
      AskToExit();
      return 0;
    default:
      break;
  }
  return Window::OnMessage(message, wParam, lParam);
}

}  // namespace tessil::win32ui
