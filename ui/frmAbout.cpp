#include "frmAbout.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "WindowPictures.h"

namespace tessil {

frmAbout::frmAbout(QWidget* owner) : QDialog(owner), owner_(owner) {
  setObjectName(QStringLiteral("frmAbout"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("About Tessil"));
  setFixedSize(370, 185);
  SetBackgroundPicture(this, GradientPicture(QSize(370, 185)));

  auto* img1 = new QLabel(this);
  img1->setObjectName(QStringLiteral("img1"));
  img1->setGeometry(16, 16, 153, 153);
  img1->setScaledContents(true);
  img1->setPixmap(QPixmap::fromImage(TessilLogo()));
  auto* shp1 = new OutlineShape(this);
  shp1->setObjectName(QStringLiteral("shp1"));
  shp1->setGeometry(16, 16, 153, 153);

  auto* label1 = new QLabel(QStringLiteral("Tessil"), this);
  label1->setObjectName(QStringLiteral("Label1"));
  label1->setGeometry(208, 16, 121, 33);
  label1->setFont(SerifFont(32));
  label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  auto* label2 = new QLabel(QStringLiteral("Version 1.0"), this);
  label2->setObjectName(QStringLiteral("Label2"));
  label2->setGeometry(240, 60, 57, 17);
  label2->setFont(SansSerifFont(11));
  auto* label3 = new QLabel(QStringLiteral("Made by the Tessil authors for ecologists who test null models."), this);
  label3->setObjectName(QStringLiteral("Label3"));
  label3->setGeometry(192, 84, 161, 41);
  label3->setFont(SansSerifFont(11));
  label3->setWordWrap(true);
  label3->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

  auto* cmd1 = new QPushButton(QStringLiteral("Close"), this);
  cmd1->setObjectName(QStringLiteral("cmd1"));
  cmd1->setGeometry(232, 144, 73, 25);
  cmd1->setFont(SansSerifFont(13));
  connect(cmd1, &QPushButton::clicked, this, &QWidget::close);
}

frmAbout::~frmAbout() = default;

void frmAbout::Open() {
  setWindowModality(Qt::WindowModal);
  if (owner_ != nullptr) {
    const QRect area = owner_->frameGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  show();
}

}  // namespace tessil
