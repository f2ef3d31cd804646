#include "platform/linux/linux_system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/ansi_iconv.h"
#include "platform/error.h"

// The process's environment block, for names that differ in case only.
extern "C" char** environ;  // NOLINT(readability-redundant-declaration): POSIX declares it nowhere

namespace tarnhold::platform::linux_backend {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(const char* text, std::size_t length, const std::string& other) {
  if (length != other.size()) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (LowerAscii(text[i]) != LowerAscii(other[i])) return false;
  }
  return true;
}

bool SameIgnoringCase(const std::string& text, const std::string& other) {
  return SameIgnoringCase(text.data(), text.size(), other);
}

std::string ExecutablePath() {
  std::array<char, 4096> buffer{};
  const ssize_t got = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (got <= 0) return {};
  return {buffer.data(), static_cast<std::size_t>(got)};
}

}  // namespace

// --- Environment and drives --------------------------------------------------

std::string LinuxEnvironment::Variable(const std::string& name) const {
  if (SameIgnoringCase(name, "SystemDrive")) return "C:";
  if (name.empty() || name.find('=') != std::string::npos) return {};
  if (const char* value = std::getenv(name.c_str())) return value;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const char* equals = std::strchr(*entry, '=');
    if (equals != nullptr && SameIgnoringCase(*entry, static_cast<std::size_t>(equals - *entry), name)) {
      return equals + 1;
    }
  }
  return {};
}

std::vector<FsoDrive> LinuxEnvironment::FsoDrives() const { return {FsoDrive{kFsoDriveFixed, "C:"}}; }

int LinuxEnvironment::DriveType(const std::string& root) const {
  const bool dataDrive = (root.size() == 2 || (root.size() == 3 && root[2] == '\\')) &&
                         LowerAscii(root[0]) == 'c' && root[1] == ':';
  return dataDrive ? kDriveFixed : kDriveNoRootDir;
}

// --- The program -----------------------------------------------------------------

LinuxProgramInfo::LinuxProgramInfo(const PathMap& paths, int argc, char** argv)
    : paths_(paths), executable_(ExecutablePath()) {
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine_ += ' ';
    commandLine_ += argv[i];  // NOLINT(cppcoreguidelines-pro-bounds-pointer-arithmetic)
  }
}

std::string LinuxProgramInfo::Folder() const {
  if (executable_.empty()) throw Error("the program's own path is not known");
  const auto slash = executable_.find_last_of('/');
  return paths_.FromNative(slash == 0 ? "/" : executable_.substr(0, slash));
}

std::string LinuxProgramInfo::ExeName() const {
  if (executable_.empty()) throw Error("the program's own path is not known");
  std::string name = executable_.substr(executable_.find_last_of('/') + 1);
  if (name.size() > 4 && SameIgnoringCase(name.substr(name.size() - 4), ".exe")) name.resize(name.size() - 4);
  return name;
}

Version LinuxProgramInfo::FileVersion() const {
  return Version{TARNHOLD_VERSION_MAJOR, TARNHOLD_VERSION_MINOR, TARNHOLD_VERSION_PATCH};
}

std::string LinuxProgramInfo::CommandLine() const { return commandLine_; }

// What stdio still holds is written; no atexit handler or destructor runs,
// as none of a window's handlers would after ExitProcess.
void LinuxProgramInfo::End() {
  try {
    if (atEnd) atEnd();
  } catch (...) {
    // The program ends all the same.
  }
  std::fflush(nullptr);
  ::_exit(0);
}

// --- Code page ---------------------------------------------------------------------

LinuxCodePage::LinuxCodePage() : name_("WINDOWS-1252") {
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || value[0] == '\0') continue;
    if (std::strncmp(value, "zh", 2) == 0) name_ = "CP936";
    break;
  }
}

unsigned LinuxCodePage::AnsiCode(char16_t unit) const { return AnsiCodeThroughIconv(name_.c_str(), unit); }

// --- Resources and libraries ---------------------------------------------------------

std::vector<std::uint8_t> LinuxResources::Load(const std::string& /*type*/, int /*id*/) {
  throw Error("resource not found");
}

ModuleHandle LinuxLibraries::Load(const std::string& /*path*/) { return 0; }
ProcAddress LinuxLibraries::Export(ModuleHandle /*module*/, const std::string& /*name*/) { return 0; }
ThreadHandle LinuxLibraries::StartThread(ProcAddress /*start*/) { return 0; }
std::uint32_t LinuxLibraries::Wait(ThreadHandle /*thread*/, std::uint32_t /*milliseconds*/) {
  return kWaitFailed;
}
void LinuxLibraries::Close(ThreadHandle /*handle*/) {}
void LinuxLibraries::Free(ModuleHandle /*module*/) {}

// --- The system --------------------------------------------------------------------

LinuxSystem::LinuxSystem(int argc, char** argv) : LinuxSystem(argc, argv, Places::FromEnvironment()) {}

LinuxSystem::LinuxSystem(int argc, char** argv, Places places)
    : places_(std::move(places)),
      paths_(places_.dataHome),
      files_(paths_),
      program_(paths_, argc, argv),
      shell_(paths_, places_),
      downloads_(paths_) {
  // The program group goes into the XDG applications folder, which a fresh
  // account may not have yet; the install looks it up without creating it.
  ::mkdir((paths_.DataHome() + "/applications").c_str(), 0700);
}

void LinuxSystem::Fill(Context& context) {
  context.environment = &environment_;
  context.files = &files_;
  context.program = &program_;
  context.shell = &shell_;
  context.downloads = &downloads_;
  context.resources = &resources_;
  context.libraries = &libraries_;
  context.codePage = &codePage_;
}

}  // namespace tarnhold::platform::linux_backend
