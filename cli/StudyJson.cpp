// The power table as JSON, apart from the study itself: the JSON library is
// a large header, and only this file needs it.
#include "Study.h"

#include <nlohmann/json.hpp>

#include "PowerChart.h"
#include "VerdictCertainty.h"

namespace tessil::cli {

namespace {

nlohmann::json ExtremeJson(const ExtremeInterval& figure) {
  return {
      {"estimate", figure.Estimate}, {"lower", figure.Lower}, {"upper", figure.Upper}, {"arguments", figure.Arguments}};
}

nlohmann::json SettlementJson(const VerdictSettlement& s) {
  nlohmann::json out = {{"verdict", s.Verdict}};
  out["settled"] = s.State == Settlement::Holds         ? "holds"
                   : s.State == Settlement::DoesNotHold ? "does not hold"
                                                        : "open";
  // Only an open verdict has a number of matrices that would settle it;
  // null when more matrices would not.
  if (s.State == Settlement::Open) {
    out["matrices_to_settle"] = s.MatricesToSettle > 0 ? nlohmann::json(s.MatricesToSettle) : nlohmann::json();
  }
  return out;
}

// How sure the verdicts are, beside them: the fields the document always had
// keep their meaning.
nlohmann::json CertaintyJson(const VerdictCertainty& c) {
  return {{"confidence", c.Confidence},
          {"method", "Clopper-Pearson intervals, simultaneous by Bonferroni over the arguments of each figure"},
          {"actual_size", ExtremeJson(c.ActualSize)},
          {"min_power", ExtremeJson(c.MinPower)},
          {"max_power", ExtremeJson(c.MaxPower)},
          {"bias_actual_size", ExtremeJson(c.BiasActualSize)},
          {"bias_min_power", ExtremeJson(c.BiasMinPower)},
          {"high_type_i_error", SettlementJson(c.HighTypeIError)},
          {"biased", SettlementJson(c.Biased)},
          {"low_power", SettlementJson(c.LowPower)}};
}

}  // namespace

std::string PowerTableJson(const StudyRequest& request, const StudyResult& result) {
  using nlohmann::json;
  const EcoSimTestOptions& o = request.Inputs.Options;
  // The counts the run used, not the texts it was given: a count of matrices
  // that rounds to 0 runs the default, and EcoSim rounds its iterations to a
  // whole number of null matrices, halves to even.
  RunSettings ran;
  ran.NumIterations = request.NumIterations;
  LoadRunSettings(ran, request.Inputs);
  const std::string nullMatrices = GeneralDecimal(RoundHalfEven(LeadingNumber(o.EcoSimIterations)));
  json arguments = json::array();
  for (const PowerTableRow& row : result.Table) {
    const RateInterval interval = ClopperPearson(row.Rejected, row.Matrices);
    // The counts behind the rate and its exact 95 % interval beside the
    // fields the table always had (the document lists keys alphabetically).
    json argument = {{"level", row.Level}, {"scenario", row.Scenario}, {"in_null", row.InNull}, {"power", row.Power}};
    argument["matrices"] = row.Matrices;
    argument["rejected"] = row.Rejected;
    argument["not_tested"] = row.NotTested;
    argument["ci_lower"] = interval.Lower;
    argument["ci_upper"] = interval.Upper;
    arguments.push_back(std::move(argument));
  }
  const json document = {
      {"rows", request.Inputs.Rows},
      {"columns", request.Inputs.Cols},
      {"matrices_per_argument", ran.NumIterations},
      {"seed", request.RandomSeed},
      {"test",
       {{"row_constraint", std::string(Caption(o.RowConstraint))},
        {"column_constraint", std::string(Caption(o.ColumnConstraint))},
        {"index", std::string(Caption(o.Index))},
        {"algorithm", std::string(Caption(o.Algorithm))},
        {"degenerate_matrices", std::string(Caption(o.DegenerateMatrices))},
        {"empty_sites", std::string(Caption(o.EmptySites))},
        {"iterations", nullMatrices},
        {"seed", o.EcoSimSeed}}},
      {"actual_size", result.Summary.ActualSize},
      {"min_power", result.Summary.MinPower},
      {"max_power", result.Summary.MaxPower},
      {"high_type_i_error", result.Summary.HighTypeIError},
      {"biased", result.Summary.Biased},
      {"low_power", result.Summary.LowPower},
      {"adequate_power", result.Summary.AdequatePower},
      {"certainty", CertaintyJson(AssessVerdicts(result.Table))},
      {"arguments", arguments},
  };
  return document.dump(2) + "\n";
}

}  // namespace tessil::cli
