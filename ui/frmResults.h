// The results window: the report of the last run, which the user can save
// as a text file, with the help topic on results at hand. It is the only
// window on screen after a run; the main window returns when it closes.
#pragma once

#include <QPushButton>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>

#include "MessageBoxes.h"
#include "Public_Declarations.h"
#include "ResultsRules.h"

class QPlainTextEdit;
class QFileDialog;
class QSvgWidget;

namespace tessil {

class ResultsChartView;

// Asks the user for the file to save the report in, starting in the folder
// with the name given; returns the chosen path, or an empty text when the
// user cancelled.
using SaveFileChooser = std::function<QString(QWidget* owner, const QString& folder, const QString& name)>;

// The save dialog as Tessil shows it: titled "Save", filters for text files
// and all files (the first active), starting at the name in the folder, with
// no question before replacing a file and no extension added.
void ConfigureSaveDialog(QFileDialog& dialog, const QString& folder, const QString& name);
// The chooser that shows that dialog.
QString ChooseWithSaveDialog(QWidget* owner, const QString& folder, const QString& name);

// The file a chosen name is saved as: NUL characters removed, every ".txt"
// removed from the file's own name (not from its folders), spaces trimmed at
// both ends, and ".txt" appended. "a.txt.bak" is saved as "a.bak.txt".
QString ResultsFilePath(const QString& chosen);

// Writes the text to the file byte for byte: no byte-order mark and no line
// break added, an existing file replaced whole once the new one is complete.
// False when anything fails, with the reason in `reason` when given; an
// existing file is then left as it was.
bool WriteResultsFile(const QString& path, const std::string& text, QString* reason = nullptr);

// The chart's save dialog: titled "Save Chart", filters for SVG and PNG
// pictures (SVG first), starting at the name in the folder.
void ConfigureChartDialog(QFileDialog& dialog, const QString& folder, const QString& name);
// The chooser that shows that dialog: the name as typed and the filter in
// use (0 SVG, 1 PNG); the results rules decide the extension.
using ChartFileChooser = std::function<ChosenFile(QWidget* owner, const QString& folder, const QString& name)>;
ChosenFile ChooseWithChartDialog(QWidget* owner, const QString& folder, const QString& name);

// Writes the chart in the format: PNG drawn from the SVG text, or the SVG
// text itself. Replaces an existing file whole or not at all. False with the
// reason in `reason` when anything fails.
bool WriteChartFile(const QString& path, ChartFormat format, const std::string& svg, QString* reason = nullptr);

struct ResultsServices {
  MessageBoxes& Boxes;
  HelpViewer& Help;
  SaveFileChooser ChooseFile;             // empty: the save dialog
  QString ProgramFolder;                  // where the save dialog starts
  ChartFileChooser ChooseChartFile = {};  // empty: the chart's save dialog
};

// The smallest the results window may be made: the buttons at both ends
// still apart, and the chart view as wide as the chart's narrowest layout.
inline constexpr QSize ResultsMinimumSize(720, 400);

// The results window's face: it draws what the results rules hold (the
// report, the chart, the caption) and forwards its buttons to them.
class frmResults final : public QWidget {
  Q_OBJECT
 public:
  explicit frmResults(ResultsServices services);
  ~frmResults() override;

  // The report shown in the text box, replacing any earlier one.
  void SetReport(std::string report);
  const std::string& Report() const { return rules_.Report(); }

  // The chart of the power function, shown in the Chart view laid out at
  // the view's size, again whenever the window is resized.
  void SetChart(ResultsChart chart);
  const std::string& Chart() const { return rules_.Chart().Svg; }
  // Saves the chart under the chosen path, in the format its extension asks
  // for (or the filter's, for a name without one); tells the user when the
  // name is refused or the write fails.
  void SaveChartFile(const QString& path, ChartFormat filter = ChartFormat::Svg);
  // True while the Chart view is shown rather than the report.
  bool ShowsChart() const;

  // The chosen path, or an empty text.
  QString ChooseResultsFile();
  // Saves the report under the chosen path; tells the user when that fails.
  void SaveResultsFile(const QString& path);

 signals:
  // The window has been closed, by its Close button or its frame.
  void Unloaded();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Shows the chart or the report; the chosen view's button stays down and
  // its caption bold, and the focus follows into the view shown when it
  // was in the one hidden.
  void ShowChart(bool chart);
  // The controls placed for the window's size: the view above the buttons,
  // Help, Report and Chart at the left, Save Chart, Save and Close at the
  // right, with the window's margins.
  void Layout();
  // The rules' view of the save dialogs and the writing of files.
  ResultsWindowServices RulesServices();

  ResultsServices services_;
  OwnedMessages messages_;
  ResultsPresenter rules_;
  QPushButton* optReport_ = nullptr;
  QPushButton* optChart_ = nullptr;
  ResultsChartView* chtPower_ = nullptr;
  QPushButton* cmd4_ = nullptr;
  QPlainTextEdit* txt1_ = nullptr;
  QPushButton* cmd1_ = nullptr;
  QPushButton* cmd2_ = nullptr;
  QPushButton* cmd3_ = nullptr;
};

}  // namespace tessil
