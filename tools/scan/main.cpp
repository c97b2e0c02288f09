// ravo-scan: the full-disk search's walk and rules on the directories given,
// without a window: lists the media files of the chosen categories.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/Categories.h"
#include "app/SearchRules.h"
#include "fsutil/velFile.h"
#include "fsutil/velFindFile.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "typedb/DetectFileType.h"

namespace {

constexpr const char* kHelp =
    "用法：ravo-scan [--disguised] [--categories music,video,flash,pictures,modern] [目录...]\n"
    "      ravo-scan --drives\n"
    "\n"
    "按全盘搜索的规则遍历每个目录（不进入挂载在其中的其他文件系统），\n"
    "不给目录时像“全盘搜索”一样按盘符顺序遍历所有固定驱动器。列出所选类别的文件：\n"
    "扩展名在类别列表中的文件按扩展名列出；加 --disguised 时，\n"
    "扩展名不在列表中的文件还按内容（本程序旁边的类型数据库 ext.dll）识别，\n"
    "真实类型在列表中的也列出。\n"
    "每个列出的文件输出一行：类型、一个制表符、路径。\n"
    "标准错误的最后一行给出遍历的条目数、列出的文件数和所用秒数。\n"
    "\n"
    "  --disguised          也查找扩展名隐藏的文件\n"
    "  --drives             列出驱动器表后退出：每个驱动器一行，盘符和冒号、制表符、\n"
    "                       类型（fixed、removable、remote、cdrom、ram）、制表符、挂载点\n"
    "  --categories 列表    以逗号分隔的类别：music、video、flash、pictures、\n"
    "                       modern（新格式：WebP、AVIF、WebM、Ogg、FLAC 等；默认全部）\n"
    "  -h, --help           显示本说明\n"
    "  --                   其后的参数都是目录，即使以 - 开头\n"
    "\n"
    "有目录无法遍历或有文件无法识别时以状态 1 退出，参数有误时以状态 2 退出。\n";

struct Options {
  bool drives = false;
  bool disguised = false;
  ravo::CategorySelection ticked;
  std::vector<std::string> dirs;
};

// Ticks the categories named in a comma-separated list; false for an
// unknown name.
bool ParseCategories(std::string_view names, ravo::CategorySelection& ticked) {
  ticked = {false, false, false, false, false};
  while (!names.empty()) {
    std::size_t comma = names.find(',');
    std::string_view name = names.substr(0, comma);
    names = comma == std::string_view::npos ? std::string_view() : names.substr(comma + 1);
    if (name == "music") {
      ticked.music = true;
    } else if (name == "video") {
      ticked.video = true;
    } else if (name == "flash") {
      ticked.flash = true;
    } else if (name == "pictures") {
      ticked.pictures = true;
    } else if (name == "modern") {
      ticked.modern = true;
    } else {
      std::fprintf(stderr, "ravo-scan：未知的类别“%.*s”\n", static_cast<int>(name.size()),
                   name.data());
      return false;
    }
  }
  return true;
}

// Reads the command line; the exit status when the program is to end at once.
std::optional<int> ParseArguments(int argc, char** argv, Options& options) {
  bool optionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (optionsEnd || arg.empty() || arg[0] != '-') {
      options.dirs.emplace_back(arg);
    } else if (arg == "--") {
      optionsEnd = true;
    } else if (arg == "-h" || arg == "--help") {
      std::fputs(kHelp, stdout);
      return 0;
    } else if (arg == "--drives") {
      options.drives = true;
    } else if (arg == "--disguised") {
      options.disguised = true;
    } else if (arg == "--categories" && i + 1 < argc) {
      if (!ParseCategories(argv[++i], options.ticked)) return 2;
    } else if (arg.starts_with("--categories=")) {
      if (!ParseCategories(arg.substr(arg.find('=') + 1), options.ticked)) return 2;
    } else {
      std::fprintf(stderr, "ravo-scan：无法识别的参数“%s”\n%s", argv[i], kHelp);
      return 2;
    }
  }
  return std::nullopt;
}

