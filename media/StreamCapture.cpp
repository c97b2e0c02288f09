#include "media/StreamCapture.h"

#include <ctime>

#include "media/Remux.h"
#include "platform/Files.h"

namespace ravo::media {
namespace {

// What the engine writes and the capture list never shows.
constexpr char kUnlisted[] = ".download";

std::string Timestamp() {
  std::time_t now = std::time(nullptr);
  char text[32] = {};
  if (const std::tm* local = std::localtime(&now)) {
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", local);
  }
  return text;
}

std::string GiB(std::uint64_t bytes) { return std::to_string(bytes >> 30) + " GB"; }

}  // namespace

StreamCapture::StreamCapture(Settings settings, FreeSpaceFn freeSpace,
                             std::function<Clock::time_point()> clock)
    : settings_(std::move(settings)), freeSpace_(std::move(freeSpace)), clock_(std::move(clock)) {}

StreamCapture::~StreamCapture() { EndAll(); }

StreamCapture::Player& StreamCapture::PlayerOf(const std::string& player) {
  auto [it, made] = players_.try_emplace(player);
  if (made) {
    it->second.stem = settings_.folder + "/网页视频 " + Timestamp() + "-" + std::to_string(++made_);
    it->second.last = clock_();
  }
  return it->second;
}

// The first buffer is written under the final name, so that the file is
// seen to grow; the others under names that are never listed.
std::string StreamCapture::PathOf(const Player& p, std::size_t index, Container container) const {
  if (index == 0) return p.stem + ExtensionOf(container);
  return p.stem + "-" + std::to_string(index) + ExtensionOf(container) + kUnlisted;
}

void StreamCapture::AddBuffer(const std::string& player, const std::string& buffer,
                              std::string_view mime) {
  std::optional<Container> container = ContainerOfMime(mime);
  if (!container || !platform::MakeFolders(settings_.folder).empty()) return;
  Player& p = PlayerOf(player);
  if (p.container && *p.container != *container) return;  // one container per file
  if (p.buffers.count(buffer)) return;
  p.container = container;
  p.buffers[buffer] = std::make_unique<TrackRecording>(
      *container, PathOf(p, p.order.size(), *container), settings_.maxStreamBytes);
  p.order.push_back(buffer);
}

std::string StreamCapture::Append(const std::string& player, const std::string& buffer,
                                  std::string_view bytes) {
  auto found = players_.find(player);
  if (found == players_.end() || found->second.stopped) return {};
  Player& p = found->second;
  auto track = p.buffers.find(buffer);
  if (track == p.buffers.end()) return {};
  p.last = clock_();
  std::optional<std::uint64_t> free = freeSpace_(settings_.folder);
  if (free && *free < settings_.minFreeBytes + bytes.size()) {
    p.stopped = true;
    return "磁盘剩余空间不足 " + GiB(settings_.minFreeBytes) + "，已停止保存网页视频";
  }
  switch (track->second->Append(bytes)) {
    case TrackRecording::Appended::kWritten:
      return {};
    case TrackRecording::Appended::kTooLarge:
      p.stopped = true;
      return "网页视频超过 " + GiB(settings_.maxStreamBytes) + "，已停止保存";
    case TrackRecording::Appended::kFailed:
      p.stopped = true;
      return "无法写入 " + track->second->Path();
  }
  return {};
}

// Each buffer's segments in order, then the buffers' first runs together
// into the player's file; a buffer that changed its initialization segment
// (another quality) gives further files of its own.
void StreamCapture::Finish(Player& p, Ended& ended) {
  std::vector<std::string> together;
  std::vector<std::string> scratch;
  std::vector<std::string> alone;
  for (std::size_t i = 0; i < p.order.size(); ++i) {
    TrackRecording& track = *p.buffers[p.order[i]];
    if (!track.HasMedia()) continue;
    std::string error;
    std::vector<std::string> runs = track.Assemble(
        [&](int run) {
          return p.stem + "-" + std::to_string(i) + "-" + std::to_string(run) +
                 ExtensionOf(track.Kind()) + kUnlisted;
        },
        error);
    if (runs.empty()) {
      ended.notice = error;
      continue;
    }
    scratch.insert(scratch.end(), runs.begin(), runs.end());
    together.push_back(runs[0]);
    alone.insert(alone.end(), runs.begin() + 1, runs.end());
  }
  Container container = p.container.value_or(Container::kMp4);
  auto make = [&](const std::vector<std::string>& tracks, const std::string& final) {
    std::string temporary = final + kUnlisted;
    std::string error = MuxTracks(tracks, temporary, container);
    if (error.empty()) error = platform::RenameReplacing(temporary, final);
    if (error.empty()) {
      ended.files.push_back(final);
    } else {
      ended.notice = error;
      platform::RemoveFile(temporary);
    }
  };
  if (!together.empty()) make(together, p.stem + ExtensionOf(container));
  for (std::size_t k = 0; k < alone.size(); ++k) {
    make({alone[k]}, p.stem + " (" + std::to_string(k + 2) + ")" + ExtensionOf(container));
  }
  for (const std::string& file : scratch) platform::RemoveFile(file);
  // The recordings are gone now: the first was replaced by the player's
  // file (or holds what there is, when that could not be made).
  for (std::size_t i = 1; i < p.order.size(); ++i) {
    platform::RemoveFile(p.buffers[p.order[i]]->Path());
  }
}

void StreamCapture::Join(Ended& into, Ended&& more) {
  into.files.insert(into.files.end(), more.files.begin(), more.files.end());
  if (!more.notice.empty()) into.notice = std::move(more.notice);
}

StreamCapture::Ended StreamCapture::End(const std::string& player) {
  Ended ended;
  auto found = players_.find(player);
  if (found == players_.end()) return ended;
  Finish(found->second, ended);
  players_.erase(found);
  return ended;
}

StreamCapture::Ended StreamCapture::EndIdle() {
  Ended ended;
  Clock::time_point now = clock_();
  std::vector<std::string> idle;
  for (const auto& [id, p] : players_) {
    if (now - p.last >= settings_.idle) idle.push_back(id);
  }
  for (const std::string& id : idle) Join(ended, End(id));
  return ended;
}

StreamCapture::Ended StreamCapture::EndAll() {
  Ended ended;
  while (!players_.empty()) Join(ended, End(players_.begin()->first));
  return ended;
}

bool StreamCapture::Discard(const std::string& prefix) {
  bool any = false;
  for (auto it = players_.begin(); it != players_.end();) {
    if (!it->first.starts_with(prefix)) {
      ++it;
      continue;
    }
    for (const auto& [id, track] : it->second.buffers) platform::RemoveFile(track->Path());
    it = players_.erase(it);
    any = true;
  }
  return any;
}

}  // namespace ravo::media
