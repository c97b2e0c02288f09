#include "platform/posix/InotifyTree.h"

#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ravo::platform {
namespace {

constexpr std::size_t kReadBufferSize = 64 * 1024;
constexpr int kWatchesBetweenDrains = 256;
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

}  // namespace

InotifyTree::InotifyTree(std::string root, const ChangeWatchOptions& options)
    : root_(std::move(root)),
      subTree_(options.subTree),
      filter_(options.filterMask),
      eventMask_(EventMaskFor(options)),
      watchLimit_(options.watchLimit),
      fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
      buffer_(kReadBufferSize) {
  struct stat st {};
  if (::stat(root_.c_str(), &st) == 0) rootDevice_ = st.st_dev;
}

InotifyTree::~InotifyTree() {
  if (fd_ >= 0) ::close(fd_);
}

std::string InotifyTree::FullPath(const std::string& rel) const {
  if (rel.empty()) return root_;
  return root_.ends_with('/') ? root_ + rel : root_ + "/" + rel;
}

template <typename Visit>
void InotifyTree::ForEachEntry(const std::string& rel, Visit visit) const {
  std::string path = FullPath(rel);
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool isDir = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      isDir = ::lstat(Child(path, name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    visit(name, isDir);
  }
  ::closedir(dir);
}

bool InotifyTree::AddWatch(const std::string& rel, std::vector<QueuedChange>& out) {
  std::string path = FullPath(rel);
  std::uint32_t flags = eventMask_;
  if (!rel.empty()) {
    // Below the root: no symbolic links, and no other filesystem.
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_dev != rootDevice_) {
      return false;
    }
    flags |= IN_DONT_FOLLOW;
  }
  if (watchLimit_ != 0 && paths_.size() >= watchLimit_) {
    LimitReached(out);
    return false;
  }
  int wd = ::inotify_add_watch(fd_, path.c_str(), flags);
  if (wd < 0) {
    if (errno == ENOSPC) LimitReached(out);
    return false;
  }
  // A directory seen before under another path (a bind mount) is not
  // walked twice.
  auto [it, inserted] = paths_.try_emplace(wd, rel);
  return inserted || it->second == rel;
}

void InotifyTree::LimitReached(std::vector<QueuedChange>& out) {
  limitHit_ = true;
  if (limitReported_) return;
  limitReported_ = true;
  out.push_back({QueuedChange::kNotice, {},
                 "已达到系统允许的目录监视数量上限（fs.inotify.max_user_watches），" + root_ +
                     " 下只监视了 " + std::to_string(paths_.size()) + " 个目录"});
}

void InotifyTree::WatchAll(const std::function<bool()>& between, std::vector<QueuedChange>& out) {
  needsRewatch_ = false;
  limitHit_ = false;
  std::vector<std::string> stack{""};
  int sinceDrain = 0;
  while (!stack.empty()) {
    std::string dir = std::move(stack.back());
    stack.pop_back();
    if (!AddWatch(dir, out)) {
      if (limitHit_) return;  // watch what fits
      continue;
    }
    if (!subTree_) return;
    ForEachEntry(dir, [&](const std::string& name, bool isDir) {
      if (isDir) stack.push_back(Child(dir, name));
    });
    if (++sinceDrain == kWatchesBetweenDrains) {
      sinceDrain = 0;
      if (!between()) return;
    }
  }
}

bool InotifyTree::ReadEvents(std::vector<QueuedChange>& out) {
  ExpireScanned();
  ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
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
    needsRewatch_ = subTree_;
    return;
  }
  if (event.mask & IN_IGNORED) {
    paths_.erase(event.wd);
    return;
  }
  // A move out is settled before anything else: it may take watches away.
  bool completesMove = (event.mask & IN_MOVED_TO) && pending_ && pending_->cookie == event.cookie;
  if (pending_ && !completesMove) ResolveMove(out);
  auto dir = paths_.find(event.wd);
  if (dir == paths_.end() || event.len == 0) return;  // events of a watched directory itself
  std::string rel = Child(dir->second, name);
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
    Report(kChangeRemoved, rel, isDir, out);
  } else if (filter_ & FilterOfContentEvent(event.mask)) {
    Report(kChangeModified, rel, isDir, out);
  }
}

void InotifyTree::Added(const std::string& rel, bool isDir, std::vector<QueuedChange>& out) {
  if (ForgetScanned(rel)) return;
  Report(kChangeAdded, rel, isDir, out);
  if (isDir && subTree_) WatchAndScan(rel, out);
}

void InotifyTree::Renamed(const PendingMove& from, const std::string& to,
                          std::vector<QueuedChange>& out) {
  ForgetScanned(from.rel);
  if (filter_ & (from.isDir ? kNotifyDirName : kNotifyFileName)) {
    out.push_back({QueuedChange::kRecord, {kChangeRenamedOld, from.rel}, {}});
    out.push_back({QueuedChange::kRecord, {kChangeRenamedNew, to}, {}});
  }
  if (from.isDir) MoveWatches(from.rel, to);
}

void InotifyTree::ResolveMove(std::vector<QueuedChange>& out) {
  if (!pending_) return;
  PendingMove gone = std::move(*pending_);
  pending_.reset();
  ForgetScanned(gone.rel);
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
    if (!AddWatch(dir, out)) continue;
    ForEachEntry(dir, [&](const std::string& name, bool isDir) {
      std::string child = Child(dir, name);
      RememberScanned(child);
      Report(kChangeAdded, child, isDir, out);
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
  for (auto it = paths_.begin(); it != paths_.end();) {
    if (IsAtOrBelow(it->second, rel)) {
      ::inotify_rm_watch(fd_, it->first);
      it = paths_.erase(it);
    } else {
      ++it;
    }
  }
}

void InotifyTree::MoveWatches(const std::string& from, const std::string& to) {
  for (auto& [wd, path] : paths_) {
    if (IsAtOrBelow(path, from)) path = to + path.substr(from.size());
  }
}

}  // namespace ravo::platform
