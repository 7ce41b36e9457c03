// windows.h (through the face's header) before commctrl.h
#include "Win32Windows.h"
// comctl32
#include <commctrl.h>

#include <exception>

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

std::wstring CaptionOf(std::string_view caption) { return Wide(caption); }

}  // namespace

frmMain::frmMain(RunSettings& settings, DesktopServices& services)
    : settings_(settings),
      services_(services),
      help_(services),
      messages_(*this),
      main_(help_),
      run_(RunServices{settings, main_, services.Time, messages_, [] { ProcessPendingMessages(); }}, *this),
      exit_(help_, *this) {
  HMENU menu = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, mnuFileExit, L"E&xit");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
  HMENU help = CreatePopupMenu();
  AppendMenuW(help, MF_STRING, mnuHelpHelp, L"Tessil &Help\tF1");
  AppendMenuW(help, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(help, MF_STRING, mnuHelpAbout, L"&About Tessil");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"&Help");
  Create(L"Tessil", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 715, 451, nullptr, nullptr, menu);
  BuildControls();
  // The first control in the tab order takes the focus when the window
  // opens, and an option that takes the focus is selected.
  main_.Open();
  Draw();
}

frmMain::~frmMain() {
  progress_.reset();
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
                        ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP,
                        ScaledRect(376, 38, 309, 140), txtTest);
  cmd1_ = AddControl(w, L"Button", L"Change...", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, ScaledRect(575, 186, 110, 26),
                     cmdChange);
  AddControl(w, L"Static", L"Rows (Number of Species):", SS_LEFT, ScaledRect(380, 262, 210, 22), 0);
  txtRows_ = AddControl(w, L"Edit", L"10", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP,
                        ScaledRect(595, 259, 88, 24), txtRows);
  AddControl(w, L"Static", L"Columns (Number of Sites):", SS_LEFT, ScaledRect(380, 294, 210, 22), 0);
  txtCols_ = AddControl(w, L"Edit", L"10", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP,
                        ScaledRect(595, 291, 88, 24), txtCols);
  cmd2_ =
      AddControl(w, L"Button", L"Run", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, ScaledRect(380, 374, 140, 36), cmdRun);
  SendMessageW(cmd2_, WM_SETFONT, reinterpret_cast<WPARAM>(BoldDialogFont()), FALSE);
  cmd3_ = AddControl(w, L"Button", L"Advanced Options...", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP,
                     ScaledRect(534, 374, 149, 36), cmdAdvanced);

  // One tooltip per frame, for every control in it.
  tooltips_ =
      CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, w, nullptr, GetModuleHandleW(nullptr), nullptr);
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

void frmMain::Draw() {
  const MainWindowState& s = main_.State();
  drawing_ = true;
  auto text = [](HWND box, const std::string& value) {
    const std::wstring wide = Wide(value);
    // Rewriting an unchanged box would move the user's caret.
    if (TextOf(box) != wide) SetText(box, wide);
  };
  auto option = [](HWND button, bool checked, bool enabled) {
    SetChecked(button, checked);
    EnableWindow(button, enabled ? TRUE : FALSE);
  };
  option(optH01_, s.NullHypothesis == Hypothesis::NoInteractions, true);
  option(optH02_, s.NullHypothesis == Hypothesis::SitesEquivalent, true);
  option(optH03_, s.NullHypothesis == Hypothesis::SpeciesEquivalent, true);
  text(txtHA_, s.AlternativeHypothesis);
  option(chkASiEq_, s.SitesEquivalent.Checked, s.SitesEquivalent.Enabled);
  option(chkASpEq_, s.SpeciesEquivalent.Checked, s.SpeciesEquivalent.Enabled);
  option(chkAIn_, s.Interaction.Checked, s.Interaction.Enabled);
  EnableWindow(fra6_, s.LevelsEnabled ? TRUE : FALSE);
  option(optAIn0_, s.Level == InteractionLevel::None, s.LevelsEnabled);
  option(optAIn50_, s.Level == InteractionLevel::Half, s.LevelsEnabled);
  option(optAIn100_, s.Level == InteractionLevel::All, s.LevelsEnabled);
  text(txtTest_, s.TestSummary);
  text(txtRows_, s.RowsText);
  text(txtCols_, s.ColsText);
  drawing_ = false;
}

void frmMain::LeaveSize(HWND box) {
  if (validating_) return;
  const Checked checked = box == txtRows_ ? main_.LeaveRows() : main_.LeaveCols();
  Draw();
  if (checked.Accepted()) {
    if (refusedBox_ == box) refusedBox_ = nullptr;
    return;
  }
  // The box keeps the focus until it holds a size that can be run.
  validating_ = true;
  refusedBox_ = box;
  messages_.Inform(checked.Refusal);
  SetFocus(box);
  SendMessageW(box, EM_SETSEL, 0, -1);
  validating_ = false;
}

void frmMain::ShowMainWindow() {
  Show(true);
  SetForegroundWindow(Handle());
}

