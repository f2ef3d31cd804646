#pragma once
// A shortcut is a desktop entry here.
#include <memory>
#include <string>

#include "platform/linux/linux_paths.h"
#include "platform/shell.h"

namespace tarnhold::platform::linux_backend {

// The entry for the ".lnk" path given (PathMap turns it into ".desktop"),
// written when it is saved.
std::unique_ptr<Shortcut> NewDesktopEntry(const PathMap& paths, std::string path);

}  // namespace tarnhold::platform::linux_backend
