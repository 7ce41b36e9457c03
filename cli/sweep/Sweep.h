// A sweep: the studies of a plan run one after another into a folder that
// keeps every finished study, so that a run stopped anywhere resumes where it
// stopped, and shards of the plan (on several machines, or the tasks of a
// Slurm job array) fill one folder together.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "CommandLine.h"

namespace tessil::cli {

// Shard Index of Count: the studies k of the plan with k mod Count = Index.
struct SweepShard {
  std::int32_t Index = 0;
  std::int32_t Count = 1;
};

// Reads "I/N" as given to --shard; returns the refusal in plain words, or
// an empty text when `shard` holds it.
std::string ParseShard(std::string_view text, SweepShard& shard);

// The shard of a Slurm job array's task: I = SLURM_ARRAY_TASK_ID -
// SLURM_ARRAY_TASK_MIN of N = SLURM_ARRAY_TASK_COUNT. `shard` stays empty
// outside a job array. Returns the refusal (an array whose tasks are not
// consecutive, variables that disagree or are not numbers), or empty.
std::string ShardFromSlurm(const EnvironmentVariable& variable, std::optional<SweepShard>& shard);

// The record at the top of a sweep's folder, sweep.txt.
struct SweepRecord {
  std::string PlanHash;
  std::string Version;
  std::int32_t Studies = 0;
};
// The record in `folder`; empty when it has none or none that reads as one.
std::optional<SweepRecord> ReadSweepRecord(const std::filesystem::path& folder);

struct SweepCommand {
  std::string Plan;
  std::string Folder;
  std::string Shard;
  unsigned Threads = 0;  // 0: the Slurm task's CPUs, else every core
  bool NoProgress = false;
  bool Yes = false;
  bool List = false;
  bool Prepare = false;         // check the plan, make or check the folder, run nothing
  bool RemovePartials = false;  // remove other machines' partial studies too
  std::string EcoSim = "in-process";
};

// `tessil-cli sweep`: ExitOk once every study of the shard is in the folder,
// ExitCancelled when interrupted (finished studies stay), ExitRefused for a
// plan or a folder refused before any work, ExitFailed when a study fails or
// cannot be written.
int RunSweep(const SweepCommand& c, Environment& env);

}  // namespace tessil::cli
