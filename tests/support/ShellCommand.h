// Running a shell command from a test on POSIX systems (tools such as
// mkfs.btrfs, mount and ffmpeg that the tests drive).
#pragma once

#include <cstdio>
#include <string>

namespace ravo::test {

// Runs the command with its standard error joined to its output; true when
// it exits 0. What it printed goes to `output`.
inline bool Shell(const std::string& command, std::string* output = nullptr) {
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return false;
  std::string text;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
  int status = ::pclose(pipe);
  if (output) *output = text;
  return status == 0;
}

}  // namespace ravo::test
