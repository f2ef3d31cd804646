#include "platform/sim/sim_platform.h"

#include <glib.h>

#include <algorithm>
#include <utility>

namespace tarnhold::platform::sim {

namespace {
// The platform whose handler is running: the failure sink is one for the
// process, and a test may hold more than one platform.
SimPlatform* g_delivering = nullptr;

void RecordHandlerFailure(std::string_view handler, std::string_view what) {
  if (g_delivering != nullptr) {
    g_delivering->Call("Handler.Failed", std::string(handler).append(": ").append(what));
  }
}
}  // namespace

SimPlatform::SimPlatform() {
  context_.windows = this;
  context_.environment = this;
  context_.files = this;
  context_.program = this;
  context_.graphics = this;
  context_.shell = this;
  context_.codePage = this;
  context_.downloads = this;
  context_.resources = this;
  context_.libraries = this;
  AddDrive('C', SimDrive{});
  SetEnvironmentVariable("SystemDrive", "C:");
  SetExePath(exePath_);
  // A user's desktop and Start menu, as every Windows machine has them.
  for (const auto& [name, path] : specialByName_) AddFolder(path);
}

SimPlatform::~SimPlatform() = default;

void SimPlatform::Record(const std::string& op, const std::string& detail) const {
  std::string entry = op;
  if (!detail.empty()) entry.append(" ").append(detail);
  trace_.push_back(std::move(entry));
  for (auto it = failures_.begin(); it != failures_.end(); ++it) {
    if (it->op != op || (it->detail != "*" && it->detail != detail)) continue;
    if (it->remaining > 0 && --it->remaining == 0) failures_.erase(it);
    throw Error(std::string("simulated failure: ").append(op).append(" ").append(detail));
  }
}

void SimPlatform::Call(const std::string& op, const std::string& detail) { Record(op, detail); }

// Through the backends' own dispatch, so that what it reports is what the
// trace shows. The program's end is no failure: it goes on to the test.
void SimPlatform::Deliver(const HandlerName& name, const std::function<void()>& handler) {
  SetHandlerFailureSink(&RecordHandlerFailure);
  SimPlatform* const outer = std::exchange(g_delivering, this);
  bool ended = false;
  Dispatch(name, [&] {
    try {
      handler();
    } catch (const ProgramEnded&) {
      ended = true;
    }
  });
  g_delivering = outer;
  if (ended) throw ProgramEnded{};
}

std::vector<std::string> SimPlatform::TraceOf(const std::vector<std::string>& prefixes) const {
  std::vector<std::string> out;
  for (const std::string& entry : trace_) {
    for (const std::string& prefix : prefixes) {
      if (entry.rfind(prefix, 0) == 0) {
        out.push_back(entry);
        break;
      }
    }
  }
  return out;
}

void SimPlatform::Fail(const std::string& op, const std::string& detail, int times) {
  failures_.push_back(Failure{op, detail, times});
}

// --- The machine ------------------------------------------------------------

void SimPlatform::SetScreenPixels(std::int32_t width, std::int32_t height) {
  screenWidth_ = width;
  screenHeight_ = height;
}

void SimPlatform::SetTwipsPerPixel(double x, double y) {
  tppX_ = x;
  tppY_ = y;
}

namespace {
std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// Windows' wildcard rule for one path component: * any run, ? one character.
bool MatchesPlain(const char* pattern, const char* text) {
  if (*pattern == '\0') return *text == '\0';
  if (*pattern == '*') {
    return MatchesPlain(pattern + 1, text) || (*text != '\0' && MatchesPlain(pattern, text + 1));
  }
  if (*text == '\0') return false;
  return (*pattern == '?' || *pattern == *text) && MatchesPlain(pattern + 1, text + 1);
}

// As the file system matches: a trailing ".*" also matches a name without an
// extension, so "*.*" takes every file.
bool Matches(const std::string& pattern, const std::string& name) {
  if (MatchesPlain(pattern.c_str(), name.c_str())) return true;
  const bool anyExtension = pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0;
  return anyExtension && name.find('.') == std::string::npos &&
         MatchesPlain(pattern.substr(0, pattern.size() - 2).c_str(), name.c_str());
}
}  // namespace

void SimPlatform::SetEnvironmentVariable(const std::string& name, const std::string& value) {
  environment_[Upper(name)] = value;
}

void SimPlatform::UnsetEnvironmentVariable(const std::string& name) { environment_.erase(Upper(name)); }

void SimPlatform::AddDrive(char letter, SimDrive drive) {
  drives_[static_cast<char>(Upper(std::string(1, letter))[0])] = drive;
}

void SimPlatform::RemoveAllDrives() { drives_.clear(); }

// The running executable cannot be deleted or overwritten, as on Windows.
void SimPlatform::SetExePath(const std::string& path) {
  if (const auto before = entries_.find(Key(exePath_)); before != entries_.end())
    before->second.inUse = false;
  exePath_ = path;
  AddFolder(path.substr(0, path.find_last_of('\\')));
  Entry& entry = entries_[Key(path)];
  entry.path = path;
  entry.folder = false;
  entry.inUse = true;
}

// --- The file system --------------------------------------------------------

// "c:/A\\\\b\\" and "C:\a\B" name the same entry: one separator, one case, no
// trailing backslash except at a drive root. "X:" stands for its root.
std::string SimPlatform::Key(const std::string& path) {
  std::string key;
  for (char c : path) {
    if (c == '/') c = '\\';
    if (c == '\\' && !key.empty() && key.back() == '\\') continue;
    key.push_back(c);
  }
  key = Upper(key);
  if (key.size() == 2 && key[1] == ':') key.push_back('\\');
  if (key.size() > 3 && key.back() == '\\') key.pop_back();
  return key;
}

std::string SimPlatform::ParentKey(const std::string& key) {
  const auto slash = key.find_last_of('\\');
  if (slash == std::string::npos || key.size() <= 3) return {};
  if (slash == 2) return key.substr(0, 3);
  return key.substr(0, slash);
}

bool SimPlatform::DriveReady(char letter) const {
  const auto it = drives_.find(letter);
  return it != drives_.end() && it->second.ready;
}

bool SimPlatform::KeyExists(const std::string& key) const {
  if (key.size() < 3 || key[1] != ':' || key[2] != '\\') return false;  // no relative paths here
  if (!DriveReady(key[0])) return false;
  return key.size() == 3 || entries_.contains(key);
}

void SimPlatform::AddFolder(const std::string& path) {
  std::string key = Key(path);
  std::vector<std::string> chain;
  while (key.size() > 3) {
    chain.push_back(key);
    key = ParentKey(key);
  }
  std::reverse(chain.begin(), chain.end());
  for (const std::string& folder : chain) {
    Entry& entry = entries_[folder];
    if (entry.path.empty()) entry.path = folder;
    entry.folder = true;
  }
  entries_[Key(path)].path = path;
}

void SimPlatform::AddFile(const std::string& path, std::vector<std::uint8_t> bytes) {
  const std::string parent = ParentKey(Key(path));
  if (parent.size() > 3) AddFolder(parent);
  Entry& entry = entries_[Key(path)];
  entry.path = path;
  entry.folder = false;
  entry.bytes = std::move(bytes);
}

void SimPlatform::SetInUse(const std::string& path, bool inUse) { entries_.at(Key(path)).inUse = inUse; }

bool SimPlatform::HasFile(const std::string& path) const {
  const auto it = entries_.find(Key(path));
  return it != entries_.end() && !it->second.folder;
}

bool SimPlatform::HasFolder(const std::string& path) const {
  const std::string key = Key(path);
  if (key.size() == 3) return DriveReady(key[0]);
  const auto it = entries_.find(key);
  return it != entries_.end() && it->second.folder;
}

std::vector<std::string> SimPlatform::Listing() const {
  std::vector<std::string> out;
  for (const auto& [key, entry] : entries_) out.push_back(entry.folder ? entry.path + "\\" : entry.path);
  return out;
}

bool SimPlatform::Exists(const std::string& path) const {
  Record("Files.Exists", path);
  return KeyExists(Key(path));
}

void SimPlatform::CreateFolder(const std::string& path) {
  Record("Files.CreateFolder", path);
  const std::string key = Key(path);
  if (KeyExists(key)) throw Error("path/file access error: exists");
  const std::string parent = ParentKey(key);
  if (parent.empty() || !KeyExists(parent) || !HasFolder(parent)) throw Error("path not found");
  Entry& entry = entries_[key];
  entry.path = path;
  entry.folder = true;
}

void SimPlatform::Copy(const std::string& from, const std::string& to) {
  Record("Files.Copy", from + " -> " + to);
  const auto source = entries_.find(Key(from));
  if (source == entries_.end() || source->second.folder) throw Error("file not found");
  const std::string key = Key(to);
  const std::string parent = ParentKey(key);
  if (parent.empty() || !KeyExists(parent)) throw Error("path not found");
  auto target = entries_.find(key);
  if (target != entries_.end() && (target->second.folder || target->second.inUse)) {
    throw Error("permission denied");
  }
  Entry copy = source->second;
  copy.path = target != entries_.end() ? target->second.path : to;
  copy.inUse = false;
  entries_[key] = std::move(copy);
}

void SimPlatform::DeleteMatching(const std::string& pattern) {
  Record("Files.DeleteMatching", pattern);
  const std::string key = Key(pattern);
  const std::string folder = ParentKey(key);
  if (folder.empty() || !KeyExists(folder)) throw Error("path not found");
  const std::string name = key.substr(key.find_last_of('\\') + 1);
  std::vector<std::string> doomed;
  for (const auto& [entryKey, entry] : entries_) {
    if (entry.folder || ParentKey(entryKey) != folder) continue;
    if (Matches(name, entryKey.substr(folder.size() + (folder.size() == 3 ? 0 : 1)))) {
      doomed.push_back(entryKey);
    }
  }
  if (doomed.empty()) throw Error("file not found");
  bool denied = false;
  for (const std::string& doomedKey : doomed) {
    if (entries_.at(doomedKey).inUse) {
      denied = true;
      continue;
    }
    entries_.erase(doomedKey);
  }
  if (denied) throw Error("permission denied");
}

void SimPlatform::RemoveFolder(const std::string& path) {
  Record("Files.RemoveFolder", path);
  const std::string key = Key(path);
  const auto it = entries_.find(key);
  if (it == entries_.end() || !it->second.folder) throw Error("path not found");
  for (const auto& [entryKey, entry] : entries_) {
    if (ParentKey(entryKey) == key) throw Error("path/file access error: not empty");
  }
  entries_.erase(it);
}

void SimPlatform::WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  Record("Files.WriteFile", path);
  const std::string key = Key(path);
  const std::string parent = ParentKey(key);
  if (parent.empty() || !KeyExists(parent)) throw Error("path not found");
  auto it = entries_.find(key);
  if (it != entries_.end() && (it->second.folder || it->second.inUse)) throw Error("permission denied");
  Entry& entry = entries_[key];
  if (entry.path.empty()) entry.path = path;
  entry.bytes = bytes;
}

