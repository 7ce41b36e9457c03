#include "ResultsRules.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <utility>

#include "PowerChart.h"
#include "SvgDrawing.h"
#include "Validation.h"

namespace tessil {

std::string TrimSpaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

namespace {

// Where the file's own name starts: after the last "/" (or, on Windows, "\").
std::size_t FileNameStart(std::string_view path) {
#ifdef _WIN32
  const std::size_t end = path.find_last_of("/\\");
#else
  const std::size_t end = path.find_last_of('/');
#endif
  return end == std::string_view::npos ? 0 : end + 1;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::string ResultsFilePath(std::string_view chosen) {
  std::string path(chosen);
  std::erase(path, '\0');
  const std::size_t nameStart = FileNameStart(path);
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

ChartFileChoice ChartFilePath(std::string_view chosen, ChartFormat filter) {
  std::string path = TrimSpaces(chosen);
  std::erase(path, '\0');
  const std::size_t nameStart = FileNameStart(path);
  while (path.size() > nameStart && (path.back() == '.' || path.back() == ' ')) path.pop_back();
  if (path.size() == nameStart) {
    return {{}, filter, "The chart cannot be saved as \"" + std::string(chosen) + "\": it names no file."};
  }
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < nameStart) {
    return {path + (filter == ChartFormat::Png ? ".png" : ".svg"), filter, {}};
  }
  const std::string_view extension = std::string_view(path).substr(dot);
  if (EqualNoCase(extension, ".svg")) return {path, ChartFormat::Svg, {}};
  if (EqualNoCase(extension, ".png")) return {path, ChartFormat::Png, {}};
  return {{},
          filter,
          "The chart cannot be saved as \"" + path + "\": Tessil writes charts as SVG pictures (\".svg\") or PNG " +
              "pictures (\".png\"), not as \"" + std::string(extension) +
              "\". Choose a name that ends in \".svg\" or \".png\"."};
}

ResultsChart MakeResultsChart(const PowerTable& table, const RunInputs& inputs) {
  auto shown = std::make_shared<FixedRunInputs>();
  shown->Rows = inputs.RowsText();
  shown->Cols = inputs.ColsText();
  shown->Options = inputs.CommittedOptions();
  shown->Selected = inputs.Choices();
  shown->Summary = inputs.TestSummary();
  ResultsChart made;
  made.Picture = PowerChart(table, *shown);
  made.Svg = svg::Document(made.Picture);
  made.ForView = [table, shown](chart::ChartSize room) { return PowerChart(table, *shown, room); };
  return made;
}

ResultsPresenter::ResultsPresenter(std::string report, ResultsChart chart, ResultsWindowServices services)
    : report_(std::move(report)), chart_(std::move(chart)), services_(std::move(services)) {}

chart::Chart ResultsPresenter::ChartFor(chart::ChartSize room) const {
  return chart_.ForView ? chart_.ForView(room) : chart_.Picture;
}

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
  const ChosenFile chosen = services_.ChooseChartFile(ChartSaveRequest(services_.ProgramFolder));
  SaveChartFile(chosen.Path, chosen.Filter == 1 ? ChartFormat::Png : ChartFormat::Svg);
}

void ResultsPresenter::SaveChartFile(const std::string& path, ChartFormat filter) {
  if (TrimSpaces(path).empty()) return;
  const ChartFileChoice file = ChartFilePath(path, filter);
  if (!file.Refusal.empty()) {
    services_.Messages.Inform(file.Refusal);
    return;
  }
  std::string reason;
  if (!services_.WriteChart || !services_.WriteChart(file.Path, file.Format, chart_, reason)) {
    if (reason.empty()) reason = "The file could not be written";
    services_.Messages.Inform("The chart could not be saved as \"" + file.Path + "\": " + reason + ".");
  }
}

void ResultsPresenter::ShowHelp() { services_.Help.ShowHelpTopic(HelpFile, ResultsTopic); }

}  // namespace tessil
