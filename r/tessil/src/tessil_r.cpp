// The R face of Tessil's engine. Long work (a test, a study) runs on a thread
// of its own, started by one call and waited for by short ones, so that R
// keeps its own thread: it shows the progress bar, and R's interrupt (or a
// time limit) ends the R loop that waits, whose exit handler stops the work.
// Nothing here calls R from any thread but R's.
#include <Rcpp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <sstream>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "ChoiceNames.h"
#include "ChoiceRefusals.h"
#include "CommandLine.h"
#include "CooccurrenceRun.h"
#include "InProcessEcoSim.h"
#include "MatrixFile.h"
#include "PowerChart.h"
#include "Study.h"
#include "SweepMerge.h"
#include "Validation.h"
#include "VerdictCertainty.h"

using namespace tessil;

namespace {

// One piece of work on its own thread: a test or a study.
class Job {
 public:
  ~Job() { Stop(); }

  template <typename Work>
  void Start(Work work) {
    thread_ = std::thread([this, work]() mutable {
      try {
        work(*this);
      } catch (...) {
        Error = std::current_exception();
      }
      std::lock_guard lock(mutex_);
      done_ = true;
      wake_.notify_all();
    });
  }

  // True once the work has ended; waits at most `ms` milliseconds for it.
  bool Wait(int ms) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return done_; });
    if (done_ && thread_.joinable()) {
      lock.unlock();
      thread_.join();
      return true;
    }
    return done_;
  }

  // Asks the work to stop and waits until it has.
  void Stop() {
    Cancelled = true;
    stop_.request_stop();
    if (thread_.joinable()) thread_.join();
  }

  std::stop_token Token() const { return stop_.get_token(); }

  std::atomic<bool> Cancelled{false};
  std::atomic<double> Done{0};
  std::atomic<double> Total{1};
  std::exception_ptr Error;

  // The test's results, or the study's request and results.
  std::optional<cooc::TestResult> Test;
  cooc::TestOptions TestOptions;
  cli::StudyRequest Request;
  std::optional<cli::StudyResult> Study;

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::stop_source stop_;
  std::thread thread_;
};

Job& TheJob(SEXP handle) {
  Rcpp::XPtr<Job> job(handle);
  if (job.get() == nullptr) Rcpp::stop("this piece of work has already been collected");
  return *job;
}

// A choice by any name tessil-cli accepts for it, or an R error in its words.
template <typename Choice>
Choice ChoiceNamed(const std::string& argument, const std::string& value, const std::string& what) {
  std::string caption;
  if (std::string refusal = cli::RefuseChoiceName<Choice>(value, what, caption); !refusal.empty()) {
    Rcpp::stop(argument + ": " + refusal);
  }
  return *FromCaption<Choice>(caption);
}

std::string Text(const Rcpp::List& options, const char* name) { return Rcpp::as<std::string>(options[name]); }

// The test options as tessil-cli's options name them; the counts as typed.
EcoSimTestOptions OptionsFrom(const Rcpp::List& o) {
  EcoSimTestOptions options;
  options.RowConstraint = ChoiceNamed<Constraint>("row_constraint", Text(o, "row_constraint"), "row constraint");
  options.ColumnConstraint =
      ChoiceNamed<Constraint>("column_constraint", Text(o, "column_constraint"), "column constraint");
  options.Index = ChoiceNamed<CooccurrenceIndex>("index", Text(o, "index"), "co-occurrence index");
  options.Algorithm = ChoiceNamed<FixedFixedAlgorithm>("algorithm", Text(o, "algorithm"), "fixed-fixed algorithm");
  options.DegenerateMatrices =
      ChoiceNamed<DegenerateTreatment>("degenerate", Text(o, "degenerate"), "treatment of degenerate matrices");
  options.EmptySites =
      ChoiceNamed<EmptySiteTreatment>("empty_sites", Text(o, "empty_sites"), "treatment of empty sites");
  options.EcoSimIterations = Text(o, "ecosim_iterations");
  options.EcoSimSeed = Text(o, "ecosim_seed");
  return options;
}

Rcpp::List Outcome(const std::string& setting, const std::string& refusal, bool asks) {
  return Rcpp::List::create(Rcpp::Named("setting") = setting, Rcpp::Named("refusal") = refusal,
                            Rcpp::Named("asks_to_continue") = asks);
}

