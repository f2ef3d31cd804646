#pragma once
// The client reads no configuration: these are its settings.
#include "build_config.h"

namespace tarnhold {

// The caption of all five windows and the start of the game window's title.
inline constexpr const char* GameTitle = "Tarnhold";

// The developers' build folder: a program started from here, or from a parent
// of it, keeps its files beside itself instead of in the data folder.
inline constexpr const char* BuildFolder = "F:\\Projekte\\\xE5\xBE\xAE\xE7\xAB\xAF\\Veltrotarn";

inline constexpr const char* DataFolderName = "Veltrotarn";

inline constexpr const char* ContentBaseUrl = build::kContentBaseUrl;
inline constexpr const char* LoginUrl = build::kLoginUrl;

// Marks the game's launcher page in an address.
inline constexpr const char* LauncherPage = "/bin/Kestrune.html";

}  // namespace tarnhold
