#include "ResultsRules.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "Validation.h"

namespace tessil {

std::string TrimSpaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

std::string ResultsFilePath(std::string_view chosen) {
  std::string path(chosen);
  std::erase(path, '\0');
#ifdef _WIN32
  const std::size_t end = path.find_last_of("/\\");
#else
  const std::size_t end = path.find_last_of('/');
#endif
  const std::size_t nameStart = end == std::string::npos ? 0 : end + 1;
  // Only the file's own name loses its ".txt": a folder called "run.txt"
  // stays the folder the user chose.
  std::string name = path.substr(nameStart);
  for (std::size_t at = name.find(".txt"); at != std::string::npos; at = name.find(".txt", at)) name.erase(at, 4);
  return TrimSpaces(path.substr(0, nameStart) + name) + ".txt";
}

SaveFileRequest ResultsSaveRequest(std::string folder) {
  return {"Save", {{"Text Files (*.txt)", "*.txt"}, {"All Files (*.*)", "*.*"}}, std::move(folder), "Results"};
}

SaveFileRequest ChartSaveRequest(std::string folder) {
  return {"Save Chart",
          {{"SVG Pictures (*.svg)", "*.svg"}, {"PNG Pictures (*.png)", "*.png"}},
          std::move(folder),
          "Power function"};
}

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view end) {
  if (text.size() < end.size()) return false;
  return std::equal(end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
}

}  // namespace

ResultsPresenter::ResultsPresenter(std::string report, std::string chart, ResultsWindowServices services)
    : report_(std::move(report)), chart_(std::move(chart)), services_(std::move(services)) {}

std::string ResultsPresenter::ChooseResultsFile() {
  if (!services_.ChooseFile) return {};
  return TrimSpaces(services_.ChooseFile(ResultsSaveRequest(services_.ProgramFolder)));
}

void ResultsPresenter::Save() { SaveResultsFile(ChooseResultsFile()); }

void ResultsPresenter::SaveResultsFile(const std::string& path) {
  if (path.empty()) return;
  const std::string file = ResultsFilePath(path);
  std::string reason;
  if (!services_.WriteReport || !services_.WriteReport(file, report_, reason)) {
    if (reason.empty()) reason = "The file could not be written";
    // The windows' message first, then where and why, so that the user can
    // choose another place.
    services_.Messages.Inform(std::string(message::InvalidFileName) + "\n\nThe report could not be saved as \"" + file +
                              "\": " + reason + ".");
    return;
  }
  saved_ = true;
}

void ResultsPresenter::SaveChart() {
  if (!services_.ChooseChartFile) return;
  SaveChartFile(services_.ChooseChartFile(ChartSaveRequest(services_.ProgramFolder)));
}

void ResultsPresenter::SaveChartFile(const std::string& path) {
  if (path.empty()) return;
  std::string file = TrimSpaces(path);
  if (!EndsWithNoCase(file, ".svg") && !EndsWithNoCase(file, ".png")) file += ".svg";
  std::string reason;
  if (!services_.WriteChart || !services_.WriteChart(file, chart_, reason)) {
    if (reason.empty()) reason = "The file could not be written";
    services_.Messages.Inform("The chart could not be saved as \"" + file + "\": " + reason + ".");
  }
}

void ResultsPresenter::ShowHelp() { services_.Help.ShowHelpTopic(HelpFile, ResultsTopic); }

}  // namespace tessil