// The study's settings as tessil-cli run takes them; the first refusal in
// `refusal`.
cli::StudyTexts StudyTextsFrom(const Rcpp::List& s) {
  cli::StudyTexts texts;
  texts.Choices.NullHypothesis = ChoiceNamed<Hypothesis>("hypothesis", Text(s, "hypothesis"), "null hypothesis");
  texts.Choices.AssumeSitesEquivalent = Rcpp::as<bool>(s["assume_sites_equivalent"]);
  texts.Choices.AssumeSpeciesEquivalent = Rcpp::as<bool>(s["assume_species_equivalent"]);
  const std::string level = Text(s, "assume_interaction_level");
  if (!level.empty()) {
    texts.Choices.AssumedLevel =
        ChoiceNamed<InteractionLevel>("assume_interaction_level", level, "proportion of species interacting");
  }
  texts.Rows = Text(s, "rows");
  texts.Cols = Text(s, "cols");
  texts.Iterations = Text(s, "iterations");
  texts.Seed = Text(s, "seed");
  texts.Options = OptionsFrom(s);
  return texts;
}

}  // namespace

// Why the first rows of a matrix, as text, are not a matrix of 0/1 cells, in
// the words tessil-cli uses for a matrix file; empty when they are.
// [[Rcpp::export(".tessil_matrix_fault")]]
std::string MatrixFault(const std::string& text) {
  cli::MatrixReadOptions reading;
  reading.Header = cli::HeaderRule::Absent;
  try {
    cli::ParseMatrixText(text, reading);
  } catch (const cli::MatrixFileError& e) {
    return e.what();
  }
  return {};
}

// Checks a test's options as tessil-cli test does, before any work.
// [[Rcpp::export(".tessil_test_check")]]
Rcpp::List TestCheck(Rcpp::List options) {
  EcoSimTestOptions o = OptionsFrom(options);
  const Checked iterations = CheckEcoSimIterations(o.EcoSimIterations);
  if (!iterations.Accepted()) return Outcome("ecosim_iterations", iterations.Refusal, false);
  const Checked seed = CheckEcoSimSeed(o.EcoSimSeed);
  if (!seed.Accepted()) return Outcome("ecosim_seed", seed.Refusal, false);
  return Outcome("", "", false);
}

