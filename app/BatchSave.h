// Saving many captured files at once into one folder: each under the name
// the single save would suggest, never over a file that is there ("name
// (1).ext", "name (2).ext", ...). The files are copied one after another on
// a thread of the batch's own, so that the window stays live and a stop is
// heard within one chunk of a copy; progress and the outcome reach the main
// thread through its dispatcher.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "watch/MainThreadDispatcher.h"

namespace ravo {

// One file of a batch: the captured file and the name to save it under.
struct SaveItem {
  std::string source;
  std::string name;
};

struct SaveFailure {
  std::string name;
  std::string reason;  // in the user's language
};

struct BatchSaveProgress {
  std::size_t done = 0;   // files handled so far, saved or failed
  std::size_t total = 0;
  std::string name;       // the file being saved now
};

struct BatchSaveResult {
  std::size_t saved = 0;
  std::vector<SaveFailure> failures;
  std::size_t notReached = 0;  // left unsaved because the batch was stopped
};

// Saves the captured file at source into folder under a free name made
// from name (the body alone of a browser's cache entry). Returns the name
// it was saved under, or the reason it was not in `reason`.
std::string SaveIntoFolder(const std::string& source, const std::string& folder,
                           const std::string& name, std::stop_token stop, std::string& reason);

// What the window tells the user when a batch is over: how many files were
// saved where, how many were not reached after a stop, and each failure
// with its reason (the first few, then how many more).
std::string BatchSaveSummary(const BatchSaveResult& result, const std::string& folder);

class BatchSave {
 public:
  using ProgressHandler = std::function<void(const BatchSaveProgress&)>;
  using DoneHandler = std::function<void(const BatchSaveResult&)>;

  // Starts saving at once. The handlers run on the main thread, through the
  // dispatcher, and never after the batch has been destroyed; onDone runs
  // once, last.
  BatchSave(MainThreadDispatcher& dispatcher, std::vector<SaveItem> items, std::string folder,
            ProgressHandler onProgress, DoneHandler onDone);
  // Stops the batch and waits for its thread, which ends within one chunk
  // of the copy it is making; that copy leaves nothing behind.
  ~BatchSave();
  BatchSave(const BatchSave&) = delete;
  BatchSave& operator=(const BatchSave&) = delete;

  // The file being copied is dropped and no further one is begun.
  void RequestStop() { worker_.request_stop(); }

 private:
  void Run(std::stop_token stop, std::vector<SaveItem> items, std::string folder);
  // Runs fn on the main thread while the batch lives.
  void Post(std::function<void()> fn);

  MainThreadDispatcher& dispatcher_;
  ProgressHandler onProgress_;
  DoneHandler onDone_;
  // Read and cleared on the main thread only: what posted work checks.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::jthread worker_;
};

}  // namespace ravo
