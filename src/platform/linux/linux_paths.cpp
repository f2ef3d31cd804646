#include "platform/linux/linux_paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/error.h"

namespace tarnhold::platform::linux_backend {

namespace {

using Components = std::vector<std::string>;

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  // A session without $HOME still has a password entry.
  const passwd* entry = ::getpwuid(::getuid());
  if (entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/') return entry->pw_dir;
  return "/";
}

std::string AbsoluteVariableOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  if (value != nullptr && value[0] == '/') return value;
  return fallback;
}

// user-dirs.dirs holds shell assignments of the form XDG_DESKTOP_DIR="$HOME/Desktop"
// or an absolute path; xdg-user-dirs writes nothing else.
std::optional<std::string> DesktopFromUserDirs(const std::string& configHome, const std::string& home) {
  std::ifstream file(configHome + "/user-dirs.dirs");
  const std::string prefix = "XDG_DESKTOP_DIR=\"";
  std::string line;
  while (std::getline(file, line)) {
    if (line.rfind(prefix, 0) != 0) continue;
    std::string value;
    bool closed = false;
    for (std::size_t i = prefix.size(); i < line.size() && !closed; ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) {
        value.push_back(line[++i]);
      } else if (line[i] == '"') {
        closed = true;
      } else {
        value.push_back(line[i]);
      }
    }
    if (!closed) continue;
    if (value.rfind("$HOME", 0) == 0) value.replace(0, 5, home);
    if (!value.empty() && value[0] == '/') return value;
  }
  return std::nullopt;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EndsWithIgnoringCase(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (LowerAscii(text[text.size() - suffix.size() + i]) != LowerAscii(suffix[i])) return false;
  }
  return true;
}

// Splits at any of `separators` and resolves "." and ".." by name; ".." at
// the top stays at the top, as it does at a drive's root.
Components Resolved(const std::string& path, const char* separators) {
  Components parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    const auto end = path.find_first_of(separators, start);
    const std::string part = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return parts;
}

std::string Joined(const std::string& base, const Components& parts) {
  std::string path = base;
  for (const std::string& part : parts) {
    if (path.empty() || path.back() != '/') path.push_back('/');
    path += part;
  }
  return path.empty() ? "/" : path;
}

std::string NormalisedNative(const std::string& native) { return Joined("/", Resolved(native, "/")); }

// The part of `parts` below `base`, compared component by component, so that
// "/home/u/.local/share2" is not taken to lie below "/home/u/.local/share".
std::optional<Components> Below(const Components& parts, const Components& base) {
  if (parts.size() < base.size()) return std::nullopt;
  for (std::size_t i = 0; i < base.size(); ++i) {
    if (parts[i] != base[i]) return std::nullopt;
  }
  return Components(parts.begin() + static_cast<std::ptrdiff_t>(base.size()), parts.end());
}

void MakeFolders(const std::string& path) {
  const Components parts = Resolved(path, "/");
  std::string sofar;
  for (const std::string& part : parts) {
    sofar += "/" + part;
    if (::mkdir(sofar.c_str(), 0700) != 0 && errno != EEXIST) {
      throw Error("cannot create " + sofar + ": " + std::strerror(errno));
    }
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) throw Error("not a folder: " + path);
}

}  // namespace

Places Places::FromEnvironment() {
  const std::string home = HomeFolder();
  Places places;
  places.dataHome = AbsoluteVariableOr("XDG_DATA_HOME", home + "/.local/share");
  places.configHome = AbsoluteVariableOr("XDG_CONFIG_HOME", home + "/.config");
  places.desktop = DesktopFromUserDirs(places.configHome, home).value_or(home + "/Desktop");
  return places;
}

PathMap::PathMap(const std::string& dataHome) : dataHome_(NormalisedNative(dataHome)) {
  if (dataHome.empty() || dataHome[0] != '/') throw Error("the data home must be absolute: " + dataHome);
  MakeFolders(dataHome_);
  char* real = ::realpath(dataHome_.c_str(), nullptr);
  if (real != nullptr) {
    realDataHome_ = real;
    std::free(real);  // NOLINT(cppcoreguidelines-no-malloc): realpath's buffer is malloc'd
  } else {
    realDataHome_ = dataHome_;
  }
}

std::optional<std::string> PathMap::ToNative(const std::string& windows) const {
  if (windows.size() < 2 || windows[1] != ':') return std::nullopt;
  // No Windows name holds a NUL; the system would read the path only up to it.
  if (windows.find('\0') != std::string::npos) return std::nullopt;
  const std::string rest = windows.substr(2);
  // "C:foo" is relative to the drive's current folder, which nothing here has.
  if (!rest.empty() && rest[0] != '\\' && rest[0] != '/') return std::nullopt;
  std::string base;
  switch (LowerAscii(windows[0])) {
    case 'c':
      base = dataHome_;
      break;
    case 'z':
      base = "/";
      break;
    default:
      return std::nullopt;
  }
  Components parts = Resolved(rest, "\\/");
  if (!parts.empty()) {
    std::string& last = parts.back();
    // "...exe" would become "..": the name is kept as it is.
    const std::string stem = last.size() > 4 ? last.substr(0, last.size() - 4) : std::string();
    if (last.size() > 4 && EndsWithIgnoringCase(last, ".exe") && stem != "." && stem != "..") {
      last.resize(last.size() - 4);
    } else if (last.size() > 4 && EndsWithIgnoringCase(last, ".lnk")) {
      last.replace(last.size() - 4, 4, ".desktop");
    }
  }
  return Joined(base, parts);
}

std::string PathMap::NativeOf(const std::string& windows) const {
  std::optional<std::string> native = ToNative(windows);
  if (!native) throw Error("path not found: " + windows);
  return *native;
}

std::string PathMap::FromNative(const std::string& native) const {
  if (native.empty() || native[0] != '/') throw Error("not an absolute path: " + native);
  const Components parts = Resolved(native, "/");
  std::optional<Components> below = Below(parts, Resolved(dataHome_, "/"));
  if (!below) below = Below(parts, Resolved(realDataHome_, "/"));
  const bool dataDrive = below.has_value();
  const Components& rest = dataDrive ? *below : parts;
  std::string windows = dataDrive ? "C:" : "Z:";
  for (const std::string& part : rest) windows += "\\" + part;
  if (rest.empty()) windows += "\\";
  return windows;
}

}  // namespace tarnhold::platform::linux_backend
