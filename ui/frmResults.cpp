#include "frmResults.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QScreen>
#include <QSvgRenderer>
#include <QSvgWidget>
#include <algorithm>

#include "Help_Procedures.h"
#include "MessageBoxes.h"
#include "Validation.h"
#include "WindowPictures.h"

namespace tessil {

namespace {

// A dialog of the rules' request, over the chooser given or the toolkit's
// dialog.
std::string Choose(const SaveFileChooser& chooser, QString (*dialog)(QWidget*, const QString&, const QString&),
                   QWidget* owner, const SaveFileRequest& request) {
  const QString folder = FromRules(request.Folder);
  const QString name = FromRules(request.Name);
  return (chooser ? chooser(owner, folder, name) : dialog(owner, folder, name)).toStdString();
}

}  // namespace

void ConfigureSaveDialog(QFileDialog& dialog, const QString& folder, const QString& name) {
  dialog.setWindowTitle(QStringLiteral("Save"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // Tessil's own dialog, so that it looks and behaves alike everywhere.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  // An existing file is replaced without a question, and nothing is added
  // to the name: the extension rules of the save itself apply afterwards.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.setDefaultSuffix(QString());
  dialog.setNameFilters({QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*.*)")});
  dialog.selectNameFilter(QStringLiteral("Text Files (*.txt)"));
  dialog.setDirectory(folder);
  dialog.selectFile(name);
}

QString ChooseWithSaveDialog(QWidget* owner, const QString& folder, const QString& name) {
  QFileDialog dialog(owner);
  ConfigureSaveDialog(dialog, folder, name);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  return chosen.isEmpty() ? QString() : chosen.front();
}

QString ResultsFilePath(const QString& chosen) {
  return QString::fromStdString(ResultsFilePath(std::string_view(chosen.toStdString())));
}

bool WriteResultsFile(const QString& path, const std::string& text, QString* reason) {
  // The report goes to a new file that replaces the old one only once it is
  // complete: a save that fails leaves what was there.
  QSaveFile file(path);
  auto fail = [&file, reason] {
    if (reason != nullptr) *reason = file.errorString();
    file.cancelWriting();
    return false;
  };
  if (QFileInfo(path).isDir()) {
    if (reason != nullptr) *reason = QStringLiteral("It is a folder, not a file");
    return false;
  }
  // Unbuffered, so that a write that fails is told by write() itself: a
  // failure while the buffer is flushed at commit() would go unnoticed.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return fail();
  // A short write is followed by another, which fails with the reason.
  for (qint64 done = 0; done < static_cast<qint64>(text.size());) {
    const qint64 written = file.write(text.data() + done, static_cast<qint64>(text.size()) - done);
    if (written <= 0) return fail();
    done += written;
  }
  if (!file.commit()) {
    if (reason != nullptr) *reason = file.errorString();
    return false;
  }
  return true;
}

namespace {

const QString SvgFilter = QStringLiteral("SVG Pictures (*.svg)");
const QString PngFilter = QStringLiteral("PNG Pictures (*.png)");

bool EndsWith(const QString& path, const char* extension) {
  return path.endsWith(QLatin1String(extension), Qt::CaseInsensitive);
}

}  // namespace

void ConfigureChartDialog(QFileDialog& dialog, const QString& folder, const QString& name) {
  dialog.setWindowTitle(QStringLiteral("Save Chart"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setNameFilters({SvgFilter, PngFilter});
  dialog.selectNameFilter(SvgFilter);
  dialog.setDirectory(folder);
  dialog.selectFile(name);
}

QString ChooseWithChartDialog(QWidget* owner, const QString& folder, const QString& name) {
  QFileDialog dialog(owner);
  ConfigureChartDialog(dialog, folder, name);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return {};
  QString path = chosen.front();
  if (!EndsWith(path, ".svg") && !EndsWith(path, ".png")) {
    path += dialog.selectedNameFilter() == PngFilter ? QStringLiteral(".png") : QStringLiteral(".svg");
  }
  return path;
}

bool WriteChartFile(const QString& path, const std::string& svg, QString* reason) {
  if (!EndsWith(path, ".png")) return WriteResultsFile(path, svg, reason);
  QSvgRenderer renderer(QByteArray(svg.data(), static_cast<qsizetype>(svg.size())));
  // Twice the chart's own size, so that the picture stays sharp in print.
  QImage image(renderer.defaultSize() * 2, QImage::Format_ARGB32_Premultiplied);
  if (!renderer.isValid() || image.isNull()) {
    if (reason != nullptr) *reason = QStringLiteral("The chart could not be drawn");
    return false;
  }
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
  }
  if (QFileInfo(path).isDir()) {
    if (reason != nullptr) *reason = QStringLiteral("It is a folder, not a file");
    return false;
  }
  // As the report: a new file that replaces the old one once complete.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG")) {
    if (reason != nullptr) *reason = file.errorString();
    file.cancelWriting();
    return false;
  }
  if (!file.commit()) {
    if (reason != nullptr) *reason = file.errorString();
    return false;
  }
  return true;
}

ResultsWindowServices frmResults::RulesServices() {
  auto write = [](bool (*writer)(const QString&, const std::string&, QString*)) {
    return [writer](const std::string& path, const std::string& bytes, std::string& reason) {
      QString why;
      const bool written = writer(QString::fromStdString(path), bytes, &why);
      if (!written) reason = why.toStdString();
      return written;
    };
  };
  return {messages_,
          services_.Help,
          [this](const SaveFileRequest& request) {
            return Choose(services_.ChooseFile, ChooseWithSaveDialog, this, request);
          },
          [this](const SaveFileRequest& request) {
            return Choose(services_.ChooseChartFile, ChooseWithChartDialog, this, request);
          },
          write(WriteResultsFile),
          write(WriteChartFile),
          services_.ProgramFolder.toStdString()};
}

frmResults::frmResults(ResultsServices services)
    : services_(std::move(services)), messages_(services_.Boxes, this), rules_({}, {}, RulesServices()) {
  setObjectName(QStringLiteral("frmResults"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(FromRules(rules_.Caption()));
  setWindowIcon(QIcon(QPixmap::fromImage(TessilLogo())));
  setFixedSize(936, 461);
  SetBackgroundPicture(this, GradientPicture(QSize(936, 461)));

  txt1_ = new QPlainTextEdit(this);
  txt1_->setObjectName(QStringLiteral("txt1"));
  txt1_->setGeometry(24, 16, 889, 393);
  txt1_->setReadOnly(true);
  txt1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txt1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  txt1_->setFont(SansSerifFont(13));
  txt1_->setTabStopDistance(64);
  cmd1_ = new QPushButton(QStringLiteral("Save"), this);
  cmd1_->setObjectName(QStringLiteral("cmd1"));
  cmd1_->setGeometry(728, 424, 89, 25);
  cmd2_ = new QPushButton(QStringLiteral("Close"), this);
  cmd2_->setObjectName(QStringLiteral("cmd2"));
  cmd2_->setGeometry(824, 424, 89, 25);
  cmd3_ = new QPushButton(QStringLiteral("Help"), this);
  cmd3_->setObjectName(QStringLiteral("cmd3"));
  cmd3_->setGeometry(24, 424, 81, 25);
  // The chart lies over the report; the tabs beside Help choose which shows.
  chtPower_ = new QSvgWidget(this);
  chtPower_->setObjectName(QStringLiteral("chtPower"));
  chtPower_->setGeometry(24, 16, 889, 393);
  chtPower_->setStyleSheet(QStringLiteral("background: white"));
  chtPower_->renderer()->setAspectRatioMode(Qt::KeepAspectRatio);
  chtPower_->hide();
  // Two buttons that act as tabs: one of them is always down.
  optReport_ = new QPushButton(QStringLiteral("Report"), this);
  optReport_->setObjectName(QStringLiteral("optReport"));
  optReport_->setGeometry(120, 424, 89, 25);
  optChart_ = new QPushButton(QStringLiteral("Chart"), this);
  optChart_->setObjectName(QStringLiteral("optChart"));
  optChart_->setGeometry(209, 424, 89, 25);
  auto* views = new QButtonGroup(this);
  for (QPushButton* view : {optReport_, optChart_}) {
    view->setCheckable(true);
    views->addButton(view);
  }
  views->setExclusive(true);
  optReport_->setChecked(true);
  cmd4_ = new QPushButton(QStringLiteral("Save Chart"), this);
  cmd4_->setObjectName(QStringLiteral("cmd4"));
  cmd4_->setGeometry(632, 424, 89, 25);
  setTabOrder(txt1_, cmd1_);
  setTabOrder(cmd1_, cmd2_);
  setTabOrder(cmd2_, cmd3_);
  setTabOrder(cmd3_, optReport_);
  setTabOrder(optReport_, optChart_);
  setTabOrder(optChart_, cmd4_);
  connect(optChart_, &QPushButton::toggled, this, &frmResults::ShowChart);
  connect(cmd4_, &QPushButton::clicked, this, [this] { rules_.SaveChart(); });

  connect(cmd1_, &QPushButton::clicked, this, [this] {
    rules_.Save();
    setWindowTitle(FromRules(rules_.Caption()));
  });
  connect(cmd2_, &QPushButton::clicked, this, &QWidget::close);
  connect(cmd3_, &QPushButton::clicked, this, [this] { rules_.ShowHelp(); });

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

frmResults::~frmResults() = default;

void frmResults::SetReport(std::string report) {
  rules_.SetReport(std::move(report));
  const std::string& shownReport = rules_.Report();
  // The box shows the lines; the report itself keeps its CR LF breaks for
  // saving.
  QString shown = QString::fromLatin1(shownReport.data(), static_cast<qsizetype>(shownReport.size()));
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  txt1_->setPlainText(shown);
}

void frmResults::SetChart(std::string svg) {
  rules_.SetChart(std::move(svg));
  const std::string& chart = rules_.Chart();
  chtPower_->load(QByteArray(chart.data(), static_cast<qsizetype>(chart.size())));
  chtPower_->renderer()->setAspectRatioMode(Qt::KeepAspectRatio);
}

void frmResults::ShowChart(bool chart) {
  txt1_->setVisible(!chart);
  chtPower_->setVisible(chart);
}

void frmResults::SaveChartFile(const QString& path) { rules_.SaveChartFile(path.toStdString()); }

QString frmResults::ChooseResultsFile() { return QString::fromStdString(rules_.ChooseResultsFile()); }

void frmResults::SaveResultsFile(const QString& path) {
  rules_.SaveResultsFile(path.toStdString());
  setWindowTitle(FromRules(rules_.Caption()));
}

void frmResults::closeEvent(QCloseEvent* event) {
  event->accept();
  emit Unloaded();
}

}  // namespace tessil
