// Tessil's desktop program.
#include <QApplication>

#include "DesktopProgram.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tessil"));
  // The main window hides during a run and while the EcoSim options show;
  // only a confirmed exit ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  tessil::DesktopProgram program;
  program.MainWindow().show();
  return QApplication::exec();
}
