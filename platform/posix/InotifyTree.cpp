#include "platform/posix/InotifyTree.h"

#include <dirent.h>
#include <sys/inotify.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <malloc.h>

#include <cerrno>
#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>

namespace ravo::platform {
namespace {

constexpr std::size_t kReadBufferSize = 64 * 1024;
constexpr std::chrono::seconds kScanMemory{1};

// Name changes are always watched where a subtree is followed: new
// directories must get their watches even when their names are not reported.
std::uint32_t EventMaskFor(const ChangeWatchOptions& options) {
  std::uint32_t mask = IN_ONLYDIR | IN_EXCL_UNLINK;
  if (options.subTree || (options.filterMask & (kNotifyFileName | kNotifyDirName)) != 0) {
    mask |= IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
  }
  if (options.filterMask & (kNotifyAttributes | kNotifySecurity)) mask |= IN_ATTRIB;
  if (options.filterMask & (kNotifySize | kNotifyLastWrite)) mask |= IN_MODIFY;
  if (options.filterMask & kNotifyLastAccess) mask |= IN_ACCESS;
  return mask;
}

// The filter bits under which an inotify content event is reported.
std::uint32_t FilterOfContentEvent(std::uint32_t eventMask) {
  if (eventMask & IN_MODIFY) return kNotifySize | kNotifyLastWrite;
  if (eventMask & IN_ATTRIB) return kNotifyAttributes | kNotifySecurity;
  if (eventMask & IN_ACCESS) return kNotifyLastAccess;
  return 0;
}

std::string Child(const std::string& dir, const std::string& name) {
  return dir.empty() ? name : dir + "/" + name;
}

bool IsAtOrBelow(const std::string& path, const std::string& dir) {
  return path.starts_with(dir) && (path.size() == dir.size() || path[dir.size()] == '/');
}

std::int64_t NanosecondsOf(const timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

std::int64_t ChangeTimeNs(int dirFd, const char* name) {
  struct statx sx {};
  if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_CTIME, &sx) != 0) return 0;
  return static_cast<std::int64_t>(sx.stx_ctime.tv_sec) * 1'000'000'000 + sx.stx_ctime.tv_nsec;
}

// Directories set up between two looks at the events: often enough that a
// stop is seen at once and the kernel's event queue rarely fills.
constexpr int kDirsBetweenDrains = 64;

// Walkers of a set-up at most: one per processor, up to this.
constexpr unsigned kMostWalkers = 4;

}  // namespace

InotifyTree::InotifyTree(std::string root, const ChangeWatchOptions& options,
                         std::int64_t sinceNs)
    : root_(std::move(root)),
      rootPath_(AbsolutePath(root_)),
      subTree_(options.subTree),
      filter_(options.filterMask),
      eventMask_(EventMaskFor(options)),
      watchLimit_(options.watchLimit),
      firstDirs_(options.firstDirs),
      onWatched_(options.onWatched),
      fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
      sinceNs_(sinceNs),
      lastEmptyNs_(sinceNs),
      buffer_(kReadBufferSize) {}

InotifyTree::~InotifyTree() {
  if (fd_ >= 0) ::close(fd_);
}

std::string InotifyTree::FullPath(const std::string& rel) const {
  if (rel.empty()) return root_;
  return root_.ends_with('/') ? root_ + rel : root_ + "/" + rel;
}

template <typename OnEntry>
void InotifyTree::ForEachEntry(const std::string& rel, OnEntry onEntry) const {
  ForEachEntry(rel, [](int) { return true; }, onEntry);
}

