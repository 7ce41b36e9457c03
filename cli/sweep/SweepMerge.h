// The results of a sweep's studies gathered into one table, in the plan's
// order, with the studies not yet in the folder named.
#pragma once

#include <string>

#include "CommandLine.h"

namespace tessil::cli {

struct MergeCommand {
  std::string Folder;
  std::string Output;  // "-": standard output
  bool Json = false;
  bool Arguments = false;  // one row per study and argument
  bool AllowMissing = false;
  bool RemovePartials = false;  // remove partial studies no run on this machine writes
  std::string Plot;             // the summary chart, .svg or .png; empty: none
};

// `tessil-cli merge`: ExitOk with the table written, ExitFailed when studies
// are missing (unless allowed) or a file cannot be read or written,
// ExitRefused for a folder that is not a sweep or whose plan changed.
int RunMerge(const MergeCommand& c, Environment& env);

}  // namespace tessil::cli
