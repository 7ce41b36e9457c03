#include "frmConfirmExit.h"

#include <QGuiApplication>
#include <QHideEvent>
#include <QLabel>
#include <QScreen>

#include "WindowPictures.h"

namespace tessil {

frmConfirmExit::frmConfirmExit(QWidget* owner, ExitPresenter& rules) : QDialog(owner), rules_(rules) {
  setObjectName(QStringLiteral("frmConfirmExit"));
  setWindowTitle(QStringLiteral("Tessil"));
  setFixedSize(185, 90);
  SetBackgroundPicture(this, GradientPicture(QSize(185, 90)));
  setFont(SansSerifFont(13));

  auto* lbl1 =
      new QLabel(QString::fromLatin1(ExitQuestionText.data(), static_cast<qsizetype>(ExitQuestionText.size())), this);
  lbl1->setObjectName(QStringLiteral("lbl1"));
  lbl1->setGeometry(22, 16, 129, 25);
  lbl1->setFont(SansSerifFont(14, true));
  cmd1_ = new QPushButton(QStringLiteral("Yes"), this);
  cmd1_->setObjectName(QStringLiteral("cmd1"));
  cmd1_->setGeometry(16, 53, 73, 25);
  cmd2_ = new QPushButton(QStringLiteral("No"), this);
  cmd2_->setObjectName(QStringLiteral("cmd2"));
  cmd2_->setGeometry(96, 53, 73, 25);
  setTabOrder(cmd1_, cmd2_);
  cmd1_->setDefault(true);

  connect(cmd1_, &QPushButton::clicked, this, &frmConfirmExit::cmd1_Click);
  connect(cmd2_, &QPushButton::clicked, this, &frmConfirmExit::cmd2_Click);
}

frmConfirmExit::~frmConfirmExit() = default;

void frmConfirmExit::Ask() {
  setWindowModality(Qt::WindowModal);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  show();
  raise();
  activateWindow();
  cmd1_->setFocus(Qt::OtherFocusReason);
}

void frmConfirmExit::cmd1_Click() {
  hide();
  rules_.Yes();
}

void frmConfirmExit::cmd2_Click() {
  hide();
  rules_.No();
}

void frmConfirmExit::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  // Only a hide the window system did not start is an answer; a minimised
  // question has not been answered.
  if (!event->spontaneous()) emit Hidden();
}

}  // namespace tessil
