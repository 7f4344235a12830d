#include <gtest/gtest.h>

#include <filesystem>

#include "tests/tools/run.h"

namespace {

using tools_testing::CountLines;
using tools_testing::ReadFile;
using tools_testing::RunCommand;

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          (name + "." + std::to_string(::getpid())))
      .string();
}

TEST(ShowHeadless, EscEndsTheShowWithExitCodeZeroAndOneExitRoutine) {
  const std::string trace = TempPath("trace");
  const auto result = RunCommand(std::string(SHOW_HEADLESS) + " --esc-at 70000 --trace " + trace);
  EXPECT_EQ(result.status, 0);
  const std::string lines = ReadFile(trace);
  EXPECT_EQ(CountLines(lines, "ExitRoutine"), 1) << lines;
  EXPECT_EQ(CountLines(lines, "Exit 0"), 1) << lines;
  EXPECT_NE(lines.find("70000 Close Esc"), std::string::npos) << lines;
  std::filesystem::remove(trace);
}

TEST(ShowHeadless, BadArgumentsExitTwo) {
  for (const char* args : {"--size 0x0", "--size 12", "--esc-at -4", "--bogus", "--trace"}) {
    EXPECT_EQ(RunCommand(std::string(SHOW_HEADLESS) + " " + args + " 2>/dev/null").status, 2) << args;
  }
}

}  // namespace
