#include "app/CaptureCsv.h"

#include <fstream>

#include "fsutil/PathText.h"
#include "platform/Files.h"
#include "platform/Utf8.h"

namespace ravo {
namespace {

std::string Field(std::string_view native) {
  std::string text = platform::ToUtf8(native);
  if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos) {
    text.insert(text.begin(), '\'');
  }
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::string SizeField(const std::string& path) {
  platform::FileInfo info = platform::QueryFile(path);
  if (info.queryFailed) return {};
  if (!info.exists || info.isDirectory) return "0";
  return std::to_string(info.size);
}

}  // namespace

std::string CaptureListCsv(const CaptureList& list) {
  std::string csv = "\xEF\xBB\xBF" + platform::ToUtf8("路径,文件名,类型,大小（字节）") + "\r\n";
  const StringGrid& grid = list.Grid();
  for (int row = 1; row <= list.CapturedCount(); ++row) {
    const std::string& path = list.CapturedPaths()[static_cast<std::size_t>(row - 1)];
    csv += Field(path) + ',' + Field(grid.Cell(CaptureList::kNameCol, row)) + ',' +
           Field(grid.Cell(CaptureList::kTypeCol, row)) + ',' + SizeField(path) + "\r\n";
  }
  return csv;
}

std::string ExportCaptureList(const CaptureList& list, const std::string& target) {
  const std::string csv = CaptureListCsv(list);
  const std::string temp = target + ".ravo-export";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (out) out.write(csv.data(), static_cast<std::streamsize>(csv.size()));
    out.close();
    if (!out) {
      platform::RemoveFile(temp);
      return "无法写入文件 " + target;
    }
  }
  std::string error = platform::RenameReplacing(temp, target);
  if (!error.empty()) platform::RemoveFile(temp);
  return error;
}

}  // namespace ravo
