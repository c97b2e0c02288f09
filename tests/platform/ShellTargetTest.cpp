#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "platform/Shell.h"
#include "tests/support/TestSupport.h"

namespace ravo::platform {
namespace {

TEST(ShellOpenTargetTest, BareHostNamesOpenAsHttpAddresses) {
  test::TempDir dir;
  std::string recorder = dir / "opener.sh";
  test::WriteFile(recorder, "#!/bin/sh\necho \"$1\" >> \"" + dir.Path() + "/opened\"\n");
  chmod(recorder.c_str(), 0755);
  setenv("RAVO_OPENER", recorder.c_str(), 1);
  // An existing file is opened as itself, even when named like a host.
  const std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  test::WriteFile(dir / "notes.example", "a file");
  const struct {
    std::string target;
    std::string opened;
  } kCases[] = {
      {"www.ravo-soft.example", "http://www.ravo-soft.example"},
      {"ravo-soft.example:8080/page", "http://ravo-soft.example:8080/page"},
      {"localhost:8080", "http://localhost:8080"},
      {"https://ravo-soft.example/a", "https://ravo-soft.example/a"},
      {"HTTP://ravo-soft.example", "HTTP://ravo-soft.example"},
      {"mailto:someone@ravo-soft.example", "mailto:someone@ravo-soft.example"},
      {"notes.example", "notes.example"},
      {dir / "notes.example", dir / "notes.example"},
  };
  std::string log;
  for (const auto& c : kCases) {
    EXPECT_TRUE(ShellOpenTarget(c.target)) << c.target;
    log += c.opened + "\n";
    EXPECT_TRUE(test::WaitFor([&] { return test::ReadFile(dir / "opened") == log; }))
        << c.target << " opened as " << test::ReadFile(dir / "opened");
  }
  EXPECT_FALSE(ShellOpenTarget(""));
  unsetenv("RAVO_OPENER");
  std::filesystem::current_path(cwd);
}

}  // namespace
}  // namespace ravo::platform
