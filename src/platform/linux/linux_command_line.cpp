#include "platform/linux/linux_command_line.h"

#include <glib.h>

#include <vector>

#include "platform/error.h"

namespace tarnhold::platform::linux_backend {

namespace {

// Split as the C runtime splits a command line, enough for the forms known:
// blanks separate, double quotes group.
std::vector<std::string> Arguments(const std::string& commandLine) {
  std::vector<std::string> arguments;
  std::string current;
  bool inQuotes = false;
  bool any = false;
  for (const char c : commandLine) {
    if (c == '"') {
      inQuotes = !inQuotes;
      any = true;
    } else if ((c == ' ' || c == '\t') && !inQuotes) {
      if (any) arguments.push_back(current);
      current.clear();
      any = false;
    } else {
      current.push_back(c);
      any = true;
    }
  }
  if (any) arguments.push_back(current);
  return arguments;
}

bool Is(const std::string& argument, const char* word) {
  return argument.find('\0') == std::string::npos && g_ascii_strcasecmp(argument.c_str(), word) == 0;
}

}  // namespace

Command ParseCommand(const std::string& commandLine) {
  const std::vector<std::string> a = Arguments(commandLine);
  if (a.size() == 3 && (Is(a[0], "RunDll32.exe") || Is(a[0], "RunDll32")) &&
      Is(a[1], "InetCpl.cpl,ClearMyTracksByProcess") && a[2] == "8") {
    return {Command::Kind::kClearBrowsingData, {}};
  }
  if (a.size() == 4 && (Is(a[0], "cmd") || Is(a[0], "cmd.exe")) && Is(a[1], "/c")) {
    if (Is(a[2], "del")) return {Command::Kind::kDelete, a[3]};
    if (Is(a[2], "rd")) return {Command::Kind::kRemoveFolder, a[3]};
  }
  throw Error("the system cannot find the program: " + commandLine);
}

}  // namespace tarnhold::platform::linux_backend
