#include "tests/support/TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace ravo::test {

TempDir::TempDir() {
  std::filesystem::path base = std::filesystem::temp_directory_path();
  std::random_device random;
  // create_directory makes the folder only when it does not exist yet.
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path candidate = base / ("ravo-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}

std::string TempDir::operator/(const std::string& relative) const {
  std::string joined = path_ + '/' + relative;
  std::replace(joined.begin() + static_cast<std::ptrdiff_t>(path_.size()), joined.end(), '/',
               static_cast<char>(std::filesystem::path::preferred_separator));
  return joined;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Folders a test made unreadable must become readable again to be removed.
  for (auto it = std::filesystem::recursive_directory_iterator(
           path_, std::filesystem::directory_options::skip_permission_denied, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
  }
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& relative, const std::string& bytes) const {
  std::string path = *this / relative;
  WriteFile(path, bytes);
  return path;
}

unsigned long EnvOr(const char* name, unsigned long fallback) {
  const char* value = std::getenv(name);
  return value ? std::strtoul(value, nullptr, 10) : fallback;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
             const std::function<void()>& pump) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (pump) pump();
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace ravo::test
