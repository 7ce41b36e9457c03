// The widget tests need one application object for the whole program, on
// Qt's offscreen platform unless another is asked for (the build lists the
// tests by running this program, without the test environment).
#include <gtest/gtest.h>

#include <QApplication>

#include "ButtonKeys.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  // The program's own style, as its start-up installs it.
  tessil::ShowButtonFocusClearly();
  return RUN_ALL_TESTS();
}
