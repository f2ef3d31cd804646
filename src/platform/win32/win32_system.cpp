#include "platform/win32/win32_platform.h"

#include <bcrypt.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/win32_ole.h"

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

// The script host compares its names without regard to case. Only ASCII is
// folded: every name it knows is plain ASCII, and a UTF-8 lead or trail byte
// can never match one of them.
bool SameIgnoringCase(const std::string& text, const char* name) {
  std::size_t i = 0;
  for (; i < text.size() && name[i] != '\0'; ++i) {
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    if (lower(static_cast<unsigned char>(text[i])) != lower(static_cast<unsigned char>(name[i])))
      return false;
  }
  return i == text.size() && name[i] == '\0';
}

bool EndsWithIgnoringCase(const std::string& text, const char* suffix) {
  const std::size_t length = std::char_traits<char>::length(suffix);
  return text.size() >= length && SameIgnoringCase(text.substr(text.size() - length), suffix);
}

[[noreturn]] void RaiseHresult(const char* what, HRESULT hr) {
  char text[128];
  std::snprintf(text, sizeof text, "%s failed (0x%08lx)", what, static_cast<unsigned long>(hr));
  throw Error(text);
}

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) RaiseHresult(what, hr);
}

// The registry functions answer with their error code instead of setting the
// thread's last error.
[[noreturn]] void RaiseRegistryError(const char* what, const std::string& name, LONG status) {
  char text[96];
  std::snprintf(text, sizeof text, "%s failed (error %ld): ", what, static_cast<long>(status));
  throw Error(text + name);
}

// COM on the calling thread for as long as a shell link is in use. S_FALSE
// (the OLE session, or anyone else, got there first) still wants its
// CoUninitialize. RPC_E_CHANGED_MODE means the thread already lives in the
// multithreaded apartment, where the link is just as usable; that
// initialisation is not ours to balance.
class ComApartment {
 public:
  ComApartment() {
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (hr == S_OK || hr == S_FALSE) {
      initialised_ = true;
    } else if (hr != RPC_E_CHANGED_MODE) {
      RaiseHresult("CoInitializeEx", hr);
    }
  }
  ~ComApartment() {
    if (initialised_) ::CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialised_ = false;
};

// An opened or created registry key, closed on scope exit.
class UniqueKey {
 public:
  UniqueKey() = default;
  ~UniqueKey() { reset(); }
  UniqueKey(const UniqueKey&) = delete;
  UniqueKey& operator=(const UniqueKey&) = delete;
  HKEY get() const { return key_; }
  // For out-parameters: a key still held is closed first.
  HKEY* put() {
    reset();
    return &key_;
  }

