// Installing and uninstalling on the real runtime under Wine: a download
// started under another name installs itself with shortcuts and an uninstall
// entry, and a start with "del" removes all of it and nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "wine_support.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

namespace tarnhold::winetest {
namespace {

using namespace std::chrono_literals;

const std::wstring kData = L"C:\\Veltrotarn";
const std::wstring kInstalled = kData + L"\\Veltrotarn.exe";
const std::wstring kDownloads = L"C:\\users\\Public\\Downloads";
const std::wstring kDownload = kDownloads + L"\\Tarnhold-Setup.exe";
const wchar_t* const kKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnhold";

std::wstring Folder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

bool IsFile(const std::wstring& path) {
  const DWORD a = ::GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::vector<char> Bytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void Touch(const std::wstring& path) { std::ofstream(path.c_str()) << "keep\n"; }

struct Link {
  bool read = false;
  std::wstring target;
  std::wstring arguments;
  std::wstring icon;
  std::wstring directory;
};

// What a .lnk file holds, through the shell's own reader.
Link ReadLink(const std::wstring& path) {
  Link link;
  IShellLinkW* shell = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shell)))) {
    return link;
  }
  IPersistFile* file = nullptr;
  if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
      wchar_t text[MAX_PATH] = {};
      int index = 0;
      link.read = SUCCEEDED(shell->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH));
      link.target = text;
      text[0] = 0;
      shell->GetArguments(text, MAX_PATH);
      link.arguments = text;
      text[0] = 0;
      shell->GetIconLocation(text, MAX_PATH, &index);
      link.icon = text;
      text[0] = 0;
      shell->GetWorkingDirectory(text, MAX_PATH);
      link.directory = text;
    }
    file->Release();
  }
  shell->Release();
  return link;
}

std::wstring Value(const wchar_t* name) {
  wchar_t text[512] = {};
  DWORD size = sizeof text;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, kKey, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) {
    return L"<none>";
  }
  return text;
}

bool KeyThere() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Ends, by handle, every process running from a program file in `folder`:
// what a planted program left running, had it been started.
void EndProgramsIn(const std::wstring& folder) {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
    HANDLE process = ::OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE,
                                   entry.th32ProcessID);
    if (process == nullptr) continue;
    wchar_t image[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (::QueryFullProcessImageNameW(process, 0, image, &size) &&
        std::wstring(image, size).rfind(folder + L"\\", 0) == 0) {
      ::TerminateProcess(process, 99);
      ::WaitForSingleObject(process, 10000);
    }
    ::CloseHandle(process);
  }
  ::CloseHandle(snapshot);
}

// Wine shows a Unix symbolic link to a folder as a folder that is a reparse
// point, as Windows shows a junction; Wine 8 cannot make either itself
// (CreateSymbolicLink answers success and makes nothing), so the Unix link
// is made through the kernel's own call.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
  using UnixName = char*(CDECL*)(const wchar_t*);
  auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (unixName == nullptr) return false;
  char* from = unixName(target.c_str());
  char* to = unixName(link.c_str());
  long result = -1;
  if (from != nullptr && to != nullptr) {
    asm volatile("int $0x80" : "=a"(result) : "a"(83L), "b"(from), "c"(to) : "memory");  // symlink
  }
  ::HeapFree(::GetProcessHeap(), 0, from);
  ::HeapFree(::GetProcessHeap(), 0, to);
  return result == 0;
}

// Wine 8 cannot remove such a link by any call of its own (RemoveDirectory,
// DeleteFile, a delete disposition all leave it), so the test does.
void RemoveFolderLink(const std::wstring& link) {
  using UnixName = char*(CDECL*)(const wchar_t*);
  auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* path = unixName == nullptr ? nullptr : unixName(link.c_str());
  long result = -1;
  if (path != nullptr) asm volatile("int $0x80" : "=a"(result) : "a"(10L), "b"(path) : "memory");  // unlink
  ::HeapFree(::GetProcessHeap(), 0, path);
}

struct Install : ::testing::Test {
  std::wstring desktop = Folder(CSIDL_DESKTOPDIRECTORY);
  std::wstring programs = Folder(CSIDL_PROGRAMS);
  std::wstring group = programs + L"\\Tarnhold";
  std::vector<std::wstring> sentinels;

