#include "ChoiceRefusals.h"

#include <string>
#include <tuple>

namespace tessil {

std::string RefuseChoices(const MainWindowChoices& c) {
  if (c.NullHypothesis == Hypothesis::NoInteractions && c.AssumedLevel) {
    return "The interaction assumption cannot be declared under the null hypothesis \"" +
           std::string(Caption(Hypothesis::NoInteractions)) + "\".";
  }
  // An assumption that is the hypothesis itself.
  for (const auto& [hypothesis, assumed, assumption] :
       {std::tuple{Hypothesis::SitesEquivalent, c.AssumeSitesEquivalent, Assumption::SitesEquivalent},
        std::tuple{Hypothesis::SpeciesEquivalent, c.AssumeSpeciesEquivalent, Assumption::SpeciesEquivalent}}) {
    if (c.NullHypothesis == hypothesis && assumed) {
      return "The assumption \"" + std::string(Caption(assumption)) + "\" restates the null hypothesis \"" +
             std::string(Caption(hypothesis)) + "\".";
    }
  }
  return {};
}

}  // namespace tessil