// Starts one test of a species x sites matrix given by its cells, column by
// column (R's order), each 0 or 1.
// [[Rcpp::export(".tessil_test_start")]]
SEXP TestStart(Rcpp::IntegerVector cells, int rows, int cols, Rcpp::List options) {
  EcoSimTestOptions o = OptionsFrom(options);
  o.EcoSimIterations = CheckEcoSimIterations(o.EcoSimIterations).Text;
  o.EcoSimSeed = CheckEcoSimSeed(o.EcoSimSeed).Text;
  cooc::Incidence matrix(rows, cols);
  for (int k = 0; k < cols; ++k) {
    for (int i = 0; i < rows; ++i) {
      if (cells[static_cast<R_xlen_t>(k) * rows + i] == 1) matrix.Set(i, k, true);
    }
  }
  Rcpp::XPtr<Job> job(new Job(), true);
  job->TestOptions = EcoSimHeldOptions(o);
  job->Total = static_cast<double>(std::max(1.0, RoundHalfEven(LeadingNumber(o.EcoSimIterations))));
  job->Start([matrix = std::move(matrix)](Job& j) {
    std::atomic<std::int64_t> drawn{0};
    cooc::TestControl control;
    control.Stop = j.Token();
    control.NullsDrawn = &drawn;
    // The count of null matrices drawn is read by R's thread through Done.
    std::atomic<bool> running{true};
    std::thread counter([&] {
      while (running) {
        j.Done = static_cast<double>(drawn.load());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    try {
      j.Test = cooc::RunTest(matrix, j.TestOptions, 0, control);
    } catch (...) {
      running = false;
      counter.join();
      throw;
    }
    running = false;
    counter.join();
  });
  return job;
}

// Checks a study's settings as tessil-cli run does: the first refusal, and
// whether fewer than 100 matrices per argument were asked for.
// [[Rcpp::export(".tessil_study_check")]]
Rcpp::List StudyCheck(Rcpp::List settings) {
  const cli::StudyTexts texts = StudyTextsFrom(settings);
  const cli::CheckedStudy checked = cli::CheckStudy(texts);
  std::string setting = checked.Setting;
  std::replace(setting.begin(), setting.end(), '-', '_');
  Rcpp::List outcome = Outcome(setting, checked.Refusal, checked.AsksToContinue);
  outcome["question"] = std::string(message::FewIterations);
  return outcome;
}

// Why a number of threads cannot be used, as tessil-cli run says it.
// [[Rcpp::export(".tessil_threads_fault")]]
std::string ThreadsFault(const std::string& text) { return RefuseThreadCount(text, 1024); }

// [[Rcpp::export(".tessil_cores")]]
int Cores() { return static_cast<int>(std::max(1u, std::thread::hardware_concurrency())); }

// Starts a study whose settings have been checked.
// [[Rcpp::export(".tessil_study_start")]]
SEXP StudyStart(Rcpp::List settings, int threads) {
  cli::CheckedStudy checked = cli::CheckStudy(StudyTextsFrom(settings));
  if (!checked.Refusal.empty()) Rcpp::stop(checked.Refusal);
  Rcpp::XPtr<Job> job(new Job(), true);
  job->Request = checked.Request;
  job->Request.Threads = static_cast<unsigned>(std::max(1, threads));
  job->Start([](Job& j) {
    SystemClock clock;
    cli::StudyHooks hooks;
    hooks.OnProgress = [&j](const RunSettings& s) {
      j.Total = std::max(1.0, static_cast<double>(s.NumArguments) * s.NumIterations);
      j.Done = s.WorkDone;
    };
    hooks.Cancelled = [&j] { return j.Cancelled.load(); };
    j.Study = cli::RunStudy(j.Request, hooks, clock);
  });
  return job;
}

// True once the work has ended; waits at most `ms` milliseconds.
// [[Rcpp::export(".tessil_job_wait")]]
bool JobWait(SEXP handle, int ms) { return TheJob(handle).Wait(ms); }

// The share of the work done, from 0 to 1.
// [[Rcpp::export(".tessil_job_progress")]]
double JobProgress(SEXP handle) {
  Job& job = TheJob(handle);
  return std::clamp(job.Done.load() / job.Total.load(), 0.0, 1.0);
}

// Stops the work, waiting until its threads have ended.
// [[Rcpp::export(".tessil_job_stop")]]
void JobStop(SEXP handle) { TheJob(handle).Stop(); }

// The results of a finished test.
// [[Rcpp::export(".tessil_test_result")]]
Rcpp::List TestResult(SEXP handle) {
  Job& job = TheJob(handle);
  if (job.Error) std::rethrow_exception(job.Error);
  if (!job.Test || job.Test->Stopped) {
    Rcpp::stop("the test was interrupted after " + std::to_string(static_cast<std::int64_t>(job.Done.load())) + " of " +
               job.TestOptions.Iterations + " null matrices; no result was produced.");
  }
  const cooc::TestResult& r = *job.Test;
  if (!r.HasResults) Rcpp::stop("the test cannot be run: " + r.Reason);
  const auto lf = [](std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
  };
  return Rcpp::List::create(Rcpp::Named("observed") = r.Observed, Rcpp::Named("null_values") = r.NullValues,
                            Rcpp::Named("null_mean") = r.NullMean, Rcpp::Named("null_variance") = r.NullVariance,
                            Rcpp::Named("ses") = r.EffectSize ? *r.EffectSize : NA_REAL,
                            Rcpp::Named("p_lower") = r.PLower(), Rcpp::Named("p_upper") = r.PUpper(),
                            Rcpp::Named("null_matrices") = static_cast<double>(r.NullMatrices),
                            Rcpp::Named("undefined") = static_cast<double>(r.UndefinedNullValues),
                            Rcpp::Named("degenerate") = static_cast<double>(r.DegenerateDraws),
                            Rcpp::Named("p_lower_text") = FormatPValue(r.CountLessOrEqual, r.NullMatrices),
                            Rcpp::Named("p_upper_text") = FormatPValue(r.CountGreaterOrEqual, r.NullMatrices),
                            Rcpp::Named("text") = lf(r.Memo1) + "\n\n" + lf(r.Memo2) + "\n");
}

// The results of a finished study: its power table, figures and report.
// [[Rcpp::export(".tessil_study_result")]]
Rcpp::List StudyResult(SEXP handle) {
  Job& job = TheJob(handle);
  if (job.Error) {
    try {
      std::rethrow_exception(job.Error);
    } catch (const RunCancelled&) {
      Rcpp::stop("the run was cancelled; no results were produced.");
    } catch (const TessilError& e) {
      Rcpp::stop("the run failed (error " + std::to_string(e.Number()) + "): " + e.what() +
                 "\nNo results were produced.");
    }
  }
  const cli::StudyResult& r = *job.Study;
  const std::size_t n = r.Table.size();
  Rcpp::IntegerVector level(n), scenario(n), matrices(n), rejected(n), notTested(n);
  Rcpp::LogicalVector inNull(n);
  Rcpp::NumericVector rate(n), lower(n), upper(n);
  for (std::size_t k = 0; k < n; ++k) {
    const PowerTableRow& row = r.Table[k];
    level[k] = row.Level;
    scenario[k] = row.Scenario;
    inNull[k] = row.InNull;
    rate[k] = row.Power;
    matrices[k] = row.Matrices;
    rejected[k] = row.Rejected;
    notTested[k] = row.NotTested;
    const RateInterval interval = ClopperPearson(row.Rejected, row.Matrices);
    lower[k] = interval.Lower;
    upper[k] = interval.Upper;
  }
  Rcpp::DataFrame table = Rcpp::DataFrame::create(
      Rcpp::Named("level") = level, Rcpp::Named("scenario") = scenario, Rcpp::Named("in_null") = inNull,
      Rcpp::Named("rate") = rate, Rcpp::Named("matrices") = matrices, Rcpp::Named("rejected") = rejected,
      Rcpp::Named("not_tested") = notTested, Rcpp::Named("ci_lower") = lower, Rcpp::Named("ci_upper") = upper);
  const ErrorRateSummary& s = r.Summary;
  // How sure the verdicts are, as tessil-cli run says it after the report.
  const VerdictCertainty c = AssessVerdicts(r.Table);
  auto extreme = [](const ExtremeInterval& e) {
    return Rcpp::NumericVector::create(Rcpp::Named("estimate") = e.Estimate, Rcpp::Named("lower") = e.Lower,
                                       Rcpp::Named("upper") = e.Upper);
  };
  auto settled = [](const VerdictSettlement& v) {
    const char* state = v.State == Settlement::Holds         ? "holds"
                        : v.State == Settlement::DoesNotHold ? "does not hold"
                                                             : "open";
    return Rcpp::List::create(
        Rcpp::Named("settled") = state,
        Rcpp::Named("matrices_to_settle") = v.MatricesToSettle > 0 ? static_cast<double>(v.MatricesToSettle) : NA_REAL);
  };
  const Rcpp::List certainty = Rcpp::List::create(
      Rcpp::Named("confidence") = c.Confidence, Rcpp::Named("actual_size") = extreme(c.ActualSize),
      Rcpp::Named("min_power") = extreme(c.MinPower), Rcpp::Named("max_power") = extreme(c.MaxPower),
      Rcpp::Named("high_type_i_error") = settled(c.HighTypeIError), Rcpp::Named("biased") = settled(c.Biased),
      Rcpp::Named("low_power") = settled(c.LowPower), Rcpp::Named("text") = VerdictCertaintyText(c));
  return Rcpp::List::create(
      Rcpp::Named("certainty") = certainty, Rcpp::Named("table") = table, Rcpp::Named("report") = r.Report,
      Rcpp::Named("verdicts") =
          Rcpp::List::create(Rcpp::Named("actual_size") = s.ActualSize, Rcpp::Named("min_power") = s.MinPower,
                             Rcpp::Named("max_power") = s.MaxPower, Rcpp::Named("high_type_i_error") = s.HighTypeIError,
                             Rcpp::Named("biased") = s.Biased, Rcpp::Named("low_power") = s.LowPower,
                             Rcpp::Named("adequate_power") = s.AdequatePower),
      Rcpp::Named("matrices_per_argument") = job.Request.NumIterations, Rcpp::Named("seed") = job.Request.RandomSeed);
}

// A sweep's folder read as tessil-cli merge --arguments reads it: the
// table's text, or what merge says on its error stream, and its status.
// [[Rcpp::export(".tessil_merge")]]
Rcpp::List Merge(const std::string& folder, bool allowMissing) {
  std::ostringstream out;
  std::ostringstream err;
  cli::Environment env(out, err);
  cli::MergeCommand command;
  command.Folder = folder;
  command.Output = "-";
  command.Arguments = true;
  command.AllowMissing = allowMissing;
  const int status = cli::RunMerge(command, env);
  return Rcpp::List::create(Rcpp::Named("status") = status, Rcpp::Named("table") = out.str(),
                            Rcpp::Named("messages") = err.str());
}
