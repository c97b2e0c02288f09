#include "typedb/HeadPrefetch.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace ravo {
namespace {

// The furthest a taken file is looked for past the next one, for files the
// walk skipped (an entry whose report failed).
constexpr std::size_t kSkipLimit = 64;

// The most files of one level that are read ahead at all.
constexpr std::size_t kMaxJobs = 1 << 16;

// A read that took longer than this waited for the disk; one quicker than
// kQuickRead came from memory. Reads from memory are best left to one
// worker: more would only compete with the caller for the processors.
constexpr auto kSlowRead = std::chrono::microseconds(200);
constexpr auto kQuickRead = std::chrono::microseconds(50);
// Quick reads in a row after which one worker fewer reads.
constexpr unsigned kQuickStreak = 256;

struct Job {
  enum class State : unsigned char { kQueued, kReading, kDone, kTaken };
  std::string name;
  bool regular = false;
  State state = State::kQueued;
  std::optional<FileHead> head;
};

struct Level {
  std::optional<FileHead> Read(const Job& job) const {
    if (job.regular && folder.IsOpen()) return ReadFileHeadIn(folder, job.name);
    return ReadFileHead(prefix + job.name, job.regular);
  }

  std::string prefix;
  platform::OpenFolder folder;
  std::vector<Job> jobs;
  std::size_t claim = 0;  // the first job a worker may still begin
  std::size_t front = 0;  // the next job the caller takes
  bool stalled = false;   // a worker found the window full
};

}  // namespace

struct HeadPrefetch::Shared {
  std::mutex mutex;
  std::condition_variable work;  // workers: a job to begin, or closing
  std::vector<std::shared_ptr<Level>> levels;
  bool closing = false;
  unsigned active = 1;   // how many workers may read at once
  unsigned reading = 0;  // how many do
  unsigned workers = 0;
  unsigned quickStreak = 0;

  // Lets more workers read while reads wait for the disk (twice as many at
  // each slow read), fewer while they come from memory (one fewer after a
  // long run of quick reads). True when more may read now.
  bool Adapt(std::chrono::steady_clock::duration took) {
    if (took > kSlowRead) {
      quickStreak = 0;
      if (active < workers) {
        active = std::min(workers, active * 2);
        return true;
      }
    } else if (took < kQuickRead && ++quickStreak >= kQuickStreak) {
      quickStreak = 0;
      if (active > 1) --active;
    }
    return false;
  }

  // A job a worker may begin, deepest level first, within the window.
  std::pair<std::shared_ptr<Level>, std::size_t> Claim() {
    for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
      Level& l = **level;
      while (l.claim < l.jobs.size() && l.jobs[l.claim].state != Job::State::kQueued) ++l.claim;
      if (l.claim < l.jobs.size()) {
        if (l.claim < l.front + kWindow) return {*level, l.claim++};
        l.stalled = true;
      }
    }
    return {nullptr, 0};
  }
};

HeadPrefetch::HeadPrefetch(Wanted wanted, unsigned workers)
    : wanted_(std::move(wanted)), shared_(std::make_shared<Shared>()) {
  shared_->workers = std::max(1u, workers);
  workers_.reserve(shared_->workers);
  workers_.emplace_back([this] { Work(); });
}

HeadPrefetch::~HeadPrefetch() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->closing = true;
  }
  shared_->work.notify_all();
  workers_.clear();  // joins
}

void HeadPrefetch::Work() {
  Shared& shared = *shared_;
  std::unique_lock lock(shared.mutex);
  for (;;) {
    std::pair<std::shared_ptr<Level>, std::size_t> claimed;
    shared.work.wait(lock, [&] {
      if (shared.closing) return true;
      if (shared.reading >= shared.active) return false;
      claimed = shared.Claim();
      return claimed.first != nullptr;
    });
    if (shared.closing) return;
    Level& level = *claimed.first;
    Job& job = level.jobs[claimed.second];
    job.state = Job::State::kReading;
    ++shared.reading;
    lock.unlock();
    // The job's name and folder stay as they are while it is read.
    auto started = std::chrono::steady_clock::now();
    std::optional<FileHead> head = level.Read(job);
    auto took = std::chrono::steady_clock::now() - started;
    lock.lock();
    --shared.reading;
    if (shared.Adapt(took)) shared.work.notify_all();
    // Taken meanwhile: the caller read it itself.
    if (job.state == Job::State::kReading) {
      job.head = head;
      job.state = Job::State::kDone;
    }
  }
}

void HeadPrefetch::StartWorkers(unsigned wanted) {
  while (workers_.size() < wanted) workers_.emplace_back([this] { Work(); });
}

void HeadPrefetch::EnterDirectory(const std::string& prefix, const platform::OpenFolder& folder,
                                  std::span<const platform::SearchEntry> files) {
  auto level = std::make_shared<Level>();
  level->prefix = prefix;
  level->folder = folder;
  for (const platform::SearchEntry& file : files) {
    if (level->jobs.size() == kMaxJobs) break;
    if (wanted_(file.name, file.regular)) level->jobs.push_back({std::string(file.name), file.regular});
  }
  std::size_t wake = 0;
  unsigned active = 0;
  {
    std::lock_guard lock(shared_->mutex);
    wake = std::min<std::size_t>(level->jobs.size(), shared_->active - shared_->reading);
    active = shared_->active;
    shared_->levels.push_back(std::move(level));
  }
  StartWorkers(active);
  for (std::size_t i = 0; i < wake; ++i) shared_->work.notify_one();
}

void HeadPrefetch::LeaveDirectory() {
  std::lock_guard lock(shared_->mutex);
  if (!shared_->levels.empty()) shared_->levels.pop_back();
}

std::optional<std::optional<FileHead>> HeadPrefetch::Take(const std::string& path) {
  std::unique_lock lock(shared_->mutex);
  if (shared_->levels.empty()) return std::nullopt;
  std::shared_ptr<Level> level = shared_->levels.back();
  if (path.compare(0, level->prefix.size(), level->prefix) != 0) return std::nullopt;
  std::string_view name = std::string_view(path).substr(level->prefix.size());
  std::size_t at = level->front;
  std::size_t last = std::min(level->jobs.size(), level->front + kSkipLimit);
  while (at < last && level->jobs[at].name != name) ++at;
  if (at == last) return std::nullopt;
  level->front = at + 1;
  // Workers held back by the window go on once half of it is taken, not
  // at every file: a wake-up costs more than a read from memory.
  bool held = level->stalled && level->claim < level->front + kWindow / 2;
  if (held) level->stalled = false;
  Job& job = level->jobs[at];
  // A head not read yet is read here and now rather than waited for: a
  // worker that has begun it may be behind other reads, and a second read
  // of the same file waits at most for the same disk block.
  bool ready = job.state == Job::State::kDone;
  job.state = Job::State::kTaken;
  std::optional<FileHead> head = ready ? std::move(job.head) : std::nullopt;
  unsigned active = shared_->active;
  lock.unlock();
  StartWorkers(active);
  if (held) shared_->work.notify_one();
  if (ready) return head;
  return level->Read(job);
}

}  // namespace ravo
