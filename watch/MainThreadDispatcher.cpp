#include "watch/MainThreadDispatcher.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>

namespace ravo {
namespace {

// What the waiting worker and the main thread share about one call.
struct SyncCall {
  enum class Phase { kQueued, kRunning, kDone, kDropped, kCancelled };
  std::mutex mutex;
  std::condition_variable_any changed;
  Phase phase = Phase::kQueued;
  std::exception_ptr error;

  void Finish(Phase from, Phase to, std::exception_ptr thrown = nullptr) {
    {
      std::lock_guard lock(mutex);
      if (phase != from) return;
      phase = to;
      error = std::move(thrown);
    }
    changed.notify_all();
  }
};

// The posted work. Destroyed without having run (the dispatcher dropped it),
// it lets the worker go.
class Ticket {
 public:
  Ticket(std::shared_ptr<SyncCall> call, std::function<void()> fn)
      : call_(std::move(call)), fn_(std::move(fn)) {}
  ~Ticket() { call_->Finish(SyncCall::Phase::kQueued, SyncCall::Phase::kDropped); }
  Ticket(const Ticket&) = delete;
  Ticket& operator=(const Ticket&) = delete;

  void Run() {
    {
      std::lock_guard lock(call_->mutex);
      if (call_->phase != SyncCall::Phase::kQueued) return;  // cancelled by a stop
      call_->phase = SyncCall::Phase::kRunning;
    }
    std::exception_ptr thrown;
    try {
      fn_();
    } catch (...) {
      thrown = std::current_exception();
    }
    call_->Finish(SyncCall::Phase::kRunning, SyncCall::Phase::kDone, std::move(thrown));
  }

 private:
  std::shared_ptr<SyncCall> call_;
  std::function<void()> fn_;
};

}  // namespace

bool MainThreadDispatcher::RunSync(std::function<void()> fn, std::stop_token stop) {
  auto call = std::make_shared<SyncCall>();
  {
    auto ticket = std::make_shared<Ticket>(call, std::move(fn));
    Post([ticket] { ticket->Run(); });
  }
  std::unique_lock lock(call->mutex);
  using Phase = SyncCall::Phase;
  call->changed.wait(lock, stop,
                     [&] { return call->phase == Phase::kDone || call->phase == Phase::kDropped; });
  if (call->phase == Phase::kDone) {
    if (call->error) std::rethrow_exception(call->error);
    return true;
  }
  if (call->phase == Phase::kQueued) call->phase = Phase::kCancelled;
  return false;
}

}  // namespace ravo
