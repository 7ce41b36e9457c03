#include "SweepPlan.h"

#include <toml++/toml.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <system_error>
#include <unordered_set>

#include "ChoiceNames.h"
#include "Validation.h"

namespace tessil::cli {

std::uint64_t Fnv1a64(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ULL;
  }
  return hash;
}

std::string Hex16(std::uint64_t value) {
  std::string text(16, '0');
  for (std::size_t k = 16; k-- > 0; value >>= 4) text[k] = "0123456789abcdef"[value & 15];
  return text;
}

namespace {

// The study settings in the order of a study's identity, which is also the
// order of the product: the first outermost.
enum Column : std::size_t {
  HypothesisColumn,
  SitesColumn,
  SpeciesColumn,
  LevelColumn,
  RowsColumn,
  ColsColumn,
  RowConstraintColumn,
  ColumnConstraintColumn,
  IndexColumn,
  AlgorithmColumn,
  DegenerateColumn,
  EmptySitesColumn,
  EcoSimIterationsColumn,
  ColumnCount
};

constexpr std::array<std::string_view, ColumnCount> ColumnNames = {"hypothesis",
                                                                   "assume-sites-equivalent",
                                                                   "assume-species-equivalent",
                                                                   "assume-interaction-level",
                                                                   "rows",
                                                                   "cols",
                                                                   "row-constraint",
                                                                   "column-constraint",
                                                                   "index",
                                                                   "algorithm",
                                                                   "degenerate",
                                                                   "empty-sites",
                                                                   "ecosim-iterations"};

// More studies than a sweep could ever finish: a mistake in the plan.
constexpr std::size_t MostStudies = 1000000;

// The settings of the plan as a whole, one value each, at its top.
constexpr std::array<std::string_view, 4> PlanSettings = {"iterations", "seed", "ecosim-seed", "title"};

// One value of a setting as read: for a choice its caption, for a yes/no
// setting "yes" or "no", for the interaction level "none" or its short name,
// for a number its text as written, still unchecked.
struct Value {
  std::string Text;
  std::int64_t Line = 0;
  bool Written = false;  // false: the default, standing at the line of its table
};
using Study = std::array<Value, ColumnCount>;

class Refusal {
 public:
  explicit Refusal(std::string fileName) : fileName_(std::move(fileName)) {}
  [[noreturn]] void Throw(std::int64_t line, std::string_view setting, const std::string& message) const {
    throw SweepPlanError(fileName_ + ":" + std::to_string(line) + ": " + std::string(setting) + ": " + message);
  }

 private:
  std::string fileName_;
};

std::int64_t LineOf(const toml::node& node) { return node.source().begin.line; }

std::string TypeName(const toml::node& node) {
  switch (node.type()) {
    case toml::node_type::table:
      return "a table";
    case toml::node_type::array:
      return "a list";
    case toml::node_type::string:
      return "a text";
    case toml::node_type::integer:
      return "a whole number";
    case toml::node_type::floating_point:
      return "a number";
    case toml::node_type::boolean:
      return "true or false";
    default:
      return "a date or time";
  }
}

// A number as the CLI would read it typed: whole numbers and texts as they
// are, other numbers in their shortest form.
std::optional<std::string> NumberText(const toml::node& node) {
  if (const auto* text = node.as_string()) return text->get();
  if (const auto* whole = node.as_integer()) return std::to_string(whole->get());
  if (const auto* number = node.as_floating_point()) {
    std::array<char, 32> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), number->get());
    if (error == std::errc()) return std::string(buffer.data(), end);
  }
  return std::nullopt;
}

template <typename Choice>
std::string ChoiceValue(const toml::node& node, std::string_view setting, const std::string& what,
                        const Refusal& refusal) {
  const auto* text = node.as_string();
  if (text == nullptr)
    refusal.Throw(LineOf(node), setting,
                  "is " + TypeName(node) + "; give a text, one of " + Choices(AliasesOf<Choice>()));
  std::string caption;
  if (std::string refused = RefuseChoiceName<Choice>(text->get(), what, caption); !refused.empty()) {
    refusal.Throw(LineOf(node), setting, refused);
  }
  return caption;
}

