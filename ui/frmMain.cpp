#include "frmMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <exception>

#include "ButtonKeys.h"
#include "FocusValidation.h"
#include "Help_Procedures.h"
#include "Kernel_Procedures.h"
#include "MessageBoxes.h"
#include "RandomStream.h"
#include "RunRules.h"
#include "UpdateProgress_Procedures.h"
#include "Validation.h"
#include "WindowPictures.h"
#include "frmAbout.h"
#include "frmAdvanced.h"
#include "frmConfirmExit.h"
#include "frmEcoSimOptions.h"
#include "frmProgress.h"

namespace tessil {

namespace {

constexpr int BandHeight = 24;

// The clock as the run reads it: seconds since midnight at single precision,
// so that the start of the run and every later reading agree in precision.
class SinglePrecisionClock final : public Clock {
 public:
  explicit SinglePrecisionClock(Clock& inner) : inner_(inner) {}
  double SecondsSinceMidnight() override {
    return static_cast<double>(static_cast<float>(inner_.SecondsSinceMidnight()));
  }

 private:
  Clock& inner_;
};

}  // namespace

void Deselect(QRadioButton* option) {
  if (!option->isChecked()) return;
  option->setAutoExclusive(false);
  option->setChecked(false);
  option->setAutoExclusive(true);
}

PanelFrame::PanelFrame(QWidget* parent, const QString& name, const QString& caption, const QString& toolTip)
    : QWidget(parent), caption_(caption) {
  setObjectName(name);
  setToolTip(toolTip);
  heading_ = new QLabel(caption, this);
  heading_->setObjectName(QStringLiteral("lblHeading_") + name);
  heading_->setFont(SansSerifFont(13, true));
  heading_->setToolTip(toolTip);
  heading_->move(10, 3);
}

void PanelFrame::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) update();
  QWidget::changeEvent(event);
}

void PanelFrame::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF body = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QPainterPath panel;
  panel.addRoundedRect(body, 7, 7);
  painter.fillPath(panel, QColor(255, 255, 255, isEnabled() ? 118 : 70));
  // The heading's band: navy blue fading into the background's blue.
  QPainterPath band;
  band.addRoundedRect(QRectF(body.left(), body.top(), body.width(), BandHeight + 8.0), 7, 7);
  QPainterPath cut;
  cut.addRect(QRectF(body.left(), body.top() + BandHeight, body.width(), 8.0));
  band = band.subtracted(cut);
  QLinearGradient shade(body.topLeft(), body.topRight());
  shade.setColorAt(0.0, isEnabled() ? QColor(0, 0, 128, 215) : QColor(90, 100, 120, 150));
  shade.setColorAt(1.0, isEnabled() ? QColor(43, 133, 190, 90) : QColor(140, 150, 160, 60));
  painter.fillPath(band, shade);
  painter.setPen(QPen(QColor(255, 255, 255, 190), 1.0));
  painter.drawPath(panel);
  QPalette palette = heading_->palette();
  palette.setColor(QPalette::WindowText, Qt::white);
  palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(230, 232, 236));
  heading_->setPalette(palette);
  heading_->adjustSize();
}

frmMain::frmMain(RunSettings& settings, MainWindowServices services)
    : settings_(settings), services_(std::move(services)), testSummary_(InitialTestSummary) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Tessil"));
  setWindowIcon(QIcon(QPixmap::fromImage(TessilLogo())));
  BuildMenus();
  BuildControls();
  SetTestSummary(testSummary_);

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  // The first control in the tab order takes the focus when the window
  // opens, and an option that takes the focus is selected.
  optH01_->setChecked(true);
  optH01_->setFocus(Qt::OtherFocusReason);
}

frmMain::~frmMain() {
  if (results_) delete results_.data();
}

