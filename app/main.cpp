// Tessil's desktop program.
#include <QApplication>

#include "DesktopProgram.h"
#ifdef _WIN32
#include "Win32WindowSystem.h"
#else
#include "StandInAutomation.h"
#endif

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tessil"));
  // The main window hides during a run and while the EcoSim options show;
  // only a confirmed exit ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
#ifdef _WIN32
  // Runs drive EcoSim 7.0 itself, EcoSim\EcoSim700.exe beside the program,
  // in a process of its own; the waits keep Qt's windows live.
  tessil::Win32WindowSystem::Options options;
  options.ProcessMessages = [] { QCoreApplication::processEvents(QEventLoop::AllEvents); };
  tessil::Win32WindowSystem windows(options);
  tessil::DesktopProgram program(
      tessil::WindowProtocolAutomation(windows, QCoreApplication::applicationDirPath().toStdWString()));
#else
  // Runs drive EcoSim through its windows; where EcoSim 7.0 cannot run, the
  // stand-in answers, started from its program file in the program's folder.
  // The windows and programs the window protocol sees live here, for the
  // life of the program.
  tessil::qtwin::WindowWorld world;
  tessil::standin::StandInAutomation windows(world, QCoreApplication::applicationDirPath().toStdString());
  tessil::DesktopProgram program(tessil::WindowProtocolAutomation(windows));
#endif
  program.MainWindow().show();
  return QApplication::exec();
}
