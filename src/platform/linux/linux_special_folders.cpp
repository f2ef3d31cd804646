#include "platform/linux/linux_special_folders.h"

#include <glib.h>

#include <array>

#include "platform/error.h"

namespace tarnhold::platform::linux_backend {

namespace {

enum class Folder { kNone, kDesktop, kPrograms, kAutostart, kFonts };

struct NamedFolder {
  const char* name;
  Folder folder;
};
constexpr std::array<NamedFolder, 16> kSpecialFolders = {{
    {"AllUsersDesktop", Folder::kDesktop},
    {"AllUsersStartMenu", Folder::kNone},
    {"AllUsersPrograms", Folder::kPrograms},
    {"AllUsersStartup", Folder::kAutostart},
    {"Desktop", Folder::kDesktop},
    {"Favorites", Folder::kNone},
    {"Fonts", Folder::kFonts},
    {"MyDocuments", Folder::kNone},
    {"NetHood", Folder::kNone},
    {"PrintHood", Folder::kNone},
    {"Programs", Folder::kPrograms},
    {"Recent", Folder::kNone},
    {"SendTo", Folder::kNone},
    {"StartMenu", Folder::kNone},
    {"Startup", Folder::kAutostart},
    {"Templates", Folder::kNone},
}};

std::string NativeFolder(const Places& places, Folder folder) {
  switch (folder) {
    case Folder::kDesktop:
      return places.desktop;
    case Folder::kPrograms:
      return places.dataHome + "/applications";
    case Folder::kAutostart:
      return places.configHome + "/autostart";
    case Folder::kFonts:
      return places.dataHome + "/fonts";
    case Folder::kNone:
      break;
  }
  return {};
}

}  // namespace

std::string SpecialFolderNamed(const Places& places, const std::string& name) {
  if (name.find('\0') != std::string::npos) return {};
  for (const NamedFolder& folder : kSpecialFolders) {
    if (g_ascii_strcasecmp(name.c_str(), folder.name) == 0) return NativeFolder(places, folder.folder);
  }
  return {};
}

std::string SpecialFolderAt(const Places& places, int index) {
  if (index < 0 || index >= static_cast<int>(kSpecialFolders.size())) {
    throw Error("subscript out of range: special folder " + std::to_string(index));
  }
  return NativeFolder(places, kSpecialFolders.at(static_cast<std::size_t>(index)).folder);
}

std::string CsidlFolder(const Places& places, int csidl) {
  switch (csidl) {
    case 0:   // CSIDL_DESKTOP
    case 16:  // CSIDL_DESKTOPDIRECTORY
    case 25:  // CSIDL_COMMON_DESKTOPDIRECTORY
      return NativeFolder(places, Folder::kDesktop);
    case 2:   // CSIDL_PROGRAMS
    case 23:  // CSIDL_COMMON_PROGRAMS
      return NativeFolder(places, Folder::kPrograms);
    case 7:   // CSIDL_STARTUP
    case 24:  // CSIDL_COMMON_STARTUP
      return NativeFolder(places, Folder::kAutostart);
    case 20:  // CSIDL_FONTS
      return NativeFolder(places, Folder::kFonts);
    case 26:  // CSIDL_APPDATA
      return places.configHome;
    case 28:  // CSIDL_LOCAL_APPDATA
      return places.dataHome;
    default:
      return {};
  }
}

}  // namespace tarnhold::platform::linux_backend