void frmMain::BuildMenus() {
  QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
  mnuFile->setObjectName(QStringLiteral("mnuFile"));
  mnuFileExit_ = mnuFile->addAction(QStringLiteral("E&xit"));
  mnuFileExit_->setObjectName(QStringLiteral("mnuFileExit"));
  QMenu* mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
  mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
  mnuHelpHelp_ = mnuHelp->addAction(QStringLiteral("Tessil &Help"));
  mnuHelpHelp_->setObjectName(QStringLiteral("mnuHelpHelp"));
  mnuHelpHelp_->setShortcut(QKeySequence(Qt::Key_F1));
  mnuHelpHelp_->setShortcutContext(Qt::WindowShortcut);
  QAction* divider = mnuHelp->addSeparator();
  divider->setObjectName(QStringLiteral("mnuHelpDivider"));
  mnuHelpAbout_ = mnuHelp->addAction(QStringLiteral("&About Tessil"));
  mnuHelpAbout_->setObjectName(QStringLiteral("mnuHelpAbout"));

  // Exit asks the window to close, which asks for confirmation.
  connect(mnuFileExit_, &QAction::triggered, this, &QWidget::close);
  connect(mnuHelpHelp_, &QAction::triggered, this, &frmMain::mnuHelpHelp_Click);
  connect(mnuHelpAbout_, &QAction::triggered, this, &frmMain::mnuHelpAbout_Click);
}

