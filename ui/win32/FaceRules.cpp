#include "FaceRules.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "Errors.h"

namespace tessil::win32ui {

std::string RemainingTimeText(double r) {
  std::string text;
  if (r >= 3600) text += WholeNumberText(std::floor(r / 3600)) + "hr ";
  if (r >= 59.5) {
    const double seconds = std::fmod(RoundHalfEven(r), 3600.0);
    text += WholeNumberText(std::floor(seconds / 60) + 1) + "min ";
  } else {
    text += WholeNumberText(std::fmod(RoundHalfEven(r), 60.0)) + "s ";
  }
  return text + "Remaining";
}

std::int64_t TotalMatrices(const RunSettings& s) {
  return std::int64_t{s.NumArguments} * std::int64_t{s.NumIterations};
}

std::string TimeLine(const RunSettings& s, double now) {
  if (s.TestsDone <= 1 || s.WorkDone <= 0) return {};
  const double done = std::min(s.WorkDone, static_cast<double>(TotalMatrices(s)));
  const double clock = static_cast<double>(static_cast<float>(now));
  const double remaining = (clock - s.StartTime) * (static_cast<double>(TotalMatrices(s)) - done) / done;
  return RemainingTimeText(remaining);
}

std::int64_t TitlePercent(std::int64_t done, std::int64_t total) {
  if (total <= 0) return 0;
  return static_cast<std::int64_t>(RoundHalfEven(static_cast<double>(done * 100) / static_cast<double>(total)));
}

namespace {

std::string Reason(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const EcoSimWindowMissing&) {
    return "EcoSim stopped answering: a window of EcoSim that Tessil needs could not be found.";
  } catch (const PValueNotANumber& e) {
    return std::string("Tessil could not read EcoSim's results. ") + e.what() + ".";
  } catch (const TessilError& e) {
    return e.what();
  } catch (const std::bad_alloc&) {
    return "There was not enough memory for a matrix of this size.";
  } catch (const std::exception& e) {
    return std::string("An unexpected error occurred: ") + e.what();
  } catch (...) {
    return "An unexpected error occurred.";
  }
}

}  // namespace

std::string RunFailureText(std::exception_ptr failure) {
  std::string reason = failure ? Reason(failure) : "An unexpected error occurred.";
  if (reason.empty() || reason.back() != '.') reason += '.';
  return "The run could not be completed. " + reason + "\n\nNo results were produced.";
}

bool FailedForMissingProgram(std::exception_ptr failure) {
  if (!failure) return false;
  try {
    std::rethrow_exception(failure);
  } catch (const EcoSimProgramMissing&) {
    return true;
  } catch (...) {
    return false;
  }
}

std::string ResultsFilePath(std::string_view chosen) {
  std::string path;
  for (char c : chosen) {
    if (c != '\0') path += c;
  }
  const std::size_t slash = path.find_last_of("\\/");
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  std::string name = path.substr(nameStart);
  for (std::size_t at = name.find(".txt"); at != std::string::npos; at = name.find(".txt", at)) name.erase(at, 4);
  path = path.substr(0, nameStart) + name;
  const std::size_t first = path.find_first_not_of(' ');
  const std::size_t last = path.find_last_not_of(' ');
  path = first == std::string::npos ? std::string() : path.substr(first, last - first + 1);
  return path + ".txt";
}

}  // namespace tessil::win32ui
