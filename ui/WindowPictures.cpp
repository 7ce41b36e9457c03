#include "WindowPictures.h"

#include <QFont>
#include <QFontInfo>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace tessil {

QRect TwipsRect(int left, int top, int width, int height) {
  return {Twips(left), Twips(top), Twips(width), Twips(height)};
}

QPixmap GradientPicture(QSize size) {
  QPixmap picture(size);
  QPainter painter(&picture);
  QLinearGradient gradient(0, 0, 0, size.height());
  gradient.setColorAt(0.0, GradientTop);
  gradient.setColorAt(1.0, GradientBottom);
  painter.fillRect(QRect(QPoint(0, 0), size), gradient);
  return picture;
}

QPixmap MainWindowPicture(QSize size) {
  QPixmap picture = GradientPicture(size);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  // A faint presence-absence matrix fills the background: cells occupied
  // along bands, as species of one guild would occupy neighbouring sites.
  const int pitch = 11;
  for (int row = 0; row * pitch < size.height(); ++row) {
    for (int col = 0; col * pitch < size.width(); ++col) {
      const bool occupied = ((row * 7 + col * 3) % 11) < 4 || ((row + col) % 9 == 0);
      const QRectF cell(col * pitch + 2.0, row * pitch + 2.0, pitch - 4.0, pitch - 4.0);
      painter.setPen(Qt::NoPen);
      painter.setBrush(occupied ? QColor(255, 255, 255, 34) : QColor(0, 0, 60, 10));
      painter.drawRoundedRect(cell, 1.5, 1.5);
    }
  }
  return picture;
}

QPixmap StripPicture(QSize size) {
  QPixmap picture(size);
  QPainter painter(&picture);
  QLinearGradient gradient(0, 0, 0, size.height());
  gradient.setColorAt(0.0, QColor(250, 251, 252));
  gradient.setColorAt(1.0, QColor(222, 230, 238));
  painter.fillRect(QRect(QPoint(0, 0), size), gradient);
  painter.setPen(QColor(150, 160, 170));
  painter.drawRect(QRect(QPoint(0, 0), size).adjusted(0, 0, -1, -1));
  return picture;
}

QImage TessilLogo() {
  const int side = 287;
  QImage logo(side, side, QImage::Format_ARGB32_Premultiplied);
  logo.fill(Qt::transparent);
  QPainter painter(&logo);
  painter.setRenderHint(QPainter::Antialiasing);

  QLinearGradient ground(0, 0, 0, side);
  ground.setColorAt(0.0, QColor(236, 240, 244));
  ground.setColorAt(1.0, QColor(172, 204, 226));
  QPainterPath tile;
  tile.addRoundedRect(QRectF(2, 2, side - 4, side - 4), 10, 10);
  painter.fillPath(tile, ground);
  painter.setPen(QPen(QColor(43, 133, 190), 4));
  painter.drawPath(tile);

  // A 7 x 7 presence-absence matrix: species as rows, sites as columns. The
  // occupied cells spell a T; a few others are occupied in a checkerboard
  // pair, the pattern a co-occurrence test looks for.
  constexpr int cells = 7;
  const double pitch = 35.0;
  const double inset = (side - cells * pitch) / 2.0;
  auto inT = [](int row, int col) { return (row == 1 && col >= 1 && col <= 5) || (col == 3 && row >= 2 && row <= 5); };
  auto checker = [](int row, int col) { return (row == 4 && col == 1) || (row == 5 && col == 5); };
  for (int row = 0; row < cells; ++row) {
    for (int col = 0; col < cells; ++col) {
      const QRectF cell(inset + col * pitch + 3, inset + row * pitch + 3, pitch - 6, pitch - 6);
      if (inT(row, col)) {
        QLinearGradient fill(cell.topLeft(), cell.bottomLeft());
        fill.setColorAt(0.0, QColor(30, 60, 160));
        fill.setColorAt(1.0, QColor(0, 0, 128));
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
      } else if (checker(row, col)) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(43, 133, 190));
      } else {
        painter.setPen(QPen(QColor(120, 150, 175), 1.5));
        painter.setBrush(QColor(255, 255, 255, 150));
      }
      painter.drawRoundedRect(cell, 5, 5);
    }
  }
  return logo;
}

QFont SansSerifFont(int pixelSize, bool bold) {
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                    QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans Condensed"),
                    QStringLiteral("DejaVu Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  // Without the narrow faces the layouts were drawn for, DejaVu's wide sans
  // needs its condensed cut to fit them.
  if (QFontInfo(font).family().startsWith(QStringLiteral("DejaVu Sans"))) font.setStretch(QFont::SemiCondensed);
  return font;
}

QFont SerifFont(int pixelSize) {
  QFont font;
  font.setFamilies(
      {QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")});
  font.setStyleHint(QFont::Serif);
  font.setPixelSize(pixelSize);
  return font;
}

void SetBackgroundPicture(QWidget* widget, const QPixmap& picture) {
  QPalette palette = widget->palette();
  palette.setBrush(QPalette::Window, QBrush(picture));
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

OutlineShape::OutlineShape(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

void OutlineShape::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(QColor(128, 128, 128));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

TitledGroup AddTitledGroup(QWidget* parent, const QString& frameName, const QString& titleName,
                           const QString& shapeName, const QString& title, QRect frameTwips, QPoint titleTwips) {
  TitledGroup group;
  const QRect frame = TwipsRect(frameTwips.x(), frameTwips.y(), frameTwips.width(), frameTwips.height());
  group.Shape = new OutlineShape(parent);
  group.Shape->setObjectName(shapeName);
  group.Shape->setGeometry(frame.adjusted(-1, -1, 1, 1));
  group.Frame = new QWidget(parent);
  group.Frame->setObjectName(frameName);
  group.Frame->setGeometry(frame);
  group.Title = new QLabel(title, parent);
  group.Title->setObjectName(titleName);
  group.Title->setFont(SansSerifFont(13, true));
  group.Title->move(Twips(titleTwips.x()), Twips(titleTwips.y()));
  group.Title->adjustSize();
  return group;
}

}  // namespace tessil
