#include "app/BatchSave.h"

#include "app/CapturedFile.h"
#include "app/Downloads.h"
#include "fsutil/PathText.h"

namespace ravo {
namespace {

// Free names taken by someone else between the look and the copy before
// the batch gives up on a file.
constexpr int kNameRaces = 16;

// Failures listed one by one in a summary.
constexpr std::size_t kListedFailures = 20;

}  // namespace

std::string SaveIntoFolder(const std::string& source, const std::string& folder,
                           const std::string& name, std::stop_token stop, std::string& reason) {
  platform::CopyControl control;
  control.stop = std::move(stop);
  control.keepExisting = true;
  for (int attempt = 0; attempt < kNameRaces; ++attempt) {
    std::string free = FreeSaveName(folder, name);
    if (free.empty()) {
      reason = "文件夹中没有可用的文件名";
      return {};
    }
    reason = SaveCapturedFile(source, JoinPath(folder, free), control);
    if (reason.empty()) return free;
    if (reason != platform::kTargetExists) return {};
  }
  return {};
}

std::string BatchSaveSummary(const BatchSaveResult& result, const std::string& folder) {
  std::string text = "已保存 " + std::to_string(result.saved) + " 个文件到 " + folder;
  if (result.notReached > 0) {
    text = "已停止保存：" + text + "，" + std::to_string(result.notReached) + " 个未保存";
  }
  if (result.failures.empty()) return text;
  text += "；" + std::to_string(result.failures.size()) + " 个未能保存：";
  for (std::size_t i = 0; i < result.failures.size() && i < kListedFailures; ++i) {
    text += "\n" + result.failures[i].name + "：" + result.failures[i].reason;
  }
  if (result.failures.size() > kListedFailures) {
    text += "\n……另有 " + std::to_string(result.failures.size() - kListedFailures) + " 个";
  }
  return text;
}

BatchSave::BatchSave(MainThreadDispatcher& dispatcher, std::vector<SaveItem> items,
                     std::string folder, ProgressHandler onProgress, DoneHandler onDone)
    : dispatcher_(dispatcher), onProgress_(std::move(onProgress)), onDone_(std::move(onDone)) {
  worker_ = std::jthread([this, items = std::move(items), folder = std::move(folder)](
                             std::stop_token stop) mutable {
    Run(stop, std::move(items), std::move(folder));
  });
}

BatchSave::~BatchSave() {
  *alive_ = false;
  worker_.request_stop();
  if (worker_.joinable()) worker_.join();
}

void BatchSave::Post(std::function<void()> fn) {
  dispatcher_.Post([alive = alive_, fn = std::move(fn)] {
    if (*alive) fn();
  });
}

void BatchSave::Run(std::stop_token stop, std::vector<SaveItem> items, std::string folder) {
  BatchSaveResult result;
  const std::size_t total = items.size();
  for (std::size_t i = 0; i < total; ++i) {
    if (stop.stop_requested()) {
      result.notReached = total - i;
      break;
    }
    Post([this, progress = BatchSaveProgress{i, total, items[i].name}] {
      if (onProgress_) onProgress_(progress);
    });
    std::string reason;
    if (!SaveIntoFolder(items[i].source, folder, items[i].name, stop, reason).empty()) {
      ++result.saved;
    } else if (reason == platform::kCopyStopped) {
      result.notReached = total - i;
      break;
    } else {
      result.failures.push_back({items[i].name, reason});
    }
  }
  Post([this, result = std::move(result)] {
    if (onDone_) onDone_(result);
  });
}

}  // namespace ravo
