#include "app/CaptureMonitor.h"

#include <exception>

#include "app/Downloads.h"
#include "fsutil/PathText.h"
#include "typedb/CacheEntry.h"

namespace ravo {
namespace {

std::string DroppedText(const std::string& path, const std::exception& error) {
  return "无法识别文件类型，已忽略 " + path + "：" + error.what();
}

}  // namespace

CaptureMonitor::CaptureMonitor(CaptureList& list, TickedFn ticked, IdentifyFn identify,
                               ClockFn clock)
    : list_(list),
      ticked_(std::move(ticked)),
      identify_(identify ? std::move(identify)
                         : [](const std::string& path) { return DetectFileType(path); }),
      clock_(std::move(clock)) {}

void CaptureMonitor::Start() {
  list_.Reset();
  list_.Grid().ClearNonHeader();
  waiting_.clear();
}

void CaptureMonitor::Stop() { waiting_.clear(); }

bool CaptureMonitor::Wanted(const std::string& type) const {
  return BelongsToTicked(type, ticked_());
}

// A file captured before its head was written was captured by its name:
// it is looked at again as it grows.
void CaptureMonitor::Capture(const std::string& path, const Look& look) {
  waiting_.erase(path);
  list_.AddCapturedRow(path, look.type);
  if (onCaptured_) onCaptured_(path, look.type);
  WaitIfShort(path, look, true);
}

// The file's state is taken before it is identified: a change after that
// point shows at the next re-check, so a head written meanwhile is not missed.
CaptureMonitor::Look CaptureMonitor::LookAt(const std::string& path) {
  platform::FileInfo before = platform::QueryFile(path);
  return {before, identify_(path)};
}

// Captures the file if its type is wanted; else, if it was a file still too
// short to tell, waits for it to grow. A file the browser engine is still
// writing under a name of its own is left alone: it is looked at under its
// final name.
void CaptureMonitor::Consider(const std::string& path, const Look& look) {
  if (IsEngineTemporaryName(NameOf(path))) return;
  if (Wanted(look.type)) {
    Capture(path, look);
  } else {
    WaitIfShort(path, look);
  }
}

bool CaptureMonitor::StillBeingWritten(const std::string& path, const Look& look) {
  // Too short to tell, or a browser's cache entry whose body is not complete.
  // Cache entries have names without an extension and an incomplete one has
  // no type of its own, so only files without a type are opened to check.
  return look.before.size < kHeaderSize || (look.type.empty() && IsIncompleteCacheEntry(path));
}

void CaptureMonitor::WaitIfShort(const std::string& path, const Look& look, bool listed) {
  const platform::FileInfo& info = look.before;
  if (info.exists && !info.isDirectory && StillBeingWritten(path, look)) {
    waiting_[path] = {clock_() + kRecheckPeriod, info.size, info.writeTimeNs, listed};
  }
}

std::string CaptureMonitor::OnChange(TFileOperation operation, const std::string& fileName1,
                                     const std::string& fileName2) {
  try {
    switch (operation) {
      case foRemoved:
        // Gone: a row captured earlier stays (its size shows "0").
        waiting_.erase(fileName1);
        break;
      case foRenamed:
        Renamed(fileName1, fileName2);
        break;
      case foAdded:
      case foModified:
        Consider(fileName1, LookAt(fileName1));
        break;
    }
  } catch (const std::exception& error) {
    return DroppedText(operation == foRenamed ? fileName2 : fileName1, error);
  }
  return {};
}

// Downloads are written under a temporary name and renamed when done: the
// file is followed to its new name, and the old name is never listed.
void CaptureMonitor::Renamed(const std::string& oldPath, const std::string& newPath) {
  waiting_.erase(oldPath);
  Look look = LookAt(newPath);
  // Files captured or waited for inside a renamed folder are followed there.
  if (look.before.isDirectory) {
    list_.MoveFolder(oldPath, newPath);
    MoveWaiting(oldPath, newPath);
  }
  int row = list_.RowOfPath(oldPath);
  // A file renamed over one that is listed (a download that replaces the
  // place-holder it made under its final name) takes that row.
  if (row == 0 && !IsEngineTemporaryName(NameOf(newPath))) row = list_.RowOfPath(newPath);
  if (row == 0) {
    Consider(newPath, look);
  } else if (Wanted(look.type)) {
    list_.ReplaceRow(row, newPath, look.type);
    if (onCaptured_) onCaptured_(newPath, look.type);
    WaitIfShort(newPath, look, true);
  } else {
    list_.RemoveRow(row);
    WaitIfShort(newPath, look);
  }
}

void CaptureMonitor::MoveWaiting(const std::string& oldFolder, const std::string& newFolder) {
  const std::string oldPrefix = WithTrailingSeparator(oldFolder);
  const std::string newPrefix = WithTrailingSeparator(newFolder);
  for (auto it = waiting_.lower_bound(oldPrefix);
       it != waiting_.end() && it->first.compare(0, oldPrefix.size(), oldPrefix) == 0;) {
    waiting_[newPrefix + it->first.substr(oldPrefix.size())] = it->second;
    it = waiting_.erase(it);
  }
}

std::string CaptureMonitor::Tick() {
  std::string status;
  Clock::time_point now = clock_();
  for (auto it = waiting_.begin(); it != waiting_.end();) {
    std::string path = it->first;
    bool keep = false;
    try {
      keep = Recheck(path, it->second, now);
    } catch (const std::exception& error) {
      status = DroppedText(path, error);
    }
    // Capturing takes the entry out itself.
    it = waiting_.upper_bound(path);
    if (!keep) waiting_.erase(path);
  }
  return status;
}

bool CaptureMonitor::Recheck(const std::string& path, Waiting& waiting, Clock::time_point now) {
  platform::FileInfo info = platform::QueryFile(path);
  if (!info.exists || info.isDirectory || now > waiting.until) return false;
  if (info.size == waiting.size && info.writeTimeNs == waiting.writeTimeNs) return true;
  waiting.size = info.size;
  waiting.writeTimeNs = info.writeTimeNs;
  Look look{info, identify_(path)};
  if (waiting.listed) {
    RetypeRow(path, waiting, look);
  } else if (Wanted(look.type)) {
    Capture(path, look);
    return waiting_.count(path) != 0;
  }
  return StillBeingWritten(path, look);
}

// The row of a file captured by its name shows the type of its content; it
// goes when that type is not wanted (the file may still become one that is).
void CaptureMonitor::RetypeRow(const std::string& path, Waiting& waiting, const Look& look) {
  int row = list_.RowOfPath(path);
  waiting.listed = row != 0 && Wanted(look.type);
  if (row == 0) return;
  if (!waiting.listed) {
    list_.RemoveRow(row);
  } else if (list_.Grid().Cell(CaptureList::kTypeCol, row) != look.type) {
    list_.ReplaceRow(row, path, look.type);
    if (onCaptured_) onCaptured_(path, look.type);
  }
}

}  // namespace ravo
