// Each option group's vocabulary: the captions are exactly the texts the
// windows and the report show, and every spelling tessil-cli accepts comes
// back, through the enum, as its value's caption in what tessil-cli prints.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ChoiceRefusals.h"
#include "CommandLine.h"
#include "TestVocabulary.h"

namespace tessil::cli {
namespace {

class StoppedClock final : public Clock {
 public:
  double SecondsSinceMidnight() override { return 0.0; }
};

std::string CliOutput(std::vector<std::string> args) {
  args.insert(args.begin(), "tessil-cli");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  StoppedClock clock;
  Environment env{out, err, nullptr, false, &clock};
  EXPECT_EQ(RunCommandLine(static_cast<int>(argv.size()), argv.data(), env), ExitOk) << err.str();
  return out.str();
}

template <typename Choice>
std::vector<std::string> Captions() {
  std::vector<std::string> captions;
  for (const Term<Choice>& term : Vocabulary<Choice>::Terms) captions.emplace_back(term.Caption);
  return captions;
}

// Every spelling of every value: the caption as shown, in other letter
// case, and each short name.
template <typename Choice>
std::vector<std::pair<std::string, Choice>> Spellings(bool anyCase) {
  std::vector<std::pair<std::string, Choice>> spellings;
  for (const Term<Choice>& term : Vocabulary<Choice>::Terms) {
    spellings.emplace_back(term.Caption, term.Value);
    if (anyCase) {
      std::string upper(term.Caption);
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      spellings.emplace_back(upper, term.Value);
    }
    for (std::string_view name : term.CliSpellings) {
      if (!name.empty()) spellings.emplace_back(name, term.Value);
    }
  }
  return spellings;
}

TEST(Vocabulary, CaptionsAreTheWindowsOwnTexts) {
  EXPECT_EQ(Captions<Constraint>(), (std::vector<std::string>{"Fixed Sum", "Equiprobable", "Proportional"}));
  EXPECT_EQ(Captions<CooccurrenceIndex>(), (std::vector<std::string>{"C-score", "Number of checkerboards",
                                                                     "Number of species combinations", "V-ratio"}));
  EXPECT_EQ(Captions<FixedFixedAlgorithm>(),
            (std::vector<std::string>{"Sequential Swap", "Independent Swap", "Random Knight's Tour"}));
  EXPECT_EQ(Captions<DegenerateTreatment>(), (std::vector<std::string>{"Retain", "Discard", "Split", "Fix"}));
  EXPECT_EQ(Captions<EmptySiteTreatment>(), (std::vector<std::string>{"Include", "Exclude"}));
  EXPECT_EQ(Captions<Hypothesis>(),
            (std::vector<std::string>{"No Interactions Between Species", "Sites Equivalent", "Species Equivalent"}));
  EXPECT_EQ(Captions<Assumption>(),
            (std::vector<std::string>{"Sites Equivalent", "Species Equivalent", "Interactions Between Species:"}));
  EXPECT_EQ(Captions<InteractionLevel>(), (std::vector<std::string>{"0%", "50%", "100%"}));
  // What the window protocol tells EcoSim for the choices it sends.
  EXPECT_EQ(EcoSimArgument(Constraint::Fixed), "Fixed");
  EXPECT_EQ(EcoSimArgument(FixedFixedAlgorithm::KnightsTour), "Knight");
  EXPECT_EQ(EcoSimArgument(CooccurrenceIndex::Combinations), "Number of species combinations");
}

// Each EcoSim option: every spelling given to `tessil-cli test` comes back as
// its caption in the description of the test.
TEST(Vocabulary, EveryCliSpellingOfAnEcoSimOptionRoundTrips) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "tessil_vocabulary_matrix.csv";
  std::ofstream(file) << "1,1,0,0\n0,1,1,0\n0,0,1,1\n1,0,0,1\n";
  const std::vector<std::string> common = {"test", file.string(), "--header", "no", "--ecosim-iterations", "2"};
  const auto check = [&](const std::string& option, const std::vector<std::string>& context, const std::string& label,
                         const std::string& spelling, std::string_view caption) {
    std::vector<std::string> args = common;
    args.insert(args.end(), context.begin(), context.end());
    args.insert(args.end(), {option, spelling});
    const std::string out = CliOutput(args);
    EXPECT_NE(out.find(label + ": " + std::string(caption) + "\n"), std::string::npos)
        << option << " " << spelling << ":\n"
        << out;
  };
  for (const auto& [spelling, value] : Spellings<Constraint>(true)) {
    check("--row-constraint", {"--column-constraint", "prop"}, "Row Constraints", spelling, Caption(value));
    check("--column-constraint", {}, "Column Constraints", spelling, Caption(value));
  }
  for (const auto& [spelling, value] : Spellings<CooccurrenceIndex>(true)) {
    check("--index", {}, "Co-occurrence Index", spelling, Caption(value));
  }
  for (const auto& [spelling, value] : Spellings<FixedFixedAlgorithm>(true)) {
    check("--algorithm", {"--column-constraint", "fixed"}, "Fixed-Fixed Randomization Algorithm", spelling,
          Caption(value));
  }
  for (const auto& [spelling, value] : Spellings<DegenerateTreatment>(true)) {
    check("--degenerate", {}, "Degenerate Matrices", spelling, Caption(value));
  }
  for (const auto& [spelling, value] : Spellings<EmptySiteTreatment>(true)) {
    check("--empty-sites", {"--index", "vratio"}, "Empty Sites", spelling, Caption(value));
  }
  std::filesystem::remove(file);
}

// The main window's choices: every spelling of `tessil-cli run` comes back
// as its caption in the report.
TEST(Vocabulary, EveryCliSpellingOfAMainWindowChoiceRoundTrips) {
  const std::vector<std::string> small = {
      "run", "--rows", "2", "--cols", "2", "--iterations", "1", "--yes", "--ecosim-iterations", "1", "--threads", "1"};
  for (const Term<Hypothesis>& term : Vocabulary<Hypothesis>::Terms) {
    std::vector<std::string> args = small;
    args.insert(args.end(), {"--hypothesis", std::string(term.CliSpellings[0])});
    const std::string report = CliOutput(args);
    EXPECT_NE(report.find("NULL HYPOTHESIS\r\n" + std::string(31, '-') + "\r\n" + std::string(term.Caption) + "\r\n"),
              std::string::npos)
        << term.Caption;
  }
  for (const auto& [spelling, value] : Spellings<InteractionLevel>(false)) {
    std::vector<std::string> args = small;
    args.insert(args.end(), {"--hypothesis", "sites-equivalent", "--assume-interaction-level", spelling});
    const std::string report = CliOutput(args);
    EXPECT_NE(report.find("\r\n" + std::string(Caption(value)) + " of species interacting\r\n"), std::string::npos)
        << spelling;
  }
}

TEST(Vocabulary, ChoicesTheMainWindowRulesOutAreRefused) {
  using H = Hypothesis;
  const auto choices = [](H h, bool siEq, bool spEq, std::optional<InteractionLevel> level) {
    return MainWindowChoices{h, siEq, spEq, level};
  };
  EXPECT_EQ(RefuseChoices(choices(H::NoInteractions, true, true, std::nullopt)), "");
  EXPECT_EQ(RefuseChoices(choices(H::SitesEquivalent, false, true, InteractionLevel::Half)), "");
  EXPECT_EQ(RefuseChoices(choices(H::SpeciesEquivalent, true, false, InteractionLevel::All)), "");
  EXPECT_EQ(RefuseChoices(choices(H::NoInteractions, false, false, InteractionLevel::None)),
            "The interaction assumption cannot be declared under the null hypothesis \"No Interactions Between "
            "Species\".");
  EXPECT_EQ(RefuseChoices(choices(H::SitesEquivalent, true, false, std::nullopt)),
            "The assumption \"Sites Equivalent\" restates the null hypothesis \"Sites Equivalent\".");
  EXPECT_EQ(RefuseChoices(choices(H::SpeciesEquivalent, false, true, std::nullopt)),
            "The assumption \"Species Equivalent\" restates the null hypothesis \"Species Equivalent\".");
}

}  // namespace
}  // namespace tessil::cli