template <typename OnOpen, typename OnEntry>
void InotifyTree::ForEachEntry(const std::string& rel, OnOpen onOpen, OnEntry onEntry) const {
  int fd = ::open(FullPath(rel).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  if (!onOpen(fd)) return;
  // A mount point is never looked at: it may lead to a filesystem that
  // hangs. Only a folder that holds one has its entries checked.
  const std::string absolute = rel.empty() ? rootPath_ : ChildPath(rootPath_, rel);
  const bool holdsMounts = mounts_.HoldsMountPoints(absolute);
  // One buffer per walker.
  thread_local std::vector<char> records(32 * 1024);
  std::string name;
  for (;;) {
    ssize_t n = ::getdents64(fd, records.data(), records.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    for (ssize_t at = 0; at < n;) {
      const auto* entry = reinterpret_cast<const struct dirent64*>(records.data() + at);
      at += entry->d_reclen;
      const char* raw = entry->d_name;
      if (raw[0] == '.' && (raw[1] == '\0' || (raw[1] == '.' && raw[2] == '\0'))) continue;
      name.assign(raw);
      if (holdsMounts && mounts_.IsMountPoint(ChildPath(absolute, name))) continue;
      bool isDir = entry->d_type == DT_DIR;
      if (entry->d_type == DT_UNKNOWN) {
        struct stat st {};
        isDir = ::fstatat(fd, raw, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
      }
      onEntry(fd, name, isDir);
    }
  }
}

// What a directory below the root is, if the tree may take it in: a real
// directory (no link), no mount point. The root is taken as it is.
std::optional<Subdirectory> InotifyTree::LookAt(const std::string& rel) const {
  if (rel.empty()) {
    struct stat st {};
    if (::stat(root_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    return Subdirectory{st.st_dev, 0};
  }
  if (mounts_.IsMountPoint(ChildPath(rootPath_, rel))) return std::nullopt;
  return CheckSubdirectory(AT_FDCWD, FullPath(rel), rootDevice_);
}

bool InotifyTree::AddWatch(WatchTable::Node node, const std::string& rel) {
  if (limitHit_) return false;
  std::string path = FullPath(rel);
  std::uint32_t flags = eventMask_ | (rel.empty() ? 0 : IN_DONT_FOLLOW);
  if (watchLimit_ != 0 && table_.WatchCount() >= watchLimit_) {
    limitHit_ = true;
    return false;
  }
  int wd = ::inotify_add_watch(fd_, path.c_str(), flags);
  if (wd < 0) {
    limitHit_ = errno == ENOSPC;
    return false;
  }
  // Walks stop at mount points, so a folder has one path in the tree: a
  // watch found under another path is of a folder renamed meanwhile.
  table_.SetWatch(node, wd);
  return true;
}

// Said once the set-up knows how many folders there are, and kept on the
// user's screen: what is not watched stays unwatched.
void InotifyTree::WarnOfLimit(std::vector<QueuedChange>& out) {
  if (!limitHit_) return;
  std::string text = "监视数量已达系统上限：" + root_ + " 下 " +
                     std::to_string(std::max(dirsSeen_, table_.WatchCount())) + " 个目录只监视了 " +
                     std::to_string(table_.WatchCount()) +
                     " 个，可用 sysctl fs.inotify.max_user_watches 提高上限";
  out.push_back({QueuedChange::kWarning, {}, std::move(text)});
}

std::optional<std::string> InotifyTree::RelativeToRoot(const std::string& path) const {
  std::string absolute = AbsolutePath(path);
  if (rootPath_ == "/") return absolute == "/" ? std::string() : absolute.substr(1);
  if (absolute == rootPath_) return std::string();
  if (!IsAtOrBelow(absolute, rootPath_)) return std::nullopt;
  return absolute.substr(rootPath_.size() + 1);
}

// Watches the folders from the root down to `rel` (without listing them:
// the breadth-first walk does that later). False when one of them is no
// folder the tree takes in (a mount point, a link, missing).
bool InotifyTree::WatchDownTo(const std::string& rel) {
  std::size_t at = 0;
  for (;;) {
    std::size_t slash = rel.find('/', at);
    std::string part = rel.substr(0, slash);
    if (!LookAt(part)) return false;
    WatchTable::Node node = table_.Make(part);
    if (!table_.IsWatched(node) && !AddWatch(node, part) && !limitHit_) {
      table_.Prune(node);
      return false;
    }
    if (slash == std::string::npos) return true;
    at = slash + 1;
  }
}

void InotifyTree::WatchAll(const Between& between, std::vector<QueuedChange>& out) {
  needsRewatch_ = false;
  limitHit_ = false;
  walking_ = true;
  dirsSeen_ = 0;
  mounts_ = MountPoints::Current();
  std::optional<Subdirectory> root = LookAt("");
  if (!marginTaken_) {
    // A filesystem with coarse times stamps a new file up to a step early.
    marginTaken_ = true;
    if (int fd = ::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); fd >= 0) {
      sinceNs_ -= CoarseTimesMarginNs(fd);
      ::close(fd);
    }
  }
  if (root) {
    rootDevice_ = root->device;
    bool going = true;
    if (subTree_) {
      for (const std::string& first : firstDirs_) {
        std::optional<std::string> rel = RelativeToRoot(first);
        if (!going || !rel || rel->empty() || walked_.count(*rel) != 0) continue;
        std::optional<Subdirectory> info = LookAt(*rel);
        if (!info || !WatchDownTo(*rel)) continue;
        going = WalkFrom({table_.Find(*rel), *info}, between, out);
        walked_.insert(*rel);
      }
    }
    if (going) going = WalkFrom({WatchTable::kRoot, *root}, between, out);
    // Events of what the set-up listed are in the queue by now: taken while
    // both sides still know what was reported. Folders they renamed before
    // the walk got to them are walked under their new names.
    while (going && between(true) && !queue_.empty()) going = WalkQueue(between, out);
  }
  DropQueue();
  walking_ = false;
  reported_.clear();
  walked_.clear();
  WarnOfLimit(out);
  // What the set-up used on the way is given back to the system: the table
  // is all that stays.
  queue_.shrink_to_fit();
  table_.Shrink();
  ::malloc_trim(0);
}

// Forgets the folders still queued, with what the table kept for them.
void InotifyTree::DropQueue() {
  for (const QueuedDir& left : queue_) {
    if (table_.TakeQueued(left.node)) table_.Prune(left.node);
  }
  queue_.clear();
}

bool InotifyTree::WalkFrom(QueuedDir start, const Between& between,
                           std::vector<QueuedChange>& out) {
  table_.SetQueued(start.node);
  queue_.push_back(start);
  return WalkQueue(between, out);
}

bool InotifyTree::WalkQueue(const Between& between, std::vector<QueuedChange>& out) {
  // The test hook holds the walk at a folder: that needs a walk of one.
  unsigned processors = std::max(1u, std::thread::hardware_concurrency());
  unsigned helpers = std::min(processors, kMostWalkers) - 1;
  if (subTree_ && !onWatched_ && helpers > 0) return WalkQueueInParallel(helpers, between, out);
  int sinceDrain = 0;
  while (!queue_.empty()) {
    QueuedDir dir = queue_.front();
    queue_.pop_front();
    // A folder that went (moved out) before its turn is not visited.
    if (table_.TakeQueued(dir.node)) {
      Visiting visit;
      Begin(dir, visit);
      Look(visit);
      Finish(visit, out);
    }
    bool drain = ++sinceDrain == kDirsBetweenDrains || !out.empty();
    if (drain) sinceDrain = 0;
    if (!between(drain)) return false;
    if (!subTree_) DropQueue();
  }
  return true;
}

// Several walkers share the queue: each takes a folder, watches and lists it
// without the lock (the part that waits for the system), and puts what it
// found into the tree under the lock. The calling thread walks too, and
// alone looks at the events between folders, as the walk of one does.
bool InotifyTree::WalkQueueInParallel(unsigned helpers, const Between& between,
                                      std::vector<QueuedChange>& out) {
  std::mutex mutex;
  std::condition_variable changed;
  unsigned busy = 0;
  bool stop = false;
  bool stopped = false;  // by the caller's side
  int sinceDrain = 0;
  auto walk = [&](bool caller) {
    std::unique_lock lock(mutex);
    for (;;) {
      if (caller) {
        bool drain = sinceDrain >= kDirsBetweenDrains || !out.empty();
        if (drain) sinceDrain = 0;
        if (!between(drain)) {
          stop = stopped = true;
          changed.notify_all();
          return;
        }
      }
      changed.wait(lock, [&] { return stop || !queue_.empty() || busy == 0; });
      if (stop) return;
      if (queue_.empty()) {
        changed.notify_all();
        return;  // nothing queued and nobody busy: the walk is done
      }
      QueuedDir dir = queue_.front();
      queue_.pop_front();
      if (!table_.TakeQueued(dir.node)) continue;
      Visiting visit;
      Begin(dir, visit);
      ++busy;
      lock.unlock();
      Look(visit);
      lock.lock();
      --busy;
      Finish(visit, out);
      ++sinceDrain;
      changed.notify_all();
    }
  };
  std::vector<std::thread> walkers;
  for (unsigned i = 0; i < helpers; ++i) walkers.emplace_back(walk, false);
  walk(true);
  {
    std::lock_guard lock(mutex);
    stop = true;
  }
  changed.notify_all();
  for (std::thread& walker : walkers) walker.join();
  stashed_.clear();
  return !stopped;
}

// Takes a folder in hand: what the walk knows of it and whether to watch it.
void InotifyTree::Begin(const QueuedDir& dir, Visiting& visit) {
  ++dirsSeen_;
  visit.dir = dir;
  visit.rel = table_.PathOf(dir.node);
  visit.watched = table_.IsWatched(dir.node);
  visit.since = sinceNs_;
  if (visit.watched || limitHit_) return;
  if (watchLimit_ != 0 && table_.WatchCount() + watchesInFlight_ >= watchLimit_) {
    limitHit_ = true;
    return;
  }
  visit.tryWatch = true;
  ++watchesInFlight_;
}

// Watches the folder and lists it: the system's part of a visit, which
// touches nothing of the tree but the mount table. Its times are taken
// after its watch is in place: a change made after that raises an event,
// one made before shows in the times.
void InotifyTree::Look(Visiting& visit) const {
  if (visit.tryWatch) {
    std::uint32_t flags = eventMask_ | (visit.rel.empty() ? 0 : IN_DONT_FOLLOW);
    visit.wd = ::inotify_add_watch(fd_, FullPath(visit.rel).c_str(), flags);
    visit.error = visit.wd < 0 ? errno : 0;
  }
  bool watched = visit.watched || visit.wd >= 0;
  bool limit = !watched && (!visit.tryWatch || visit.error == ENOSPC);
  // A folder gone, or no folder, is not listed; past the limit of watches
  // folders are still listed, to count them.
  if (!watched && !limit) return;
  if (watched && onWatched_) onWatched_(visit.rel);
  ForEachEntry(
      visit.rel,
      [&](int dirFd) {
        struct stat st {};
        visit.changed = ::fstat(dirFd, &st) == 0 &&
                        std::max(NanosecondsOf(st.st_mtim), NanosecondsOf(st.st_ctim)) >= visit.since;
        return visit.changed || subTree_;
      },
      [&](int dirFd, const std::string& name, bool isDir) {
        Visiting::Found found{name, isDir, std::nullopt, 0};
        if (isDir) {
          found.sub = CheckSubdirectory(dirFd, name, visit.dir.info.device);
          if (!found.sub) return;  // a link, or gone
        }
        if (visit.changed) {
          found.changedNs = found.sub ? found.sub->bornNs : ChangeTimeNs(dirFd, name.c_str());
        } else if (!isDir) {
          return;
        }
        visit.found.push_back(std::move(found));
      });
}

// Puts what a visit found into the tree: the watch, the folders to walk on,
// and, where the folder changed since watching began, its entries that did.
void InotifyTree::Finish(Visiting& visit, std::vector<QueuedChange>& out) {
  if (visit.tryWatch) {
    --watchesInFlight_;
    if (visit.wd >= 0) {
      table_.SetWatch(visit.dir.node, visit.wd);
      visit.watched = true;
      ReplayStashed(visit.wd, out);
    } else if (visit.error == ENOSPC) {
      limitHit_ = true;
    }
  }
  for (const Visiting::Found& found : visit.found) {
    std::string child = Child(visit.rel, found.name);
    if (found.sub && subTree_ && walked_.count(child) == 0) {
      WatchTable::Node node = table_.Child(visit.dir.node, found.name);
      table_.SetQueued(node);
      queue_.push_back({node, *found.sub});
    }
    if (visit.changed && found.changedNs >= sinceNs_) {
      // Its event, if it comes a little later than the entry showed, is
      // no second report.
      RememberScanned(child);
      ReportNew(child, found.isDir, out);
    }
  }
  if (!visit.watched) table_.Prune(visit.dir.node);
}

// Events of a folder whose watch a walker has asked for but not yet put
// into the tree wait for it.
bool InotifyTree::Stash(const inotify_event& event, const char* name) {
  if (watchesInFlight_ == 0 || table_.OfWatch(event.wd) != WatchTable::kNone) return false;
  stashed_.push_back({event.wd, event.mask, event.cookie, std::string(name, event.len)});
  return true;
}

void InotifyTree::ReplayStashed(int wd, std::vector<QueuedChange>& out) {
  if (stashed_.empty()) return;
  std::vector<StashedEvent> replay;
  std::erase_if(stashed_, [&](StashedEvent& e) {
    if (e.wd != wd) return false;
    replay.push_back(std::move(e));
    return true;
  });
  for (const StashedEvent& e : replay) {
    inotify_event event{};
    event.wd = e.wd;
    event.mask = e.mask;
    event.cookie = e.cookie;
    event.len = static_cast<std::uint32_t>(e.name.size());
    Handle(event, e.name.data(), out);
  }
}

bool InotifyTree::ReadEvents(std::vector<QueuedChange>& out) {
  ExpireScanned();
  std::int64_t readNs = FileClockNs();
  ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
  if (n < 0 && errno == EAGAIN) lastEmptyNs_ = readNs;
  if (n <= 0) return n < 0 && errno == EINTR;
  for (ssize_t at = 0; at < n;) {
    inotify_event event;
    std::memcpy(&event, buffer_.data() + at, sizeof event);
    Handle(event, buffer_.data() + at + sizeof event, out);
    at += static_cast<ssize_t>(sizeof event + event.len);
  }
  return true;
}

void InotifyTree::Report(int action, const std::string& rel, bool isDir,
                         std::vector<QueuedChange>& out) {
  bool wanted = action == kChangeModified || (filter_ & (isDir ? kNotifyDirName : kNotifyFileName));
  if (wanted) out.push_back({QueuedChange::kRecord, {action, rel}, {}});
}

void InotifyTree::Handle(const inotify_event& event, const char* name,
                         std::vector<QueuedChange>& out) {
  if (event.mask & IN_Q_OVERFLOW) {
    ResolveMove(out);
    out.push_back({QueuedChange::kLost, {}, LostChangesNotice(root_)});
    // The set-up that follows reports what appeared since the queue was last
    // seen empty: every event before that was read. (During the first walk
    // it keeps the start of watching.)
    needsRewatch_ = subTree_;
    sinceNs_ = walking_ ? std::min(sinceNs_, lastEmptyNs_) : lastEmptyNs_;
    return;
  }
  if (Stash(event, name)) return;
  if (event.mask & IN_IGNORED) {
    table_.DropWatch(event.wd);
    return;
  }
  // A move out is settled before anything else: it may take watches away.
  bool completesMove = (event.mask & IN_MOVED_TO) && pending_ && pending_->cookie == event.cookie;
  if (pending_ && !completesMove) ResolveMove(out);
  WatchTable::Node dir = table_.OfWatch(event.wd);
  if (dir == WatchTable::kNone || event.len == 0) return;  // events of a watched directory itself
  std::string rel = Child(table_.PathOf(dir), name);
  bool isDir = (event.mask & IN_ISDIR) != 0;

  if (event.mask & IN_MOVED_FROM) {
    pending_ = PendingMove{event.cookie, rel, isDir};
  } else if (completesMove) {
    PendingMove from = std::move(*pending_);
    pending_.reset();
    Renamed(from, rel, out);
  } else if (event.mask & (IN_CREATE | IN_MOVED_TO)) {
    Added(rel, isDir, out);
  } else if (event.mask & IN_DELETE) {
    ForgetScanned(rel);
    ForgetReported(rel);
    Report(kChangeRemoved, rel, isDir, out);
  } else if (filter_ & FilterOfContentEvent(event.mask)) {
    Report(kChangeModified, rel, isDir, out);
  }
}

void InotifyTree::Added(const std::string& rel, bool isDir, std::vector<QueuedChange>& out) {
  if (ForgetScanned(rel)) return;
  ReportNew(rel, isDir, out);
  if (isDir && subTree_) WatchAndScan(rel, out);
}

// Reports an entry that appeared; while the set-up runs, once only, whether
// its event or a listing finds it first.
void InotifyTree::ReportNew(const std::string& rel, bool isDir, std::vector<QueuedChange>& out) {
  if (walking_ && !reported_.insert(rel).second) return;
  Report(kChangeAdded, rel, isDir, out);
}

void InotifyTree::Renamed(const PendingMove& from, const std::string& to,
                          std::vector<QueuedChange>& out) {
  ForgetScanned(from.rel);
  if (walking_) {
    ForgetReported(from.rel);
    reported_.insert(to);
  }
  if (filter_ & (from.isDir ? kNotifyDirName : kNotifyFileName)) {
    out.push_back({QueuedChange::kRecord, {kChangeRenamedOld, from.rel}, {}});
    out.push_back({QueuedChange::kRecord, {kChangeRenamedNew, to}, {}});
  }
  if (from.isDir) MoveWatches(from.rel, to);
  // A folder the set-up had not got to yet, renamed before its name was
  // read, is set up under its new name.
  if (from.isDir && walking_ && subTree_ && !IsWatched(to)) {
    WatchTable::Node node = table_.Find(to);
    bool queued = node != WatchTable::kNone &&
                  std::any_of(queue_.begin(), queue_.end(),
                              [&](const QueuedDir& q) { return q.node == node; });
    std::optional<Subdirectory> info;
    if (!queued && (info = LookAt(to))) {
      node = table_.Make(to);
      table_.SetQueued(node);
      queue_.push_back({node, *info});
    }
  }
}

bool InotifyTree::IsWatched(const std::string& rel) const {
  return table_.IsWatched(table_.Find(rel));
}

void InotifyTree::ResolveMove(std::vector<QueuedChange>& out) {
  if (!pending_) return;
  PendingMove gone = std::move(*pending_);
  pending_.reset();
  ForgetScanned(gone.rel);
  ForgetReported(gone.rel);
  Report(kChangeRemoved, gone.rel, gone.isDir, out);
  if (gone.isDir) Unwatch(gone.rel);
}

// Watches a directory that appeared and everything below it, reporting what
// they hold as added: files may have been written into it before its watch
// was in place.
void InotifyTree::WatchAndScan(const std::string& rel, std::vector<QueuedChange>& out) {
  std::vector<std::string> stack{rel};
  while (!stack.empty()) {
    std::string dir = std::move(stack.back());
    stack.pop_back();
    if (!LookAt(dir)) continue;
    WatchTable::Node node = table_.Make(dir);
    if (!table_.IsWatched(node) && !AddWatch(node, dir)) {
      table_.Prune(node);
      continue;
    }
    ForEachEntry(dir, [&](int, const std::string& name, bool isDir) {
      std::string child = Child(dir, name);
      RememberScanned(child);
      ReportNew(child, isDir, out);
      if (isDir) stack.push_back(child);
    });
  }
}

void InotifyTree::RememberScanned(const std::string& rel) {
  Clock::time_point now = Clock::now();
  scanned_[rel] = now;
  scanOrder_.emplace_back(now, rel);
}

bool InotifyTree::ForgetScanned(const std::string& rel) { return scanned_.erase(rel) != 0; }

void InotifyTree::ExpireScanned() {
  Clock::time_point cutoff = Clock::now() - kScanMemory;
  while (!scanOrder_.empty() && scanOrder_.front().first < cutoff) {
    auto it = scanned_.find(scanOrder_.front().second);
    if (it != scanned_.end() && it->second == scanOrder_.front().first) scanned_.erase(it);
    scanOrder_.pop_front();
  }
}

void InotifyTree::Unwatch(const std::string& rel) {
  table_.Remove(table_.Find(rel), [this](int wd) { ::inotify_rm_watch(fd_, wd); });
}

// An entry gone, and what it held: a new entry of the same name is new.
void InotifyTree::ForgetReported(const std::string& rel) {
  std::erase_if(reported_, [&](const std::string& r) { return IsAtOrBelow(r, rel); });
}

// A folder renamed takes what is below it along, watched or still queued
// for the set-up, which then sets those up under their new names.
void InotifyTree::MoveWatches(const std::string& from, const std::string& to) {
  WatchTable::Node node = table_.Find(from);
  if (node == WatchTable::kNone) return;
  std::size_t slash = to.rfind('/');
  WatchTable::Node parent =
      slash == std::string::npos ? WatchTable::kRoot : table_.Make(to.substr(0, slash));
  table_.Move(node, parent, slash == std::string::npos ? to : to.substr(slash + 1),
              [this](int wd) { ::inotify_rm_watch(fd_, wd); });
}

}  // namespace ravo::platform
