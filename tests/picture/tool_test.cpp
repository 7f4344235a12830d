// picture-tool as a user runs it: output, exit codes and the PPM it writes.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "picture_fixtures.h"

namespace picture_test {
namespace {

struct ToolRun {
  int exit_code = -1;
  std::string out, err;
};

// Each test runs in a process of its own, in parallel with the others: names carry the pid.
std::filesystem::path TempFile(const std::string& name) {
  return std::filesystem::path(testing::TempDir()) / (std::to_string(::getpid()) + "-" + name);
}

ToolRun RunTool(const std::string& args) {
  const std::string out = TempFile("tool.out").string(), err = TempFile("tool.err").string();
  const std::string command = std::string(PICTURE_TOOL) + " " + args + " >" + out + " 2>" + err;
  const int status = std::system(command.c_str());
  ToolRun run;
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const Bytes o = ReadFile(out), e = ReadFile(err);
  run.out.assign(o.begin(), o.end());
  run.err.assign(e.begin(), e.end());
  return run;
}

TEST(PictureTool, DecodesAGoodFile) {
  const std::string ppm = TempFile("rose.ppm").string();
  const ToolRun run = RunTool("decode " + FixturePath("im-small-frame.gif") + " " + ppm);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, "gif 70 50\n");
  EXPECT_EQ(run.err, "");
  const auto picture = Decode(ReadFile(FixturePath("im-small-frame.gif")));
  ASSERT_TRUE(picture);
  const Ppm written = ReadPpm(ppm);
  EXPECT_EQ(written.width, 70);
  EXPECT_EQ(written.pixels, stage::MakeScreenBitmap(*picture).pixels);
}

TEST(PictureTool, RefusedOrUnreadableFiles) {
  const std::string ppm = TempFile("bad.ppm").string();
  for (const std::string& in : {FixturePath("bmp8-rle.bmp"), FixturePath("make-fixtures.sh"),
                                FixturePath("no-such-file.gif")}) {
    const ToolRun run = RunTool("decode " + in + " " + ppm);
    EXPECT_EQ(run.exit_code, 1) << in;
    EXPECT_EQ(run.out, "") << in;
    ASSERT_FALSE(run.err.empty()) << in;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
  }
}

TEST(PictureTool, BadUsage) {
  EXPECT_EQ(RunTool("").exit_code, 2);
  EXPECT_EQ(RunTool("decode only-one-file").exit_code, 2);
  EXPECT_EQ(RunTool("encode a b").exit_code, 2);
}

}  // namespace
}  // namespace picture_test
