// The results window's rules, without any window system: the report and the
// chart it shows, its saved state (the caption's "*"), Save with its default
// name and ".txt", Save Chart with the format its name asks for, and Help.
// The face draws Caption(), Report() and ChartFor(its view's size) and
// forwards its buttons; the dialogs, the writing of files and the message
// boxes are injected.
//
//   ResultsPresenter results(report, MakeResultsChart(table, inputs), services);
//   results.Caption();   // "Tessil Results*"
//   results.Save();      // dialog "Save" at "Results"; writes NAME.txt; caption "Tessil Results"
//
// Closing the window, however it is closed, brings back the main window;
// that is the face's (it knows both windows).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "ChartPrimitives.h"
#include "Kernel_Procedures.h"
#include "Public_Declarations.h"
#include "WindowServices.h"

namespace tessil {

inline constexpr std::string_view UnsavedResultsCaption = "Tessil Results*";
inline constexpr std::string_view SavedResultsCaption = "Tessil Results";

// Spaces, and only spaces, removed at both ends.
std::string TrimSpaces(std::string_view text);

// The file a chosen name is saved as: NUL characters removed, every ".txt"
// removed from the file's own name (not from its folders; "/" and, on
// Windows, "\" end a folder), spaces trimmed at both ends, and ".txt"
// appended. "a.txt.bak" is saved as "a.bak.txt", "A.TXT" as "A.TXT.txt".
std::string ResultsFilePath(std::string_view chosen);

// The save dialogs: the report's ("Save", text files then all files, at
// "Results") and the chart's ("Save Chart", SVG then PNG pictures, at
// "Power function"), both starting in `folder`.
SaveFileRequest ResultsSaveRequest(std::string folder);
SaveFileRequest ChartSaveRequest(std::string folder);

// The picture formats a chart is saved in, in the order of the chart's save
// dialog's filters.
enum class ChartFormat { Svg, Png };

// Where a chart goes and in which format, or why it cannot be saved there.
struct ChartFileChoice {
  std::string Path;  // empty when refused
  ChartFormat Format = ChartFormat::Svg;
  std::string Refusal;  // what to tell the user; empty when the path stands
  bool operator==(const ChartFileChoice&) const = default;
};

// The chart file a chosen name asks for. Spaces at both ends and dots at
// the end of the name are dropped (Windows drops such dots itself). The
// extension of the file's own name (from its last dot; folders do not
// count) decides: ".svg" is SVG, ".png" is PNG, in any case; a name
// without one gets the extension of the filter chosen in the dialog; any
// other extension ("chart.jpg", "chart.svg.jpg") is refused, naming it and
// the two that can be written, so that nothing is written under a name
// that promises another format.
ChartFileChoice ChartFilePath(std::string_view chosen, ChartFormat filter);

// The chart of a run: the form saved (exactly the picture the command line
// writes for the study), as SVG text and as drawing primitives, and the
// chart laid out for a view of a given size, which a resizable window
// asks for again at every size it takes.
struct ResultsChart {
  std::string Svg;
  chart::Chart Picture;
  std::function<chart::Chart(chart::ChartSize room)> ForView;
};

// The chart of a finished run. The run's inputs are copied: the chart
// stays that of the run whatever the main window shows later.
ResultsChart MakeResultsChart(const PowerTable& table, const RunInputs& inputs);

// Writes the chart to the path in the format: whole or not at all, false
// with the reason when it fails.
using ChartFileWriter =
    std::function<bool(const std::string& path, ChartFormat format, const ResultsChart& chart, std::string& reason)>;

struct ResultsWindowServices {
  UserMessages& Messages;
  HelpViewer& Help;
  SaveFileDialog ChooseFile;               // the report's save dialog
  FilteredSaveFileDialog ChooseChartFile;  // the chart's save dialog, with the filter chosen
  FileWriter WriteReport;                  // the report's bytes, unchanged
  ChartFileWriter WriteChart;              // the chart in the format asked for
  std::string ProgramFolder;               // where both dialogs start
};

class ResultsPresenter {
 public:
  ResultsPresenter(std::string report, ResultsChart chart, ResultsWindowServices services);

  std::string_view Caption() const { return saved_ ? SavedResultsCaption : UnsavedResultsCaption; }
  bool Saved() const { return saved_; }
  const std::string& Report() const { return report_; }
  // The chart as saved.
  const ResultsChart& Chart() const { return chart_; }
  // The chart laid out for a view of `room` pixels; the saved form when the
  // chart has no other.
  chart::Chart ChartFor(chart::ChartSize room) const;
  // The report and the chart shown, replacing earlier ones.
  void SetReport(std::string report) { report_ = std::move(report); }
  void SetChart(ResultsChart chart) { chart_ = std::move(chart); }

  // "Save": the dialog, then the save of the chosen path.
  void Save();
  // The chosen path with spaces trimmed, or an empty text.
  std::string ChooseResultsFile();
  // Nothing for an empty path. Otherwise writes the report to
  // ResultsFilePath(path) and drops the caption's "*"; a failed write shows
  // "Error 03: invalid file name" with where and why, and keeps the "*".
  void SaveResultsFile(const std::string& path);

  // "Save Chart": the dialog, then the save of the chosen path.
  void SaveChart();
  // Nothing for an empty path. Otherwise the file ChartFilePath names, in
  // its format; a refused name or a failed write says where and why and
  // writes nothing.
  void SaveChartFile(const std::string& path, ChartFormat filter = ChartFormat::Svg);

  // "Help": the help at "Results.htm".
  void ShowHelp();

 private:
  std::string report_;
  ResultsChart chart_;
  ResultsWindowServices services_;
  bool saved_ = false;
};

}  // namespace tessil
