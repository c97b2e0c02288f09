// The clock the kernel stamps files with, for tests of watching on Linux.
#pragma once

#include <sys/stat.h>

#include <ctime>
#include <string>

#include "tests/support/TestSupport.h"

namespace ravo::platform {

// Watching reports what appears from the moment it begins, judged by the
// times the kernel stamps files with: waits until that clock has moved past
// the status change of the file at path, so that it counts as there before.
inline bool WaitUntilFileClockPasses(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  return test::WaitFor([&] {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now.tv_sec > st.st_ctim.tv_sec ||
           (now.tv_sec == st.st_ctim.tv_sec && now.tv_nsec > st.st_ctim.tv_nsec);
  });
}

}  // namespace ravo::platform
