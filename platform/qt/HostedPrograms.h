// Programs that run inside this process and are started by "opening" their
// program file, as the shell would start them: the stand-in EcoSim is one.
#pragma once

#include <QObject>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "WindowHandle.h"

namespace tessil::qtwin {

// One running instance. Destroying it ends the program and destroys its
// windows.
class HostedProgram {
 public:
  virtual ~HostedProgram() = default;
  virtual bool OwnsWindow(WindowHandle window) const = 0;
};

// Starts an instance in the given working folder; null: the program ended
// before it showed anything.
using ProgramStarter = std::function<std::unique_ptr<HostedProgram>(const std::string& workingFolder)>;

// Names one start of a program, from the request on, for as long as the
// world lives; 0 names none.
using ProgramId = std::uint64_t;

// The programs of one window world (WindowWorld.h): which program file
// starts which program, and the instances running.
class ProgramHost {
 public:
  ProgramHost();
  // Ends every instance still running.
  ~ProgramHost();
  ProgramHost(const ProgramHost&) = delete;
  ProgramHost& operator=(const ProgramHost&) = delete;

  // Registers the program started by opening a file of this name (compared
  // without regard to case, folders ignored); replaces an earlier one.
  void RegisterProgram(std::string_view fileName, ProgramStarter starter);
  void UnregisterProgram(std::string_view fileName);
  bool IsProgramRegistered(std::string_view fileName) const;

  // Starts the program registered for the file's name at the next turn of
  // message processing, as a program started by the shell comes up while its
  // starter goes on. 0 when no program is registered for it.
  ProgramId StartProgramLater(const std::string& file, const std::string& workingFolder);
  // Starts it now; null when none is registered or it ended at once.
  HostedProgram* StartProgram(const std::string& file, const std::string& workingFolder);
  // The instance of that start while it runs; null before it has come up
  // and once it has ended.
  HostedProgram* Running(ProgramId id) const;
  // The start that made a running instance; 0 for none.
  ProgramId IdOf(const HostedProgram* program) const;
  // True once that start has come to an end: the program ended, or ended
  // before it came up, or its start was dropped.
  bool HasEnded(ProgramId id) const;

  // Ends an instance at the next turn of message processing: how a program
  // ends itself from one of its own message handlers.
  void EndProgramLater(const HostedProgram* program);
  // Ends the instance that owns the window now; false when none does.
  bool EndProgramOwning(WindowHandle window);
  // Ends every instance and forgets starts not yet made. Call before the
  // QApplication goes.
  void EndAllPrograms();
  std::size_t RunningPrograms() const { return running_.size(); }
  // The running instances, oldest first. A visit must not start or end any.
  void ForEachProgram(const std::function<void(HostedProgram&)>& visit);

 private:
  struct Registration {
    std::string FileName;
    ProgramStarter Starter;
  };
  struct Instance {
    ProgramId Id = 0;
    std::unique_ptr<HostedProgram> Program;
  };
  const Registration* Registered(std::string_view fileName) const;
  QObject& QueueContext();
  void End(std::vector<Instance>::iterator at);
  HostedProgram* Start(ProgramId id, const std::string& file, const std::string& workingFolder);

  std::vector<Registration> programs_;
  std::vector<Instance> running_;
  // Starts requested and not yet made.
  std::vector<ProgramId> starting_;
  ProgramId lastId_ = 0;
  // Queued starts and ends carry the generation they were queued in;
  // EndAllPrograms moves to a new one, so none of them outlives it.
  std::uint64_t generation_ = 0;
  std::unique_ptr<QObject> context_;
};

}  // namespace tessil::qtwin
