// One stream that a page's player feeds (one SourceBuffer), kept on disk as
// it arrives, so that it can be seen to grow, and put in order when it ends:
// the segments the player appended after seeking back, or twice, are
// written once each in time order, and a stream that was given a new
// initialization segment (another quality) continues in a file of its own.
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "media/MediaSegment.h"

namespace ravo::media {

class TrackRecording {
 public:
  // Chunks go to the file at `path` (made anew), at most `maxBytes` of them.
  TrackRecording(Container container, std::string path, std::uint64_t maxBytes);

  enum class Appended { kWritten, kTooLarge, kFailed };
  Appended Append(std::string_view chunk);

  Container Kind() const { return container_; }
  const std::string& Path() const { return path_; }
  std::uint64_t Size() const { return size_; }
  bool HasMedia() const;

  // Writes the stream in time order, each media segment once, a file per
  // initialization segment, named by `nameOf` (from 0). The files written,
  // or an empty list with the reason.
  using NameFn = std::function<std::string(int run)>;
  std::vector<std::string> Assemble(const NameFn& nameOf, std::string& error);
  // The same, named stem + extension, then stem + " (2)" + extension, ...
  std::vector<std::string> Assemble(const std::string& stem, std::string& error);

 private:
  struct Piece {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    int run = 0;  // which initialization segment it follows
    std::uint64_t time = 0;
    bool timed = false;
  };

  int RunFor(std::string_view init);

  Container container_;
  std::string path_;
  std::uint64_t maxBytes_;
  std::ofstream out_;
  std::uint64_t size_ = 0;
  std::vector<std::string> inits_;  // the distinct initialization segments
  int run_ = -1;                    // the one in force
  std::vector<Piece> pieces_;       // media segments, in arrival order
};

}  // namespace ravo::media
