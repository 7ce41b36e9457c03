// Pictures of every window of the desktop program, for its documentation.
// It opens the real windows one after another, as a user would, runs the
// default study through the Run button, and writes one PNG per window into
// the folder given as its argument (docs/screenshots by default). Each
// picture carries a drawn title bar with the window's caption, since a
// bare X server draws no frames.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdio>
#include <memory>

#include "ButtonKeys.h"
#include "HelpPages.h"
#include "Help_Procedures.h"
#include "MessageBoxes.h"
#include "StandInAutomation.h"
#include "Validation.h"
#include "WindowPictures.h"
#include "frmConfirmExit.h"
#include "frmMain.h"
#include "frmResults.h"

namespace {

using namespace tessil;

// A clock that advances a twentieth of a second at every reading, so that
// the progress window shows the estimate a run of realistic speed gives.
class SteadyClock final : public Clock {
 public:
  double SecondsSinceMidnight() override { return now_ += 0.05; }

 private:
  double now_ = 10 * 3600.0;
};

// Messages go to the standard error instead of a box nobody would press.
class LoggedMessages final : public MessageBoxes {
 public:
  void Inform(QWidget*, const QString& text) override {
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
    ++Shown;
  }
  bool AskYesNo(QWidget*, const QString& text) override {
    std::fprintf(stderr, "question (answered Yes): %s\n", qPrintable(text));
    return true;
  }
  int Shown = 0;
};

void Settle() {
  for (int i = 0; i < 6; ++i) QCoreApplication::processEvents();
}

// The window's client area under a drawn title bar, in a thin frame.
QImage Framed(QWidget* window) {
  Settle();
  const QImage client = window->grab().toImage();
  const int border = 3;
  const int bar = 24;
  QImage picture(client.width() + 2 * border, client.height() + bar + 2 * border, QImage::Format_RGB32);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(picture.rect(), QColor(212, 208, 200));
  painter.setPen(QColor(64, 64, 64));
  painter.drawRect(picture.rect().adjusted(0, 0, -1, -1));
  const QRect title(border, border, client.width(), bar - 2);
  QLinearGradient shade(title.topLeft(), title.topRight());
  shade.setColorAt(0.0, QColor(0, 0, 128));
  shade.setColorAt(1.0, QColor(43, 133, 190));
  painter.fillRect(title, shade);
  painter.drawImage(QRect(title.left() + 4, title.top() + 3, 16, 16), TessilLogo());
  painter.setPen(Qt::white);
  painter.setFont(SansSerifFont(13, true));
  painter.drawText(title.adjusted(26, 0, -30, 0), Qt::AlignVCenter | Qt::AlignLeft, window->windowTitle());
  const bool closable = !window->windowFlags().testFlag(Qt::CustomizeWindowHint) ||
                        window->windowFlags().testFlag(Qt::WindowCloseButtonHint);
  const QRect close(title.right() - 20, title.top() + 3, 17, 16);
  painter.fillRect(close, QColor(212, 208, 200));
  painter.setPen(closable ? Qt::black : QColor(150, 150, 150));
  painter.drawLine(close.topLeft() + QPoint(5, 4), close.bottomRight() - QPoint(5, 4));
  painter.drawLine(close.topRight() + QPoint(-5, 4), close.bottomLeft() + QPoint(5, -4));
  painter.drawImage(border, border + bar, client);
  return picture;
}

bool Save(QWidget* window, const QDir& folder, const char* name) {
  const QString path = folder.filePath(QString::fromLatin1(name));
  // A picture that fails half-way leaves the one already in the folder.
  QSaveFile file(path);
  const bool saved = file.open(QIODevice::WriteOnly) && Framed(window).save(&file, "PNG") && file.commit();
  std::printf("%s %s (%s%s%s)\n", saved ? "wrote" : "FAILED", qPrintable(path), qPrintable(window->windowTitle()),
              saved ? "" : ": ", saved ? "" : qPrintable(file.errorString()));
  return saved;
}

QWidget* TopLevel(const char* objectName) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->objectName() == QLatin1String(objectName) && w->isVisible()) return w;
  }
  return nullptr;
}

// The program's own automation, the window protocol against the stand-in
// EcoSim, photographing the progress window a third of the way through.
class PhotographedRun final : public EcoSimAutomation {
 public:
  PhotographedRun(std::unique_ptr<EcoSimAutomation> inner, RunSettings& settings, QWidget* progress, const QDir& folder,
                  bool& photographed)
      : owned_(std::move(inner)),
        inner_(*owned_),
        settings_(settings),
        progress_(progress),
        folder_(folder),
        photographed_(photographed) {}
  void PrepareEcoSim() override { inner_.PrepareEcoSim(); }
  void EnterMatrix(const PresenceAbsenceMatrix& matrix) override {
    if (!photographed_ && settings_.TestsDone >= 1234) {
      photographed_ = Save(progress_, folder_, "progress-window.png");
    }
    inner_.EnterMatrix(matrix);
  }
  void OpenCooccurrenceOptions() override { inner_.OpenCooccurrenceOptions(); }
  RunOutcome RunCooccurrenceTest(std::int16_t toggleBeep) override { return inner_.RunCooccurrenceTest(toggleBeep); }
  double ReadPValue(std::int16_t upperTail) override { return inner_.ReadPValue(upperTail); }
  void CloseCooccurrenceResults() override { inner_.CloseCooccurrenceResults(); }
  void PlaceEcoSimWindow(std::string_view name, std::int32_t mode) override { inner_.PlaceEcoSimWindow(name, mode); }
  void ReleaseEcoSim() override { inner_.ReleaseEcoSim(); }

