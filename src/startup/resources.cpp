// The data folder's files and the Flash check.
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "constants.h"
#include "mod_main.h"
#include "program.h"
#include "startup/form1.h"

namespace tarnhold {

using platform::ResumeNext;

namespace {

constexpr const char* kFlashProgId = "ShockwaveFlash.ShockwaveFlash";
constexpr const char* kRequiredFlashVersion = "11.9.0";

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  std::string::size_type start = 0;
  for (;;) {
    const auto end = text.find(separator, start);
    pieces.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return pieces;
    start = end + 1;
  }
}

// The runtime's conversion of text to a number, rounded down: surrounding
// blanks are allowed, anything else that is not a number raises.
double Whole(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  const auto last = text.find_last_not_of(" \t");
  if (first == std::string::npos) throw platform::Error("type mismatch");
  const std::string number = text.substr(first, last - first + 1);
  char* end = nullptr;
  const double value = std::strtod(number.c_str(), &end);
  if (end != number.c_str() + number.size() || !std::isfinite(value)) throw platform::Error("type mismatch");
  return std::floor(value);
}

bool Exists(platform::Context& ctx, const std::string& path) {
  bool exists = false;
  ResumeNext([&] { exists = ctx.FileSystem().Exists(path); });
  return exists;
}

// The system's download call stores whatever arrives (an error page, half a
// body) and calls it success, and a file once there is never replaced. So the
// download goes to a temporary name beside the target and is moved into place
// only when the server answered 200 with the whole body; otherwise the name
// stays missing and the next start tries again. The temporary name is this
// process's own: two clients started at once download side by side, and the
// file moved into place is always one whole answer.
//
// With a digest to match, a whole body that does not match it is treated as
// a failed download: never moved into place, so never loaded.
void StoreDownload(platform::Context& ctx, const std::string& url, const std::string& target,
                   const std::string& sha256) {
  std::uint32_t process = 0;
  ResumeNext([&] { process = ctx.Program().ProcessId(); });
  const std::string partial = target + "." + std::to_string(process) + ".download";
  platform::Files& files = ctx.FileSystem();
  if (Exists(ctx, partial)) ResumeNext([&] { files.Delete(partial); });  // a killed start's leftover
  bool whole = false;
  ResumeNext([&] {
    const platform::DownloadResult result = ctx.Download().Fetch(url, partial);
    whole = result.status == 200 &&
            (result.contentLength < 0 || result.received == static_cast<std::uint64_t>(result.contentLength));
  });
  if (whole && !sha256.empty()) {
    std::string digest;
    ResumeNext([&] { digest = files.Sha256(partial); });
    whole = digest == sha256;
  }
  if (whole) {
    try {
      files.Move(partial, target);
      return;
    } catch (const platform::Error&) {
    }
  }
  if (Exists(ctx, partial)) ResumeNext([&] { files.Delete(partial); });
}

}  // namespace

// The start-up's downloads share one deadline, so that the login screen
// shows within 75 s of the start whatever the content server does.
constexpr std::chrono::seconds kDownloadsWithin{60};

void Form1::SetupClient() {
  platform::Downloads& downloads = ctx_.Download();
  downloads.SetDeadline(std::chrono::steady_clock::now() + kDownloadsWithin);
  struct Clear {
    platform::Downloads& downloads;
    ~Clear() { downloads.SetDeadline(std::nullopt); }
  } clear{downloads};
  ResumeNext([&] { EnsureLocalFile("BG", "\\bg.png", "/microClient/bg.png"); });
  ResumeNext([&] { EnsureLocalFile("KESTRUNE", "\\Kestrune.lib", "/bin/Kestrune.swf"); });
  // Exact and case-sensitive: the installed copy in the data folder skips it.
  ResumeNext([&] {
    if (ctx_.Program().Folder() != program_.DataFolder) RegisterInstall();
  });

  // The Flash check, with a test control that lives only for the check.
  platform::ActiveXControl* flash = nullptr;
  ResumeNext([&] { flash = Window().AddActiveX(kFlashProgId, "flash"); });
  if (flash == nullptr) {
    ResumeNext([&] { InstallFlash(); });
    return;
  }
  // Anything that keeps the version from being read counts as too old.
  bool tooOld = true;
  ResumeNext([&] {
    const platform::Variant version = flash->Invoke("GetVariable", {std::string("$version")});
    const auto* text = std::get_if<std::string>(&version);
    if (text == nullptr) throw platform::Error("type mismatch");
    tooOld = FlashTooOld(*text);
  });
  if (tooOld) ResumeNext([&] { InstallFlash(); });
  ResumeNext([&] { Window().RemoveActiveX("flash"); });
}

// "WIN 11,9,900,117": the second piece at " ", its first two fields at ","
// against 11.9, numerically. All four numbers are read before the decision.
bool Form1::FlashTooOld(const std::string& versionText) {
  const std::vector<std::string> pieces = Split(versionText, ' ');
  if (pieces.size() < 2) throw platform::Error("subscript out of range");
  const std::vector<std::string> current = Split(pieces[1], ',');
  const std::vector<std::string> required = Split(kRequiredFlashVersion, '.');
  if (current.size() < 2) throw platform::Error("subscript out of range");
  const double c0 = Whole(current[0]);
  const double c1 = Whole(current[1]);
  const double r0 = Whole(required[0]);
  const double r1 = Whole(required[1]);
  return c0 < r0 || (c0 == r0 && c1 < r1);
}

void Form1::EnsureLocalFile(const std::string& resourceType, const std::string& localName,
                            const std::string& serverPath, const std::string& sha256) {
  const std::string path = program_.DataFolder + localName;
  if (!Exists(ctx_, path)) ResumeNext([&] { modMain::SaveResource(program_, 100, resourceType, path); });
  // A file that exists is never replaced, whatever its size, age or content.
  if (!Exists(ctx_, path))
    ResumeNext([&] { StoreDownload(ctx_, ContentBaseUrl + serverPath, path, sha256); });
}

void Form1::InstallFlash() {
  ResumeNext(
      [&] { EnsureLocalFile("FLASH", "\\flash32.ocx", "/microClient/flash32.ocx", program_.FlashSha256); });
  ResumeNext([&] { modMain::RegisterServer(program_, program_.DataFolder + "\\flash32.ocx"); });
}

namespace modMain {

void SaveResource(Program& program, int id, const std::string& type, const std::string& path) {
  const std::vector<std::uint8_t> bytes = program.ctx.Resource().Load(type, id);
  program.ctx.FileSystem().WriteFile(path, bytes);
}

// No error handling of its own: a failure ends it and goes to the caller.
void RegisterServer(Program& program, const std::string& path) {
  platform::Libraries& libraries = program.ctx.Library();
  const platform::ModuleHandle module = libraries.Load(path);
  if (module == 0) return;
  const platform::ProcAddress entry = libraries.Export(module, "DllRegisterServer");
  if (entry == 0) {
    libraries.Free(module);
    return;
  }
  const platform::ThreadHandle worker = libraries.StartThread(entry);
  if (worker == 0) {
    libraries.Free(module);
    return;
  }
  const std::uint32_t waited = libraries.Wait(worker, 10000);
  libraries.Close(worker);
  // The result code of DllRegisterServer is not examined. A worker that
  // outlasted the wait may still be running in the library, so it stays
  // loaded for the rest of the process.
  if (waited == platform::kWaitObject0) libraries.Free(module);
}

}  // namespace modMain
}  // namespace tarnhold
