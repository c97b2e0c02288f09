// Small pieces the POSIX implementation files share.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/Files.h"

namespace ravo::platform {

// Closes the descriptor on every way out.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

// What a stat call said about a file, as a FileInfo.
FileInfo FileInfoOf(const struct stat& st);

// "what：system message for error", for failures shown to the user.
std::string Reason(const char* what, int error);

}  // namespace ravo::platform
