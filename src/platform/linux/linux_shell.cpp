// The shell on a freedesktop desktop: special folders are the XDG ones,
// shortcuts are desktop entries, the registry is a key file of our own, and
// the few command lines the behaviour starts are carried out natively.
#include <fcntl.h>
#include <gio/gio.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>
#include <optional>

#include "platform/error.h"
#include "platform/linux/linux_system.h"

namespace tarnhold::platform::linux_backend {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && SameIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithIgnoringCase(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && SameIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

bool IsFolder(const std::string& native) {
  struct stat info {};
  return ::stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool MakeFolders(const std::string& native) {
  return g_mkdir_with_parents(native.c_str(), 0755) == 0 && IsFolder(native);
}

// Written beside the destination and renamed over it: a desktop that watches
// the folder never picks up half an entry, and the mode is right from the
// first moment the name exists.
void WriteReplacing(const std::string& native, const std::string& text, mode_t mode) {
  const auto slash = native.find_last_of('/');
  std::string temporary = native.substr(0, slash + 1) + ".tarnhold-XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) throw Error("cannot write " + native + ": " + std::strerror(errno));
  std::size_t done = 0;
  bool ok = ::fchmod(fd, mode) == 0;
  while (ok && done < text.size()) {
    const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    ok = wrote > 0;
    if (ok) done += static_cast<std::size_t>(wrote);
  }
  const int saved = errno;
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temporary.c_str(), native.c_str()) != 0) {
    const int reason = ok ? errno : saved;
    ::unlink(temporary.c_str());
    throw Error("cannot write " + native + ": " + std::strerror(reason));
  }
}

// --- Desktop entries ---------------------------------------------------------------

// The key file's escapes for a string value.
std::string EscapedValue(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '\\':
        escaped += "\\\\";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\t':
        escaped += "\\t";
        break;
      case '\r':
        escaped += "\\r";
        break;
      default:
        escaped.push_back(c);
    }
  }
  if (!escaped.empty() && escaped[0] == ' ') escaped.replace(0, 1, "\\s");
  return escaped;
}

// An Exec argument with a reserved character goes in double quotes, with ",
// `, $ and \ escaped inside; the key file's own escaping comes on top.
std::string QuotedExecArgument(const std::string& argument) {
  constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  if (!argument.empty() && argument.find_first_of(kReserved) == std::string::npos) return argument;
  std::string quoted = "\"";
  for (const char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted.push_back('\\');
    quoted.push_back(c);
  }
  return quoted + "\"";
}

// A percent sign would start a field code.
std::string WithoutFieldCodes(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    escaped.push_back(c);
    if (c == '%') escaped.push_back('%');
  }
  return escaped;
}

class LinuxShortcut final : public Shortcut {
 public:
  LinuxShortcut(const PathMap& paths, std::string path) : paths_(paths), path_(std::move(path)) {}
  void SetTargetPath(const std::string& path) override { target_ = path; }
  void SetArguments(const std::string& arguments) override { arguments_ = arguments; }
  void Save() override;

 private:
  const PathMap& paths_;
  std::string path_;
  std::string target_;
  std::string arguments_;
};

// A new entry every time, with nothing but what was set, as a new link is.
// Without a target there is no Exec line, as the link has no path. Launchers
// must be executable for a desktop to start them.
void LinuxShortcut::Save() {
  const std::string native = paths_.NativeOf(path_);
  const std::string file = path_.substr(path_.find_last_of("\\/") + 1);
  const std::string name = file.substr(0, file.size() - 4);
  std::string text = "[Desktop Entry]\nType=Application\nName=" + EscapedValue(name) + "\n";
  if (!target_.empty()) {
    std::string exec = QuotedExecArgument(paths_.NativeOf(target_));
    if (!arguments_.empty()) exec += " " + arguments_;
    text += "Exec=" + EscapedValue(WithoutFieldCodes(exec)) + "\n";
  }
  text += "Icon=tarnhold\nTerminal=false\n";
  WriteReplacing(native, text, 0755);
}

// --- The registry ------------------------------------------------------------------

struct KeyFileFree {
  void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileFree>;

struct GErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};

struct GFree {
  void operator()(void* memory) const { g_free(memory); }
};

