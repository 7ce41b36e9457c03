#include <atomic>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CommandLine.h"
#include "SweepPlan.h"

namespace tessil::cli {
namespace {

std::string Refusal(const std::string& plan) {
  try {
    ParseSweepPlan(plan, "plan.toml");
  } catch (const SweepPlanError& e) {
    return e.what();
  }
  return "accepted";
}

TEST(SweepPlan, RefusesWithFileLineSettingAndTheCliMessage) {
  std::string thousand = "[2";
  for (int k = 0; k < 1000; ++k) thousand += ", 2";
  thousand += "]";
  std::string million = "[2";
  for (int k = 1; k < 1000; ++k) million += ", " + std::to_string(k + 2);
  million += "]";
  const struct {
    std::string Plan;
    std::string Message;
  } cases[] = {
      {"[sweep]\nrows = [10,\n", "plan.toml:2:13: "},
      {"[sweep]\ncolour = 1\n",
       "plan.toml:2: colour: is not a setting of a sweep plan; the study settings are tessil-cli run's options "
       "without \"--\""},
      {"[sweep]\nseed = 1\n",
       "plan.toml:2: seed: is a setting of the whole plan; write it at the top, before any table"},
      {"[[study]]\nrows = 12\n[[study]]\nrows = [10, 20]\n",
       "plan.toml:4: rows: a [[study]] is one study and takes one value per setting; write lists under [sweep]"},
      {"[sweep]\nrows = []\n", "plan.toml:2: rows: an empty list gives no studies; give at least one value"},
      {"[sweep]\nrows = [10,\n  1]\n", "plan.toml:3: rows: Error 05: Matrix must have at least 2 rows."},
      {"iterations = 0\n[sweep]\n",
       "plan.toml:1: iterations: Error 07: Number of iterations must be an integer "
       "greater than 0."},
      {"[sweep]\nindex = \"c-scores\"\n",
       "plan.toml:2: index: \"c-scores\" is not a co-occurrence index; choose one of "
       "\"C-score\", \"Number of checkerboards\", \"Number of species "
       "combinations\", \"V-ratio\""},
      {"[sweep]\nassume-sites-equivalent = \"yes\"\n",
       "plan.toml:2: assume-sites-equivalent: is a text; give true or false"},
      {"[sweep]\nhypothesis = [\n  \"no-interactions\",\n  \"species-equivalent\",\n]\n"
       "assume-species-equivalent = true\n",
       "plan.toml:4: hypothesis: The assumption \"Species Equivalent\" restates the null hypothesis \"Species "
       "Equivalent\". (with assume-species-equivalent = true)"},
      {"[sweep]\nrows = 2\n[[study]]\nassume-interaction-level = \"50%\"\n",
       "plan.toml:4: assume-interaction-level: The interaction assumption cannot be declared under the null "
       "hypothesis \"No Interactions Between Species\". (with hypothesis = \"no-interactions\")"},
      {"iterations = 2000000000\n[sweep]\n",
       "plan.toml:1: iterations: The number of iterations is too large: 36 arguments x 2000000000 matrices are more "
       "than one run can count (2147483647); this study takes at most 59652323 matrices per argument."},
      {"[sweep]\nrows = " + thousand + "\ncols = " + thousand + "\n",
       "plan.toml:1: sweep: the lists make more than 1000000 studies; split the plan"},
      {"seed = 1\n", "plan.toml:1: sweep: the plan has no studies; give a [sweep] table or [[study]] tables"},
      // A million combinations and one [[study]]: over the cap, counted
      // before a study is made.
      {"[sweep]\nrows = " + million + "\ncols = " + million + "\n[[study]]\nrows = 5\n",
       "plan.toml:1: sweep: the lists and the [[study]] tables make more than 1000000 studies; split the plan"},
  };
  for (const auto& c : cases) {
    const std::string message = Refusal(c.Plan);
    if (c.Message.ends_with(": ")) {
      // toml++'s own description follows the position of a syntax error.
      EXPECT_TRUE(message.starts_with(c.Message) && message.size() > c.Message.size() + 8) << message;
    } else {
      EXPECT_EQ(message, c.Message) << c.Plan;
    }
  }
  try {
    ReadSweepPlan("no such folder/plan.toml");
    ADD_FAILURE() << "a missing file was read";
  } catch (const SweepPlanError& e) {
    EXPECT_EQ(std::string(e.what()), "cannot read \"no such folder/plan.toml\": No such file or directory");
  }
}

std::vector<std::string> Column(const SweepPlan& plan, std::size_t column) {
  std::vector<std::string> values;
  for (const SweepStudy& s : plan.Studies) values.push_back(s.Settings.at(column).Value);
  return values;
}

// The product runs the first setting outermost; an algorithm that does not
// apply (the columns are not fixed) makes no study of its own, and a
// [[study]] equal to one of the product is counted as a repeat.
TEST(SweepPlan, ProductOrderAndRepeats) {
  const SweepPlan plan = ParseSweepPlan(
      "[sweep]\nrows = [10, 20]\ncolumn-constraint = [\"equi\", \"Fixed Sum\"]\nalgorithm = [\"sequential\", "
      "\"independent\"]\n[[study]]\nrows = 20\ncolumn-constraint = \"equi\"\nalgorithm = \"knights-tour\"\n"
      "[[study]]\nrows = 7\n",
      "plan.toml");
  EXPECT_EQ(plan.Repeats, 3u);
  EXPECT_EQ(Column(plan, 4), (std::vector<std::string>{"10", "10", "10", "20", "20", "20", "7"}));
  EXPECT_EQ(Column(plan, 7), (std::vector<std::string>{"equi", "fixed", "fixed", "equi", "fixed", "fixed", "equi"}));
  EXPECT_EQ(Column(plan, 9), (std::vector<std::string>{"sequential", "sequential", "independent", "sequential",
                                                       "sequential", "independent", "sequential"}));
  EXPECT_EQ(plan.Studies[2].Request.Inputs.Options.Algorithm, FixedFixedAlgorithm::IndependentSwap);
  EXPECT_EQ(plan.Studies[6].Settings.at(11).Value, "exclude");
}

// Pinned by FNV-1a-64 computed apart from this code: a change to the rule
// that names a study or draws its seeds changes every sweep's results.
TEST(SweepPlan, IdentitySeedsAndHashFollowTheirRule) {
  const SweepPlan plan = ParseSweepPlan("seed = 7\necosim-seed = 3\n[[study]]\n", "plan.toml");
  ASSERT_EQ(plan.Studies.size(), 1u);
  const SweepStudy& study = plan.Studies[0];
  EXPECT_EQ(Fnv1a64("a"), 0xaf63dc4c8601ec8cULL);
  EXPECT_EQ(study.Id, "5da0c6c4fe4d96c5");
  EXPECT_EQ(study.Request.RandomSeed, 1137037258);
  EXPECT_EQ(study.Request.Inputs.Options.EcoSimSeed, "1738199677");
  EXPECT_EQ(plan.Hash, "86b298c5c996bc40");
}

class FrozenClock final : public Clock {
 public:
  double SecondsSinceMidnight() override { return 0.0; }
};

// A study of a sweep, run from its request, reports byte for byte what
// `tessil-cli run` reports from the study's own command line.
TEST(SweepPlan, StudyRunsAsItsRunCommand) {
  const SweepPlan plan = ParseSweepPlan(
      "iterations = 12\nseed = 5\n[[study]]\nhypothesis = \"sites-equivalent\"\nassume-species-equivalent = true\n"
      "assume-interaction-level = 50\nrows = 6\ncols = \"5.4\"\nindex = \"V-ratio\"\nempty-sites = \"include\"\n"
      "ecosim-iterations = 30.0\n",
      "plan.toml");
  ASSERT_TRUE(plan.AsksToContinue);
  const SweepStudy& study = plan.Studies.at(0);
  FrozenClock clock;
  const std::string report = RunStudy(RequestToRun(study), {}, clock).Report;

  std::vector<std::string> args;
  std::istringstream words(study.RunCommand);
  for (std::string word; words >> word;) args.push_back(word);
  args.insert(args.end(), {"--threads", "1", "--no-progress"});
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  Environment env{out, err, nullptr, false, &clock};
  ASSERT_EQ(RunCommandLine(static_cast<int>(argv.size()), argv.data(), env), ExitOk) << err.str();
  EXPECT_EQ(out.str(), report);
  EXPECT_NE(study.RunCommand.find("--empty-sites include --ecosim-iterations 30 --ecosim-seed "), std::string::npos)
      << study.RunCommand;
}

}  // namespace
}  // namespace tessil::cli
