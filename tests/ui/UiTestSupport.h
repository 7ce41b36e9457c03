// Scripted stand-ins for what the windows ask of the outside world: message
// boxes, help, the clock, the save dialog and the automation, and a main
// window wired to them.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <QLineEdit>
#include <string>
#include "Help_Procedures.h"

#include "Clock.h"
#include "MessageBoxes.h"
#include "Public_Declarations.h"
#include "frmMain.h"

// Test failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace tessil::test {

// Records every box; answers questions from a script.
class ScriptedMessageBoxes final : public MessageBoxes {
 public:
  void Inform(QWidget* owner, const QString& text) override;
  bool AskYesNo(QWidget* owner, const QString& text) override;

  QStringList Texts() const { return texts_; }
  void Clear() { texts_.clear(); }
  std::deque<bool> Answers;  // Yes is true
  std::function<void(const QString&)> WhenShown;

 private:
  QStringList texts_;
};

class RecordingHelp final : public HelpViewer {
 public:
  void ShowHelpTopic(std::string_view file, std::string_view topic) override {
    Opened.push_back(std::string(file) + "|" + std::string(topic));
  }
  void CloseAllHelp() override { ++ClosedAll; }
  std::vector<std::string> Opened;
  int ClosedAll = 0;
};

class ScriptedClock final : public Clock {
 public:
  double SecondsSinceMidnight() override { return Now; }
  double Now = 36000.0;
};

// The automation of a run, computed in-process, with a hook before every
// matrix entered and a count of releases.
class ObservedAutomation final : public EcoSimAutomation {
 public:
  ObservedAutomation(std::unique_ptr<EcoSimAutomation> inner, QWidget* progressWindow);
  void PrepareEcoSim() override;
  void EnterMatrix(const PresenceAbsenceMatrix& matrix) override;
  void OpenCooccurrenceOptions() override { inner_->OpenCooccurrenceOptions(); }
  RunOutcome RunCooccurrenceTest(std::int16_t toggleBeep) override { return inner_->RunCooccurrenceTest(toggleBeep); }
  double ReadPValue(std::int16_t upperTail) override { return inner_->ReadPValue(upperTail); }
  void CloseCooccurrenceResults() override { inner_->CloseCooccurrenceResults(); }
  void PlaceEcoSimWindow(std::string_view name, std::int32_t mode) override { inner_->PlaceEcoSimWindow(name, mode); }
  void ReleaseEcoSim() override;

  struct Script {
    int Prepared = 0;
    int Released = 0;
    int Entered = 0;
    std::function<void()> OnPrepare;                              // may throw
    std::function<void(int entered, QWidget* progress)> OnEnter;  // may throw
    std::function<void()> OnRelease;                              // may throw
  };
  static Script Observed;  // one run at a time

 private:
  std::unique_ptr<EcoSimAutomation> inner_;
  QWidget* progress_;
};

// The in-process automation, observed.
DesktopAutomationFactory ObservedInProcess();

// A message or caption constant as the windows show it.
inline QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Makes the window the active one, so that focus moves as a user's would.
void Activate(QWidget* window);
// The top-level widget with the object name, if one is visible.
QWidget* VisibleWindow(const char* objectName);

template <class T>
T* Child(QObject* parent, const char* name) {
  T* child = parent->findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << "no control named " << name;
  return child;
}

// A main window wired to scripted services; its runs use `automation`.
struct MainWindowHarness {
  explicit MainWindowHarness(DesktopAutomationFactory automation = ObservedInProcess());
  ~MainWindowHarness();
  RunSettings Settings;
  ScriptedMessageBoxes Boxes;
  RecordingHelp Help;
  ScriptedClock Time;
  int Ended = 0;
  QString ChosenFile;
  std::unique_ptr<frmMain> Main;

  template <class T>
  T* Find(const char* name) {
    return Child<T>(Main.get(), name);
  }
};

// Gives the box the focus, types the text into it and presses Tab.
void TypeAndLeave(QWidget* box, const QString& text);

// Types into a validated box and leaves it: the box then shows `shown`, and
// either nothing was said and the focus moved on, or exactly the refusal was
// said and the focus stayed.
void ExpectLeaving(QLineEdit* box, const char* typed, const QString& shown, const std::string& refusal,
                   ScriptedMessageBoxes& boxes);

}  // namespace tessil::test
