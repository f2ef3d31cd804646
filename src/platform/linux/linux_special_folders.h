#pragma once
// The Windows special folders that have a counterpart on a freedesktop
// desktop: the desktop, the programs menu, autostart and fonts.
#include <string>

#include "platform/linux/linux_paths.h"

namespace tarnhold::platform::linux_backend {

// The script shell's SpecialFolders collection, by name (in any case) or by
// position in its own order: the native folder, or "" where this desktop has
// none or the name is unknown. A position outside the collection throws
// platform::Error, as its subscript does.
std::string SpecialFolderNamed(const Places& places, const std::string& name);
std::string SpecialFolderAt(const Places& places, int index);
// SHGetSpecialFolderPath's CSIDL values: the native folder, or "".
std::string CsidlFolder(const Places& places, int csidl);

}  // namespace tarnhold::platform::linux_backend
