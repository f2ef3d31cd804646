#include "platform/win32/win32_platform.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <vector>

namespace tarnhold::platform::win32 {

namespace {

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD got = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (got == 0) RaiseLastError("GetModuleFileName");
    if (got < path.size()) {
      path.resize(got);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring FileNameOf(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }

int FsoType(UINT driveType) {
  switch (driveType) {
    case DRIVE_REMOVABLE:
      return kFsoDriveRemovable;
    case DRIVE_FIXED:
      return kFsoDriveFixed;
    case DRIVE_REMOTE:
      return kFsoDriveNetwork;
    case DRIVE_CDROM:
      return kFsoDriveCdRom;
    case DRIVE_RAMDISK:
      return kFsoDriveRamDisk;
    default:
      return kFsoDriveUnknown;
  }
}

}  // namespace

// --- Environment and drives --------------------------------------------------

std::string Win32Environment::Variable(const std::string& name) const {
  const std::wstring wide = Wide(name);
  std::wstring value(64, L'\0');
  for (;;) {
    const DWORD got = ::GetEnvironmentVariableW(wide.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (got == 0) return {};
    if (got < value.size()) {
      value.resize(got);
      return Utf8(value);
    }
    value.resize(got);
  }
}

// Native rather than through the scripting object: it may be switched off, and
// Wine's lacks the drive's path. Same order (by letter), same numbering.
std::vector<FsoDrive> Win32Environment::FsoDrives() const {
  std::vector<FsoDrive> drives;
  const DWORD mask = ::GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if ((mask & (1u << i)) == 0) continue;
    const wchar_t root[] = {static_cast<wchar_t>(L'A' + i), L':', L'\\', L'\0'};
    drives.push_back(
        FsoDrive{FsoType(::GetDriveTypeW(root)), std::string(1, static_cast<char>('A' + i)) + ":"});
  }
  return drives;
}

int Win32Environment::DriveType(const std::string& root) const {
  return static_cast<int>(::GetDriveTypeW(Wide(root).c_str()));
}

// --- Files ---------------------------------------------------------------------

bool Win32Files::Exists(const std::string& path) const {
  return ::PathFileExistsW(Wide(path).c_str()) != FALSE;
}

void Win32Files::CreateFolder(const std::string& path) {
  if (!::CreateDirectoryW(Wide(path).c_str(), nullptr)) RaiseLastError("CreateDirectory");
}

void Win32Files::Copy(const std::string& from, const std::string& to) {
  if (!::CopyFileW(Wide(from).c_str(), Wide(to).c_str(), FALSE)) RaiseLastError("CopyFile");
}

void Win32Files::DeleteMatching(const std::string& pattern) {
  const std::wstring wide = Wide(pattern);
  const auto slash = wide.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? std::wstring() : wide.substr(0, slash + 1);
  WIN32_FIND_DATAW found{};
  UniqueFind find(::FindFirstFileW(wide.c_str(), &found));
  if (!find) RaiseLastError("FindFirstFile");
  bool matched = false;
  bool failed = false;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    matched = true;
    if (!::DeleteFileW((folder + found.cFileName).c_str())) failed = true;
  } while (::FindNextFileW(find.get(), &found));
  if (!matched) throw Error("file not found");
  if (failed) throw Error("permission denied");
}

void Win32Files::RemoveFolder(const std::string& path) {
  if (!::RemoveDirectoryW(Wide(path).c_str())) RaiseLastError("RemoveDirectory");
}

void Win32Files::WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  UniqueHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) RaiseLastError("CreateFile");
  DWORD written = 0;
  if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size()) {
    RaiseLastError("WriteFile");
  }
}

void Win32Files::Delete(const std::string& path) {
  if (!::DeleteFileW(Wide(path).c_str())) RaiseLastError("DeleteFile");
}

// One rename on the same volume: a reader sees the old name missing or the
// whole new file, never half of it.
void Win32Files::Move(const std::string& from, const std::string& to) {
  if (!::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    RaiseLastError("MoveFileEx");
  }
}

// --- The program -----------------------------------------------------------------

std::string Win32ProgramInfo::Folder() const {
  std::wstring path = ModulePath();
  path.resize(path.find_last_of(L"\\/"));
  if (path.size() == 2 && path[1] == L':') path.push_back(L'\\');
  return Utf8(path);
}

