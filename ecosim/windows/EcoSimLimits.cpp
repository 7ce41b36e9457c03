#include "EcoSimLimits.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "NumberText.h"

namespace tessil {

EcoSimLimits EcoSimLimits::FromEnvironment() {
  EcoSimLimits limits;
  const char* text = std::getenv(std::string(ShortWaitsVariable).c_str());
  if (text == nullptr) return limits;
  const DecimalText read = ReadDecimal(text, std::chars_format::fixed);
  // Only a shorter limit is taken: the switch can never make Tessil wait
  // longer than a user's run would.
  if (!read.Valid || read.OutOfRange || !(read.Value > 0.0)) return limits;
  limits.WindowSeconds = std::min(limits.WindowSeconds, read.Value);
  limits.CloseSeconds = std::min(limits.CloseSeconds, read.Value);
  limits.WarmUpSeconds = std::min(limits.WarmUpSeconds, read.Value);
  return limits;
}

}  // namespace tessil
