#include "PngPicture.h"

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtGlobal>
#include <array>
#include <memory>

#include "SvgDrawing.h"

namespace tessil::cli {

// The chart drawn from its SVG text, so that the PNG shows exactly what the
// saved SVG shows.
bool RenderChartAsPng(const chart::Chart& chart, std::string& png, std::string& reason) {
  const std::string svg = svg::Document(chart);
  // Text needs the font database, which needs a GUI application; the
  // offscreen platform gives one without a display.
  std::array<char, 11> name{"tessil-cli"};
  std::array<char, 10> option{"-platform"};
  std::array<char, 10> platform{"offscreen"};
  std::array<char*, 4> argv{name.data(), option.data(), platform.data(), nullptr};
  int argc = 3;
  // Qt's notes on its own set-up (a runtime folder not set) mean nothing to
  // the user of a command; they are kept off standard error while drawing.
  struct QuietQt {
    QtMessageHandler Previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    ~QuietQt() { qInstallMessageHandler(Previous); }
    QuietQt() = default;
    QuietQt(const QuietQt&) = delete;
    QuietQt& operator=(const QuietQt&) = delete;
  } quiet;
  std::unique_ptr<QGuiApplication> application;
  if (QCoreApplication::instance() == nullptr) application = std::make_unique<QGuiApplication>(argc, argv.data());

  QSvgRenderer renderer(QByteArray(svg.data(), static_cast<qsizetype>(svg.size())));
  if (!renderer.isValid()) {
    reason = "the picture could not be read as SVG";
    return false;
  }
  QImage image(renderer.defaultSize() * 2, QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) {
    reason = "there is not enough memory for the picture";
    return false;
  }
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) {
    reason = "the picture could not be encoded as PNG";
    return false;
  }
  png.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  return true;
}

}  // namespace tessil::cli
