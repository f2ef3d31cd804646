// The Win32 backend against the real system under Wine, with the same
// expectations the simulated platform is held to where it models the OS.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <future>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

#include "platform/geometry.h"
#include "platform/win32/win32_platform.h"
#include "wine_support.h"
// After <windows.h>, which they need and do not include.
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

namespace tarnhold::winetest {

// One for the process, which the seam's contract shares.
platform::win32::Win32Platform& SharedPlatform();

namespace {

using namespace std::chrono_literals;
using platform::Error;

struct NoEvents : platform::WindowEvents {};

platform::WindowDesign Design(const char* name, double w, double h) {
  platform::WindowDesign d;
  d.name = name;
  d.clientWidth = w;
  d.clientHeight = h;
  return d;
}

struct Backend : ::testing::Test {
  platform::Context& ctx = SharedPlatform().context();
  const std::string root = "C:\\tarnhold-backend-test";
  void SetUp() override {
    RemoveTree(L"C:\\tarnhold-backend-test");
    ctx.FileSystem().CreateFolder(root);
  }
  void TearDown() override { RemoveTree(L"C:\\tarnhold-backend-test"); }
};

TEST_F(Backend, FoldersAreFoundWhateverTheCase) {
  auto& files = ctx.FileSystem();
  EXPECT_TRUE(files.Exists("C:"));
  EXPECT_TRUE(files.Exists("c:\\TARNHOLD-backend-TEST"));
}

TEST_F(Backend, TheProgramKnowsItsFolderNameAndVersion) {
  auto& program = ctx.Program();
  const std::string folder = program.Folder();
  EXPECT_NE(folder.back(), '\\');
  EXPECT_TRUE(ctx.FileSystem().Exists(folder + "\\" + program.ExeName() + ".exe"));
  EXPECT_EQ(program.ExeName(), "wine_backend_tests");
  const platform::Version v = program.FileVersion();
  EXPECT_EQ(v.major, 1);
  EXPECT_EQ(v.minor, 0);
  EXPECT_EQ(v.revision, 0);
}

TEST_F(Backend, TheNotificationIconTakesTheEightyEightByteRecord) {
  NoEvents events;
  auto w = ctx.Windows().NewWindow(Design("Tray", 300, 300), events);
  std::vector<std::uint8_t> record(88, 0);
  const auto put = [&](std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
      record[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
  };
  put(0, 88);
  put(4, static_cast<std::uint32_t>(w->Handle()));
  put(8, 1);
  put(12, 7);
  put(16, 0x200);
  put(20,
      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(::LoadIconW(nullptr, IDI_APPLICATION))));
  const char tip[] = "Tarnhold";
  std::copy(tip, tip + sizeof tip, record.begin() + 24);
  EXPECT_TRUE(ctx.Shell32().NotifyIcon(0, record));
  EXPECT_TRUE(ctx.Shell32().NotifyIcon(2, record));
  EXPECT_FALSE(ctx.Shell32().NotifyIcon(2, record)) << "already gone";
}

TEST(CommandLine, TheArgumentsAreWhatFollowsTheProgramsName) {
  using platform::win32::ArgumentsOf;
  EXPECT_EQ(ArgumentsOf(L"\"C:\\Veltrotarn\\Veltrotarn.exe\" del"), L"del");
  EXPECT_EQ(ArgumentsOf(L"C:\\Veltrotarn\\Veltrotarn.exe del"), L"del");
  EXPECT_EQ(ArgumentsOf(L"\"C:\\Program Files\\x.exe\""), L"");
  EXPECT_EQ(ArgumentsOf(L"x.exe   del x"), L"del x");
  EXPECT_EQ(ArgumentsOf(L"x.exe"), L"");
}

// Lets the system deliver what is queued until the condition holds.
bool PumpUntil(std::chrono::milliseconds limit, const std::function<bool()>& condition) {
  return WaitUntil(limit, [&] {
    MSG m;
    while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&m);
    return condition();
  });
}

// What the seam reads back is what the system holds.
TEST_F(Backend, WindowGeometryAndOwnersAreTheSystemsOwn) {
  NoEvents events;
  auto w = ctx.Windows().NewWindow(Design("W", 1500, 900), events);
  auto owned = ctx.Windows().NewWindow(Design("Owned", 420, 420), events);
  w->SetLeft(100);
  w->SetWidth(1000);
  RECT r{};
  ::GetWindowRect(reinterpret_cast<HWND>(w->Handle()), &r);
  EXPECT_EQ(r.left, 7);
  EXPECT_EQ(r.right - r.left, 67);
  owned->Show(w.get());
  EXPECT_EQ(::GetWindow(reinterpret_cast<HWND>(owned->Handle()), GW_OWNER),
            reinterpret_cast<HWND>(w->Handle()));
}

TEST_F(Backend, TimersTickWhileEnabledOnly) {
  NoEvents events;
  auto w = ctx.Windows().NewWindow(Design("T", 300, 300), events);
  int ticks = 0;
  auto timer = w->AddTimer(10, true, [&] {
    ++ticks;
    throw Error("a failing tick is abandoned; the timer goes on");
  });
  EXPECT_TRUE(PumpUntil(5s, [&] { return ticks >= 3; }));
  timer->SetEnabled(false);
  const int stopped = ticks;
  PumpUntil(100ms, [] { return false; });
  EXPECT_EQ(ticks, stopped);
}

struct Move {
  double x;
  double y;
};

struct FormMoves : platform::WindowEvents {
  std::vector<Move> moves;
  void MouseMove(int /*button*/, int /*shift*/, double x, double y) override { moves.push_back({x, y}); }
};

struct ControlMoves : platform::ControlEvents {
  std::vector<Move> moves;
  int others = 0;
  void MouseMove(int /*button*/, int /*shift*/, double x, double y) override { moves.push_back({x, y}); }
  void MouseDown(int, int, double, double) override { ++others; }
  void MouseUp(int, int, double, double) override { ++others; }
  void Click() override { ++others; }
  void DblClick() override { ++others; }
};

bool Has(const std::vector<Move>& moves, double x, double y) {
  return std::any_of(moves.begin(), moves.end(), [&](const Move& m) { return m.x == x && m.y == y; });
}

// A form 600 x 40 pixels with a control over its pixels 500..529 x 0..19,
// where a notification icon's mouse messages would "lie" if taken for
// positions: 0x200..0x205 are 512..517.
struct FormWithCover {
  FormMoves form;
  ControlMoves control;
  std::unique_ptr<platform::Window> window;
  FormWithCover(platform::WindowRuntime& rt, platform::ScaleUnit unit) {
    platform::WindowDesign design = Design("Cover", 9000, 600);
    design.scaleUnit = unit;
    window = rt.NewWindow(design, form);
    platform::ControlDesign cover;
    cover.name = "Cover";
    cover.left = 7500;
    cover.top = 0;
    cover.width = 450;
    cover.height = 300;
    window->AddControl(cover, &control);
  }
  HWND hwnd() const { return reinterpret_cast<HWND>(window->Handle()); }
};

TEST_F(Backend, TheIconsCallbackToAHiddenFormIsTheFormsOwnMouseMove) {
  const double tpp = ctx.Windows().GetScreen().TwipsPerPixelX();
  FormWithCover twips(ctx.Windows(), platform::ScaleUnit::Twips);
  ASSERT_FALSE(twips.window->Visible());
  // The shell sends some callbacks and posts others; both must arrive alike.
  ASSERT_TRUE(::PostMessageW(twips.hwnd(), WM_MOUSEMOVE, 1, WM_LBUTTONUP));
  ASSERT_TRUE(PumpUntil(5s, [&] { return !twips.form.moves.empty(); }))
      << "nothing reached the form; the control had " << twips.control.moves.size();
  ::SendMessageW(twips.hwnd(), WM_MOUSEMOVE, 1, WM_RBUTTONUP);
  ASSERT_EQ(twips.form.moves.size(), 2u);
  EXPECT_EQ(twips.form.moves[0].x, 514 * tpp);
  EXPECT_EQ(twips.form.moves[0].y, 0);
  EXPECT_EQ(twips.form.moves[1].x, 517 * tpp);
  EXPECT_TRUE(twips.control.moves.empty()) << "the control under (514, 0) is not the icon";
  EXPECT_EQ(twips.control.others, 0);

  FormWithCover pixels(ctx.Windows(), platform::ScaleUnit::Pixels);
  ::SendMessageW(pixels.hwnd(), WM_MOUSEMOVE, 1, WM_LBUTTONDBLCLK);
  ASSERT_EQ(pixels.form.moves.size(), 1u);
  EXPECT_EQ(pixels.form.moves[0].x, 515) << "a pixel-scaled form reads the message unscaled";
  EXPECT_TRUE(pixels.control.moves.empty());
}

TEST_F(Backend, AMoveOverAShownFormGoesToTheControlUnderThePointer) {
  const double tpp = ctx.Windows().GetScreen().TwipsPerPixelX();
  FormWithCover shown(ctx.Windows(), platform::ScaleUnit::Twips);
  shown.window->Show(nullptr);
  ASSERT_TRUE(shown.window->Visible());
  // The display's own pointer may pass over the window too; only these two
  // positions are asked about.
  ASSERT_TRUE(::PostMessageW(shown.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(514, 7)));
  ASSERT_TRUE(::PostMessageW(shown.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(100, 7)));
  EXPECT_TRUE(PumpUntil(5s, [&] { return Has(shown.form.moves, 100 * tpp, 7 * tpp); }));
  EXPECT_TRUE(Has(shown.control.moves, 514 * tpp - 7500, 7 * tpp)) << "in twips, relative to the control";
  EXPECT_FALSE(Has(shown.form.moves, 514 * tpp, 7 * tpp));
  shown.window->Hide();
}

struct WindowSearch {
  DWORD pid;
  const wchar_t* className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  wchar_t name[64] = {};
  ::GetClassNameW(hwnd, name, 64);
  if (pid == search->pid && std::wstring(name) == search->className) search->found.push_back(hwnd);
  return TRUE;
}

// A program this process started, found by its parent, and ended at the end
// of the test whatever happened.
class StartedProgram {
 public:
  StartedProgram(const wchar_t* exeName, std::chrono::milliseconds limit) {
    WaitUntil(limit, [&] { return Find(exeName); });
  }
  ~StartedProgram() {
    if (process_ == nullptr) return;
    if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(process_, 99);
      ::WaitForSingleObject(process_, 10000);
    }
    ::CloseHandle(process_);
  }
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;

