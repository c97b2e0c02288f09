#include "tests/win32/Win32TestSupport.h"

#include <stdexcept>

#include "platform/Process.h"

namespace ravo::test {

std::string Join(const std::string& dir, const std::string& name) { return dir + "\\" + name; }

void WriteAnsiFile(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + path);
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != bytes.size()) throw std::runtime_error("cannot write " + path);
}

void MakeAnsiDir(const std::string& path) {
  if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    throw std::runtime_error("cannot make " + path);
  }
}

int CountEntries(const std::string& dir) {
  WIN32_FIND_DATAA data{};
  HANDLE search = FindFirstFileA(Join(dir, "*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do {
    std::string name = data.cFileName;
    if (name != "." && name != "..") ++count;
  } while (FindNextFileA(search, &data));
  FindClose(search);
  return count;
}

HeldFile::HeldFile(const std::string& path, DWORD access, DWORD share)
    : handle_(CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {
  if (handle_ == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot hold " + path);
}

HeldFile::~HeldFile() { CloseHandle(handle_); }

std::string JpegBytes(std::size_t size) {
  std::string bytes("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11);
  bytes.resize(size, '\0');
  return bytes;
}

bool AnsiCodePageIs936() { return GetACP() == 936; }

std::string ShippedDatabase() { return platform::ExecutableDir() + "ext.dll"; }

}  // namespace ravo::test
