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
#include "MessageBoxes.h"
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
    : settings_(settings),
      services_(std::move(services)),
      messages_(services_.Boxes, this),
      rules_(services_.Help),
      run_({settings_, *this, services_.Time, messages_, [this] { ProcessPendingMessages(); }}, *this),
      exit_(services_.Help, *this) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Tessil"));
  setWindowIcon(QIcon(QPixmap::fromImage(TessilLogo())));
  BuildMenus();
  BuildControls();

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  // The first control in the tab order takes the focus when the window
  // opens, and an option that takes the focus is selected.
  rules_.Open();
  Draw();
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

  // Every event goes to the rules; the controls then show what they hold.
  const std::pair<QRadioButton*, Hypothesis> hypotheses[] = {{optH01_, Hypothesis::NoInteractions},
                                                             {optH02_, Hypothesis::SitesEquivalent},
                                                             {optH03_, Hypothesis::SpeciesEquivalent}};
  for (const auto& [button, hypothesis] : hypotheses) {
    connect(button, &QRadioButton::toggled, this, [this, h = hypothesis](bool on) {
      if (!on || drawing_) return;
      rules_.SelectHypothesis(h);
      Draw();
    });
  }
  const std::pair<QRadioButton*, InteractionLevel> levels[] = {
      {optAIn0_, InteractionLevel::None}, {optAIn50_, InteractionLevel::Half}, {optAIn100_, InteractionLevel::All}};
  for (const auto& [button, level] : levels) {
    connect(button, &QRadioButton::toggled, this, [this, l = level](bool on) {
      if (!on || drawing_) return;
      rules_.SelectLevel(l);
      Draw();
    });
  }
  const std::pair<QCheckBox*, void (MainWindowPresenter::*)(bool)> boxes[] = {
      {chkASiEq_, &MainWindowPresenter::CheckSitesEquivalent},
      {chkASpEq_, &MainWindowPresenter::CheckSpeciesEquivalent},
      {chkAIn_, &MainWindowPresenter::CheckInteraction}};
  for (const auto& [box, tick] : boxes) {
    connect(box, &QCheckBox::toggled, this, [this, c = tick](bool on) {
      if (drawing_) return;
      (rules_.*c)(on);
      Draw();
    });
  }
  connect(txtRows_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!drawing_) rules_.TypeRows(text.toStdString());
  });
  connect(txtCols_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!drawing_) rules_.TypeCols(text.toStdString());
  });
  connect(cmd1_, &QPushButton::clicked, this, &frmMain::cmd1_Click);
  connect(cmd2_, &QPushButton::clicked, this, &frmMain::cmd2_Click);
  connect(cmd3_, &QPushButton::clicked, this, &frmMain::cmd3_Click);

  validation_ = new FocusValidation(this, [this](const QString& refusal) { services_.Boxes.Inform(this, refusal); });
  auto watch = [this](QLineEdit* box, std::function<Checked()> leave) {
    validation_->Watch(box, [this, leave = std::move(leave)] {
      const Checked checked = leave();
      if (!checked.Accepted()) return QString::fromStdString(checked.Refusal);
      Draw();
      return QString();
    });
  };
  watch(txtRows_, [this] { return rules_.LeaveRows(); });
  watch(txtCols_, [this] { return rules_.LeaveCols(); });

  // The main window lives as long as the program: Enter presses a focused
  // button in every window from now on.
  new EnterPressesButtons(this);

  setFixedSize(sizeHint());
}

