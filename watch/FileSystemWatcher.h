// The directory watcher component: reports the changes of file and
// directory names below one directory through one event, raised on the
// main thread. While active it owns one worker thread, which waits for the
// platform's change records and hands each batch to the main thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/ChangePort.h"
#include "watch/MainThreadDispatcher.h"

namespace ravo {

enum TFileOperation : std::uint8_t { foAdded, foRemoved, foModified, foRenamed };

enum TNotifyFilter : std::uint8_t {
  nfFileNameChange,
  nfDirNameChange,
  nfAttributeChange,
  nfSizeChange,
  nfWriteChange,
  nfAccessChange,
  nfCreationDateChange,
  nfSecurityChange,
};

// A set of TNotifyFilter: bit n stands for element n.
class TNotifyFilters {
 public:
  constexpr TNotifyFilters() = default;
  constexpr TNotifyFilters(std::initializer_list<TNotifyFilter> filters) {
    for (TNotifyFilter f : filters) bits_ |= static_cast<std::uint8_t>(1u << f);
  }
  constexpr bool Contains(TNotifyFilter f) const { return (bits_ >> f) & 1u; }
  bool operator==(const TNotifyFilters&) const = default;

 private:
  std::uint8_t bits_ = 0;
};

// The platform filter mask of a set: elements 0 to 6 keep their bit,
// nfSecurityChange is 0x100.
std::uint32_t FilterMaskOf(TNotifyFilters filters);

// The change event: the operation, the full path concerned (the old one for
// a rename) and, for a rename, the new full path (else empty).
using TFileDealMethod =
    std::function<void(TFileOperation, const std::string& fileName1, const std::string& fileName2)>;

// A notice for the user's status bar: changes lost, watching in force. A
// warning (part of the tree cannot be watched) comes the same way through
// its own event: it stays true until watching ends.
using TStatusMethod = std::function<void(const std::string& text)>;

// The directory with exactly one trailing separator; empty stays empty (an
// empty directory names nothing and must not become the root).
std::string DirectoryWithSeparator(std::string_view directory);

// The worker of one active watcher. Shared between its watcher and the
// batches it has handed to the main thread, so that a batch being handled
// while its watcher lets go never touches freed memory; the OS thread is
// joined by Terminate, at the latest by the destructor.
class TShellChangeThread : public std::enable_shared_from_this<TShellChangeThread> {
 public:
  // Created suspended and without a directory.
  static std::shared_ptr<TShellChangeThread> Create(TFileDealMethod changeEvent,
                                                    TStatusMethod statusEvent,
                                                    TStatusMethod warningEvent,
                                                    MainThreadDispatcher& dispatcher);
  ~TShellChangeThread();
  TShellChangeThread(const TShellChangeThread&) = delete;
  TShellChangeThread& operator=(const TShellChangeThread&) = delete;

  // Main thread: stores the settings and re-opens the directory with them.
  // Changes during the re-open are not reported.
  void Configure(const std::string& directory, bool active, bool subTree, std::uint32_t filterMask,
                 std::vector<std::string> firstDirs = {});

  // Main thread: starts the worker (once).
  void Resume();

  // Main thread: ends the worker and waits for it. No event is raised after
  // this, also not by a batch being handled at the time.
  void Terminate();

  // True once the worker has ended: terminated, or an exception escaped a
  // handler.
  bool Finished() const { return FFinished; }

  // Main thread (through the hand-over): turns a batch into events. An
  // old-name record directly paired with a new-name record raises one
  // foRenamed; a new-name record without one raises nothing.
  void HandleChanges(const platform::ChangeBatch& batch);

  // The watched directory followed by the name without its leading and
  // trailing spaces and control characters; empty when nothing is left.
  std::string MakeFullPath(std::string_view name) const;

 private:
  TShellChangeThread(TFileDealMethod changeEvent, TStatusMethod statusEvent,
                     TStatusMethod warningEvent, MainThreadDispatcher& dispatcher);
  void OpenDirectory();
  void Execute(std::stop_token stop);
  void RaiseChange(TFileOperation operation, const std::string& fileName1,
                   const std::string& fileName2);

  const TFileDealMethod FChangeEvent;
  const TStatusMethod FStatusEvent;
  const TStatusMethod FWarningEvent;
  MainThreadDispatcher& FDispatcher;

  // Main thread only.
  bool FActive = false;
  std::string FDirectory;
  bool FSubTree = true;
  std::uint32_t FFilterMask = 0;
  std::vector<std::string> FFirstDirs;

  // Shared with the worker; FLock is held only for short sections, never
  // while waiting or handing over.
  std::mutex FLock;
  std::unique_ptr<platform::ChangeDirectory> FDirHandle;
  std::shared_ptr<platform::ChangePort> FPort;
  std::uint64_t FKey = 0;  // of the current open; a batch of an older one is stale

  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::jthread FWorker;
};

class TFileSystemWatcher {
 public:
  explicit TFileSystemWatcher(MainThreadDispatcher& dispatcher);
  ~TFileSystemWatcher();
  TFileSystemWatcher(const TFileSystemWatcher&) = delete;
  TFileSystemWatcher& operator=(const TFileSystemWatcher&) = delete;

  // Setters apply a change at once and do nothing when given the value held
  // (WatchedDir compares without regard to the case of ASCII letters).
  bool Actived() const { return FActived; }
  void SetActived(bool value);
  const std::string& WatchedDir() const { return FWatchedDir; }
  void SetWatchedDir(const std::string& value);
  bool WatchSubTree() const { return FWatchSubTree; }
  void SetWatchSubTree(bool value);
  TNotifyFilters NotifyFilters() const { return FNotifyFilters; }
  void SetNotifyFilters(TNotifyFilters value);
  const TFileDealMethod& OnChange() const { return FOnChange; }
  // Always (re)starts the worker when active with a handler; clearing the
  // handler stops it.
  void SetOnChange(TFileDealMethod handler);

  // Raised on the main thread, like OnChange; set it before activating.
  const TStatusMethod& OnStatus() const { return FOnStatus; }
  void SetOnStatus(TStatusMethod handler) { FOnStatus = std::move(handler); }
  // Raised on the main thread when a part of the tree cannot be watched
  // (the system's watch limit): the text stays true until watching ends.
  const TStatusMethod& OnWarning() const { return FOnWarning; }
  void SetOnWarning(TStatusMethod handler) { FOnWarning = std::move(handler); }

  // Folders below the watched directory to watch before the rest of it,
  // each with everything below it (where the system sets watches up one
  // folder at a time). Takes effect when watching next starts.
  const std::vector<std::string>& WatchFirst() const { return FWatchFirst; }
  void SetWatchFirst(std::vector<std::string> folders) { FWatchFirst = std::move(folders); }

  std::uint32_t FilterMask() const { return FilterMaskOf(FNotifyFilters); }

  // The worker of the current watching period, if any (it may have ended
  // after an exception in the handler).
  const TShellChangeThread* Thread() const { return FThread.get(); }

 private:
  void ApplyToThread();
  void StartWatching();
  void StopWatching();

  MainThreadDispatcher& FDispatcher;
  bool FActived = false;
  std::string FWatchedDir = "C:\\";
  std::shared_ptr<TShellChangeThread> FThread;
  TFileDealMethod FOnChange;
  bool FWatchSubTree = true;
  TNotifyFilters FNotifyFilters{nfFileNameChange, nfDirNameChange};
  TStatusMethod FOnStatus;
  TStatusMethod FOnWarning;
  std::vector<std::string> FWatchFirst;
};

}  // namespace ravo
