#include "StandInFaults.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace tessil::standin {

namespace {

// A count written with digits only, at least `least`.
long long Count(std::string_view item, std::string_view digits, long long least) {
  long long value = 0;
  const char* last = digits.data() + digits.size();
  const auto [end, error] = std::from_chars(digits.data(), last, value);
  if (digits.empty() || digits.front() == '-' || digits.front() == '+' || error != std::errc() || end != last ||
      value < least) {
    throw FaultsTextError("The fault \"" + std::string(item) + "\" needs a whole number from " + std::to_string(least) +
                          ".");
  }
  return value;
}

}  // namespace

bool StandInFaults::Missing(std::string_view className, std::string_view text) const {
  return std::any_of(MissingClasses.begin(), MissingClasses.end(), [&](const std::string& item) {
    return item == className || (item.size() == className.size() + 1 + text.size() && item.starts_with(className) &&
                                 item[className.size()] == '/' && item.ends_with(text));
  });
}

bool StrictSwitch(const char* value) {
  return value != nullptr && std::string_view(value) != "" && std::string_view(value) != "0";
}

StandInFaults ParseFaults(std::string_view text) {
  StandInFaults faults;
  while (!text.empty()) {
    const std::size_t end = text.find(';');
    const std::string_view item = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (item.empty()) continue;
    const std::size_t equals = item.find('=');
    const std::string_view name = item.substr(0, equals);
    const std::string_view value = equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
    const bool hasValue = equals != std::string_view::npos;
    if (!hasValue && name == "stall") {
      faults.Stall = true;
    } else if (!hasValue && name == "hang") {
      faults.Hang = true;
    } else if (!hasValue && name == "confirm") {
      faults.ConfirmInsteadOfResults = true;
    } else if (!hasValue && name == "exit-at-start") {
      faults.ExitAtStart = true;
    } else if (!hasValue && name == "end-in-test") {
      faults.EndInTest = true;
    } else if (!hasValue && name == "other-close-question") {
      faults.OtherCloseQuestion = true;
    } else if (hasValue && name == "end-at-char") {
      faults.EndAtCharacter = Count(item, value, 1);
    } else if (hasValue && name == "pvalue") {
      faults.PValueText = std::string(value);
    } else if (hasValue && name == "missing" && !value.empty()) {
      faults.MissingClasses.emplace_back(value);
    } else if (hasValue && name == "hang-send") {
      faults.HangAtCharacter = Count(item, value, 1);
    } else if (hasValue && name == "hold-shift") {
      faults.HoldShiftAtCharacter = Count(item, value, 1);
    } else if (hasValue && name == "from-test") {
      faults.FirstFaultyTest =
          static_cast<int>(std::min<long long>(Count(item, value, 1), std::numeric_limits<int>::max()));
    } else if (hasValue && name == "mistype") {
      faults.MistypedCharacters =
          static_cast<int>(std::min<long long>(Count(item, value, 0), std::numeric_limits<int>::max()));
    } else {
      throw FaultsTextError(
          "\"" + std::string(item) +
          "\" is no fault: use stall, hang, confirm, exit-at-start, end-in-test, other-close-question, "
          "pvalue=TEXT, missing=CLASS, missing=CLASS/TEXT, hang-send=N, end-at-char=N, hold-shift=N, mistype=N or "
          "from-test=N, separated by \";\".");
    }
  }
  return faults;
}

}  // namespace tessil::standin