 private:
  void reset() {
    if (key_ != nullptr) ::RegCloseKey(key_);
    key_ = nullptr;
  }
  HKEY key_ = nullptr;
};

// The script shell's SpecialFolders collection, in its own order: its items
// are reached by these names or by their positions.
struct NamedFolder {
  const char* name;
  int csidl;
};
constexpr NamedFolder kSpecialFolders[] = {
    {"AllUsersDesktop", CSIDL_COMMON_DESKTOPDIRECTORY},
    {"AllUsersStartMenu", CSIDL_COMMON_STARTMENU},
    {"AllUsersPrograms", CSIDL_COMMON_PROGRAMS},
    {"AllUsersStartup", CSIDL_COMMON_STARTUP},
    {"Desktop", CSIDL_DESKTOPDIRECTORY},
    {"Favorites", CSIDL_FAVORITES},
    {"Fonts", CSIDL_FONTS},
    {"MyDocuments", CSIDL_PERSONAL},
    {"NetHood", CSIDL_NETHOOD},
    {"PrintHood", CSIDL_PRINTHOOD},
    {"Programs", CSIDL_PROGRAMS},
    {"Recent", CSIDL_RECENT},
    {"SendTo", CSIDL_SENDTO},
    {"StartMenu", CSIDL_STARTMENU},
    {"Startup", CSIDL_STARTUP},
    {"Templates", CSIDL_TEMPLATES},
};

// A folder the system cannot give is an empty text, as the collection
// answers it, not an error. Nothing is created: the collection only looks.
std::string FolderOf(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return {};
  return Utf8(path, static_cast<int>(::wcsnlen(path, MAX_PATH)));
}

// "ROOT\key\path\Value", split as the script host splits it: the root
// up to the first backslash, the value after the last one. An empty value
// (the name ends in a backslash) means the key itself.
struct RegistryName {
  HKEY root = nullptr;
  std::wstring key;
  std::wstring value;
  bool NamesKey() const { return value.empty(); }
};

RegistryName ParseRegistryName(const std::string& name) {
  // Not constexpr: the predefined keys are casts from numbers.
  static const struct {
    const char* name;
    HKEY key;
  } kRoots[] = {
      {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {"HKCU", HKEY_CURRENT_USER},
      {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {"HKLM", HKEY_LOCAL_MACHINE},
      {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {"HKCR", HKEY_CLASSES_ROOT},
      {"HKEY_USERS", HKEY_USERS},
      {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
  };
  const auto first = name.find('\\');
  RegistryName parsed;
  if (first != std::string::npos) {
    const std::string root = name.substr(0, first);
    for (const auto& candidate : kRoots) {
      if (SameIgnoringCase(root, candidate.name)) parsed.root = candidate.key;
    }
  }
  if (parsed.root == nullptr) throw Error("invalid root in registry key: " + name);
  // A backslash is one byte in UTF-8 and never part of another character,
  // so the split is safe on the UTF-8 text.
  const std::string rest = name.substr(first + 1);
  const auto last = rest.find_last_of('\\');
  if (last == std::string::npos) {
    parsed.value = Wide(rest);
  } else {
    parsed.key = Wide(rest.substr(0, last));
    parsed.value = Wide(rest.substr(last + 1));
  }
  return parsed;
}

class Win32Shortcut final : public Shortcut {
 public:
  explicit Win32Shortcut(std::wstring path) : path_(std::move(path)) {}
  void SetTargetPath(const std::string& path) override { target_ = Wide(path); }
  void SetArguments(const std::string& arguments) override { arguments_ = Wide(arguments); }
  void Save() override;

 private:
  std::wstring path_;
  std::wstring target_;
  std::wstring arguments_;
};

// A new link every time, holding nothing but what was set: any other field
// (working folder, icon, description, hot key) stays the shell's default.
void Win32Shortcut::Save() {
  // Declared first, so that it ends after the interfaces below are released.
  const ComApartment com;
  ComPtr<IShellLinkW> link;
  Check(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()),
        "CoCreateInstance(ShellLink)");
  if (!target_.empty()) Check(link->SetPath(target_.c_str()), "IShellLink::SetPath");
  if (!arguments_.empty()) Check(link->SetArguments(arguments_.c_str()), "IShellLink::SetArguments");
  const ComPtr<IPersistFile> file = link.Query<IPersistFile>(IID_IPersistFile);
  if (!file) throw Error("the shell link cannot be saved");
  Check(file->Save(path_.c_str(), TRUE), "IPersistFile::Save");
}

class Win32ScriptShell final : public ScriptShell {
 public:
  std::string SpecialFolder(const std::string& name) override;
  std::string SpecialFolder(int index) override;
  std::unique_ptr<Shortcut> CreateShortcut(const std::string& path) override;
  void RegWrite(const std::string& name, const std::string& value, const std::string& type) override;
  void RegDelete(const std::string& name) override;
};

// An unknown name is no error to the collection: it answers an empty text.
std::string Win32ScriptShell::SpecialFolder(const std::string& name) {
  for (const NamedFolder& folder : kSpecialFolders) {
    if (SameIgnoringCase(name, folder.name)) return FolderOf(folder.csidl);
  }
  return {};
}

// By position, though, the collection has only so many items.
std::string Win32ScriptShell::SpecialFolder(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kSpecialFolders))) {
    throw Error("subscript out of range: special folder " + std::to_string(index));
  }
  return FolderOf(kSpecialFolders[index].csidl);
}

// The script host makes only shell links (and internet shortcuts, which
// nothing here needs) and tells them apart by the name's extension.
std::unique_ptr<Shortcut> Win32ScriptShell::CreateShortcut(const std::string& path) {
  if (!EndsWithIgnoringCase(path, ".lnk")) throw Error("the shortcut pathname must end with .lnk: " + path);
  return std::make_unique<Win32Shortcut>(Wide(path));
}

// Keys missing along the way are made. The text is stored with its
// terminating NUL, as every reader of REG_SZ expects.
void Win32ScriptShell::RegWrite(const std::string& name, const std::string& value, const std::string& type) {
  if (!SameIgnoringCase(type, "REG_SZ")) throw Error("registry type not supported: " + type);
  const RegistryName target = ParseRegistryName(name);
  UniqueKey key;
  LONG status = ::RegCreateKeyExW(target.root, target.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE, nullptr, key.put(), nullptr);
  if (status != ERROR_SUCCESS) RaiseRegistryError("RegCreateKeyEx", name, status);
  const std::wstring text = Wide(value);
  status = ::RegSetValueExW(key.get(), target.value.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() + 1) * static_cast<DWORD>(sizeof(wchar_t)));
  if (status != ERROR_SUCCESS) RaiseRegistryError("RegSetValueEx", name, status);
}