  bool Found() const { return process_ != nullptr; }
  HANDLE Process() const { return process_; }
  // Its top-level windows of the given class.
  std::vector<HWND> Windows(const wchar_t* className) const {
    WindowSearch search{pid_, className, {}};
    ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

 private:
  bool Find(const wchar_t* exeName) {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
      if (entry.th32ParentProcessID != ::GetCurrentProcessId() || ::lstrcmpiW(entry.szExeFile, exeName) != 0)
        continue;
      process_ = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE,
                               entry.th32ProcessID);
      pid_ = entry.th32ProcessID;
      break;
    }
    ::CloseHandle(snapshot);
    return process_ != nullptr;
  }
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
};

// With a cmd.exe planted beside this program, which the system would look
// in first for a bare name, and a quoted path that is a command to the
// interpreter.
TEST_F(Backend, AStartedCommandLineRunsWithItsArguments) {
  const std::wstring planted = OwnFolder() + L"\\cmd.exe";
  ASSERT_TRUE(::CopyFileW((OwnFolder() + L"\\empty_window.exe").c_str(), planted.c_str(), FALSE));
  // Gone after the program (ended below) is.
  struct Unplant {
    std::wstring path;
    ~Unplant() { ::DeleteFileW(path.c_str()); }
  } unplant{planted};
  const std::string folder = root + "\\%HOMEPATH% & (x) ^ !";
  ASSERT_TRUE(::CreateDirectoryW(platform::win32::Wide(folder).c_str(), nullptr));
  const std::string written = folder + "\\started.txt";
  ctx.Shell32().StartProcess("cmd.exe /c echo started> \"" + written + "\"", 0);
  const StartedProgram cmd(L"cmd.exe", 20s);
  ASSERT_TRUE(cmd.Found());
  // Ended, it has written the file and let go of it, and of the folder.
  ASSERT_EQ(::WaitForSingleObject(cmd.Process(), 20000), static_cast<DWORD>(WAIT_OBJECT_0));
  HANDLE file = ::CreateFileW(platform::win32::Wide(written).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << "the command did not write its file";
  char bytes[64] = {};
  DWORD got = 0;
  ::ReadFile(file, bytes, sizeof bytes, &got, nullptr);
  ::CloseHandle(file);
  EXPECT_EQ(std::string(bytes, got), "started\r\n");
}

TEST_F(Backend, AStartedProgramShowsAsAskedAndIsNotWaitedFor) {
  const std::wstring exe = OwnFolder() + L"\\empty_window.exe";
  ASSERT_NE(::GetFileAttributesW(exe.c_str()), INVALID_FILE_ATTRIBUTES)
      << "empty_window.exe is built beside the tests";
  const std::string line = "\"" + platform::win32::Utf8(exe) + "\"";
  for (const int style : {SW_HIDE, SW_SHOWMINNOACTIVE}) {
    SCOPED_TRACE(style);
    // On a thread of its own, so that a start that waited for the program
    // (which runs until it is closed) fails the test instead of hanging it.
    auto start = std::async(std::launch::async, [&] { ctx.Shell32().StartProcess(line, style); });
    const bool returned = start.wait_for(10s) == std::future_status::ready;
    const StartedProgram program(L"empty_window.exe", 20s);
    ASSERT_TRUE(program.Found());
    ASSERT_TRUE(returned) << "StartProcess waited for the program";
    start.get();
    // Idle in its message loop means its window is made and shown as asked.
    ASSERT_EQ(::WaitForInputIdle(program.Process(), 10000), 0u);
    EXPECT_EQ(::WaitForSingleObject(program.Process(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "still running after StartProcess returned";
    const auto windows = program.Windows(L"EmptyWindowClass");
    ASSERT_EQ(windows.size(), 1u);
    if (style == SW_HIDE) {
      EXPECT_FALSE(::IsWindowVisible(windows[0]));
    } else {
      EXPECT_TRUE(::IsWindowVisible(windows[0]));
      EXPECT_TRUE(::IsIconic(windows[0]));
    }
    ::PostMessageW(windows[0], WM_CLOSE, 0, 0);
    EXPECT_EQ(::WaitForSingleObject(program.Process(), 10000), static_cast<DWORD>(WAIT_OBJECT_0));
  }
}

TEST_F(Backend, AProgramThatIsNotThereCannotBeStarted) {
  EXPECT_THROW(ctx.Shell32().StartProcess(root + "\\missing.exe", 0), Error);
  EXPECT_THROW(ctx.Shell32().StartProcess("", 6), Error);
}

TEST_F(Backend, ShellExecuteOpensWhatItIsGivenAndPassesOverAnEmptyFile) {
  NoEvents events;
  auto owner = ctx.Windows().NewWindow(Design("Owner", 300, 300), events);
  ctx.Shell32().Execute(0, "", "");
  ctx.Shell32().Execute(owner->Handle(), "open", "");
  ctx.Shell32().Execute(owner->Handle(), "", root + "\\missing.txt");
  // A batch file, run by its association, proves the file reaches the shell.
  // (Wine runs one whatever the verb, so the verb cannot be told apart here.)
  const std::string batch = root + "\\write.bat";
  const std::string written = root + "\\executed.txt";
  const std::string script = "@echo executed> " + written + "\r\n";
  ctx.FileSystem().WriteFile(batch, std::vector<std::uint8_t>(script.begin(), script.end()));
  ctx.Shell32().Execute(owner->Handle(), "", batch);
  const StartedProgram shell(L"cmd.exe", 20s);
  ASSERT_TRUE(shell.Found()) << "nothing ran the batch file";
  // Until cmd has ended, the folder is not free for the next test.
  EXPECT_EQ(::WaitForSingleObject(shell.Process(), 20000), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_TRUE(ctx.FileSystem().Exists(written));
}

// --- The script shell and shell32's folders -------------------------------------

using platform::win32::ComPtr;
using platform::win32::Utf8;
using platform::win32::Wide;

// The user's own folders in a Wine prefix, which Wine names after the Unix
// user (and tells the program as USERNAME).
std::string UserFolder() {
  const char* user = std::getenv("USERNAME");
  return std::string("C:\\users\\") + (user != nullptr ? user : "?");
}

// The script host's SpecialFolders collection, in its order, with the folder
// each item is in a Wine 8 prefix.
using ShellFolder = std::pair<const char*, std::string>;
std::vector<ShellFolder> ShellFolders() {
  const std::string user = UserFolder();
  const std::string roaming = user + "\\AppData\\Roaming\\Microsoft\\Windows";
  const std::string common = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu";
  return {{"AllUsersDesktop", "C:\\users\\Public\\Desktop"},
          {"AllUsersStartMenu", common},
          {"AllUsersPrograms", common + "\\Programs"},
          {"AllUsersStartup", common + "\\Programs\\StartUp"},
          {"Desktop", user + "\\Desktop"},
          {"Favorites", user + "\\Favorites"},
          {"Fonts", "C:\\windows\\Fonts"},
          {"MyDocuments", user + "\\Documents"},
          {"NetHood", roaming + "\\Network Shortcuts"},
          {"PrintHood", roaming + "\\Printer Shortcuts"},
          {"Programs", roaming + "\\Start Menu\\Programs"},
          {"Recent", roaming + "\\Recent"},
          {"SendTo", roaming + "\\SendTo"},
          {"StartMenu", roaming + "\\Start Menu"},
          {"Startup", roaming + "\\Start Menu\\Programs\\StartUp"},
          {"Templates", roaming + "\\Templates"}};
}

// Wine 8 gives every item a folder of its own, made in the prefix, so a name
// that reached the wrong item would show.
TEST_F(Backend, TheScriptShellsSpecialFoldersAnswerByNameAndByPosition) {
  const auto shell = ctx.Shell32().CreateScriptShell();
  ASSERT_TRUE(shell);
  const std::vector<ShellFolder> folders = ShellFolders();
  for (int i = 0; i < static_cast<int>(folders.size()); ++i) {
    const auto& [name, path] = folders[static_cast<std::size_t>(i)];
    SCOPED_TRACE(name);
    EXPECT_EQ(shell->SpecialFolder(name), path);
    EXPECT_EQ(shell->SpecialFolder(i), path);
    EXPECT_TRUE(ctx.FileSystem().Exists(path));
  }
}

TEST_F(Backend, SpecialFolderPathLeavesTheBufferAsTheAnsiCallWould) {
  NoEvents events;
  auto owner = ctx.Windows().NewWindow(Design("Owner", 300, 300), events);
  const std::string desktop = UserFolder() + "\\Desktop";
  const std::string padded = desktop + std::string(255 - desktop.size(), '\0');
  EXPECT_EQ(ctx.Shell32().SpecialFolderPath(owner->Handle(), CSIDL_DESKTOPDIRECTORY, false), padded);
  EXPECT_EQ(ctx.Shell32().SpecialFolderPath(0, CSIDL_DESKTOPDIRECTORY, true), padded);
  const std::string programs = UserFolder() + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
  EXPECT_EQ(ctx.Shell32().SpecialFolderPath(owner->Handle(), CSIDL_PROGRAMS, false),
            programs + std::string(255 - programs.size(), '\0'));
  EXPECT_EQ(ctx.Shell32().SpecialFolderPath(owner->Handle(), 0xFF, false), std::string(255, '\0'))
      << "a failed call leaves the buffer as it was";
  EXPECT_EQ(ctx.Shell32().SpecialFolderPath(0, 0xFF, true), std::string(255, '\0'));
}

// COM for the test's own reading, balanced as it began.
class TestApartment {
 public:
  TestApartment() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~TestApartment() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  TestApartment(const TestApartment&) = delete;
  TestApartment& operator=(const TestApartment&) = delete;

 private:
  HRESULT hr_;
};

struct LinkFields {
  bool loaded = false;
  std::string path;
  std::string arguments;
  std::string workingDirectory;
  std::string description;
  std::string iconPath;
  int iconIndex = -1;
  WORD hotkey = 0xFFFF;
};

// The link as the shell itself reads it back from the file.
LinkFields ReadLink(const std::string& file) {
  const TestApartment com;
  LinkFields fields;
  ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.put_void()))) {
    return fields;
  }
  const ComPtr<IPersistFile> persist = link.Query<IPersistFile>(IID_IPersistFile);
  if (!persist || FAILED(persist->Load(Wide(file).c_str(), STGM_READ))) return fields;
  fields.loaded = true;
  wchar_t text[INFOTIPSIZE] = {};
  if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) fields.path = Utf8(text);
  text[0] = L'\0';
  if (SUCCEEDED(link->GetArguments(text, INFOTIPSIZE))) fields.arguments = Utf8(text);
  text[0] = L'\0';
  if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH))) fields.workingDirectory = Utf8(text);
  text[0] = L'\0';
  if (SUCCEEDED(link->GetDescription(text, INFOTIPSIZE))) fields.description = Utf8(text);
  text[0] = L'\0';
  if (SUCCEEDED(link->GetIconLocation(text, MAX_PATH, &fields.iconIndex))) fields.iconPath = Utf8(text);
  link->GetHotkey(&fields.hotkey);
  return fields;
}