void frmMain::BuildControls() {
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("picBackground"));
  client->setFixedSize(715, 451);
  SetBackgroundPicture(client, MainWindowPicture(QSize(715, 451)));
  client->setFont(SansSerifFont(13));
  // Unavailable choices stay legible over the light panels.
  QPalette palette = client->palette();
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
    palette.setColor(QPalette::Disabled, role, QColor(104, 112, 124));
  }
  client->setPalette(palette);
  setCentralWidget(client);

  auto option = [](QWidget* parent, const char* name, std::string_view caption, QRect where) {
    auto* button =
        new QRadioButton(QString::fromLatin1(caption.data(), static_cast<qsizetype>(caption.size())), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(where);
    button->setToolTip(parent->toolTip());
    return button;
  };
  auto check = [](QWidget* parent, const char* name, std::string_view caption, QRect where) {
    auto* box = new QCheckBox(QString::fromLatin1(caption.data(), static_cast<qsizetype>(caption.size())), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(where);
    box->setToolTip(parent->toolTip());
    return box;
  };

  fra1_ = new PanelFrame(client, QStringLiteral("fra1"), QStringLiteral("Null Hypothesis"),
                         QStringLiteral("Enter the null hypothesis of that you would like to test."));
  fra1_->setGeometry(16, 14, 330, 114);
  optH01_ = option(fra1_, "optH01", Caption(Hypothesis::NoInteractions), {18, 33, 300, 22});
  optH02_ = option(fra1_, "optH02", Caption(Hypothesis::SitesEquivalent), {18, 58, 300, 22});
  optH03_ = option(fra1_, "optH03", Caption(Hypothesis::SpeciesEquivalent), {18, 83, 300, 22});

  fra2_ = new PanelFrame(client, QStringLiteral("fra2"), QStringLiteral("Alternative Hypothesis"),
                         QStringLiteral("The alternative hypothesis is the complement of the null hypothesis."));
  fra2_->setGeometry(16, 138, 330, 70);
  txtHA_ = new QLineEdit(fra2_);
  txtHA_->setObjectName(QStringLiteral("txtHA"));
  txtHA_->setGeometry(18, 34, 294, 24);
  txtHA_->setReadOnly(true);
  txtHA_->setToolTip(fra2_->toolTip());

  fra3_ = new PanelFrame(client, QStringLiteral("fra3"), QStringLiteral("Assumptions"),
                         QStringLiteral("Check the assumptions that are appropriate for data set being analyzed."));
  fra3_->setGeometry(16, 218, 330, 218);
  chkASiEq_ = check(fra3_, "chkASiEq", Caption(Assumption::SitesEquivalent), {18, 33, 300, 22});
  chkASpEq_ = check(fra3_, "chkASpEq", Caption(Assumption::SpeciesEquivalent), {18, 58, 300, 22});
  chkAIn_ = check(fra3_, "chkAIn", Caption(Assumption::InteractionLevel), {18, 83, 300, 22});
  fra6_ = new PanelFrame(fra3_, QStringLiteral("fra6"), QStringLiteral("Proportion of Species Interacting"),
                         fra3_->toolTip());
  fra6_->setGeometry(38, 114, 274, 88);
  optAIn0_ = option(fra6_, "optAIn0", Caption(InteractionLevel::None), {18, 44, 70, 22});
  optAIn50_ = option(fra6_, "optAIn50", Caption(InteractionLevel::Half), {100, 44, 70, 22});
  optAIn100_ = option(fra6_, "optAIn100", Caption(InteractionLevel::All), {182, 44, 80, 22});
  chkASiEq_->setEnabled(false);
  chkASpEq_->setEnabled(false);
  chkAIn_->setEnabled(false);
  fra6_->setEnabled(false);
  optAIn0_->setEnabled(false);
  optAIn50_->setEnabled(false);
  optAIn100_->setEnabled(false);

  fra4_ = new PanelFrame(client, QStringLiteral("fra4"), QStringLiteral("Hypothesis Test"),
                         QStringLiteral("Select the test that you are using."));
  fra4_->setGeometry(362, 14, 337, 206);
  txtTest_ = new QPlainTextEdit(fra4_);
  txtTest_->setObjectName(QStringLiteral("txtTest"));
  txtTest_->setGeometry(14, 32, 309, 136);
  txtTest_->setReadOnly(true);
  txtTest_->setFont(SansSerifFont(11));
  txtTest_->setLineWrapMode(QPlainTextEdit::NoWrap);
  txtTest_->setToolTip(fra4_->toolTip());
  cmd1_ = new QPushButton(QStringLiteral("Change..."), fra4_);
  cmd1_->setObjectName(QStringLiteral("cmd1"));
  cmd1_->setGeometry(213, 174, 110, 26);
  cmd1_->setToolTip(fra4_->toolTip());

  fra5_ = new PanelFrame(client, QStringLiteral("fra5"), QStringLiteral("Presence-Absence Matrix"),
                         QStringLiteral("Enter the dimensions of the presence-absence matrix being analyzed."));
  fra5_->setGeometry(362, 230, 337, 100);
  lbl1_ = new QLabel(QStringLiteral("Rows (Number of Species):"), fra5_);
  lbl1_->setObjectName(QStringLiteral("lbl1"));
  lbl1_->setGeometry(18, 36, 210, 22);
  lbl1_->setToolTip(fra5_->toolTip());
  txtRows_ = new QLineEdit(QStringLiteral("10"), fra5_);
  txtRows_->setObjectName(QStringLiteral("txtRows"));
  txtRows_->setGeometry(233, 35, 88, 24);
  txtRows_->setToolTip(fra5_->toolTip());
  lbl2_ = new QLabel(QStringLiteral("Columns (Number of Sites):"), fra5_);
  lbl2_->setObjectName(QStringLiteral("lbl2"));
  lbl2_->setGeometry(18, 66, 210, 22);
  lbl2_->setToolTip(fra5_->toolTip());
  txtCols_ = new QLineEdit(QStringLiteral("10"), fra5_);
  txtCols_->setObjectName(QStringLiteral("txtCols"));
  txtCols_->setGeometry(233, 65, 88, 24);
  txtCols_->setToolTip(fra5_->toolTip());

  fra8_ = new PanelFrame(client, QStringLiteral("fra8"), QStringLiteral("Analysis"),
                         QStringLiteral("Click Run to measure error rates, robustness, and bias.   "
                                        "Click Advanced Options for additional options."));
  fra8_->setGeometry(362, 340, 337, 96);
  cmd2_ = new QPushButton(QStringLiteral("Run"), fra8_);
  cmd2_->setObjectName(QStringLiteral("cmd2"));
  cmd2_->setGeometry(18, 40, 140, 36);
  cmd2_->setToolTip(fra8_->toolTip());
  QFont runFont = SansSerifFont(14, true);
  cmd2_->setFont(runFont);
  cmd3_ = new QPushButton(QStringLiteral("Advanced Options..."), fra8_);
  cmd3_->setObjectName(QStringLiteral("cmd3"));
  cmd3_->setGeometry(172, 40, 149, 36);
  cmd3_->setToolTip(fra8_->toolTip());

  // The tab order begins at the null hypothesis (its frame takes no focus).
  const QList<QWidget*> order = {optH01_,   optH02_,    optH03_,  txtHA_, chkASiEq_, chkASpEq_, chkAIn_, optAIn0_,
                                 optAIn50_, optAIn100_, txtTest_, cmd1_,  txtRows_,  txtCols_,  cmd2_,   cmd3_};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

  connect(optH01_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) optH01_Click();
  });
  connect(optH02_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) optH02_Click();
  });
  connect(optH03_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) optH03_Click();
  });
  connect(chkAIn_, &QCheckBox::toggled, this, &frmMain::chkAIn_Click);
  connect(cmd1_, &QPushButton::clicked, this, &frmMain::cmd1_Click);
  connect(cmd2_, &QPushButton::clicked, this, &frmMain::cmd2_Click);
  connect(cmd3_, &QPushButton::clicked, this, &frmMain::cmd3_Click);

  validation_ = new FocusValidation(this, [this](const QString& refusal) { services_.Boxes.Inform(this, refusal); });
  validation_->Watch(txtRows_, [this] { return CheckSize(txtRows_, true) ? QString() : lastRefusal_; });
  validation_->Watch(txtCols_, [this] { return CheckSize(txtCols_, false) ? QString() : lastRefusal_; });

  // The main window lives as long as the program: Enter presses a focused
  // button in every window from now on.
  new EnterPressesButtons(this);
  ShowButtonFocusClearly(this);

  setFixedSize(sizeHint());
}

