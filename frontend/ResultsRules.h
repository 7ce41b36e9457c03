// The results window's rules, without any window system: the report and the
// chart it shows, its saved state (the caption's "*"), Save with its default
// name and ".txt", Save Chart, and Help. The face draws Caption(), Report()
// and Chart() and forwards its buttons; the dialogs, the writing of files and
// the message boxes are injected.
//
//   ResultsPresenter results(report, svg, services);
//   results.Caption();   // "Tessil Results*"
//   results.Save();      // dialog "Save" at "Results"; writes NAME.txt; caption "Tessil Results"
//
// Closing the window, however it is closed, brings back the main window;
// that is the face's (it knows both windows).
#pragma once

#include <string>
#include <string_view>
#include <utility>

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

struct ResultsWindowServices {
  UserMessages& Messages;
  HelpViewer& Help;
  SaveFileDialog ChooseFile;       // the report's save dialog
  SaveFileDialog ChooseChartFile;  // the chart's save dialog
  FileWriter WriteReport;          // the report's bytes, unchanged
  FileWriter WriteChart;           // the chart as its path's extension asks (".png": PNG, else SVG)
  std::string ProgramFolder;       // where both dialogs start
};

class ResultsPresenter {
 public:
  ResultsPresenter(std::string report, std::string chart, ResultsWindowServices services);

  std::string_view Caption() const { return saved_ ? SavedResultsCaption : UnsavedResultsCaption; }
  bool Saved() const { return saved_; }
  const std::string& Report() const { return report_; }
  const std::string& Chart() const { return chart_; }
  // The report and the chart shown, replacing earlier ones.
  void SetReport(std::string report) { report_ = std::move(report); }
  void SetChart(std::string chart) { chart_ = std::move(chart); }

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
  // Nothing for an empty path. A path without ".svg" or ".png" (any case)
  // gets ".svg"; a failed write says where and why.
  void SaveChartFile(const std::string& path);

  // "Help": the help at "Results.htm".
  void ShowHelp();

 private:
  std::string report_;
  std::string chart_;
  ResultsWindowServices services_;
  bool saved_ = false;
};

}  // namespace tessil
