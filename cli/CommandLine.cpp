#include "CommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <thread>

#include "CooccurrenceTest.h"
#include "InProcessEcoSim.h"
#include "MatrixFile.h"
#include "ProgressBar.h"
#include "Study.h"
#include "Validation.h"

namespace tessil::cli {

namespace {

// Every choice is accepted by its caption in the windows, in any case, or by
// a short name with hyphens.
using Aliases = std::map<std::string, std::string>;

std::string Normalise(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) {
    return c == ' ' || c == '_' ? '-' : static_cast<char>(std::tolower(c));
  });
  return s;
}

Aliases MakeAliases(std::initializer_list<std::pair<std::string_view, std::vector<std::string>>> choices) {
  Aliases aliases;
  for (const auto& [captionText, shortNames] : choices) {
    aliases[Normalise(std::string(captionText))] = std::string(captionText);
    for (const std::string& name : shortNames) aliases[Normalise(name)] = std::string(captionText);
  }
  return aliases;
}

const Aliases& ConstraintAliases() {
  static const Aliases a = MakeAliases({{caption::Equiprobable, {"equi"}},
                                        {caption::FixedSum, {"fixed"}},
                                        {caption::Proportional, {"prop"}}});
  return a;
}
const Aliases& IndexAliases() {
  static const Aliases a = MakeAliases({{caption::CScore, {"cscore"}},
                                        {caption::Checkerboards, {"checkerboards"}},
                                        {caption::SpeciesCombinations, {"species-combinations", "combinations"}},
                                        {caption::VRatio, {"vratio", "variance-ratio"}}});
  return a;
}
const Aliases& AlgorithmAliases() {
  static const Aliases a = MakeAliases({{caption::SequentialSwap, {"sequential"}},
                                        {caption::IndependentSwap, {"independent"}},
                                        {caption::KnightsTour, {"knights-tour", "knight's-tour"}}});
  return a;
}
const Aliases& DegenerateAliases() {
  static const Aliases a =
      MakeAliases({{caption::Retain, {}}, {caption::Discard, {}}, {caption::Split, {}}, {caption::Fix, {}}});
  return a;
}
const Aliases& EmptySiteAliases() {
  static const Aliases a = MakeAliases({{caption::Include, {}}, {caption::Exclude, {}}});
  return a;
}

std::string Choices(const Aliases& aliases) {
  std::vector<std::string> captions;
  for (const auto& [alias, captionText] : aliases) {
    if (std::find(captions.begin(), captions.end(), captionText) == captions.end()) captions.push_back(captionText);
  }
  std::string out;
  for (const std::string& c : captions) out += (out.empty() ? "\"" : ", \"") + c + "\"";
  return out;
}

// A CLI11 transformer that turns any alias into the caption.
CLI::Validator ChoiceOf(const Aliases& aliases, const std::string& what) {
  return CLI::Validator(
      [&aliases, what](std::string& value) -> std::string {
        const auto found = aliases.find(Normalise(value));
        if (found == aliases.end()) return "\"" + value + "\" is not a " + what + "; choose one of " + Choices(aliases);
        value = found->second;
        return {};
      },
      "CHOICE");
}

struct EcoSimSettings {
  EcoSimTestOptions Options;
};

