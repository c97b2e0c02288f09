// Helpers of the Windows tests: files made and held through the ANSI
// functions (std::filesystem would read their names as UTF-8), and paths
// with back slashes.
#pragma once

#include <windows.h>

#include <string>

namespace ravo::test {

// dir + "\" + name.
std::string Join(const std::string& dir, const std::string& name);

// Creates or replaces the file with these bytes.
void WriteAnsiFile(const std::string& path, const std::string& bytes);

// Creates the folder; an existing one is fine.
void MakeAnsiDir(const std::string& path);

// The entries of a folder other than "." and "..".
int CountEntries(const std::string& dir);

// Holds a file open the way another program would, until destroyed.
class HeldFile {
 public:
  HeldFile(const std::string& path, DWORD access, DWORD share);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

 private:
  HANDLE handle_;
};

// The leading bytes of a JPEG picture, padded with zeros to `size` bytes.
std::string JpegBytes(std::size_t size);

// True when the ANSI code page is 936; the tests of GBK names need it.
bool AnsiCodePageIs936();

// The type database built beside the test programs.
std::string ShippedDatabase();

}  // namespace ravo::test