std::string SystemProgram(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  ::GetSystemDirectoryW(folder, MAX_PATH);
  return Utf8(std::wstring(folder) + L"\\" + name);
}

TEST_F(Backend, AShortcutHoldsItsTargetAndArgumentsAndNothingElse) {
  const auto shell = ctx.Shell32().CreateScriptShell();
  const std::string target = SystemProgram(L"notepad.exe");
  ASSERT_TRUE(ctx.FileSystem().Exists(target));
  // A name and arguments outside any code page: they cross as UTF-16.
  const std::string withArguments = root + "\\Tarnh\xC3\xB6ld uninst.lnk";
  const std::string arguments = "del \"C:\\Gr\xC3\xBC\xC3\x9F\\\xE2\x9C\x93 x\"";
  auto link = shell->CreateShortcut(withArguments);
  link->SetTargetPath(target);
  link->SetArguments(arguments);
  EXPECT_FALSE(ctx.FileSystem().Exists(withArguments)) << "nothing is written before Save";
  link->Save();
  ASSERT_TRUE(ctx.FileSystem().Exists(withArguments));

  const std::string targetOnly = root + "\\Tarnhold.lnk";
  auto plain = shell->CreateShortcut(targetOnly);
  plain->SetTargetPath(target);
  plain->Save();

  for (const auto& [file, expectedArguments] :
       {std::pair{withArguments, arguments}, std::pair{targetOnly, std::string()}}) {
    SCOPED_TRACE(file);
    const LinkFields fields = ReadLink(file);
    ASSERT_TRUE(fields.loaded) << "the shell cannot read the link back";
    EXPECT_EQ(fields.path, target);
    EXPECT_EQ(fields.arguments, expectedArguments);
    EXPECT_EQ(fields.workingDirectory, "");
    EXPECT_EQ(fields.description, "");
    EXPECT_EQ(fields.iconPath, "") << "no icon of its own";
    EXPECT_EQ(fields.iconIndex, 0);
    EXPECT_EQ(fields.hotkey, 0);
  }
}

