// The ravo-watch program, run as a user runs it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "platform/Process.h"
#include "tests/support/TestSupport.h"

namespace ravo {
namespace {

// The tool in a child process, its output read through pipes.
class Tool {
 public:
  explicit Tool(std::vector<std::string> args) {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    std::string program = platform::ExecutableDir() + "ravo-watch";
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::dup2(err[1], 2);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
    ::fcntl(out_, F_SETFL, O_NONBLOCK);
    ::fcntl(err_, F_SETFL, O_NONBLOCK);
  }

  ~Tool() {
    if (pid_ > 0 && !status_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(out_);
    ::close(err_);
  }

  bool WaitForOutput(const std::string& text) {
    return test::WaitFor([&] { return Drain(out_, stdout_).find(text) != std::string::npos; });
  }
  bool WaitForStatus(const std::string& text) {
    return test::WaitFor([&] { return Drain(err_, stderr_).find(text) != std::string::npos; });
  }
  const std::string& Output() { return Drain(out_, stdout_); }

  // Sends the signal and returns the exit status, if the tool ended in time.
  std::optional<int> Stop(int signal) {
    ::kill(pid_, signal);
    test::WaitFor([&] {
      int status;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
      return status_.has_value();
    });
    if (!status_ || !WIFEXITED(*status_)) return std::nullopt;
    return WEXITSTATUS(*status_);
  }

 private:
  static const std::string& Drain(int fd, std::string& into) {
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) into.append(buffer, static_cast<std::size_t>(n));
    return into;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::string stdout_;
  std::string stderr_;
  std::optional<int> status_;
};

class RavoWatchToolTest : public testing::Test {
 protected:
  test::TempDir dir;
};

TEST_F(RavoWatchToolTest, PrintsEachChangeAsALineAndEndsCleanlyOnSigterm) {
  Tool tool({dir.Path()});
  ASSERT_TRUE(tool.WaitForStatus("已开始监视"));
  test::WriteFile(dir / "a.txt", "a");
  std::filesystem::rename(dir / "a.txt", dir / "b.txt");
  std::filesystem::remove(dir / "b.txt");
  EXPECT_TRUE(tool.WaitForOutput("removed\t" + (dir / "b.txt") + "\t\n"));
  EXPECT_EQ(tool.Output(), "added\t" + (dir / "a.txt") + "\t\n" +
                               "renamed\t" + (dir / "a.txt") + "\t" + (dir / "b.txt") + "\n" +
                               "removed\t" + (dir / "b.txt") + "\t\n");
  EXPECT_EQ(tool.Stop(SIGTERM), 0);
}

TEST_F(RavoWatchToolTest, CaptureModePrintsTheRealTypeOfEachCapturedFileAndEndsOnSigint) {
  Tool tool({"--capture", dir.Path()});
  ASSERT_TRUE(tool.WaitForStatus("已开始监视"));
  std::string jpeg("\xFF\xD8\xFF\xE0", 4);
  jpeg.resize(64, '\x01');
  test::WriteFile(dir / "notes.txt", std::string(60, 'n'));
  test::WriteFile(dir / "cache/photo.dat", "");
  test::WriteFile(dir / "cache/photo.dat", jpeg);
  test::WriteFile(dir / "song.mp3", std::string(60, 's'));
  EXPECT_TRUE(tool.WaitForOutput(".mp3\t" + (dir / "song.mp3") + "\n"));
  EXPECT_TRUE(tool.WaitForOutput(".jpg\t" + (dir / "cache/photo.dat") + "\n"));
  EXPECT_EQ(tool.Output().find("notes.txt"), std::string::npos);
  EXPECT_EQ(tool.Stop(SIGINT), 0);
}

TEST_F(RavoWatchToolTest, AnUnknownOptionGetsTheUsage) {
  Tool tool({"--bogus"});
  EXPECT_TRUE(tool.WaitForStatus("用法"));
  EXPECT_EQ(tool.Stop(0), 2);
}

}  // namespace
}  // namespace ravo