// "ROOT\key\path\Value": the root up to the first backslash (its short forms
// taken to the long name, so both reach one key), the value after the last.
// An empty value (the name ends in a backslash) means the key itself.
struct RegistryName {
  std::string key;
  std::string value;
  bool rootOnly = false;
};

RegistryName ParseRegistryName(const std::string& name) {
  static constexpr std::array<std::array<const char*, 2>, 8> kRoots = {{
      {"HKEY_CURRENT_USER", "HKEY_CURRENT_USER"},
      {"HKCU", "HKEY_CURRENT_USER"},
      {"HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE"},
      {"HKLM", "HKEY_LOCAL_MACHINE"},
      {"HKEY_CLASSES_ROOT", "HKEY_CLASSES_ROOT"},
      {"HKCR", "HKEY_CLASSES_ROOT"},
      {"HKEY_USERS", "HKEY_USERS"},
      {"HKEY_CURRENT_CONFIG", "HKEY_CURRENT_CONFIG"},
  }};
  const auto first = name.find('\\');
  std::string root;
  if (first != std::string::npos) {
    for (const auto& candidate : kRoots) {
      if (SameIgnoringCase(name.substr(0, first), candidate[0])) root = candidate[1];
    }
  }
  if (root.empty()) throw Error("invalid root in registry key: " + name);
  const std::string rest = name.substr(first + 1);
  const auto last = rest.find_last_of('\\');
  RegistryName parsed;
  parsed.rootOnly = last == std::string::npos;
  parsed.key = parsed.rootOnly ? root : root + "\\" + rest.substr(0, last);
  parsed.value = parsed.rootOnly ? rest : rest.substr(last + 1);
  return parsed;
}

// What the key file cannot hold as a group or key name is refused rather
// than written as something else.
bool Storable(const std::string& name, bool group) {
  if (name.empty()) return false;
  if (!group && (name.front() == ' ' || name.back() == ' ' || name.find('=') != std::string::npos)) {
    return false;
  }
  return std::none_of(name.begin(), name.end(),
                      [](char c) { return c == '[' || c == ']' || c == '\n' || c == '\r' || c == '\0'; });
}

// The key's unnamed value, under the name .reg files give it.
std::string StoredValueName(const std::string& value) { return value.empty() ? "@" : value; }

class Registry {
 public:
  explicit Registry(std::string folder) : folder_(std::move(folder)), path_(folder_ + "/registry.ini") {}

  KeyFile Load() const {
    KeyFile file(g_key_file_new());
    GError* raw = nullptr;
    if (!g_key_file_load_from_file(file.get(), path_.c_str(), G_KEY_FILE_KEEP_COMMENTS, &raw)) {
      const std::unique_ptr<GError, GErrorFree> error(raw);
      // No file yet is an empty registry; one that cannot be read is not,
      // and is left alone rather than overwritten.
      if (!g_error_matches(error.get(), G_FILE_ERROR, G_FILE_ERROR_NOENT)) {
        throw Error("the registry cannot be read: " + path_ + ": " + error->message);
      }
    }
    return file;
  }

  // g_key_file_save_to_file writes a new file and renames it into place.
  void Save(GKeyFile* file) const {
    if (!MakeFolders(folder_)) throw Error("cannot create " + folder_);
    GError* raw = nullptr;
    if (!g_key_file_save_to_file(file, path_.c_str(), &raw)) {
      const std::unique_ptr<GError, GErrorFree> error(raw);
      throw Error("the registry cannot be written: " + path_ + ": " + error->message);
    }
  }

 private:
  std::string folder_;
  std::string path_;
};

// Registry names are compared without regard to case; what is stored keeps
// the case it was first written in.
std::optional<std::string> FindGroup(GKeyFile* file, const std::string& key) {
  gsize count = 0;
  const std::unique_ptr<gchar*, decltype(&g_strfreev)> groups(g_key_file_get_groups(file, &count),
                                                              &g_strfreev);
  for (gsize i = 0; i < count; ++i) {
    if (SameIgnoringCase(groups.get()[i], key)) return std::string(groups.get()[i]);
  }
  return std::nullopt;
}

