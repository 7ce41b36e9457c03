// The progress window: the time remaining, the percentage in the title, the
// status line and the bar, its repaint, Cancel, "Show EcoSim" and the
// refused close.
#include <gtest/gtest.h>

#include <QWindow>

#include <QTest>

#include "UiTestSupport.h"
#include "UpdateProgress_Procedures.h"
#include "frmProgress.h"

namespace tessil::test {
namespace {

struct ProgressHarness {
  ProgressHarness() : Window(Settings, Time, Boxes, [this] { ++Yields; }) {
    Settings.NumArguments = 36;
    Settings.NumIterations = 100;
    Settings.StartTime = Time.Now;
    Window.show();
    QCoreApplication::processEvents();
  }
  RunSettings Settings;
  ScriptedClock Time;
  ScriptedMessageBoxes Boxes;
  int Yields = 0;
  frmProgress Window;
  QString TimeText() { return Child<TextPicture>(&Window, "pbx1")->Text(); }
  QString Status() { return Child<TextPicture>(&Window, "pbx2")->Text(); }
};

TEST(ProgressWindow, StartsInitializingWithCancelAndShowEcoSimDisabled) {
  RunSettings settings;
  ScriptedClock time;
  ScriptedMessageBoxes boxes;
  frmProgress window(settings, time, boxes, [] {});
  EXPECT_EQ(window.windowTitle(), "Tessil Progress...");
  EXPECT_FALSE(Child<QPushButton>(&window, "cmd1")->isEnabled());
  EXPECT_FALSE(Child<QCheckBox>(&window, "chk1")->isEnabled());
  EXPECT_EQ(Child<QLabel>(&window, "lbl1")->text(), "Show EcoSim");
  EXPECT_EQ(window.size(), QSize(370, 130));
  // Painted while EcoSim starts: it says so and offers Cancel.
  window.show();
  QCoreApplication::processEvents();
  window.repaint();
  EXPECT_EQ(window.windowTitle(), "Tessil Progress... Initializing");
  EXPECT_EQ(Child<TextPicture>(&window, "pbx2")->Text(), "Initializing Ecosim...");
  EXPECT_TRUE(Child<QPushButton>(&window, "cmd1")->isEnabled());
}

TEST(ProgressWindow, TheFirstMatrixShowsCountAndPercentButNoEstimate) {
  ProgressHarness h;
  h.Settings.TestsDone = 1;
  h.Time.Now += 3;
  h.Window.UpdateProgress();
  EXPECT_EQ(h.TimeText(), "");
  EXPECT_EQ(h.Window.windowTitle(), "Tessil Progress... 0%");
  EXPECT_EQ(h.Status(), "EcoSim Simulation: 1 of 3600");
  EXPECT_EQ(h.Yields, 1);
}

TEST(ProgressWindow, LaterMatricesShowTheEstimateAndABarToScale) {
  ProgressHarness h;
  h.Settings.TestsDone = 1800;
  h.Settings.WorkDone = 1800;
  h.Time.Now += 100;
  h.Window.UpdateProgress();
  EXPECT_EQ(h.TimeText(), "2min Remaining");
  EXPECT_EQ(h.Window.windowTitle(), "Tessil Progress... 50%");
  EXPECT_EQ(h.Status(), "EcoSim Simulation: 1800 of 3600");
  auto* bar = Child<BarPicture>(&h.Window, "pbxProgressBar");
  EXPECT_NEAR(bar->FilledWidth(), bar->InnerWidth() / 2.0, 0.5);
}

TEST(ProgressWindow, TheBarIsFilledCompletelyWhenAllMatricesAreDone) {
  ProgressHarness h;
  h.Settings.TestsDone = 3600;
  h.Window.UpdateProgress();
  EXPECT_EQ(h.Window.windowTitle(), "Tessil Progress... 100%");
  auto* bar = Child<BarPicture>(&h.Window, "pbxProgressBar");
  const QImage picture = bar->grab().toImage();
  const QColor navy(0, 0, 128);
  EXPECT_EQ(QColor(picture.pixel(3, bar->height() / 2)), navy);
  EXPECT_EQ(QColor(picture.pixel(bar->width() - 3, bar->height() / 2)), navy);
}

TEST(ProgressWindow, MoreMatricesThanTheTotalLeaveTheBarAndYieldNothing) {
  ProgressHarness h;
  h.Settings.TestsDone = 3601;
  h.Window.UpdateProgress();
  EXPECT_EQ(h.Status(), "EcoSim Simulation: 3601 of 3600");
  EXPECT_EQ(h.Yields, 0);
  EXPECT_EQ(Child<BarPicture>(&h.Window, "pbxProgressBar")->FilledWidth(), 0);
}

TEST(ProgressWindow, ARepaintDuringTheRunRecomputesTheEstimateFromTheClock) {
  ProgressHarness h;
  h.Settings.TestsDone = 1800;
  h.Settings.WorkDone = 1800;
  h.Time.Now += 100;
  h.Window.UpdateProgress();
  h.Time.Now += 200;  // the run slowed down
  h.Window.repaint();
  EXPECT_EQ(h.TimeText(), "6min Remaining");
}

TEST(ProgressWindow, CancelSaysClosingLetsEventsThroughThenAsksTheDriverToStop) {
  RunSettings settings;
  ScriptedClock time;
  ScriptedMessageBoxes boxes;
  bool cancelSeenDuringYield = true;
  frmProgress* self = nullptr;
  frmProgress window(settings, time, boxes, [&] { cancelSeenDuringYield = self->CancelRequested(); });
  self = &window;
  window.show();
  window.Repaint();
  auto* cancel = Child<QPushButton>(&window, "cmd1");
  cancel->click();
  EXPECT_FALSE(cancelSeenDuringYield);  // the yield came first
  EXPECT_TRUE(window.CancelRequested());
  EXPECT_FALSE(cancel->isEnabled());
  EXPECT_EQ(Child<TextPicture>(&window, "pbx1")->Text(), "Closing EcoSim...");
  // The driver finishes its matrix: the line still says what is happening.
  settings.NumArguments = 1;
  settings.NumIterations = 10;
  settings.TestsDone = 5;
  window.UpdateProgress();
  EXPECT_EQ(Child<TextPicture>(&window, "pbx1")->Text(), "Closing EcoSim...");
}

TEST(ProgressWindow, ARepaintWhileCancelLetsEventsThroughKeepsClosingEcoSim) {
  RunSettings settings;
  ScriptedClock time;
  ScriptedMessageBoxes boxes;
  frmProgress* self = nullptr;
  bool cancelSeenDuringYield = true;
  frmProgress window(settings, time, boxes, [&] {
    cancelSeenDuringYield = self->CancelRequested();
    // The window is painted while the press lets events through.
    self->repaint();
  });
  self = &window;
  settings.NumArguments = 36;
  settings.NumIterations = 100;
  settings.StartTime = time.Now;
  window.show();
  QCoreApplication::processEvents();
  settings.TestsDone = 1800;
  settings.WorkDone = 1800;
  time.Now += 100;
  window.UpdateProgress();
  ASSERT_EQ(Child<TextPicture>(&window, "pbx1")->Text(), "2min Remaining");
  settings.TestsDone = 2700;  // the driver went on meanwhile
  settings.WorkDone = 2700;
  time.Now += 50;
  cancelSeenDuringYield = true;
  Child<QPushButton>(&window, "cmd1")->click();
  EXPECT_EQ(window.windowTitle(), "Tessil Progress... 75%");  // the window was painted
  EXPECT_FALSE(cancelSeenDuringYield);
  EXPECT_TRUE(window.CancelRequested());
  EXPECT_EQ(Child<TextPicture>(&window, "pbx1")->Text(), "Closing EcoSim...");
  // Painted again while the driver finishes its matrix: still closing.
  time.Now += 50;
  window.repaint();
  EXPECT_EQ(Child<TextPicture>(&window, "pbx1")->Text(), "Closing EcoSim...");
}

// Records where EcoSim's windows were asked to go; a window may be missing.
class PlacementLog final : public EcoSimAutomation {
 public:
  void PrepareEcoSim() override {}
  void EnterMatrix(const PresenceAbsenceMatrix&) override {}
  void OpenCooccurrenceOptions() override {}
  RunOutcome RunCooccurrenceTest(std::int16_t) override { return ResultsShown; }
  double ReadPValue(std::int16_t) override { return 1; }
  void CloseCooccurrenceResults() override {}
  void PlaceEcoSimWindow(std::string_view name, std::int32_t mode) override {
    if (name == Missing) throw EcoSimWindowMissing();
    Placed.push_back(std::string(name) + "=" + std::to_string(mode));
  }
  void ReleaseEcoSim() override {}
  std::vector<std::string> Placed;
  std::string Missing;
};

TEST(ProgressWindow, ShowEcoSimPlacesTheFourWindowsOnceEcoSimIsReady) {
  ProgressHarness h;
  PlacementLog ecosim;
  h.Window.AttachAutomation(&ecosim);
  auto* box = Child<QCheckBox>(&h.Window, "chk1");
  auto* label = Child<QLabel>(&h.Window, "lbl1");
  QTest::mouseClick(label, Qt::LeftButton);  // not yet ready: nothing
  EXPECT_FALSE(box->isChecked());
  EXPECT_TRUE(ecosim.Placed.empty());

  h.Window.EnableShowEcoSim();
  EXPECT_TRUE(box->isEnabled());
  QTest::mouseClick(label, Qt::LeftButton);
  EXPECT_TRUE(box->isChecked());
  box->click();
  EXPECT_EQ(ecosim.Placed, (std::vector<std::string>{"Main=1", "Progress=1", "Coop=1", "Results=1", "Main=0",
                                                     "Progress=0", "Coop=0", "Results=0"}));
}

TEST(ProgressWindow, AMissingEcoSimWindowEndsNeitherTheClickNorTheRun) {
  ProgressHarness h;
  PlacementLog ecosim;
  ecosim.Missing = "Coop";
  h.Window.AttachAutomation(&ecosim);
  h.Window.EnableShowEcoSim();
  Child<QCheckBox>(&h.Window, "chk1")->click();
  EXPECT_EQ(ecosim.Placed, (std::vector<std::string>{"Main=1", "Progress=1"}));
  EXPECT_TRUE(h.Boxes.Texts().isEmpty());
  EXPECT_FALSE(h.Window.CancelRequested());
}

TEST(ProgressWindow, OnlyTheEndOfTheRunClosesItAndItsCloseButtonIsGone) {
  ProgressHarness h;
  DisableCloseButton(&h.Window, false);
  EXPECT_TRUE(h.Window.isVisible());
  EXPECT_FALSE(h.Window.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  h.Window.windowHandle()->close();
  h.Window.close();
  QCoreApplication::processEvents();
  EXPECT_TRUE(h.Window.isVisible());
  DisableCloseButton(&h.Window, true);
  EXPECT_TRUE(h.Window.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  h.Window.Unload();
  EXPECT_FALSE(h.Window.isVisible());
}

}  // namespace
}  // namespace tessil::test
