// A directory tree watched with inotify, and its events turned into change
// records: watches follow directories as they are created, renamed, moved in
// and moved out; the two halves of a rename are paired by their cookie; what
// a directory that appears already holds is reported as added.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ChangePort.h"
#include "platform/ChangeQueue.h"

struct inotify_event;

namespace ravo::platform {

class InotifyTree {
 public:
  // `root` must name a directory; Ok() is false when inotify is unavailable.
  InotifyTree(std::string root, const ChangeWatchOptions& options);
  ~InotifyTree();
  InotifyTree(const InotifyTree&) = delete;
  InotifyTree& operator=(const InotifyTree&) = delete;

  bool Ok() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  std::size_t WatchCount() const { return paths_.size(); }

  // Watches the root and, for a subtree, every directory below it on the
  // same filesystem, without reporting them. `between` runs every few
  // hundred directories (to take the events meanwhile); false from it stops.
  void WatchAll(const std::function<bool()>& between, std::vector<QueuedChange>& out);

  // Set when changes were lost and directories may have gone unwatched:
  // WatchAll is due again.
  bool NeedsRewatch() const { return needsRewatch_; }

  // Reads one bufferful of the events queued now, without blocking, and
  // turns it into changes. False when nothing was queued.
  bool ReadEvents(std::vector<QueuedChange>& out);

  // The first half of a rename whose second half has not come (yet).
  bool MovePending() const { return pending_.has_value(); }
  // Takes it as a move out of the tree: removed.
  void ResolveMove(std::vector<QueuedChange>& out);

 private:
  struct PendingMove {
    std::uint32_t cookie;
    std::string rel;
    bool isDir;
  };

  std::string FullPath(const std::string& rel) const;
  // `name` is the event's NUL-padded name (event.len bytes).
  void Handle(const inotify_event& event, const char* name, std::vector<QueuedChange>& out);
  void Report(int action, const std::string& rel, bool isDir, std::vector<QueuedChange>& out);
  void Added(const std::string& rel, bool isDir, std::vector<QueuedChange>& out);
  void Renamed(const PendingMove& from, const std::string& to, std::vector<QueuedChange>& out);
  void WatchAndScan(const std::string& rel, std::vector<QueuedChange>& out);
  bool AddWatch(const std::string& rel, std::vector<QueuedChange>& out);
  void LimitReached(std::vector<QueuedChange>& out);
  void Unwatch(const std::string& rel);
  void MoveWatches(const std::string& from, const std::string& to);
  template <typename Visit>
  void ForEachEntry(const std::string& rel, Visit visit) const;
  void RememberScanned(const std::string& rel);
  bool ForgetScanned(const std::string& rel);
  void ExpireScanned();

  std::string root_;
  bool subTree_;
  std::uint32_t filter_;
  std::uint32_t eventMask_;
  std::size_t watchLimit_;
  int fd_ = -1;
  std::uint64_t rootDevice_ = 0;
  std::unordered_map<int, std::string> paths_;  // watch → directory relative to the root
  std::optional<PendingMove> pending_;
  // Entries a scan reported lately: their own creation events, which the
  // kernel may queue a little after the entry became visible, are not
  // reported again.
  using Clock = std::chrono::steady_clock;
  std::unordered_map<std::string, Clock::time_point> scanned_;
  std::deque<std::pair<Clock::time_point, std::string>> scanOrder_;
  bool needsRewatch_ = false;
  bool limitHit_ = false;  // during the current WatchAll
  bool limitReported_ = false;
  std::vector<char> buffer_;
};

}  // namespace ravo::platform
