// The command line's progress: the bar follows the work done on a clock the
// test moves, and a long run is announced once, a few seconds in.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ProgressBar.h"

namespace tessil::cli {
namespace {

class MovedClock final : public Clock {
 public:
  double Now = 1000.0;
  double SecondsSinceMidnight() override { return Now; }
};

struct WatchedRun {
  RunSettings Settings;
  MovedClock Time;
  std::ostringstream Err;
  WatchedRun() {
    Settings.NumArguments = 36;
    Settings.NumIterations = 100;
    Settings.StartTime = Time.Now;
  }
  // What the bar wrote when the clock reads `at` and `work` matrices' worth
  // of work is done (`begun` matrices handed out).
  std::string At(ProgressBar& bar, double at, double work, int begun) {
    Time.Now = 1000.0 + at;
    Settings.WorkDone = work;
    Settings.TestsDone = begun;
    Err.str("");
    bar.Update(Settings);
    return Err.str();
  }
};

TEST(ProgressBar, FollowsTheWorkDoneAtMostTenTimesASecond) {
  WatchedRun r;
  ProgressBar bar(r.Err, r.Time, true);
  // Half the matrices handed out but a quarter of the work done in 45 s.
  EXPECT_EQ(r.At(bar, 45.0, 900, 1800),
            "\r[#######.......................]  25.0%  900/3600 matrices  time remaining 0:02:15 ");
  EXPECT_EQ(r.At(bar, 45.05, 900.5, 1800), "") << "redrawn at most ten times a second";
  // Within long tests the share of their null matrices moves the bar.
  EXPECT_EQ(r.At(bar, 46.0, 910.25, 1800),
            "\r[#######.......................]  25.3%  910/3600 matrices  time remaining 0:02:16 ");
  EXPECT_EQ(r.At(bar, 47.0, 3600, 3600),
            "\r[##############################] 100.0%  3600/3600 matrices  time remaining 0:00:00 ");
  r.Err.str("");
  bar.Finish();
  EXPECT_EQ(r.Err.str(), "\n");
}

TEST(ProgressBar, ARunOfMoreThanTenMinutesIsAnnouncedOnceAfterFiveSeconds) {
  const std::string notice = "tessil-cli: at its pace so far this run needs about 1:39:55 more; Ctrl-C stops it.\n";
  for (const bool drawBar : {false, true}) {
    SCOPED_TRACE(drawBar);
    WatchedRun r;
    ProgressBar bar(r.Err, r.Time, drawBar);
    // Too early to tell: no word yet.
    EXPECT_EQ(r.At(bar, 4.0, 2, 3).find("tessil-cli:"), std::string::npos);
    // 3 matrices' worth in 5 s: 3597 more need 5995 s.
    const std::string said = r.At(bar, 5.0, 3, 4);
    if (drawBar) {
      EXPECT_EQ(said.substr(0, 1 + notice.size()), "\n" + notice) << "below the bar drawn before";
    } else {
      EXPECT_EQ(said, notice);
    }
    EXPECT_EQ(r.At(bar, 60.0, 30, 31).find("tessil-cli:"), std::string::npos) << "said once";
  }
  // A run that will end within ten minutes is not announced.
  WatchedRun quick;
  ProgressBar bar(quick.Err, quick.Time, false);
  EXPECT_EQ(quick.At(bar, 5.0, 36, 37), "");
  EXPECT_EQ(quick.At(bar, 60.0, 36, 37), "") << "decided once, at the first estimate";
}

}  // namespace
}  // namespace tessil::cli
