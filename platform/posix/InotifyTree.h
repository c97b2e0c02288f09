// A directory tree watched with inotify, and its events turned into change
// records: watches follow directories as they are created, renamed, moved in
// and moved out; the two halves of a rename are paired by their cookie; what
// a directory that appears already holds is reported as added.
//
// Setting up the watches of a large tree takes a while, and a file written
// meanwhile into a folder not yet watched raises no event. So the set-up
// lists, as it watches each folder that changed since watching began, the
// entries that changed since then and reports them as added; a file is
// reported once whether its event or the listing finds it first.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/ChangePort.h"
#include "platform/ChangeQueue.h"
#include "platform/posix/MountTable.h"
#include "platform/posix/WalkBoundary.h"
#include "platform/posix/WatchTable.h"

struct inotify_event;

namespace ravo::platform {

class InotifyTree {
 public:
  // `root` must name a directory; Ok() is false when inotify is unavailable.
  // Watching counts as begun at `sinceNs` (FileClockNs): files that appear
  // from then on are reported.
  InotifyTree(std::string root, const ChangeWatchOptions& options, std::int64_t sinceNs);
  ~InotifyTree();
  InotifyTree(const InotifyTree&) = delete;
  InotifyTree& operator=(const InotifyTree&) = delete;

  bool Ok() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  std::size_t WatchCount() const { return table_.WatchCount(); }

  // Watches the root and, for a subtree, every directory below it on the
  // same filesystem: first the options' firstDirs, then the rest breadth-
  // first. `between` runs after every directory; it should take the events
  // queued meanwhile when asked to (`drain`), and false from it stops.
  void WatchAll(const std::function<bool(bool drain)>& between, std::vector<QueuedChange>& out);

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
  // A directory the set-up has yet to watch: its place in the table.
  struct QueuedDir {
    WatchTable::Node node;
    Subdirectory info;
  };
  using Between = std::function<bool(bool drain)>;

  std::string FullPath(const std::string& rel) const;
  // `name` is the event's NUL-padded name (event.len bytes).
  void Handle(const inotify_event& event, const char* name, std::vector<QueuedChange>& out);
  void Report(int action, const std::string& rel, bool isDir, std::vector<QueuedChange>& out);
  void ReportNew(const std::string& rel, bool isDir, std::vector<QueuedChange>& out);
  void Added(const std::string& rel, bool isDir, std::vector<QueuedChange>& out);
  void Renamed(const PendingMove& from, const std::string& to, std::vector<QueuedChange>& out);
  void WatchAndScan(const std::string& rel, std::vector<QueuedChange>& out);
  // False when the directory is not watched (the limit is reached, it is
  // gone, or it is watched already under another path).
  bool AddWatch(WatchTable::Node node, const std::string& rel);
  std::optional<Subdirectory> LookAt(const std::string& rel) const;
  std::optional<std::string> RelativeToRoot(const std::string& path) const;
  bool WatchDownTo(const std::string& rel);
  bool WalkFrom(QueuedDir start, const Between& between, std::vector<QueuedChange>& out);
  bool WalkQueue(const Between& between, std::vector<QueuedChange>& out);
  void DropQueue();
  bool IsWatched(const std::string& rel) const;
  // A folder's visit in three steps: taken in hand, looked at (the
  // system's part, which a walker makes without the tree's lock), and put
  // into the tree.
  struct Visiting {
    struct Found {
      std::string name;
      bool isDir;
      std::optional<Subdirectory> sub;
      std::int64_t changedNs;
    };
    QueuedDir dir{};
    std::string rel;
    bool watched = false;
    bool tryWatch = false;
    std::int64_t since = 0;
    int wd = -1;
    int error = 0;
    bool changed = false;
    std::vector<Found> found;
  };
  void Begin(const QueuedDir& dir, Visiting& visit);
  void Look(Visiting& visit) const;
  void Finish(Visiting& visit, std::vector<QueuedChange>& out);
  bool WalkQueueInParallel(unsigned helpers, const Between& between, std::vector<QueuedChange>& out);
  bool Stash(const inotify_event& event, const char* name);
  void ReplayStashed(int wd, std::vector<QueuedChange>& out);
  void ForgetReported(const std::string& rel);
  void WarnOfLimit(std::vector<QueuedChange>& out);
  void Unwatch(const std::string& rel);
  void MoveWatches(const std::string& from, const std::string& to);
  // Calls onEntry(dirFd, name, isDir) for each entry of the directory;
  // onOpen(dirFd) first, and nothing more when it says false.
  template <typename OnEntry>
  void ForEachEntry(const std::string& rel, OnEntry onEntry) const;
  template <typename OnOpen, typename OnEntry>
  void ForEachEntry(const std::string& rel, OnOpen onOpen, OnEntry onEntry) const;
  void RememberScanned(const std::string& rel);
  bool ForgetScanned(const std::string& rel);
  void ExpireScanned();

  std::string root_;
  std::string rootPath_;  // absolute, for the mount table
  bool subTree_;
  std::uint32_t filter_;
  std::uint32_t eventMask_;
  std::size_t watchLimit_;
  std::vector<std::string> firstDirs_;
  std::function<void(const std::string&)> onWatched_;
  int fd_ = -1;
  std::uint64_t rootDevice_ = 0;
  MountPoints mounts_;
  WatchTable table_;  // the folders watched, relative to the root
  std::optional<PendingMove> pending_;
  // Entries a scan reported lately: their own creation events, which the
  // kernel may queue a little after the entry became visible, are not
  // reported again.
  using Clock = std::chrono::steady_clock;
  std::unordered_map<std::string, Clock::time_point> scanned_;
  std::deque<std::pair<Clock::time_point, std::string>> scanOrder_;

  // The set-up: entries changed since `sinceNs_` (wall clock, as file times
  // are) are reported; `walking_` while it runs, `reported_` holding what
  // it and the events reported meanwhile, so that each is reported once.
  std::int64_t sinceNs_ = 0;
  std::int64_t lastEmptyNs_ = 0;  // when a read last found the event queue empty
  bool marginTaken_ = false;  // sinceNs_ allows for coarse file times
  bool walking_ = false;
  std::unordered_set<std::string> reported_;
  std::unordered_set<std::string> walked_;  // subtrees the set-up has done
  std::deque<QueuedDir> queue_;              // what it has yet to watch
  std::size_t dirsSeen_ = 0;

  bool needsRewatch_ = false;
  bool limitHit_ = false;  // the system's or the options' limit of watches, in this WatchAll
  std::vector<char> buffer_;
  // Walkers' watches asked for but not yet in the table, and the events of
  // their folders that came meanwhile.
  std::size_t watchesInFlight_ = 0;
  struct StashedEvent {
    int wd;
    std::uint32_t mask;
    std::uint32_t cookie;
    std::string name;  // event.len bytes, NUL-padded
  };
  std::vector<StashedEvent> stashed_;
};

}  // namespace ravo::platform
