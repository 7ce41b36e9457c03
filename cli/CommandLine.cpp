#include "CommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <new>
#include <ostream>
#include <sstream>
#include <stop_token>
#include <system_error>
#include <thread>

#include "ChoiceNames.h"
#include "CooccurrenceRun.h"
#include "FileOutput.h"
#include "InProcessEcoSim.h"
#include "MatrixFile.h"
#include "PowerChart.h"
#include "ProgressBar.h"
#include "Study.h"
#include "SvgDrawing.h"
#include "Sweep.h"
#include "SweepMerge.h"
#include "Validation.h"
#include "VerdictCertainty.h"
#include "Version.h"

namespace tessil::cli {

namespace {

// A CLI11 transformer that turns any name of a choice into its caption.
template <typename Choice>
CLI::Validator ChoiceOf(const std::string& what) {
  return CLI::Validator(
      [what](std::string& value) -> std::string {
        std::string caption;
        std::string refusal = RefuseChoiceName<Choice>(value, what, caption);
        if (refusal.empty()) value = caption;
        return refusal;
      },
      "CHOICE");
}

// A number option's text wholly a whole number, in digits. The windows take
// the leading number of a text and round halves to even, which suits a text
// box being typed into; a script's "20x15" or "10.5" is a mistake, refused
// here with the option and the text named.
// `sign`: how a negative number is taken: refused as a text that is not a
// count, refused as a seed ("0 or more"), or left to the windows' own check.
enum class Negative { NotACount, Seed, WindowsCheck };
CLI::Validator Digits(const std::string& what, Negative sign) {
  return CLI::Validator(
      [what, sign](const std::string& value) -> std::string {
        const std::string_view text = value;
        const bool negative = text.starts_with('-');
        const std::string_view digits = negative ? text.substr(1) : text;
        const bool numeral = !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
        if (numeral && !negative) return {};
        if (numeral && sign == Negative::WindowsCheck) return {};
        if (numeral && sign == Negative::Seed) return "\"" + value + "\": " + what + " must be 0 or more";
        return "\"" + value + "\" is not a whole number; write " + what + " in digits only (" +
               (sign == Negative::NotACount ? "such as 20" : "0 or more") + ")";
      },
      "");
}

// The EcoSim test options as typed: each choice by its caption, to which
// the option's transformer has turned any alias, until the command line is
// parsed.
struct EcoSimOptionTexts {
  EcoSimTestOptions Options;
  std::string RowConstraint{Caption(Options.RowConstraint)};
  std::string ColumnConstraint{Caption(Options.ColumnConstraint)};
  std::string Index{Caption(Options.Index)};
  std::string Algorithm{Caption(Options.Algorithm)};
  std::string DegenerateMatrices{Caption(Options.DegenerateMatrices)};
  std::string EmptySites{Caption(Options.EmptySites)};

