// The bare loop the disguised walk is measured against: walks a tree with
// getdents64 and openat, staying on its filesystem, and opens, reads 51
// bytes from and closes every file that a disguised search examines (the
// files whose extension is in none of the five categories' lists). Prints
// the entries walked and the files read; nothing is identified.
//
//   ravo-bench-bare-walk DIR...
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/Categories.h"
#include "fsutil/PathText.h"

namespace {

struct Counts {
  long entries = 0;
  long read = 0;
};

void Walk(int dir, dev_t device, const std::string& list, Counts& counts) {
  std::vector<char> buffer(64 * 1024);
  std::vector<std::string> subdirs;
  for (;;) {
    long n = syscall(SYS_getdents64, dir, buffer.data(), buffer.size());
    if (n <= 0) break;
    for (long at = 0; at < n;) {
      auto* entry = reinterpret_cast<struct dirent64*>(buffer.data() + at);
      at += entry->d_reclen;
      const char* name = entry->d_name;
      if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
      ++counts.entries;
      unsigned char type = entry->d_type;
      if (type == DT_UNKNOWN) {
        struct stat st {};
        if (fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) type = DT_DIR;
      }
      if (type == DT_DIR) {
        subdirs.emplace_back(name);
      } else if ((type == DT_REG || type == DT_LNK) &&
                 !ravo::BelongsTo(ravo::ExtOf(name), list)) {
        int fd = openat(dir, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        char head[51];
        if (read(fd, head, sizeof head) >= 0) ++counts.read;
        close(fd);
      }
    }
  }
  for (const std::string& name : subdirs) {
    int sub = openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub < 0) continue;
    struct stat st {};
    if (fstat(sub, &st) == 0 && st.st_dev == device) Walk(sub, device, list, counts);
    close(sub);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string list = ravo::JoinTickedLists({});
  Counts counts;
  for (int i = 1; i < argc; ++i) {
    int dir = open(argv[i], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st {};
    if (dir < 0 || fstat(dir, &st) != 0) {
      std::fprintf(stderr, "ravo-bench-bare-walk: cannot open %s\n", argv[i]);
      return 1;
    }
    Walk(dir, st.st_dev, list, counts);
    close(dir);
  }
  std::printf("%ld entries, %ld files read\n", counts.entries, counts.read);
  return 0;
}
