// The desktop program's native Win32 face: the main window, the two option
// dialogs, the progress window, the results window, the exit question and
// the About box, as Windows' own windows and standard controls. The windows
// draw controls and forward events; what they decide lives in frontend/.
//
// Built for Windows only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "AutomationHost.h"
#include "Clock.h"
#include "EcoSimAutomation.h"
#include "Public_Declarations.h"
#include "Win32Controls.h"

namespace tessil::win32ui {

// Makes the automation one run uses, given the run's settings and inputs,
// the progress window as the host and cancel link, and that window's
// handle, beside which EcoSim's windows are placed.
using AutomationFactory =
    std::function<MadeAutomation(RunSettings& settings, const RunInputs& inputs, AutomationHost& host,
                                 const ProgressLink& cancelLink, HWND progressWindow)>;

// HtmlHelpW's shape: no owner, the help file, the command and its data. The
// program passes Windows' own; tests pass one that records the calls.
using HtmlHelpCall = std::function<void(const std::wstring& file, unsigned command, const std::wstring& data)>;
inline constexpr unsigned HelpDisplayTopic = 0x0000;  // HH_DISPLAY_TOPIC
inline constexpr unsigned HelpCloseAll = 0x0012;      // HH_CLOSE_ALL

struct DesktopServices {
  Clock& Time;
  AutomationFactory MakeAutomation;
  HtmlHelpCall HtmlHelp;
  // The folder of tessil.exe: where the help file lies and saving starts.
  std::wstring ProgramFolder;
};

class MainWindow;

// The whole program: creates the main window, runs the message loop until
// a confirmed exit, and returns the program's exit status.
int RunDesktop(DesktopServices services);

// The message box of the program: titled "Tessil", no icon.
void Inform(HWND owner, std::string_view text);
bool AskYesNo(HWND owner, std::string_view text);

}  // namespace tessil::win32ui
