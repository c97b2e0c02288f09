// ravo-identify: names the real extension of files, as the capture engine
// sees them, with the type database beside this program.
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <iostream>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "typedb/DetectFileType.h"
#include "typedb/HeadPrefetch.h"
#include "typedb/TypeDatabase.h"

namespace {

constexpr const char* kHelp =
    "用法：ravo-identify [文件...]\n"
    "       ravo-identify < 路径列表\n"
    "\n"
    "按文件的前 51 个字节（对照本程序旁边的类型数据库 ext.dll），\n"
    "否则按文件名，给出每个文件的真实扩展名。\n"
    "每个文件输出一行：真实扩展名（可能为空）、一个制表符、所给的路径。\n"
    "不给文件时，从标准输入逐行读取路径。\n"
    "\n"
    "类型数据库存在却无法读取时，在标准错误上给出路径和原因，继续处理其余文件，\n"
    "最后以状态 1 退出；否则以状态 0 退出。\n"
    "  -h, --help   显示本说明\n"
    "  --           其后的参数都是文件，即使以 - 开头\n";

// Paths read from standard input on a thread of their own: the files of the
// lines that have come are read ahead while more arrive, and a line is
// answered without waiting for the ones after it.
class LineReader {
 public:
  LineReader() : thread_([this] { Run(); }) {}
  ~LineReader() { thread_.join(); }

  // The lines that have come since the last call (at most kChunk), waiting
  // for one when none has; empty at the end of the input.
  std::vector<std::string> Next() {
    std::unique_lock lock(mutex_);
    arrived_.wait(lock, [this] { return ended_ || !lines_.empty(); });
    std::vector<std::string> lines;
    while (!lines_.empty() && lines.size() < kChunk) {
      lines.push_back(std::move(lines_.front()));
      lines_.pop_front();
    }
    return lines;
  }

 private:
  static constexpr std::size_t kChunk = 4096;

  void Run() {
    std::ios::sync_with_stdio(false);
    std::string line;
    while (std::getline(std::cin, line)) {
      std::lock_guard lock(mutex_);
      lines_.push_back(std::move(line));
      arrived_.notify_one();
    }
    std::lock_guard lock(mutex_);
    ended_ = true;
    arrived_.notify_one();
  }

  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::string> lines_;
  bool ended_ = false;
  std::thread thread_;
};

class Identifier {
 public:
  // Identifies the files in their order; their heads are read ahead.
  void IdentifyAll(const std::vector<std::string>& paths) {
    std::vector<ravo::platform::SearchEntry> files;
    files.reserve(paths.size());
    for (const std::string& path : paths) files.push_back({path, 0, false});
    prefetch_.EnterDirectory("", ravo::platform::OpenFolder(), files);
    for (const std::string& path : paths) Identify(path);
    prefetch_.LeaveDirectory();
  }

 private:
  void Identify(const std::string& path) {
    try {
      std::optional<std::optional<ravo::FileHead>> head = prefetch_.Take(path);
      std::string type = head ? ravo::DetectFileTypeFromHead(path, *head, ravo::TypeDatabasePath())
                              : ravo::DetectFileType(path);
      std::fwrite(type.data(), 1, type.size(), stdout);
      std::fputc('\t', stdout);
      std::fwrite(path.data(), 1, path.size(), stdout);
      std::fputc('\n', stdout);
    } catch (const ravo::TypeDbIoError& error) {
      std::fflush(stdout);
      std::fprintf(stderr, "%s: %s\n", path.c_str(), error.what());
      failed_ = true;
    }
  }


 public:
  bool Failed() const { return failed_; }

 private:
  ravo::HeadPrefetch prefetch_{[](std::string_view, bool) { return true; }};
  // The database is checked for changes every few milliseconds, not at
  // every file.
  ravo::TypeDatabaseBatch batch_;
  bool failed_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (options && (arg == "-h" || arg == "--help")) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (options && arg == "--") {
      options = false;
    } else {
      files.emplace_back(arg);
    }
  }

  Identifier identifier;
  if (files.empty()) {
    LineReader lines;
    for (std::vector<std::string> chunk; !(chunk = lines.Next()).empty();) {
      identifier.IdentifyAll(chunk);
    }
  }
  identifier.IdentifyAll(files);
  return identifier.Failed() ? 1 : 0;
}
