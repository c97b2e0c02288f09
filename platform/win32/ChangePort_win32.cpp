// Change reading on Windows. The directory is opened with CreateFileA for
// backup semantics and overlapped I/O and bound to the I/O completion port
// of the first read armed on it; ReadDirectoryChangesW fills the read
// buffer, and its completion arrives on the port, where Wait decodes it.
//
// The system gathers the changes that happen between two reads in a buffer
// of the size of the read buffer and drops all of them when it overflows.
// 4,096 bytes overflow on a busy drive while the main thread handles a
// batch, so the buffer here holds 64 KB (the most a network share accepts),
// a new read is armed as soon as one completes, and what it brings waits in
// the directory's queue until the reader asks for it, in batches of at most
// kChangeBufferSize bytes. An overflow still possible is reported as a loss.
//
// Packets on a port: a wake-up has key 0 and no OVERLAPPED; a completed
// directory read carries the directory's OVERLAPPED; a packet posted with a
// batch carries the batch. A read's state lives until its packet has been
// taken (or its port is gone), so that the packet of a read cancelled by
// closing the directory never touches freed memory; such a packet is
// dropped and never arms a read.
#include <algorithm>
#include <mutex>
#include <optional>
#include <span>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "platform/ChangePort.h"
#include "platform/NotifyRecords.h"
#include "platform/ChangeQueue.h"
#include "platform/win32/Win32File.h"

namespace ravo::platform {
namespace {

constexpr ULONG_PTR kDirectoryReadKey = 1;
constexpr ULONG_PTR kPostedBatchKey = 2;
constexpr DWORD kReadBufferSize = 64 * 1024;
constexpr DWORD kStatusPending = 0x103;  // STATUS_PENDING, in OVERLAPPED::Internal

struct PostedBatch : OVERLAPPED {
  explicit PostedBatch(ChangePacket p) : OVERLAPPED{}, packet(std::move(p)) {}
  ChangePacket packet;
};

std::string Narrow(std::u16string_view name) {
  if (name.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(name.data());
  int length = static_cast<int>(name.size());
  int bytes = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, length, narrow.data(), bytes, nullptr, nullptr);
  return narrow;
}

// The state of an open directory, shared with the registry while a read's
// packet is on its way.
struct WatchedDirectory : std::enable_shared_from_this<WatchedDirectory> {
  WatchedDirectory(std::string path, const ChangeWatchOptions& options, HANDLE handle)
      : root(std::move(path)),
        subTree(options.subTree),
        filter(options.filterMask),
        dir(handle),
        buffer(kReadBufferSize / sizeof(DWORD)),
        queue(options.queueLimit, LostChangesNotice(root)) {}

  bool Arm(std::shared_ptr<ChangePort> target, std::uint64_t readKey);
  std::optional<ChangePacket> Completed(DWORD error, DWORD bytes);
  void Close();

  bool KeepReading();
  std::optional<ChangePacket> TakeCompletion();
  void Report(QueuedChange change);

  const std::string root;
  const bool subTree;
  const DWORD filter;

  std::mutex mutex;
  HANDLE dir;                        // under mutex; INVALID_HANDLE_VALUE once closed
  std::shared_ptr<ChangePort> port;  // under mutex: the port the directory is bound to
  OVERLAPPED overlapped{};           // the system's while a read is pending
  std::vector<DWORD> buffer;         // the read buffer, DWORD-aligned
  bool reading = false;              // a read is pending or its packet not yet taken
  bool started = false;
  bool failed = false;  // no read can be armed any more
  bool closed = false;
  bool armed = false;  // the reader waits for a batch
  std::uint64_t key = 0;
  ChangeQueue queue;
};

// The ports alive, and the reads whose packets have not been taken from
// them yet, by OVERLAPPED.
class Registry {
 public:
  static Registry& Get() {
    static Registry* registry = new Registry;  // used by ports destroyed at exit
    return *registry;
  }

  void AddPort(const ChangePort* port, HANDLE handle) {
    std::lock_guard lock(mutex_);
    ports_[port] = handle;
  }

  HANDLE PortHandle(const ChangePort* port) {
    std::lock_guard lock(mutex_);
    auto it = ports_.find(port);
    return it == ports_.end() ? nullptr : it->second;
  }

  // Forgets the port and the reads bound to it: a closed port delivers none
  // of their packets any more.
  void RemovePort(const ChangePort* port) {
    std::lock_guard lock(mutex_);
    ports_.erase(port);
    std::erase_if(reads_, [port](const auto& entry) { return entry.second.port == port; });
  }