 private:
  std::unique_ptr<EcoSimAutomation> owned_;
  EcoSimAutomation& inner_;
  RunSettings& settings_;
  QWidget* progress_;
  QDir folder_;
  bool& photographed_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  ShowButtonFocusClearly();
  const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots"));
  if (!QDir().mkpath(folder.path())) {
    std::fprintf(stderr, "cannot create %s\n", qPrintable(folder.path()));
    return 1;
  }

  qtwin::WindowWorld world;
  standin::StandInAutomation windows(world, QCoreApplication::applicationDirPath().toStdString());
  RunSettings settings;
  LoggedMessages boxes;
  HelpWindows help(HelpPagesFolder());
  SteadyClock clock;
  bool photographed = false;
  bool ended = false;
  frmMain main(settings, MainWindowServices{boxes,
                                            help,
                                            clock,
                                            [&](RunSettings& s, const RunInputs& inputs, AutomationHost& host,
                                                const ProgressLink& link, QWidget* progress) -> MadeAutomation {
                                              return std::make_unique<PhotographedRun>(
                                                  windows.MakeAutomation(s, inputs, host, progress,
                                                                         [&link] { return link.CancelRequested(); }),
                                                  s, progress, folder, photographed);
                                            },
                                            {},
                                            QCoreApplication::applicationDirPath(),
                                            [&] { ended = true; },
                                            {}});
  bool ok = true;
  main.show();
  ok &= Save(&main, folder, "main-window.png");

  // The EcoSim options, with an index that shows the Empty Sites group.
  main.findChild<QPushButton*>(QStringLiteral("cmd1"))->click();
  QWidget* options = TopLevel("frmEcoSimOptions");
  options->findChild<QRadioButton*>(QStringLiteral("opt10"))->click();
  ok &= Save(options, folder, "ecosim-options.png");
  options->findChild<QPushButton*>(QStringLiteral("cmd2"))->click();

  main.findChild<QPushButton*>(QStringLiteral("cmd3"))->click();
  QWidget* advanced = TopLevel("frmAdvanced");
  ok &= Save(advanced, folder, "simulation-options.png");
  advanced->findChild<QPushButton*>(QStringLiteral("cmd2"))->click();

  main.findChild<QAction*>(QStringLiteral("mnuHelpAbout"))->trigger();
  QWidget* about = TopLevel("frmAbout");
  ok &= Save(about, folder, "about.png");
  about->close();

  {
    QMessageBox box(QMessageBox::NoIcon, ProgramTitle(), QString::fromLatin1(message::TwoRows.data()), QMessageBox::Ok,
                    &main);
    box.show();
    ok &= Save(&box, folder, "message-box.png");
  }

  main.findChild<QAction*>(QStringLiteral("mnuHelpHelp"))->trigger();
  ok &= Save(help.WindowOf(HelpFile), folder, "help-getting-started.png");
  help.ShowHelpTopic(HelpFile, ResultsTopic);
  ok &= Save(help.WindowOf(HelpFile), folder, "help-results.png");
  help.CloseAllHelp();

  // The default study, started by Run.
  main.findChild<QPushButton*>(QStringLiteral("cmd2"))->click();
  ok &= photographed;
  frmResults* results = main.ResultsWindow();
  if (results == nullptr || boxes.Shown != 0) {
    std::fprintf(stderr, "the run did not end in the results window\n");
    return 1;
  }
  const std::string& report = results->Report();
  std::printf("report shown: %zu characters, first line \"%s\"\n", report.size(),
              report.substr(0, report.find("\r\n")).c_str());
  ok &= report.rfind("TYPE I ERROR RATES:", 0) == 0;
  ok &= Save(results, folder, "results-window.png");
  // The same study's power function, on the window's Chart tab.
  auto* showChart = results->findChild<QPushButton*>(QStringLiteral("optChart"));
  auto* showReport = results->findChild<QPushButton*>(QStringLiteral("optReport"));
  if (showChart != nullptr && showReport != nullptr) {
    showChart->click();
    ok &= Save(results, folder, "results-chart.png");
    // The chart of a maximized window, laid out for the larger room.
    const QSize usual = results->size();
    results->setWindowState(results->windowState() | Qt::WindowMaximized);
    QCoreApplication::processEvents();
    if (results->size() == usual && results->screen() != nullptr) {
      // No window manager to maximize it: the size it would take.
      results->resize(results->screen()->availableGeometry().size());
    }
    ok &= Save(results, folder, "results-chart-maximized.png");
    results->setWindowState(results->windowState() & ~Qt::WindowMaximized);
    results->resize(usual);
    showReport->click();
  } else {
    std::fprintf(stderr, "the results window has no Chart tab\n");
    ok = false;
  }

  {
    // An empty folder of its own, so that the picture shows no folder of the
    // machine it was taken on.
    QTemporaryDir empty(QDir::tempPath() + QStringLiteral("/Tessil-XXXXXX"));
    QFileDialog dialog(results);
    ConfigureSaveDialog(dialog, empty.path(), QStringLiteral("Results"));
    // The side bar would show this machine's home folder by its user's name.
    dialog.setSidebarUrls({QUrl::fromLocalFile(empty.path())});
    dialog.show();
    ok &= Save(&dialog, folder, "save-dialog.png");
  }
  results->close();
  Settle();
  ok &= main.isVisible();

  main.close();
  frmConfirmExit* confirm = main.ConfirmExit();
  ok &= Save(confirm, folder, "exit-confirmation.png");
  confirm->findChild<QPushButton*>(QStringLiteral("cmd1"))->click();
  ok &= ended;
  std::printf("%s\n", ok ? "all windows photographed" : "SOME PICTURES FAILED");
  return ok ? 0 : 1;
}
