// What keeping a streamed video costs the program: the segments of a DASH
// folder (made by ffmpeg, see run.sh) are handed to the stream capture as a
// page's player appends them, video and audio in turn, each chunk decoded
// from base64 as it comes over the pane's channel; then the stream ends and
// is made into one file. Prints the time, CPU and peak memory of each part.
//
//   ravo-bench-stream-capture DASH_FOLDER OUTPUT_FOLDER SECONDS_OF_MEDIA
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "media/StreamCaptureWorker.h"

namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The files of one stream's segments, initialization first; read one at a
// time as they are appended, so that the figures are the program's own.
std::vector<std::string> Segments(const std::string& folder, int stream, const char* ext) {
  std::vector<std::string> all{folder + "/init-stream" + std::to_string(stream) + ext};
  for (int n = 1;; ++n) {
    char name[64];
    std::snprintf(name, sizeof name, "/chunk-stream%d-%05d%s", stream, n, ext);
    if (!std::ifstream(folder + name)) break;
    all.push_back(folder + name);
  }
  return all;
}

// The chunk as the page's script sends it, and as the program takes it back.
std::string Base64RoundTrip(const std::string& bytes) {
  static const char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 2]);
    for (int k = 0; k < 4; ++k) text += kDigits[(v >> (18 - 6 * k)) & 63];
  }
  std::string back;
  back.reserve(bytes.size());
  for (std::size_t i = 0; i + 3 < text.size() + 3 && i < text.size(); i += 4) {
    unsigned v = 0;
    for (int k = 0; k < 4; ++k) {
      const char* at = std::strchr(kDigits, text[i + k]);
      v = (v << 6) | static_cast<unsigned>(at - kDigits);
    }
    for (int k = 0; k < 3; ++k) back += static_cast<char>((v >> (16 - 8 * k)) & 255);
  }
  back.resize(bytes.size());
  return back;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
         usage.ru_stime.tv_usec / 1e6;
}

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s DASH_FOLDER OUTPUT_FOLDER SECONDS_OF_MEDIA\n", argv[0]);
    return 2;
  }
  std::string folder = argv[1];
  bool webm = static_cast<bool>(std::ifstream(folder + "/init-stream0.webm"));
  const char* ext = webm ? ".webm" : ".m4s";
  std::vector<std::string> video = Segments(folder, 0, ext);
  std::vector<std::string> audio = Segments(folder, 1, ext);
  double mediaSeconds = std::atof(argv[3]);
  std::uint64_t bytes = 0;
  long before = PeakKilobytes();

  using Clock = std::chrono::steady_clock;
  std::vector<std::string> made;
  auto start = Clock::now();
  double cpuStart = CpuSeconds();
  double appendWall = 0, appendCpu = 0;
  {
    ravo::media::StreamCaptureWorker worker(
        {argv[2]}, [&](const ravo::media::StreamCapture::Ended& ended) {
          made.insert(made.end(), ended.files.begin(), ended.files.end());
          if (!ended.notice.empty()) std::fprintf(stderr, "%s\n", ended.notice.c_str());
        });
    worker.AddBuffer("p", "v", webm ? "video/webm" : "video/mp4");
    worker.AddBuffer("p", "a", webm ? "audio/webm" : "audio/mp4");
    auto append = [&](const char* buffer, const std::string& file) {
      std::string chunk = Read(file);
      bytes += chunk.size();
      worker.Append("p", buffer, Base64RoundTrip(chunk));
      // A player appends as it plays: never far ahead of what was written.
      while (worker.Pending() > (8u << 20)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    for (std::size_t i = 0; i < std::max(video.size(), audio.size()); ++i) {
      if (i < video.size()) append("v", video[i]);
      if (i < audio.size()) append("a", audio[i]);
    }
    while (worker.Pending() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    appendWall = std::chrono::duration<double>(Clock::now() - start).count();
    appendCpu = CpuSeconds() - cpuStart;
    worker.End("p");
  }  // the worker finishes and joins here
  double totalWall = std::chrono::duration<double>(Clock::now() - start).count();
  double totalCpu = CpuSeconds() - cpuStart;

  std::printf("stream: %.1f s of media, %.1f MB in %zu video and %zu audio chunks\n", mediaSeconds,
              bytes / 1e6, video.size(), audio.size());
  std::printf("recording: %.2f s wall, %.2f s CPU (%.2f%% of one core over the playing time)\n",
              appendWall, appendCpu, 100.0 * appendCpu / mediaSeconds);
  std::printf("making the file: %.2f s wall, %.2f s CPU\n", totalWall - appendWall,
              totalCpu - appendCpu);
  std::printf("peak memory: %.1f MB (%.1f MB before the stream)\n", PeakKilobytes() / 1024.0,
              before / 1024.0);
  for (const std::string& file : made) std::printf("made: %s\n", file.c_str());
  return made.size() == 1 ? 0 : 1;
}
