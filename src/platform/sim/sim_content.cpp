// The simulated network, embedded resources and library loader.
#include <sstream>

#include "platform/sim/sim_platform.h"

namespace tarnhold::platform::sim {

namespace {
constexpr const char* kLibraryMagic = "SIMDLL\n";

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }
}  // namespace

std::vector<std::uint8_t> SimLibrary(const std::map<std::string, std::string>& traits) {
  std::string text = kLibraryMagic;
  for (const auto& [key, value] : traits) text.append(key).append("=").append(value).append("\n");
  return Bytes(text);
}

void SimPlatform::Serve(const std::string& url, std::vector<std::uint8_t> body, int status) {
  const std::size_t size = body.size();
  served_[url] = Served{status, std::move(body), size};
}

void SimPlatform::ServeCut(const std::string& url, std::vector<std::uint8_t> body, std::size_t sent) {
  served_[url] = Served{200, std::move(body), sent};
}

std::vector<std::uint8_t> SimPlatform::FileBytes(const std::string& path) const {
  const auto it = entries_.find(Key(path));
  return it == entries_.end() ? std::vector<std::uint8_t>{} : it->second.bytes;
}

// As the system's download call: whatever body arrives is written, an error
// page for an error status, the first part of a body cut short.
DownloadResult SimPlatform::Fetch(const std::string& url, const std::string& path) {
  Record("Download.Fetch", url + " -> " + path);
  if (MillisecondsLeft() == 0) throw Error("no time is left for downloads: " + url);
  const auto it = served_.find(url);
  if (it == served_.end()) throw Error("the server cannot be reached");
  const Served& answer = it->second;
  std::vector<std::uint8_t> body = answer.status == 200 ? answer.body : Bytes("<html>error</html>");
  const auto announced = static_cast<std::int64_t>(body.size());
  if (answer.status == 200) body.resize(std::min(answer.sent, body.size()));
  const std::string key = Key(path);
  const std::string parent = ParentKey(key);
  if (parent.empty() || !KeyExists(parent)) throw Error("path not found");
  const auto target = entries_.find(key);
  if (target != entries_.end() && (target->second.folder || target->second.inUse)) {
    throw Error("permission denied");
  }
  Entry& entry = entries_[key];
  if (entry.path.empty()) entry.path = path;
  entry.bytes = body;
  return DownloadResult{answer.status, body.size(), announced};
}

std::vector<std::uint8_t> SimPlatform::Load(const std::string& type, int id) {
  Record("Resource.Load", type + " " + std::to_string(id));
  throw Error("resource not found");  // the executable carries none of these
}

ModuleHandle SimPlatform::Load(const std::string& path) {
  Record("Library.Load", path);
  const auto it = entries_.find(Key(path));
  if (it == entries_.end() || it->second.folder) return 0;
  const std::string text(it->second.bytes.begin(), it->second.bytes.end());
  if (text.rfind(kLibraryMagic, 0) != 0) return 0;  // not a library this system can load
  Module module;
  std::istringstream lines(text.substr(std::string(kLibraryMagic).size()));
  for (std::string line; std::getline(lines, line);) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) module.traits[line.substr(0, eq)] = line.substr(eq + 1);
  }
  const ModuleHandle handle = nextKernelHandle_ += 4;
  modules_[handle] = module;
  return handle;
}

ProcAddress SimPlatform::Export(ModuleHandle module, const std::string& name) {
  Record("Library.Export", name);
  const auto it = modules_.find(module);
  if (it == modules_.end()) return 0;
  const auto exported = it->second.traits.find("export");
  if (exported == it->second.traits.end() || exported->second != name) return 0;
  return module + 1;  // the entry point lies inside its module
}

ThreadHandle SimPlatform::StartThread(ProcAddress start) {
  Record("Library.StartThread", "");
  const auto it = modules_.find(start - 1);
  if (it == modules_.end()) return 0;
  const ThreadHandle thread = nextKernelHandle_ += 4;
  threads_[thread] = it->second;
  return thread;
}

std::uint32_t SimPlatform::Wait(ThreadHandle thread, std::uint32_t milliseconds) {
  Record("Library.Wait", std::to_string(milliseconds));
  const auto it = threads_.find(thread);
  if (it == threads_.end()) return kWaitFailed;
  const auto& traits = it->second.traits;
  const auto what = traits.find("register");
  const std::string outcome = what == traits.end() ? "finish" : what->second;
  if (outcome == "hang") return kWaitTimeout;
  if (outcome == "finish") {
    const auto progId = traits.find("progid");
    const auto version = traits.find("version");
    if (progId != traits.end())
      RegisterProgId(progId->second, version == traits.end() ? "" : version->second);
  }
  return kWaitObject0;
}

void SimPlatform::Close(ThreadHandle handle) {
  Record("Library.Close", "");
  threads_.erase(handle);
}

void SimPlatform::Free(ModuleHandle module) {
  Record("Library.Free", "");
  modules_.erase(module);
}

}  // namespace tarnhold::platform::sim
