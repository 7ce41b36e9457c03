// Leaving the program, the About box, and the help windows.
#include <gtest/gtest.h>

#include <QWindow>

#include <QAction>
#include <QMessageBox>
#include <QPointer>
#include <QTextBrowser>
#include <QTimer>

#include "HelpPages.h"
#include "Help_Procedures.h"
#include "UiTestSupport.h"
#include "frmAbout.h"
#include "frmConfirmExit.h"
#include "frmEcoSimOptions.h"

namespace tessil::test {
namespace {

TEST(Exit, NoKeepsTheProgramAndEveryLaterRequestAsksAgain) {
  MainWindowHarness h;
  h.Find<QRadioButton>("optH03")->click();
  h.Main->close();
  frmConfirmExit* confirm = h.Main->ConfirmExit();
  ASSERT_NE(confirm, nullptr);
  EXPECT_TRUE(confirm->isVisible());
  EXPECT_EQ(confirm->windowTitle(), "Tessil");
  EXPECT_EQ(Child<QLabel>(confirm, "lbl1")->text(), "Exit Tessil?");
  EXPECT_EQ(confirm->size(), QSize(185, 90));
  EXPECT_TRUE(h.Main->isVisible());

  Child<QPushButton>(confirm, "cmd2")->click();
  EXPECT_FALSE(confirm->isVisible());
  EXPECT_TRUE(h.Main->isVisible());
  EXPECT_TRUE(confirm->Tag().empty());
  EXPECT_EQ(h.Ended, 0);
  EXPECT_EQ(h.Help.ClosedAll, 0);
  EXPECT_TRUE(h.Find<QRadioButton>("optH03")->isChecked());

  // The File menu's Exit asks too, with the same window; so does a close
  // from the window's frame, and Escape answers No.
  h.Find<QAction>("mnuFileExit")->trigger();
  EXPECT_EQ(h.Main->ConfirmExit(), confirm);
  EXPECT_TRUE(confirm->isVisible());
  confirm->reject();
  EXPECT_FALSE(confirm->isVisible());
  h.Main->windowHandle()->close();
  EXPECT_TRUE(confirm->isVisible());
  confirm->windowHandle()->close();
  QCoreApplication::processEvents();
  EXPECT_FALSE(confirm->isVisible());
  EXPECT_TRUE(h.Main->isVisible());
  EXPECT_EQ(h.Ended, 0);
}

TEST(Exit, YesClosesTheHelpTheOptionsDialogAndTheProgram) {
  MainWindowHarness h;
  h.Find<QPushButton>("cmd1")->click();  // the options dialog now exists
  Child<QPushButton>(h.Main->EcoSimOptionsIfLoaded(), "cmd2")->click();
  ASSERT_NE(h.Main->EcoSimOptionsIfLoaded(), nullptr);
  h.Find<QAction>("mnuFileExit")->trigger();
  Child<QPushButton>(h.Main->ConfirmExit(), "cmd1")->click();
  EXPECT_EQ(h.Main->ConfirmExit()->Tag(), ExitTag);
  EXPECT_EQ(h.Help.ClosedAll, 1);
  EXPECT_EQ(h.Main->EcoSimOptionsIfLoaded(), nullptr);
  EXPECT_FALSE(h.Main->isVisible());
  EXPECT_EQ(h.Ended, 1);
}

TEST(About, ShowsTheLogoNameAndVersionModallyAndCloseDestroysIt) {
  MainWindowHarness h;
  h.Find<QAction>("mnuHelpAbout")->trigger();
  QPointer<frmAbout> about = h.Main->findChild<frmAbout*>();
  ASSERT_FALSE(about.isNull());
  EXPECT_TRUE(about->isVisible());
  EXPECT_EQ(about->windowModality(), Qt::WindowModal);
  EXPECT_EQ(about->windowTitle(), "About Tessil");
  EXPECT_EQ(about->size(), QSize(370, 185));
  EXPECT_EQ(Child<QLabel>(about.data(), "Label1")->text(), "Tessil");
  EXPECT_EQ(Child<QLabel>(about.data(), "Label2")->text(), "Version 1.0");
  EXPECT_FALSE(Child<QLabel>(about.data(), "Label3")->text().isEmpty());
  auto* logo = Child<QLabel>(about.data(), "img1");
  EXPECT_EQ(logo->geometry(), QRect(16, 16, 153, 153));
  EXPECT_EQ(logo->pixmap().size(), QSize(287, 287));
  Child<QPushButton>(about.data(), "cmd1")->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(about.isNull());
  EXPECT_TRUE(h.Main->isVisible());
}

TEST(HelpWindows, ATopicOpensInAWindowOfItsOwnAndCloseAllHelpClosesIt) {
  HelpWindows help(HelpPagesFolder());
  help.ShowHelpTopic(HelpFile, GettingStartedTopic);
  QPointer<QWidget> window = help.WindowOf(HelpFile);
  ASSERT_FALSE(window.isNull());
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->isModal());
  EXPECT_EQ(window->parentWidget(), nullptr);
  EXPECT_TRUE(help.ShownPage(HelpFile).endsWith("Getting Started.htm"));
  EXPECT_EQ(window->windowTitle(), "Tessil Help - Getting Started");

