// Handing work from a worker thread to the program's main thread.
//
// What an implementation provides is Post. The GUI implements it on its
// event loop (a posted event whose handler calls fn, so that it also runs
// inside modal dialogs and explicit event processing); QueueDispatcher is a
// queue the main thread empties itself (tests, command-line tools).
#pragma once

#include <functional>
#include <stop_token>

namespace ravo {

class MainThreadDispatcher {
 public:
  virtual ~MainThreadDispatcher() = default;

  // Contract of an implementation:
  // - callable from any thread; never runs fn on the calling thread;
  // - runs fn once on the main thread, in the order of posting;
  // - a fn that will never run (the dispatcher is shut down or destroyed,
  //   its queue discarded) is destroyed without being called: a worker
  //   waiting in RunSync is let go by exactly that;
  // - fn does not throw (RunSync catches what the work throws);
  // - the dispatcher outlives every watcher that uses it.
  virtual void Post(std::function<void()> fn) = 0;

  // Runs fn on the main thread and waits until it has returned; rethrows
  // here what fn threw, and returns true. Returns false without waiting any
  // longer when fn will never run (destroyed unrun), or when stop is
  // requested: fn then never runs if it had not started, or finishes on the
  // main thread on its own if it had. Worker threads only: called on the
  // main thread it would wait for itself.
  bool RunSync(std::function<void()> fn, std::stop_token stop = {});
};

}  // namespace ravo
