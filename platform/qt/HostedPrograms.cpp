#include "HostedPrograms.h"

#include <QMetaObject>
#include <algorithm>
#include <filesystem>

#include "WindowSystem.h"

namespace tessil::qtwin {

namespace {

std::string BaseName(const std::string& file) { return std::filesystem::path(file).filename().string(); }

}  // namespace

ProgramHost::ProgramHost() = default;

ProgramHost::~ProgramHost() { EndAllPrograms(); }

QObject& ProgramHost::QueueContext() {
  if (context_ == nullptr) context_ = std::make_unique<QObject>();
  return *context_;
}

const ProgramHost::Registration* ProgramHost::Registered(std::string_view fileName) const {
  for (const Registration& r : programs_) {
    if (SameWindowText(r.FileName, fileName)) return &r;
  }
  return nullptr;
}

// Ending an instance can run its windows' destructors, which must not find
// the instance half-removed.
void ProgramHost::End(std::vector<Instance>::iterator at) {
  std::unique_ptr<HostedProgram> ending = std::move(at->Program);
  running_.erase(at);
  ending.reset();
}

void ProgramHost::RegisterProgram(std::string_view fileName, ProgramStarter starter) {
  for (Registration& r : programs_) {
    if (SameWindowText(r.FileName, fileName)) {
      r.Starter = std::move(starter);
      return;
    }
  }
  programs_.push_back({std::string(fileName), std::move(starter)});
}

void ProgramHost::UnregisterProgram(std::string_view fileName) {
  std::erase_if(programs_, [&](const Registration& r) { return SameWindowText(r.FileName, fileName); });
}

bool ProgramHost::IsProgramRegistered(std::string_view fileName) const { return Registered(fileName) != nullptr; }

HostedProgram* ProgramHost::Start(ProgramId id, const std::string& file, const std::string& workingFolder) {
  const Registration* r = Registered(BaseName(file));
  if (r == nullptr) return nullptr;
  std::unique_ptr<HostedProgram> program = r->Starter(workingFolder);
  if (!program) return nullptr;
  running_.push_back({id, std::move(program)});
  return running_.back().Program.get();
}

HostedProgram* ProgramHost::StartProgram(const std::string& file, const std::string& workingFolder) {
  return Start(++lastId_, file, workingFolder);
}

ProgramId ProgramHost::StartProgramLater(const std::string& file, const std::string& workingFolder) {
  if (Registered(BaseName(file)) == nullptr) return 0;
  const ProgramId id = ++lastId_;
  starting_.push_back(id);
  const std::uint64_t generation = generation_;
  QMetaObject::invokeMethod(
      &QueueContext(),
      [this, id, file, workingFolder, generation] {
        if (generation_ != generation) return;
        std::erase(starting_, id);
        Start(id, file, workingFolder);
      },
      Qt::QueuedConnection);
  return id;
}

HostedProgram* ProgramHost::Running(ProgramId id) const {
  if (id == 0) return nullptr;
  const auto at = std::find_if(running_.begin(), running_.end(), [id](const Instance& i) { return i.Id == id; });
  return at == running_.end() ? nullptr : at->Program.get();
}

ProgramId ProgramHost::IdOf(const HostedProgram* program) const {
  const auto at = std::find_if(running_.begin(), running_.end(),
                               [program](const Instance& i) { return i.Program.get() == program; });
  return at == running_.end() ? 0 : at->Id;
}

bool ProgramHost::HasEnded(ProgramId id) const {
  if (id == 0 || id > lastId_) return false;
  return Running(id) == nullptr && std::find(starting_.begin(), starting_.end(), id) == starting_.end();
}

void ProgramHost::EndProgramLater(const HostedProgram* program) {
  const std::uint64_t generation = generation_;
  QMetaObject::invokeMethod(
      &QueueContext(),
      [this, program, generation] {
        if (generation_ != generation) return;
        const auto at = std::find_if(running_.begin(), running_.end(),
                                     [program](const Instance& i) { return i.Program.get() == program; });
        if (at != running_.end()) End(at);
      },
      Qt::QueuedConnection);
}

bool ProgramHost::EndProgramOwning(WindowHandle window) {
  const auto at = std::find_if(running_.begin(), running_.end(),
                               [window](const Instance& i) { return i.Program->OwnsWindow(window); });
  if (at == running_.end()) return false;
  End(at);
  return true;
}

void ProgramHost::EndAllPrograms() {
  ++generation_;
  // Starts not yet made never will be.
  starting_.clear();
  while (!running_.empty()) End(running_.end() - 1);
  context_.reset();
}

void ProgramHost::ForEachProgram(const std::function<void(HostedProgram&)>& visit) {
  for (const Instance& i : running_) visit(*i.Program);
}

}  // namespace tessil::qtwin
