// The program by the keyboard, as a Windows user works it: Enter presses the
// focused button in every window, the focused button can be seen, and a
// refused value is selected again so that typing replaces it.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <vector>

#include "MessageBoxes.h"
#include "UiTestSupport.h"
#include "Validation.h"
#include "frmAbout.h"
#include "frmAdvanced.h"
#include "frmConfirmExit.h"
#include "frmEcoSimOptions.h"

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
    // A mark seen at a glance runs all round inside the button.
    EXPECT_GE(MarkedlyChanged(without, with), (button->width() + button->height()) * 3 / 4) << name;
  }
}

// The largest share of dark pixels on one ring 1 to 8 pixels inside the
// button: a frame all round gives nearly 1.
double DarkestRing(QPushButton* button) {
  const QImage image = button->grab().toImage();
  double darkest = 0;
  for (int inset = 1; inset <= 8; ++inset) {
    const QRect ring = image.rect().adjusted(inset, inset, -inset, -inset);
    int dark = 0;
    for (int x = ring.left(); x <= ring.right(); ++x) {
      for (int y = ring.top(); y <= ring.bottom(); ++y) {
        const bool onRing = x == ring.left() || x == ring.right() || y == ring.top() || y == ring.bottom();
        dark += onRing && qGray(image.pixel(x, y)) < 80;
      }
    }
    darkest = std::max(darkest, dark / (2.0 * (ring.width() + ring.height()) - 4));
  }
  return darkest;
}

// Each button in turn takes the focus and alone carries the frame; with the
// focus off the buttons, none does (a default button neither).
void ExpectTheFocusedButtonAloneMarked(QWidget* window, const std::vector<QAbstractButton*>& buttons) {
  Activate(window);
  for (QAbstractButton* focused : buttons) {
    focused->setFocus(Qt::TabFocusReason);
    for (QAbstractButton* button : buttons) {
      EXPECT_EQ(DarkestRing(qobject_cast<QPushButton*>(button)) > 0.9, button == focused)
          << window->metaObject()->className() << ": " << button->text().toStdString() << " with the focus on "
          << focused->text().toStdString();
    }
  }
  QApplication::focusWidget()->clearFocus();
  for (QAbstractButton* button : buttons) {
    EXPECT_LT(DarkestRing(qobject_cast<QPushButton*>(button)), 0.5)
        << window->metaObject()->className() << ": " << button->text().toStdString() << " without the focus";
  }
}

TEST(Keyboard, EveryWindowMarksItsFocusedButtonAndNoOther) {
  MainWindowHarness h;
  auto buttons = [](QWidget* window, std::initializer_list<const char*> names) {
    std::vector<QAbstractButton*> found;
    for (const char* name : names) found.push_back(Child<QPushButton>(window, name));
    return found;
  };
  ExpectTheFocusedButtonAloneMarked(h.Main.get(), buttons(h.Main.get(), {"cmd1", "cmd2", "cmd3"}));
  h.Find<QAction>("mnuFileExit")->trigger();
  frmConfirmExit* confirm = h.Main->ConfirmExit();
  ExpectTheFocusedButtonAloneMarked(confirm, buttons(confirm, {"cmd1", "cmd2"}));
  // Enter answers as the focused No: the program stays.
  Child<QPushButton>(confirm, "cmd2")->setFocus(Qt::TabFocusReason);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_FALSE(confirm->isVisible());
  EXPECT_EQ(h.Ended, 0);

  h.Find<QPushButton>("cmd1")->click();
  ExpectTheFocusedButtonAloneMarked(h.Main->EcoSimOptionsIfLoaded(),
                                    buttons(h.Main->EcoSimOptionsIfLoaded(), {"cmd1", "cmd2"}));
  Child<QPushButton>(h.Main->EcoSimOptionsIfLoaded(), "cmd2")->click();
  h.Find<QPushButton>("cmd3")->click();
  auto* advanced = h.Main->findChild<frmAdvanced*>();
  ExpectTheFocusedButtonAloneMarked(advanced, buttons(advanced, {"cmd1", "cmd2"}));
  Child<QPushButton>(advanced, "cmd2")->click();
  h.Find<QAction>("mnuHelpAbout")->trigger();
  auto* about = h.Main->findChild<frmAbout*>();
  ExpectTheFocusedButtonAloneMarked(about, buttons(about, {"cmd1"}));
  about->close();

  // The program's own question box.
  QTimer::singleShot(0, [] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    ExpectTheFocusedButtonAloneMarked(box, {box->button(QMessageBox::Yes), box->button(QMessageBox::No)});
    box->button(QMessageBox::No)->click();
  });
  QtMessageBoxes boxes;
  EXPECT_FALSE(boxes.AskYesNo(h.Main.get(), QStringLiteral("Continue?")));

  // A study: its progress window's Cancel, then the results window.
  h.Settings.NumIterations = 2;
  int checked = 0;
  ObservedAutomation::Observed.OnEnter = [&](int entered, QWidget* progress) {
    if (entered == 1) ExpectTheFocusedButtonAloneMarked(progress, buttons(progress, {"cmd1"}));
    checked += entered == 1;
  };
  h.Find<QPushButton>("cmd2")->click();
  EXPECT_EQ(checked, 1);
  ExpectTheFocusedButtonAloneMarked(h.Main->ResultsWindow(),
                                    buttons(h.Main->ResultsWindow(), {"cmd1", "cmd2", "cmd3"}));
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
