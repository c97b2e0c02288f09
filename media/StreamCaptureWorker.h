// A StreamCapture on a thread of its own: the page's chunks are handed over
// and written there, so that the window never waits for the disk. Streams
// that go idle are ended there too; what is made, and what the user should
// be told, is reported from that thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "media/StreamCapture.h"

namespace ravo::media {

class StreamCaptureWorker {
 public:
  // Called on the worker thread.
  using ReportFn = std::function<void(const StreamCapture::Ended&)>;

  StreamCaptureWorker(StreamCapture::Settings settings, ReportFn report);
  // Ends every stream (their files are made) and joins the thread.
  ~StreamCaptureWorker();
  StreamCaptureWorker(const StreamCaptureWorker&) = delete;
  StreamCaptureWorker& operator=(const StreamCaptureWorker&) = delete;

  // Any thread; the work is done in order on the worker.
  void AddBuffer(std::string player, std::string buffer, std::string mime);
  void Append(std::string player, std::string buffer, std::string bytes);
  void End(std::string player);
  // Drops the streams of the players whose ids begin with the prefix.
  void Discard(std::string prefix);

  // Bytes handed over and not written yet (for tests and back-pressure).
  std::size_t Pending() const;

 private:
  using Job = std::function<void(StreamCapture&)>;
  void Post(Job job, std::size_t bytes);
  void Run(std::stop_token stop);

  StreamCapture::Settings settings_;
  ReportFn report_;
  mutable std::mutex mutex_;
  std::condition_variable_any wake_;
  std::deque<std::pair<Job, std::size_t>> jobs_;
  std::size_t pendingBytes_ = 0;
  std::jthread thread_;
};

}  // namespace ravo::media
