// The full-disk search: walks every fixed drive on the calling (main)
// thread and appends the files of the ticked categories to the capture
// list, while the window stays live through a pump hook that it supplies.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "app/CaptureList.h"
#include "app/Categories.h"
#include "app/SearchRules.h"

namespace ravo {

// What the window supplies to a search.
struct SearchHooks {
  // Lets the window's event loop handle what is waiting (repaints, clicks,
  // watcher reports); called once pumpInterval has passed since the last
  // call, and at the first path. A press of "停止搜索" calls RequestStop.
  std::function<void()> pump;
  // Shows the path being looked at; called right before each pump, so the
  // path on screen is always the current one, and with "" when the search ends.
  std::function<void(const std::string& path)> status;
  std::chrono::milliseconds pumpInterval{20};
};

class FullDiskSearch {
 public:
  // identify names a file's real type; empty means DetectFileType, with the
  // heads of the files a disguised search examines read ahead of the walk.
  explicit FullDiskSearch(CaptureList& list, IdentifyFn identify = {});

  // Runs a whole search and returns when it is over: empties the capture
  // list (the grid keeps its texts until appends overwrite them), builds the
  // extension list from the ticked categories and walks the fixed drives in
  // letter order until all are walked or a stop is requested. Refused
  // (false, nothing done) while an earlier search is still running, which
  // happens when a pump starts one after a stop request: the stopped walk
  // first has to unwind.
  bool Start(const CategorySelection& ticked, bool disguised, const SearchHooks& hooks);

  // Ends the running search: every level of the walk ends after the entry
  // at hand, and no further drive is walked.
  void RequestStop() { stopRequested_ = true; }

  bool IsRunning() const { return running_; }

  // The extension list of the latest search (empty before the first); it
  // keeps its value after the search ends.
  const std::string& SearchExtList() const { return extList_; }

 private:
  void OnFound(const SearchRules& rules, const SearchHooks& hooks, const std::string& path,
               std::int32_t kind, bool& stop);
  void PumpIfDue(const SearchHooks& hooks, const std::string& path);

  CaptureList& list_;
  IdentifyFn identify_;
  bool running_ = false;
  bool stopRequested_ = false;
  std::string extList_;
  std::optional<std::chrono::steady_clock::time_point> lastPump_;  // none before the first
};

}  // namespace ravo
