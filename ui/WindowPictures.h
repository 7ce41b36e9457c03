// The look shared by Tessil's windows: layouts given in twips, the grey-to-blue
// background pictures, the logo, the fonts, and the titled groups of the
// dialogs.
#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QWidget>

class QFont;
class QLabel;

namespace tessil {

// Layouts of the dialogs are measured in twips, 15 to the pixel at 96 dots
// per inch.
constexpr int Twips(int twips) { return (twips + 7) / 15; }
QRect TwipsRect(int left, int top, int width, int height);

// The two ends of the background gradient, top and bottom.
inline const QColor GradientTop{202, 202, 202};
inline const QColor GradientBottom{43, 133, 190};

// A vertical gradient from light grey at the top to blue at the bottom, of
// exactly the given size.
QPixmap GradientPicture(QSize size);
// The main window's background: the gradient with a faint presence-absence
// mosaic along its right edge.
QPixmap MainWindowPicture(QSize size);
// The picture behind the progress window's status and time lines.
QPixmap StripPicture(QSize size);
// Tessil's logo: a presence-absence matrix whose occupied cells form a T,
// 287 x 287 pixels.
QImage TessilLogo();

// The proportional sans-serif face of the windows, and the serif face of the
// About box, at a size in pixels.
QFont SansSerifFont(int pixelSize, bool bold = false);
QFont SerifFont(int pixelSize);

// Makes the picture the background of the widget's client area.
void SetBackgroundPicture(QWidget* widget, const QPixmap& picture);

// The outline drawn around a dialog's group: a grey (128, 128, 128) line.
class OutlineShape final : public QWidget {
 public:
  explicit OutlineShape(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// A group of a dialog: a frame without border or caption, a grey outline one
// pixel larger on every side, and a bold title label above the outline.
struct TitledGroup {
  QWidget* Frame = nullptr;
  QLabel* Title = nullptr;
  OutlineShape* Shape = nullptr;
};
TitledGroup AddTitledGroup(QWidget* parent, const QString& frameName, const QString& titleName,
                           const QString& shapeName, const QString& title, QRect frameTwips, QPoint titleTwips);

}  // namespace tessil