std::optional<std::string> FindValue(GKeyFile* file, const std::string& group, const std::string& value) {
  gsize count = 0;
  const std::unique_ptr<gchar*, decltype(&g_strfreev)> keys(
      g_key_file_get_keys(file, group.c_str(), &count, nullptr), &g_strfreev);
  for (gsize i = 0; keys && i < count; ++i) {
    if (SameIgnoringCase(keys.get()[i], value)) return std::string(keys.get()[i]);
  }
  return std::nullopt;
}

bool HasSubkeys(GKeyFile* file, const std::string& key) {
  gsize count = 0;
  const std::unique_ptr<gchar*, decltype(&g_strfreev)> groups(g_key_file_get_groups(file, &count),
                                                              &g_strfreev);
  for (gsize i = 0; i < count; ++i) {
    if (StartsWithIgnoringCase(groups.get()[i], key + "\\")) return true;
  }
  return false;
}

// --- The script shell ----------------------------------------------------------------

enum class Folder { kNone, kDesktop, kPrograms, kAutostart, kFonts };

// The script shell's SpecialFolders collection in its own order, reached by
// name or position; a folder this desktop has no counterpart for is empty.
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

class LinuxScriptShell final : public ScriptShell {
 public:
  LinuxScriptShell(const PathMap& paths, const Places& places)
      : paths_(paths), places_(places), registry_(places.configHome + "/tarnhold") {}
  std::string SpecialFolder(const std::string& name) override;
  std::string SpecialFolder(int index) override;
  std::unique_ptr<Shortcut> CreateShortcut(const std::string& path) override;
  void RegWrite(const std::string& name, const std::string& value, const std::string& type) override;
  void RegDelete(const std::string& name) override;

 private:
  std::string WindowsFolder(Folder folder) const {
    const std::string native = NativeFolder(places_, folder);
    return native.empty() ? std::string() : paths_.FromNative(native);
  }

  const PathMap& paths_;
  const Places& places_;
  Registry registry_;
};

// Nothing is created: the collection only looks. An unknown name is no error
// to it: it answers an empty text.
std::string LinuxScriptShell::SpecialFolder(const std::string& name) {
  for (const NamedFolder& folder : kSpecialFolders) {
    if (SameIgnoringCase(name, folder.name)) return WindowsFolder(folder.folder);
  }
  return {};
}

std::string LinuxScriptShell::SpecialFolder(int index) {
  if (index < 0 || index >= static_cast<int>(kSpecialFolders.size())) {
    throw Error("subscript out of range: special folder " + std::to_string(index));
  }
  return WindowsFolder(kSpecialFolders.at(static_cast<std::size_t>(index)).folder);
}

std::unique_ptr<Shortcut> LinuxScriptShell::CreateShortcut(const std::string& path) {
  if (!EndsWithIgnoringCase(path, ".lnk")) throw Error("the shortcut pathname must end with .lnk: " + path);
  return std::make_unique<LinuxShortcut>(paths_, path);
}

void LinuxScriptShell::RegWrite(const std::string& name, const std::string& value, const std::string& type) {
  if (!SameIgnoringCase(type, "REG_SZ")) throw Error("registry type not supported: " + type);
  const RegistryName target = ParseRegistryName(name);
  const std::string valueName = StoredValueName(target.value);
  if (!Storable(target.key, true) || !Storable(valueName, false)) {
    throw Error("registry name not supported: " + name);
  }
  const KeyFile file = registry_.Load();
  const std::string group = FindGroup(file.get(), target.key).value_or(target.key);
  const std::string key = FindValue(file.get(), group, valueName).value_or(valueName);
  g_key_file_set_string(file.get(), group.c_str(), key.c_str(), value.c_str());
  registry_.Save(file.get());
}

// A key goes with its values but not with its subkeys, as RegDeleteKey
// refuses one that has any. What is not there cannot be deleted.
void LinuxScriptShell::RegDelete(const std::string& name) {
  const RegistryName target = ParseRegistryName(name);
  const KeyFile file = registry_.Load();
  if (target.value.empty()) {
    if (target.rootOnly) throw Error("a root key cannot be removed: " + name);
    if (HasSubkeys(file.get(), target.key)) throw Error("the key has subkeys: " + name);
    const std::optional<std::string> group = FindGroup(file.get(), target.key);
    if (!group) throw Error("registry key not found: " + name);
    g_key_file_remove_group(file.get(), group->c_str(), nullptr);
  } else {
    const std::optional<std::string> group = FindGroup(file.get(), target.key);
    const std::optional<std::string> key =
        group ? FindValue(file.get(), *group, target.value) : std::optional<std::string>();
    if (!key) throw Error("registry value not found: " + name);
    g_key_file_remove_key(file.get(), group->c_str(), key->c_str(), nullptr);
  }
  registry_.Save(file.get());
}

