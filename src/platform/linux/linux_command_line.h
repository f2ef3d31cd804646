#pragma once
// The few command lines the behaviour starts, read as what they do here.
#include <string>

namespace tarnhold::platform::linux_backend {

struct Command {
  enum class Kind { kDelete, kRemoveFolder, kClearBrowsingData } kind;
  std::string path;  // the Windows path of a delete or a folder's removal
};

// "cmd /c del "<file>"", "cmd /c rd "<folder>"" and the browser's
// clear-my-tracks call (RunDll32 InetCpl.cpl,ClearMyTracksByProcess 8), in
// any case. Anything else throws platform::Error, as a program that cannot
// be found does.
Command ParseCommand(const std::string& commandLine);

}  // namespace tarnhold::platform::linux_backend
