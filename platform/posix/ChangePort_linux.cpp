// Change reading on Linux: a reader thread per open directory sets up the
// inotify watches, then empties the inotify queue as fast as events come
// into the directory's own queue, from which armed reads are completed.
//
// The reader owns the inotify tree and shares the queue with the directory
// through a reference-counted state, so that closing the directory never
// waits long for it: a reader busy in a slow look at the disk (a cold cache,
// a filesystem that hangs) is told to stop and left to end on its own, and
// the kernel's teardown of many watches happens on the reader too.
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/ChangePort.h"
#include "platform/ChangeQueue.h"
#include "platform/posix/InotifyTree.h"
#include "platform/posix/MountTable.h"
#include "platform/posix/WalkBoundary.h"

namespace ravo::platform {
namespace {

// How long the first half of a rename waits for its second half before it
// is taken as a move out of the tree.
constexpr int kMoveGraceMs = 20;

// How long closing waits for the reader before leaving it to end alone.
constexpr std::chrono::milliseconds kStopWait{100};

}  // namespace

struct ChangePort::Impl {
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<ChangePacket> packets;
};

ChangePort::ChangePort() : impl_(std::make_unique<Impl>()) {}
ChangePort::~ChangePort() = default;

void ChangePort::Post(ChangePacket packet) {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->packets.push_back(std::move(packet));
  }
  impl_->arrived.notify_one();
}

ChangePacket ChangePort::Wait() {
  std::unique_lock lock(impl_->mutex);
  impl_->arrived.wait(lock, [&] { return !impl_->packets.empty(); });
  ChangePacket packet = std::move(impl_->packets.front());
  impl_->packets.pop_front();
  return packet;
}

// What the directory and its reader share.
struct ReaderState {
  ReaderState(std::string path, const ChangeWatchOptions& options)
      : root(std::move(path)),
        openedNs(FileClockNs()),
        queue(options.queueLimit, LostChangesNotice(root)) {}
  ~ReaderState() {
    if (wakeFd >= 0) ::close(wakeFd);
  }