void SimPlatform::Delete(const std::string& path) {
  Record("Files.Delete", path);
  const auto it = entries_.find(Key(path));
  if (it == entries_.end() || it->second.folder) throw Error("file not found");
  if (it->second.inUse) throw Error("permission denied");
  entries_.erase(it);
}

void SimPlatform::Move(const std::string& from, const std::string& to) {
  Record("Files.Move", from + " -> " + to);
  const auto source = entries_.find(Key(from));
  if (source == entries_.end() || source->second.folder) throw Error("file not found");
  const std::string key = Key(to);
  const std::string parent = ParentKey(key);
  if (parent.empty() || !KeyExists(parent)) throw Error("path not found");
  const auto target = entries_.find(key);
  if (target != entries_.end() && (target->second.folder || target->second.inUse)) {
    throw Error("permission denied");
  }
  Entry moved = std::move(source->second);
  moved.path = to;
  entries_.erase(source);
  entries_[key] = std::move(moved);
}

std::string SimPlatform::Sha256(const std::string& path) const {
  Record("Files.Sha256", path);
  const auto it = entries_.find(Key(path));
  if (it == entries_.end() || it->second.folder) throw Error("file not found");
  gchar* digest =
      g_compute_checksum_for_data(G_CHECKSUM_SHA256, it->second.bytes.data(), it->second.bytes.size());
  std::string text(digest);
  g_free(digest);
  return text;
}

