#include "frmProgress.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "MessageBoxes.h"
#include "UpdateProgress_Procedures.h"
#include "WindowPictures.h"

namespace tessil {

TextPicture::TextPicture(QWidget* parent, const QString& name) : QWidget(parent) {
  setObjectName(name);
  // Opaque, so that a new line of text repaints this box alone and not the
  // window behind it.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFont(SansSerifFont(13));
}

void TextPicture::Clear() {
  if (text_.isEmpty()) return;
  text_.clear();
  update();
}

void TextPicture::Print(const QString& text) {
  if (text_ == text) return;
  text_ = text;
  update();
}

void TextPicture::resizeEvent(QResizeEvent*) { picture_ = StripPicture(size()); }

void TextPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (picture_.size() != size()) picture_ = StripPicture(size());
  painter.drawPixmap(0, 0, picture_);
  painter.setPen(QColor(20, 30, 60));
  painter.drawText(rect().adjusted(3, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, text_);
}

BarPicture::BarPicture(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("pbxProgressBar"));
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void BarPicture::Clear() {
  done_ = 0;
  update();
}

void BarPicture::Fill(std::int64_t done, std::int64_t total) {
  done_ = done;
  total_ = total;
  update();
}

int BarPicture::InnerWidth() const { return width() - 4; }

int BarPicture::FilledWidth() const {
  if (total_ <= 0 || done_ <= 0) return 0;
  const double fraction = static_cast<double>(done_) / static_cast<double>(total_);
  return static_cast<int>(std::lround(std::min(1.0, fraction) * InnerWidth()));
}

void BarPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // A sunken box, white inside, as a picture box with a 3D border.
  painter.fillRect(rect(), Qt::white);
  painter.setPen(QColor(128, 128, 128));
  painter.drawLine(0, 0, width() - 1, 0);
  painter.drawLine(0, 0, 0, height() - 1);
  painter.setPen(QColor(64, 64, 64));
  painter.drawLine(1, 1, width() - 2, 1);
  painter.drawLine(1, 1, 1, height() - 2);
  painter.setPen(QColor(255, 255, 255));
  painter.drawLine(0, height() - 1, width() - 1, height() - 1);
  painter.drawLine(width() - 1, 0, width() - 1, height() - 1);
  painter.setPen(QColor(212, 208, 200));
  painter.drawLine(1, height() - 2, width() - 2, height() - 2);
  painter.drawLine(width() - 2, 1, width() - 2, height() - 2);
  painter.fillRect(QRect(2, 2, FilledWidth(), height() - 4), QColor(0, 0, 128));
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
  QLabel::mouseReleaseEvent(event);
}

namespace {

// Lets the toolkit's pending events through once.
void ProcessToolkitEvents() { QCoreApplication::processEvents(); }

}  // namespace

frmProgress::frmProgress(RunSettings& settings, Clock& clock, MessageBoxes& boxes,
                         std::function<void()> processPendingMessages)
    : ownRules_(std::make_unique<ProgressPresenter>(
          settings, clock, processPendingMessages ? std::move(processPendingMessages) : ProcessToolkitEvents)),
      rules_(*ownRules_),
      boxes_(boxes) {
  BuildControls();
}

frmProgress::frmProgress(ProgressPresenter& rules, MessageBoxes& boxes) : rules_(rules), boxes_(boxes) {
  BuildControls();
}

void frmProgress::BuildControls() {
  setObjectName(QStringLiteral("frmProgress"));
  setWindowTitle(QStringLiteral("Tessil Progress..."));
  setWindowIcon(QIcon(QPixmap::fromImage(TessilLogo())));
  setFixedSize(Twips(5550), Twips(1950));
  background_ = GradientPicture(QSize(370, 130));

  pbx2_ = new TextPicture(this, QStringLiteral("pbx2"));
  pbx2_->setGeometry(TwipsRect(240, 240, 5055, 255));
  pbxProgressBar_ = new BarPicture(this);
  pbxProgressBar_->setGeometry(TwipsRect(240, 600, 5055, 350));
  pbx1_ = new TextPicture(this, QStringLiteral("pbx1"));
  pbx1_->setGeometry(TwipsRect(240, 1080, 3735, 255));
  chk1_ = new QCheckBox(this);
  chk1_->setObjectName(QStringLiteral("chk1"));
  chk1_->setGeometry(TwipsRect(3960, 1110, 195, 195));
  chk1_->setEnabled(false);
  lbl1_ = new ClickLabel(QStringLiteral("Show EcoSim"), this);
  lbl1_->setObjectName(QStringLiteral("lbl1"));
  lbl1_->setFont(SansSerifFont(13));
  lbl1_->setGeometry(TwipsRect(4220, 1120, 1335, 255));
  cmd1_ = new QPushButton(QStringLiteral("Cancel"), this);
  cmd1_->setObjectName(QStringLiteral("cmd1"));
  cmd1_->setGeometry(TwipsRect(3960, 1440, 1215, 375));
  cmd1_->setEnabled(false);

  connect(cmd1_, &QPushButton::clicked, this, [this] { rules_.Cancel(); });
  connect(chk1_, &QCheckBox::toggled, this, [this](bool checked) {
    if (!drawing_) rules_.CheckShowEcoSim(checked);
  });
  connect(lbl1_, &ClickLabel::clicked, this, [this] { rules_.ClickShowEcoSimLabel(); });

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  rules_.SetView(this);
}

frmProgress::~frmProgress() { rules_.SetView(nullptr); }

void frmProgress::Draw(const ProgressState& state) {
  drawing_ = true;
  setWindowTitle(QString::fromStdString(state.Title));
  pbx2_->Print(QString::fromStdString(state.StatusLine));
  pbx1_->Print(QString::fromStdString(state.TimeLine));
  pbxProgressBar_->Fill(state.BarDone, state.BarTotal);
  cmd1_->setEnabled(state.CancelEnabled);
  chk1_->setEnabled(state.ShowEcoSimEnabled);
  chk1_->setChecked(state.ShowEcoSimChecked);
  drawing_ = false;
}

void frmProgress::Inform(std::string_view text) {
  boxes_.Inform(this, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void frmProgress::paintEvent(QPaintEvent*) {
  // The painting itself is the toolkit's event processing, so the handler
  // does not let events through again from inside it.
  Repaint();
  QPainter painter(this);
  painter.drawPixmap(0, 0, background_);
}

void frmProgress::Unload() {
  unloading_ = true;
  close();
}

void frmProgress::closeEvent(QCloseEvent* event) {
  // Only the end of the run closes the window. A close from its frame (the
  // close button, the system menu, Alt+F4) is refused: Cancel is the way out
  // of a run.
  if (!unloading_) {
    event->ignore();
    return;
  }
  event->accept();
}

}  // namespace tessil