  static void SetUpTestSuite() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }

  void SetUp() override {
    ASSERT_FALSE(desktop.empty());
    ASSERT_FALSE(programs.empty());
    RemoveTree(kData);
    RemoveTree(group);
    ::DeleteFileW((desktop + L"\\Tarnhold.lnk").c_str());
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKey);
    // Files of the user's own beside, above and around everything the
    // uninstaller touches.
    ::CreateDirectoryW(L"C:\\Veltrotarn-old", nullptr);
    ::CreateDirectoryW((programs + L"\\Tarnhold Tools").c_str(), nullptr);
    sentinels = {L"C:\\Veltrotarn-old\\keep.txt",
                 L"C:\\keep-tarnhold.txt",
                 desktop + L"\\keep.txt",
                 programs + L"\\keep.txt",
                 programs + L"\\Tarnhold Tools\\keep.txt",
                 kDownloads + L"\\keep.txt"};
    for (const std::wstring& s : sentinels) Touch(s);
    CopyInto(OwnFolder() + L"\\Veltrotarn.exe", kDownloads, L"Tarnhold-Setup.exe");
  }
  void TearDown() override {
    for (const std::wstring& s : sentinels) ::DeleteFileW(s.c_str());
    ::RemoveDirectoryW(L"C:\\Veltrotarn-old");
    ::RemoveDirectoryW((programs + L"\\Tarnhold Tools").c_str());
  }

  // Starts a program and lets it run its course: the login screen, then
  // closed as the system would close it; an uninstall start ends by itself.
  static void Run(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder = L"") {
    Child client(exe, arguments, folder);
    DWORD code = 1;
    if (arguments.empty()) {
      ASSERT_TRUE(WaitUntil(30s, [&] { return LoginScreenShown(client); })) << "no login screen";
      ASSERT_TRUE(CloseThroughTheFrame(client));
    } else {
      ASSERT_TRUE(client.WaitForExit(30000, code)) << "the uninstall start did not end";
      EXPECT_EQ(code, 0u);
      ASSERT_TRUE(client.WaitForItsCommands(30s)) << "its commands are still running";
    }
  }
  void ExpectInstalled() {
    ASSERT_TRUE(IsFile(kInstalled));
    EXPECT_EQ(Bytes(kInstalled), Bytes(OwnFolder() + L"\\Veltrotarn.exe"));
    for (const auto& [file, arguments] :
         {std::pair{desktop + L"\\Tarnhold.lnk", L""}, std::pair{group + L"\\Tarnhold.lnk", L""},
          std::pair{group + L"\\uninst.lnk", L"del"}}) {
      const Link link = ReadLink(file);
      EXPECT_TRUE(link.read) << Narrow(file);
      EXPECT_EQ(Narrow(link.target), Narrow(kInstalled)) << Narrow(file);
      EXPECT_EQ(Narrow(link.arguments), Narrow(arguments)) << Narrow(file);
      EXPECT_EQ(Narrow(link.icon), "") << "no icon: " << Narrow(file);
      EXPECT_EQ(Narrow(link.directory), "") << "no working folder: " << Narrow(file);
    }
    EXPECT_EQ(Narrow(Value(L"DisplayIcon")), Narrow(kInstalled));
    EXPECT_EQ(Narrow(Value(L"DisplayVersion")), "1.0.0");
    EXPECT_EQ(Narrow(Value(L"DisplayName")), "Tarnhold");
    EXPECT_EQ(Narrow(Value(L"UninstallString")), "C:\\Veltrotarn\\Veltrotarn.exe del");
  }
  // The commands have ended by now (Run waits for them).
  static bool Gone(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
  }
  void ExpectSentinelsKept() {
    for (const std::wstring& s : sentinels) EXPECT_TRUE(IsFile(s)) << Narrow(s);
  }
};

TEST_F(Install, ALifeCycleFromADownloadToTheUninstallOfTheInstalledCopy) {
  Run(kDownload, L"");
  ExpectInstalled();
  // The data files the start fetched or made, and one of the player's own.
  Touch(kData + L"\\notes.txt");

  Run(kInstalled, L"del");
  EXPECT_FALSE(IsFile(desktop + L"\\Tarnhold.lnk"));
  EXPECT_FALSE(IsFolder(group));
  EXPECT_FALSE(KeyThere());
  EXPECT_TRUE(Gone(kInstalled)) << "the delete command";
  EXPECT_TRUE(Gone(kData)) << "the folder command";
  EXPECT_TRUE(IsFile(kDownload)) << "the download is not the installed copy's to remove";
  ExpectSentinelsKept();
}

TEST_F(Install, AnUninstallFromTheDownloadRemovesTheShortcutsTheEntryAndTheDownloadOnly) {
  Run(kDownload, L"");
  ExpectInstalled();
  Run(kDownload, L"del");
  EXPECT_FALSE(IsFile(desktop + L"\\Tarnhold.lnk"));
  EXPECT_FALSE(IsFolder(group));
  EXPECT_FALSE(KeyThere());
  EXPECT_TRUE(Gone(kDownload)) << "the delete command";
  EXPECT_TRUE(IsFile(kInstalled)) << "the data folder is not the download folder";
  ExpectSentinelsKept();
}