// A key goes with its values but not with its subkeys: RegDeleteKey refuses
// a key that has any, as the script host does. What is not there cannot be
// deleted, and says so.
void Win32ScriptShell::RegDelete(const std::string& name) {
  const RegistryName target = ParseRegistryName(name);
  if (target.NamesKey()) {
    if (target.key.empty()) throw Error("a root key cannot be removed: " + name);
    const LONG status = ::RegDeleteKeyW(target.root, target.key.c_str());
    if (status != ERROR_SUCCESS) RaiseRegistryError("RegDeleteKey", name, status);
    return;
  }
  UniqueKey key;
  LONG status = ::RegOpenKeyExW(target.root, target.key.c_str(), 0, KEY_SET_VALUE, key.put());
  if (status != ERROR_SUCCESS) RaiseRegistryError("RegOpenKeyEx", name, status);
  status = ::RegDeleteValueW(key.get(), target.value.c_str());
  if (status != ERROR_SUCCESS) RaiseRegistryError("RegDeleteValue", name, status);
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
    if ((mask & (1U << i)) == 0) continue;
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
  // A junction or symbolic link in place of the folder leads to another
  // folder, whose files are not the ones meant: it is not followed, and the
  // removal of the folder then removes the link alone.
  if (!folder.empty()) {
    const DWORD attributes = ::GetFileAttributesW(wide.substr(0, slash).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      throw Error("a link is not followed: " + pattern);
    }
  }
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

// The hash object is made step by step: BCryptHash, in one call, is newer
// than the systems the client runs on.
std::string Win32Files::Sha256(const std::string& path) const {
  UniqueHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) RaiseLastError("CreateFile");
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    throw Error("BCryptOpenAlgorithmProvider failed");
  }
  const std::unique_ptr<void, void (*)(void*)> closeAlgorithm(
      algorithm, [](void* a) { ::BCryptCloseAlgorithmProvider(a, 0); });
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!BCRYPT_SUCCESS(::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) {
    throw Error("BCryptCreateHash failed");
  }
  const std::unique_ptr<void, void (*)(void*)> destroyHash(hash, [](void* h) { ::BCryptDestroyHash(h); });
  std::vector<UCHAR> buffer(64 * 1024);
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      RaiseLastError("ReadFile");
    }
    if (got == 0) break;
    if (!BCRYPT_SUCCESS(::BCryptHashData(hash, buffer.data(), got, 0))) throw Error("BCryptHashData failed");
  }
  std::array<UCHAR, 32> digest{};
  if (!BCRYPT_SUCCESS(::BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0))) {
    throw Error("BCryptFinishHash failed");
  }
  std::string text;
  for (const UCHAR byte : digest) {
    constexpr const char* kDigits = "0123456789abcdef";
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xF];
  }
  return text;
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

std::string Win32ProgramInfo::Path() const { return Utf8(ModulePath()); }

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

std::unique_ptr<ScriptShell> Win32Shell::CreateScriptShell() { return std::make_unique<Win32ScriptShell>(); }

// The wide call, answered as the ANSI one leaves a caller's buffer of 255
// characters: the path and NULs after it; untouched when the call fails. A
// path that fills the buffer comes back whole, without NULs.
std::string Win32Shell::SpecialFolderPath(std::uintptr_t owner, int csidl, bool create) {
  constexpr std::size_t kBuffer = 255;
  wchar_t path[MAX_PATH] = {};
  if (!::SHGetSpecialFolderPathW(reinterpret_cast<HWND>(owner), path, csidl, create ? TRUE : FALSE)) {
    // Not braces: {kBuffer, '\0'} would be the string of those two characters.
    return std::string(kBuffer, '\0');  // NOLINT(modernize-return-braced-init-list)
  }
  std::string buffer = Utf8(path, static_cast<int>(::wcsnlen(path, MAX_PATH)));
  if (buffer.size() < kBuffer) buffer.resize(kBuffer, '\0');
  return buffer;
}

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

