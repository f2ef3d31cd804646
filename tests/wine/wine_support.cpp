#include "wine_support.h"

// After <windows.h>, which it needs and does not include.
#include <tlhelp32.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace tarnhold::winetest {

Child::Child(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder,
             DWORD flags) {
  std::wstring commandLine = L"\"" + exe + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info_)) {
    throw std::runtime_error("CreateProcess failed");
  }
}

Child::~Child() {
  if (::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(info_.hProcess, 99);
    ::WaitForSingleObject(info_.hProcess, 10000);
  }
  ::CloseHandle(info_.hThread);
  ::CloseHandle(info_.hProcess);
}

namespace {

ULONGLONG CreationTime(HANDLE process) {
  FILETIME created{};
  FILETIME exited{};
  FILETIME kernel{};
  FILETIME user{};
  if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// The processes that `parent` started, opened so that their ids stay theirs.
// A process id is soon used again (under Wine within seconds), and a process
// that names a dead parent's id names whoever has it now: one made before
// the parent is not its child.
std::vector<HANDLE> ChildrenOf(DWORD parent, ULONGLONG parentCreated) {
  std::vector<HANDLE> children;
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return children;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
    if (entry.th32ParentProcessID != parent || entry.th32ProcessID == parent) continue;
    HANDLE process =
        ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
    if (process == nullptr) continue;  // ended already
    if (CreationTime(process) >= parentCreated) {
      children.push_back(process);
    } else {
      ::CloseHandle(process);
    }
  }
  ::CloseHandle(snapshot);
  return children;
}

}  // namespace

bool Child::WaitForItsCommands(std::chrono::milliseconds limit) const {
  if (::WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0) return false;
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(limit.count());
  // A command's own commands (cmd starting cmd) are waited for too.
  std::vector<HANDLE> pending = ChildrenOf(info_.dwProcessId, CreationTime(info_.hProcess));
  bool allEnded = true;
  while (!pending.empty()) {
    HANDLE process = pending.back();
    pending.pop_back();
    const DWORD pid = ::GetProcessId(process);
    const ULONGLONG created = CreationTime(process);
    const ULONGLONG now = ::GetTickCount64();
    const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    const bool ended = allEnded && ::WaitForSingleObject(process, left) == WAIT_OBJECT_0;
    allEnded = allEnded && ended;
    if (allEnded) {
      for (HANDLE grandchild : ChildrenOf(pid, created)) pending.push_back(grandchild);
    }
    ::CloseHandle(process);
  }
  return allEnded;
}

bool Child::WaitForExit(DWORD milliseconds, DWORD& code) const {
  if (::WaitForSingleObject(info_.hProcess, milliseconds) != WAIT_OBJECT_0) return false;
  return ::GetExitCodeProcess(info_.hProcess, &code) != FALSE;
}

namespace {
struct Search {
  DWORD pid;
  std::vector<TopWindow>* out;
};

BOOL CALLBACK Collect(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid != search->pid) return TRUE;
  TopWindow w;
  w.hwnd = hwnd;
  wchar_t title[256] = {};
  ::GetWindowTextW(hwnd, title, 256);
  w.title = title;
  w.visible = ::IsWindowVisible(hwnd) != FALSE;
  w.owner = ::GetWindow(hwnd, GW_OWNER);
  ::GetWindowRect(hwnd, &w.bounds);
  search->out->push_back(w);
  return TRUE;
}
}  // namespace

std::vector<TopWindow> Child::Windows() const {
  std::vector<TopWindow> windows;
  Search search{info_.dwProcessId, &windows};
  ::EnumWindows(&Collect, reinterpret_cast<LPARAM>(&search));
  return windows;
}

LoginScreen Classify(const std::vector<TopWindow>& windows) {
  LoginScreen s;
  for (const TopWindow& w : windows) {
    if (w.title != L"Tarnhold") continue;
    ++s.titled;
    if (!w.visible) {
      if (w.Width() != 1050 || w.Height() != 630) s.game = &w;
    } else if (w.Width() == 1050 && w.Height() == 630) {
      s.frame = &w;
    } else if (w.Width() == 620 && w.Height() == 416) {
      s.page = &w;
    } else if (w.Width() == 28 && w.Height() == 28) {
      s.close = &w;
    } else if (w.Width() == 24 && w.Height() == 24) {
      s.small = &w;
    }
  }
  return s;
}

bool LoginScreenShown(const Child& client) {
  const auto windows = client.Windows();
  const LoginScreen s = Classify(windows);
  return s.frame && s.page && s.close && s.small && s.game && s.frame->owner == s.page->hwnd &&
         s.close->owner == s.frame->hwnd && s.small->owner == s.frame->hwnd;
}

bool CloseThroughTheFrame(const Child& client) {
  for (const TopWindow& w : client.Windows()) {
    if (w.title == L"Tarnhold" && w.Width() == 1050 && w.Height() == 630)
      ::PostMessageW(w.hwnd, WM_CLOSE, 0, 0);
  }
  DWORD code = 1;
  return client.WaitForExit(10000, code) && code == 0;
}

bool WaitUntil(std::chrono::milliseconds limit, const std::function<bool()>& condition) {
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(limit.count());
  for (;;) {
    if (condition()) return true;
    if (::GetTickCount64() >= deadline) return false;
    ::Sleep(1);  // a poll interval, not a guess at how long anything takes
  }
}

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\'));
}

std::wstring FromUnix(const char* variable) {
  const char* value = std::getenv(variable);
  if (value == nullptr) return {};
  std::wstring path = L"Z:";
  for (const char* c = value; *c != '\0'; ++c) path.push_back(*c == '/' ? L'\\' : static_cast<wchar_t>(*c));
  return path;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void RemoveTree(const std::wstring& path) {
  if (!IsFolder(path)) return;
  WIN32_FIND_DATAW found{};
  HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring full = path + L"\\" + name;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveTree(full);
      } else {
        ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(full.c_str());
      }
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
  }
  ::RemoveDirectoryW(path.c_str());
}

void CopyInto(const std::wstring& from, const std::wstring& folder, const std::wstring& name) {
  ::CreateDirectoryW(folder.c_str(), nullptr);
  if (!::CopyFileW(from.c_str(), (folder + L"\\" + name).c_str(), FALSE)) {
    throw std::runtime_error("CopyFile failed");
  }
}

LARGE_INTEGER Now() {
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return t;
}

double SecondsSince(LARGE_INTEGER start) {
  LARGE_INTEGER now = Now();
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::size_t CountLines(const std::wstring& path, const std::string& prefix) {
  std::ifstream in(path.c_str());
  std::size_t count = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(prefix, 0) == 0) ++count;
  }
  return count;
}

bool RegisterTestFlash(const std::wstring& folder) {
  RemoveTree(folder);
  CopyInto(OwnFolder() + L"\\fixtures\\flash32.ocx", folder, L"flash32.ocx");
  HMODULE library = ::LoadLibraryW((folder + L"\\flash32.ocx").c_str());
  if (library == nullptr) return false;
  using Register = HRESULT(WINAPI*)();
  auto registerServer = reinterpret_cast<Register>(::GetProcAddress(library, "DllRegisterServer"));
  const bool registered = registerServer != nullptr && registerServer() == S_OK;
  ::FreeLibrary(library);
  ::DeleteFileW((folder + L"\\flash32.log").c_str());
  return registered;
}

}  // namespace tarnhold::winetest