void frmMain::OpenProgressWindow(ProgressPresenter& progress) {
  progress_ = std::make_unique<frmProgress>(progress);
  progress.SetView(progress_.get());
  progress_->Show(true);
  DisableCloseButton(progress_->Handle());
  UpdateWindow(progress_->Handle());
}

void frmMain::HideProgressWindow() {
  if (progress_) progress_->Show(false);
}

void frmMain::UnloadProgressWindow() {
  if (!progress_) return;
  progress_->Unload();
  progress_.reset();
}

MadeAutomation frmMain::MakeAutomation(RunSettings& settings, const RunInputs& inputs, ProgressPresenter& progress) {
  return services_.MakeAutomation(settings, inputs, progress, progress, progress_ ? progress_->Handle() : nullptr);
}

void frmMain::ShowResults(std::string report, ResultsChart chart) {
  // The main window returns when the results window closes, however it is
  // closed.
  results_ =
      std::make_unique<frmResults>(services_, help_, std::move(report), std::move(chart), [this] { ShowMainWindow(); });
}

void frmMain::UnloadWindows() {
  if (options_) options_->Unload();
  options_.reset();
  results_.reset();
  Destroy();
  confirm_.reset();
}

void frmMain::LeaveMessageLoop(int status) {
  exitStatus_ = status;
  ended_ = true;
  PostQuitMessage(status);
}

void frmMain::AskToExit() {
  if (exit_.CloseAllowed()) return;
  if (!confirm_) confirm_ = std::make_unique<frmConfirmExit>(Handle());
  if (confirm_->Visible()) return;
  if (confirm_->Ask()) {
    exit_.Yes();
  } else {
    exit_.No();
  }
}

void frmMain::Command(int id, int code, HWND control) {
  if (drawing_) return;
  auto clicked = [&] { return code == BN_CLICKED; };
  switch (id) {
    case optH01:
    case optH02:
    case optH03:
      if (clicked() && IsChecked(control)) {
        main_.SelectHypothesis(id == optH01   ? Hypothesis::NoInteractions
                               : id == optH02 ? Hypothesis::SitesEquivalent
                                              : Hypothesis::SpeciesEquivalent);
      }
      break;
    case chkASiEq:
      if (clicked()) main_.CheckSitesEquivalent(IsChecked(control));
      break;
    case chkASpEq:
      if (clicked()) main_.CheckSpeciesEquivalent(IsChecked(control));
      break;
    case chkAIn:
      if (clicked()) main_.CheckInteraction(IsChecked(control));
      break;
    case optAIn0:
    case optAIn50:
    case optAIn100:
      if (clicked() && IsChecked(control)) {
        main_.SelectLevel(id == optAIn0    ? InteractionLevel::None
                          : id == optAIn50 ? InteractionLevel::Half
                                           : InteractionLevel::All);
      }
      break;
    case txtRows:
    case txtCols:
      if (code == EN_CHANGE) {
        if (id == txtRows) main_.TypeRows(Narrow(TextOf(control)));
        if (id == txtCols) main_.TypeCols(Narrow(TextOf(control)));
        return;
      }
      if (code == EN_KILLFOCUS) LeaveSize(control);
      return;
    case cmdChange:
    case cmdRun:
    case cmdAdvanced:
      // A size box holding a refused text keeps the focus: the press only
      // repeats the refusal.
      if (refusedBox_ != nullptr) {
        LeaveSize(refusedBox_);
        if (refusedBox_ != nullptr) return;
      }
      if (id == cmdChange) {
        if (!options_)
          options_ = std::make_unique<frmEcoSimOptions>(main_.EcoSimOptions(), Handle(), [this] { Draw(); });
        Show(false);
        options_->ShowCommitted();
      } else if (id == cmdRun) {
        run_.Run();
      } else {
        frmAdvanced dialog(settings_, Handle());
        dialog.Open();
      }
      break;
    case mnuFileExit:
      // Exit asks the window to close, which asks first.
      PostMessageW(Handle(), WM_CLOSE, 0, 0);
      return;
    case mnuHelpHelp:
    case HelpCommand:
      main_.ShowHelp();
      return;
    case mnuHelpAbout: {
      frmAbout about(Handle());
      about.Open();
      return;
    }
    default:
      return;
  }
  if (Handle() != nullptr) Draw();
}

LRESULT frmMain::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      Command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
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

void HtmlHelpViewer::ShowHelpTopic(std::string_view file, std::string_view topic) {
  // The help file is looked for beside the program, whatever folder the
  // program was started from.
  if (services_.HtmlHelp)
    services_.HtmlHelp(services_.ProgramFolder + L"\\" + Wide(file), HelpDisplayTopic, Wide(topic));
}

void HtmlHelpViewer::CloseAllHelp() {
  if (services_.HtmlHelp) services_.HtmlHelp(L"", HelpCloseAll, L"");
}

}  // namespace tessil::win32ui
