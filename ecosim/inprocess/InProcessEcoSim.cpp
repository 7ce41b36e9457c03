#include "InProcessEcoSim.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "PValueLine.h"

namespace tessil {

cooc::TestOptions EcoSimHeldOptions(const EcoSimTestOptions& o) {
  cooc::TestOptions held;
  held.RowConstraint = o.RowConstraint;
  held.ColumnConstraint = o.ColumnConstraint;
  held.Index = o.Index;
  held.Algorithm = o.Algorithm;
  held.DegenerateMatrices = o.DegenerateMatrices;
  held.EmptySites = o.UsesEmptySites() ? o.EmptySites : EmptySiteTreatment::Exclude;
  held.Iterations = o.EcoSimIterations;
  held.Seed = o.EcoSimSeed;
  return held;
}

cooc::Incidence ToIncidence(const PresenceAbsenceMatrix& m) {
  cooc::Incidence incidence(m.Rows(), m.Cols());
  // Each species' row of bits is put together word by word, with no branch
  // on the cells.
  for (std::int32_t i = 1; i <= m.Rows(); ++i) {
    const std::int16_t* row = m.Row(i);
    std::uint64_t* words = incidence.MutableRow(i - 1);
    for (std::int32_t j = 0; j < m.Cols(); ++j) {
      words[j >> 6] |= std::uint64_t{row[j] == 1} << (j & 63);
    }
  }
  return incidence;
}

double ReadPValueFromResults(const cooc::TestResult& result, std::int16_t upperTail) {
  const int wanted = upperTail != 0 ? ecosim::UpperTailLine : ecosim::LowerTailLine;
  std::string_view memo = result.Memo2;
  std::string_view line;
  for (int index = 0; index <= wanted; ++index) {
    const std::size_t end = memo.find("\r\n");
    line = memo.substr(0, end);
    if (end == std::string_view::npos) {
      memo = {};
      if (index < wanted) line = {};
    } else {
      memo.remove_prefix(end + 2);
    }
  }
  return PValueFromLine(LineBuffer(line, PValueLineCapacity), upperTail);
}

InProcessEcoSim::InProcessEcoSim(RunSettings& settings, const RunInputs& inputs, unsigned threads, AutomationHost* host,
                                 ThreadStarter starter)
    : settings_(settings),
      inputs_(inputs),
      threads_(threads == 0 ? 1 : threads),
      host_(host),
      starter_(starter ? std::move(starter)
                       : [](std::function<void(std::stop_token)> work) { return std::jthread(std::move(work)); }) {}

InProcessEcoSim::~InProcessEcoSim() = default;

// A call made when EcoSim is not where it should be finds the window it
// needs missing, as it would through the windows.
void InProcessEcoSim::Expect(Stage stage) const {
  if (stage_ != stage) throw EcoSimWindowMissing();
}

void InProcessEcoSim::PrepareEcoSim() {
  LoadRunSettings(settings_, inputs_);
  options_ = EcoSimHeldOptions(inputs_.CommittedOptions());
  // The seed field has just been set: the next test is the first of its seed.
  ordinal_ = 0;
  stage_ = Stage::MainWindow;
  if (host_ != nullptr) host_->EnableShowEcoSim();
}

void InProcessEcoSim::EnterMatrix(const PresenceAbsenceMatrix& matrix) {
  Expect(Stage::MainWindow);
  matrix_ = ToIncidence(matrix);
  stage_ = Stage::MatrixEntered;
}

void InProcessEcoSim::OpenCooccurrenceOptions() {
  if (stage_ != Stage::MatrixEntered) Expect(Stage::MainWindow);
  stage_ = Stage::OptionsOpen;
}

RunOutcome InProcessEcoSim::RunCooccurrenceTest(std::int16_t) {
  Expect(Stage::OptionsOpen);
  last_ = cooc::RunTest(matrix_, options_, ordinal_++);
  stage_ = last_.HasResults ? Stage::ResultsShown : Stage::MainWindow;
  return last_.HasResults ? ResultsShown : NoResults;
}

double InProcessEcoSim::ReadPValue(std::int16_t upperTail) {
  Expect(Stage::ResultsShown);
  return ReadPValueFromResults(last_, upperTail);
}

void InProcessEcoSim::CloseCooccurrenceResults() {
  Expect(Stage::ResultsShown);
  stage_ = Stage::MainWindow;
}

void InProcessEcoSim::PlaceEcoSimWindow(std::string_view, std::int32_t) {
  // No window to place.
}

void InProcessEcoSim::ReleaseEcoSim() {
  // The worker threads end with EcoSim.
  workers_.reset();
  ResetRunSettings(settings_);
  stage_ = Stage::Closed;
}

namespace {

// Matrix cells a worker may have waiting beside the one under test. Small
// matrices are queued several at a time, so that the driver hands over a
// batch and is woken once for it rather than once a test: a test of a small
// matrix takes little longer than waking a thread. A large matrix waits
// alone, so no more large matrices are held than there are workers.
constexpr std::int64_t QueuedCellsPerWorker = 4096;
constexpr std::int64_t MostQueuedPerWorker = 32;

// How many matrices of this size each worker may hold, those under test
// included. A worker takes half of them at a time, as one batch whose
// swap chains run side by side while the driver refills the other half.
std::size_t MatricesPerWorker(std::int32_t rows, std::int32_t cols) {
  const std::int64_t cells = std::max<std::int64_t>(1, std::int64_t{rows} * cols);
  return static_cast<std::size_t>(std::clamp<std::int64_t>(QueuedCellsPerWorker / cells, 1, MostQueuedPerWorker));
}

}  // namespace

// The threads that run the tests, and the tests of the current run of
// submissions. The driver's thread submits, waits and takes results; each
// worker takes one matrix at a time from the queue, which holds a few small
// matrices for each worker or one large one. The threads outlive a run, so a
// study starts them once rather than at every argument.
struct InProcessEcoSim::Workers {
  // A matrix waiting for a worker, with its place in submission order.
  struct Job {
    std::uint64_t Sequence = 0;
    PresenceAbsenceMatrix Matrix;
  };
  struct Outcome {
    std::optional<double> PValue;
    std::exception_ptr Failure;
  };
  // What one worker is doing, for the estimate of the work in hand. Each on
  // a cache line of its own: every worker counts its null matrices here as
  // it draws them, and two counters on one line would bounce it between the
  // cores at every count.
  struct alignas(64) Slot {
    std::size_t Running = 0;  // tests in its batch
    std::atomic<std::int64_t> NullsDrawn{0};
  };