std::string HypothesisValue(const toml::node& node, const Refusal& refusal) {
  std::string names;
  for (const Term<Hypothesis>& term : Vocabulary<Hypothesis>::Terms) {
    names += (names.empty() ? "\"" : ", \"") + std::string(term.CliSpellings[0]) + "\"";
  }
  const auto* text = node.as_string();
  if (text == nullptr)
    refusal.Throw(LineOf(node), "hypothesis", "is " + TypeName(node) + "; give a text, one of " + names);
  for (const Term<Hypothesis>& term : Vocabulary<Hypothesis>::Terms) {
    if (text->get() == term.CliSpellings[0]) return text->get();
  }
  refusal.Throw(LineOf(node), "hypothesis", "\"" + text->get() + "\" is not a null hypothesis; choose one of " + names);
}

// "none", or the level's short name; its caption and a whole number are
// taken too.
std::string LevelValue(const toml::node& node, const Refusal& refusal) {
  std::string choices = "\"none\"";
  for (const Term<InteractionLevel>& term : Vocabulary<InteractionLevel>::Terms) {
    choices += ", \"" + std::string(term.Caption) + "\"";
  }
  std::string text;
  if (const auto* whole = node.as_integer()) {
    text = std::to_string(whole->get());
  } else if (const auto* written = node.as_string()) {
    text = written->get();
  } else {
    refusal.Throw(LineOf(node), ColumnNames[LevelColumn], "is " + TypeName(node) + "; give one of " + choices);
  }
  if (text == "none") return text;
  for (const Term<InteractionLevel>& term : Vocabulary<InteractionLevel>::Terms) {
    if (text == term.CliSpellings[0] || text == term.Caption) return std::string(term.CliSpellings[0]);
  }
  refusal.Throw(LineOf(node), ColumnNames[LevelColumn],
                "\"" + text + "\" is not an interaction level; choose one of " + choices);
}

std::string BooleanValue(const toml::node& node, std::string_view setting, const Refusal& refusal) {
  const auto* flag = node.as_boolean();
  if (flag == nullptr) refusal.Throw(LineOf(node), setting, "is " + TypeName(node) + "; give true or false");
  return flag->get() ? "yes" : "no";
}

std::string NumberValue(const toml::node& node, std::string_view setting, const Refusal& refusal) {
  std::optional<std::string> text = NumberText(node);
  if (!text) refusal.Throw(LineOf(node), setting, "is " + TypeName(node) + "; give a number");
  return *text;
}

std::string ReadValue(Column column, const toml::node& node, const Refusal& refusal) {
  const std::string_view name = ColumnNames[column];
  switch (column) {
    case HypothesisColumn:
      return HypothesisValue(node, refusal);
    case SitesColumn:
    case SpeciesColumn:
      return BooleanValue(node, name, refusal);
    case LevelColumn:
      return LevelValue(node, refusal);
    case RowConstraintColumn:
      return ChoiceValue<Constraint>(node, name, "row constraint", refusal);
    case ColumnConstraintColumn:
      return ChoiceValue<Constraint>(node, name, "column constraint", refusal);
    case IndexColumn:
      return ChoiceValue<CooccurrenceIndex>(node, name, "co-occurrence index", refusal);
    case AlgorithmColumn:
      return ChoiceValue<FixedFixedAlgorithm>(node, name, "fixed-fixed algorithm", refusal);
    case DegenerateColumn:
      return ChoiceValue<DegenerateTreatment>(node, name, "treatment of degenerate matrices", refusal);
    case EmptySitesColumn:
      return ChoiceValue<EmptySiteTreatment>(node, name, "treatment of empty sites", refusal);
    default:
      return NumberValue(node, name, refusal);
  }
}