void AddEcoSimOptions(CLI::App& app, EcoSimTestOptions& o) {
  const std::string group = "EcoSim test options (as in \"Tessil -- EcoSim Options\")";
  app.add_option("--row-constraint", o.RowConstraint, "Row constraint: " + Choices(ConstraintAliases()))
      ->transform(ChoiceOf(ConstraintAliases(), "row constraint"))
      ->capture_default_str()
      ->group(group);
  app.add_option("--column-constraint", o.ColumnConstraint, "Column constraint: " + Choices(ConstraintAliases()))
      ->transform(ChoiceOf(ConstraintAliases(), "column constraint"))
      ->capture_default_str()
      ->group(group);
  app.add_option("--index", o.Index, "Co-occurrence index: " + Choices(IndexAliases()))
      ->transform(ChoiceOf(IndexAliases(), "co-occurrence index"))
      ->capture_default_str()
      ->group(group);
  app.add_option("--algorithm", o.Algorithm,
                 "Fixed-fixed randomization algorithm (used when rows and columns are both fixed): " +
                     Choices(AlgorithmAliases()))
      ->transform(ChoiceOf(AlgorithmAliases(), "fixed-fixed algorithm"))
      ->capture_default_str()
      ->group(group);
  app.add_option("--degenerate", o.DegenerateMatrices, "Degenerate null matrices: " + Choices(DegenerateAliases()))
      ->transform(ChoiceOf(DegenerateAliases(), "treatment of degenerate matrices"))
      ->capture_default_str()
      ->group(group);
  app.add_option("--empty-sites", o.EmptySites,
                 "Empty sites, for the species-combinations and V-ratio indices: " + Choices(EmptySiteAliases()))
      ->transform(ChoiceOf(EmptySiteAliases(), "treatment of empty sites"))
      ->capture_default_str()
      ->group(group);
  app.add_option("--ecosim-iterations", o.EcoSimIterations, "Null matrices per test, 1 to 50000")
      ->capture_default_str()
      ->group(group);
  app.add_option("--ecosim-seed", o.EcoSimSeed, "EcoSim's random number seed, 0 or more")
      ->capture_default_str()
      ->group(group);
}

// Validates the two EcoSim texts as the options dialog does.
bool CheckEcoSimTexts(EcoSimTestOptions& o, std::ostream& err) {
  for (auto [text, check] : {std::pair{&o.EcoSimIterations, &CheckEcoSimIterations},
                             std::pair{&o.EcoSimSeed, &CheckEcoSimSeed}}) {
    const Checked c = check(*text);
    if (!c.Accepted()) {
      err << "tessil-cli: " << c.Refusal << "\n";
      return false;
    }
    *text = c.Text;
  }
  return true;
}

bool WriteFile(const std::string& path, const std::string& bytes, std::ostream& err) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
  file.close();
  if (!file) {
    err << "tessil-cli: cannot write \"" << path << "\"\n";
    return false;
  }
  return true;
}

struct RunCommand {
  std::string Hypothesis = "no-interactions";
  bool AssumeSites = false;
  bool AssumeSpecies = false;
  std::string Level;  // empty: no interaction assumption
  std::string Rows = "10";
  std::string Cols = "10";
  std::string Iterations = "100";
  std::string Seed = "0";
  bool Yes = false;
  unsigned Threads = 0;
  std::string EcoSim = "in-process";
  std::string Output;
  std::string Tsv;
  std::string Json;
  bool NoProgress = false;
  EcoSimTestOptions Options;
};

