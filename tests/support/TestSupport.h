// Helpers shared by the test suites: fresh temporary folders, file writing,
// and waiting on a condition with a timeout instead of fixed sleeps.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace ravo::test {

// A fresh, empty temporary folder, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, without a trailing separator.
  const std::string& Path() const { return path_; }

  // Path() + separator + relative, with the system's separator ("/" in
  // relative becomes "\" on Windows).
  std::string operator/(const std::string& relative) const;

  // Writes the bytes to the file at relative (see WriteFile); its path.
  std::string Write(const std::string& relative, const std::string& bytes) const;

 private:
  std::string path_;
};

// Writes the bytes to the file, creating missing parent folders.
void WriteFile(const std::string& path, const std::string& bytes);

// Reads a whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// The number an environment variable holds, or fallback when it is not set
// (for replaying or lengthening randomized tests).
unsigned long EnvOr(const char* name, unsigned long fallback);

// Polls the condition until it holds or the timeout passes; true if it held.
// `pump` runs between polls (for example a dispatcher or event loop).
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds timeout = std::chrono::seconds(10),
             const std::function<void()>& pump = {});

}  // namespace ravo::test
