#include "media/TrackRecording.h"

#include <algorithm>

namespace ravo::media {

TrackRecording::TrackRecording(Container container, std::string path, std::uint64_t maxBytes)
    : container_(container),
      path_(std::move(path)),
      maxBytes_(maxBytes),
      out_(path_, std::ios::binary | std::ios::trunc) {}

bool TrackRecording::HasMedia() const { return !pieces_.empty(); }

// The run an initialization segment continues: the one it repeats, or one
// of the same codecs where the container lets their segments follow each
// other (another quality of the same stream); else a new one.
int TrackRecording::RunFor(std::string_view init) {
  auto same = std::find(inits_.begin(), inits_.end(), init);
  if (same != inits_.end()) return static_cast<int>(same - inits_.begin());
  if (std::optional<std::string> codecs = JoinableCodecs(container_, init)) {
    for (std::size_t run = 0; run < inits_.size(); ++run) {
      if (JoinableCodecs(container_, inits_[run]) == codecs) return static_cast<int>(run);
    }
  }
  inits_.emplace_back(init);
  return static_cast<int>(inits_.size() - 1);
}

TrackRecording::Appended TrackRecording::Append(std::string_view chunk) {
  if (!out_) return Appended::kFailed;
  if (chunk.size() > maxBytes_ - std::min(maxBytes_, size_)) return Appended::kTooLarge;
  SegmentInfo info = ReadSegment(container_, chunk);
  if (info.kind == SegmentInfo::kInit) {
    run_ = RunFor(chunk);
  } else if (run_ < 0) {
    return Appended::kWritten;  // nothing can be played before an initialization segment
  }
  out_.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  out_.flush();
  if (!out_) return Appended::kFailed;
  if (info.kind == SegmentInfo::kMedia) {
    Piece piece{size_, chunk.size(), run_, info.time.value_or(0), info.time.has_value()};
    // Without a time of its own it keeps its place after the one before.
    if (!piece.timed && !pieces_.empty() && pieces_.back().run == run_) {
      piece.time = pieces_.back().time;
    }
    pieces_.push_back(piece);
  } else if (info.kind == SegmentInfo::kOther && !pieces_.empty() &&
             pieces_.back().offset + pieces_.back().length == size_) {
    pieces_.back().length += chunk.size();  // the rest of the segment before
  }
  size_ += chunk.size();
  return Appended::kWritten;
}

std::vector<std::string> TrackRecording::Assemble(const std::string& stem, std::string& error) {
  return Assemble(
      [&](int run) {
        return stem + (run == 0 ? "" : " (" + std::to_string(run + 1) + ")") +
               ExtensionOf(container_);
      },
      error);
}

std::vector<std::string> TrackRecording::Assemble(const NameFn& nameOf, std::string& error) {
  out_.flush();
  std::ifstream in(path_, std::ios::binary);
  std::vector<std::string> files;
  for (int run = 0; run < static_cast<int>(inits_.size()); ++run) {
    std::vector<Piece> media;
    std::copy_if(pieces_.begin(), pieces_.end(), std::back_inserter(media),
                 [&](const Piece& p) { return p.run == run; });
    if (media.empty()) continue;
    std::stable_sort(media.begin(), media.end(),
                     [](const Piece& a, const Piece& b) { return a.time < b.time; });
    // A segment appended again (seeking back over it) is written once.
    media.erase(std::unique(media.begin(), media.end(),
                            [](const Piece& a, const Piece& b) {
                              return a.timed && b.timed && a.time == b.time;
                            }),
                media.end());
    std::string name = nameOf(static_cast<int>(files.size()));
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(inits_[run].data(), static_cast<std::streamsize>(inits_[run].size()));
    std::string buffer;
    for (const Piece& piece : media) {
      buffer.resize(piece.length);
      in.seekg(static_cast<std::streamoff>(piece.offset));
      in.read(buffer.data(), static_cast<std::streamsize>(piece.length));
      if (!in) {
        error = "无法读取 " + path_;
        return {};
      }
      out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    }
    out.close();
    if (!out) {
      error = "无法写入 " + name;
      return {};
    }
    files.push_back(name);
  }
  return files;
}

}  // namespace ravo::media