int Run(RunCommand& c, Environment& env) {
  StudyRequest request;
  MainWindowChoices& choices = request.Inputs.Selected;
  choices = MainWindowChoices{};
  choices.optH01 = c.Hypothesis == "no-interactions";
  choices.optH02 = c.Hypothesis == "sites-equivalent";
  choices.optH03 = c.Hypothesis == "species-equivalent";
  choices.chkASiEq = c.AssumeSites;
  choices.chkASpEq = c.AssumeSpecies;
  choices.chkAIn = !c.Level.empty();
  choices.optAIn0 = c.Level == "0%";
  choices.optAIn50 = c.Level == "50%";
  choices.optAIn100 = c.Level == "100%";
  if (const std::string refusal = RefuseChoices(choices); !refusal.empty()) {
    env.Err << "tessil-cli: " << refusal << "\n";
    return ExitRefused;
  }

  const Checked rows = CheckMatrixSize(c.Rows, true);
  const Checked cols = CheckMatrixSize(c.Cols, false);
  for (const Checked* checked : {&rows, &cols}) {
    if (!checked->Accepted()) {
      env.Err << "tessil-cli: " << checked->Refusal << "\n";
      return ExitRefused;
    }
  }
  request.Inputs.Rows = rows.Text;
  request.Inputs.Cols = cols.Text;

  if (!CheckEcoSimTexts(c.Options, env.Err)) return ExitRefused;
  request.Inputs.Options = c.Options;
  // Until its options are changed the main window shows its own first text.
  request.Inputs.Summary =
      c.Options == EcoSimTestOptions{} ? std::string(InitialTestSummary) : BuildTestSummary(c.Options);

  const SimulationOptions simulation = CheckSimulationOptions(c.Iterations, c.Seed);
  if (simulation.Refusal == message::IterationsPositive) {
    env.Err << "tessil-cli: " << simulation.Refusal << "\n";
    return ExitRefused;
  }
  if (simulation.AsksToContinue && !c.Yes) {
    env.Err << "tessil-cli: " << message::FewIterations << "\n"
            << "tessil-cli: answer Yes with --yes.\n";
    return ExitRefused;
  }
  if (!simulation.Refusal.empty()) {
    env.Err << "tessil-cli: " << simulation.Refusal << "\n";
    return ExitRefused;
  }
  // An iteration count that rounds to 0 means none was chosen: 100.
  request.NumIterations = simulation.NumIterations;
  request.RandomSeed = simulation.RandomSeed;

  AutomationFactory automation;
  if (c.EcoSim == "windows") {
    if (!env.WindowsEcoSim) {
      env.Err << "tessil-cli: --ecosim windows is not available in this build; use --ecosim in-process.\n";
      return ExitRefused;
    }
    // One EcoSim, driven through its windows, tests the matrices one by one.
    automation = env.WindowsEcoSim;
  }
  request.Threads = c.Threads == 0 ? std::max(1u, std::thread::hardware_concurrency()) : c.Threads;

  ProgressBar bar(env.Err, *env.Time, env.ErrIsTerminal && !c.NoProgress);
  StudyHooks hooks;
  hooks.OnProgress = [&bar](const RunSettings& s) { bar.Update(s); };
  hooks.Cancelled = [&env] { return env.Interrupted != nullptr && env.Interrupted->load(); };

  StudyResult result;
  try {
    result = RunStudy(request, hooks, *env.Time, automation);
  } catch (const EcoSimProgramMissing&) {
    // The message has been shown; the program ends.
    bar.Finish();
    return ExitFailed;
  } catch (const RunCancelled&) {
    bar.Finish();
    env.Err << "tessil-cli: the run was cancelled; no results were produced.\n";
    return ExitCancelled;
  } catch (const TessilError& e) {
    bar.Finish();
    env.Err << "tessil-cli: the run failed (error " << e.Number() << "): " << e.what()
            << "\nNo results were produced.\n";
    return ExitFailed;
  }
  bar.Finish();

  if (c.Output.empty() || c.Output == "-") {
    env.Out << result.Report << std::flush;
  } else if (!WriteFile(c.Output, result.Report, env.Err)) {
    return ExitFailed;
  }
  if (!c.Tsv.empty() && !WriteFile(c.Tsv, PowerTableTsv(result.Table), env.Err)) return ExitFailed;
  if (!c.Json.empty() && !WriteFile(c.Json, PowerTableJson(request, result), env.Err)) return ExitFailed;
  return ExitOk;
}

std::string Lf(std::string text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n') continue;
    out.push_back(text[k]);
  }
  return out;
}