// --- Environment and drives --------------------------------------------------

std::string SimPlatform::Variable(const std::string& name) const {
  Record("Env.Variable", name);
  const auto it = environment_.find(Upper(name));
  return it == environment_.end() ? std::string() : it->second;
}

std::vector<FsoDrive> SimPlatform::FsoDrives() const {
  Record("Env.FsoDrives", "");
  std::vector<FsoDrive> out;
  for (const auto& [letter, drive] : drives_) {
    int type = kFsoDriveUnknown;
    switch (drive.type) {
      case kDriveRemovable:
        type = kFsoDriveRemovable;
        break;
      case kDriveFixed:
        type = kFsoDriveFixed;
        break;
      case kDriveRemote:
        type = kFsoDriveNetwork;
        break;
      case kDriveCdRom:
        type = kFsoDriveCdRom;
        break;
      case kDriveRamDisk:
        type = kFsoDriveRamDisk;
        break;
      default:
        break;
    }
    out.emplace_back(FsoDrive{type, std::string(1, letter) + ":"});
  }
  return out;
}

int SimPlatform::DriveType(const std::string& root) const {
  Record("Env.DriveType", root);
  const std::string key = Upper(root);
  const bool isRoot = (key.size() == 2 || (key.size() == 3 && key[2] == '\\')) && key[1] == ':';
  if (!isRoot) return kDriveNoRootDir;
  const auto it = drives_.find(key[0]);
  return it == drives_.end() ? kDriveNoRootDir : it->second.type;
}

