#include "SweepMerge.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>
#include <vector>

#include <nlohmann/json.hpp>

#include "FileOutput.h"
#include "MatrixFile.h"
#include "Sweep.h"
#include "SweepChart.h"
#include "SweepFolder.h"
#include "SweepPlan.h"

namespace tessil::cli {

namespace fs = std::filesystem;

namespace {

// A cell of the table: its text, and whether JSON quotes it.
struct Cell {
  std::string Name;
  std::string Text;
  bool IsText = false;
};
using Row = std::vector<Cell>;

// The shortest decimal that reads back as the same double, whatever the
// locale: the table's bytes depend on the results alone.
std::string Shortest(double value) {
  std::array<char, 32> buffer{};
  const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return error == std::errc() ? std::string(buffer.data(), end) : std::string("nan");
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

Cell Number(const std::string& name, const nlohmann::json& value) {
  if (value.is_boolean()) return {name, value.get<bool>() ? "true" : "false"};
  if (value.is_number_integer()) return {name, std::to_string(value.get<std::int64_t>())};
  return {name, Shortest(value.get<double>())};
}

// The figures of a study, and those of an argument, by their names in
// power.json.
constexpr std::array<const char*, 7> FigureColumns = {"actual_size", "min_power", "max_power",     "high_type_i_error",
                                                      "biased",      "low_power", "adequate_power"};
constexpr std::array<const char*, 9> ArgumentColumns = {"level",      "scenario", "in_null",  "matrices", "rejected",
                                                        "not_tested", "power",    "ci_lower", "ci_upper"};

// The columns that name the study: its id, its settings, its seeds.
Row StudyCells(const SweepStudy& study) {
  Row row{{"study", study.Id, true}};
  for (const SweepSetting& setting : study.Settings) row.push_back({std::string(setting.Name), setting.Value, true});
  row.push_back({"seed", std::to_string(study.Request.RandomSeed)});
  row.push_back({"ecosim-seed", study.Request.Inputs.Options.EcoSimSeed});
  return row;
}

// The rows of one study from its power.json: one with its figures, or one
// per argument.
std::vector<Row> StudyRows(const SweepStudy& study, const nlohmann::json& power, bool arguments) {
  std::vector<Row> rows;
  if (!arguments) {
    Row row = StudyCells(study);
    for (const char* key : FigureColumns) {
      row.push_back(Number(key, power.at(key)));
    }
    rows.push_back(std::move(row));
    return rows;
  }
  for (const nlohmann::json& argument : power.at("arguments")) {
    Row row = StudyCells(study);
    for (const char* key : ArgumentColumns) {
      row.push_back(Number(key, argument.at(key)));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string Tsv(const std::vector<Row>& rows, const Row& header) {
  std::string out;
  for (const Cell& cell : header) out += (out.empty() ? "" : "\t") + cell.Name;
  out += "\n";
  for (const Row& row : rows) {
    for (std::size_t k = 0; k < row.size(); ++k) out += (k == 0 ? "" : "\t") + row[k].Text;
    out += "\n";
  }
  return out;
}

// One object per line, so that two tables compare line by line.
std::string Json(const std::vector<Row>& rows, const SweepPlan& plan, const std::vector<const SweepStudy*>& missing) {
  std::string out = "{\n  \"plan_hash\": " + JsonString(plan.Hash) +
                    ",\n  \"plan_studies\": " + std::to_string(plan.Studies.size()) + ",\n  \"missing\": [";
  for (std::size_t k = 0; k < missing.size(); ++k) out += (k == 0 ? "" : ", ") + JsonString(missing[k]->Id);
  out += "],\n  \"table\": [";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    out += r == 0 ? "\n    {" : ",\n    {";
    for (std::size_t k = 0; k < rows[r].size(); ++k) {
      const Cell& cell = rows[r][k];
      out += (k == 0 ? "" : ", ") + JsonString(cell.Name) + ": " + (cell.IsText ? JsonString(cell.Text) : cell.Text);
    }
    out += "}";
  }
  return out + (rows.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

std::string Quoted(const fs::path& path) { return "\"" + Printable(path.string()) + "\""; }

// Which settings differ between the plan's studies.
std::vector<bool> Varying(const SweepPlan& plan) {
  std::vector<bool> varies;
  for (std::size_t k = 0; k < plan.Studies.front().Settings.size(); ++k) {
    bool differs = false;
    for (const SweepStudy& study : plan.Studies) {
      differs = differs || study.Settings[k].Value != plan.Studies.front().Settings[k].Value;
    }
    varies.push_back(differs);
  }
  return varies;
}

// The chosen settings of a study as "name=value" joined by `separator`.
std::string Described(const SweepStudy& study, const std::vector<bool>& chosen, const std::string& separator) {
  std::string text;
  for (std::size_t k = 0; k < chosen.size(); ++k) {
    if (chosen[k])
      text += (text.empty() ? "" : separator) + std::string(study.Settings[k].Name) + "=" + study.Settings[k].Value;
  }
  return text;
}

// The chart's line of each study: the settings apart from the size that
// differ between the plan's studies, or when none does, the test's
// constraints and index.
std::vector<std::string> ChartLabels(const SweepPlan& plan) {
  std::vector<bool> chosen = Varying(plan);
  for (std::size_t k = 0; k < chosen.size(); ++k) {
    const std::string_view name = plan.Studies.front().Settings[k].Name;
    chosen[k] = chosen[k] && name != "rows" && name != "cols";
  }
  if (std::find(chosen.begin(), chosen.end(), true) == chosen.end()) {
    for (std::size_t k = 0; k < chosen.size(); ++k) {
      const std::string_view name = plan.Studies.front().Settings[k].Name;
      chosen[k] = name == "row-constraint" || name == "column-constraint" || name == "index";
    }
  }
  std::vector<std::string> labels;
  for (const SweepStudy& study : plan.Studies) labels.push_back(Described(study, chosen, ", "));
  return labels;
}

std::int32_t SettingNumber(const SweepStudy& study, const std::string& name) {
  for (const SweepSetting& setting : study.Settings) {
    if (setting.Name == name) return static_cast<std::int32_t>(std::strtol(setting.Value.c_str(), nullptr, 10));
  }
  return 0;
}

// A study's points on the chart: its actual size when it has arguments
// inside the null hypothesis, its least and greatest powers when it has some
// outside, each with the exact interval of the argument that gives it.
SweepChartStudy ChartStudy(const SweepStudy& study, const std::string& label, const nlohmann::json& power) {
  SweepChartStudy chart;
  chart.Setting = label;
  chart.Rows = SettingNumber(study, "rows");
  chart.Cols = SettingNumber(study, "cols");
  const nlohmann::json* highestInside = nullptr;
  const nlohmann::json* lowestOutside = nullptr;
  const nlohmann::json* highestOutside = nullptr;
  const auto rate = [](const nlohmann::json* argument) { return argument->at("power").get<double>(); };
  for (const nlohmann::json& argument : power.at("arguments")) {
    (argument.at("in_null").get<bool>() ? chart.InsideRates : chart.OutsideRates).push_back(rate(&argument));
    if (argument.at("in_null").get<bool>()) {
      if (highestInside == nullptr || rate(&argument) > rate(highestInside)) highestInside = &argument;
    } else {
      if (lowestOutside == nullptr || rate(&argument) < rate(lowestOutside)) lowestOutside = &argument;
      if (highestOutside == nullptr || rate(&argument) > rate(highestOutside)) highestOutside = &argument;
    }
  }
  const auto interval = [](const nlohmann::json* argument) {
    return SweepInterval{argument->at("ci_lower").get<double>(), argument->at("ci_upper").get<double>()};
  };
  if (highestInside != nullptr) {
    chart.ActualSize = power.at("actual_size").get<double>();
    chart.ActualSizeInterval = interval(highestInside);
  }
  if (lowestOutside != nullptr) {
    chart.MinPower = power.at("min_power").get<double>();
    chart.MaxPower = power.at("max_power").get<double>();
    chart.MinPowerInterval = interval(lowestOutside);
    chart.MaxPowerInterval = interval(highestOutside);
  }
  return chart;
}

// The chart's title: the plan's own, or what the sweep varies.
std::string ChartTitle(const SweepPlan& plan) {
  if (!plan.Title.empty()) return plan.Title;
  const std::vector<bool> varies = Varying(plan);
  std::vector<std::string> names;
  for (std::size_t k = 0; k < varies.size(); ++k) {
    if (varies[k]) names.emplace_back(plan.Studies.front().Settings[k].Name);
  }
  std::string over;
  for (std::size_t k = 0; k < names.size(); ++k) {
    over += (k == 0 ? "" : k + 1 == names.size() ? " and " : ", ") + names[k];
  }
  return (names.empty() ? "Tessil sweep" : "Tessil sweep over " + over) + " (plan " + plan.Hash + ")";
}

// Why the figures in power.json are not those of the plan's study (its
// size, its seeds, its test), or empty when they are.
std::string OtherStudysFigures(const SweepStudy& study, const nlohmann::json& power) {
  const StudyRequest& r = study.Request;
  const EcoSimTestOptions& o = r.Inputs.Options;
  const nlohmann::json& test = power.at("test");
  const std::pair<bool, const char*> checks[] = {
      {power.at("rows").get<std::string>() == r.Inputs.Rows, "rows"},
      {power.at("columns").get<std::string>() == r.Inputs.Cols, "columns"},
      {power.at("seed").get<std::int64_t>() == r.RandomSeed, "seed"},
      {test.at("seed").get<std::string>() == o.EcoSimSeed, "EcoSim's seed"},
      {test.at("row_constraint").get<std::string>() == Caption(o.RowConstraint), "row constraint"},
      {test.at("column_constraint").get<std::string>() == Caption(o.ColumnConstraint), "column constraint"},
      {test.at("index").get<std::string>() == Caption(o.Index), "index"},
      {test.at("algorithm").get<std::string>() == Caption(o.Algorithm), "algorithm"},
  };
  for (const auto& [same, what] : checks) {
    if (!same) return std::string("its power.json holds the figures of another study (its ") + what + " differs)";
  }
  return {};
}

}  // namespace

int RunMerge(const MergeCommand& c, Environment& env) {
  std::ostream& err = env.Err;
  const fs::path folder = Utf8Path(c.Folder);
  if (RefusePlotFile(c.Plot, env)) return ExitRefused;
  if (!c.Plot.empty() && c.Output != "-" && SameFile(Utf8Path(c.Output), Utf8Path(c.Plot))) {
    err << "tessil-cli: -o and --plot name the same file " << Quoted(Utf8Path(c.Plot)) << "; give each its own file.\n";
    return ExitRefused;
  }
  if (RefuseUnwritableOutput("-o", c.Output, env) || RefuseUnwritableOutput("--plot", c.Plot, env)) {
    return ExitRefused;
  }
  const std::optional<SweepRecord> record = ReadSweepRecord(folder);
  if (!record) {
    err << "tessil-cli: " << Quoted(folder)
        << (fs::is_directory(folder) ? " holds no sweep (its sweep.txt is missing or unreadable); give the folder "
                                       "that tessil-cli sweep wrote."
                                     : " is not a folder; give the folder that tessil-cli sweep wrote.")
        << "\n";
    return ExitRefused;
  }
  SweepPlan plan;
  try {
    plan = ReadSweepPlan(folder / "plan.toml", env.Interrupted);
  } catch (const SweepPlanInterrupted&) {
    err << "tessil-cli: reading the plan was interrupted; no table was written.\n";
    return ExitCancelled;
  } catch (const SweepPlanError& e) {
    err << "tessil-cli: " << e.what() << "\n";
    return ExitRefused;
  }
  if (plan.Hash != record->PlanHash) {
    err << "tessil-cli: " << Quoted(folder / "plan.toml") << " is not the plan of the sweep in " << Quoted(folder)
        << " (its hash is " << plan.Hash << "; sweep.txt names " << record->PlanHash
        << "); put the plan that made the sweep back.\n";
    return ExitRefused;
  }

  // Partial studies of this machine's ended runs go; others are named.
  if (!TidyPartialFolders(folder / "studies", c.RemovePartials, err)) return ExitFailed;

  std::vector<Row> rows;
  std::vector<const SweepStudy*> missing;
  std::vector<SweepChartStudy> chart;
  const std::vector<std::string> labels = ChartLabels(plan);
  for (const SweepStudy& study : plan.Studies) {
    if (IsInterrupted(env)) {
      err << "tessil-cli: the merge was interrupted; no table was written.\n";
      return ExitCancelled;
    }
    const fs::path studyFolder = folder / "studies" / study.Id;
    std::error_code ignored;
    if (!fs::exists(fs::symlink_status(studyFolder, ignored))) {
      missing.push_back(&study);
      continue;
    }
    // Only a study its record proves finished, whose figures are this
    // study's, is merged: a folder copied, emptied or linked is not.
    const std::string unfinished = UnfinishedReason(studyFolder, study.Id, plan.Hash, StudyFileNames());
    const fs::path file = studyFolder / "power.json";
    try {
      if (!unfinished.empty()) throw std::runtime_error("the folder " + unfinished);
      std::ifstream in(file, std::ios::binary);
      if (!in) throw std::runtime_error("it cannot be opened");
      const nlohmann::json power = nlohmann::json::parse(in);
      if (const std::string other = OtherStudysFigures(study, power); !other.empty()) throw std::runtime_error(other);
      for (Row& row : StudyRows(study, power, c.Arguments)) rows.push_back(std::move(row));
      chart.push_back(ChartStudy(study, labels[static_cast<std::size_t>(&study - plan.Studies.data())], power));
    } catch (const std::exception& e) {
      err << "tessil-cli: cannot take the results of study " << study.Id << " in " << Quoted(studyFolder) << ": "
          << e.what() << ".\n"
          << "tessil-cli: no table was written; run the sweep again with the same plan and folder: it sets the "
             "study aside and computes it anew.\n";
      return ExitFailed;
    }
  }
  if (!missing.empty()) {
    err << "tessil-cli: " << missing.size() << " of the " << plan.Studies.size() << " studies of the sweep are not in "
        << Quoted(folder) << ":\n";
    // Each by the settings that tell the plan's studies apart.
    const std::vector<bool> varying = Varying(plan);
    for (const SweepStudy* study : missing)
      err << "tessil-cli:   " << study->Id << " " << Described(*study, varying, " ") << "\n";
    if (!c.AllowMissing) {
      err << "tessil-cli: no table was written; run the sweep again with the same plan and folder to finish them, "
             "or give --allow-missing for a table of the studies present.\n";
      return ExitFailed;
    }
  }

  // The header from a study of the plan, present or not: a table without
  // rows still names its columns.
  Row header = plan.Studies.empty() ? Row{} : StudyCells(plan.Studies.front());
  if (c.Arguments) {
    for (const char* name : ArgumentColumns) header.push_back({name, ""});
  } else {
    for (const char* name : FigureColumns) header.push_back({name, ""});
  }
  const std::string table = c.Json ? Json(rows, plan, missing) : Tsv(rows, header);
  if (c.Output == "-") {
    env.Out << table << std::flush;
    if (!env.Out) return ExitFailed;
  } else if (const std::error_code error = ReplaceFile(Utf8Path(c.Output), table)) {
    err << "tessil-cli: cannot write " << Quoted(Utf8Path(c.Output)) << ": " << WriteErrorReason(error) << "\n";
    return ExitFailed;
  }
  if (!c.Plot.empty() && !WritePicture(c.Plot, SweepChart(chart, ChartTitle(plan)), env)) {
    return ExitFailed;
  }
  return ExitOk;
}

}  // namespace tessil::cli