// --- Command lines -------------------------------------------------------------------

// Split as the C runtime splits a command line, enough for the forms below:
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

struct Command {
  enum class Kind { kDelete, kRemoveFolder, kClearBrowsingData } kind;
  std::string path;
};

Command Parse(const std::string& commandLine) {
  const std::vector<std::string> a = Arguments(commandLine);
  if (a.size() == 3 && (SameIgnoringCase(a[0], "RunDll32.exe") || SameIgnoringCase(a[0], "RunDll32")) &&
      SameIgnoringCase(a[1], "InetCpl.cpl,ClearMyTracksByProcess") && a[2] == "8") {
    return {Command::Kind::kClearBrowsingData, {}};
  }
  if (a.size() == 4 && (SameIgnoringCase(a[0], "cmd") || SameIgnoringCase(a[0], "cmd.exe")) &&
      SameIgnoringCase(a[1], "/c")) {
    if (SameIgnoringCase(a[2], "del")) return {Command::Kind::kDelete, a[3]};
    if (SameIgnoringCase(a[2], "rd")) return {Command::Kind::kRemoveFolder, a[3]};
  }
  throw Error("the system cannot find the program: " + commandLine);
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted.push_back(c);
    }
  }
  return quoted + "'";
}

// The runner reads its input to the end, which comes when the last holder of
// our end has gone: this process, since the end is close-on-exec and no child
// keeps it. Only then does it run what it was given, in order.
constexpr const char* kRunnerScript = "commands=$(cat) && eval \"$commands\"";

int StartRunner() {
  std::array<int, 2> ends{};
  // A socket rather than a pipe: a write to a runner that has died must fail,
  // not raise SIGPIPE in the GUI.
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends.data()) != 0) {
    throw Error(std::string("cannot start the command runner: ") + std::strerror(errno));
  }
  posix_spawn_file_actions_t actions{};
  posix_spawnattr_t attributes{};
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, ends[1], 0);
  ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  ::posix_spawn_file_actions_adddup2(&actions, 1, 2);
  // Nothing else of the GUI's (its display connection, its sockets) goes along.
  ::posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  // Out of the program's current folder, which a command may be removing.
  ::posix_spawn_file_actions_addchdir_np(&actions, "/");
  ::posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (const int signal : {SIGPIPE, SIGHUP, SIGINT, SIGTERM, SIGQUIT, SIGCHLD}) sigaddset(&defaults, signal);
  ::posix_spawnattr_setsigmask(&attributes, &none);
  ::posix_spawnattr_setsigdefault(&attributes, &defaults);
  // A session of its own: the terminal's hang-up or Ctrl+C that ends the
  // program must not end the runner with it.
  ::posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::string shell = "/bin/sh";
  std::string dashC = "-c";
  std::string script = kRunnerScript;
  std::string name = "tarnhold-after-end";
  std::array<char*, 5> argv = {shell.data(), dashC.data(), script.data(), name.data(), nullptr};
  std::string path = "PATH=/usr/bin:/bin";
  std::string locale = "LC_ALL=C";
  std::array<char*, 3> environment = {path.data(), locale.data(), nullptr};
  pid_t pid = 0;
  const int failed = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environment.data());
  ::posix_spawn_file_actions_destroy(&actions);
  ::posix_spawnattr_destroy(&attributes);
  ::close(ends[1]);
  if (failed != 0) {
    ::close(ends[0]);
    throw Error(std::string("cannot start the command runner: ") + std::strerror(failed));
  }
  return ends[0];
}

}  // namespace

// --- The shell -----------------------------------------------------------------------

std::unique_ptr<ScriptShell> LinuxShell::CreateScriptShell() {
  return std::make_unique<LinuxScriptShell>(paths_, places_);
}

