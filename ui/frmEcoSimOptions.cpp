#include "frmEcoSimOptions.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

#include "FocusValidation.h"
#include "MessageBoxes.h"
#include "Validation.h"

namespace tessil {

namespace {

QString FromView(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

constexpr int OptionHeight = 20;

}  // namespace

QRadioButton* frmEcoSimOptions::AddOption(QWidget* frame, const char* name, std::string_view caption, int left, int top,
                                          int width) {
  auto* option = new QRadioButton(FromView(caption), frame);
  option->setObjectName(QString::fromLatin1(name));
  option->setGeometry(Twips(left), Twips(top), width, OptionHeight);
  return option;
}

template <typename Choice>
frmEcoSimOptions::Group frmEcoSimOptions::GroupOf(Choice EcoSimTestOptions::*field,
                                                  void (EcoSimOptionsPresenter::*choose)(Choice),
                                                  std::vector<QRadioButton*> options) {
  return {std::move(options),
          [choose](EcoSimOptionsPresenter& rules, std::string_view caption) {
            if (const std::optional<Choice> chosen = FromCaption<Choice>(caption)) (rules.*choose)(*chosen);
          },
          [field](const EcoSimTestOptions& o) { return Caption(o.*field); }};
}

frmEcoSimOptions::frmEcoSimOptions(QWidget* mainWindow, MessageBoxes& boxes, EcoSimOptionsPresenter& rules)
    : QDialog(nullptr), main_(mainWindow), boxes_(boxes), rules_(rules) {
  setObjectName(QStringLiteral("frmEcoSimOptions"));
  setWindowTitle(QStringLiteral("Tessil -- EcoSim Options"));
  setWindowIcon(QIcon(QPixmap::fromImage(TessilLogo())));
  setModal(false);
  setFixedSize(Twips(10095), Twips(5850));
  SetBackgroundPicture(this, GradientPicture(size()));
  setFont(SansSerifFont(13));

  const TitledGroup row = AddTitledGroup(this, QStringLiteral("fra1"), QStringLiteral("Label3"), QStringLiteral("shp1"),
                                         QStringLiteral("Row Constraints"), {240, 480, 2175, 1695}, {360, 180});
  const TitledGroup column =
      AddTitledGroup(this, QStringLiteral("fra2"), QStringLiteral("Label4"), QStringLiteral("shp2"),
                     QStringLiteral("Column Constraints"), {2640, 480, 2175, 1695}, {2760, 180});
  const TitledGroup index =
      AddTitledGroup(this, QStringLiteral("fra3"), QStringLiteral("Label5"), QStringLiteral("shp3"),
                     QStringLiteral("Co-occurrence Index"), {240, 2640, 3855, 2175}, {360, 2340});
  const TitledGroup iterations =
      AddTitledGroup(this, QStringLiteral("fra4"), QStringLiteral("Label6"), QStringLiteral("shp4"),
                     QStringLiteral("Iterations"), {5160, 480, 4695, 1215}, {5280, 180});
  const TitledGroup algorithm =
      AddTitledGroup(this, QStringLiteral("fra5"), QStringLiteral("Label7"), QStringLiteral("shp5"),
                     QStringLiteral("Fixed-Fixed Randomization Algorithm"), {5160, 2160, 4695, 1575}, {5280, 1860});
  const TitledGroup degenerate =
      AddTitledGroup(this, QStringLiteral("fra6"), QStringLiteral("Label8"), QStringLiteral("shp6"),
                     QStringLiteral("Degenerate Matrices"), {5160, 4200, 2775, 1215}, {5280, 3900});
  emptySites_ = AddTitledGroup(this, QStringLiteral("fra7"), QStringLiteral("lbl1"), QStringLiteral("shp7"),
                               QStringLiteral("Empty Sites"), {8160, 4200, 1695, 1215}, {8280, 3900});

  const int wide = Twips(2175) - Twips(240) - 6;
  auto* opt1 = AddOption(row.Frame, "opt1", Caption(Constraint::Equiprobable), 240, 120, wide);
  auto* opt2 = AddOption(row.Frame, "opt2", Caption(Constraint::Fixed), 240, 600, wide);
  auto* opt3 = AddOption(row.Frame, "opt3", Caption(Constraint::Proportional), 240, 1080, wide);
  auto* opt4 = AddOption(column.Frame, "opt4", Caption(Constraint::Equiprobable), 240, 120, wide);
  auto* opt5 = AddOption(column.Frame, "opt5", Caption(Constraint::Fixed), 240, 600, wide);
  auto* opt6 = AddOption(column.Frame, "opt6", Caption(Constraint::Proportional), 240, 1080, wide);
  const int indexWide = Twips(3855) - Twips(240) - 6;
  auto* opt7 = AddOption(index.Frame, "opt7", Caption(CooccurrenceIndex::CScore), 240, 120, indexWide);
  auto* opt8 = AddOption(index.Frame, "opt8", Caption(CooccurrenceIndex::Checkerboards), 240, 600, indexWide);
  auto* opt9 = AddOption(index.Frame, "opt9", Caption(CooccurrenceIndex::Combinations), 240, 1080, indexWide);
  auto* opt10 = AddOption(index.Frame, "opt10", Caption(CooccurrenceIndex::VRatio), 240, 1560, indexWide);
  const int algorithmWide = Twips(4695) - Twips(360) - 6;
  auto* opt11 =
      AddOption(algorithm.Frame, "opt11", Caption(FixedFixedAlgorithm::SequentialSwap), 360, 120, algorithmWide);
  auto* opt12 =
      AddOption(algorithm.Frame, "opt12", Caption(FixedFixedAlgorithm::IndependentSwap), 360, 600, algorithmWide);
  auto* opt13 =
      AddOption(algorithm.Frame, "opt13", Caption(FixedFixedAlgorithm::KnightsTour), 360, 1080, algorithmWide);
  const int half = Twips(1440) - Twips(240) - 4;
  auto* opt14 = AddOption(degenerate.Frame, "opt14", Caption(DegenerateTreatment::Retain), 240, 120, half);
  auto* opt15 = AddOption(degenerate.Frame, "opt15", Caption(DegenerateTreatment::Discard), 1440, 120, half);
  auto* opt16 = AddOption(degenerate.Frame, "opt16", Caption(DegenerateTreatment::Split), 240, 720, half);
  auto* opt17 = AddOption(degenerate.Frame, "opt17", Caption(DegenerateTreatment::Fix), 1440, 720, half);
  const int sitesWide = Twips(1695) - Twips(240) - 4;
  auto* opt18 = AddOption(emptySites_.Frame, "opt18", Caption(EmptySiteTreatment::Include), 240, 240, sitesWide);
  auto* opt19 = AddOption(emptySites_.Frame, "opt19", Caption(EmptySiteTreatment::Exclude), 240, 720, sitesWide);

  auto* label1 = new QLabel(QStringLiteral("Number of iterations:"), iterations.Frame);
  label1->setObjectName(QStringLiteral("Label1"));
  label1->setGeometry(Twips(240), Twips(240) - 2, Twips(2520) - Twips(240) - 4, OptionHeight);
  txt1_ = new QLineEdit(FromView(rules_.Working().EcoSimIterations), iterations.Frame);
  txt1_->setObjectName(QStringLiteral("txt1"));
  txt1_->setGeometry(Twips(2520), Twips(120), 121, 22);
  auto* label2 = new QLabel(QStringLiteral("Random number seed:"), iterations.Frame);
  label2->setObjectName(QStringLiteral("Label2"));
  label2->setGeometry(Twips(240), Twips(720) + 1, Twips(2520) - Twips(240) - 4, OptionHeight);
  txt2_ = new QLineEdit(FromView(rules_.Working().EcoSimSeed), iterations.Frame);
  txt2_->setObjectName(QStringLiteral("txt2"));
  txt2_->setGeometry(Twips(2520), Twips(720), 121, 22);

  cmd1_ = new QPushButton(QStringLiteral("Make Changes"), this);
  cmd1_->setObjectName(QStringLiteral("cmd1"));
  cmd1_->setGeometry(TwipsRect(360, 5040, 1455, 375));
  cmd1_->setDefault(true);
  cmd2_ = new QPushButton(QStringLiteral("Cancel"), this);
  cmd2_->setObjectName(QStringLiteral("cmd2"));
  cmd2_->setGeometry(TwipsRect(1920, 5040, 1095, 375));

  groups_ = {
      GroupOf(&EcoSimTestOptions::RowConstraint, &EcoSimOptionsPresenter::ChooseRowConstraint, {opt1, opt2, opt3}),
      GroupOf(&EcoSimTestOptions::ColumnConstraint, &EcoSimOptionsPresenter::ChooseColumnConstraint,
              {opt4, opt5, opt6}),
      GroupOf(&EcoSimTestOptions::Index, &EcoSimOptionsPresenter::ChooseIndex, {opt7, opt8, opt9, opt10}),
      GroupOf(&EcoSimTestOptions::Algorithm, &EcoSimOptionsPresenter::ChooseAlgorithm, {opt11, opt12, opt13}),
      GroupOf(&EcoSimTestOptions::DegenerateMatrices, &EcoSimOptionsPresenter::ChooseDegenerateMatrices,
              {opt14, opt15, opt16, opt17}),
      GroupOf(&EcoSimTestOptions::EmptySites, &EcoSimOptionsPresenter::ChooseEmptySites, {opt18, opt19}),
  };

  const QList<QWidget*> order = {opt7,  opt8,  opt9,  opt10, opt1,  opt2,  opt3,  opt4,  opt5,  opt6,  opt14, opt15,
                                 opt16, opt17, txt1_, txt2_, opt11, opt12, opt13, cmd1_, cmd2_, opt18, opt19};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

  for (const Group& group : groups_) {
    for (QRadioButton* option : group.Options) {
      connect(option, &QRadioButton::toggled, this, [this, option, choose = group.Choose](bool on) {
        if (!on || drawing_) return;
        choose(rules_, option->text().toStdString());
        Draw();
      });
    }
  }
  connect(txt1_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!drawing_) rules_.TypeIterations(text.toStdString());
  });
  connect(txt2_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!drawing_) rules_.TypeSeed(text.toStdString());
  });
  connect(cmd1_, &QPushButton::clicked, this, &frmEcoSimOptions::cmd1_Click);
  connect(cmd2_, &QPushButton::clicked, this, &frmEcoSimOptions::cmd2_Click);

  validation_ = new FocusValidation(this, [this](const QString& refusal) { boxes_.Inform(this, refusal); });
  auto watch = [this](QLineEdit* box, std::function<Checked()> leave) {
    validation_->Watch(box, [this, leave = std::move(leave)] {
      const Checked checked = leave();
      if (!checked.Accepted()) return QString::fromStdString(checked.Refusal);
      Draw();
      return QString();
    });
  };
  watch(txt1_, [this] { return rules_.LeaveIterations(); });
  watch(txt2_, [this] { return rules_.LeaveSeed(); });

  // The controls start at the working values (the defaults at first); the
  // Empty Sites group starts hidden to match the default index.
  Draw();
}

