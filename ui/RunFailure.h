// What the user is told when a run ends through a failure other than Cancel.
#pragma once

#include <QString>
#include <exception>

namespace tessil {

// Says what failed, in a user's words, and that no results were produced.
QString RunFailureMessage(std::exception_ptr failure);

// Says that EcoSim could not be closed after a completed run, whose results
// stand.
QString NotClosedMessage(std::exception_ptr failure);

// True when the failure is EcoSim's program file missing, after which the
// program ends.
bool FailedForMissingProgram(std::exception_ptr failure);

}  // namespace tessil
