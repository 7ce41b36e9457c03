// A run started from the main window: the report it shows, and how it ends
// when the user cancels, when EcoSim fails, and when EcoSim cannot be found.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <QAction>
#include <QCoreApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include "DesktopProgram.h"
#include "InProcessEcoSim.h"
#include "Kernel_Procedures.h"
#include "OutputResults_Procedures.h"
#include "RandomStream.h"
#include "StandInAutomation.h"
#include "UiTestSupport.h"
#include "Validation.h"
#include "frmConfirmExit.h"
#include "frmEcoSimOptions.h"
#include "frmProgress.h"

namespace tessil::test {
namespace {

// A small study set up through the windows as a user would: 4 x 4 matrices,
// 10 matrices per argument (confirming the question), EcoSim with 20
// iterations.
struct SmallStudy : MainWindowHarness {
  explicit SmallStudy(DesktopAutomationFactory automation = ObservedInProcess(), const char* size = "4")
      : MainWindowHarness(std::move(automation)) {
    TypeAndLeave(Find<QLineEdit>("txtRows"), size);
    TypeAndLeave(Find<QLineEdit>("txtCols"), size);
    Find<QPushButton>("cmd3")->click();
    QWidget* advanced = VisibleWindow("frmAdvanced");
    if (advanced == nullptr) advanced = Main->findChild<QWidget*>("frmAdvanced");
    Child<QLineEdit>(advanced, "txt1")->setText("10");
    Child<QLineEdit>(advanced, "txt2")->setText("17");
    Boxes.Answers = {true};
    Child<QPushButton>(advanced, "cmd1")->click();
    Find<QPushButton>("cmd1")->click();
    frmEcoSimOptions* options = Main->EcoSimOptionsIfLoaded();
    TypeAndLeave(Child<QLineEdit>(options, "txt1"), "20");
    Child<QPushButton>(options, "cmd1")->click();
    Boxes.Clear();
    Activate(Main.get());
  }
  void Run() { Find<QPushButton>("cmd2")->click(); }
};

// The same study computed directly, for the report the window must show.
std::string ExpectedReport(const frmMain& main) {
  FixedRunInputs inputs;
  inputs.Rows = main.RowsText();
  inputs.Cols = main.ColsText();
  inputs.Options = main.CommittedOptions();
  inputs.Selected = main.Choices();
  inputs.Summary = main.TestSummary();
  RunSettings settings;
  settings.NumIterations = 10;
  settings.RandomSeed = 17;
  InProcessEcoSim ecosim(settings, inputs);
  SilentProgress progress;
  RandomStream stream;
  ScriptedClock clock;
  RunContext run{settings, inputs, ecosim, progress, stream, clock, &ecosim};
  ecosim.PrepareEcoSim();
  const PowerTable table = RunPowerSimulation(run);
  ecosim.ReleaseEcoSim();
  return BuildResultsReport(table, AnalyzeErrorRates(table), inputs);
}

TEST(Run, ACompletedRunShowsItsReportAndTheMainWindowReturnsWhenItCloses) {
  SmallStudy h;
  h.Find<QRadioButton>("optH02")->click();
  h.Find<QCheckBox>("chkAIn")->click();
  h.Find<QRadioButton>("optAIn50")->click();
  const std::string expected = ExpectedReport(*h.Main);
  h.Run();

  QPointer<frmResults> results = h.Main->ResultsWindow();
  ASSERT_FALSE(results.isNull());
  EXPECT_TRUE(results->isVisible());
  EXPECT_EQ(results->windowTitle(), "Tessil Results*");
  EXPECT_EQ(results->Report(), expected);
  EXPECT_NE(expected.find("Matrix dimensions: 4 rows (species) x 4 columns (sites)"), std::string::npos);
  EXPECT_NE(expected.find("50% of species interacting"), std::string::npos);
  EXPECT_FALSE(h.Main->isVisible());
  EXPECT_EQ(VisibleWindow("frmProgress"), nullptr);
  EXPECT_TRUE(h.Boxes.Texts().isEmpty());
  // The run's counters are reset, the simulation options kept.
  EXPECT_EQ(h.Settings.TestsDone, 0);
  EXPECT_EQ(h.Settings.NumRows, 0);
  EXPECT_EQ(h.Settings.NumIterations, 10);
  EXPECT_EQ(ObservedAutomation::Observed.Released, 1);

  Child<QPushButton>(results.data(), "cmd2")->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(results.isNull());
  EXPECT_TRUE(h.Main->isVisible());
  // Every choice is as the user left it for the next run.
  EXPECT_TRUE(h.Find<QRadioButton>("optAIn50")->isChecked());
  EXPECT_EQ(h.Find<QLineEdit>("txtRows")->text(), "4");
}

// The desktop program's own way: the window protocol drives the stand-in
// EcoSim, started from its program file in the program's folder, in a window
// world of the test's own. The report is the one the same study gives in
// process.
TEST(Run, AStudyRunThroughTheWindowProtocolAndTheStandInShowsTheInProcessReport) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("tessil-ui-" + std::to_string(QCoreApplication::applicationPid()));
  std::filesystem::create_directories(folder / "EcoSim");
  std::ofstream(folder / "EcoSim" / "EcoSim700.exe") << "#!/bin/sh\n";
  {
    qtwin::WindowWorld world;
    standin::StandInAutomation windows(world, folder);
    SmallStudy h(WindowProtocolAutomation(windows), "8");
    // Three scenarios at three levels, 10 matrices of 8 x 8 each, every one
    // typed into EcoSim's grid and tested there.
    h.Find<QCheckBox>("chkASiEq")->click();
    h.Find<QCheckBox>("chkASpEq")->click();
    h.Find<QCheckBox>("chkAIn")->click();
    h.Find<QRadioButton>("optAIn50")->click();
    const std::string expected = ExpectedReport(*h.Main);
    h.Run();
    frmResults* results = h.Main->ResultsWindow();
    ASSERT_NE(results, nullptr) << h.Boxes.Texts().join(" | ").toStdString();
    EXPECT_EQ(results->Report(), expected);
    EXPECT_NE(expected.find("Matrix dimensions: 8 rows (species) x 8 columns (sites)"), std::string::npos);
    // Some matrices reject: the report depends on the p-values EcoSim gave.
    EXPECT_EQ(expected.find("Maximum power = 0.000"), std::string::npos);
    EXPECT_TRUE(h.Boxes.Texts().isEmpty());
    EXPECT_EQ(world.Programs().RunningPrograms(), 0u) << "EcoSim is closed after the run";
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

TEST(Run, TheDefaultStudyRunsToItsReport) {
  MainWindowHarness h;
  h.Find<QPushButton>("cmd2")->click();
  frmResults* results = h.Main->ResultsWindow();
  ASSERT_NE(results, nullptr);
  EXPECT_EQ(results->Report().rfind("TYPE I ERROR RATES:", 0), 0u);
  EXPECT_NE(results->Report().find("Matrix dimensions: 10 rows (species) x 10 columns (sites)"), std::string::npos);
  const QString report = QString::fromStdString(results->Report());
  EXPECT_EQ(report.count("\t\tTrue\t\t\t") + report.count("\t\tFalse\t\t\t"), 36);  // every argument
  // The chart beside it shows the same 36 arguments, each from 100 matrices.
  const QString chart = QString::fromStdString(results->Chart());
  EXPECT_EQ(chart.count("class=\"mark "), 36);
  EXPECT_EQ(chart.count(" of 100 matrices rejected"), 36);
  EXPECT_EQ(h.Settings.NumIterations, 100);
}

TEST(Run, CancelMidRunReturnsToTheMainWindowWithoutResults) {
  SmallStudy h;
  // The user presses Cancel while EcoSim analyses the 30th matrix; the press
  // is handled at the next moment the run lets events through.
  QPointer<QWidget> progressSeen;
  ObservedAutomation::Observed.OnEnter = [&](int entered, QWidget* progress) {
    progressSeen = progress;
    if (entered == 30) {
      auto* cancel = Child<QPushButton>(progress, "cmd1");
      EXPECT_TRUE(cancel->isEnabled());
      QMetaObject::invokeMethod(cancel, &QPushButton::click, Qt::QueuedConnection);
    }
  };
  h.Run();
  EXPECT_TRUE(h.Main->isVisible());
  EXPECT_EQ(h.Main->ResultsWindow(), nullptr);
  EXPECT_EQ(VisibleWindow("frmResults"), nullptr);
  EXPECT_TRUE(progressSeen.isNull());  // the progress window is gone
  EXPECT_TRUE(h.Boxes.Texts().isEmpty());
  EXPECT_LT(ObservedAutomation::Observed.Entered, 40);
  EXPECT_EQ(ObservedAutomation::Observed.Released, 1);
  EXPECT_EQ(h.Settings.TestsDone, 0);
  EXPECT_EQ(h.Settings.NumArguments, 0);

  // The next run starts afresh and completes.
  ObservedAutomation::Observed.OnEnter = {};
  h.Run();
  ASSERT_NE(h.Main->ResultsWindow(), nullptr);
  EXPECT_EQ(h.Main->ResultsWindow()->Report(), ExpectedReport(*h.Main));
}

TEST(Run, AnEcoSimFailureBringsBackTheMainWindowSayingNoResultsWereProduced) {
  SmallStudy h;
  ObservedAutomation::Observed.OnEnter = [](int entered, QWidget*) {
    if (entered == 12) throw EcoSimWindowMissing();
  };
  h.Run();
  EXPECT_TRUE(h.Main->isVisible());
  EXPECT_EQ(h.Main->ResultsWindow(), nullptr);
  ASSERT_EQ(h.Boxes.Texts().size(), 1);
  const QString message = h.Boxes.Texts().front();
  EXPECT_TRUE(message.contains("EcoSim")) << message.toStdString();
  EXPECT_TRUE(message.contains("No results were produced.")) << message.toStdString();
  EXPECT_EQ(ObservedAutomation::Observed.Released, 1);
  EXPECT_EQ(h.Settings.NumRows, 0);
  EXPECT_EQ(h.Settings.TestsDone, 0);
  EXPECT_EQ(h.Ended, 0);
}

TEST(Run, TheResultsOpenBeforeEcoSimIsClosedAndAFailedCloseIsSaidOverThem) {
  SmallStudy h;
  bool resultsOpen = false;
  ObservedAutomation::Observed.OnRelease = [&] {
    resultsOpen = h.Main->ResultsWindow() != nullptr;
    throw EcoSimNotClosed("EcoSim did not close within 60 seconds.");
  };
  h.Run();
  EXPECT_TRUE(resultsOpen) << "an EcoSim that will not close cannot cost the results";
  ASSERT_NE(h.Main->ResultsWindow(), nullptr);
  EXPECT_EQ(h.Main->ResultsWindow()->Report(), ExpectedReport(*h.Main));
  ASSERT_EQ(h.Boxes.Texts().size(), 1);
  EXPECT_EQ(h.Boxes.Texts().front().toStdString(),
            "EcoSim could not be closed: EcoSim did not close within 60 seconds. Tessil ended it.\n\nThe results are "
            "complete.");
  EXPECT_EQ(ObservedAutomation::Observed.Released, 1);
  EXPECT_EQ(h.Settings.NumRows, 0);
}

TEST(Run, AMissingEcoSimProgramIsReportedAndEndsTheProgramAfterTheFinish) {
  MainWindowHarness h;
  ObservedAutomation::Observed.OnPrepare = [] { throw EcoSimProgramMissing(); };
  h.Find<QPushButton>("cmd2")->click();
  EXPECT_EQ(ObservedAutomation::Observed.Released, 1);
  EXPECT_EQ(h.Ended, 1);
  EXPECT_EQ(h.Help.ClosedAll, 1);
  EXPECT_FALSE(h.Main->isVisible());
  EXPECT_EQ(h.Main->ResultsWindow(), nullptr);
  // No exit question: the program cannot work without EcoSim.
  EXPECT_EQ(h.Main->ConfirmExit(), nullptr);
}

TEST(Run, TheProgramEndsWithAFailureStatusAfterError02AndWithSuccessAfterAnExit) {
  // The program's own end, as the desktop program has it: the event loop
  // is left with the status its main returns.
  RunSettings settings;
  ScriptedMessageBoxes boxes;
  RecordingHelp help;
  ScriptedClock clock;
  ObservedAutomation::Observed = {};
  ObservedAutomation::Observed.OnPrepare = [] { throw EcoSimProgramMissing(); };
  auto main = std::make_unique<frmMain>(
      settings, MainWindowServices{boxes, help, clock, ObservedInProcess(), {}, QStringLiteral("/tmp"), {}, {}});
  main->show();
  QTimer::singleShot(0, main.get(), [&main] { Child<QPushButton>(main.get(), "cmd2")->click(); });
  EXPECT_NE(QCoreApplication::exec(), 0);

  main = std::make_unique<frmMain>(
      settings, MainWindowServices{boxes, help, clock, ObservedInProcess(), {}, QStringLiteral("/tmp"), {}, {}});
  main->show();
  QTimer::singleShot(0, main.get(), [&main] {
    Child<QAction>(main.get(), "mnuFileExit")->trigger();
    Child<QPushButton>(main->ConfirmExit(), "cmd1")->click();
  });
  EXPECT_EQ(QCoreApplication::exec(), 0);
}

TEST(Run, TheProgressWindowTellsTheUserWhenEcoSimCannotBeFound) {
  RunSettings settings;
  ScriptedClock clock;
  ScriptedMessageBoxes boxes;
  frmProgress progress(settings, clock, boxes, [] {});
  AutomationHost& host = progress;
  host.ReportProgramMissing(message::EcoSimNotFound);
  EXPECT_EQ(boxes.Texts(), QStringList{Q(message::EcoSimNotFound)});
}

}  // namespace
}  // namespace tessil::test
