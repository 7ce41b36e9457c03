#include "frmResults.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QSaveFile>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSvgRenderer>
#include <QSvgWidget>
#include <algorithm>

#include "Help_Procedures.h"
#include "MessageBoxes.h"
#include "SvgDrawing.h"
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

ChosenFile ChooseWithChartDialog(QWidget* owner, const QString& folder, const QString& name) {
  QFileDialog dialog(owner);
  ConfigureChartDialog(dialog, folder, name);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return {};
  return {chosen.front().toStdString(), dialog.selectedNameFilter() == PngFilter ? 1U : 0U};
}

bool WriteChartFile(const QString& path, ChartFormat format, const std::string& svg, QString* reason) {
  if (format == ChartFormat::Svg) return WriteResultsFile(path, svg, reason);
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
  return {messages_,
          services_.Help,
          [this](const SaveFileRequest& request) {
            return Choose(services_.ChooseFile, ChooseWithSaveDialog, this, request);
          },
          [this](const SaveFileRequest& request) {
            const QString folder = FromRules(request.Folder);
            const QString name = FromRules(request.Name);
            return services_.ChooseChartFile ? services_.ChooseChartFile(this, folder, name)
                                             : ChooseWithChartDialog(this, folder, name);
          },
          [](const std::string& path, const std::string& bytes, std::string& reason) {
            QString why;
            const bool written = WriteResultsFile(QString::fromStdString(path), bytes, &why);
            if (!written) reason = why.toStdString();
            return written;
          },
          [](const std::string& path, ChartFormat format, const ResultsChart& chart, std::string& reason) {
            QString why;
            const bool written = WriteChartFile(QString::fromStdString(path), format, chart.Svg, &why);
            if (!written) reason = why.toStdString();
            return written;
          },
          services_.ProgramFolder.toStdString()};
}

// The Chart view: the chart laid out for the view's own size and shown at
// one to one, so that its text stays at its size however large the window;
// a chart taller than the view scrolls vertically. Laid out again whenever
// the view changes size.
class ResultsChartView final : public QScrollArea {
 public:
  using Source = std::function<chart::Chart(chart::ChartSize room)>;