  // The run's settings, written only while no job is queued or under test.
  cooc::TestOptions Options;
  std::uint64_t FirstOrdinal = 0;
  std::int16_t UpperTail = 0;
  double NullsPerTest = 1;
  std::atomic<std::int64_t>* NullsDrawn = nullptr;  // all tests' together

  std::mutex Mutex;
  // A job for the workers, or their end. Waited on with a flag of its own
  // rather than a stop token: the stop-token wait of GCC 12's library loses
  // its wake-up on Windows now and then, and the join then waits for ever.
  std::condition_variable WorkReady;
  std::condition_variable Changed;  // a worker freed or a test finished
  bool Closing = false;
  // Stops the run's tests under way; each run has its own.
  std::stop_source RunStop;
  std::deque<Job> Queue;
  std::map<std::uint64_t, Outcome> Finished;
  std::uint64_t Submitted = 0;
  std::uint64_t Taken = 0;
  std::size_t Busy = 0;      // jobs queued or under test
  std::size_t Capacity = 1;  // the most jobs queued or under test
  std::size_t Batch = 1;     // the most jobs a worker takes at once
  // The driver waiting for room is woken when the jobs in hand fall to this:
  // half the queue is free, or at least one worker when each holds one job.
  std::size_t Refill = 0;
  std::vector<std::unique_ptr<Slot>> Slots;
  // Declared last: destroying them stops and joins the threads before the
  // state they use goes.
  std::vector<std::jthread> Threads;