// --- The program ------------------------------------------------------------

std::string SimPlatform::Folder() const {
  Record("Program.Folder", "");
  const auto slash = exePath_.find_last_of('\\');
  std::string folder = exePath_.substr(0, slash);
  if (folder.size() == 2 && folder[1] == ':') folder.push_back('\\');
  return folder;
}

std::string SimPlatform::ExeName() const {
  Record("Program.ExeName", "");
  std::string name = exePath_.substr(exePath_.find_last_of('\\') + 1);
  const auto dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string SimPlatform::Path() const {
  Record("Program.Path", "");
  return exePath_;
}

std::uint32_t SimPlatform::ProcessId() const {
  Record("Program.ProcessId", "");
  return kProcessId;
}

Version SimPlatform::FileVersion() const {
  Record("Program.FileVersion", "");
  return Version{1, 0, 0};
}

std::string SimPlatform::CommandLine() const {
  Record("Program.CommandLine", "");
  return commandLine_;
}

void SimPlatform::End() {
  trace_.emplace_back("Program.End");
  throw ProgramEnded{};
}

// --- GDI+ --------------------------------------------------------------------

int SimPlatform::GdiplusStartup(std::uint32_t& token) {
  Record("Gdiplus.Startup", "");
  if (gdiplusStatus_ == 0) token = nextToken_++;
  return gdiplusStatus_;
}

void SimPlatform::GdiplusShutdown(std::uint32_t token) { Record("Gdiplus.Shutdown", std::to_string(token)); }

}  // namespace tarnhold::platform::sim