std::string Win32ProgramInfo::ExeName() const {
  std::wstring name = FileNameOf(ModulePath());
  const auto dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.resize(dot);
  return Utf8(name);
}

Version Win32ProgramInfo::FileVersion() const {
  const std::wstring path = ModulePath();
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) RaiseLastError("GetFileVersionInfoSize");
  std::vector<unsigned char> data(size);
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data())) RaiseLastError("GetFileVersionInfo");
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || info == nullptr) {
    throw Error("no version record");
  }
  // The runtime's Major.Minor.Revision: the record's first, second and fourth fields.
  return Version{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionLS)};
}

std::wstring ArgumentsOf(const wchar_t* commandLine) {
  const wchar_t* p = commandLine;
  if (p == nullptr) return {};
  // The program's name: quoted, or up to the first blank.
  if (*p == L'"') {
    ++p;
    while (*p != L'\0' && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p != L'\0' && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

std::string Win32ProgramInfo::CommandLine() const { return Utf8(ArgumentsOf(::GetCommandLineW())); }

void Win32ProgramInfo::End() { ::ExitProcess(0); }

// --- Shell and code page -------------------------------------------------------

// The record is passed as the shell's ANSI notification-icon data, as it
// stands: its first field says how much of it the shell may read.
bool Win32Shell::NotifyIcon(int message, const std::vector<std::uint8_t>& record) {
  if (record.size() < sizeof(DWORD)) throw Error("notification icon record too short");
  std::vector<std::uint8_t> copy(std::max<std::size_t>(record.size(), sizeof(NOTIFYICONDATAA)), 0);
  std::copy(record.begin(), record.end(), copy.begin());
  return ::Shell_NotifyIconA(static_cast<DWORD>(message), reinterpret_cast<NOTIFYICONDATAA*>(copy.data())) !=
         FALSE;
}

// What ShellExecute answers is not looked at: a file it cannot open, or none
// at all, is no error to the callers.
void Win32Shell::Execute(std::uintptr_t owner, const std::string& verb, const std::string& file) {
  const std::wstring wideVerb = Wide(verb);
  const std::wstring wideFile = Wide(file);
  ::ShellExecuteW(reinterpret_cast<HWND>(owner), verb.empty() ? nullptr : wideVerb.c_str(), wideFile.c_str(),
                  nullptr, nullptr, SW_HIDE);
}

// The window style reaches the program as its first ShowWindow's command.
// Nothing is inherited and nothing is waited for: the program lives on its
// own, and its handles are of no further use here.
void Win32Shell::StartProcess(const std::string& commandLine, int windowStyle) {
  // CreateProcessW may write into the command line, so it gets a copy of its own.
  std::wstring line = Wide(commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(windowStyle);
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
    RaiseLastError("CreateProcess");
  }
  const UniqueHandle process(started.hProcess);
  const UniqueHandle thread(started.hThread);
}

// No best-fit mapping: a character the code page cannot hold is "?", not a
// look-alike.
unsigned Win32CodePage::AnsiCode(char16_t unit) const {
  const wchar_t wide = static_cast<wchar_t>(unit);
  char bytes[4] = {};
  BOOL usedDefault = FALSE;
  const int got = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, sizeof bytes, nullptr,
                                        &usedDefault);
  if (got <= 0 || got > 2 || usedDefault) return 0x3F;
  const auto lead = static_cast<unsigned char>(bytes[0]);
  if (got == 1) return lead;
  return (static_cast<unsigned>(lead) << 8) | static_cast<unsigned char>(bytes[1]);
}

// --- Platform --------------------------------------------------------------------

Win32Platform::Win32Platform(HINSTANCE instance) : windows_(instance) {
  context_.windows = &windows_;
  context_.environment = &environment_;
  context_.files = &files_;
  context_.program = &program_;
  context_.graphics = &graphics_;
  context_.shell = &shell_;
  context_.codePage = &codePage_;
  context_.downloads = &downloads_;
  context_.resources = &resources_;
  context_.libraries = &libraries_;
}

}  // namespace tarnhold::platform::win32
