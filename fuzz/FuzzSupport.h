// What the fuzz targets share: a check that stops the run when the code
// under test breaks a promise it makes, and a scratch folder in which the
// readers of files find each input as a real file.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace ravo::fuzz {

// Aborts with the broken promise on standard error; libFuzzer takes the
// abort for a crash and saves the input that caused it.
inline void Expect(bool holds, const char* promise) {
  if (holds) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", promise);
  std::abort();
}

// A private folder in memory-backed storage (/dev/shm, or the folder named by
// RAVO_FUZZ_SCRATCH) that holds the file of the input being run. The folder
// is removed when the process ends normally; the file is removed after each
// input.
class ScratchDir {
 public:
  ScratchDir() {
    const char* base = std::getenv("RAVO_FUZZ_SCRATCH");
    std::string pattern = std::string(base && *base ? base : "/dev/shm") + "/ravo-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) Fail("cannot make a scratch folder", pattern);
    dir_ = pattern;
  }
  ~ScratchDir() { ::rmdir(dir_.c_str()); }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // Writes the bytes as the whole content of the file `name` in the folder
  // and returns its path.
  std::string Write(std::string_view name, std::string_view bytes) const {
    std::string path = dir_ + "/" + std::string(name);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) Fail("cannot create", path);
    std::size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) Fail("cannot write", path);
      done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) Fail("cannot close", path);
    return path;
  }

  void Remove(const std::string& path) const { ::unlink(path.c_str()); }

  // The folder, for targets that name their own files in it.
  const std::string& Path() const { return dir_; }

 private:
  [[noreturn]] static void Fail(const char* what, const std::string& path) {
    std::fprintf(stderr, "fuzz scratch: %s %s: %s\n", what, path.c_str(), std::strerror(errno));
    std::abort();
  }

  std::string dir_;
};

}  // namespace ravo::fuzz
