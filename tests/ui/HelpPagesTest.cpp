// The help pages must define the arguments exactly as the engine draws them
// and explain every verdict the report can give: a reader who follows the
// report's footnote must find the truth.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QUrl>
#include <set>

#include "Distribution_Functions.h"
#include "HelpPages.h"
#include "Kernel_Procedures.h"
#include "OutputResults_Procedures.h"
#include "PowerChart.h"

namespace tessil::test {
namespace {

QString Page(const QString& topic) {
  QFile file(HelpPagesFolder() + "/" + topic);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << topic.toStdString();
  return QString::fromUtf8(file.readAll());
}

TEST(HelpPages, TheScenarioTableIsTheEnginesOwn) {
  const QString results = Page("Results.htm");
  const QRegularExpression row(
      "<tr><td>(\\d+)</td><td>[^<]*</td><td>([\\d.]+)</td><td>([\\d.]+)</td><td>([\\d.]+)</td><td>([\\d.]+)</td>"
      "<td>(yes|no)</td><td>(yes|no)</td></tr>");
  std::set<int> seen;
  for (auto match = row.globalMatch(results); match.hasNext();) {
    const QRegularExpressionMatch m = match.next();
    const int scenario = m.captured(1).toInt();
    SCOPED_TRACE(scenario);
    seen.insert(scenario);
    // A 2 x 2 matrix has one cell per quadrant.
    const OccupancyMatrix p = BuildOccupancyMatrix(scenario, 2, 2);
    EXPECT_EQ(m.captured(2).toDouble(), p(1, 1)) << "upper-left";
    EXPECT_EQ(m.captured(3).toDouble(), p(1, 2)) << "upper-right";
    EXPECT_EQ(m.captured(4).toDouble(), p(2, 1)) << "lower-left";
    EXPECT_EQ(m.captured(5).toDouble(), p(2, 2)) << "lower-right";
    const OccupancyMatrix large = BuildOccupancyMatrix(scenario, 9, 7);
    EXPECT_EQ(m.captured(6) == "yes", NullAdmitsOccupancy(Hypothesis::SitesEquivalent, large)) << "sites equivalent";
    EXPECT_EQ(m.captured(7) == "yes", NullAdmitsOccupancy(Hypothesis::SpeciesEquivalent, large))
        << "species equivalent";
  }
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(NumScenarios));
}

TEST(HelpPages, TheChartsIntervalExampleIsTheChartsOwn) {
  const QString results = Page("Results.htm");
  const QRegularExpression example(
      "(\\d+) rejections in (\\d+) give a Type I error rate of ([\\d.]+), but any true "
      "rate from about ([\\d.]+) to ([\\d.]+)");
  const QRegularExpressionMatch m = example.match(QString(results).replace(QRegularExpression("\\s+"), " "));
  ASSERT_TRUE(m.hasMatch());
  const RateInterval interval = ClopperPearson(m.captured(1).toInt(), m.captured(2).toInt());
  EXPECT_DOUBLE_EQ(m.captured(3).toDouble(), m.captured(1).toDouble() / m.captured(2).toDouble());
  EXPECT_NEAR(m.captured(4).toDouble(), interval.Lower, 0.005);
  EXPECT_NEAR(m.captured(5).toDouble(), interval.Upper, 0.005);
}

TEST(HelpPages, TheInteractionLevelsAreTheEnginesOwn) {
  const QString results = Page("Results.htm");
  const QRegularExpression row("<tr><td>(\\d)</td><td>(\\d+)%</td><td>([\\d.]+)</td>");
  int levels = 0;
  for (auto match = row.globalMatch(results); match.hasNext(); ++levels) {
    const QRegularExpressionMatch m = match.next();
    const int level = m.captured(1).toInt();
    EXPECT_EQ(m.captured(3).toDouble(), InteractionProportion(level)) << level;
    EXPECT_EQ(m.captured(2).toDouble() / 100, InteractionProportion(level)) << level;
    // Only the first level belongs to "No Interactions Between Species".
    EXPECT_EQ(InNullHypothesis(Hypothesis::NoInteractions, level, BuildOccupancyMatrix(12, 4, 4)), level == 1);
  }
  EXPECT_EQ(levels, NumLevels);
}

// The first sentence of every verdict line the report can print.
std::set<QString> VerdictSentences() {
  const PowerTable tables[] = {
      {{1, 1, true, 0.20}, {1, 2, false, 0.05}},  // high Type I error, biased, low power
      {{1, 1, true, 0.04}, {1, 2, false, 0.90}},  // tolerable, adequate power
  };
  std::set<QString> sentences;
  for (const PowerTable& table : tables) {
    const QString report =
        QString::fromStdString(BuildResultsReport(table, AnalyzeErrorRates(table), FixedRunInputs{}));
    const QRegularExpression verdict(R"(\*\*\*\*\*((?:Warning: )?Test [^.]*\.))");
    for (auto match = verdict.globalMatch(report); match.hasNext();) sentences.insert(match.next().captured(1));
  }
  return sentences;
}

TEST(HelpPages, EveryVerdictOfTheReportIsExplained) {
  const QString results = Page("Results.htm");
  const std::set<QString> sentences = VerdictSentences();
  EXPECT_EQ(sentences.size(), 5u);
  for (const QString& sentence : sentences) {
    EXPECT_TRUE(results.contains(sentence)) << sentence.toStdString();
  }
  EXPECT_TRUE(results.contains(QString::number(ErrorRateThreshold)));
}

TEST(HelpPages, EveryLinkLeadsToAPageOfTheHelp) {
  for (const char* topic : {"Getting Started.htm", "Results.htm", "Simulation.htm"}) {
    const QString page = Page(topic);
    EXPECT_TRUE(page.contains("<title>")) << topic;
    const QRegularExpression link("href=\"([^\"#]+)(#([^\"]+))?\"");
    for (auto match = link.globalMatch(page); match.hasNext();) {
      const QRegularExpressionMatch m = match.next();
      const QString target = QUrl::fromPercentEncoding(m.captured(1).toUtf8());
      EXPECT_TRUE(QFile::exists(HelpPagesFolder() + "/" + target)) << topic << " -> " << target.toStdString();
      if (!m.captured(3).isEmpty()) {
        EXPECT_TRUE(Page(target).contains("name=\"" + m.captured(3) + "\""))
            << topic << " -> " << m.captured(0).toStdString();
      }
    }
  }
}

}  // namespace
}  // namespace tessil::test
