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
void ProgramHost::End(std::vector<std::unique_ptr<HostedProgram>>::iterator at) {
  std::unique_ptr<HostedProgram> ending = std::move(*at);
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

HostedProgram* ProgramHost::StartProgram(const std::string& file, const std::string& workingFolder) {
  const Registration* r = Registered(BaseName(file));
  if (r == nullptr) return nullptr;
  std::unique_ptr<HostedProgram> program = r->Starter(workingFolder);
  if (!program) return nullptr;
  running_.push_back(std::move(program));
  return running_.back().get();
}

bool ProgramHost::StartProgramLater(const std::string& file, const std::string& workingFolder) {
  if (Registered(BaseName(file)) == nullptr) return false;
  const std::uint64_t generation = generation_;
  QMetaObject::invokeMethod(
      &QueueContext(),
      [this, file, workingFolder, generation] {
        if (generation_ == generation) StartProgram(file, workingFolder);
      },
      Qt::QueuedConnection);
  return true;
}

void ProgramHost::EndProgramLater(const HostedProgram* program) {
  const std::uint64_t generation = generation_;
  QMetaObject::invokeMethod(
      &QueueContext(),
      [this, program, generation] {
        if (generation_ != generation) return;
        const auto at =
            std::find_if(running_.begin(), running_.end(), [program](const auto& p) { return p.get() == program; });
        if (at != running_.end()) End(at);
      },
      Qt::QueuedConnection);
}

bool ProgramHost::EndProgramOwning(WindowHandle window) {
  const auto at =
      std::find_if(running_.begin(), running_.end(), [window](const auto& p) { return p->OwnsWindow(window); });
  if (at == running_.end()) return false;
  End(at);
  return true;
}

void ProgramHost::EndAllPrograms() {
  ++generation_;
  while (!running_.empty()) End(running_.end() - 1);
  context_.reset();
}

void ProgramHost::ForEachProgram(const std::function<void(HostedProgram&)>& visit) {
  for (const auto& p : running_) visit(*p);
}

}  // namespace tessil::qtwin
