#include "UiTestSupport.h"

#include <QLineEdit>
#include <QTest>

#include "InProcessEcoSim.h"

namespace tessil::test {

void ScriptedMessageBoxes::Inform(QWidget*, const QString& text) {
  texts_.push_back(text);
  if (WhenShown) WhenShown(text);
}

bool ScriptedMessageBoxes::AskYesNo(QWidget*, const QString& text) {
  texts_.push_back(text);
  if (WhenShown) WhenShown(text);
  if (Answers.empty()) {
    ADD_FAILURE() << "unexpected question: " << text.toStdString();
    return false;
  }
  const bool answer = Answers.front();
  Answers.pop_front();
  return answer;
}

ObservedAutomation::Script ObservedAutomation::Observed;

ObservedAutomation::ObservedAutomation(std::unique_ptr<EcoSimAutomation> inner, QWidget* progressWindow)
    : inner_(std::move(inner)), progress_(progressWindow) {}

void ObservedAutomation::PrepareEcoSim() {
  ++Observed.Prepared;
  if (Observed.OnPrepare) Observed.OnPrepare();
  inner_->PrepareEcoSim();
}

void ObservedAutomation::EnterMatrix(const PresenceAbsenceMatrix& matrix) {
  ++Observed.Entered;
  if (Observed.OnEnter) Observed.OnEnter(Observed.Entered, progress_);
  inner_->EnterMatrix(matrix);
}

void ObservedAutomation::ReleaseEcoSim() {
  ++Observed.Released;
  inner_->ReleaseEcoSim();
  if (Observed.OnRelease) Observed.OnRelease();
}

DesktopAutomationFactory ObservedInProcess() {
  return [](RunSettings& settings, const RunInputs& inputs, AutomationHost& host, const ProgressLink&,
            QWidget* progress) -> MadeAutomation {
    return std::make_unique<ObservedAutomation>(std::make_unique<InProcessEcoSim>(settings, inputs, 1, &host),
                                                progress);
  };
}

void Activate(QWidget* window) {
  window->show();
  window->activateWindow();
  QApplication::setActiveWindow(window);
  QCoreApplication::processEvents();
}

QWidget* VisibleWindow(const char* objectName) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->objectName() == QLatin1String(objectName) && w->isVisible()) return w;
  }
  return nullptr;
}

MainWindowHarness::MainWindowHarness(DesktopAutomationFactory automation) {
  ObservedAutomation::Observed = {};
  Main = std::make_unique<frmMain>(
      Settings, MainWindowServices{Boxes,
                                   Help,
                                   Time,
                                   std::move(automation),
                                   [this](QWidget*, const QString&, const QString&) { return ChosenFile; },
                                   QStringLiteral("/tmp"),
                                   [this] { ++Ended; },
                                   {}});
  Activate(Main.get());
}

MainWindowHarness::~MainWindowHarness() {
  Main.reset();
  // Windows a test left open (results, dialogs) go with it.
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible()) w->close();
  }
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TypeAndLeave(QWidget* box, const QString& text) {
  box->setFocus(Qt::TabFocusReason);
  if (auto* edit = qobject_cast<QLineEdit*>(box)) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }
  QTest::keyClick(box, Qt::Key_Tab);
}

void ExpectLeaving(QLineEdit* box, const char* typed, const QString& shown, const std::string& refusal,
                   ScriptedMessageBoxes& boxes) {
  TypeAndLeave(box, QString::fromLatin1(typed));
  EXPECT_EQ(box->text(), shown);
  if (refusal.empty()) {
    EXPECT_TRUE(boxes.Texts().isEmpty());
    EXPECT_NE(QApplication::focusWidget(), box);
  } else {
    EXPECT_EQ(boxes.Texts(), QStringList{Q(refusal)});
    EXPECT_EQ(QApplication::focusWidget(), box);
  }
}

}  // namespace tessil::test
