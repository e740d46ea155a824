#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <sstream>
#include <thread>

#include "CommandLine.h"
#include "FieldmapError.h"
#include "ProgressReporter.h"

namespace {

ExitStatus StatusOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const FieldmapError& error) {
    return error.Status();
  }
  return ExitStatus::kSuccess;
}

TEST(CommandLineParsing, TakesBothFormsRepeatsAndPositionalsAndRefusesMistakes) {
  const std::vector<OptionSpec> options = {{"out", true, false},
                                           {"field", true, true},
                                           {"fill", true, false},
                                           {"conserve", false, false}};
  CommandLine line(options, 1);
  line.Parse({"mesh.vtu", "--out=-7", "--field", "T=NT", "--field=V=U_D", "--fill", "-2.5", "-h"});
  EXPECT_EQ(line.Positionals(), std::vector<std::string>{"mesh.vtu"});
  EXPECT_EQ(line.IntValue("out", 1), -7);
  EXPECT_EQ(line.DoubleValue("fill", 0.0), -2.5);
  EXPECT_EQ(line.Values("field"), (std::vector<std::string>{"T=NT", "V=U_D"}));
  EXPECT_TRUE(line.HelpRequested() && !line.Has("conserve"));
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--bogus"},
                                                    {"--out"},
                                                    {"--out", "1", "--out", "2"},
                                                    {"a.vtu", "b.vtu"},
                                                    {"--conserve=yes"},
                                                    {"--out", "12x"},
                                                    {"--fill", "nan"}}) {
    CommandLine wrong(options, 1);
    EXPECT_EQ(StatusOf([&] {
                wrong.Parse(arguments);
                wrong.IntValue("out", 1);
                wrong.DoubleValue("fill", 0.0);
              }),
              ExitStatus::kUsage)
        << arguments[0];
  }
}

TEST(ProgressOutput, BarOnATerminalOnlyAfterASecondAndClearedAtTheEnd) {
  std::ostringstream out;
  double now = 0.0;
  ProgressReporter progress(out, true, [&now] { return now; });
  progress.Begin("map");
  now = 0.5;
  progress.Update(0.2);
  EXPECT_EQ(out.str(), "");
  now = 1.5;
  progress.Update(0.5);
  EXPECT_EQ(out.str(), "\rmap [###############               ]  50%");
  now = 1.55;
  progress.Update(0.6);  // too soon to redraw
  EXPECT_EQ(out.str().find("60%"), std::string::npos);
  now = 2.0;
  progress.End();
  EXPECT_NE(out.str().find("\r\033[Kmap done in 2.000 s\n"), std::string::npos);
  // A short phase on a terminal leaves no trace.
  std::ostringstream quiet;
  ProgressReporter fast(quiet, true, [&now] { return now; });
  fast.Begin("save");
  fast.End();
  EXPECT_EQ(quiet.str(), "");
}

// Work that tells nothing of its progress shows a moving block and the seconds, then the line
// is cleared; the fake clock gains half a second each time the reporter looks at it.
TEST(ProgressOutput, WorkWithoutProgressShowsThatItGoesOn) {
  std::ostringstream out;
  std::atomic<int> looks{0};
  ProgressReporter progress(out, true, [&looks] { return 0.5 * looks++; });
  progress.RunPhase("save", [&looks] {
    while (looks < 6) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  EXPECT_EQ(out.str().rfind("\rsave [", 0), 0u) << out.str();
  EXPECT_NE(out.str().find("#] 1.0 s\rsave ["), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("\r\033[Ksave done in"), std::string::npos) << out.str();
  EXPECT_THROW(progress.RunPhase("fail", [] { throw std::runtime_error("disk"); }),
               std::runtime_error);
}

}  // namespace
