// ravo-watch: watches directories with their subtrees as the capture engine
// does, and prints the changes, or with --capture the files monitoring
// captures, one line each, until SIGINT or SIGTERM.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/BrowsingFolders.h"
#include "app/CaptureList.h"
#include "app/CaptureMonitor.h"
#include "app/StringGrid.h"
#include "platform/Drives.h"
#include "watch/FileSystemWatcher.h"
#include "watch/QueueDispatcher.h"

namespace {

constexpr const char* kHelp =
    "用法：ravo-watch [--capture] [目录...]\n"
    "\n"
    "监视每个目录及其全部子目录中文件和目录名称的变化，直到收到 SIGINT 或 SIGTERM；\n"
    "不给目录时像“开始监视”一样监视 C: 到 G: 的根目录。浏览器缓存、下载等\n"
    "用户文件夹最先监视；达到系统的监视数量上限时在标准错误上说明。\n"
    "不带 --capture 时每个变化输出一行：操作（added、removed、modified、renamed）、\n"
    "制表符、路径、制表符、改名后的新路径（其余操作为空）。\n"
    "带 --capture 时按监视规则（五类资源全部勾选）判断，每捕获一个文件输出一行：\n"
    "真实扩展名、制表符、路径。状态信息写到标准错误。\n"
    "  -h, --help   显示本说明\n"
    "  --           其后的参数都是目录，即使以 - 开头\n";

// Files reported before their head was written are looked at again this
// often; less often while very many wait, since each look costs a stat.
constexpr std::chrono::milliseconds kTickPeriod{20};
constexpr std::chrono::milliseconds kBusyTickPeriod{100};
constexpr std::size_t kBusyWaitingCount = 1000;

std::atomic<bool> gStop{false};

extern "C" void OnSignal(int) { gStop = true; }

void PrintLine(std::string_view a, std::string_view b, std::string_view c = {}, bool third = false) {
  std::string line(a);
  line += '\t';
  line += b;
  if (third) {
    line += '\t';
    line += c;
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

void PrintStatus(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

const char* OperationName(ravo::TFileOperation operation) {
  switch (operation) {
    case ravo::foAdded:
      return "added";
    case ravo::foRemoved:
      return "removed";
    case ravo::foModified:
      return "modified";
    case ravo::foRenamed:
      return "renamed";
  }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  bool capture = false;
  bool optionsEnd = false;
  std::vector<std::string> dirs;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (optionsEnd) {
      dirs.emplace_back(arg);
    } else if (arg == "--") {
      optionsEnd = true;
    } else if (arg == "-h" || arg == "--help") {
      std::fputs(kHelp, stdout);
      return 0;
    } else if (arg == "--capture") {
      capture = true;
    } else if (arg.starts_with('-')) {
      std::fprintf(stderr, "ravo-watch：无法识别的参数“%s”\n%s", argv[i], kHelp);
      return 2;
    } else {
      dirs.emplace_back(arg);
    }
  }
  if (dirs.empty()) {
    for (char letter = 'C'; letter <= 'G'; ++letter) dirs.push_back(ravo::platform::DriveRoot(letter));
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);

  ravo::QueueDispatcher dispatcher;
  ravo::StringGrid grid(3, 1);
  ravo::CaptureList list(grid);
  ravo::CaptureMonitor monitor(list, [] { return ravo::CategorySelection{}; });
  monitor.SetOnCaptured(
      [](const std::string& path, const std::string& type) { PrintLine(type, path); });
  monitor.Start();

  ravo::TFileDealMethod onChange;
  if (capture) {
    onChange = [&monitor](ravo::TFileOperation op, const std::string& name1,
                          const std::string& name2) {
      std::string status = monitor.OnChange(op, name1, name2);
      if (!status.empty()) PrintStatus(status);
    };
  } else {
    onChange = [](ravo::TFileOperation op, const std::string& name1, const std::string& name2) {
      PrintLine(OperationName(op), name1, name2, true);
    };
  }

  const std::vector<std::string> first =
      ravo::BrowsingFolders(ravo::CurrentUserEnvironment(), std::string());
  std::vector<std::unique_ptr<ravo::TFileSystemWatcher>> watchers;
  for (const std::string& dir : dirs) {
    auto watcher = std::make_unique<ravo::TFileSystemWatcher>(dispatcher);
    watcher->SetWatchedDir(dir);
    watcher->SetWatchSubTree(true);
    watcher->SetNotifyFilters({ravo::nfFileNameChange, ravo::nfDirNameChange});
    watcher->SetOnStatus(PrintStatus);
    watcher->SetOnWarning(PrintStatus);
    watcher->SetWatchFirst(first);
    watcher->SetOnChange(onChange);
    watcher->SetActived(true);
    watchers.push_back(std::move(watcher));
  }

  auto lastTick = std::chrono::steady_clock::now();
  while (!gStop) {
    auto period = monitor.WaitingCount() < kBusyWaitingCount ? kTickPeriod : kBusyTickPeriod;
    dispatcher.WaitAndRun(period);
    auto now = std::chrono::steady_clock::now();
    if (capture && now - lastTick >= period) {
      lastTick = now;
      std::string status = monitor.Tick();
      if (!status.empty()) PrintStatus(status);
    }
  }
  watchers.clear();
  return 0;
}