// Each setting's default, as tessil-cli run takes it when not given.
Study Defaults(std::int64_t line) {
  const EcoSimTestOptions o;
  const std::array<std::string, ColumnCount> texts = {std::string(TermOf(Hypothesis::NoInteractions).CliSpellings[0]),
                                                      "no",
                                                      "no",
                                                      "none",
                                                      "10",
                                                      "10",
                                                      std::string(Caption(o.RowConstraint)),
                                                      std::string(Caption(o.ColumnConstraint)),
                                                      std::string(Caption(o.Index)),
                                                      std::string(Caption(o.Algorithm)),
                                                      std::string(Caption(o.DegenerateMatrices)),
                                                      std::string(Caption(o.EmptySites)),
                                                      o.EcoSimIterations};
  Study study;
  for (std::size_t k = 0; k < ColumnCount; ++k) study[k] = Value{texts[k], line, false};
  return study;
}

std::optional<Column> ColumnNamed(std::string_view name) {
  for (std::size_t k = 0; k < ColumnCount; ++k) {
    if (ColumnNames[k] == name) return static_cast<Column>(k);
  }
  return std::nullopt;
}

bool IsPlanSetting(std::string_view name) {
  return std::find(PlanSettings.begin(), PlanSettings.end(), name) != PlanSettings.end();
}

[[noreturn]] void RefuseKey(const toml::key& key, bool inTable, const Refusal& refusal) {
  const std::int64_t line = key.source().begin.line;
  if (inTable && IsPlanSetting(key.str())) {
    refusal.Throw(line, key.str(), "is a setting of the whole plan; write it at the top, before any table");
  }
  if (!inTable && ColumnNamed(key.str())) {
    refusal.Throw(line, key.str(), "is a study setting; write it under [sweep] or [[study]]");
  }
  refusal.Throw(line, key.str(),
                "is not a setting of a sweep plan; the study settings are tessil-cli run's options without \"--\"");
}

// The [sweep] table: every setting one value or a non-empty list.
std::array<std::vector<Value>, ColumnCount> ReadSweep(const toml::table& table, const Refusal& refusal) {
  const Study defaults = Defaults(LineOf(table));
  std::array<std::vector<Value>, ColumnCount> lists;
  for (std::size_t k = 0; k < ColumnCount; ++k) lists[k] = {defaults[k]};
  for (const auto& [key, node] : table) {
    const std::optional<Column> column = ColumnNamed(key.str());
    if (!column) RefuseKey(key, true, refusal);
    std::vector<Value>& values = lists[*column];
    values.clear();
    if (const auto* list = node.as_array()) {
      if (list->empty()) {
        refusal.Throw(LineOf(node), key.str(), "an empty list gives no studies; give at least one value");
      }
      for (const toml::node& element : *list) {
        values.push_back(Value{ReadValue(*column, element, refusal), LineOf(element), true});
      }
    } else {
      values.push_back(Value{ReadValue(*column, node, refusal), LineOf(node), true});
    }
  }
  return lists;
}

// A [[study]] table: one value per setting.
Study ReadStudy(const toml::table& table, const Refusal& refusal) {
  Study study = Defaults(LineOf(table));
  for (const auto& [key, node] : table) {
    const std::optional<Column> column = ColumnNamed(key.str());
    if (!column) RefuseKey(key, true, refusal);
    if (node.is_array()) {
      refusal.Throw(LineOf(node), key.str(),
                    "a [[study]] is one study and takes one value per setting; write lists under [sweep]");
    }
    study[*column] = Value{ReadValue(*column, node, refusal), LineOf(node), true};
  }
  return study;
}

template <typename Choice>
Choice ChoiceOf(const Value& value) {
  return *FromCaption<Choice>(value.Text);
}