  Workers() = default;
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;
  // Every worker is told to end, and every running test to stop, before the
  // threads (the last members) are joined.
  ~Workers() {
    {
      std::lock_guard lock(Mutex);
      Closing = true;
      RunStop.request_stop();
    }
    WorkReady.notify_all();
  }

  // Starts a run of tests once the last one has ended.
  void BeginRun() {
    std::lock_guard lock(Mutex);
    RunStop = std::stop_source();
    Finished.clear();
    Submitted = 0;
    Taken = 0;
  }

  // The tests not yet begun are dropped and those under way told to stop;
  // returns once none is under way, which takes a bounded amount of work.
  void EndRun() {
    std::unique_lock lock(Mutex);
    Busy -= Queue.size();
    Queue.clear();
    RunStop.request_stop();
    Changed.wait(lock, [&] { return Busy == 0; });
    Finished.clear();
  }

  void Work(Slot& slot) {
    std::vector<Job> batch;
    std::vector<cooc::Incidence> matrices;
    std::vector<cooc::TestJob> tests;
    std::vector<Outcome> outcomes;
    for (;;) {
      std::stop_token stop;
      batch.clear();
      {
        std::unique_lock lock(Mutex);
        WorkReady.wait(lock, [&] { return Closing || !Queue.empty(); });
        if (Closing) return;
        stop = RunStop.get_token();
        const std::size_t take = std::min(Batch, Queue.size());
        for (std::size_t j = 0; j < take; ++j) {
          batch.push_back(std::move(Queue.front()));
          Queue.pop_front();
        }
        slot.Running = take;
        slot.NullsDrawn = 0;
      }
      outcomes.assign(batch.size(), Outcome{});
      std::vector<bool> stopped(batch.size(), false);
      try {
        matrices.clear();
        tests.clear();
        for (Job& job : batch) {
          matrices.push_back(ToIncidence(job.Matrix));
          job.Matrix = PresenceAbsenceMatrix();
        }
        for (std::size_t j = 0; j < batch.size(); ++j) {
          tests.push_back({&matrices[j], FirstOrdinal + batch[j].Sequence, cooc::TestControl{stop, &slot.NullsDrawn}});
        }
        const std::vector<cooc::TestResult> results = cooc::RunTests(tests, Options);
        for (std::size_t j = 0; j < batch.size(); ++j) {
          stopped[j] = results[j].Stopped;
          if (results[j].HasResults) outcomes[j].PValue = ReadPValueFromResults(results[j], UpperTail);
        }
      } catch (...) {
        // The batch failed as a whole: each of its tests reports the failure.
        for (Outcome& outcome : outcomes) outcome = Outcome{std::nullopt, std::current_exception()};
      }
      bool wake = false;
      {
        std::lock_guard lock(Mutex);
        slot.Running = 0;
        NullsDrawn->fetch_add(slot.NullsDrawn.load());
        const std::size_t before = Busy;
        Busy -= batch.size();
        for (std::size_t j = 0; j < batch.size(); ++j) {
          // A stopped test has no result; nobody will take it.
          if (!stopped[j]) Finished.emplace(batch[j].Sequence, std::move(outcomes[j]));
        }
        // The driver waits for room (Refill) or for every test to end (no
        // job in hand); at other counts there is nothing to wake it for.
        wake = (before > Refill && Busy <= Refill) || Busy == 0;
      }
      if (wake) Changed.notify_all();
    }
  }

