#include "media/Remux.h"

#include <cstdio>
#include <memory>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mathematics.h>
}

namespace ravo::media {
namespace {

std::string Reason(const std::string& what, int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return what + "：" + text;
}

struct InputCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using Input = std::unique_ptr<AVFormatContext, InputCloser>;

struct OutputCloser {
  void operator()(AVFormatContext* context) const {
    if (context->pb) avio_closep(&context->pb);
    avformat_free_context(context);
  }
};
using Output = std::unique_ptr<AVFormatContext, OutputCloser>;

struct PacketFree {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using Packet = std::unique_ptr<AVPacket, PacketFree>;

// One input with the packet it holds next.
struct Track {
  Input input;
  int firstOutputStream = 0;
  Packet next{av_packet_alloc()};
  bool done = false;
};

// Reads the track's next packet that has a time; done at its end.
void Advance(Track& track) {
  for (;;) {
    av_packet_unref(track.next.get());
    if (av_read_frame(track.input.get(), track.next.get()) < 0) {
      track.done = true;
      return;
    }
    if (track.next->dts != AV_NOPTS_VALUE || track.next->pts != AV_NOPTS_VALUE) return;
  }
}

// The time of the track's next packet, in microseconds.
std::int64_t NextTime(const Track& track) {
  const AVPacket* p = track.next.get();
  std::int64_t ts = p->dts != AV_NOPTS_VALUE ? p->dts : p->pts;
  return av_rescale_q(ts, track.input->streams[p->stream_index]->time_base, AV_TIME_BASE_Q);
}

std::string Mux(const std::vector<std::string>& inputs, const std::string& output,
                Container container) {
  std::vector<Track> tracks(inputs.size());
  AVFormatContext* made = nullptr;
  const char* format = container == Container::kMp4 ? "mp4" : "webm";
  int error = avformat_alloc_output_context2(&made, nullptr, format, output.c_str());
  if (error < 0 || !made) return Reason("无法创建 " + output, error);
  Output out(made);
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    AVFormatContext* opened = nullptr;
    if ((error = avformat_open_input(&opened, inputs[i].c_str(), nullptr, nullptr)) < 0) {
      return Reason("无法读取 " + inputs[i], error);
    }
    tracks[i].input.reset(opened);
    if ((error = avformat_find_stream_info(opened, nullptr)) < 0) {
      return Reason("无法读取 " + inputs[i], error);
    }
    tracks[i].firstOutputStream = static_cast<int>(out->nb_streams);
    for (unsigned s = 0; s < opened->nb_streams; ++s) {
      AVStream* stream = avformat_new_stream(out.get(), nullptr);
      if (!stream) return "内存不足";
      if ((error = avcodec_parameters_copy(stream->codecpar, opened->streams[s]->codecpar)) < 0) {
        return Reason("无法复制 " + inputs[i], error);
      }
      stream->codecpar->codec_tag = 0;
      stream->time_base = opened->streams[s]->time_base;
    }
  }
  if ((error = avio_open(&out->pb, output.c_str(), AVIO_FLAG_WRITE)) < 0) {
    return Reason("无法写入 " + output, error);
  }
  if ((error = avformat_write_header(out.get(), nullptr)) < 0) {
    return Reason("无法写入 " + output, error);
  }
  for (Track& track : tracks) Advance(track);
  for (;;) {
    Track* earliest = nullptr;
    for (Track& track : tracks) {
      if (!track.done && (!earliest || NextTime(track) < NextTime(*earliest))) earliest = &track;
    }
    if (!earliest) break;
    AVPacket* packet = earliest->next.get();
    AVStream* from = earliest->input->streams[packet->stream_index];
    packet->stream_index += earliest->firstOutputStream;
    av_packet_rescale_ts(packet, from->time_base, out->streams[packet->stream_index]->time_base);
    packet->pos = -1;
    if ((error = av_interleaved_write_frame(out.get(), packet)) < 0) {
      return Reason("无法写入 " + output, error);
    }
    Advance(*earliest);
  }
  if ((error = av_write_trailer(out.get())) < 0) return Reason("无法写入 " + output, error);
  return {};
}

}  // namespace

std::string MuxTracks(const std::vector<std::string>& inputs, const std::string& output,
                      Container container) {
  if (inputs.empty()) return "没有可合并的音视频轨道";
  av_log_set_level(AV_LOG_QUIET);
  std::string error = Mux(inputs, output, container);
  if (!error.empty()) std::remove(output.c_str());
  return error;
}

}  // namespace ravo::media
