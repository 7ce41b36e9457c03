// The results window: the name a chosen file is saved under, the bytes
// written, the caption's mark of an unsaved report, and what a failed save
// tells the user.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <QWindow>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSvgRenderer>
#include <QSvgWidget>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <tuple>
#include <vector>

#include "Help_Procedures.h"
#include "PowerChart.h"
#include "UiTestSupport.h"
#include "Validation.h"
#include "frmResults.h"

namespace tessil::test {
namespace {

const std::string Report = "TYPE I ERROR RATES\r\n---\r\n(1,1)\t\tTrue\t\t\t0.040\r\n*Defined in Tessil Help.";

struct ResultsHarness {
  ResultsHarness()
      : Window(new frmResults(ResultsServices{Boxes, Help,
                                              [this](QWidget*, const QString& folder, const QString& name) {
                                                AskedFolder = folder;
                                                AskedName = name;
                                                return Chosen;
                                              },
                                              Folder.path(),
                                              [this](QWidget*, const QString&, const QString&) {
                                                return ChosenFile{ChosenChart.toStdString(), ChosenFilter};
                                              }})) {
    Window->SetReport(Report);
    Window->show();
  }
  ~ResultsHarness() { delete Window.data(); }
  QByteArray Saved(const QString& name) {
    QFile file(Folder.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
  }
  QTemporaryDir Folder;
  ScriptedMessageBoxes Boxes;
  RecordingHelp Help;
  QString Chosen, AskedFolder, AskedName, ChosenChart;
  std::size_t ChosenFilter = 0;
  QPointer<frmResults> Window;
};

TEST(ResultsWindow, StartsUnsavedWithTheReportAndItsLayout) {
  ResultsHarness h;
  EXPECT_EQ(h.Window->windowTitle(), "Tessil Results*");
  EXPECT_EQ(h.Window->size(), QSize(936, 461));
  auto* text = Child<QPlainTextEdit>(h.Window.data(), "txt1");
  EXPECT_TRUE(text->isReadOnly());
  EXPECT_EQ(text->geometry(), QRect(24, 16, 889, 393));
  EXPECT_EQ(text->toPlainText(), QString::fromStdString(Report).replace("\r\n", "\n"));
  const std::tuple<const char*, const char*, QRect> buttons[] = {
      {"cmd1", "Save", {728, 424, 89, 25}}, {"cmd2", "Close", {824, 424, 89, 25}}, {"cmd3", "Help", {24, 424, 81, 25}}};
  for (const auto& [name, caption, where] : buttons) {
    auto* button = Child<QPushButton>(h.Window.data(), name);
    EXPECT_EQ(button->text(), caption);
    EXPECT_EQ(button->geometry(), where) << name;
  }
}

TEST(ResultsWindow, SaveWritesTheReportByteForByteAndDropsTheMark) {
  ResultsHarness h;
  h.Chosen = h.Folder.filePath("Results ");  // the dialog accepted as offered
  Child<QPushButton>(h.Window.data(), "cmd1")->click();
  EXPECT_EQ(h.AskedName, "Results");
  EXPECT_EQ(h.AskedFolder, h.Folder.path());
  EXPECT_EQ(h.Saved("Results.txt"), QByteArray::fromStdString(Report));  // no BOM, CR LF, no final break
  EXPECT_EQ(h.Window->windowTitle(), "Tessil Results");
  EXPECT_TRUE(h.Boxes.Texts().isEmpty());
}

TEST(ResultsWindow, AnExistingFileIsReplacedWithoutAQuestion) {
  ResultsHarness h;
  {
    QFile old(h.Folder.filePath("report.txt"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5000, 'x'));
  }
  h.Chosen = h.Folder.filePath("report.txt");
  Child<QPushButton>(h.Window.data(), "cmd1")->click();
  Child<QPushButton>(h.Window.data(), "cmd1")->click();
  EXPECT_EQ(h.Saved("report.txt"), QByteArray::fromStdString(Report));
  EXPECT_TRUE(h.Boxes.Texts().isEmpty());
  EXPECT_FALSE(QFile::exists(h.Folder.filePath("report.txt.txt")));
}

TEST(ResultsWindow, AFolderNamedLikeATextFileIsWhereTheFileGoes) {
  ResultsHarness h;
  ASSERT_TRUE(QDir(h.Folder.path()).mkdir("study.txt"));
  h.Chosen = h.Folder.filePath("study.txt/run 2");
  Child<QPushButton>(h.Window.data(), "cmd1")->click();
  EXPECT_EQ(h.Saved("study.txt/run 2.txt"), QByteArray::fromStdString(Report));
}

TEST(ResultsWindow, AnUnwritablePlaceGivesError03AndKeepsTheMark) {
  ResultsHarness h;
  {
    QFile file(h.Folder.filePath("plain"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  ASSERT_TRUE(QDir(h.Folder.path()).mkdir("taken.txt"));
  // A missing folder, a file where a folder should be, a name that is a
  // folder once ".txt" is added, and a place nobody may write to.
  const QString places[] = {h.Folder.filePath("missing/report"), h.Folder.filePath("plain/report"),
                            h.Folder.filePath("taken"), QStringLiteral("/proc/report")};
  for (const QString& place : places) {
    SCOPED_TRACE(place.toStdString());
    h.Boxes.Clear();
    h.Chosen = place;
    Child<QPushButton>(h.Window.data(), "cmd1")->click();
    ASSERT_EQ(h.Boxes.Texts().size(), 1);
    // The windows' message, then the file and the reason.
    const QString said = h.Boxes.Texts().front();
    EXPECT_TRUE(said.startsWith(Q(message::InvalidFileName) + "\n\nThe report could not be saved as \"" +
                                ResultsFilePath(place) + "\": "))
        << said.toStdString();
    EXPECT_EQ(h.Window->windowTitle(), "Tessil Results*");
  }
}

TEST(ResultsWindow, ASaveThatFailsPartWayKeepsTheOldFileAndSaysWhy) {
  ResultsHarness h;
  {
    QFile old(h.Folder.filePath("report.txt"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
  }
  h.Chosen = h.Folder.filePath("report.txt");
  {
    // No file may grow past 10 bytes: the write fails as on a full disk.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 10;
    setrlimit(RLIMIT_FSIZE, &limited);
    Child<QPushButton>(h.Window.data(), "cmd1")->click();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
  }
  EXPECT_EQ(h.Saved("report.txt"), "old");
  EXPECT_EQ(QDir(h.Folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"report.txt"});
  ASSERT_EQ(h.Boxes.Texts().size(), 1);
  EXPECT_TRUE(h.Boxes.Texts().front().contains("report.txt\": File too large"))
      << h.Boxes.Texts().front().toStdString();
  EXPECT_EQ(h.Window->windowTitle(), "Tessil Results*");

  // Once the place can be written, the save goes through and the mark goes.
  h.Boxes.Clear();
  Child<QPushButton>(h.Window.data(), "cmd1")->click();
  EXPECT_EQ(h.Saved("report.txt"), QByteArray::fromStdString(Report));
  EXPECT_TRUE(h.Boxes.Texts().isEmpty());
  EXPECT_EQ(h.Window->windowTitle(), "Tessil Results");
}

TEST(ResultsWindow, ACancelledDialogSavesNothingAndSaysNothing) {
  ResultsHarness h;
  h.Chosen = QString();
  Child<QPushButton>(h.Window.data(), "cmd1")->click();
  EXPECT_TRUE(h.Boxes.Texts().isEmpty());
  EXPECT_EQ(h.Window->windowTitle(), "Tessil Results*");
  EXPECT_TRUE(QDir(h.Folder.path()).entryList(QDir::Files).isEmpty());
}

TEST(ResultsWindow, HelpOpensTheResultsTopic) {
  ResultsHarness h;
  Child<QPushButton>(h.Window.data(), "cmd3")->click();
  EXPECT_EQ(h.Help.Opened, std::vector<std::string>{"Tessil Help.chm|Results.htm"});
  EXPECT_TRUE(h.Window->isVisible());
}

TEST(ResultsWindow, CloseAndTheFrameCloseBothUnloadTheWindow) {
  for (const bool byFrame : {false, true}) {
    SCOPED_TRACE(byFrame ? "frame" : "Close");
    ResultsHarness h;
    int unloaded = 0;
    QObject::connect(h.Window.data(), &frmResults::Unloaded, [&] { ++unloaded; });
    if (byFrame) {
      h.Window->windowHandle()->close();
    } else {
      Child<QPushButton>(h.Window.data(), "cmd2")->click();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(unloaded, 1);
    EXPECT_TRUE(h.Window.isNull());
  }
}

TEST(SaveDialog, OffersTextFilesFirstStartsAtResultsAndNeverAsksToReplace) {
  QTemporaryDir folder;
  QFileDialog dialog;
  ConfigureSaveDialog(dialog, folder.path(), QStringLiteral("Results"));
  EXPECT_EQ(dialog.windowTitle(), "Save");
  EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(dialog.nameFilters(), (QStringList{"Text Files (*.txt)", "All Files (*.*)"}));
  EXPECT_EQ(dialog.selectedNameFilter(), "Text Files (*.txt)");
  EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir(folder.path()).canonicalPath());
  EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_EQ(dialog.defaultSuffix(), "");
  ASSERT_EQ(dialog.selectedFiles().size(), 1);
  EXPECT_EQ(QFileInfo(dialog.selectedFiles().front()).fileName(), "Results");
}

TEST(ResultsWindow, ChartViewShowsThePowerFunctionAndSaveChartWritesTheFormatItsNameAsksFor) {
  ResultsHarness h;
  const PowerTable table = {{1, 1, true, 0.05, 100, 5, 0}, {2, 1, false, 0.5, 100, 50, 2}};
  const std::string svg = PowerChartSvg(table, FixedRunInputs{});
  h.Window->SetChart(MakeResultsChart(table, FixedRunInputs{}));
  auto* text = Child<QPlainTextEdit>(h.Window.data(), "txt1");
  auto* chart = Child<QScrollArea>(h.Window.data(), "chtPower");
  auto* picture = Child<QSvgWidget>(h.Window.data(), "chtPowerPicture");
  auto* showReport = Child<QPushButton>(h.Window.data(), "optReport");
  auto* showChart = Child<QPushButton>(h.Window.data(), "optChart");
  EXPECT_TRUE(picture->renderer()->isValid());
  EXPECT_EQ(chart->geometry(), text->geometry());
  EXPECT_TRUE(text->isVisible());
  EXPECT_FALSE(chart->isVisible());
  showChart->click();
  EXPECT_FALSE(text->isVisible());
  EXPECT_TRUE(chart->isVisible());
  EXPECT_FALSE(showReport->isChecked());
  showChart->click();  // a second press keeps the chart
  EXPECT_TRUE(chart->isVisible());
  EXPECT_TRUE(showChart->isChecked());
  showReport->click();
  EXPECT_TRUE(text->isVisible());
  EXPECT_FALSE(chart->isVisible());

  auto* saveChart = Child<QPushButton>(h.Window.data(), "cmd4");
  h.ChosenChart = h.Folder.filePath(QStringLiteral("power"));
  saveChart->click();
  EXPECT_EQ(h.Saved(QStringLiteral("power.svg")), QByteArray(svg.data(), static_cast<qsizetype>(svg.size())));
  h.ChosenChart = h.Folder.filePath(QStringLiteral("power.PNG"));
  saveChart->click();
  const QImage png(h.Folder.filePath(QStringLiteral("power.PNG")), "PNG");
  EXPECT_EQ(png.width(), 1920);
  h.ChosenChart = h.Folder.filePath(QStringLiteral("by filter"));
  h.ChosenFilter = 1;
  saveChart->click();
  EXPECT_EQ(QImage(h.Folder.filePath(QStringLiteral("by filter.png")), "PNG").width(), 1920);
  // Saving the chart is not saving the report.
  EXPECT_EQ(h.Window->windowTitle(), "Tessil Results*");
  EXPECT_TRUE(h.Boxes.Texts().isEmpty());

  // A format it cannot write is refused, and nothing is written.
  const QStringList before = QDir(h.Folder.path()).entryList(QDir::Files);
  h.ChosenChart = h.Folder.filePath(QStringLiteral("power.jpg"));
  saveChart->click();
  ASSERT_EQ(h.Boxes.Texts().size(), 1);
  EXPECT_TRUE(h.Boxes.Texts().front().contains("\".jpg\"")) << h.Boxes.Texts().front().toStdString();
  EXPECT_EQ(QDir(h.Folder.path()).entryList(QDir::Files), before);

  h.Boxes.Clear();
  h.ChosenChart = h.Folder.filePath(QStringLiteral("missing/power.png"));
  saveChart->click();
  ASSERT_EQ(h.Boxes.Texts().size(), 1);
  EXPECT_TRUE(h.Boxes.Texts().front().contains("missing/power.png")) << h.Boxes.Texts().front().toStdString();
  EXPECT_FALSE(QFile::exists(h.Folder.filePath(QStringLiteral("missing"))));
}

TEST(ResultsWindow, AResizedWindowLaysTheChartOutAgainAtItsViewsWidthAndScrollsATallerOne) {
  ResultsHarness h;
  // A chart as wide as its room and never lower than 500 pixels, so that a
  // low window must scroll it.
  std::vector<chart::ChartSize> asked;
  ResultsChart made;
  made.ForView = [&asked](chart::ChartSize room) {
    asked.push_back(room);
    chart::Chart laidOut{room.Width, std::max(room.Height, 500), "test", {}};
    laidOut.Items.emplace_back(chart::Box{{0, 0}, room.Width, 20, chart::Rgb(0x2b85be), {}, {}, {}});
    return laidOut;
  };
  h.Window->SetChart(std::move(made));
  Child<QPushButton>(h.Window.data(), "optChart")->click();
  auto* view = Child<QScrollArea>(h.Window.data(), "chtPower");
  auto* picture = Child<QSvgWidget>(h.Window.data(), "chtPowerPicture");
  auto* close = Child<QPushButton>(h.Window.data(), "cmd2");
  const std::tuple<QSize, bool> sizes[] = {{{936, 461}, true}, {{1400, 900}, false}, {{720, 400}, true}};
  for (const auto& [size, scrolls] : sizes) {
    SCOPED_TRACE(size.width());
    h.Window->resize(size);
    QCoreApplication::processEvents();
    EXPECT_EQ(view->geometry(), QRect(24, 16, size.width() - 47, size.height() - 68));
    EXPECT_EQ(close->geometry(), QRect(size.width() - 112, size.height() - 37, 89, 25));
    EXPECT_EQ(h.Window->palette().window().texture().size(), size);  // the gradient remade at the size
    // Shown at one to one, exactly as wide as the view it is in.
    EXPECT_EQ(picture->width(), view->viewport()->width());
    EXPECT_EQ(picture->size(), picture->renderer()->defaultSize());
    EXPECT_EQ(view->verticalScrollBar()->isVisible(), scrolls);
    EXPECT_FALSE(view->horizontalScrollBar()->isVisible());
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.back().Width, picture->width());
  }
  EXPECT_EQ(h.Window->minimumSize(), ResultsMinimumSize);
}

TEST(ResultsWindow, ReportAndChartAreTabStopsOfTheirOwnAndTheChosenViewIsMarked) {
  ResultsHarness h;
  Activate(h.Window.data());
  auto* text = Child<QPlainTextEdit>(h.Window.data(), "txt1");
  auto* chart = Child<QScrollArea>(h.Window.data(), "chtPower");
  auto* help = Child<QPushButton>(h.Window.data(), "cmd3");
  auto* showReport = Child<QPushButton>(h.Window.data(), "optReport");
  auto* showChart = Child<QPushButton>(h.Window.data(), "optChart");
  auto marked = [&](bool chartChosen) {
    EXPECT_EQ(chart->isVisible(), chartChosen);
    EXPECT_EQ(text->isVisible(), !chartChosen);
    EXPECT_EQ(showChart->isChecked(), chartChosen);
    EXPECT_EQ(showReport->isChecked(), !chartChosen);
    EXPECT_EQ(showChart->font().bold(), chartChosen);
    EXPECT_EQ(showReport->font().bold(), !chartChosen);
  };
  marked(false);
  help->setFocus(Qt::TabFocusReason);
  QTest::keyClick(help, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), showReport);
  QTest::keyClick(showReport, Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), showChart);
  QTest::keyClick(showChart, Qt::Key_Space);
  marked(true);
  showReport->setFocus(Qt::TabFocusReason);
  QTest::keyClick(showReport, Qt::Key_Return);
  marked(false);

  // As tabbed windows switch: the focus in the view shown follows into the
  // other.
  text->setFocus(Qt::TabFocusReason);
  const std::tuple<Qt::Key, Qt::KeyboardModifiers, bool> switches[] = {
      {Qt::Key_Tab, Qt::ControlModifier, true},
      {Qt::Key_PageUp, Qt::ControlModifier, false},
      {Qt::Key_PageDown, Qt::ControlModifier, true},
      {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, false}};
  for (const auto& [key, modifiers, chartChosen] : switches) {
    SCOPED_TRACE(QKeySequence(key | modifiers).toString().toStdString());
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    marked(chartChosen);
    EXPECT_EQ(QApplication::focusWidget(), chartChosen ? static_cast<QWidget*>(chart) : text);
  }
  // F1 and Esc as on Windows: the help on results, then Close.
  int unloaded = 0;
  QObject::connect(h.Window.data(), &frmResults::Unloaded, [&] { ++unloaded; });
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
  EXPECT_EQ(h.Help.Opened, std::vector<std::string>{"Tessil Help.chm|Results.htm"});
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_EQ(unloaded, 1);
}

}  // namespace
}  // namespace tessil::test
