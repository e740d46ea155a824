#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "AtomicOutputFile.h"
#include "CommandLine.h"
#include "FieldmapError.h"
#include "ProgressReporter.h"
#include "TempDirectory.h"

namespace {

ExitStatus StatusOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const FieldmapError& error) {
    return error.Status();
  }
  return ExitStatus::kSuccess;
}

TEST(CommandLineParsing, TakesValuesInBothFormsRepeatsAndPositionals) {
  CommandLine line({{"out", true, false}, {"field", true, true}, {"conserve", false, false}}, 1);
  line.Parse({"mesh.vtu", "--out=a.zdb", "--field", "T=NT", "--field=V=U_D", "--conserve"});
  EXPECT_EQ(line.Positionals(), std::vector<std::string>{"mesh.vtu"});
  EXPECT_EQ(line.Value("out"), "a.zdb");
  EXPECT_EQ(line.Values("field"), (std::vector<std::string>{"T=NT", "V=U_D"}));
  EXPECT_TRUE(line.Has("conserve"));
  EXPECT_FALSE(line.HelpRequested());
  EXPECT_EQ(line.Value("missing", "fallback"), "fallback");
}

TEST(CommandLineParsing, MistakesAreUsageErrors) {
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--bogus"},
                                                    {"--out"},
                                                    {"--out", "a", "--out", "b"},
                                                    {"a.vtu", "b.vtu"},
                                                    {"--conserve=yes"},
                                                    {"--size", "12x"}}) {
    CommandLine line({{"out", true, false}, {"conserve", false, false}, {"size", true, false}}, 1);
    EXPECT_EQ(StatusOf([&] {
                line.Parse(arguments);
                line.IntValue("size", 1);
              }),
              ExitStatus::kUsage)
        << arguments[0];
  }
  CommandLine good({{"size", true, false}}, 0);
  good.Parse({"--size=-7", "-h"});
  EXPECT_EQ(good.IntValue("size", 1), -7);
  EXPECT_TRUE(good.HelpRequested());
}

TEST(ProgressOutput, PlainLinesWhenNotATerminal) {
  std::ostringstream out;
  double now = 0.0;
  ProgressReporter progress(out, false, [&now] { return now; });
  progress.Begin("read mesh.vtu");
  now = 5.0;
  progress.Update(0.5);
  EXPECT_DOUBLE_EQ(progress.End(), 5.0);
  EXPECT_EQ(out.str(), "read mesh.vtu ...\nread mesh.vtu done in 5.00 s\n");
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
  EXPECT_NE(out.str().find("\r\033[Kmap done in 2.00 s\n"), std::string::npos);
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

TEST(AtomicOutput, NothingAppearsUnlessCommitted) {
  TempDirectory directory;
  const std::string target = directory.Path("out.zdb");
  {
    AtomicOutputFile output(target);
    EXPECT_EQ(output.TemporaryPath().substr(output.TemporaryPath().size() - 4), ".zdb");
    std::ofstream(output.TemporaryPath()) << "half";
  }
  EXPECT_TRUE(std::filesystem::is_empty(directory.Root()));
  {
    AtomicOutputFile output(target);
    std::ofstream(output.TemporaryPath()) << "whole";
    output.Commit();
  }
  std::ifstream in(target);
  std::string text;
  in >> text;
  EXPECT_EQ(text, "whole");
  EXPECT_EQ(StatusOf([&] { AtomicOutputFile(directory.Path("no/such/dir/out.zdb")); }),
            ExitStatus::kBadInput);
}

}  // namespace
