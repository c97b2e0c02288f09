// Change reading on Linux: a reader thread per open directory sets up the
// inotify watches, then empties the inotify queue as fast as events come
// into the directory's own queue, from which armed reads are completed.
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/ChangePort.h"
#include "platform/ChangeQueue.h"
#include "platform/posix/InotifyTree.h"

namespace ravo::platform {
namespace {

// How long the first half of a rename waits for its second half before it
// is taken as a move out of the tree.
constexpr int kMoveGraceMs = 20;

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

struct ChangeDirectory::Impl {
  Impl(const std::string& path, const ChangeWatchOptions& options)
      : root(path),
        tree(path, options),
        queue(options.queueLimit, LostChangesNotice(path)) {}

  ~Impl() {
    if (reader.joinable()) {
      stopping = true;
      std::uint64_t one = 1;
      while (::write(wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
      }
      reader.join();
    }
    if (wakeFd >= 0) ::close(wakeFd);
  }

  // Without inotify or a wake-up descriptor (the system's limits reached)
  // nothing can be watched: the first read delivers only a notice saying so.
  void Start() {
    wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    running = true;
    if (wakeFd < 0 || !tree.Ok()) {
      std::vector<QueuedChange> notice{{QueuedChange::kNotice, {}, "无法监视 " + root}};
      queue.Append(notice);
      return;
    }
    reader = std::thread([this] { Run(); });
  }

  // Reader thread.
  void Run() {
    auto drain = [this] {
      while (!stopping && tree.ReadEvents(staging)) Publish();
      return !stopping.load();
    };
    tree.WatchAll(drain, staging);
    staging.push_back({QueuedChange::kNotice, {},
                       tree.WatchCount() == 0
                           ? "无法监视 " + root
                           : "已开始监视 " + root + "（" + std::to_string(tree.WatchCount()) +
                                 " 个目录）"});
    Publish();
    pollfd fds[2] = {{tree.Fd(), POLLIN, 0}, {wakeFd, POLLIN, 0}};
    while (!stopping) {
      if (tree.NeedsRewatch()) tree.WatchAll(drain, staging);
      int ready = ::poll(fds, 2, tree.MovePending() ? kMoveGraceMs : -1);
      if (ready < 0 && errno != EINTR) {
        staging.push_back({QueuedChange::kNotice, {}, "监视已中断：" + root});
        Publish();
        return;
      }
      if (ready == 0) tree.ResolveMove(staging);
      if (ready > 0) drain();
      Publish();
    }
  }

  // Reader thread: hands what was staged to the queue and completes the
  // pending read if there is one.
  void Publish() {
    if (staging.empty()) return;
    std::optional<ChangePacket> packet;
    std::shared_ptr<ChangePort> target;
    {
      std::lock_guard lock(mutex);
      queue.Append(staging);
      packet = TakeCompletion(target);
    }
    if (packet) target->Post(std::move(*packet));
  }

  bool Arm(std::shared_ptr<ChangePort> target, std::uint64_t readKey) {
    std::optional<ChangePacket> packet;
    {
      std::lock_guard lock(mutex);
      if (!running || port) return false;
      port = std::move(target);
      key = readKey;
      packet = TakeCompletion(target);
    }
    if (packet) target->Post(std::move(*packet));
    return true;
  }

  // Under `mutex`: the packet that completes the pending read, if one is
  // pending and something is queued; the read is no longer pending then.
  std::optional<ChangePacket> TakeCompletion(std::shared_ptr<ChangePort>& target) {
    if (!port || !queue.HasBatch()) return std::nullopt;
    target = std::move(port);
    port.reset();
    return ChangePacket{key, queue.TakeBatch(kChangeBufferSize)};
  }

  const std::string root;
  InotifyTree tree;                   // reader thread only
  std::vector<QueuedChange> staging;  // reader thread only
  std::atomic<bool> stopping{false};
  int wakeFd = -1;
  bool running = false;  // set before the reader starts, never changed after

  std::mutex mutex;
  ChangeQueue queue;                  // under mutex
  std::shared_ptr<ChangePort> port;   // under mutex: where the pending read completes
  std::uint64_t key = 0;              // under mutex
  std::thread reader;
};

std::unique_ptr<ChangeDirectory> ChangeDirectory::Open(const std::string& path,
                                                      const ChangeWatchOptions& options) {
  struct stat st {};
  if (path.empty()) return nullptr;
  if (::stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) return nullptr;
  auto impl = std::make_unique<Impl>(path, options);
  // Anything but a directory that could be watched leaves a directory on
  // which no read can be armed.
  if (S_ISDIR(st.st_mode)) impl->Start();
  return std::unique_ptr<ChangeDirectory>(new ChangeDirectory(std::move(impl)));
}

ChangeDirectory::ChangeDirectory(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ChangeDirectory::~ChangeDirectory() = default;

bool ChangeDirectory::ReadChanges(std::shared_ptr<ChangePort> port, std::uint64_t key) {
  return impl_->Arm(std::move(port), key);
}

}  // namespace ravo::platform