int Test(const std::string& path, EcoSimTestOptions& options, Environment& env) {
  if (!CheckEcoSimTexts(options, env.Err)) return ExitRefused;
  MatrixFile file;
  try {
    file = ReadMatrixFile(path);
  } catch (const MatrixFileError& e) {
    env.Err << "tessil-cli: " << path << ", " << e.what() << "\n";
    return ExitRefused;
  } catch (const std::exception& e) {
    env.Err << "tessil-cli: " << e.what() << "\n";
    return ExitRefused;
  }
  const cooc::TestResult result = cooc::RunTest(file.Matrix, EcoSimHeldOptions(options), 0);
  if (!result.HasResults) {
    env.Err << "tessil-cli: the test cannot be run: " << result.Reason << "\n";
    return ExitFailed;
  }
  env.Out << Lf(result.Memo1) << "\n\n" << Lf(result.Memo2) << "\n";
  return ExitOk;
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, Environment& env) {
  CLI::App app{
      "Tessil measures how a null-model co-occurrence test behaves: how often it rejects a true null\n"
      "hypothesis (Type I error), how seldom it rejects a false one (low power), and whether it rejects\n"
      "more often when the null hypothesis is true than when it is false (bias).",
      "tessil-cli"};
  app.require_subcommand(1);
  app.footer(
      "Examples:\n"
      "  tessil-cli run                                   default study, report on standard output\n"
      "  tessil-cli run --hypothesis sites-equivalent --assume-species-equivalent \\\n"
      "                 --rows 20 --cols 15 --iterations 500 --json power.json -o report.txt\n"
      "  tessil-cli test mydata.csv --index v-ratio --empty-sites include\n"
      "\nThe report lists the arguments as (interaction level, scenario); both are defined in\n"
      "the help pages shipped with Tessil.");

  RunCommand run;
  CLI::App* runApp = app.add_subcommand(
      "run", "Run a whole study: draw random matrices at every argument of the power function, test each, "
             "and print the results report (CR LF line breaks, exactly as the results window shows it).");
  const std::string study = "Study (as in the main window)";
  runApp->add_option("--hypothesis", run.Hypothesis, "Null hypothesis to examine")
      ->check(CLI::IsMember({"no-interactions", "sites-equivalent", "species-equivalent"}))
      ->capture_default_str()
      ->group(study);
  runApp->add_flag("--assume-sites-equivalent", run.AssumeSites, "Assume sites are equivalent")->group(study);
  runApp->add_flag("--assume-species-equivalent", run.AssumeSpecies, "Assume species are equivalent")->group(study);
  runApp
      ->add_option("--assume-interaction-level", run.Level,
                   "Assume this proportion of species interacting: 0%, 50% or 100%")
      ->transform(CLI::Transformer(std::map<std::string, std::string>{
          {"0", "0%"}, {"50", "50%"}, {"100", "100%"}, {"0%", "0%"}, {"50%", "50%"}, {"100%", "100%"}}))
      ->group(study);
  runApp->add_option("--rows", run.Rows, "Rows (number of species), 2 or more")->capture_default_str()->group(study);
  runApp->add_option("--cols", run.Cols, "Columns (number of sites), 2 or more")->capture_default_str()->group(study);
  const std::string simulation = "Simulation (as in \"Tessil -- Options\")";
  runApp->add_option("--iterations", run.Iterations, "Random matrices per argument of the power function")
      ->capture_default_str()
      ->group(simulation);
  runApp->add_option("--seed", run.Seed, "Seed of Tessil's random matrices, 0 or more")
      ->capture_default_str()
      ->group(simulation);
  runApp->add_flag("--yes", run.Yes, "Answer Yes when asked to go on with fewer than 100 iterations")
      ->group(simulation);
  AddEcoSimOptions(*runApp, run.Options);
  const std::string output = "Output and execution";
  runApp->add_option("-o,--output", run.Output, "Write the report to this file instead of standard output")
      ->group(output);
  runApp->add_option("--tsv", run.Tsv, "Also write the power table as tab-separated values")->group(output);
  runApp->add_option("--json", run.Json, "Also write the power table, figures and verdicts as JSON")->group(output);
  runApp->add_option("--threads", run.Threads,
                     "Tests run at once in-process (default: all cores); the report is the same")
      ->check(CLI::Range(1u, 1024u))
      ->group(output);
  runApp->add_option("--ecosim", run.EcoSim,
                     "Which EcoSim runs the tests: the co-occurrence engine called in-process, or EcoSim driven "
                     "through its windows (the stand-in EcoSim installed at EcoSim/EcoSim700.exe beside tessil-cli); "
                     "both give the same report")
      ->check(CLI::IsMember({"in-process", "windows"}))
      ->capture_default_str()
      ->group(output);
  runApp->add_flag("--no-progress", run.NoProgress, "Do not show the progress bar on standard error")->group(output);

  std::string matrixPath;
  EcoSimTestOptions testOptions;
  CLI::App* testApp = app.add_subcommand(
      "test", "Run one co-occurrence test on your own presence-absence matrix and print EcoSim's results text.");
  testApp
      ->add_option("MATRIX", matrixPath,
                   "Matrix file: species as rows, sites as columns, cells 0/1 separated by commas or blanks; "
                   "an optional header row of site names and first column of species names")
      ->required();
  AddEcoSimOptions(*testApp, testOptions);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    std::ostringstream out, err;
    const int status = app.exit(e, out, err);
    env.Out << out.str();
    env.Err << err.str();
    return status == 0 ? ExitOk : ExitRefused;
  }
  if (runApp->parsed()) return Run(run, env);
  return Test(matrixPath, testOptions, env);
}

}  // namespace tessil::cli