frmEcoSimOptions::~frmEcoSimOptions() = default;

void frmEcoSimOptions::Draw() {
  drawing_ = true;
  const EcoSimTestOptions& working = rules_.Working();
  for (const Group& group : groups_) {
    const std::string_view chosen = group.Chosen(working);
    for (QRadioButton* option : group.Options) {
      if (option->text().toStdString() == chosen) option->setChecked(true);
    }
  }
  const bool shown = rules_.EmptySitesShown();
  emptySites_.Frame->setVisible(shown);
  emptySites_.Title->setVisible(shown);
  emptySites_.Shape->setVisible(shown);
  for (const auto& [box, text] : {std::pair{txt1_, &working.EcoSimIterations}, std::pair{txt2_, &working.EcoSimSeed}}) {
    const QString shownText = FromView(*text);
    if (box->text() != shownText) box->setText(shownText);
  }
  drawing_ = false;
}

void frmEcoSimOptions::ShowCommitted() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  show();
  raise();
  activateWindow();
}

void frmEcoSimOptions::cmd1_Click() {
  // Enter makes the changes without leaving a box: its value is checked first.
  if (!validation_->ReleaseFocus()) return;
  rules_.MakeChanges();
  hide();
  if (main_ != nullptr) main_->show();
}

void frmEcoSimOptions::cmd2_Click() {
  rules_.Cancel();
  Draw();
  hide();
  if (main_ != nullptr) main_->show();
}

// Escape abandons the changes, as closing the frame does.
void frmEcoSimOptions::reject() { cmd2_Click(); }

void frmEcoSimOptions::closeEvent(QCloseEvent* event) {
  if (isVisible() && !unloading_) {
    // Closing the frame abandons the changes; the dialog lives on, hidden.
    event->ignore();
    cmd2_Click();
    return;
  }
  event->accept();
}

void frmEcoSimOptions::Unload() {
  unloading_ = true;
  close();
}

}  // namespace tessil
