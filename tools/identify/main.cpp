// ravo-identify: names the real extension of files, as the capture engine
// sees them, with the type database beside this program.
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "typedb/DetectFileType.h"

namespace {

constexpr const char* kHelp =
    "用法：ravo-identify [文件...]\n"
    "       ravo-identify < 路径列表\n"
    "\n"
    "按文件的前 51 个字节（对照本程序旁边的类型数据库 ext.dll），\n"
    "否则按文件名，给出每个文件的真实扩展名。\n"
    "每个文件输出一行：真实扩展名（可能为空）、一个制表符、所给的路径。\n"
    "不给文件时，从标准输入逐行读取路径。\n"
    "\n"
    "类型数据库存在却无法读取时，在标准错误上给出路径和原因，继续处理其余文件，\n"
    "最后以状态 1 退出；否则以状态 0 退出。\n"
    "  -h, --help   显示本说明\n"
    "  --           其后的参数都是文件，即使以 - 开头\n";

class Identifier {
 public:
  void Identify(const std::string& path) {
    try {
      std::string type = ravo::DetectFileType(path);
      std::fwrite(type.data(), 1, type.size(), stdout);
      std::fputc('\t', stdout);
      std::fwrite(path.data(), 1, path.size(), stdout);
      std::fputc('\n', stdout);
    } catch (const ravo::TypeDbIoError& error) {
      std::fflush(stdout);
      std::fprintf(stderr, "%s: %s\n", path.c_str(), error.what());
      failed_ = true;
    }
  }

  bool Failed() const { return failed_; }

 private:
  bool failed_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (options && (arg == "-h" || arg == "--help")) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (options && arg == "--") {
      options = false;
    } else {
      files.emplace_back(arg);
    }
  }

  Identifier identifier;
  if (files.empty()) {
    std::ios::sync_with_stdio(false);
    std::string line;
    while (std::getline(std::cin, line)) identifier.Identify(line);
  }
  for (const std::string& file : files) identifier.Identify(file);
  return identifier.Failed() ? 1 : 0;
}