TEST_F(Backend, ASavedShortcutReplacesTheOneThatWasThere) {
  const auto shell = ctx.Shell32().CreateScriptShell();
  const std::string file = root + "\\Tarnhold.lnk";
  auto first = shell->CreateShortcut(file);
  first->SetTargetPath(SystemProgram(L"notepad.exe"));
  first->SetArguments("first");
  first->Save();
  ASSERT_EQ(ReadLink(file).arguments, "first");
  auto second = shell->CreateShortcut(file);
  second->SetTargetPath(SystemProgram(L"cmd.exe"));
  second->SetArguments("second");
  second->Save();
  const LinkFields fields = ReadLink(file);
  EXPECT_EQ(fields.path, SystemProgram(L"cmd.exe"));
  EXPECT_EQ(fields.arguments, "second");
  // The same object saves again what it holds now.
  second->SetArguments("third");
  second->Save();
  EXPECT_EQ(ReadLink(file).arguments, "third");
}

// How a thread's COM stands, asked without changing it: S_FALSE means it was
// initialised (in that model) before the question.
HRESULT ComStateAfter(DWORD model) {
  const HRESULT hr = ::CoInitializeEx(nullptr, model);
  if (SUCCEEDED(hr)) ::CoUninitialize();
  return hr;
}

// The start-up calls it with or without the OLE session on the thread; the
// caller's COM must be left exactly as it was.
TEST_F(Backend, AShortcutIsSavedWhateverCOMTheThreadHasAndLeavesItAsItWas) {
  const auto shell = ctx.Shell32().CreateScriptShell();
  const std::string target = SystemProgram(L"notepad.exe");
  struct Case {
    const char* name;
    std::optional<DWORD> before;  // the caller's own initialisation, if any
    DWORD askedIn;
    HRESULT expectedAfter;
  };
  const Case cases[] = {
      {"none", std::nullopt, COINIT_APARTMENTTHREADED, S_OK},
      {"apartment", COINIT_APARTMENTTHREADED, COINIT_APARTMENTTHREADED, S_FALSE},
      {"multithreaded", COINIT_MULTITHREADED, COINIT_MULTITHREADED, S_FALSE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = root + "\\" + c.name + ".lnk";
    auto link = shell->CreateShortcut(file);
    link->SetTargetPath(target);
    link->SetArguments(c.name);
    std::string failure;
    HRESULT after = E_UNEXPECTED;
    HRESULT atTheEnd = E_UNEXPECTED;
    std::thread([&] {
      const HRESULT own = c.before ? ::CoInitializeEx(nullptr, *c.before) : E_FAIL;
      try {
        link->Save();
      } catch (const Error& e) {
        failure = e.what();
      }
      after = ComStateAfter(c.askedIn);
      if (SUCCEEDED(own)) ::CoUninitialize();
      atTheEnd = ComStateAfter(c.askedIn);
    }).join();
    EXPECT_EQ(failure, "");
    EXPECT_EQ(after, c.expectedAfter) << "the caller's COM is still there, and only the caller's";
    EXPECT_EQ(atTheEnd, S_OK) << "once the caller has let go, nothing of the save is left";
    EXPECT_EQ(ReadLink(file).arguments, c.name);
  }
}

// A registry key of the test's own, gone before and after.
class TestKey {
 public:
  TestKey(HKEY root, std::wstring path) : root_(root), path_(std::move(path)) {
    ::RegDeleteTreeW(root_, path_.c_str());
  }
  ~TestKey() { ::RegDeleteTreeW(root_, path_.c_str()); }
  TestKey(const TestKey&) = delete;
  TestKey& operator=(const TestKey&) = delete;

  bool Exists(const std::wstring& sub = {}) const {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root_, Path(sub).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
  }
  // The value's type and raw data, terminating NUL included; nothing when
  // it cannot be read.
  std::optional<std::pair<DWORD, std::wstring>> Value(const std::wstring& sub, const wchar_t* name) const {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root_, Path(sub).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
    DWORD type = 0;
    DWORD size = 0;
    std::optional<std::pair<DWORD, std::wstring>> result;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
      std::wstring data(size / sizeof(wchar_t), L'\0');
      if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) ==
          ERROR_SUCCESS) {
        data.resize(size / sizeof(wchar_t));
        result.emplace(type, data);
      }
    }
    ::RegCloseKey(key);
    return result;
  }

 private:
  std::wstring Path(const std::wstring& sub) const { return sub.empty() ? path_ : path_ + L"\\" + sub; }
  HKEY root_;
  std::wstring path_;
};