// The name a choice is written by in an identity and a command line: its
// first short name, or its caption in the short names' form.
template <typename Choice>
std::string CanonicalName(Choice value) {
  const Term<Choice>& term = TermOf(value);
  return term.CliSpellings[0].empty() ? Normalise(std::string(term.Caption)) : std::string(term.CliSpellings[0]);
}

// The plan's own settings and where they are written.
struct PlanValues {
  Value Iterations{"100", 1, false};
  Value Seed{"0", 1, false};
  Value EcoSimSeed{"0", 1, false};
};

StudyTexts TextsOf(const Study& study, const PlanValues& plan) {
  StudyTexts texts;
  for (const Term<Hypothesis>& term : Vocabulary<Hypothesis>::Terms) {
    if (study[HypothesisColumn].Text == term.CliSpellings[0]) texts.Choices.NullHypothesis = term.Value;
  }
  texts.Choices.AssumeSitesEquivalent = study[SitesColumn].Text == "yes";
  texts.Choices.AssumeSpeciesEquivalent = study[SpeciesColumn].Text == "yes";
  for (const Term<InteractionLevel>& term : Vocabulary<InteractionLevel>::Terms) {
    if (study[LevelColumn].Text == term.CliSpellings[0]) texts.Choices.AssumedLevel = term.Value;
  }
  texts.Rows = study[RowsColumn].Text;
  texts.Cols = study[ColsColumn].Text;
  EcoSimTestOptions& o = texts.Options;
  o.RowConstraint = ChoiceOf<Constraint>(study[RowConstraintColumn]);
  o.ColumnConstraint = ChoiceOf<Constraint>(study[ColumnConstraintColumn]);
  o.Index = ChoiceOf<CooccurrenceIndex>(study[IndexColumn]);
  o.Algorithm = ChoiceOf<FixedFixedAlgorithm>(study[AlgorithmColumn]);
  o.DegenerateMatrices = ChoiceOf<DegenerateTreatment>(study[DegenerateColumn]);
  o.EmptySites = ChoiceOf<EmptySiteTreatment>(study[EmptySitesColumn]);
  o.EcoSimIterations = study[EcoSimIterationsColumn].Text;
  o.EcoSimSeed = plan.EcoSimSeed.Text;
  texts.Iterations = plan.Iterations.Text;
  texts.Seed = plan.Seed.Text;
  return texts;
}

// A value as the plan writes it, to name it beside a refusal.
std::string Written(Column column, const Value& value) {
  if (column == SitesColumn || column == SpeciesColumn) return value.Text == "yes" ? "true" : "false";
  if (column == RowsColumn || column == ColsColumn) return value.Text;
  return "\"" + value.Text + "\"";
}

[[noreturn]] void RefuseStudy(const Study& study, const PlanValues& plan, const CheckedStudy& checked,
                              const Refusal& refusal) {
  for (const auto& [name, value] : {std::pair{"iterations", &plan.Iterations}, std::pair{"seed", &plan.Seed},
                                    std::pair{"ecosim-seed", &plan.EcoSimSeed}}) {
    if (checked.Setting == name) refusal.Throw(value->Line, name, checked.Refusal);
  }
  // Refusals of a combination name its first setting and the others involved.
  std::vector<Column> others;
  Column first = *ColumnNamed(checked.Setting);
  if (first == HypothesisColumn) {
    for (Column c : {SitesColumn, SpeciesColumn, LevelColumn}) {
      if (study[c].Text != Defaults(0)[c].Text) others.push_back(c);
    }
    if (!study[HypothesisColumn].Written && !others.empty()) std::swap(first, others.front());
  } else if (first == RowsColumn && CheckMatrixSize(study[RowsColumn].Text, true).Accepted()) {
    others = {ColsColumn};
  }
  std::string with;
  for (Column c : others)
    with += (with.empty() ? " (with " : ", ") + std::string(ColumnNames[c]) + " = " + Written(c, study[c]);
  if (!with.empty()) with += ")";
  refusal.Throw(study[first].Line, ColumnNames[first], checked.Refusal + with);
}