namespace {

std::wstring SystemFolder() {
  std::array<wchar_t, MAX_PATH> folder{};
  const UINT length = ::GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
  if (length == 0 || length >= folder.size()) RaiseLastError("GetSystemDirectory");
  return {folder.data(), length};
}

bool SameIgnoringCase(const std::wstring& a, const wchar_t* b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}

// A command line made safe to start: the program by its full path, and for
// the command interpreter each quoted text carried in a variable of the
// child's own environment.
struct PreparedCommand {
  std::wstring program;      // the full path
  std::wstring line;         // the whole command line, the program first
  std::wstring environment;  // a block for CreateProcess; empty to inherit
};

// A program named without a folder is a system program, and is taken from
// the system folder: started by its bare name, the system would look in
// this program's own folder first, which may be a Downloads folder holding
// anything. Named with a folder, it is taken as it stands.
std::wstring ProgramPath(const std::wstring& name) {
  if (name.find_first_of(L"\\/:") != std::wstring::npos) return name;
  const bool hasExtension = name.find(L'.') != std::wstring::npos;
  return SystemFolder() + L"\\" + name + (hasExtension ? L"" : L".exe");
}

bool IsCommandInterpreter(const std::wstring& program) {
  const std::wstring name = FileNameOf(program);
  return SameIgnoringCase(name, L"cmd.exe") || SameIgnoringCase(name, L"cmd");
}

// A name for the variable that carries one text: one that the text itself
// does not hold, since an interpreter that expands a value again (Wine's
// does) would otherwise expand it into itself without end.
std::wstring VariableFor(const std::wstring& text, int index) {
  std::wstring upper = text;
  ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  for (int n = 0;; ++n) {
    std::wstring name = L"TARNHOLD_ARG" + std::to_wstring(index) + L"_" + std::to_wstring(n);
    if (upper.find(name) == std::wstring::npos) return name;
  }
}

// The command interpreter reads its command line as a script: it expands
// %NAME%, and a quote that such a value brings ends the quoting, so a path
// written into the line can run as a command. Each quoted text (a path:
// no file name holds a quote) is carried in a variable of the child's own
// instead, referred to inside the quotes. Delayed expansion (!NAME!) puts
// the value in once the line has been read, and it is not read again; the
// outer interpreter of a command started after the end passes !NAME! on
// untouched, having delayed expansion off. The child's environment holds
// nothing but those variables: Wine's interpreter expands a value once
// more, and a name that is not defined stays as it is written.
PreparedCommand Prepare(const std::string& commandLine) {
  const std::wstring wide = Wide(commandLine);
  std::size_t p = 0;
  std::wstring name;
  if (!wide.empty() && wide[0] == L'"') {
    const auto close = wide.find(L'"', 1);
    name = wide.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
    p = close == std::wstring::npos ? wide.size() : close + 1;
  } else {
    p = std::min(wide.find_first_of(L" \t"), wide.size());
    name = wide.substr(0, p);
  }
  if (name.empty()) throw Error("no program to start");
  PreparedCommand prepared;
  prepared.program = ProgramPath(name);
  const std::wstring arguments = wide.substr(p);
  if (!IsCommandInterpreter(prepared.program)) {
    prepared.line = L"\"" + prepared.program + L"\"" + arguments;
    return prepared;
  }
  std::wstring carried;
  int index = 0;
  for (std::size_t i = 0; i < arguments.size();) {
    const auto open = arguments.find(L'"', i);
    const auto close = open == std::wstring::npos ? open : arguments.find(L'"', open + 1);
    if (close == std::wstring::npos) {
      carried += arguments.substr(i);
      break;
    }
    const std::wstring text = arguments.substr(open + 1, close - open - 1);
    const std::wstring variable = VariableFor(text, index++);
    carried.append(arguments, i, open - i).append(L"\"!").append(variable).append(L"!\"");
    prepared.environment.append(variable).append(L"=").append(text).push_back(L'\0');
    i = close + 1;
  }
  // A block that ends in two NULs, even when it holds no variable.
  prepared.environment.push_back(L'\0');
  if (prepared.environment.size() == 1) prepared.environment.push_back(L'\0');
  prepared.line = L"\"" + prepared.program + L"\" /d /v:on" + carried;
  return prepared;
}

void* EnvironmentOf(PreparedCommand& prepared) {
  return prepared.environment.empty() ? nullptr : prepared.environment.data();
}

}  // namespace