bool frmMain::CheckSize(QLineEdit* box, bool rows) {
  const Checked checked = CheckMatrixSize(box->text().toStdString(), rows);
  if (!checked.Accepted()) {
    lastRefusal_ = QString::fromStdString(checked.Refusal);
    return false;
  }
  box->setText(QString::fromStdString(checked.Text));
  return true;
}

std::string frmMain::RowsText() const { return txtRows_->text().toStdString(); }
std::string frmMain::ColsText() const { return txtCols_->text().toStdString(); }

const EcoSimTestOptions& frmMain::CommittedOptions() const {
  return options_ ? options_->Committed() : defaultOptions_;
}

MainWindowChoices frmMain::Choices() const {
  MainWindowChoices c;
  if (optH02_->isChecked()) c.NullHypothesis = Hypothesis::SitesEquivalent;
  if (optH03_->isChecked()) c.NullHypothesis = Hypothesis::SpeciesEquivalent;
  // A disabled box that is not ticked is no assumption.
  c.AssumeSitesEquivalent = chkASiEq_->isChecked();
  c.AssumeSpeciesEquivalent = chkASpEq_->isChecked();
  // Ticking the interaction box selects a proportion.
  if (chkAIn_->isChecked()) {
    c.AssumedLevel = InteractionLevel::None;
    if (optAIn50_->isChecked()) c.AssumedLevel = InteractionLevel::Half;
    if (optAIn100_->isChecked()) c.AssumedLevel = InteractionLevel::All;
  }
  return c;
}

void frmMain::SetTestSummary(std::string summary) {
  testSummary_ = std::move(summary);
  QString shown = QString::fromStdString(testSummary_);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  txtTest_->setPlainText(shown);
}

frmEcoSimOptions& frmMain::EcoSimOptions() {
  if (!options_) {
    options_ = std::make_unique<frmEcoSimOptions>(this, services_.Boxes,
                                                  [this](const std::string& summary) { SetTestSummary(summary); });
  }
  return *options_;
}

// The assumption that restates the null hypothesis cannot be declared.
void frmMain::optH01_Click() {
  txtHA_->setText(QStringLiteral("Interactions Between Species"));
  chkASiEq_->setEnabled(true);
  chkASpEq_->setEnabled(true);
  chkAIn_->setChecked(false);
  chkAIn_->setEnabled(false);
  Deselect(optAIn0_);
  Deselect(optAIn50_);
  Deselect(optAIn100_);
}

void frmMain::optH02_Click() {
  txtHA_->setText(QStringLiteral("Sites Non-equivalent"));
  chkASpEq_->setEnabled(true);
  chkAIn_->setEnabled(true);
  chkASiEq_->setChecked(false);
  chkASiEq_->setEnabled(false);
}

void frmMain::optH03_Click() {
  txtHA_->setText(QStringLiteral("Species Non-equivalent"));
  chkASiEq_->setEnabled(true);
  chkAIn_->setEnabled(true);
  chkASpEq_->setChecked(false);
  chkASpEq_->setEnabled(false);
}

void frmMain::chkAIn_Click() {
  if (chkAIn_->isChecked()) {
    fra6_->setEnabled(true);
    optAIn100_->setEnabled(true);
    optAIn50_->setEnabled(true);
    optAIn0_->setEnabled(true);
    optAIn0_->setChecked(true);
  } else {
    fra6_->setEnabled(false);
    Deselect(optAIn100_);
    Deselect(optAIn50_);
    Deselect(optAIn0_);
    optAIn100_->setEnabled(false);
    optAIn50_->setEnabled(false);
    optAIn0_->setEnabled(false);
  }
}

void frmMain::cmd1_Click() {
  if (!validation_->ReleaseFocus()) return;
  frmEcoSimOptions& dialog = EcoSimOptions();
  hide();
  dialog.ShowCommitted();
}