// A text as one word of a POSIX shell's command line.
std::string ShellWord(const std::string& text) {
  const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) {
    return std::isalnum(c) != 0 || std::string_view("._%+-").find(static_cast<char>(c)) != std::string_view::npos;
  });
  if (plain) return text;
  std::string word = "'";
  for (const char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

std::int32_t DerivedSeed(const std::string& planSeed, const std::string& id) {
  return static_cast<std::int32_t>(Fnv1a64(planSeed + ":" + id) >> 33);
}

}  // namespace

SweepPlan ParseSweepPlan(std::string_view text, const std::string& fileName, const std::atomic<bool>* interrupted) {
  const Refusal refusal(fileName);
  const auto checkInterrupted = [interrupted] {
    if (interrupted != nullptr && interrupted->load()) throw SweepPlanInterrupted("reading the plan was interrupted");
  };
  toml::table document;
  try {
    document = toml::parse(text, fileName);
  } catch (const toml::parse_error& e) {
    throw SweepPlanError(fileName + ":" + std::to_string(e.source().begin.line) + ":" +
                         std::to_string(e.source().begin.column) + ": " + std::string(e.description()));
  }
  checkInterrupted();

  PlanValues plan;
  std::string title;
  std::optional<std::array<std::vector<Value>, ColumnCount>> sweep;
  std::int64_t sweepLine = 1;
  const toml::array* extraTables = nullptr;
  for (const auto& [key, node] : document) {
    const std::string name(key.str());
    if (name == "title") {
      const auto* written = node.as_string();
      if (written == nullptr) refusal.Throw(LineOf(node), name, "is " + TypeName(node) + "; give a text");
      title = written->get();
    } else if (IsPlanSetting(name)) {
      if (node.is_array()) refusal.Throw(LineOf(node), name, "is one value for the whole plan, not a list");
      Value value{NumberValue(node, name, refusal), LineOf(node), true};
      (name == "iterations" ? plan.Iterations : name == "seed" ? plan.Seed : plan.EcoSimSeed) = value;
    } else if (name == "sweep") {
      const auto* table = node.as_table();
      if (table == nullptr)
        refusal.Throw(LineOf(node), name, "is " + TypeName(node) + "; write it as the table [sweep]");
      sweep = ReadSweep(*table, refusal);
      sweepLine = LineOf(node);
    } else if (name == "study") {
      const auto* tables = node.as_array();
      if (tables == nullptr || !tables->is_array_of_tables()) {
        refusal.Throw(LineOf(node), name, "write each extra study as a table [[study]]");
      }
      extraTables = tables;
    } else {
      RefuseKey(key, false, refusal);
    }
  }

  // A plan beyond any sweep that could be run is refused before a study is
  // spelled out, which alone could exhaust the memory: the product of the
  // lists and the [[study]] tables together.
  std::size_t product = 0;
  if (sweep) {
    product = 1;
    for (const std::vector<Value>& values : *sweep) {
      product = product > MostStudies / values.size() ? MostStudies + 1 : product * values.size();
    }
  }
  const std::size_t tableCount = extraTables != nullptr ? extraTables->size() : 0;
  if (product + tableCount > MostStudies) {
    refusal.Throw(sweepLine, "sweep",
                  std::string(tableCount == 0 ? "the lists make" : "the lists and the [[study]] tables make") +
                      " more than " + std::to_string(MostStudies) + " studies; split the plan");
  }
  if (product + tableCount == 0) {
    refusal.Throw(1, "sweep", "the plan has no studies; give a [sweep] table or [[study]] tables");
  }

  SweepPlan result;
  result.Title = title;
  result.Studies.reserve(product + tableCount);
  std::unordered_set<std::string> seen;
  seen.reserve(product + tableCount);
  const Study defaults = Defaults(0);
  const std::string planEcoSimSeed = CheckEcoSimSeed(plan.EcoSimSeed.Text).Text;
  std::string planSeed;
  // The product, the last setting turning fastest, then the [[study]]
  // tables: each combination is made, checked and kept in turn.
  std::array<std::size_t, ColumnCount> at{};
  for (std::size_t place = 0; place < product + tableCount; ++place) {
    if (place % 4096 == 0) checkInterrupted();
    Study study;
    if (place < product) {
      for (std::size_t k = 0; k < ColumnCount; ++k) study[k] = (*sweep)[k][at[k]];
      for (std::size_t k = ColumnCount; k-- > 0;) {
        if (++at[k] < (*sweep)[k].size()) break;
        at[k] = 0;
      }
    } else {
      study = ReadStudy(*(*extraTables)[place - product].as_table(), refusal);
    }
    // A setting that does not apply to the study takes its default, so that
    // it makes no study of its own.
    StudyTexts texts = TextsOf(study, plan);
    if (!texts.Options.IsFixedFixed()) study[AlgorithmColumn] = defaults[AlgorithmColumn];
    if (!texts.Options.UsesEmptySites()) study[EmptySitesColumn] = defaults[EmptySitesColumn];
    texts = TextsOf(study, plan);
    const CheckedStudy checked = CheckStudy(texts);
    if (!checked.Refusal.empty()) RefuseStudy(study, plan, checked, refusal);
    result.NumIterations = checked.Request.NumIterations;
    result.AsksToContinue = checked.AsksToContinue;
    planSeed = std::to_string(checked.Request.RandomSeed);

    const EcoSimTestOptions& o = checked.Request.Inputs.Options;
    const std::array<std::string, ColumnCount> canonical = {study[HypothesisColumn].Text,
                                                            study[SitesColumn].Text,
                                                            study[SpeciesColumn].Text,
                                                            study[LevelColumn].Text,
                                                            checked.Request.Inputs.Rows,
                                                            checked.Request.Inputs.Cols,
                                                            CanonicalName(o.RowConstraint),
                                                            CanonicalName(o.ColumnConstraint),
                                                            CanonicalName(o.Index),
                                                            CanonicalName(o.Algorithm),
                                                            CanonicalName(o.DegenerateMatrices),
                                                            CanonicalName(o.EmptySites),
                                                            o.EcoSimIterations};
    std::string identity;
    SweepStudy made;
    made.Settings.reserve(ColumnCount);
    for (std::size_t k = 0; k < ColumnCount; ++k) {
      made.Settings.push_back({ColumnNames[k], canonical[k]});
      if ((k == AlgorithmColumn && !o.IsFixedFixed()) || (k == EmptySitesColumn && !o.UsesEmptySites())) continue;
      identity += std::string(ColumnNames[k]) + "=" + canonical[k] + "\n";
    }
    made.Id = Hex16(Fnv1a64(identity));
    if (!seen.insert(made.Id).second) {
      ++result.Repeats;
      continue;
    }

    // The study's own seeds, and the request tessil-cli run makes with them.
    const std::int32_t seed = DerivedSeed(planSeed, made.Id);
    const std::int32_t ecosimSeed = DerivedSeed(planEcoSimSeed, made.Id);
    texts.Seed = std::to_string(seed);
    texts.Options.EcoSimSeed = std::to_string(ecosimSeed);
    made.Request = CheckStudy(texts).Request;
    made.Request.Inputs.Summary = std::string();

    std::string& command = made.RunCommand;
    command = "tessil-cli run --hypothesis " + canonical[HypothesisColumn];
    if (canonical[SitesColumn] == "yes") command += " --assume-sites-equivalent";
    if (canonical[SpeciesColumn] == "yes") command += " --assume-species-equivalent";
    if (canonical[LevelColumn] != "none") command += " --assume-interaction-level " + canonical[LevelColumn];
    command += " --rows " + canonical[RowsColumn] + " --cols " + canonical[ColsColumn];
    // A count that rounds to none is run's too: it is given as written.
    const std::string iterations =
        made.Request.NumIterations > 0 ? std::to_string(made.Request.NumIterations) : ShellWord(plan.Iterations.Text);
    command += " --iterations " + iterations + " --seed " + std::to_string(seed);
    for (Column c : {RowConstraintColumn, ColumnConstraintColumn, IndexColumn, AlgorithmColumn, DegenerateColumn,
                     EmptySitesColumn, EcoSimIterationsColumn}) {
      if ((c == AlgorithmColumn && !o.IsFixedFixed()) || (c == EmptySitesColumn && !o.UsesEmptySites())) continue;
      command += " --" + std::string(ColumnNames[c]) + " " + canonical[c];
    }
    command += " --ecosim-seed " + std::to_string(ecosimSeed);
    if (result.AsksToContinue) command += " --yes";
    // Kept for every study of a plan that may hold many: no spare room.
    command.shrink_to_fit();
    result.Studies.push_back(std::move(made));
  }

  std::string hashed = "tessil-sweep-plan 1\niterations=" + std::to_string(result.NumIterations) +
                       "\nseed=" + planSeed + "\necosim-seed=" + planEcoSimSeed + "\n";
  for (const SweepStudy& study : result.Studies) hashed += study.Id + "\n";
  result.Hash = Hex16(Fnv1a64(hashed));
  return result;
}

