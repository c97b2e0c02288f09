#include <windows.h>

// After windows.h:
#include <shellapi.h>
#include <shlwapi.h>
#include <wininet.h>

#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/win32/Win32File.h"

namespace ravo::platform {
namespace {

// The shell reports success with a value above 32, taken as unsigned.
bool Succeeded(HINSTANCE result) { return reinterpret_cast<UINT_PTR>(result) > 32; }

}  // namespace

// No verb: the shell's default action for the file type. Empty texts are
// passed as empty strings.
bool ShellOpen(const std::string& file, const std::string& parameters,
               const std::string& workingDir) {
  return Succeeded(ShellExecuteA(GetActiveWindow(), nullptr, file.c_str(), parameters.c_str(),
                                 workingDir.c_str(), SW_SHOWNORMAL));
}

bool OpenInWebBrowser(const std::string& url) {
  return Succeeded(ShellExecuteA(GetActiveWindow(), "open", url.c_str(), "", "", SW_SHOWNORMAL));
}

// An existing file or folder goes to the shell as it is; anything else gets
// the scheme the shell's own address reading gives it (a bare host name
// becomes an http address, an address with a scheme stays as it is).
bool ShellOpenTarget(const std::string& target) {
  if (target.empty()) return false;
  std::string what = target;
  if (!QueryFile(target).exists) {
    char address[INTERNET_MAX_URL_LENGTH];
    DWORD size = sizeof address;
    if (UrlApplySchemeA(target.c_str(), address, &size,
                        URL_APPLY_GUESSSCHEME | URL_APPLY_DEFAULT) == S_OK) {
      what = address;
    }
  }
  return Succeeded(ShellExecuteA(GetActiveWindow(), nullptr, what.c_str(), "", "", SW_SHOWNORMAL));
}

}  // namespace ravo::platform
