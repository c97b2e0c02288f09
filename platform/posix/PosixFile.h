// Small pieces the POSIX implementation files share.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/DirSearch.h"
#include "platform/Files.h"

namespace ravo::platform {

// Closes the descriptor on every way out.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

struct OpenFolder::State {
  int fd = -1;
  ~State() {
    if (fd >= 0) ::close(fd);
  }
};

// What a stat call said about a file, as a FileInfo.
FileInfo FileInfoOf(const struct stat& st);

// Opens the regular file at path for reading only. A device is never opened
// (opening one can have effects of its own: a tape rewinds, a watchdog
// starts) and a pipe never blocks. The descriptor, or -1 with errno set:
// EISDIR for a folder, EINVAL for any other kind of file that is not regular.
int OpenRegularForReading(const std::string& path);

// "what：system message for error", for failures shown to the user.
std::string Reason(const char* what, int error);

}  // namespace ravo::platform