  // The results topic opens in the same window.
  help.ShowHelpTopic(HelpFile, ResultsTopic);
  EXPECT_EQ(help.WindowOf(HelpFile), window.data());
  EXPECT_TRUE(help.ShownPage(HelpFile).endsWith("Results.htm"));
  EXPECT_FALSE(Child<QTextBrowser>(window.data(), "txtPage")->toPlainText().isEmpty());

  help.CloseAllHelp();
  EXPECT_TRUE(window.isNull());
  EXPECT_EQ(help.OpenWindows(), 0);
}

TEST(HelpWindows, AnUnknownFileOrTopicOpensNothingAndSaysNothing) {
  HelpWindows help(HelpPagesFolder());
  help.ShowHelpTopic("Other.chm", GettingStartedTopic);
  help.ShowHelpTopic(HelpFile, "Missing.htm");
  EXPECT_EQ(help.OpenWindows(), 0);
  EXPECT_EQ(help.WindowOf(HelpFile), nullptr);
}

TEST(MessageBoxes, AreTitledTessilWithoutIconAndWithOkOrYesNo) {
  QtMessageBoxes boxes;
  struct Seen {
    QString Title, Text;
    QMessageBox::Icon Icon = QMessageBox::Information;
    QMessageBox::StandardButtons Buttons;
  };
  auto answer = [](Seen& seen, QMessageBox::StandardButton press) {
    QTimer::singleShot(0, [&seen, press] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) {
        ADD_FAILURE() << "no message box shown";
        return;
      }
      seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
      if (QAbstractButton* button = box->button(press)) {
        button->click();
      } else {
        ADD_FAILURE() << "the box lacks the button";
        box->done(0);
      }
    });
  };
  Seen inform, ask;
  answer(inform, QMessageBox::Ok);
  boxes.Inform(nullptr, "Error 03: invalid file name");
  EXPECT_EQ(inform.Title, "Tessil");
  EXPECT_EQ(inform.Text, "Error 03: invalid file name");
  EXPECT_EQ(inform.Icon, QMessageBox::NoIcon);
  EXPECT_EQ(inform.Buttons, QMessageBox::Ok);
  answer(ask, QMessageBox::No);
  EXPECT_FALSE(boxes.AskYesNo(nullptr, "Continue?"));
  EXPECT_EQ(ask.Title, "Tessil");
  EXPECT_EQ(ask.Icon, QMessageBox::NoIcon);
  EXPECT_EQ(ask.Buttons, QMessageBox::Yes | QMessageBox::No);
}

}  // namespace
}  // namespace tessil::test