void frmMain::Draw() {
  drawing_ = true;
  const MainWindowState& state = rules_.State();
  const std::pair<QRadioButton*, Hypothesis> hypotheses[] = {{optH01_, Hypothesis::NoInteractions},
                                                             {optH02_, Hypothesis::SitesEquivalent},
                                                             {optH03_, Hypothesis::SpeciesEquivalent}};
  for (const auto& [option, hypothesis] : hypotheses) {
    if (state.NullHypothesis == hypothesis) option->setChecked(true);
  }
  txtHA_->setText(FromRules(state.AlternativeHypothesis));
  for (const auto& [box, shown] :
       {std::pair{chkASiEq_, state.SitesEquivalent}, std::pair{chkASpEq_, state.SpeciesEquivalent},
        std::pair{chkAIn_, state.Interaction}}) {
    box->setChecked(shown.Checked);
    box->setEnabled(shown.Enabled);
  }
  fra6_->setEnabled(state.LevelsEnabled);
  const std::pair<QRadioButton*, InteractionLevel> levels[] = {
      {optAIn100_, InteractionLevel::All}, {optAIn50_, InteractionLevel::Half}, {optAIn0_, InteractionLevel::None}};
  for (const auto& [option, level] : levels) {
    option->setEnabled(state.LevelsEnabled);
    if (state.Level == level) {
      option->setChecked(true);
    } else {
      Deselect(option);
    }
  }
  for (const auto& [box, text] : {std::pair{txtRows_, &state.RowsText}, std::pair{txtCols_, &state.ColsText}}) {
    const QString shown = FromRules(*text);
    if (box->text() != shown) box->setText(shown);
  }
  QString summary = FromRules(state.TestSummary);
  summary.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (txtTest_->toPlainText() != summary) txtTest_->setPlainText(summary);
  drawing_ = false;
}

void frmMain::SetTestSummary(std::string summary) {
  rules_.SetTestSummary(std::move(summary));
  Draw();
}

frmEcoSimOptions& frmMain::EcoSimOptions() {
  if (!options_) {
    options_ = std::make_unique<frmEcoSimOptions>(this, services_.Boxes, rules_.EcoSimOptions());
  }
  return *options_;
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

void frmMain::mnuHelpHelp_Click() { rules_.ShowHelp(); }

void frmMain::mnuHelpAbout_Click() {
  auto* about = new frmAbout(this);
  about->Open();
}

void frmMain::cmd2_Click() {
  if (run_.Running() || !validation_->ReleaseFocus()) return;
  run_.Run();
}

void frmMain::ProcessPendingMessages() {
  if (services_.ProcessPendingMessages) {
    services_.ProcessPendingMessages();
  } else {
    QCoreApplication::processEvents();
  }
}

void frmMain::OpenProgressWindow(ProgressPresenter& progress) {
  progress_ = std::make_unique<frmProgress>(progress, services_.Boxes);
  progress_->show();
  DisableCloseButton(progress_.get(), false);
}

void frmMain::HideProgressWindow() {
  if (progress_) progress_->hide();
}

void frmMain::UnloadProgressWindow() {
  if (progress_) progress_->Unload();
  progress_.reset();
}

MadeAutomation frmMain::MakeAutomation(RunSettings& settings, const RunInputs& inputs, ProgressPresenter&) {
  return services_.MakeAutomation(settings, inputs, *progress_, *progress_, progress_.get());
}

// The Qt window renders the chart from its SVG text; the primitives are for
// painters of their own (the Win32 face's).
void frmMain::ShowResults(std::string report, ResultsChart chart) {
  results_ =
      new frmResults(ResultsServices{services_.Boxes, services_.Help, services_.ChooseFile, services_.ProgramFolder});
  results_->SetReport(std::move(report));
  results_->SetChart(std::move(chart));
  connect(results_.data(), &frmResults::Unloaded, this, [this] { show(); });
  results_->show();
}

bool frmMain::InformOverResults(std::string_view text) {
  if (!results_) return false;
  services_.Boxes.Inform(results_.data(), FromRules(text));
  return true;
}

// Tessil cannot work without EcoSim: the program ends as failed.
void frmMain::EndProgram(int status) { exit_.EndProgram(status); }

void frmMain::showEvent(QShowEvent* event) {
  Draw();
  QMainWindow::showEvent(event);
}

void frmMain::closeEvent(QCloseEvent* event) {
  if (exit_.CloseAllowed()) {
    event->accept();
    return;
  }
  // Every request to close asks first; the answer comes when the question
  // is put away.
  event->ignore();
  if (confirm_ == nullptr) confirm_ = new frmConfirmExit(this, exit_);
  if (!confirm_->isVisible()) confirm_->Ask();
}

void frmMain::UnloadWindows() {
  if (options_) options_->Unload();
  options_.reset();
  close();
  if (confirm_ != nullptr) confirm_->hide();
}

void frmMain::LeaveMessageLoop(int status) {
  if (services_.EndProgram) {
    services_.EndProgram();
  } else {
    QCoreApplication::exit(status);
  }
}

}  // namespace tessil
