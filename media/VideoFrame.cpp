#include "media/VideoFrame.h"

#include <algorithm>
#include <memory>

#include "platform/FileRead.h"
#include "typedb/CacheEntry.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace ravo::media {
namespace {

// Packets read before giving up on a frame.
constexpr int kMaxPackets = 4096;
constexpr int kIoBufferSize = 64 * 1024;

// The bytes FFmpeg reads: the body pieces of one open file, as one stream.
struct BodyStream {
  explicit BodyStream(const std::string& path) : file(path) {}
  platform::ReadOnlyFile file;
  BodyPieces pieces;
  std::uint64_t size = 0;
  std::uint64_t position = 0;

  int Read(std::uint8_t* buffer, int wanted) {
    std::uint64_t start = 0;
    for (const BodyRange& piece : pieces) {
      if (position < start + piece.length) {
        std::uint64_t inPiece = position - start;
        auto n = static_cast<std::size_t>(
            std::min<std::uint64_t>(static_cast<std::uint64_t>(wanted), piece.length - inPiece));
        std::span<char> out(reinterpret_cast<char*>(buffer), n);
        if (!file.ReadAt(piece.offset + inPiece, out)) return AVERROR(EIO);
        position += n;
        return static_cast<int>(n);
      }
      start += piece.length;
    }
    return AVERROR_EOF;
  }

  std::int64_t Seek(std::int64_t offset, int whence) {
    if (whence & AVSEEK_SIZE) return static_cast<std::int64_t>(size);
    std::int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
      case SEEK_SET: base = 0; break;
      case SEEK_CUR: base = static_cast<std::int64_t>(position); break;
      case SEEK_END: base = static_cast<std::int64_t>(size); break;
      default: return AVERROR(EINVAL);
    }
    std::int64_t target = base + offset;
    if (target < 0) return AVERROR(EINVAL);
    position = static_cast<std::uint64_t>(target);
    return target;
  }
};

int ReadBody(void* opaque, std::uint8_t* buffer, int size) {
  return static_cast<BodyStream*>(opaque)->Read(buffer, size);
}

std::int64_t SeekBody(void* opaque, std::int64_t offset, int whence) {
  return static_cast<BodyStream*>(opaque)->Seek(offset, whence);
}

struct IoFree {
  void operator()(AVIOContext* io) const {
    av_freep(&io->buffer);
    avio_context_free(&io);
  }
};
struct InputClose {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFree {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFree {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScaleFree {
  void operator()(SwsContext* context) const { sws_freeContext(context); }
};

std::optional<RgbFrame> ToRgb(const AVFrame& frame, int maxEdge) {
  if (frame.width <= 0 || frame.height <= 0) return std::nullopt;
  double scale = std::min(1.0, static_cast<double>(maxEdge) / std::max(frame.width, frame.height));
  RgbFrame out;
  out.width = std::max(1, static_cast<int>(frame.width * scale));
  out.height = std::max(1, static_cast<int>(frame.height * scale));
  std::unique_ptr<SwsContext, ScaleFree> scaler(sws_getContext(
      frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), out.width, out.height,
      AV_PIX_FMT_RGB24, SWS_AREA, nullptr, nullptr, nullptr));
  if (!scaler) return std::nullopt;
  out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
  std::uint8_t* planes[4] = {out.rgb.data(), nullptr, nullptr, nullptr};
  int strides[4] = {out.width * 3, 0, 0, 0};
  if (sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides) <= 0) {
    return std::nullopt;
  }
  return out;
}

}  // namespace

std::optional<RgbFrame> VideoFrameNear(const std::string& path, double second, int maxEdge) {
  BodyStream body(path);
  if (!body.file.IsOpen()) return std::nullopt;
  body.pieces = ContentPieces(body.file);
  for (const BodyRange& piece : body.pieces) body.size += piece.length;
  if (body.size == 0) return std::nullopt;

  auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
  if (!buffer) return std::nullopt;
  std::unique_ptr<AVIOContext, IoFree> io(
      avio_alloc_context(buffer, kIoBufferSize, 0, &body, ReadBody, nullptr, SeekBody));
  if (!io) {
    av_free(buffer);
    return std::nullopt;
  }
  AVFormatContext* made = avformat_alloc_context();
  if (!made) return std::nullopt;
  made->pb = io.get();
  made->flags |= AVFMT_FLAG_CUSTOM_IO;
  if (avformat_open_input(&made, nullptr, nullptr, nullptr) < 0) return std::nullopt;
  std::unique_ptr<AVFormatContext, InputClose> input(made);
  if (avformat_find_stream_info(input.get(), nullptr) < 0) return std::nullopt;
  const AVCodec* codec = nullptr;
  int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (stream < 0 || !codec) return std::nullopt;
  std::unique_ptr<AVCodecContext, CodecFree> decoder(avcodec_alloc_context3(codec));
  if (!decoder ||
      avcodec_parameters_to_context(decoder.get(), input->streams[stream]->codecpar) < 0) {
    return std::nullopt;
  }
  decoder->thread_count = 1;
  if (avcodec_open2(decoder.get(), codec, nullptr) < 0) return std::nullopt;

  const std::int64_t at = static_cast<std::int64_t>(second * AV_TIME_BASE);
  if (input->duration != AV_NOPTS_VALUE && input->duration > 2 * at) {
    // Where the video cannot seek, its first frame serves.
    av_seek_frame(input.get(), -1, at, AVSEEK_FLAG_BACKWARD);
  }
  std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
  std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
  if (!packet || !frame) return std::nullopt;
  for (int read = 0; read < kMaxPackets; ++read) {
    bool ended = av_read_frame(input.get(), packet.get()) < 0;
    if (!ended && packet->stream_index != stream) {
      av_packet_unref(packet.get());
      continue;
    }
    // At the end the decoder is drained of what it still holds.
    int sent = avcodec_send_packet(decoder.get(), ended ? nullptr : packet.get());
    av_packet_unref(packet.get());
    if (sent < 0 && sent != AVERROR(EAGAIN) && !ended) continue;
    if (avcodec_receive_frame(decoder.get(), frame.get()) == 0) return ToRgb(*frame, maxEdge);
    if (ended) break;
  }
  return std::nullopt;
}

}  // namespace ravo::media