// REG_SZ as every reader expects it: the UTF-16 text and one NUL.
std::pair<DWORD, std::wstring> Text(const std::string& utf8) {
  std::wstring data = Wide(utf8);
  data.push_back(L'\0');
  return {REG_SZ, data};
}

TEST_F(Backend, RegWriteStoresTextValuesAndMakesTheKeysOnTheWay) {
  const TestKey test(HKEY_CURRENT_USER, L"Software\\TarnholdBackendTest");
  const auto shell = ctx.Shell32().CreateScriptShell();
  const std::string name = "Tarnhold Gr\xC3\xBC\xC3\x9F \xE2\x9C\x93";
  shell->RegWrite("HKEY_CURRENT_USER\\Software\\TarnholdBackendTest\\DisplayName", name, "REG_SZ");
  shell->RegWrite("Hkey_Current_User\\Software\\TarnholdBackendTest\\", "the key's own", "REG_SZ");
  EXPECT_EQ(test.Value({}, L"DisplayName"), Text(name));
  EXPECT_EQ(test.Value({}, L""), Text("the key's own")) << "a trailing backslash names the default value";
  EXPECT_FALSE(test.Value({}, L"Hkey_Current_User"));
  shell->RegWrite("HKCU\\Software\\TarnholdBackendTest\\Empty", "", "REG_SZ");
  EXPECT_EQ(test.Value({}, L"Empty"), Text(""));

  shell->RegWrite("HKCU\\Software\\TarnholdBackendTest\\Deep\\Deeper\\Value", "x", "REG_SZ");
  EXPECT_TRUE(test.Exists(L"Deep"));
  EXPECT_EQ(test.Value(L"Deep\\Deeper", L"Value"), Text("x"));
}

// The registry itself refusing: a lasting key cannot live below a volatile
// one (Wine grants this user every key, so access is no test).
TEST_F(Backend, RegWriteFailsAsTheRegistryDoes) {
  const TestKey test(HKEY_CURRENT_USER, L"Software\\TarnholdBackendTest");
  const auto shell = ctx.Shell32().CreateScriptShell();
  HKEY volatileKey = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\TarnholdBackendTest\\Volatile", 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &volatileKey, nullptr),
            ERROR_SUCCESS);
  ::RegCloseKey(volatileKey);
  EXPECT_THROW(shell->RegWrite("HKCU\\Software\\TarnholdBackendTest\\Volatile\\Lasting\\V", "x", "REG_SZ"),
               Error);
  EXPECT_FALSE(test.Exists(L"Volatile\\Lasting"));
}

}  // namespace
}  // namespace tarnhold::winetest
