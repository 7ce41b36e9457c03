#include "HostedPrograms.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <algorithm>
#include <filesystem>
#include <vector>

#include "WindowSystem.h"

namespace tessil::qtwin {

namespace {

struct Registration {
  std::string FileName;
  ProgramStarter Starter;
};

struct Host {
  std::vector<Registration> Programs;
  std::vector<std::unique_ptr<HostedProgram>> Running;
  // Queued starts and ends carry the generation they were queued in;
  // EndAllPrograms moves to a new one, so none of them outlives it.
  std::uint64_t Generation = 0;
  QObject* Context = nullptr;

  QObject& QueueContext() {
    if (Context == nullptr) Context = new QObject;
    return *Context;
  }
};

Host& TheHost() {
  static auto* host = new Host;
  return *host;
}

std::string BaseName(const std::string& file) { return std::filesystem::path(file).filename().string(); }

Registration* Registered(std::string_view fileName) {
  for (Registration& r : TheHost().Programs) {
    if (SameWindowText(r.FileName, fileName)) return &r;
  }
  return nullptr;
}

// Ending an instance can run its windows' destructors, which must not find
// the instance half-removed.
void End(std::vector<std::unique_ptr<HostedProgram>>::iterator at) {
  std::unique_ptr<HostedProgram> ending = std::move(*at);
  TheHost().Running.erase(at);
  ending.reset();
}

}  // namespace

void RegisterProgram(std::string_view fileName, ProgramStarter starter) {
  if (Registration* known = Registered(fileName)) {
    known->Starter = std::move(starter);
    return;
  }
  TheHost().Programs.push_back({std::string(fileName), std::move(starter)});
}

void UnregisterProgram(std::string_view fileName) {
  std::erase_if(TheHost().Programs, [&](const Registration& r) { return SameWindowText(r.FileName, fileName); });
}

bool IsProgramRegistered(std::string_view fileName) { return Registered(fileName) != nullptr; }

HostedProgram* StartProgram(const std::string& file, const std::string& workingFolder) {
  Registration* r = Registered(BaseName(file));
  if (r == nullptr) return nullptr;
  std::unique_ptr<HostedProgram> program = r->Starter(workingFolder);
  if (!program) return nullptr;
  TheHost().Running.push_back(std::move(program));
  return TheHost().Running.back().get();
}

bool StartProgramLater(const std::string& file, const std::string& workingFolder) {
  if (Registered(BaseName(file)) == nullptr) return false;
  Host& host = TheHost();
  const std::uint64_t generation = host.Generation;
  QMetaObject::invokeMethod(
      &host.QueueContext(),
      [file, workingFolder, generation] {
        if (TheHost().Generation == generation) StartProgram(file, workingFolder);
      },
      Qt::QueuedConnection);
  return true;
}

void EndProgramLater(const HostedProgram* program) {
  Host& host = TheHost();
  const std::uint64_t generation = host.Generation;
  QMetaObject::invokeMethod(
      &host.QueueContext(),
      [program, generation] {
        Host& h = TheHost();
        if (h.Generation != generation) return;
        const auto at = std::find_if(h.Running.begin(), h.Running.end(),
                                     [program](const auto& p) { return p.get() == program; });
        if (at != h.Running.end()) End(at);
      },
      Qt::QueuedConnection);
}

bool EndProgramOwning(WindowHandle window) {
  Host& host = TheHost();
  const auto at = std::find_if(host.Running.begin(), host.Running.end(),
                               [window](const auto& p) { return p->OwnsWindow(window); });
  if (at == host.Running.end()) return false;
  End(at);
  return true;
}

void EndAllPrograms() {
  Host& host = TheHost();
  ++host.Generation;
  while (!host.Running.empty()) End(host.Running.end() - 1);
  delete host.Context;
  host.Context = nullptr;
}

std::size_t RunningPrograms() { return TheHost().Running.size(); }

void ForEachProgram(const std::function<void(HostedProgram&)>& visit) {
  for (const auto& p : TheHost().Running) visit(*p);
}

}  // namespace tessil::qtwin