  explicit ResultsChartView(QWidget* parent) : QScrollArea(parent), picture_(new QSvgWidget) {
    picture_->setObjectName(QStringLiteral("chtPowerPicture"));
    setWidget(picture_);
    setWidgetResizable(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // White under the chart, whatever the window's own background.
    QPalette white = viewport()->palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(white);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    picture_->setPalette(white);
    picture_->setAutoFillBackground(true);
  }

  void SetSource(Source source) {
    source_ = std::move(source);
    laidOut_ = {};
    Relayout();
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QScrollArea::resizeEvent(event);
    Relayout();
  }

 private:
  void Relayout() {
    const QSize room = contentsRect().size();
    if (!source_ || room.isEmpty()) return;
    chart::ChartSize size{room.width(), room.height()};
    chart::Chart shown = source_(size);
    if (shown.Height > room.height()) {
      // The vertical scroll bar takes its width from the room.
      size.Width -= verticalScrollBar()->sizeHint().width();
      shown = source_(size);
    }
    if (size == laidOut_) return;
    laidOut_ = size;
    const std::string text = svg::Document(shown);
    picture_->load(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    picture_->setFixedSize(shown.Width, shown.Height);
  }

  QSvgWidget* picture_;
  Source source_;
  chart::ChartSize laidOut_;
};

frmResults::frmResults(ResultsServices services)
    : services_(std::move(services)), messages_(services_.Boxes, this), rules_({}, {}, RulesServices()) {
  setObjectName(QStringLiteral("frmResults"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(FromRules(rules_.Caption()));
  setWindowIcon(QIcon(QPixmap::fromImage(TessilLogo())));
  // Opens at its own size and may be resized or maximized: the chart is
  // laid out for whatever room its view gets.
  resize(936, 461);
  setMinimumSize(ResultsMinimumSize);

  txt1_ = new QPlainTextEdit(this);
  txt1_->setObjectName(QStringLiteral("txt1"));
  txt1_->setReadOnly(true);
  txt1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txt1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  txt1_->setFont(SansSerifFont(13));
  txt1_->setTabStopDistance(64);
  // The chart lies over the report; Report and Chart choose which shows.
  chtPower_ = new ResultsChartView(this);
  chtPower_->setObjectName(QStringLiteral("chtPower"));
  chtPower_->hide();
  cmd1_ = new QPushButton(QStringLiteral("Save"), this);
  cmd1_->setObjectName(QStringLiteral("cmd1"));
  cmd2_ = new QPushButton(QStringLiteral("Close"), this);
  cmd2_->setObjectName(QStringLiteral("cmd2"));
  cmd3_ = new QPushButton(QStringLiteral("Help"), this);
  cmd3_->setObjectName(QStringLiteral("cmd3"));
  // Two buttons that act as tabs, each a stop of its own for Tab, pressed
  // by Space or Enter; the chosen one stays down.
  optReport_ = new QPushButton(QStringLiteral("Report"), this);
  optReport_->setObjectName(QStringLiteral("optReport"));
  optChart_ = new QPushButton(QStringLiteral("Chart"), this);
  optChart_->setObjectName(QStringLiteral("optChart"));
  for (QPushButton* view : {optReport_, optChart_}) {
    view->setCheckable(true);
    view->setAutoDefault(true);
  }
  cmd4_ = new QPushButton(QStringLiteral("Save Chart"), this);
  cmd4_->setObjectName(QStringLiteral("cmd4"));
  setTabOrder(txt1_, chtPower_);
  setTabOrder(chtPower_, cmd1_);
  setTabOrder(cmd1_, cmd2_);
  setTabOrder(cmd2_, cmd3_);
  setTabOrder(cmd3_, optReport_);
  setTabOrder(optReport_, optChart_);
  setTabOrder(optChart_, cmd4_);
  connect(optReport_, &QPushButton::clicked, this, [this] { ShowChart(false); });
  connect(optChart_, &QPushButton::clicked, this, [this] { ShowChart(true); });
  // As in tabbed windows: Ctrl+Tab and Ctrl+Page Down go to the next view,
  // Ctrl+Shift+Tab and Ctrl+Page Up to the previous; of two, the other.
  for (const QKeySequence& keys :
       {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), QKeySequence(Qt::CTRL | Qt::Key_PageUp)}) {
    connect(new QShortcut(keys, this), &QShortcut::activated, this, [this] { ShowChart(!ShowsChart()); });
  }
  // F1 and Esc as in the Windows face: the help on results, and Close.
  connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this, [this] { rules_.ShowHelp(); });
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
  ShowChart(false);
  connect(cmd4_, &QPushButton::clicked, this, [this] { rules_.SaveChart(); });

  connect(cmd1_, &QPushButton::clicked, this, [this] {
    rules_.Save();
    setWindowTitle(FromRules(rules_.Caption()));
  });
  connect(cmd2_, &QPushButton::clicked, this, &QWidget::close);
  connect(cmd3_, &QPushButton::clicked, this, [this] { rules_.ShowHelp(); });
  Layout();

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

frmResults::~frmResults() = default;

void frmResults::Layout() {
  const int w = width();
  const int h = height();
  // At 936 x 461 these are the window's own places: the view at 24, 16,
  // 889 x 393 and the buttons' row at 424.
  const QRect view(24, 16, w - 47, h - 68);
  txt1_->setGeometry(view);
  chtPower_->setGeometry(view);
  const int row = h - 37;
  cmd3_->setGeometry(24, row, 81, 25);
  optReport_->setGeometry(120, row, 89, 25);
  optChart_->setGeometry(209, row, 89, 25);
  cmd4_->setGeometry(w - 304, row, 89, 25);
  cmd1_->setGeometry(w - 208, row, 89, 25);
  cmd2_->setGeometry(w - 112, row, 89, 25);
  SetBackgroundPicture(this, GradientPicture(size()));
}

void frmResults::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Layout();
}

void frmResults::SetReport(std::string report) {
  rules_.SetReport(std::move(report));
  const std::string& shownReport = rules_.Report();
  // The box shows the lines; the report itself keeps its CR LF breaks for
  // saving.
  QString shown = QString::fromLatin1(shownReport.data(), static_cast<qsizetype>(shownReport.size()));
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  txt1_->setPlainText(shown);
}

void frmResults::SetChart(ResultsChart chart) {
  rules_.SetChart(std::move(chart));
  chtPower_->SetSource([this](chart::ChartSize room) { return rules_.ChartFor(room); });
}

bool frmResults::ShowsChart() const { return optChart_->isChecked(); }

void frmResults::ShowChart(bool chart) {
  QWidget* hidden = chart ? static_cast<QWidget*>(txt1_) : chtPower_;
  QWidget* shown = chart ? static_cast<QWidget*>(chtPower_) : txt1_;
  const bool focusWasInView = hidden->hasFocus() || focusWidget() == hidden;
  shown->setVisible(true);
  hidden->setVisible(false);
  if (focusWasInView) shown->setFocus(Qt::OtherFocusReason);
  for (QPushButton* view : {optReport_, optChart_}) {
    const bool chosen = (view == optChart_) == chart;
    view->setChecked(chosen);
    QFont font = view->font();
    font.setBold(chosen);
    view->setFont(font);
  }
}

void frmResults::SaveChartFile(const QString& path, ChartFormat filter) {
  rules_.SaveChartFile(path.toStdString(), filter);
}

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
