#include "tests/media/MediaTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace ravo::media::test {

bool HaveFfmpeg() { return Shell("ffmpeg -version && ffprobe -version"); }

namespace {

Segments Collect(const std::string& dir, int stream, const char* ext) {
  Segments segments;
  segments.init = ravo::test::ReadFile(dir + "/init-stream" + std::to_string(stream) + ext);
  for (int n = 1;; ++n) {
    char name[64];
    std::snprintf(name, sizeof name, "/chunk-stream%d-%05d%s", stream, n, ext);
    std::string bytes = ravo::test::ReadFile(dir + name);
    if (bytes.empty()) break;
    segments.media.push_back(std::move(bytes));
  }
  return segments;
}

}  // namespace

Dash MakeDash(const std::string& dir, bool webm, const std::string& size,
              const std::string& videoCodec) {
  std::filesystem::create_directories(dir);
  std::string video = !videoCodec.empty() ? videoCodec : webm ? "libvpx-vp9" : "libx264";
  std::string codecs = webm ? "-c:v " + video + " -deadline realtime -cpu-used 8 -c:a libopus "
                                                "-dash_segment_type webm"
                            : "-c:v " + video + " -preset ultrafast -pix_fmt yuv420p -c:a aac";
  std::string command = "cd '" + dir +
                        "' && ffmpeg -hide_banner -loglevel error -y -f lavfi -i "
                        "testsrc=size=" + size + ":rate=25:duration=4 -f lavfi -i "
                        "sine=frequency=440:duration=4 -g 25 " + codecs +
                        " -f dash -seg_duration 1 -use_template 1 -use_timeline 0 out.mpd";
  std::string output;
  if (!Shell(command, &output)) std::fprintf(stderr, "%s\n%s\n", command.c_str(), output.c_str());
  const char* ext = webm ? ".webm" : ".m4s";
  return {Collect(dir, 0, ext), Collect(dir, 1, ext)};
}

// A stream made for playing as it comes may say no duration of its own: the
// end of its last packet tells.
double DurationOf(const std::string& path) {
  std::string output;
  if (!Shell("ffprobe -v error -show_entries packet=pts_time,duration_time -of csv=p=0 '" + path +
                 "'",
             &output)) {
    return -1;
  }
  double end = -1;
  std::size_t at = 0;
  while (at < output.size()) {
    std::size_t eol = output.find('\n', at);
    std::string line = output.substr(at, eol == std::string::npos ? std::string::npos : eol - at);
    at = eol == std::string::npos ? output.size() : eol + 1;
    std::size_t comma = line.find(',');
    if (comma == std::string::npos) continue;
    end = std::max(end, std::atof(line.c_str()) + std::atof(line.c_str() + comma + 1));
  }
  return end;
}

bool DecodesCleanly(const std::string& path, std::string* errors) {
  std::string output;
  bool ok = Shell("ffmpeg -v error -i '" + path + "' -f null -", &output);
  if (errors) *errors = output;
  return ok && output.empty();
}

}  // namespace ravo::media::test