  bool NextReady() const { return !Finished.empty() && Finished.begin()->first == Taken; }
};

std::size_t InProcessEcoSim::StartTestWorkers(std::int16_t upperTail) {
  Expect(Stage::MainWindow);
  StopTestWorkers();
  if (!workers_) {
    auto workers = std::make_unique<Workers>();
    workers->NullsDrawn = &nullsDrawn_;
    workers->Threads.reserve(threads_);
    workers->Slots.reserve(threads_);
    for (unsigned t = 0; t < threads_; ++t) {
      workers->Slots.push_back(std::make_unique<Workers::Slot>());
      Workers::Slot& slot = *workers->Slots.back();
      Workers& w = *workers;
      try {
        workers->Threads.push_back(starter_([&w, &slot](std::stop_token) { w.Work(slot); }));
      } catch (const std::system_error&) {
        // The system will not start another thread: the runs go on with the
        // workers it has, or one by one on this thread when it has none.
        workers->Slots.pop_back();
        break;
      }
    }
    if (workers->Threads.empty()) return 0;
    workers_ = std::move(workers);
  }
  // No test is queued or under test: the workers read none of this now.
  Workers& w = *workers_;
  w.Options = options_;
  w.FirstOrdinal = ordinal_;
  w.UpperTail = upperTail;
  w.NullsPerTest = std::max(1.0, RoundHalfEven(LeadingNumber(options_.Iterations)));
  const std::size_t perWorker = MatricesPerWorker(settings_.NumRows, settings_.NumCols);
  w.Capacity = w.Threads.size() * perWorker;
  w.Batch = std::max<std::size_t>(1, perWorker / 2);
  w.Refill = w.Capacity - std::max<std::size_t>(1, w.Capacity / 2);
  w.BeginRun();
  return w.Threads.size();
}

bool InProcessEcoSim::WorkerFree() {
  if (!workers_) return false;
  std::lock_guard lock(workers_->Mutex);
  return workers_->Busy < workers_->Capacity;
}

void InProcessEcoSim::SubmitMatrix(PresenceAbsenceMatrix matrix) {
  Workers& w = *workers_;
  {
    std::lock_guard lock(w.Mutex);
    w.Queue.push_back({w.Submitted++, std::move(matrix)});
    ++w.Busy;
  }
  ++ordinal_;
  w.WorkReady.notify_one();
}

void InProcessEcoSim::AwaitTests(bool forAWorker) {
  Workers& w = *workers_;
  std::unique_lock lock(w.Mutex);
  // Woken for a batch rather than for each test: when half the queue is free
  // or, with nothing more to hand over, when every test has ended. The tick
  // lets the driver count what is ready and read Cancel meanwhile.
  w.Changed.wait_for(lock, std::chrono::milliseconds(100),
                     [&] { return w.Busy == 0 || (forAWorker && w.Busy <= w.Refill); });
}

std::vector<std::optional<double>> InProcessEcoSim::TakeResultsInOrder() {
  Workers& w = *workers_;
  std::vector<std::optional<double>> results;
  std::lock_guard lock(w.Mutex);
  // Every test in hand has ended, yet the next in order is not among those
  // finished: the numbering of the jobs is broken, and waiting would be for
  // ever. Checked in every build; it costs a compare a call.
  if (w.Busy == 0 && !w.Finished.empty() && !w.NextReady()) {
    throw std::logic_error("the in-process tests' results came back under numbers that were never handed out");
  }
  while (w.NextReady()) {
    auto first = w.Finished.begin();
    if (first->second.Failure) std::rethrow_exception(first->second.Failure);
    results.push_back(first->second.PValue);
    w.Finished.erase(first);
    ++w.Taken;
  }
  return results;
}

double InProcessEcoSim::WorkInHand() {
  Workers& w = *workers_;
  std::lock_guard lock(w.Mutex);
  double work = static_cast<double>(w.Finished.size());
  for (const auto& slot : w.Slots) {
    if (slot->Running > 0) {
      work +=
          std::min(static_cast<double>(slot->Running), static_cast<double>(slot->NullsDrawn.load()) / w.NullsPerTest);
    }
  }
  return work;
}

void InProcessEcoSim::StopTestWorkers() noexcept {
  // Every running test is told at once; the threads wait for the next run.
  if (workers_) workers_->EndRun();
}

}  // namespace tessil
