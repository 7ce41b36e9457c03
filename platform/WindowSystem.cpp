#include "WindowSystem.h"

#include <array>

namespace tessil {

namespace {

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool SameWindowText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  // Most look-ups name a window exactly as it is written.
  if (a == b) return true;
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (Fold(a[k]) != Fold(b[k])) return false;
  }
  return true;
}

bool IsEditLikeClass(std::string_view className) {
  static constexpr std::array<std::string_view, 5> edits = {"TEdit", "TMaskEdit", "TInplaceEdit", "Edit", "TMemo"};
  for (std::string_view edit : edits) {
    if (className == edit) return true;
  }
  return false;
}

}  // namespace tessil
