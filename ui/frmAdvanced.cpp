#include "frmAdvanced.h"

#include <QEvent>
#include <QLabel>
#include <QStyle>
#include <algorithm>

#include "WindowPictures.h"

namespace tessil {

namespace {

// Selects the whole text whenever the box receives the focus, so that
// typing replaces it.
class SelectOnFocus final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::FocusIn) {
      if (auto* box = qobject_cast<QLineEdit*>(watched)) {
        QMetaObject::invokeMethod(box, &QLineEdit::selectAll, Qt::QueuedConnection);
        box->selectAll();
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

// The width a box needs to show the largest value either box accepts,
// 2147483647, whole: the text, the box's frame on both sides, the editor's
// own inner margin of 2 pixels on both sides, and the cursor after the last
// digit.
int WholeValueWidth(const QLineEdit* box) {
  const int frame = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
  const QMargins margins = box->textMargins();
  return box->fontMetrics().horizontalAdvance(QStringLiteral("2147483647")) + 2 * frame + 2 * 2 + margins.left() +
         margins.right() + 1;
}

}  // namespace

void frmAdvanced::WidenForLargestValue(const TitledGroup& group) {
  // Both values may be as large as 2147483647, which must show whole; the
  // group, the dialog and the buttons aligned with the group's right edge
  // move out by as much as the boxes need.
  const int wide = std::max(WholeValueWidth(txt1_), WholeValueWidth(txt2_));
  const int rightMargin = group.Frame->width() - txt1_->geometry().right() - 1;
  const int grow = std::max(0, wide - txt1_->width());
  if (grow == 0) return;
  for (QLineEdit* box : {txt1_, txt2_}) box->resize(wide, box->height());
  const int frameGrow =
      std::max(0, txt1_->geometry().right() + 1 + std::min(rightMargin, Twips(120)) - group.Frame->width());
  group.Frame->resize(group.Frame->width() + frameGrow, group.Frame->height());
  group.Shape->resize(group.Shape->width() + frameGrow, group.Shape->height());
  for (QPushButton* button : {cmd1_, cmd2_}) button->move(button->x() + frameGrow, button->y());
  setFixedSize(width() + frameGrow, height());
  SetBackgroundPicture(this, GradientPicture(size()));
}

frmAdvanced::frmAdvanced(RunSettings& settings, MessageBoxes& boxes, QWidget* owner)
    : QDialog(owner), owner_(owner), messages_(boxes, owner), rules_(settings, messages_) {
  setObjectName(QStringLiteral("frmAdvanced"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Tessil -- Options"));
  setFixedSize(Twips(3690), Twips(2160));
  SetBackgroundPicture(this, GradientPicture(size()));
  setFont(SansSerifFont(13));

  const TitledGroup group =
      AddTitledGroup(this, QStringLiteral("fra1"), QStringLiteral("Label1"), QStringLiteral("shp1"),
                     QStringLiteral("Simulations"), {240, 480, 3255, 1020}, {360, 180});
  auto* lbl1 = new QLabel(QStringLiteral("Number of Iterations:"), group.Frame);
  lbl1->setObjectName(QStringLiteral("lbl1"));
  lbl1->move(Twips(240), Twips(120));
  lbl1->adjustSize();
  txt1_ = new QLineEdit(QStringLiteral("100"), group.Frame);
  txt1_->setObjectName(QStringLiteral("txt1"));
  txt1_->setGeometry(TwipsRect(2280, 120, 615, 285));
  auto* lbl2 = new QLabel(QStringLiteral("Random Seed:"), group.Frame);
  lbl2->setObjectName(QStringLiteral("lbl2"));
  lbl2->move(Twips(240), Twips(600));
  lbl2->adjustSize();
  txt2_ = new QLineEdit(QStringLiteral("0"), group.Frame);
  txt2_->setObjectName(QStringLiteral("txt2"));
  txt2_->setGeometry(TwipsRect(2280, 600, 615, 285));
  for (QLineEdit* box : {txt1_, txt2_}) {
    box->setTextMargins(0, 0, 0, 0);
    box->installEventFilter(new SelectOnFocus(box));
  }

  cmd1_ = new QPushButton(QStringLiteral("OK"), this);
  cmd1_->setObjectName(QStringLiteral("cmd1"));
  cmd1_->setGeometry(TwipsRect(1200, 1650, 1095, 375));
  cmd1_->setDefault(true);
  cmd2_ = new QPushButton(QStringLiteral("Cancel"), this);
  cmd2_->setObjectName(QStringLiteral("cmd2"));
  cmd2_->setGeometry(TwipsRect(2400, 1650, 1095, 375));
  setTabOrder(cmd1_, cmd2_);
  setTabOrder(cmd2_, txt1_);
  setTabOrder(txt1_, txt2_);
  WidenForLargestValue(group);

  txt1_->setText(FromRules(rules_.IterationsText()));
  txt2_->setText(FromRules(rules_.SeedText()));
  connect(txt1_, &QLineEdit::textChanged, this,
          [this](const QString& text) { rules_.TypeIterations(text.toStdString()); });
  connect(txt2_, &QLineEdit::textChanged, this, [this](const QString& text) { rules_.TypeSeed(text.toStdString()); });

  connect(cmd1_, &QPushButton::clicked, this, &frmAdvanced::cmd1_Click);
  connect(cmd2_, &QPushButton::clicked, this, &QDialog::reject);
}

frmAdvanced::~frmAdvanced() = default;

void frmAdvanced::Open() {
  setWindowModality(Qt::WindowModal);
  if (owner_ != nullptr) {
    const QRect area = owner_->frameGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  show();
  cmd1_->setFocus(Qt::OtherFocusReason);
}

void frmAdvanced::cmd1_Click() {
  // The dialog steps aside while a message is shown, and comes back with the
  // texts as the user left them when a value is refused or the user would
  // rather correct it.
  hide();
  if (rules_.Ok() == AdvancedPresenter::Outcome::Stored) {
    accept();
    return;
  }
  show();
  cmd1_->setFocus(Qt::OtherFocusReason);
}

}  // namespace tessil