StudyRequest RequestToRun(const SweepStudy& study) {
  StudyRequest request = study.Request;
  const EcoSimTestOptions& o = request.Inputs.Options;
  request.Inputs.Summary = o == EcoSimTestOptions{} ? std::string(InitialTestSummary) : BuildTestSummary(o);
  return request;
}

std::string ReadSweepPlanBytes(const std::filesystem::path& file, const std::atomic<bool>* interrupted) {
  namespace fs = std::filesystem;
  const std::string name = file.string();
  const auto refuse = [&name](const std::string& why) { throw SweepPlanError("cannot read \"" + name + "\": " + why); };
  std::error_code error;
  const fs::file_status status = fs::status(file, error);
  if (error && !fs::exists(status)) refuse(std::generic_category().message(ENOENT));
  if (fs::is_directory(status)) refuse("it is a folder, not a file");
  // A pipe or a device could be read from for ever, or wait for ever.
  if (!fs::is_regular_file(status)) refuse("it is not a regular file (a pipe or a device); give a plan file");
  const std::uintmax_t size = fs::file_size(file, error);
  const auto tooLarge = [&](std::uintmax_t bytes) {
    refuse("it is " + std::to_string((bytes + (std::uintmax_t{1} << 20) - 1) >> 20) + " MiB; a plan is read up to " +
           std::to_string(MostPlanBytes >> 20) + " MiB (" + std::to_string(MostPlanBytes) + " bytes); split the plan");
  };
  if (!error && size > MostPlanBytes) tooLarge(size);
  std::ifstream in(file, std::ios::binary);
  if (!in) refuse(std::generic_category().message(errno != 0 ? errno : EIO));
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(std::min(size, MostPlanBytes)));
  std::string chunk(std::size_t{1} << 20, '\0');
  // In pieces, so that Ctrl-C is answered and a file that grows while it is
  // read stops at the limit.
  while (in) {
    if (interrupted != nullptr && interrupted->load()) throw SweepPlanInterrupted("reading the plan was interrupted");
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    bytes.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > MostPlanBytes) tooLarge(bytes.size());
  }
  if (in.bad()) refuse(std::generic_category().message(errno != 0 ? errno : EIO));
  return bytes;
}

SweepPlan ReadSweepPlan(const std::filesystem::path& file, const std::atomic<bool>* interrupted) {
  return ParseSweepPlan(ReadSweepPlanBytes(file, interrupted), file.string(), interrupted);
}

}  // namespace tessil::cli