  // The options chosen; only captions reach here.
  EcoSimTestOptions Chosen() const {
    EcoSimTestOptions o = Options;
    o.RowConstraint = *FromCaption<Constraint>(RowConstraint);
    o.ColumnConstraint = *FromCaption<Constraint>(ColumnConstraint);
    o.Index = *FromCaption<CooccurrenceIndex>(Index);
    o.Algorithm = *FromCaption<FixedFixedAlgorithm>(Algorithm);
    o.DegenerateMatrices = *FromCaption<DegenerateTreatment>(DegenerateMatrices);
    o.EmptySites = *FromCaption<EmptySiteTreatment>(EmptySites);
    return o;
  }
};

template <typename Choice>
void AddChoice(CLI::App& app, const std::string& name, std::string& caption, const std::string& description,
               const std::string& what, const std::string& group) {
  app.add_option(name, caption, description + Choices(AliasesOf<Choice>()))
      ->transform(ChoiceOf<Choice>(what))
      ->capture_default_str()
      ->group(group);
}

void AddEcoSimOptions(CLI::App& app, EcoSimOptionTexts& t) {
  const std::string group = "EcoSim test options (as in \"Tessil -- EcoSim Options\")";
  AddChoice<Constraint>(app, "--row-constraint", t.RowConstraint, "Row constraint: ", "row constraint", group);
  AddChoice<Constraint>(app, "--column-constraint", t.ColumnConstraint, "Column constraint: ", "column constraint",
                        group);
  AddChoice<CooccurrenceIndex>(app, "--index", t.Index, "Co-occurrence index: ", "co-occurrence index", group);
  AddChoice<FixedFixedAlgorithm>(app, "--algorithm", t.Algorithm,
                                 "Fixed-fixed randomization algorithm (used when rows and columns are both fixed): ",
                                 "fixed-fixed algorithm", group);
  AddChoice<DegenerateTreatment>(app, "--degenerate", t.DegenerateMatrices,
                                 "Degenerate null matrices: ", "treatment of degenerate matrices", group);
  AddChoice<EmptySiteTreatment>(
      app, "--empty-sites", t.EmptySites,
      "Empty sites, for the species-combinations and V-ratio indices: ", "treatment of empty sites", group);
  app.add_option("--ecosim-iterations", t.Options.EcoSimIterations, "Null matrices per test, 1 to 50000")
      ->check(Digits("the number of null matrices", Negative::NotACount))
      ->capture_default_str()
      ->group(group);
  app.add_option("--ecosim-seed", t.Options.EcoSimSeed, "EcoSim's random number seed, 0 or more")
      ->check(Digits("EcoSim's seed", Negative::WindowsCheck))
      ->capture_default_str()
      ->group(group);
}

// The short names of a main-window group, in table order.
template <typename Choice>
std::vector<std::string> Spellings() {
  std::vector<std::string> names;
  for (const Term<Choice>& term : Vocabulary<Choice>::Terms) names.emplace_back(term.CliSpellings[0]);
  return names;
}

std::string CliName(Assumption assumption) { return "--" + std::string(TermOf(assumption).CliSpellings[0]); }

// The interaction levels by their short names and by their captions.
std::map<std::string, std::string> LevelNames() {
  std::map<std::string, std::string> names;
  for (const Term<InteractionLevel>& term : Vocabulary<InteractionLevel>::Terms) {
    names[std::string(term.CliSpellings[0])] = std::string(term.Caption);
    names[std::string(term.Caption)] = std::string(term.Caption);
  }
  return names;
}

// Validates the two EcoSim texts as the options dialog does.
bool CheckEcoSimTexts(EcoSimTestOptions& o, std::ostream& err) {
  for (auto [text, check] :
       {std::pair{&o.EcoSimIterations, &CheckEcoSimIterations}, std::pair{&o.EcoSimSeed, &CheckEcoSimSeed}}) {
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
  if (const std::error_code error = ReplaceFile(Utf8Path(path), bytes)) {
    err << "tessil-cli: cannot write \"" << path << "\": " << WriteErrorReason(error) << "\n";
    return false;
  }
  return true;
}

// A file name that must not be empty: an empty one is a mistake, not "none".
CLI::Validator NotEmpty(const std::string& what) {
  return CLI::Validator(
      [what](const std::string& value) -> std::string {
        return value.empty() ? "an empty value is not " + what : std::string();
      },
      "");
}

// A whole number of threads, told apart from a text that is not a number.
CLI::Validator ThreadCount(unsigned most) {
  return CLI::Validator([most](const std::string& value) { return RefuseThreadCount(value, most); },
                        "1.." + std::to_string(most));
}

// Two outputs with the same file would overwrite each other: refused before
// the run.
bool RefuseSharedOutputs(const std::vector<std::pair<std::string, std::string>>& outputs, std::ostream& err) {
  for (std::size_t a = 0; a < outputs.size(); ++a) {
    for (std::size_t b = a + 1; b < outputs.size(); ++b) {
      if (outputs[a].second.empty() || outputs[b].second.empty()) continue;
      if (SameFile(Utf8Path(outputs[a].second), Utf8Path(outputs[b].second))) {
        err << "tessil-cli: " << outputs[a].first << " and " << outputs[b].first << " name the same file \""
            << outputs[b].second << "\"; give each its own file.\n";
        return true;
      }
    }
  }
  return false;
}

struct RunCommand {
  std::string Hypothesis{TermOf(Hypothesis::NoInteractions).CliSpellings[0]};
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
  std::string Plot;
  bool NoProgress = false;
  bool Quiet = false;
  EcoSimOptionTexts Options;
};

// The report and the files asked for beside it; ExitOk or ExitFailed.
// Where `--ecosim windows` finds its EcoSim.
#ifdef _WIN32
constexpr std::string_view WindowsEcoSimPlace = "EcoSim 7.0, EcoSim700.exe in the EcoSim folder beside tessil-cli.exe";
#else
constexpr std::string_view WindowsEcoSimPlace =
    "the stand-in EcoSim installed at EcoSim/EcoSim700.exe beside tessil-cli";
#endif

int WriteStudyOutputs(const RunCommand& c, const StudyRequest& request, const StudyResult& result, Environment& env) {
  if (c.Output.empty() || c.Output == "-") {
    env.Out << result.Report << std::flush;
    // A report that did not reach standard output is not written anywhere:
    // the files that go with it are not written either.
    if (!env.Out) return ExitFailed;
  } else if (!WriteFile(c.Output, result.Report, env.Err)) {
    return ExitFailed;
  }
  if (!c.Tsv.empty() && !WriteFile(c.Tsv, PowerTableTsv(result.Table), env.Err)) return ExitFailed;
  if (!c.Json.empty() && !WriteFile(c.Json, PowerTableJson(request, result), env.Err)) return ExitFailed;
  if (!c.Plot.empty() && !WritePicture(c.Plot, PowerChart(result.Table, request.Inputs), env)) return ExitFailed;
  return ExitOk;
}

int Run(RunCommand& c, Environment& env) {
  const std::string report = c.Output == "-" ? std::string() : c.Output;
  if (RefuseSharedOutputs({{"-o", report}, {"--tsv", c.Tsv}, {"--json", c.Json}, {"--plot", c.Plot}}, env.Err)) {
    return ExitRefused;
  }
  if (RefusePlotFile(c.Plot, env)) return ExitRefused;
  for (const auto& [option, path] :
       {std::pair{"-o", report}, std::pair{"--tsv", c.Tsv}, std::pair{"--json", c.Json}, std::pair{"--plot", c.Plot}}) {
    if (RefuseUnwritableOutput(option, path, env)) return ExitRefused;
  }

  StudyTexts texts;
  for (const Term<Hypothesis>& term : Vocabulary<Hypothesis>::Terms) {
    if (c.Hypothesis == term.CliSpellings[0]) texts.Choices.NullHypothesis = term.Value;
  }
  texts.Choices.AssumeSitesEquivalent = c.AssumeSites;
  texts.Choices.AssumeSpeciesEquivalent = c.AssumeSpecies;
  if (!c.Level.empty()) texts.Choices.AssumedLevel = FromCaption<InteractionLevel>(c.Level);
  texts.Rows = c.Rows;
  texts.Cols = c.Cols;
  texts.Options = c.Options.Chosen();
  texts.Iterations = c.Iterations;
  texts.Seed = c.Seed;
  CheckedStudy checked = CheckStudy(texts);
  // Only the refusals of what is checked after the iterations wait for the
  // answer to the question about few of them.
  if (!checked.Refusal.empty() && !checked.AsksToContinue) {
    env.Err << "tessil-cli: " << checked.Refusal << "\n";
    return ExitRefused;
  }
  if (checked.AsksToContinue && !c.Yes) {
    env.Err << "tessil-cli: " << message::FewIterations << "\n"
            << "tessil-cli: answer Yes with --yes.\n";
    return ExitRefused;
  }
  if (!checked.Refusal.empty()) {
    env.Err << "tessil-cli: " << checked.Refusal << "\n";
    return ExitRefused;
  }
  StudyRequest& request = checked.Request;

  StudyAutomationFactory automation;
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
  // The report and its files are written as soon as the last result is in,
  // before EcoSim is closed.
  int written = ExitOk;
  hooks.OnResults = [&](const StudyResult& finished) {
    bar.Finish();
    written = WriteStudyOutputs(c, request, finished, env);
  };

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
  if (written == ExitOk && !c.Quiet) {
    // The report ends without a line break: on a terminal the paragraph
    // would start on its last line, so it starts after a blank line.
    if (c.Output.empty() || c.Output == "-") env.Err << "\n\n";
    env.Err << VerdictCertaintyText(AssessVerdicts(result.Table)) << std::flush;
  }
  if (!result.NotClosed.empty()) {
    // Said after the results, which stand.
    env.Err << "tessil-cli: " << result.NotClosed << " The results are complete and have been written.\n";
    if (written == ExitOk) return ExitEcoSimNotClosed;
  }
  return written;
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

// Runs the test, abandoning it soon after the user interrupts: a watcher
// turns the interrupt flag, which a signal handler can only set, into a stop
// request the test polls.
cooc::TestResult RunTestUntilInterrupted(const cooc::Incidence& matrix, const cooc::TestOptions& options,
                                         const Environment& env, std::atomic<std::int64_t>& drawn) {
  std::stop_source stop;
  // The watcher's end is a flag under its own lock rather than a stop token:
  // the stop-token wait of GCC 12's library loses its wake-up on Windows now
  // and then, and the join then waits for ever.
  std::mutex mutex;
  std::condition_variable wake;
  bool finished = false;
  std::thread watcher([&] {
    std::unique_lock lock(mutex);
    while (!finished) {
      if (IsInterrupted(env)) {
        stop.request_stop();
        return;
      }
      wake.wait_for(lock, std::chrono::milliseconds(20));
    }
  });
  struct EndWatcher {
    std::mutex& Mutex;
    std::condition_variable& Wake;
    bool& Finished;
    std::thread& Watcher;
    ~EndWatcher() {
      {
        std::lock_guard lock(Mutex);
        Finished = true;
      }
      Wake.notify_all();
      Watcher.join();
    }
  } end{mutex, wake, finished, watcher};
  cooc::TestControl control;
  control.Stop = stop.get_token();
  control.NullsDrawn = &drawn;
  return cooc::RunTest(matrix, options, 0, control);
}

int Test(const std::string& path, const std::string& header, const std::string& plot, EcoSimOptionTexts& texts,
         Environment& env) {
  if (RefuseSharedOutputs({{"MATRIX", path}, {"--plot", plot}}, env.Err)) return ExitRefused;
  if (RefusePlotFile(plot, env) || RefuseUnwritableOutput("--plot", plot, env)) return ExitRefused;
  if (!CheckEcoSimTexts(texts.Options, env.Err)) return ExitRefused;
  const EcoSimTestOptions options = texts.Chosen();
  MatrixReadOptions reading;
  reading.Header = header == "yes" ? HeaderRule::Present : header == "no" ? HeaderRule::Absent : HeaderRule::Guess;
  reading.Interrupted = env.Interrupted;
  MatrixFile file;
  try {
    file = ReadMatrixFile(path, reading);
  } catch (const MatrixFileInterrupted&) {
    env.Err << "tessil-cli: reading the matrix file was interrupted; no result was produced.\n";
    return ExitCancelled;
  } catch (const MatrixFileError& e) {
    env.Err << "tessil-cli: " << Printable(path) << ", " << e.what() << "\n";
    return ExitRefused;
  } catch (const std::bad_alloc&) {
    env.Err << "tessil-cli: there is not enough memory to read \"" << Printable(path) << "\".\n";
    return ExitFailed;
  } catch (const std::exception& e) {
    env.Err << "tessil-cli: " << e.what() << "\n";
    return ExitRefused;
  }
  if (reading.Header == HeaderRule::Guess) {
    env.Err << "tessil-cli: line " << file.FirstLine
            << (file.HasHeader ? " was read as a header of site names (--header no reads it as data)\n"
                               : " was read as data, not a header (--header yes reads it as site names)\n");
  }
  const cooc::TestOptions held = EcoSimHeldOptions(options);
  std::atomic<std::int64_t> drawn{0};
  const cooc::TestResult result = RunTestUntilInterrupted(file.Matrix, held, env, drawn);
  if (result.Stopped || IsInterrupted(env)) {
    env.Err << "tessil-cli: the test was interrupted after " << drawn.load() << " of " << held.Iterations
            << " null matrices; no result was produced.\n";
    return ExitCancelled;
  }
  if (!result.HasResults) {
    env.Err << "tessil-cli: the test cannot be run: " << result.Reason << "\n";
    return ExitFailed;
  }
  env.Out << Lf(result.Memo1) << "\n\n" << Lf(result.Memo2) << "\n";
  if (!plot.empty()) {
    NullDistributionPicture picture;
    picture.IndexName = std::string(Caption(options.Index));
    // The file's own name, not its folder: a saved picture shows nothing of
    // the machine it was made on.
    picture.Title = picture.IndexName + " of " + Utf8Path(path).filename().string() + ", rows " +
                    std::string(Caption(options.RowConstraint)) + ", columns " +
                    std::string(Caption(options.ColumnConstraint)) +
                    (options.IsFixedFixed() ? ", " + std::string(Caption(options.Algorithm)) : std::string());
    picture.Values = result.NullValues;
    picture.Observed = result.Observed;
    picture.PLower = FormatPValue(result.CountLessOrEqual, result.NullMatrices);
    picture.PUpper = FormatPValue(result.CountGreaterOrEqual, result.NullMatrices);
    if (!WritePicture(plot, NullDistributionChart(picture), env)) return ExitFailed;
  }
  return ExitOk;
}

// Parses the command line and runs its subcommand.
int RunSubcommand(int argc, const char* const* argv, Environment& env) {
  CLI::App app{
      "Tessil measures how a null-model co-occurrence test behaves: how often it rejects a true null\n"
      "hypothesis (Type I error), how seldom it rejects a false one (low power), and whether it rejects\n"
      "more often when the null hypothesis is true than when it is false (bias).",
      "tessil-cli"};
  // The same command line on every system: a path that starts with "/" is a
  // path, not an option written the Windows way.
  app.allow_windows_style_options(false);
  app.require_subcommand(1);
  app.footer(
      "Examples:\n"
      "  tessil-cli run                                   default study, report on standard output\n"
      "  tessil-cli run --hypothesis sites-equivalent --assume-species-equivalent \\\n"
      "                 --rows 20 --cols 15 --iterations 500 --json power.json -o report.txt\n"
      "  tessil-cli test mydata.csv --index v-ratio --empty-sites include\n"
      "  tessil-cli sweep plan.toml -o results        every study of a plan; run again to resume\n"
      "  tessil-cli merge results -o table.tsv        one table of the sweep's studies\n"
      "\nThe report lists the arguments as (interaction level, scenario); both are defined in\n"
      "the help pages shipped with Tessil.\n"
      "\nNumber options take whole numbers in digits only: \"20x15\" or \"10.5\" is refused. The windows,\n"
      "where a number is being typed, take the leading number of a text and round halves to even;\n"
      "the command line is stricter on purpose, since a script's odd number is a mistake.");
  app.set_version_flag("--version", "tessil-cli " + std::string(TessilVersion), "Print the version and exit");

  RunCommand run;
  CLI::App* runApp =
      app.add_subcommand("run",
                         "Run a whole study: draw random matrices at every argument of the power function, test each, "
                         "and print the results report (CR LF line breaks, exactly as the results window shows it).");
  const std::string study = "Study (as in the main window)";
  runApp->add_option("--hypothesis", run.Hypothesis, "Null hypothesis to examine")
      ->check(CLI::IsMember(Spellings<Hypothesis>()))
      ->capture_default_str()
      ->group(study);
  runApp->add_flag(CliName(Assumption::SitesEquivalent), run.AssumeSites, "Assume sites are equivalent")->group(study);
  runApp->add_flag(CliName(Assumption::SpeciesEquivalent), run.AssumeSpecies, "Assume species are equivalent")
      ->group(study);
  runApp
      ->add_option(CliName(Assumption::InteractionLevel), run.Level,
                   "Assume this proportion of species interacting: " + CaptionList<InteractionLevel>())
      ->transform(CLI::Transformer(LevelNames()))
      ->group(study);
  runApp->add_option("--rows", run.Rows, "Rows (number of species), 2 or more")
      ->check(Digits("the number of rows", Negative::NotACount))
      ->capture_default_str()
      ->group(study);
  runApp->add_option("--cols", run.Cols, "Columns (number of sites), 2 or more")
      ->check(Digits("the number of columns", Negative::NotACount))
      ->capture_default_str()
      ->group(study);
  const std::string simulation = "Simulation (as in \"Tessil -- Options\")";
  runApp->add_option("--iterations", run.Iterations, "Random matrices per argument of the power function")
      ->check(Digits("the number of iterations", Negative::NotACount))
      ->capture_default_str()
      ->group(simulation);
  runApp->add_option("--seed", run.Seed, "Seed of Tessil's random matrices, 0 or more")
      ->check(NotEmpty("a seed"))
      ->check(Digits("the seed", Negative::Seed))
      ->capture_default_str()
      ->group(simulation);
  runApp->add_flag("--yes", run.Yes, "Answer Yes when asked to go on with fewer than 100 iterations")
      ->group(simulation);
  AddEcoSimOptions(*runApp, run.Options);
  const std::string output = "Output and execution";
  runApp->add_option("-o,--output", run.Output, "Write the report to this file instead of standard output")
      ->check(NotEmpty("a file name (give - for standard output)"))
      ->group(output);
  runApp->add_option("--tsv", run.Tsv, "Also write the power table as tab-separated values")
      ->check(NotEmpty("a file name"))
      ->group(output);
  runApp->add_option("--json", run.Json, "Also write the power table, figures and verdicts as JSON")
      ->check(NotEmpty("a file name"))
      ->group(output);
  runApp
      ->add_option("--plot", run.Plot,
                   "Also draw the power function with its 95 % intervals: FILE.svg, or FILE.png where the build "
                   "has Qt or runs on Windows")
      ->check(NotEmpty("a file name"))
      ->group(output);
  runApp
      ->add_option("--threads", run.Threads,
                   "Tests run at once in-process (default: all cores); the report is the same")
      ->check(ThreadCount(1024))
      ->group(output);
  runApp
      ->add_option("--ecosim", run.EcoSim,
                   "Which EcoSim runs the tests: the co-occurrence engine called in-process, or EcoSim driven "
                   "through its windows (" +
                       std::string(WindowsEcoSimPlace) + "); both give the same report")
      ->check(CLI::IsMember({"in-process", "windows"}))
      ->capture_default_str()
      ->group(output);
  runApp->add_flag("--no-progress", run.NoProgress, "Do not show the progress bar on standard error")->group(output);
  runApp
      ->add_flag("--quiet", run.Quiet,
                 "Do not say on standard error, after the report, how sure its verdicts are (simultaneous 95 % "
                 "intervals on the actual size and the least and greatest power, whether each verdict is settled, "
                 "and about how many matrices per argument would settle it)")
      ->group(output);
  runApp->footer(
      "Exit status: 0 when the report and the files asked for were written; 1 when the run failed or a file could\n"
      "not be written; 2 when a setting was refused; 3 when the report and its files were written but EcoSim\n"
      "(--ecosim windows) could not be closed afterwards and was ended; 130 when the run was cancelled (Ctrl-C).");

  std::string matrixPath;
  EcoSimOptionTexts testOptions;
  CLI::App* testApp = app.add_subcommand(
      "test", "Run one co-occurrence test on your own presence-absence matrix and print EcoSim's results text.");
  testApp
      ->add_option("MATRIX", matrixPath,
                   "Matrix file: species as rows, sites as columns, cells 0/1 separated by commas, semicolons or "
                   "blanks, fields quoted as in CSV; an optional header row of site names (see --header) and first "
                   "column of species names; at most 1 GiB")
      ->required();
  std::string header = "auto";
  testApp
      ->add_option("--header", header,
                   "Whether the first line names the sites: yes, no, or auto (a first line is taken for site names "
                   "when none of its fields after the first is 0 or 1)")
      ->check(CLI::IsMember({"auto", "yes", "no"}))
      ->capture_default_str();
  std::string testPlot;
  testApp
      ->add_option("--plot", testPlot,
                   "Also draw the null distribution with the observed index: FILE.svg, or FILE.png where the build "
                   "has Qt or runs on Windows")
      ->check(NotEmpty("a file name"));
  AddEcoSimOptions(*testApp, testOptions);

  SweepCommand sweep;
  CLI::App* sweepApp = app.add_subcommand(
      "sweep",
      "Run every study of a sweep plan (a TOML file whose settings are those of run, each one value or a list) into "
      "a folder. Each finished study is kept there; the same command run again skips them and resumes. Shards of the "
      "plan may run at once, on one machine or many, into one folder.");
  sweepApp->footer(
      "A plan has iterations, seed and ecosim-seed at its top, a [sweep] table of run's settings (its long options\n"
      "without --), each one value or a list, whose product is the sweep, and any number of [[study]] tables, one\n"
      "extra study each. For example:\n"
      "  iterations = 1000\n"
      "  [sweep]\n"
      "  rows = [10, 20, 50]\n"
      "  cols = [10, 20, 50]\n"
      "  column-constraint = [\"equi\", \"fixed\"]\n"
      "Each study's seeds are drawn from the plan's seeds and the study's settings: --list shows them, with the run\n"
      "command that makes the study alone. The folder holds sweep.txt, plan.toml and studies/ID/ with report.txt,\n"
      "power.tsv, power.json, power.svg, study.toml and finished.txt, the record that proves the study whole.\n"
      "Ctrl-C or SIGTERM ends the sweep with exit status 130, keeping its finished studies; the same command\n"
      "resumes it, setting aside (never deleting) any study folder its record does not prove. Runs of one plan\n"
      "into one folder may overlap: the same command twice, overlapping shards, a resubmission.");
  sweepApp->add_option("PLAN", sweep.Plan, "The sweep plan, a .toml file")->required();
  sweepApp
      ->add_option("-o,--output", sweep.Folder,
                   "The sweep's folder: made if missing; a folder of the same plan is resumed")
      ->type_name("DIR")
      ->check(NotEmpty("a folder name"));
  sweepApp
      ->add_option("--shard", sweep.Shard,
                   "Run only shard I of N (I from 0 to N-1): the studies k of the plan with k mod N = I. Without "
                   "it, a Slurm job array's task takes shard SLURM_ARRAY_TASK_ID - SLURM_ARRAY_TASK_MIN of "
                   "SLURM_ARRAY_TASK_COUNT; elsewhere every study is run")
      ->type_name("I/N");
  sweepApp
      ->add_option("--threads", sweep.Threads,
                   "Tests run at once in-process (default: SLURM_CPUS_PER_TASK in a Slurm job, else all cores)")
      ->check(ThreadCount(1024));
  sweepApp->add_option("--ecosim", sweep.EcoSim, "Which EcoSim runs the tests, as for run")
      ->check(CLI::IsMember({"in-process", "windows"}))
      ->capture_default_str();
  sweepApp->add_flag("--yes", sweep.Yes, "Answer Yes when the plan has fewer than 100 iterations");
  sweepApp->add_flag("--no-progress", sweep.NoProgress, "Do not show the progress bar on standard error");
  sweepApp->add_flag("--list", sweep.List,
                     "Only list the plan's studies (id, shard, seeds, the run command that makes each alone)");
  sweepApp->add_flag("--remove-partials", sweep.RemovePartials,
                     "Also remove the partial studies of runs on other machines (listed, with their age, when a sweep "
                     "resumes); only when no run of the sweep is under way there");
  sweepApp->add_flag("--prepare", sweep.Prepare,
                     "Only check the plan and make the sweep's folder (or check that it holds this plan's sweep), "
                     "running nothing: what a batch system's submit step does before it queues the shards");

  MergeCommand merge;
  CLI::App* mergeApp = app.add_subcommand(
      "merge",
      "Gather the results of a sweep's studies into one table, one row per study in the plan's order (tab-separated, "
      "or JSON). Studies not yet in the folder are listed, and then no table is written unless --allow-missing.");
  mergeApp->footer(
      "Columns: study (its id), the 13 settings, seed, ecosim-seed, then actual_size, min_power, max_power and the\n"
      "verdicts high_type_i_error, biased, low_power, adequate_power (true or false); with --arguments instead\n"
      "level, scenario, in_null, matrices, rejected, not_tested, power, ci_lower, ci_upper.");
  mergeApp->add_option("DIR", merge.Folder, "The sweep's folder, as given to sweep -o")->required();
  mergeApp->add_option("-o,--output", merge.Output, "Write the table to this file (- for standard output)")
      ->type_name("FILE")
      ->required()
      ->check(NotEmpty("a file name (give - for standard output)"));
  mergeApp->add_flag("--json", merge.Json, "Write JSON instead of tab-separated values");
  mergeApp->add_flag("--arguments", merge.Arguments,
                     "One row per study and argument of the power function, with its counts, power and 95 % interval");
  mergeApp
      ->add_option("--plot", merge.Plot,
                   "Also draw actual size and power against matrix size, one line per test setting: FILE.svg, or "
                   "FILE.png where the build has Qt or runs on Windows")
      ->type_name("FILE")
      ->check(NotEmpty("a file name"));
  mergeApp->add_flag("--remove-partials", merge.RemovePartials,
                     "Also remove the partial studies of runs on other machines; only when no run of the sweep is "
                     "under way there");
  mergeApp->add_flag("--allow-missing", merge.AllowMissing,
                     "Write the table of the studies present even if some are missing");

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
  if (sweepApp->parsed()) return RunSweep(sweep, env);
  if (mergeApp->parsed()) return RunMerge(merge, env);
  return Test(matrixPath, header, testPlot, testOptions, env);
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, Environment& env) {
  int status = ExitFailed;
  // Whatever fails unforeseen ends the command with a message, never with
  // an abort.
  try {
    status = RunSubcommand(argc, argv, env);
  } catch (const std::bad_alloc&) {
    env.Err << "tessil-cli: there was not enough memory to finish; no results were produced.\n";
  } catch (const std::exception& e) {
    env.Err << "tessil-cli: an unexpected error occurred: " << e.what() << "\nNo results were produced.\n";
  } catch (...) {
    env.Err << "tessil-cli: an unexpected error occurred.\nNo results were produced.\n";
  }
  // Output that did not reach standard output is an error, whichever
  // command wrote it.
  env.Out.flush();
  if (!env.Out) {
    const std::error_code failure = StreamFailure(env.Out);
    env.Err << "tessil-cli: cannot write to standard output" << (failure ? ": " + WriteErrorReason(failure) : "")
            << "\n";
    if (status == ExitOk) status = ExitFailed;
  }
  return status;
}

}  // namespace tessil::cli
