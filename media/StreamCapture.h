// Keeps what pages stream to their players (Media Source Extensions): each
// player's buffers are recorded as the page appends to them, the first
// buffer under the player's final file name so that the file is seen to
// grow, the others under names that are never listed; when the stream
// ends, each buffer's segments are put in order and the tracks together
// into that one file, which then replaces the growing one. Everything the
// page hands over is data only: the program names the files, bounds what
// one stream may take, and stops before the disk runs short.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "media/TrackRecording.h"

namespace ravo::media {

class StreamCapture {
 public:
  using Clock = std::chrono::steady_clock;
  using FreeSpaceFn = std::function<std::optional<std::uint64_t>(const std::string& folder)>;

  struct Settings {
    std::string folder;                         // made when the first stream comes
    std::uint64_t maxStreamBytes = 8ull << 30;  // what one buffer may take
    std::uint64_t minFreeBytes = 1ull << 30;    // left free on the disk
    Clock::duration idle = std::chrono::seconds(30);
  };

  StreamCapture(Settings settings, FreeSpaceFn freeSpace, std::function<Clock::time_point()> clock);
  ~StreamCapture();

  // A player made a buffer for this MIME type; types other than MP4 and
  // WebM are not kept.
  void AddBuffer(const std::string& player, const std::string& buffer, std::string_view mime);

  // The page appended bytes to a buffer. A text for the user when the
  // stream had to stop (too large, the disk short of room, a write that
  // failed), once per stream; else empty.
  std::string Append(const std::string& player, const std::string& buffer, std::string_view bytes);

  // The stream ended (the page ended it, left or closed): the player's file
  // is made. The files made, and any reason for the user.
  struct Ended {
    std::vector<std::string> files;
    std::string notice;
  };
  Ended End(const std::string& player);

  // Ends the players that have had nothing appended for the idle time.
  Ended EndIdle();

  // Ends every player (monitoring stops, the program ends).
  Ended EndAll();

  // Drops the players whose ids begin with the prefix, and what they
  // recorded (protected media is not kept). True when there were any.
  bool Discard(const std::string& prefix);

  // Players being recorded.
  std::size_t Recording() const { return players_.size(); }

 private:
  struct Player {
    std::string stem;  // folder + name, without extension
    std::optional<Container> container;
    std::map<std::string, std::unique_ptr<TrackRecording>> buffers;  // in creation order of ids
    std::vector<std::string> order;                                  // buffer ids as made
    Clock::time_point last;
    bool stopped = false;
  };

  Player& PlayerOf(const std::string& player);
  std::string PathOf(const Player& p, std::size_t index, Container container) const;
  void Finish(Player& p, Ended& ended);
  static void Join(Ended& into, Ended&& more);

  Settings settings_;
  FreeSpaceFn freeSpace_;
  std::function<Clock::time_point()> clock_;
  std::map<std::string, Player> players_;
  int made_ = 0;  // streams named so far
};

}  // namespace ravo::media
