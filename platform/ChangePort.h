// Reading the changes below a directory: a directory opened for change
// reading, a port on which completed reads and wake-ups arrive, and the
// records one read yields.
//
// The model is the one of Win32's completion ports: a read is armed on an
// open directory and completes, once changes are there, with a packet that
// carries the key given when arming it; a wake-up packet (key 0) can be
// posted to the port at any time. One read is pending per directory at a
// time; closing the directory cancels it, and nothing arrives from it after.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ravo::platform {

// Actions of a change record, numbered as the Win32 record list numbers them.
enum ChangeAction : int {
  kChangeAdded = 1,
  kChangeRemoved = 2,
  kChangeModified = 3,
  kChangeRenamedOld = 4,  // directly followed by its kChangeRenamedNew
  kChangeRenamedNew = 5,
};

// Filter bits (the FILE_NOTIFY_CHANGE_* values).
inline constexpr std::uint32_t kNotifyFileName = 0x001;
inline constexpr std::uint32_t kNotifyDirName = 0x002;
inline constexpr std::uint32_t kNotifyAttributes = 0x004;
inline constexpr std::uint32_t kNotifySize = 0x008;
inline constexpr std::uint32_t kNotifyLastWrite = 0x010;
inline constexpr std::uint32_t kNotifyLastAccess = 0x020;
inline constexpr std::uint32_t kNotifyCreation = 0x040;
inline constexpr std::uint32_t kNotifySecurity = 0x100;

struct ChangeRecord {
  int action = 0;
  std::string name;  // relative to the watched directory, native separators
  bool operator==(const ChangeRecord&) const = default;
};

// What one completed read yields. An empty record list with a notice stands
// for changes that were lost (the platform could not keep up); a notice may
// also come with records (watching is in force). Notices are for the user's
// status bar.
// A warning is a notice that stays true while watching goes on (a part of
// the tree is not watched): the user should go on seeing it.
struct ChangeBatch {
  std::vector<ChangeRecord> records;
  std::string notice;
  std::string warning;
};

// The buffer one read fills, and what a record takes in it, counted as the
// Win32 record list counts it (12 bytes and the UTF-16 name, 4-aligned; a
// byte of a UTF-8 name is counted as one UTF-16 unit, which never counts
// too little).
inline constexpr std::size_t kChangeBufferSize = 4096;
std::size_t ChangeRecordSize(const ChangeRecord& record);

struct ChangePacket {
  std::uint64_t key = 0;  // 0: a wake-up
  ChangeBatch batch;
};

// The completion port: packets queue up in the order they are posted and
// are taken by the one thread that waits on the port.
class ChangePort {
 public:
  ChangePort();
  ~ChangePort();
  ChangePort(const ChangePort&) = delete;
  ChangePort& operator=(const ChangePort&) = delete;

  // Any thread.
  void Post(ChangePacket packet);
  void PostWakeUp() { Post(ChangePacket{}); }

  // Blocks, without a time limit and without polling, until a packet is
  // there, and takes it.
  ChangePacket Wait();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

struct ChangeWatchOptions {
  bool subTree = true;
  std::uint32_t filterMask = kNotifyFileName | kNotifyDirName;
  // Records kept while no read is pending; beyond it changes are lost.
  std::size_t queueLimit = 1 << 20;
  // Directories watched at most (0: as many as the system allows).
  std::size_t watchLimit = 0;
  // Folders (absolute paths) to watch before the rest of the tree, in this
  // order, each with everything below it: where new files are most likely.
  std::vector<std::string> firstDirs;
  // Tests: called on the reader thread with each directory (relative to the
  // root) as soon as its watch is in place, before it is listed.
  std::function<void(const std::string&)> onWatched;
};

// A directory opened for change reading. With subTree, every directory
// below it on the same filesystem is watched as well; symbolic links are
// never followed, mounted filesystems never entered. Setting up the watches
// runs in the background, so that opening returns at once and never waits
// for the disk; the notice "watching is in force" comes with the first read
// that completes after the set-up. Every file that appears below the
// directory from the moment it is opened is reported, also where the
// set-up had not reached its folder yet. Closing returns at once, whatever
// the set-up is doing.
class ChangeDirectory {
 public:
  // Null when the path names nothing ("not found"). For any other failure a
  // directory comes back on which no read can be armed, so nothing arrives.
  static std::unique_ptr<ChangeDirectory> Open(const std::string& path,
                                               const ChangeWatchOptions& options);
  ~ChangeDirectory();
  ChangeDirectory(const ChangeDirectory&) = delete;
  ChangeDirectory& operator=(const ChangeDirectory&) = delete;

  // Arms one read: once there are changes (or a notice), it completes with a
  // packet (key, batch) posted to the port. The batch holds at most
  // kChangeBufferSize bytes of records, more than that only when a single
  // record is larger; a rename's two records are never split. What does not
  // fit waits for the next read. False when the directory failed to open or
  // a read is already pending. Any thread.
  bool ReadChanges(std::shared_ptr<ChangePort> port, std::uint64_t key);

  struct Impl;

 private:
  explicit ChangeDirectory(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace ravo::platform
