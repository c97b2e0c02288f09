// Monitoring: what the directory watchers' reports do to the capture list.
//
// Every report is identified by its real type, and a file whose type belongs
// to a ticked category is captured. A renamed file is followed to its new
// name; a removed file is not listed; a file reported while still shorter
// than the identification header, or a browser's cache entry not yet
// complete, is looked at again as it grows (one captured by its name then
// shows the type of its content, or goes when that type is not wanted); an
// identification error drops the one report and is told, not thrown.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "app/CaptureList.h"
#include "app/Categories.h"
#include "platform/Files.h"
#include "typedb/DetectFileType.h"
#include "watch/FileSystemWatcher.h"

namespace ravo {

class CaptureMonitor {
 public:
  using Clock = std::chrono::steady_clock;
  using IdentifyFn = std::function<std::string(const std::string& path)>;
  using TickedFn = std::function<CategorySelection()>;
  using ClockFn = std::function<Clock::time_point()>;
  using CapturedFn = std::function<void(const std::string& path, const std::string& type)>;

  // Bytes identification reads from a file's head.
  static constexpr std::uint64_t kHeaderSize = 51;
  // How long a short file is looked at again after its report.
  static constexpr Clock::duration kRecheckPeriod = std::chrono::minutes(1);

  // `ticked` is asked each time a type is tested (the check boxes).
  // `identify` defaults to DetectFileType with the database beside the
  // executable.
  CaptureMonitor(CaptureList& list, TickedFn ticked, IdentifyFn identify = {},
                 ClockFn clock = Clock::now);

  // Monitoring starts: a new list (paths emptied, every cell below the
  // header cleared, the row count kept).
  void Start();

  // Monitoring stops: the list stays; waiting files are forgotten.
  void Stop();

  // The OnChange handler of every watcher. Returns a text for the status bar
  // when the report had to be dropped, else an empty text.
  std::string OnChange(TFileOperation operation, const std::string& fileName1,
                       const std::string& fileName2);

  // Looks again at the files that were too short to tell when reported and
  // have changed since. Call it at least once a second while monitoring is
  // on; more often shortens the wait for a head written after its report.
  // Returns a status text like OnChange.
  std::string Tick();

  // Called after a file was captured, or its row was moved to a new name.
  void SetOnCaptured(CapturedFn onCaptured) { onCaptured_ = std::move(onCaptured); }

  std::size_t WaitingCount() const { return waiting_.size(); }

 private:
  struct Waiting {
    Clock::time_point until;
    std::uint64_t size;
    std::int64_t writeTimeNs;
    // Captured already by the type its name gave: its row follows the type
    // of its content once the head is there.
    bool listed = false;
  };

  struct Look {
    platform::FileInfo before;  // taken before identification
    std::string type;
  };

  bool Wanted(const std::string& type) const;
  void Capture(const std::string& path, const Look& look);
  Look LookAt(const std::string& path);
  void Consider(const std::string& path, const Look& look);
  static bool StillBeingWritten(const std::string& path, const Look& look);
  // Waits for a file too short to tell; `listed` when it has a row already.
  void WaitIfShort(const std::string& path, const Look& look, bool listed = false);
  void Renamed(const std::string& oldPath, const std::string& newPath);
  void MoveWaiting(const std::string& oldFolder, const std::string& newFolder);
  // False when the file is gone, too old to wait for, or told apart.
  bool Recheck(const std::string& path, Waiting& waiting, Clock::time_point now);
  void RetypeRow(const std::string& path, Waiting& waiting, const Look& look);

  CaptureList& list_;
  TickedFn ticked_;
  IdentifyFn identify_;
  ClockFn clock_;
  CapturedFn onCaptured_;
  std::map<std::string, Waiting> waiting_;
};

}  // namespace ravo
