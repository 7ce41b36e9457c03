// Texts the Win32 face shows that no Qt-free code gives yet: the progress
// window's lines, the message after a failed run, the file a chosen report
// name is saved as.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "Public_Declarations.h"

namespace tessil::win32ui {

std::string RemainingTimeText(double remainingSeconds);
std::string TimeLine(const RunSettings& settings, double now);
std::int64_t TitlePercent(std::int64_t done, std::int64_t total);
std::int64_t TotalMatrices(const RunSettings& settings);
std::string RunFailureText(std::exception_ptr failure);
bool FailedForMissingProgram(std::exception_ptr failure);
// UTF-8 path: NULs removed, ".txt" removed from the file's own name, spaces
// trimmed at both ends, ".txt" appended.
std::string ResultsFilePath(std::string_view chosen);

}  // namespace tessil::win32ui
