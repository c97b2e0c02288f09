#include "media/StreamCaptureWorker.h"

#include "platform/Files.h"

namespace ravo::media {

StreamCaptureWorker::StreamCaptureWorker(StreamCapture::Settings settings, ReportFn report)
    : settings_(std::move(settings)),
      report_(std::move(report)),
      thread_([this](std::stop_token stop) { Run(stop); }) {}

StreamCaptureWorker::~StreamCaptureWorker() {
  thread_.request_stop();
  wake_.notify_all();
  thread_.join();
}

void StreamCaptureWorker::Post(Job job, std::size_t bytes) {
  {
    std::lock_guard lock(mutex_);
    jobs_.emplace_back(std::move(job), bytes);
    pendingBytes_ += bytes;
  }
  wake_.notify_all();
}

void StreamCaptureWorker::AddBuffer(std::string player, std::string buffer, std::string mime) {
  Post([=](StreamCapture& c) { c.AddBuffer(player, buffer, mime); }, 0);
}

void StreamCaptureWorker::Append(std::string player, std::string buffer, std::string bytes) {
  std::size_t size = bytes.size();
  Post(
      [player = std::move(player), buffer = std::move(buffer), bytes = std::move(bytes),
       this](StreamCapture& c) {
        std::string notice = c.Append(player, buffer, bytes);
        if (!notice.empty()) report_({{}, notice});
      },
      size);
}

void StreamCaptureWorker::End(std::string player) {
  Post([player = std::move(player), this](StreamCapture& c) { report_(c.End(player)); }, 0);
}

void StreamCaptureWorker::Discard(std::string prefix) {
  Post([prefix = std::move(prefix)](StreamCapture& c) { c.Discard(prefix); }, 0);
}

std::size_t StreamCaptureWorker::Pending() const {
  std::lock_guard lock(mutex_);
  return pendingBytes_;
}

// Jobs in order; once a second the streams that went idle are ended. At the
// stop the jobs still queued are done and every stream is ended.
void StreamCaptureWorker::Run(std::stop_token stop) {
  StreamCapture capture(
      settings_, [](const std::string& folder) { return platform::FreeSpace(folder); },
      StreamCapture::Clock::now);
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait_for(lock, stop, std::chrono::seconds(1), [&] { return !jobs_.empty(); });
    while (!jobs_.empty()) {
      auto [job, bytes] = std::move(jobs_.front());
      jobs_.pop_front();
      lock.unlock();
      job(capture);
      lock.lock();
      pendingBytes_ -= bytes;
    }
    lock.unlock();
    StreamCapture::Ended idle = capture.EndIdle();
    if (!idle.files.empty() || !idle.notice.empty()) report_(idle);
    if (stop.stop_requested()) {
      StreamCapture::Ended all = capture.EndAll();
      if (!all.files.empty() || !all.notice.empty()) report_(all);
      return;
    }
    lock.lock();
  }
}

}  // namespace ravo::media
