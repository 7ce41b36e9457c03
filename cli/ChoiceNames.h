// The names tessil-cli and sweep plans accept for each choice: its caption
// in the windows, in any case, or a short name with hyphens.
#pragma once

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "TestVocabulary.h"

namespace tessil::cli {

// Any accepted name, normalised, to the caption it stands for.
using Aliases = std::map<std::string, std::string>;

// Lower case, blanks and underscores as hyphens: "Fixed Sum" and "fixed_sum"
// are both "fixed-sum".
inline std::string Normalise(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return c == ' ' || c == '_' ? '-' : static_cast<char>(std::tolower(c)); });
  return s;
}

// The aliases of one option group, from its vocabulary.
template <typename Choice>
const Aliases& AliasesOf() {
  static const Aliases aliases = [] {
    Aliases made;
    for (const Term<Choice>& term : Vocabulary<Choice>::Terms) {
      made[Normalise(std::string(term.Caption))] = std::string(term.Caption);
      for (std::string_view name : term.CliSpellings) {
        if (!name.empty()) made[Normalise(std::string(name))] = std::string(term.Caption);
      }
    }
    return made;
  }();
  return aliases;
}

// The captions a refusal offers: "A", "B", "C".
inline std::string Choices(const Aliases& aliases) {
  std::vector<std::string> captions;
  for (const auto& [alias, captionText] : aliases) {
    if (std::find(captions.begin(), captions.end(), captionText) == captions.end()) captions.push_back(captionText);
  }
  std::string out;
  for (const std::string& c : captions) out += (out.empty() ? "\"" : ", \"") + c + "\"";
  return out;
}

// Why `value` names no choice of the group, in the words of tessil-cli's
// refusal; empty when it names one, which is then stored in `caption`.
template <typename Choice>
std::string RefuseChoiceName(const std::string& value, const std::string& what, std::string& caption) {
  const auto found = AliasesOf<Choice>().find(Normalise(value));
  if (found == AliasesOf<Choice>().end()) {
    return "\"" + value + "\" is not a " + what + "; choose one of " + Choices(AliasesOf<Choice>());
  }
  caption = found->second;
  return {};
}

}  // namespace tessil::cli
