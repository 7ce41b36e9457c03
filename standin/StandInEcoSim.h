// A stand-in for EcoSim 7.0 where EcoSim cannot run: Qt widgets carrying
// EcoSim's window classes and names, in the child order and with the
// behaviour Tessil's window protocol relies on, computing each co-occurrence
// test with Tessil's own engine. It runs inside the Tessil process and is
// started by opening its program file (EcoSim/EcoSim700.exe in the
// program's folder) in a window world once RegisterStandInEcoSim has been
// called for it.
#pragma once

#include <QPointer>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "CooccurrenceRun.h"
#include "HostedPrograms.h"
#include "QtWindows.h"
#include "StandInLogic.h"
#include "WindowWorld.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace tessil::standin {

class StringGrid;

// What the stand-ins started in one window world share, owned by whoever
// registers them: the faults each new one starts with (tests only; none in
// the program), and the count of tests being computed beside the message
// loop.
struct StandInSwitches {
  StandInFaults FaultsForNew;
  std::atomic<int> WorkersRunning{0};
};

class StandInEcoSim final : public qtwin::HostedProgram, private qtwin::WindowProcedure {
 public:
  // Its windows join `world`; it starts with the switches' faults for new
  // stand-ins and counts its worker in them.
  StandInEcoSim(qtwin::WindowWorld& world, StandInSwitches& switches, std::string workingFolder);
  ~StandInEcoSim() override;

  bool OwnsWindow(WindowHandle window) const override;

  StandInFaults& Faults() { return faults_; }
  const std::string& WorkingFolder() const { return folder_; }

  // What EcoSim holds, as its windows show it.
  OptionTexts HeldTexts() const;
  standin::HeldOptions HeldOptions() const { return ReadOptions(HeldTexts()); }
  cooc::Incidence GridMatrix() const;
  const StringGrid& Grid() const { return *grid_; }
  // Tests run since the seed field was last set, and in all.
  std::uint64_t TestOrdinal() const { return ordinals_.Next(); }
  int TestsStarted() const { return testsStarted_; }
  bool BeepChecked() const;
  // The results of the last test that ended.
  const cooc::TestResult& LastResult() const { return last_; }
  // What the last aborted test had computed when it stopped.
  const cooc::TestResult& AbortedResult() const { return aborted_; }

 private:
  struct RadioGroup {
    QWidget* Box = nullptr;
    std::vector<QWidget*> Buttons;
  };

  bool HandleMessage(QWidget* window, qtwin::WindowMessageEvent& message) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

  QWidget* Window(QWidget* widget, std::string_view className, std::string_view text);
  QWidget* TopLevel(std::string_view className, std::string_view text);
  void BuildMainWindow();
  void BuildResizeDialog();
  void BuildOptionsWindow();
  QWidget* BuildPreferencesPage();
  QWidget* BuildGeneralPage();
  template <typename Choice>
  RadioGroup BuildRadioGroup(QWidget* page, std::string_view caption, const std::vector<Choice>& buttons,
                             Choice selected);
  void BuildProgressWindow();
  void BuildResultsWindow();

  void Show(QWidget* window, bool shown);
  void ShowPage(std::uintptr_t index);
  void AcceptResize();
  void StartTest();
  void ScheduleSlice();
  void StopSlices();
  void Slice();
  void EndTest(const cooc::TestResult& result);
  void Abort();
  // Asks the test being computed to stop and waits until it has.
  void StopWorker();
  void AskToExit();
  void ShowMessage(const std::string& text, bool exitOnOk);
  std::string Selected(const RadioGroup& group) const;
  bool Busy() const { return running_; }

  qtwin::WindowWorld& world_;
  qtwin::WindowRegistry& windows_;
  std::atomic<int>& workersRunning_;
  std::string folder_;
  StandInFaults faults_;
  std::vector<QPointer<QWidget>> topLevels_;
  std::vector<WindowHandle> handles_;

  QWidget* application_ = nullptr;
  QWidget* main_ = nullptr;
  StringGrid* grid_ = nullptr;
  QWidget* resize_ = nullptr;
  QLineEdit* resizeColumns_ = nullptr;
  QLineEdit* resizeRows_ = nullptr;
  QWidget* options_ = nullptr;
  QTabWidget* pages_ = nullptr;
  std::vector<QWidget*> sheets_;  // by page index
  // The page shown; the tab widget shows it while the window is drawn.
  int page_ = 0;
  RadioGroup rows_, columns_, algorithm_, degenerate_, empty_;
  QComboBox* index_ = nullptr;
  QLineEdit* iterations_ = nullptr;
  QLineEdit* seed_ = nullptr;
  QWidget* progress_ = nullptr;
  QCheckBox* beep_ = nullptr;
  bool spaceDown_ = false;
  QWidget* results_ = nullptr;
  QPlainTextEdit* memo1_ = nullptr;
  QPlainTextEdit* memo2_ = nullptr;

  bool running_ = false;
  bool hung_ = false;
  bool stalled_ = false;
  std::shared_ptr<Job> job_;
  std::thread worker_;
  // Slices scheduled in an earlier generation are void.
  std::uint64_t sliceGeneration_ = 0;
  std::uint64_t sliceCount_ = 0;
  // How long the last test took, and its work: the estimate for the next.
  DurationEstimate estimate_;
  TestOrdinals ordinals_;
  int testsStarted_ = 0;
  cooc::TestResult last_;
  cooc::TestResult aborted_;
};

// Makes opening EcoSim700.exe in `world` start a stand-in in this process,
// with the faults `switches` holds at that moment. Both must outlive the
// world's programs.
void RegisterStandInEcoSim(qtwin::WindowWorld& world, StandInSwitches& switches);
// The stand-ins running in `world`, oldest first.
std::vector<StandInEcoSim*> RunningStandIns(qtwin::WindowWorld& world);

}  // namespace tessil::standin