  void AddRead(const OVERLAPPED* read, const ChangePort* port,
               std::shared_ptr<WatchedDirectory> dir) {
    std::lock_guard lock(mutex_);
    reads_[read] = {port, std::move(dir)};
  }

  std::shared_ptr<WatchedDirectory> TakeRead(const OVERLAPPED* read) {
    std::lock_guard lock(mutex_);
    auto it = reads_.find(read);
    if (it == reads_.end()) return nullptr;
    std::shared_ptr<WatchedDirectory> dir = std::move(it->second.dir);
    reads_.erase(it);
    return dir;
  }

 private:
  struct Read {
    const ChangePort* port;
    std::shared_ptr<WatchedDirectory> dir;
  };
  std::mutex mutex_;
  std::unordered_map<const ChangePort*, HANDLE> ports_;
  std::unordered_map<const OVERLAPPED*, Read> reads_;
};

}  // namespace

// ---- ChangePort: an I/O completion port ----

struct ChangePort::Impl {
  HANDLE port = nullptr;
};

ChangePort::ChangePort() : impl_(std::make_unique<Impl>()) {
  impl_->port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
  if (!impl_->port) throw std::runtime_error(Reason("无法创建完成端口", GetLastError()));
  Registry::Get().AddPort(this, impl_->port);
}

// Every directory bound to the port holds it, so none is open any more: the
// packets still queued are dropped with the reads they belong to.
ChangePort::~ChangePort() {
  DWORD bytes = 0;
  ULONG_PTR key = 0;
  OVERLAPPED* overlapped = nullptr;
  while (GetQueuedCompletionStatus(impl_->port, &bytes, &key, &overlapped, 0) || overlapped) {
    if (key == kPostedBatchKey) delete static_cast<PostedBatch*>(overlapped);
    overlapped = nullptr;
  }
  Registry::Get().RemovePort(this);
  CloseHandle(impl_->port);
}

void ChangePort::Post(ChangePacket packet) {
  if (packet.key == 0) {
    PostQueuedCompletionStatus(impl_->port, 0, 0, nullptr);
    return;
  }
  auto posted = std::make_unique<PostedBatch>(std::move(packet));
  if (PostQueuedCompletionStatus(impl_->port, 0, kPostedBatchKey, posted.get())) posted.release();
}

ChangePacket ChangePort::Wait() {
  for (;;) {
    DWORD bytes = 0;
    ULONG_PTR key = 0;
    OVERLAPPED* overlapped = nullptr;
    BOOL ok = GetQueuedCompletionStatus(impl_->port, &bytes, &key, &overlapped, INFINITE);
    DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    if (!overlapped) return {};  // a wake-up, or a wait that ended without a packet
    if (key == kPostedBatchKey) {
      std::unique_ptr<PostedBatch> posted(static_cast<PostedBatch*>(overlapped));
      return std::move(posted->packet);
    }
    if (auto dir = Registry::Get().TakeRead(overlapped)) {
      if (auto packet = dir->Completed(error, bytes)) return std::move(*packet);
    }
  }
}

// ---- ChangeDirectory ----

void WatchedDirectory::Report(QueuedChange change) {
  std::vector<QueuedChange> changes;
  changes.push_back(std::move(change));
  queue.Append(changes);
}

// Under mutex: keeps a read pending, so that the system gathers the changes.
bool WatchedDirectory::KeepReading() {
  if (reading) return true;
  if (failed || closed) return false;
  overlapped = {};
  overlapped.Internal = kStatusPending;
  Registry::Get().AddRead(&overlapped, port.get(), shared_from_this());
  if (!ReadDirectoryChangesW(dir, buffer.data(), kReadBufferSize, subTree, filter, nullptr,
                             &overlapped, nullptr)) {
    DWORD error = GetLastError();
    Registry::Get().TakeRead(&overlapped);
    // A read that failed at once is not pending: nothing will complete it.
    overlapped.Internal = error;
    failed = true;
    Report({QueuedChange::kNotice, {},
            Reason((started ? "无法继续监视 " : "无法监视 ") + root, error)});
    return false;
  }
  reading = true;
  if (!started) {
    started = true;
    Report({QueuedChange::kNotice, {}, "已开始监视 " + root});
  }
  return true;
}

// Under mutex: the packet that completes the reader's read, when it waits
// and something is queued.
std::optional<ChangePacket> WatchedDirectory::TakeCompletion() {
  if (!armed || !queue.HasBatch()) return std::nullopt;
  armed = false;
  return ChangePacket{key, queue.TakeBatch(kChangeBufferSize)};
}

bool WatchedDirectory::Arm(std::shared_ptr<ChangePort> target, std::uint64_t readKey) {
  std::optional<ChangePacket> packet;
  {
    std::lock_guard lock(mutex);
    if (dir == INVALID_HANDLE_VALUE || armed || !target) return false;
    if (!port) {
      HANDLE handle = Registry::Get().PortHandle(target.get());
      if (!handle || !CreateIoCompletionPort(dir, handle, kDirectoryReadKey, 0)) return false;
      port = target;
    } else if (port != target) {
      return false;  // a handle stays bound to its first port
    }
    if (!KeepReading() && !queue.HasBatch()) return false;
    armed = true;
    key = readKey;
    packet = TakeCompletion();
  }
  if (packet) target->Post(std::move(*packet));
  return true;
}

// On the thread waiting on the port: a read completed.
std::optional<ChangePacket> WatchedDirectory::Completed(DWORD error, DWORD bytes) {
  std::lock_guard lock(mutex);
  reading = false;
  if (closed) return std::nullopt;  // cancelled by closing the directory
  if (error == ERROR_SUCCESS && bytes > 0) {
    std::size_t size = std::min<std::size_t>(bytes, kReadBufferSize);
    auto data = std::as_bytes(std::span(buffer)).first(size);
    std::vector<QueuedChange> changes;
    for (ChangeRecord& record : DecodeNotifyBuffer(data, Narrow)) {
      changes.push_back({QueuedChange::kRecord, std::move(record), {}});
    }
    queue.Append(changes);
  } else if (error == ERROR_SUCCESS || error == ERROR_NOTIFY_ENUM_DIR) {
    // The system's buffer overflowed: the changes in it are lost.
    Report({QueuedChange::kLost, {}, LostChangesNotice(root)});
  } else if (error != ERROR_OPERATION_ABORTED) {
    failed = true;  // the directory went away, or cannot be read any more
    Report({QueuedChange::kNotice, {}, Reason("无法继续监视 " + root, error)});
  }
  KeepReading();
  return TakeCompletion();
}

// Cancels the pending read and closes the directory. The system writes into
// the OVERLAPPED and the buffer until the cancelled read has completed, so
// that is waited for; should it never come, the state is kept for good.
void WatchedDirectory::Close() {
  std::shared_ptr<ChangePort> boundPort;
  bool wasReading = false;
  {
    std::lock_guard lock(mutex);
    closed = true;
    armed = false;
    wasReading = reading;
    if (dir == INVALID_HANDLE_VALUE) return;
    CancelIoEx(dir, nullptr);
    CloseHandle(dir);
    dir = INVALID_HANDLE_VALUE;
    boundPort = std::move(port);
  }
  // Only a read that was armed can still be written into by the system.
  const volatile ULONG_PTR& status = overlapped.Internal;
  ULONGLONG deadline = GetTickCount64() + 5000;
  while (wasReading && status == kStatusPending) {
    if (GetTickCount64() > deadline) {
      // Never freed: the system may still write into it.
      new std::shared_ptr<WatchedDirectory>(shared_from_this());
      return;
    }
    Sleep(1);
  }
}

struct ChangeDirectory::Impl {
  explicit Impl(std::shared_ptr<WatchedDirectory> w) : watched(std::move(w)) {}
  ~Impl() { watched->Close(); }
  std::shared_ptr<WatchedDirectory> watched;
};

std::unique_ptr<ChangeDirectory> ChangeDirectory::Open(const std::string& path,
                                                       const ChangeWatchOptions& options) {
  if (path.empty()) return nullptr;
  HANDLE handle = CreateFileA(
      path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
        error == ERROR_INVALID_NAME || error == ERROR_BAD_PATHNAME ||
        error == ERROR_INVALID_DRIVE) {
      return nullptr;  // the path names nothing
    }
  } else if (!FileInfoOf(handle).isDirectory) {
    CloseHandle(handle);  // a file: nothing to watch
    handle = INVALID_HANDLE_VALUE;
  }
  auto impl = std::make_unique<Impl>(std::make_shared<WatchedDirectory>(path, options, handle));
  return std::unique_ptr<ChangeDirectory>(new ChangeDirectory(std::move(impl)));
}

ChangeDirectory::ChangeDirectory(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ChangeDirectory::~ChangeDirectory() = default;

bool ChangeDirectory::ReadChanges(std::shared_ptr<ChangePort> port, std::uint64_t key) {
  return impl_->watched->Arm(std::move(port), key);
}

}  // namespace ravo::platform
