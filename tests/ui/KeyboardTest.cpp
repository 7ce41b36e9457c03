// The program by the keyboard, as a Windows user works it: Enter presses the
// focused button in every window, the focused button can be seen, and a
// refused value is selected again so that typing replaces it.
#include <gtest/gtest.h>

#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "UiTestSupport.h"
#include "Validation.h"

namespace tessil::test {
namespace {

void PressEnter(QPushButton* button, bool keypad) {
  Activate(button->window());
  button->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(button->hasFocus()) << button->objectName().toStdString();
  if (keypad) {
    QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
  } else {
    QTest::keyClick(button, Qt::Key_Return);
  }
}

TEST(Keyboard, EnterPressesTheFocusedRunSaveAndCloseButtons) {
  MainWindowHarness h;
  TypeAndLeave(h.Find<QLineEdit>("txtRows"), "4");
  TypeAndLeave(h.Find<QLineEdit>("txtCols"), "4");
  h.Settings.NumIterations = 2;  // a short study

  PressEnter(h.Find<QPushButton>("cmd2"), false);  // Run
  EXPECT_EQ(ObservedAutomation::Observed.Prepared, 1);
  QPointer<frmResults> results = h.Main->ResultsWindow();
  ASSERT_FALSE(results.isNull());
  ASSERT_TRUE(results->isVisible());

  QTemporaryDir folder;
  h.ChosenFile = folder.filePath("study");
  PressEnter(Child<QPushButton>(results.data(), "cmd1"), true);  // Save, by the keypad's Enter
  EXPECT_TRUE(QFile::exists(folder.filePath("study.txt")));
  EXPECT_TRUE(h.Boxes.Texts().isEmpty());

  PressEnter(Child<QPushButton>(results.data(), "cmd2"), false);  // Close
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(results.isNull());
}

// The pixels that change markedly in brightness between two pictures.
int MarkedlyChanged(const QImage& a, const QImage& b) {
  int changed = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) changed += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 100;
  }
  return changed;
}

TEST(Keyboard, TheMainWindowsFocusedButtonShowsAClearMark) {
  MainWindowHarness h;
  for (const char* name : {"cmd1", "cmd2", "cmd3"}) {
    auto* button = h.Find<QPushButton>(name);
    h.Find<QLineEdit>("txtRows")->setFocus(Qt::TabFocusReason);
    const QImage without = button->grab().toImage();
    button->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(button->hasFocus());
    const QImage with = button->grab().toImage();
    // A mark seen at a glance runs, dotted, all round inside the button.
    EXPECT_GE(MarkedlyChanged(without, with), (button->width() + button->height()) * 3 / 4) << name;
  }
}

TEST(Keyboard, AValueRefusedByAClickElsewhereIsSelectedAgain) {
  MainWindowHarness h;
  // A message box lets events through while it is shown.
  h.Boxes.WhenShown = [](const QString&) { QCoreApplication::processEvents(); };
  auto* rows = h.Find<QLineEdit>("txtRows");
  rows->setFocus(Qt::TabFocusReason);
  rows->selectAll();
  QTest::keyClicks(rows, "1");
  QTest::mouseClick(h.Find<QPushButton>("cmd3"), Qt::LeftButton);
  EXPECT_EQ(h.Boxes.Texts(), QStringList{Q(message::TwoRows)});
  EXPECT_EQ(QApplication::focusWidget(), rows);
  QCoreApplication::processEvents();
  EXPECT_EQ(rows->selectedText(), "1");
  QTest::keyClicks(rows, "7");
  EXPECT_EQ(rows->text(), "7");  // typing replaced the refused value
}

}  // namespace
}  // namespace tessil::test
