#include "ProtocolTestSupport.h"

#include <ostream>

namespace tessil::testing {

std::ostream& operator<<(std::ostream& out, const Call& c) {
  out << c.Op << "(" << std::hex << "0x" << c.Window << ", msg 0x" << c.Message << ", w 0x" << c.WParam << ", l 0x"
      << c.LParam << std::dec;
  if (!c.Text.empty()) out << ", \"" << c.Text << "\"";
  if (c.Op == "pos") {
    out << ", after 0x" << std::hex << c.After << std::dec << ", " << c.X << ", " << c.Y << ", " << c.Width << " x "
        << c.Height << ", flags " << c.Flags;
  }
  return out << ")";
}

std::vector<Call> Translucent(WindowHandle w) {
  Call alpha{"alpha", w, 0, 0, 150};
  alpha.Flags = win::LWA_ALPHA;
  const auto index = static_cast<std::uintptr_t>(static_cast<std::uint32_t>(win::GWL_EXSTYLE));
  return {Call{"style", w, 0, index, win::WS_EX_LAYERED}, alpha,
          Call{"style", w, 0, index, win::WS_EX_LAYERED | win::WS_EX_TRANSPARENT}};
}

void Append(std::vector<Call>& to, const std::vector<Call>& more) { to.insert(to.end(), more.begin(), more.end()); }

std::vector<Call> Typing(const EcoSimSession& s, const PresenceAbsenceMatrix& m) {
  std::vector<Call> calls;
  for (std::int32_t i = 1; i <= m.Rows(); ++i) {
    for (std::int32_t j = 1; j <= m.Cols(); ++j) {
      calls.push_back(m(i, j) == 1 ? Send(s.Grid, win::WM_CHAR, 0x31, 0x00020001)
                                   : Send(s.Grid, win::WM_CHAR, 0x30, 0x000B0001));
      calls.push_back(ReadFirstLine(s.GridEditor, 2));
      calls.push_back(Send(s.Grid, win::WM_KEYDOWN, win::VK_TAB, 0x000F0001));
    }
  }
  return calls;
}

std::vector<Call> Opening(const EcoSimSession& s) {
  return {Post(s.MainWindow, win::WM_COMMAND, 22), Send(s.OptionsPages, win::TCM_SETCURFOCUS, 1),
          Send(s.OptionsPages, win::TCM_SETCURFOCUS, 0)};
}

std::vector<Call> RecordingWindowSystem::From(const Call& first) const {
  for (auto at = Calls.begin(); at != Calls.end(); ++at) {
    if (*at == first) return std::vector<Call>(at, Calls.end());
  }
  return {};
}

ProtocolTest::ProtocolTest()
    : folder_(std::filesystem::temp_directory_path() /
              ("tessil-protocol-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()))),
      qt_(world_, QtWindowSystem::Options{&clock_, ScreenSize{1024, 768}}),
      windows_(qt_, clock_),
      progress_(std::make_unique<QWidget>()) {
  std::filesystem::create_directories(folder_ / "EcoSim");
  std::ofstream(folder_ / "EcoSim" / "EcoSim700.exe") << "#!/bin/sh\n";
  standin::RegisterStandInEcoSim(world_, switches_);
  progress_->setWindowTitle("Tessil Progress...");
  progress_->show();
  inputs_.Rows = "4";
  inputs_.Cols = "4";
  settings_.NumIterations = 3;
  settings_.RandomSeed = 5;
}

ProtocolTest::~ProtocolTest() {
  ecosim_.reset();
  world_.Programs().EndAllPrograms();
  progress_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

WindowProtocolEcoSim& ProtocolTest::EcoSim() {
  ecosim_ = std::make_unique<WindowProtocolEcoSim>(
      windows_, settings_, inputs_, &host_, [this] { return qtwin::HandleOf(world_.Windows(), progress_.get()); },
      folder_, [this] { return cancel_; });
  return *ecosim_;
}

standin::StandInEcoSim& ProtocolTest::StandIn() {
  const std::vector<standin::StandInEcoSim*> running = standin::RunningStandIns(world_);
  if (running.empty()) throw std::logic_error("no stand-in EcoSim is running");
  return *running.back();
}

void ProtocolTest::Prepare() {
  EcoSim().PrepareEcoSim();
  windows_.Calls.clear();
}

std::optional<double> ProtocolTest::TestMatrix(const PresenceAbsenceMatrix& matrix, std::int16_t upperTail) {
  ecosim_->EnterMatrix(matrix);
  ecosim_->OpenCooccurrenceOptions();
  if (ecosim_->RunCooccurrenceTest(0) != ResultsShown) return std::nullopt;
  const double p = ecosim_->ReadPValue(upperTail);
  ecosim_->CloseCooccurrenceResults();
  return p;
}

PresenceAbsenceMatrix MatrixOf(const std::vector<std::string>& rows) {
  PresenceAbsenceMatrix m(static_cast<std::int32_t>(rows.size()), static_cast<std::int32_t>(rows.front().size()));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    for (std::size_t j = 0; j < rows[i].size(); ++j) {
      m(static_cast<std::int32_t>(i + 1), static_cast<std::int32_t>(j + 1)) =
          static_cast<std::int16_t>(rows[i][j] - '0');
    }
  }
  return m;
}

PowerTable RunWithFinishSteps(EcoSimAutomation& ecosim, RunContext& run) {
  PowerTable table;
  try {
    ecosim.PrepareEcoSim();
    table = RunPowerSimulation(run);
  } catch (...) {
    ecosim.ReleaseEcoSim();
    throw;
  }
  ecosim.ReleaseEcoSim();
  return table;
}

}  // namespace tessil::testing