// Folder names that are commands to the command interpreter, a copy started
// under another extension beside an unrelated Veltrotarn.exe, and a cmd.exe
// planted beside it: the uninstall deletes its own file (and, from a folder
// named like the data folder, that folder) and nothing else, and nothing
// it names runs.
TEST_F(Install, AnUninstallFromAFolderWhoseNameIsACommandRemovesOnlyItsOwn) {
  wchar_t home[MAX_PATH] = {};
  ASSERT_GT(::GetEnvironmentVariableW(L"HOMEPATH", home, MAX_PATH), 0u);
  const std::wstring expanded = std::wstring(L"C:") + home;
  ::SetEnvironmentVariableW(L"TARNHOLD_QUOTE", L"\" & mkdir injq & \"");
  const std::wstring hostile = L"C:\\%HOMEPATH%";
  const std::wstring named = hostile + L"\\Veltrotarn";
  const std::wstring commands =
      kDownloads + L"\\%TARNHOLD_QUOTE% %CMDCMDLINE% & mkdir injcmd & (x) ^ ! \u00e9\u4e2d";
  const std::wstring system = L"C:\\windows\\system32";
  // Where the folders' names, expanded, lead.
  ::CreateDirectoryW((expanded + L"\\Veltrotarn").c_str(), nullptr);
  for (const std::wstring& other :
       {expanded + L"\\Veltrotarn.scr", expanded + L"\\Veltrotarn\\Veltrotarn.scr"}) {
    Touch(other);
    sentinels.push_back(other);
  }
  for (const std::wstring& folder : {hostile, named, commands}) {
    SCOPED_TRACE(Narrow(folder));
    ::CreateDirectoryW(folder.c_str(), nullptr);
    CopyInto(OwnFolder() + L"\\Veltrotarn.exe", folder, L"Veltrotarn.scr");
    CopyInto(OwnFolder() + L"\\empty_window.exe", folder, L"cmd.exe");
    Touch(folder + L"\\Veltrotarn.exe");
    Run(folder + L"\\Veltrotarn.scr", L"del");
    EndProgramsIn(folder);
    EXPECT_TRUE(Gone(folder + L"\\Veltrotarn.scr")) << "its own file";
    if (folder == named) {
      EXPECT_TRUE(Gone(folder)) << "its own folder";
    } else {
      EXPECT_TRUE(IsFile(folder + L"\\Veltrotarn.exe")) << "not its file";
    }
  }
  for (const wchar_t* made : {L"\\injq", L"\\injcmd"}) {
    EXPECT_TRUE(Gone(system + made)) << Narrow(made);
    ::RemoveDirectoryW((system + made).c_str());
  }
  ExpectSentinelsKept();
  RemoveTree(commands);
  RemoveTree(hostile);
  RemoveTree(expanded + L"\\Veltrotarn");
}

// The Start menu's group replaced by a link to another folder: the
// uninstall removes the link and leaves that folder and its files alone.
TEST_F(Install, AnUninstallRemovesALinkInPlaceOfTheGroupAndNotWhatItLeadsTo) {
  Run(kDownload, L"");
  const std::wstring elsewhere = L"C:\\tarnhold-linked";
  RemoveTree(elsewhere);
  ::CreateDirectoryW(elsewhere.c_str(), nullptr);
  Touch(elsewhere + L"\\keep.lnk");
  RemoveTree(group);
  ASSERT_TRUE(MakeFolderLink(group, elsewhere));
  ASSERT_NE(::GetFileAttributesW(group.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
  Run(kDownload, L"del");
  EXPECT_TRUE(IsFile(elsewhere + L"\\keep.lnk"));
  std::printf("the link in place of the group after the uninstall: %s\n",
              Gone(group) ? "removed" : "still there");
  RemoveFolderLink(group);
  RemoveTree(elsewhere);
}

// The two commands are started while the program is still ending; they must
// act after it, and the folder's after the executable's, every time. Started
// as Explorer starts it, from the data folder itself: a folder that a
// process stands in cannot be removed.
TEST_F(Install, TwentyUninstallsOfTheInstalledCopyLeaveNothingBehind) {
  int executableLeft = 0;
  int folderLeft = 0;
  for (int i = 0; i < 20; ++i) {
    Run(kDownload, L"");
    ASSERT_TRUE(IsFile(kInstalled));
    Run(kInstalled, L"del", kData);
    if (!Gone(kInstalled)) ++executableLeft;
    if (!Gone(kData)) ++folderLeft;
    RemoveTree(kData);
  }
  std::printf("over 20 uninstalls of the installed copy: executable left %d times, folder left %d times\n",
              executableLeft, folderLeft);
  std::fflush(stdout);
  EXPECT_EQ(executableLeft, 0);
  EXPECT_EQ(folderLeft, 0);
  ExpectSentinelsKept();
}

}  // namespace
}  // namespace tarnhold::winetest
