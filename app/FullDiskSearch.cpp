#include "app/FullDiskSearch.h"

#include <utility>

#include "fsutil/velFile.h"
#include "fsutil/velFindFile.h"
#include "platform/Drives.h"

namespace ravo {

FullDiskSearch::FullDiskSearch(CaptureList& list, IdentifyFn identify)
    : list_(list), identify_(std::move(identify)) {}

bool FullDiskSearch::Start(const CategorySelection& ticked, bool disguised,
                           const SearchHooks& hooks) {
  if (running_) return false;
  running_ = true;
  struct Finished {
    bool& running;
    ~Finished() { running = false; }
  } finished{running_};

  stopRequested_ = false;
  std::string drives = GetFixedDrives();
  list_.Reset();
  extList_ = JoinTickedLists(ticked);
  SearchRules rules(extList_, disguised, identify_,
                    [this](const std::string& path, const std::string& type) {
                      list_.AddCapturedRow(path, type);
                    });
  lastPump_.reset();
  auto onFound = [&](const std::string& path, std::int32_t kind, bool& stop) {
    OnFound(rules, hooks, path, kind, stop);
  };
  for (char letter : drives) {
    if (stopRequested_) break;
    FindFiles(platform::DriveRoot(letter), extList_, onFound, rules.Lookahead());
  }
  if (hooks.status) hooks.status("");
  return true;
}

void FullDiskSearch::OnFound(const SearchRules& rules, const SearchHooks& hooks,
                             const std::string& path, std::int32_t kind, bool& stop) {
  PumpIfDue(hooks, path);
  // Copied on every call, so that each level of the walk ends in turn.
  stop = stopRequested_;
  rules.Handle(path, kind);
}

void FullDiskSearch::PumpIfDue(const SearchHooks& hooks, const std::string& path) {
  auto now = std::chrono::steady_clock::now();
  if (lastPump_ && now - *lastPump_ < hooks.pumpInterval) return;
  lastPump_ = now;
  if (hooks.status) hooks.status(path);
  if (hooks.pump) hooks.pump();
}

}  // namespace ravo
