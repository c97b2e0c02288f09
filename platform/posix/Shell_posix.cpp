// The desktop's opener is xdg-open; RAVO_OPENER names another program
// (tests point it at a recorder so that nothing is really opened).
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/Files.h"
#include "platform/Shell.h"

extern char** environ;

namespace ravo::platform {
namespace {

std::string Opener() {
  const char* custom = std::getenv("RAVO_OPENER");
  return (custom && *custom) ? custom : "xdg-open";
}

// Starts the opener with one argument and reaps it in the background, so
// that neither a slow opener blocks the window nor a zombie is left behind.
bool Spawn(const std::string& argument, const std::string& workingDir) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!workingDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
  std::string program = Opener();
  std::vector<char*> argv = {program.data(), const_cast<char*>(argument.c_str()), nullptr};
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}

// "scheme:" at the start, unless what follows the colon is a port number
// ("host:8080", "host:8080/page").
bool NamesScheme(std::string_view target) {
  std::size_t colon = target.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  std::string_view scheme = target.substr(0, colon);
  auto schemeChar = [](unsigned char c) {
    return std::isalnum(c) || c == '+' || c == '-' || c == '.';
  };
  if (!std::isalpha(static_cast<unsigned char>(scheme[0])) ||
      !std::all_of(scheme.begin(), scheme.end(), schemeChar)) {
    return false;
  }
  std::string_view rest = target.substr(colon + 1);
  std::string_view port = rest.substr(0, rest.find('/'));
  auto digit = [](unsigned char c) { return std::isdigit(c) != 0; };
  return port.empty() || !std::all_of(port.begin(), port.end(), digit);
}

}  // namespace

// xdg-open takes no parameters for the program it starts; they are dropped.
bool ShellOpen(const std::string& file, const std::string& /*parameters*/,
               const std::string& workingDir) {
  return Spawn(file, workingDir);
}

bool OpenInWebBrowser(const std::string& url) { return Spawn(url, ""); }

bool ShellOpenTarget(const std::string& target) {
  if (target.empty()) return false;
  if (QueryFile(target).exists || NamesScheme(target)) return Spawn(target, "");
  return Spawn("http://" + target, "");
}

}  // namespace ravo::platform
