// The ravo-identify command, run as users and scripts run it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/Process.h"
#include "tests/support/TestSupport.h"

namespace ravo {
namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class RavoIdentifyTest : public ::testing::Test {
 protected:
  // Runs the program with the arguments (already quoted for the shell) and
  // the text on its standard input.
  Outcome Start(const std::string& program, const std::string& args,
                const std::string& input = "") {
    test::WriteFile(dir_ / "in", input);
    std::string command =
        program + " " + args + " <" + dir_ / "in" + " >" + dir_ / "out" + " 2>" + dir_ / "err";
    int status = std::system(command.c_str());
    Outcome run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = test::ReadFile(dir_ / "out");
    run.err = test::ReadFile(dir_ / "err");
    return run;
  }

  std::string File(const std::string& name, const std::string& bytes) {
    test::WriteFile(dir_ / name, bytes);
    return dir_ / name;
  }

  test::TempDir dir_;
  std::string tool_ = platform::ExecutableDir() + "ravo-identify";
};

TEST_F(RavoIdentifyTest, PrintsTypeTabPathForEachArgument) {
  std::string jpeg = File("photo.dat", "\xFF\xD8\xFF\xE0 JFIF");
  std::string text = File("notes", "plain");
  Outcome run = Start(tool_, "'" + jpeg + "' '" + text + "' '" + dir_ / "gone.MP3" + "'");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, ".jpg\t" + jpeg + "\n\t" + text + "\n.mp3\t" + dir_ / "gone.MP3" + "\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(RavoIdentifyTest, ReadsPathsFromStandardInputWithoutArguments) {
  std::string pdf = File("a b.jpg", "%PDF-1.4");
  Outcome run = Start(tool_, "", pdf + "\n" + dir_ / "x.Flv" + "\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, ".pdf\t" + pdf + "\n.flv\t" + dir_ / "x.Flv" + "\n");
}

TEST_F(RavoIdentifyTest, HelpExplainsTheOutput) {
  Outcome run = Start(tool_, "--help");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("ravo-identify"), std::string::npos);
  EXPECT_NE(run.out.find("ext.dll"), std::string::npos);
}

TEST_F(RavoIdentifyTest, DatabaseErrorsGoToStandardErrorAndExitOne) {
  // A copy of the program beside an ext.dll that exists but cannot be read.
  std::string copy = dir_ / "bin/ravo-identify";
  test::WriteFile(copy, test::ReadFile(tool_));
  ASSERT_EQ(::chmod(copy.c_str(), 0755), 0);
  ASSERT_EQ(::symlink("ext.dll", (dir_ / "bin/ext.dll").c_str()), 0);
  std::string first = File("one.mp3", "x");
  std::string second = File("two.jpg", "y");
  Outcome run = Start(copy, "'" + first + "' '" + second + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find(first + ": "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(second + ": "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("ext.dll"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace ravo