// The window style reaches the program as its first ShowWindow's command.
// Nothing is inherited and nothing is waited for: the program lives on its
// own, and its handles are of no further use here.
void Win32Shell::StartProcess(const std::string& commandLine, int windowStyle) {
  PreparedCommand prepared = Prepare(commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(windowStyle);
  PROCESS_INFORMATION started{};
  // CreateProcessW may write into the command line: the prepared one is a copy.
  if (!::CreateProcessW(prepared.program.c_str(), prepared.line.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, EnvironmentOf(prepared), nullptr, &startup, &started)) {
    RaiseLastError("CreateProcess");
  }
  const UniqueHandle process(started.hProcess);
  const UniqueHandle thread(started.hThread);
}

// The command runs inside a command interpreter that first reads its input to
// the end. Nothing is ever written to that input: its end comes when the last
// holder of the pipe's other end has ended. For the first such command that
// is this program (the handle is left to the system to close at the exit);
// for each later one it is the command before it, into which the handle is
// moved. So the delete of the running executable waits for the program's end
// and the removal of its folder for the delete, with no polling and no time
// guessed.
void Win32Shell::StartProcessAfterEnd(const std::string& commandLine, int windowStyle) {
  PreparedCommand prepared = Prepare(commandLine);
  // Inside the waiting interpreter, another program's quoted texts would be
  // expanded as they stand.
  if (!IsCommandInterpreter(prepared.program)) throw Error("only the command interpreter runs after the end");
  SECURITY_ATTRIBUTES inheritable{};
  inheritable.nLength = sizeof inheritable;
  inheritable.bInheritHandle = TRUE;
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) RaiseLastError("CreatePipe");
  UniqueHandle input(readEnd);
  UniqueHandle holder(writeEnd);
  // Only the reading end goes to the child.
  if (!::SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0)) RaiseLastError("SetHandleInformation");

  const std::wstring interpreter = SystemFolder() + L"\\cmd.exe";
  std::wstring line = L"\"" + interpreter + L"\" /d /v:off /c set /p tarnhold_wait= & " + prepared.line;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = static_cast<WORD>(windowStyle);
  startup.hStdInput = input.get();
  // Not in the program's current folder, which the commands may be about to
  // remove: a folder that a process stands in cannot go (a start from
  // Explorer makes the data folder itself the current one).
  const std::wstring folder = SystemFolder();
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(interpreter.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                        EnvironmentOf(prepared), folder.c_str(), &startup, &started)) {
    RaiseLastError("CreateProcess");
  }
  UniqueHandle process(started.hProcess);
  const UniqueHandle thread(started.hThread);

  HANDLE moved = nullptr;
  if (lastAfterEnd_ && ::DuplicateHandle(::GetCurrentProcess(), holder.get(), lastAfterEnd_.get(), &moved, 0,
                                         FALSE, DUPLICATE_SAME_ACCESS)) {
    holder.reset();  // the command before now holds the only copy
  } else {
    holder.release();  // held by this program until it ends
  }
  lastAfterEnd_ = std::move(process);
}

// No best-fit mapping: a character the code page cannot hold is "?", not a
// look-alike. UTF-8 (the system's "Use Unicode UTF-8" option) takes neither
// that flag nor a used-default answer, and on Windows the call fails with
// them; it holds every character, one that needs more than one byte being
// given as its first two, lead byte high, as a double-byte code is.
unsigned Win32CodePage::AnsiCode(char16_t unit) const {
  const auto wide = static_cast<wchar_t>(unit);
  char bytes[4] = {};
  int got = 0;
  if (::GetACP() == CP_UTF8) {
    got = ::WideCharToMultiByte(CP_UTF8, 0, &wide, 1, bytes, sizeof bytes, nullptr, nullptr);
    if (got <= 0) return 0x3F;
  } else {
    BOOL usedDefault = FALSE;
    got = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, sizeof bytes, nullptr,
                                &usedDefault);
    if (got <= 0 || got > 2 || usedDefault) return 0x3F;
  }
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
