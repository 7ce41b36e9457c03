// The simulation options dialog: what "OK" stores in the run settings, the
// question about few matrices, the refusals, and what reopening shows.
#include <gtest/gtest.h>

#include <QWindow>

#include <QPointer>
#include <QStyle>

#include "UiTestSupport.h"
#include "Validation.h"
#include "frmAdvanced.h"

namespace tessil::test {
namespace {

struct AdvancedHarness : MainWindowHarness {
  frmAdvanced* Open() {
    Find<QPushButton>("cmd3")->click();
    Dialog = Main->findChild<frmAdvanced*>();
    EXPECT_NE(Dialog, nullptr);
    return Dialog;
  }
  // Types both texts and presses OK, answering the question if it is asked.
  void Enter(const char* iterations, const char* seed) {
    Child<QLineEdit>(Dialog.data(), "txt1")->setText(QString::fromLatin1(iterations));
    Child<QLineEdit>(Dialog.data(), "txt2")->setText(QString::fromLatin1(seed));
    Child<QPushButton>(Dialog.data(), "cmd1")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  bool Closed() const { return Dialog.isNull() || !Dialog->isVisible(); }
  QPointer<frmAdvanced> Dialog;
};

TEST(SimulationOptions, AFreshProgramShows100And0WithTheFocusOnOK) {
  AdvancedHarness h;
  frmAdvanced* dialog = h.Open();
  EXPECT_EQ(dialog->windowTitle(), "Tessil -- Options");
  EXPECT_EQ(Child<QLineEdit>(dialog, "txt1")->text(), "100");
  EXPECT_EQ(Child<QLineEdit>(dialog, "txt2")->text(), "0");
  EXPECT_EQ(Child<QLabel>(dialog, "lbl1")->text(), "Number of Iterations:");
  EXPECT_EQ(Child<QLabel>(dialog, "lbl2")->text(), "Random Seed:");
  EXPECT_EQ(Child<QLabel>(dialog, "Label1")->text(), "Simulations");
  EXPECT_EQ(dialog->focusWidget(), Child<QWidget>(dialog, "cmd1"));
  // As wide as the boxes need for their largest value, never narrower.
  EXPECT_GE(dialog->width(), 246);
  EXPECT_EQ(dialog->height(), 144);
}

TEST(SimulationOptions, TheLargestValueShowsWholeInBothBoxes) {
  AdvancedHarness h;
  frmAdvanced* dialog = h.Open();
  auto* frame = Child<QWidget>(dialog, "fra1");
  for (const char* name : {"txt1", "txt2"}) {
    auto* box = Child<QLineEdit>(dialog, name);
    const int frameWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
    EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance("2147483647") + 2 * frameWidth + 4) << name;
    EXPECT_TRUE(frame->rect().contains(box->geometry())) << name;
    // Whole: the box shows the same whether its cursor is at the start or
    // at the end of the value.
    box->setText("2147483647");
    box->setCursorPosition(0);
    const QImage start = box->grab().toImage();
    box->end(false);
    EXPECT_EQ(box->grab().toImage(), start) << name;
  }
  EXPECT_TRUE(QRect(QPoint(0, 0), dialog->size()).contains(frame->geometry()));
  EXPECT_LE(Child<QLabel>(dialog, "lbl1")->geometry().right(), Child<QLineEdit>(dialog, "txt1")->x());
}

struct OkCase {
  const char* Iterations;
  const char* Seed;
  std::deque<bool> Answers;
  QStringList Shown;
  bool Stored;
  std::int32_t NumIterations;
  std::int32_t RandomSeed;
};

TEST(SimulationOptions, OkStoresRoundedValuesOrReturnsToTheDialogWithTheTextsKept) {
  const QString few = Q(message::FewIterations);
  const OkCase table[] = {
      {"250", "7", {}, {}, true, 250, 7},
      {"100", "0", {}, {}, true, 100, 0},
      {"99", "0", {true}, {few}, true, 99, 0},
      {"99", "0", {false}, {few}, false, 0, 0},
      {"2.5", "0", {true}, {few}, true, 2, 0},
      {"3.5", "5.5", {true}, {few}, true, 4, 6},
      {"0.4", "0", {true}, {few}, true, 0, 0},
      {"0", "0", {}, {Q(message::IterationsPositive)}, false, 0, 0},
      {"-5", "0", {}, {Q(message::IterationsPositive)}, false, 0, 0},
      {"abc", "0", {}, {Q(message::IterationsPositive)}, false, 0, 0},
      {"250", "-1", {}, {Q(message::SeedPositive)}, false, 0, 0},
      {"50", "-1", {true}, {few, Q(message::SeedPositive)}, false, 0, 0},
  };
  for (const OkCase& c : table) {
    SCOPED_TRACE(std::string(c.Iterations) + " / " + c.Seed);
    AdvancedHarness h;
    h.Open();
    h.Boxes.Answers = c.Answers;
    h.Enter(c.Iterations, c.Seed);
    EXPECT_EQ(h.Boxes.Texts(), c.Shown);
    EXPECT_EQ(h.Closed(), c.Stored);
    EXPECT_EQ(h.Settings.NumIterations, c.NumIterations);
    EXPECT_EQ(h.Settings.RandomSeed, c.RandomSeed);
    if (!c.Stored) {
      ASSERT_FALSE(h.Dialog.isNull());
      EXPECT_TRUE(h.Dialog->isVisible());
      EXPECT_EQ(Child<QLineEdit>(h.Dialog.data(), "txt1")->text(), c.Iterations);
      EXPECT_EQ(Child<QLineEdit>(h.Dialog.data(), "txt2")->text(), c.Seed);
    }
  }
}

TEST(SimulationOptions, ReopeningShowsTheStoredValuesAndZeroIterationsAsTheDefault) {
  AdvancedHarness h;
  h.Open();
  h.Enter("250", "7");
  frmAdvanced* again = h.Open();
  EXPECT_EQ(Child<QLineEdit>(again, "txt1")->text(), "250");
  EXPECT_EQ(Child<QLineEdit>(again, "txt2")->text(), "7");
  h.Boxes.Answers = {true};
  h.Enter("0.4", "0");
  EXPECT_EQ(h.Settings.NumIterations, 0);
  frmAdvanced* third = h.Open();
  EXPECT_EQ(Child<QLineEdit>(third, "txt1")->text(), "100");
  EXPECT_EQ(Child<QLineEdit>(third, "txt2")->text(), "0");
}

TEST(SimulationOptions, CancelAndTheFrameCloseStoreNothing) {
  for (const bool byFrame : {false, true}) {
    SCOPED_TRACE(byFrame ? "frame" : "Cancel");
    AdvancedHarness h;
    h.Settings.RandomSeed = 3;
    frmAdvanced* dialog = h.Open();
    Child<QLineEdit>(dialog, "txt1")->setText("500");
    Child<QLineEdit>(dialog, "txt2")->setText("9");
    if (byFrame) {
      dialog->windowHandle()->close();
    } else {
      Child<QPushButton>(dialog, "cmd2")->click();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(h.Closed());
    EXPECT_EQ(h.Settings.NumIterations, 0);
    EXPECT_EQ(h.Settings.RandomSeed, 3);
    EXPECT_TRUE(h.Boxes.Texts().isEmpty());
  }
}

}  // namespace
}  // namespace tessil::test
