// The automation as the desktop program makes it for each run.
#include <gtest/gtest.h>

#include "ProtocolTestSupport.h"
#include "StandInAutomation.h"

namespace tessil::testing {
namespace {

// Tessil's progress window: the run's progress link and the automation's host.
class ProgressWindow final : public QWidget, public ProgressLink, public AutomationHost {
 public:
  bool Cancel = false;
  int Enabled = 0;
  void UpdateProgress() override {}
  bool CancelRequested() const override { return Cancel; }
  void EnableShowEcoSim() override { ++Enabled; }
  void ReportProgramMissing(std::string_view) override {}
};

// A clock that moves on by Step at every reading.
class TickingClock final : public Clock {
 public:
  double Now = 8 * 3600.0;
  double Step = 0.0;
  double SecondsSinceMidnight() override { return Now += Step; }
};

using DesktopAutomation = ProtocolTest;

TEST_F(DesktopAutomation, PlacesEcoSimBesideTheProgressWindowAndHearsItsCancel) {
  TickingClock clock;
  standin::StandInAutomation factory(world_, folder_, QtWindowSystem::Options{&clock, ScreenSize{1024, 768}});
  ProgressWindow progress;
  progress.show();
  std::unique_ptr<EcoSimAutomation> ecosim = factory.MakeAutomation(settings_, inputs_, progress, &progress,
                                                                    [&progress] { return progress.CancelRequested(); });
  ecosim->PrepareEcoSim();
  EXPECT_EQ(progress.Enabled, 1);

  ecosim->PlaceEcoSimWindow("Main", 1);
  const WindowHandle main = factory.Windows().FindWindow("TEcoSim", std::nullopt);
  std::vector<WindowHandle> order = factory.Windows().StackingOrder();
  const auto tessil = std::find(order.begin(), order.end(), qtwin::HandleOf(world_.Windows(), &progress));
  ASSERT_NE(tessil, order.end());
  EXPECT_EQ(*(tessil + 1), main) << "directly below the progress window";

  StandIn().Faults().Hang = true;
  clock.Step = 0.01;
  ecosim->EnterMatrix(MatrixOf({"1100", "1100", "0011", "0111"}));
  ecosim->OpenCooccurrenceOptions();
  progress.Cancel = true;
  const double start = clock.Now;
  EXPECT_THROW(ecosim->RunCooccurrenceTest(0), RunCancelled);
  EXPECT_NEAR(clock.Now - start, WindowProtocolEcoSim::CancelGraceSeconds, 0.1);
  EXPECT_THROW(ecosim->ReleaseEcoSim(), EcoSimNotClosed);
  EXPECT_EQ(world_.Programs().RunningPrograms(), 0u);
}

}  // namespace
}  // namespace tessil::testing