  void Wake() {
    std::uint64_t one = 1;
    while (::write(wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
  }

  // Hands what was staged to the queue and completes the pending read if
  // there is one.
  void Publish(std::vector<QueuedChange>& staging) {
    if (staging.empty()) return;
    std::lock_guard lock(mutex);
    queue.Append(staging);
    CompletePendingRead();
  }

  bool Arm(std::shared_ptr<ChangePort> target, std::uint64_t readKey) {
    std::lock_guard lock(mutex);
    if (!running || closed || port) return false;
    port = std::move(target);
    key = readKey;
    CompletePendingRead();
    return true;
  }

  // The directory is closed: nothing reaches its port after this returns.
  void Close() {
    std::lock_guard lock(mutex);
    closed = true;
    port.reset();
  }

  // Under `mutex`, so that closing waits for a packet on its way: completes
  // the pending read, if one is pending and something is queued.
  void CompletePendingRead() {
    if (!port || !queue.HasBatch()) return;
    std::shared_ptr<ChangePort> target = std::move(port);
    port.reset();
    target->Post(ChangePacket{key, queue.TakeBatch(kChangeBufferSize)});
  }

  const std::string root;
  const std::int64_t openedNs;  // watching begins: files from then on are reported
  std::atomic<bool> stopping{false};
  int wakeFd = -1;
  bool running = false;  // set before the reader starts, never changed after

  std::mutex mutex;
  ChangeQueue queue;                 // under mutex
  std::shared_ptr<ChangePort> port;  // under mutex: where the pending read completes
  std::uint64_t key = 0;             // under mutex
  bool closed = false;               // under mutex
  bool ended = false;                // under mutex: the reader is done
  std::condition_variable endedChanged;
};

namespace {

// Reader thread: sets up the watches, then reads events until told to stop.
void ReadChangesOf(const std::shared_ptr<ReaderState>& state, const ChangeWatchOptions& options) {
  InotifyTree tree(state->root, options, state->openedNs);
  std::vector<QueuedChange> staging;
  if (!tree.Ok()) {
    staging.push_back({QueuedChange::kNotice, {}, "无法监视 " + state->root});
    state->Publish(staging);
    return;
  }
  auto drain = [&] {
    while (!state->stopping && tree.ReadEvents(staging)) state->Publish(staging);
    return !state->stopping.load();
  };
  auto between = [&](bool takeEvents) {
    if (takeEvents) drain();
    state->Publish(staging);
    return !state->stopping.load();
  };
  tree.WatchAll(between, staging);
  if (state->stopping) return;
  staging.push_back({QueuedChange::kNotice, {},
                     tree.WatchCount() == 0
                         ? "无法监视 " + state->root
                         : "已开始监视 " + state->root + "（" + std::to_string(tree.WatchCount()) +
                               " 个目录）"});
  state->Publish(staging);
  pollfd fds[2] = {{tree.Fd(), POLLIN, 0}, {state->wakeFd, POLLIN, 0}};
  while (!state->stopping) {
    if (tree.NeedsRewatch()) {
      tree.WatchAll(between, staging);
      state->Publish(staging);
    }
    int ready = ::poll(fds, 2, tree.MovePending() ? kMoveGraceMs : -1);
    if (ready < 0 && errno != EINTR) {
      staging.push_back({QueuedChange::kNotice, {}, "监视已中断：" + state->root});
      state->Publish(staging);
      return;
    }
    if (ready == 0) tree.ResolveMove(staging);
    if (ready > 0) drain();
    state->Publish(staging);
  }
}

}  // namespace

struct ChangeDirectory::Impl {
  Impl(const std::string& path, const ChangeWatchOptions& options)
      : state(std::make_shared<ReaderState>(path, options)), options(options) {}

  // Tells the reader to stop and waits a moment for it; a reader that is
  // stuck in the system is left to end alone (it holds what it uses).
  ~Impl() {
    state->Close();
    if (!reader.joinable()) return;
    state->stopping = true;
    state->Wake();
    std::unique_lock lock(state->mutex);
    bool ended = state->endedChanged.wait_for(lock, kStopWait, [&] { return state->ended; });
    lock.unlock();
    if (ended) {
      reader.join();
    } else {
      reader.detach();
    }
  }

  // Without a wake-up descriptor (the system's limits reached) nothing can
  // be watched: the first read delivers only a notice saying so.
  void Start() {
    state->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    state->running = true;
    if (state->wakeFd < 0) {
      Notice("无法监视 " + state->root);
      return;
    }
    reader = std::thread([shared = state, opts = options] {
      ReadChangesOf(shared, opts);
      std::lock_guard lock(shared->mutex);
      shared->ended = true;
      shared->endedChanged.notify_all();
    });
  }

  // A directory whose only read delivers a notice.
  void Notice(std::string text) {
    state->running = true;
    std::vector<QueuedChange> notice{{QueuedChange::kNotice, {}, std::move(text)}};
    std::lock_guard lock(state->mutex);
    state->queue.Append(notice);
  }

  std::shared_ptr<ReaderState> state;
  ChangeWatchOptions options;
  std::thread reader;
};

std::unique_ptr<ChangeDirectory> ChangeDirectory::Open(const std::string& path,
                                                      const ChangeWatchOptions& options) {
  if (path.empty()) return nullptr;
  auto impl = std::make_unique<Impl>(path, options);
  // A network filesystem is never looked at: any look may wait for the
  // server. The mount table tells without touching it.
  if (OnRemoteFilesystem(MountPoints::Current(), AbsolutePath(path))) {
    impl->Notice("不监视网络文件系统 " + path);
    return std::unique_ptr<ChangeDirectory>(new ChangeDirectory(std::move(impl)));
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) return nullptr;
  // Anything but a directory that could be watched leaves a directory on
  // which no read can be armed.
  if (S_ISDIR(st.st_mode)) impl->Start();
  return std::unique_ptr<ChangeDirectory>(new ChangeDirectory(std::move(impl)));
}

ChangeDirectory::ChangeDirectory(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ChangeDirectory::~ChangeDirectory() = default;

bool ChangeDirectory::ReadChanges(std::shared_ptr<ChangePort> port, std::uint64_t key) {
  return impl_->state->Arm(std::move(port), key);
}

}  // namespace ravo::platform