const char* DriveTypeName(int type) {
  switch (type) {
    case ravo::platform::kDriveFixed:
      return "fixed";
    case ravo::platform::kDriveRemovable:
      return "removable";
    case ravo::platform::kDriveRemote:
      return "remote";
    case ravo::platform::kDriveCdRom:
      return "cdrom";
    case ravo::platform::kDriveRamDisk:
      return "ram";
    default:
      return "unknown";
  }
}

void PrintDrives() {
  for (const ravo::platform::Drive& drive : ravo::platform::CurrentDrives()) {
    std::printf("%c:\t%s\t%s\n", drive.letter, DriveTypeName(drive.type), drive.root.c_str());
  }
}

// The directories to walk: those given, else the fixed drives in order.
std::vector<std::string> DirectoriesToWalk(const Options& options) {
  if (!options.dirs.empty()) return options.dirs;
  std::vector<std::string> roots;
  for (char letter : ravo::GetFixedDrives()) roots.push_back(ravo::platform::DriveRoot(letter));
  return roots;
}

void PrintListed(const std::string& path, const std::string& type) {
  std::fwrite(type.data(), 1, type.size(), stdout);
  std::fputc('\t', stdout);
  std::fwrite(path.data(), 1, path.size(), stdout);
  std::fputc('\n', stdout);
}

// Walks the directories with the search rules and counts what it sees.
class Scan {
 public:
  explicit Scan(const Options& options)
      : rules_(ravo::JoinTickedLists(options.ticked), options.disguised, {},
               [this](const std::string& path, const std::string& type) {
                 PrintListed(path, type);
                 ++listed_;
               }) {}

  void Walk(const std::string& dir) {
    std::int64_t directoryReports = 0;
    ravo::FindFiles(dir, rules_.ExtList(),
                    [&](const std::string& path, std::int32_t kind, bool&) {
                      if (kind == ravo::kFoundDirectory) ++directoryReports;
                      if (kind == ravo::kFoundFile) ++entries_;
                      Handle(path, kind);
                    },
                    rules_.Lookahead());
    // Every directory is reported when its walk begins, and each but the
    // start once more when its walk is over.
    entries_ += (directoryReports + 1) / 2;
  }

  std::int64_t Entries() const { return entries_; }
  std::int64_t Listed() const { return listed_; }
  std::int64_t Unidentified() const { return unidentified_; }
  const std::string& FirstError() const { return firstError_; }

 private:
  void Handle(const std::string& path, std::int32_t kind) {
    try {
      rules_.Handle(path, kind);
    } catch (const ravo::TypeDbIoError& error) {
      if (unidentified_++ == 0) firstError_ = path + "：" + error.what();
    }
  }

  ravo::SearchRules rules_;
  std::int64_t entries_ = 0;
  std::int64_t listed_ = 0;
  std::int64_t unidentified_ = 0;
  std::string firstError_;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (std::optional<int> status = ParseArguments(argc, argv, options)) return *status;
  if (options.drives) {
    PrintDrives();
    return 0;
  }

  static char outBuffer[1 << 20];
  std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);
  int status = 0;
  auto started = std::chrono::steady_clock::now();
  Scan scan(options);
  for (const std::string& dir : DirectoriesToWalk(options)) {
    if (!ravo::platform::QueryFile(dir).isDirectory) {
      std::fprintf(stderr, "ravo-scan：“%s”不是可遍历的目录\n", dir.c_str());
      status = 1;
      continue;
    }
    scan.Walk(dir);
  }
  std::fflush(stdout);
  std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
  if (scan.Unidentified() > 0) {
    std::fprintf(stderr, "ravo-scan：%lld 个文件无法识别，第一个：%s\n",
                 static_cast<long long>(scan.Unidentified()), scan.FirstError().c_str());
    status = 1;
  }
  std::fprintf(stderr, "遍历 %lld 个条目，列出 %lld 个文件，用时 %.3f 秒\n",
               static_cast<long long>(scan.Entries()), static_cast<long long>(scan.Listed()),
               seconds.count());
  return status;
}