void frmMain::cmd3_Click() {
  if (!validation_->ReleaseFocus()) return;
  auto* dialog = new frmAdvanced(settings_, services_.Boxes, this);
  dialog->Open();
}

void frmMain::mnuHelpHelp_Click() { services_.Help.ShowHelpTopic(HelpFile, GettingStartedTopic); }

void frmMain::mnuHelpAbout_Click() {
  auto* about = new frmAbout(this);
  about->Open();
}

void frmMain::cmd2_Click() {
  if (running_ || !validation_->ReleaseFocus()) return;
  running_ = true;
  std::unique_ptr<frmProgress> progress;
  std::unique_ptr<EcoSimAutomation> ecosim;
  EcoSimConcurrentTesting* workers = nullptr;
  PowerTable table;
  std::exception_ptr failure;

  try {
    hide();
    progress =
        std::make_unique<frmProgress>(settings_, services_.Time, services_.Boxes, services_.ProcessPendingMessages);
    progress->show();
    DisableCloseButton(progress.get(), false);
    // The window's first painting comes before EcoSim is started: it says
    // that EcoSim is being initialized and offers Cancel.
    progress->Repaint();
    progress->ProcessPendingMessages();
    MadeAutomation made = services_.MakeAutomation(settings_, *this, *progress, *progress, progress.get());
    ecosim = std::move(made.EcoSim);
    workers = made.Workers;
    progress->AttachAutomation(ecosim.get());
    ecosim->PrepareEcoSim();
    SinglePrecisionClock clock(services_.Time);
    RandomStream stream;
    RunContext run{settings_, *this, *ecosim, *progress, stream, clock, workers};
    table = RunPowerSimulation(run);
  } catch (...) {
    failure = std::current_exception();
  }

  const bool cancelled = progress && progress->CancelRequested();
  const bool programMissing = failure && FailedForMissingProgram(failure);
  // A completed run's results window opens before EcoSim is closed: an
  // EcoSim that will not close cannot cost the finished study.
  const bool completed = !failure && !cancelled;
  if (completed) {
    progress->AttachAutomation(nullptr);
    progress->hide();
    results_ = ShowResults(
        table, *this, ResultsServices{services_.Boxes, services_.Help, services_.ChooseFile, services_.ProgramFolder});
    connect(results_.data(), &frmResults::Unloaded, this, [this] { show(); });
  }

  // Finish, whatever happened: EcoSim is released and the settings reset.
  std::exception_ptr notClosed;
  try {
    if (ecosim) {
      ecosim->ReleaseEcoSim();
    } else {
      ResetRunSettings(settings_);
    }
  } catch (...) {
    ResetRunSettings(settings_);
    // After a failed or cancelled run, the run's own end is what is said.
    if (completed) notClosed = std::current_exception();
  }
  if (progress && !completed) {
    progress->AttachAutomation(nullptr);
    progress->hide();
  }
  ecosim.reset();

  if (completed) {
    // Said over the results, which stand.
    if (notClosed) services_.Boxes.Inform(results_.data(), QString::fromStdString(ReleaseFailureMessage(notClosed)));
  } else if (cancelled) {
    show();
  } else if (programMissing) {
    // The user has been told that EcoSim cannot be found; Tessil cannot work
    // without it.
  } else {
    show();
    services_.Boxes.Inform(this, QString::fromStdString(RunFailureMessage(failure)));
  }
  if (progress) progress->Unload();
  progress.reset();
  running_ = false;
  // Tessil cannot work without EcoSim: the program ends as failed.
  if (programMissing) ExitProgram(1);
}

void frmMain::closeEvent(QCloseEvent* event) {
  if (exitConfirmed_) {
    event->accept();
    return;
  }
  // Every request to close asks first; the answer comes when the question
  // is put away.
  event->ignore();
  if (confirm_ == nullptr) {
    confirm_ = new frmConfirmExit(this);
    connect(confirm_, &frmConfirmExit::Hidden, this, &frmMain::ExitAnswered);
  }
  if (!confirm_->isVisible()) confirm_->Ask();
}

void frmMain::ExitAnswered() {
  if (confirm_ != nullptr && confirm_->Tag() == ExitTag) ExitProgram();
}

void frmMain::ExitProgram(int status) {
  services_.Help.CloseAllHelp();
  if (options_) options_->Unload();
  options_.reset();
  exitConfirmed_ = true;
  close();
  if (services_.EndProgram) {
    services_.EndProgram();
  } else {
    QCoreApplication::exit(status);
  }
}

}  // namespace tessil
