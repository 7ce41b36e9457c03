// Tessil's desktop program.
#include <QApplication>

#include "ButtonKeys.h"
#include "DesktopProgram.h"
#include "StandInAutomation.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tessil"));
  // The main window hides during a run and while the EcoSim options show;
  // only a confirmed exit ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  tessil::ShowButtonFocusClearly();
  // Runs drive EcoSim through its windows; where EcoSim 7.0 cannot run, the
  // stand-in answers, started from its program file in the program's folder.
  // The windows and programs the window protocol sees live here, for the
  // life of the program.
  tessil::qtwin::WindowWorld world;
  tessil::standin::StandInAutomation windows(world, QCoreApplication::applicationDirPath().toStdString());
  tessil::DesktopProgram program(tessil::WindowProtocolAutomation(windows));
  program.MainWindow().show();
  return QApplication::exec();
}
