#include "watch/FileSystemWatcher.h"

#include <optional>
#include <utility>

#include "fsutil/PathText.h"

namespace ravo {

std::uint32_t FilterMaskOf(TNotifyFilters filters) {
  std::uint32_t mask = 0;
  for (int f = nfFileNameChange; f < nfSecurityChange; ++f) {
    if (filters.Contains(static_cast<TNotifyFilter>(f))) mask |= 1u << f;
  }
  if (filters.Contains(nfSecurityChange)) mask |= platform::kNotifySecurity;
  return mask;
}

std::string DirectoryWithSeparator(std::string_view directory) {
  return directory.empty() ? std::string() : WithTrailingSeparator(directory);
}

// ---- TShellChangeThread ----

std::shared_ptr<TShellChangeThread> TShellChangeThread::Create(TFileDealMethod changeEvent,
                                                               TStatusMethod statusEvent,
                                                               TStatusMethod warningEvent,
                                                               MainThreadDispatcher& dispatcher) {
  return std::shared_ptr<TShellChangeThread>(new TShellChangeThread(
      std::move(changeEvent), std::move(statusEvent), std::move(warningEvent), dispatcher));
}

TShellChangeThread::TShellChangeThread(TFileDealMethod changeEvent, TStatusMethod statusEvent,
                                       TStatusMethod warningEvent,
                                       MainThreadDispatcher& dispatcher)
    : FChangeEvent(std::move(changeEvent)),
      FStatusEvent(std::move(statusEvent)),
      FWarningEvent(std::move(warningEvent)),
      FDispatcher(dispatcher),
      // A port bound to nothing: without a directory the worker blocks on it
      // and only wake-ups arrive.
      FPort(std::make_shared<platform::ChangePort>()) {}

TShellChangeThread::~TShellChangeThread() { Terminate(); }

void TShellChangeThread::Configure(const std::string& directory, bool active, bool subTree,
                                   std::uint32_t filterMask, std::vector<std::string> firstDirs) {
  FFirstDirs = std::move(firstDirs);
  FSubTree = subTree;
  FFilterMask = filterMask;
  FDirectory = DirectoryWithSeparator(directory);
  FActive = active;
  OpenDirectory();
}

void TShellChangeThread::OpenDirectory() {
  // The worker always finds a port: the new one replaces the old at once.
  auto port = std::make_shared<platform::ChangePort>();
  std::unique_ptr<platform::ChangeDirectory> oldDir;
  std::shared_ptr<platform::ChangePort> oldPort;
  std::uint64_t key;
  {
    std::lock_guard lock(FLock);
    oldDir = std::move(FDirHandle);
    oldPort = std::exchange(FPort, port);
    key = ++FKey;
  }
  oldDir.reset();  // cancels its pending read
  oldPort->PostWakeUp();

  auto dir = platform::ChangeDirectory::Open(
      FDirectory, {.subTree = FSubTree, .filterMask = FFilterMask, .firstDirs = FFirstDirs});
  if (dir) dir->ReadChanges(port, key);
  std::lock_guard lock(FLock);
  FDirHandle = std::move(dir);
}

void TShellChangeThread::Resume() {
  if (FWorker.joinable()) return;
  FWorker = std::jthread([this](std::stop_token stop) {
    try {
      Execute(stop);
    } catch (...) {
      // An exception from a handler ends the worker; the watcher stays
      // active in name and reports nothing more.
    }
    FFinished = true;
  });
}

void TShellChangeThread::Terminate() {
  FTerminated = true;
  if (!FWorker.joinable()) return;
  FWorker.request_stop();
  std::shared_ptr<platform::ChangePort> port;
  {
    std::lock_guard lock(FLock);
    port = FPort;
  }
  port->PostWakeUp();
  FWorker.join();
}

void TShellChangeThread::Execute(std::stop_token stop) {
  while (!stop.stop_requested()) {
    std::shared_ptr<platform::ChangePort> port;
    {
      std::lock_guard lock(FLock);
      port = FPort;
    }
    platform::ChangePacket packet = port->Wait();
    if (packet.key == 0 || stop.stop_requested()) continue;
    {
      std::lock_guard lock(FLock);
      if (packet.key != FKey) continue;  // the read of a directory closed since
    }
    // The batch travels with the hand-over; the thread object is reached
    // only if it still exists when the main thread gets to it.
    std::weak_ptr<TShellChangeThread> weak = weak_from_this();
    FDispatcher.RunSync(
        [weak, batch = std::move(packet.batch)] {
          if (auto self = weak.lock()) self->HandleChanges(batch);
        },
        stop);
    std::lock_guard lock(FLock);
    if (packet.key == FKey && FDirHandle && !stop.stop_requested()) {
      FDirHandle->ReadChanges(FPort, FKey);
    }
  }
}

void TShellChangeThread::HandleChanges(const platform::ChangeBatch& batch) {
  std::optional<TFileOperation> operation;
  std::string fileName1;
  for (const platform::ChangeRecord& record : batch.records) {
    std::string fileName2;
    switch (record.action) {
      case platform::kChangeAdded:
      case platform::kChangeRemoved:
      case platform::kChangeModified:
        fileName1 = MakeFullPath(record.name);
        operation = static_cast<TFileOperation>(record.action - 1);
        RaiseChange(*operation, fileName1, fileName2);
        break;
      case platform::kChangeRenamedOld:
        fileName1 = MakeFullPath(record.name);
        operation = foRenamed;
        break;
      case platform::kChangeRenamedNew:
        if (operation == foRenamed) {
          fileName2 = MakeFullPath(record.name);
          RaiseChange(foRenamed, fileName1, fileName2);
        }
        break;
      default:
        break;
    }
  }
  if (!batch.notice.empty() && FStatusEvent && FActive && !FTerminated) FStatusEvent(batch.notice);
  if (!batch.warning.empty() && FWarningEvent && FActive && !FTerminated) {
    FWarningEvent(batch.warning);
  }
}

std::string TShellChangeThread::MakeFullPath(std::string_view name) const {
  std::string trimmed = TrimControls(name);
  return trimmed.empty() ? std::string() : FDirectory + trimmed;
}

void TShellChangeThread::RaiseChange(TFileOperation operation, const std::string& fileName1,
                                     const std::string& fileName2) {
  if (FChangeEvent && FActive && !FTerminated) FChangeEvent(operation, fileName1, fileName2);
}

// ---- TFileSystemWatcher ----

TFileSystemWatcher::TFileSystemWatcher(MainThreadDispatcher& dispatcher)
    : FDispatcher(dispatcher) {}

TFileSystemWatcher::~TFileSystemWatcher() { StopWatching(); }

void TFileSystemWatcher::SetActived(bool value) {
  if (value == FActived) return;
  FActived = value;
  // No thread runs while inactive, and stopping one silences it at once:
  // there is nothing to re-configure on either way.
  if (FActived) {
    StartWatching();
  } else {
    StopWatching();
  }
}

void TFileSystemWatcher::SetWatchedDir(const std::string& value) {
  if (EqualsIgnoreAsciiCase(value, FWatchedDir)) return;
  FWatchedDir = value;
  ApplyToThread();
}

void TFileSystemWatcher::SetWatchSubTree(bool value) {
  if (value == FWatchSubTree) return;
  FWatchSubTree = value;
  ApplyToThread();
}

void TFileSystemWatcher::SetNotifyFilters(TNotifyFilters value) {
  if (value == FNotifyFilters) return;
  FNotifyFilters = value;
  ApplyToThread();
}

void TFileSystemWatcher::SetOnChange(TFileDealMethod handler) {
  FOnChange = std::move(handler);
  if (FOnChange && FActived) {
    StartWatching();
  } else {
    StopWatching();
  }
}

void TFileSystemWatcher::ApplyToThread() {
  if (!FThread) return;
  FThread->Configure(FWatchedDir, FActived, FWatchSubTree, FilterMask(), FWatchFirst);
}

void TFileSystemWatcher::StartWatching() {
  if (!FOnChange) return;
  StopWatching();
  FThread = TShellChangeThread::Create(FOnChange, FOnStatus, FOnWarning, FDispatcher);
  FThread->Configure(FWatchedDir, FActived, FWatchSubTree, FilterMask(), FWatchFirst);
  FThread->Resume();
}

void TFileSystemWatcher::StopWatching() {
  if (!FThread) return;
  FThread->Terminate();
  FThread.reset();
}

}  // namespace ravo
