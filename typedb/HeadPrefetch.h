// Reading the heads of files ahead of the one who needs them: a small pool
// of worker threads opens the files a walk (or a list) is about to hand over
// and reads their first 51 bytes, while the caller takes them in its own
// order and identifies them itself. Only reading happens on the workers;
// every verdict stays with the caller, on its thread, in its order.
//
// The files come in levels, as the walk's directories do: the deepest level
// is the one being walked, and the workers serve it first, then the files
// left in the levels below it. A few hundred files per level are read ahead
// at most, so that a huge directory costs no more memory than a small one.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "fsutil/velFindFile.h"
#include "typedb/DetectFileType.h"

namespace ravo {

class HeadPrefetch final : public FindLookahead {
 public:
  // Which of the files announced are read ahead (by name, and whether the
  // directory read saw a regular file: only those are opened without a
  // look at what they are first).
  using Wanted = std::function<bool(std::string_view name, bool regular)>;

  // Files read ahead of the one taken next, per level.
  static constexpr std::size_t kWindow = 256;
  // Reading from a disk is waiting, not computing: more workers than
  // processors keep more reads in flight. Only one reads while the files
  // come from memory; more join in as reads begin to wait for the disk.
  static constexpr unsigned kWorkers = 16;

  explicit HeadPrefetch(Wanted wanted, unsigned workers = kWorkers);
  // Stops the workers and waits for them: each finishes at most the one
  // read it is making. Only one worker is started at first; the others
  // when reads begin to wait for the disk.
  ~HeadPrefetch() override;
  HeadPrefetch(const HeadPrefetch&) = delete;
  HeadPrefetch& operator=(const HeadPrefetch&) = delete;

  // A new deepest level: its files, taken later as prefix + name. Regular
  // files are opened by name in the folder when it is open.
  void EnterDirectory(const std::string& prefix, const platform::OpenFolder& folder,
                      std::span<const platform::SearchEntry> files) override;
  // The deepest level goes, with what was not taken of it.
  void LeaveDirectory() override;

  // For the path of a file of the deepest level, taken in the order it was
  // announced (files skipped are dropped): the head read ahead, waiting for
  // it while a worker reads it, or read now when no worker has begun it.
  // The inner nullopt: the file could not be read. The outer nullopt: the
  // path was not read ahead (not wanted, or not announced); the caller
  // reads it its own way.
  std::optional<std::optional<FileHead>> Take(const std::string& path);

 private:
  struct Shared;
  void Work();
  // Threads are started as more workers may read, by the caller's thread
  // (when a folder begins, and at each take).
  void StartWorkers(unsigned wanted);

  Wanted wanted_;
  std::shared_ptr<Shared> shared_;
  std::vector<std::jthread> workers_;
};

}  // namespace ravo