// As the ANSI call leaves a caller's buffer of 255 characters: the path and
// NULs after it, or only NULs when the call fails; a path that fills the
// buffer comes back whole. A folder that is not there fails unless asked to
// be created.
std::string LinuxShell::SpecialFolderPath(std::uintptr_t /*owner*/, int csidl, bool create) {
  constexpr std::size_t kBuffer = 255;
  std::string nothing(kBuffer, '\0');
  std::string native;
  switch (csidl) {
    case 0:   // CSIDL_DESKTOP
    case 16:  // CSIDL_DESKTOPDIRECTORY
    case 25:  // CSIDL_COMMON_DESKTOPDIRECTORY
      native = NativeFolder(places_, Folder::kDesktop);
      break;
    case 2:   // CSIDL_PROGRAMS
    case 23:  // CSIDL_COMMON_PROGRAMS
      native = NativeFolder(places_, Folder::kPrograms);
      break;
    case 7:   // CSIDL_STARTUP
    case 24:  // CSIDL_COMMON_STARTUP
      native = NativeFolder(places_, Folder::kAutostart);
      break;
    case 20:  // CSIDL_FONTS
      native = NativeFolder(places_, Folder::kFonts);
      break;
    case 26:  // CSIDL_APPDATA
      native = places_.configHome;
      break;
    case 28:  // CSIDL_LOCAL_APPDATA
      native = places_.dataHome;
      break;
    default:
      return nothing;
  }
  if (!IsFolder(native) && !(create && MakeFolders(native))) return nothing;
  std::string buffer = paths_.FromNative(native);
  if (buffer.size() < kBuffer) buffer.resize(kBuffer, '\0');
  return buffer;
}

// What the launch answers is not looked at, as ShellExecute's answer is not:
// a file nothing opens is no error to the callers. Only "open" is known here,
// whatever verb is asked for.
void LinuxShell::Execute(std::uintptr_t /*owner*/, const std::string& /*verb*/, const std::string& file) {
  if (file.empty()) return;
  std::string uri;
  const std::unique_ptr<char, GFree> scheme(g_uri_parse_scheme(file.c_str()));
  // A one-letter scheme is a drive.
  if (scheme && std::strlen(scheme.get()) > 1) {
    uri = file;
  } else if (const std::optional<std::string> native = paths_.ToNative(file)) {
    const std::unique_ptr<char, GFree> fileUri(g_filename_to_uri(native->c_str(), nullptr, nullptr));
    if (!fileUri) return;
    uri = fileUri.get();
  } else {
    return;
  }
  GError* raw = nullptr;
  if (!g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &raw)) {
    const std::unique_ptr<GError, GErrorFree> ignored(raw);
  }
}

// Carried out at once: a file or folder that is not there (or cannot go) is
// as little an error as it is to cmd, which starts all the same.
void LinuxShell::StartProcess(const std::string& commandLine, int /*windowStyle*/) {
  const Command command = Parse(commandLine);
  switch (command.kind) {
    case Command::Kind::kClearBrowsingData:
      if (clearBrowsingData) clearBrowsingData();
      return;
    case Command::Kind::kDelete:
      if (const auto native = paths_.ToNative(command.path)) ::unlink(native->c_str());
      return;
    case Command::Kind::kRemoveFolder:
      if (const auto native = paths_.ToNative(command.path)) ::rmdir(native->c_str());
      return;
  }
}

// One runner for all such commands, so each acts after the ones before it.
// Its input is left open when this object goes: the commands wait for the
// process, which closes it by ending.
void LinuxShell::StartProcessAfterEnd(const std::string& commandLine, int /*windowStyle*/) {
  const Command command = Parse(commandLine);
  if (command.kind == Command::Kind::kClearBrowsingData) {
    throw Error("the browser's data cannot be cleared once the program has ended");
  }
  const std::optional<std::string> native = paths_.ToNative(command.path);
  if (!native) return;
  const std::string line =
      (command.kind == Command::Kind::kDelete ? "rm -f -- " : "rmdir -- ") + ShellQuoted(*native) + "\n";

  const std::lock_guard<std::mutex> hold(runnerLock_);
  if (runnerInput_ < 0) runnerInput_ = StartRunner();
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t sent = ::send(runnerInput_, line.data() + done, line.size() - done, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) throw Error(std::string("the command runner has gone: ") + std::strerror(errno));
    done += static_cast<std::size_t>(sent);
  }
}

}  // namespace tarnhold::platform::linux_backend
