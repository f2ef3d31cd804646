// The Win32 backend against the real system under Wine, with the same
// expectations the simulated platform is held to where it models the OS.
#include <gtest/gtest.h>

#include <memory>

#include "platform/geometry.h"
#include "platform/win32/win32_platform.h"
#include "wine_support.h"

namespace tarnhold::winetest {
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
  static platform::win32::Win32Platform& Platform() {
    static auto* platform = new platform::win32::Win32Platform(::GetModuleHandleW(nullptr));
    return *platform;
  }
  platform::Context& ctx = Platform().context();
  const std::string root = "C:\\tarnhold-backend-test";
  void SetUp() override {
    RemoveTree(L"C:\\tarnhold-backend-test");
    ctx.FileSystem().CreateFolder(root);
  }
  void TearDown() override { RemoveTree(L"C:\\tarnhold-backend-test"); }
  void Touch(const std::string& path) { ctx.FileSystem().WriteFile(path, {1, 2, 3}); }
};

TEST_F(Backend, FoldersAreMadeOneLevelAndFoundWhateverTheCase) {
  auto& files = ctx.FileSystem();
  EXPECT_TRUE(files.Exists("C:"));
  EXPECT_TRUE(files.Exists("c:\\TARNHOLD-backend-TEST"));
  EXPECT_TRUE(files.Exists(root + "\\"));
  EXPECT_THROW(files.CreateFolder(root), Error) << "it exists";
  EXPECT_THROW(files.CreateFolder(root + "\\a\\b"), Error) << "one level only";
  EXPECT_FALSE(files.Exists(root + "\\a"));
  files.CreateFolder("C:\\\\tarnhold-backend-test\\\\doubled");
  EXPECT_TRUE(files.Exists(root + "\\doubled")) << "a doubled separator names the same folder";
}

TEST_F(Backend, WildcardDeleteSparesFoldersAndTakesNamesWithoutExtension) {
  auto& files = ctx.FileSystem();
  Touch(root + "\\a.lnk");
  Touch(root + "\\noext");
  files.CreateFolder(root + "\\Sub");
  Touch(root + "\\Sub\\keep.lnk");
  files.DeleteMatching(root + "\\*.*");
  EXPECT_FALSE(files.Exists(root + "\\a.lnk"));
  EXPECT_FALSE(files.Exists(root + "\\noext"));
  EXPECT_TRUE(files.Exists(root + "\\Sub\\keep.lnk"));
  EXPECT_THROW(files.RemoveFolder(root + "\\Sub"), Error) << "not empty";
  EXPECT_THROW(files.DeleteMatching(root + "\\*.zip"), Error) << "nothing matched";
  files.DeleteMatching(root + "\\Sub\\?EEP.lnk");
  files.RemoveFolder(root + "\\Sub");
  EXPECT_FALSE(files.Exists(root + "\\Sub"));
}

TEST_F(Backend, CopyReplacesButNotAFileInUse) {
  auto& files = ctx.FileSystem();
  Touch(root + "\\x.exe");
  Touch(root + "\\Veltrotarn.exe");
  files.Copy(root + "\\x.exe", root + "\\Veltrotarn.exe");
  const std::wstring busy = L"C:\\tarnhold-backend-test\\Veltrotarn.exe";
  HANDLE open = ::CreateFileW(busy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(open, INVALID_HANDLE_VALUE);
  EXPECT_THROW(files.Copy(root + "\\x.exe", root + "\\Veltrotarn.exe"), Error);
  EXPECT_THROW(files.DeleteMatching(root + "\\Veltrotarn.exe"), Error);
  ::CloseHandle(open);
  EXPECT_THROW(files.Copy(root + "\\missing.exe", root + "\\y.exe"), Error);
  EXPECT_THROW(files.Copy(root + "\\x.exe", root + "\\nowhere\\y.exe"), Error);
}

TEST_F(Backend, DrivesAnswerAsGetDriveTypeAndTheFileSystemObjectDo) {
  auto& env = ctx.Env();
  EXPECT_EQ(env.Variable("systemdrive"), "C:");
  EXPECT_EQ(env.Variable("SYSTEMDRIVE"), "C:");
  EXPECT_EQ(env.Variable("TARNHOLD_NOT_SET_ANYWHERE"), "");
  EXPECT_EQ(env.DriveType("C:"), platform::kDriveFixed) << "the letter and colon alone, no backslash";
  EXPECT_EQ(env.DriveType("C:\\"), platform::kDriveFixed);
  // Windows answers 1 for a path that is not a root; Wine gives the drive's
  // type. The client asks for roots only.
  const auto drives = env.FsoDrives();
  ASSERT_FALSE(drives.empty());
  bool sawC = false;
  for (std::size_t i = 0; i < drives.size(); ++i) {
    if (i > 0) {
      EXPECT_LT(drives[i - 1].path, drives[i].path) << "in the order of the letters";
    }
    EXPECT_EQ(env.DriveType(drives[i].path) == platform::kDriveFixed,
              drives[i].driveType == platform::kFsoDriveFixed)
        << drives[i].path;
    sawC = sawC || (drives[i].path == "C:" && drives[i].driveType == platform::kFsoDriveFixed);
  }
  EXPECT_TRUE(sawC);
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

TEST_F(Backend, TheAnsiCodePageAnswersWithoutBestFit) {
  const auto& ansi = ctx.Ansi();
  EXPECT_EQ(ansi.AnsiCode(u'A'), 0x41u);
  EXPECT_EQ(ansi.AnsiCode(u'\t'), 0x09u);
  EXPECT_EQ(ansi.AnsiCode(u'\xD800'), 0x3Fu) << "half a surrogate pair is no character";
  if (::GetACP() == 1252) {
    EXPECT_EQ(ansi.AnsiCode(u'\xE9'), 0xE9u);
    EXPECT_EQ(ansi.AnsiCode(u'\x4E2D'), 0x3Fu);
    EXPECT_EQ(ansi.AnsiCode(u'\x0101'), 0x3Fu) << "a-macron is not mapped to a look-alike";
  } else if (::GetACP() == 936) {
    EXPECT_EQ(ansi.AnsiCode(u'\x4E2D'), 0xD6D0u);
  } else {
    GTEST_SKIP() << "code page " << ::GetACP();
  }
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

TEST_F(Backend, WindowGeometryIsHeldInWholePixels) {
  NoEvents events;
  auto w = ctx.Windows().NewWindow(Design("W", 1500, 900), events);
  EXPECT_EQ(w->Width(), 1500);
  EXPECT_EQ(w->ScaleHeight(), 900);
  w->SetLeft(100);
  EXPECT_EQ(w->Left(), 105);
  w->SetTop(22.5);
  EXPECT_EQ(w->Top(), 30) << "a half pixel goes to the even neighbour";
  w->SetWidth(1000);
  EXPECT_EQ(w->Width(), 1005);
  EXPECT_EQ(w->Left(), 105) << "a size change keeps the corner";
  RECT r{};
  ::GetWindowRect(reinterpret_cast<HWND>(w->Handle()), &r);
  EXPECT_EQ(r.left, 7);
  EXPECT_EQ(r.right - r.left, 67);
}

TEST_F(Backend, OwnedWindowsMinimiseAndComeBackWithTheirOwner) {
  NoEvents events;
  auto& rt = ctx.Windows();
  auto page = rt.NewWindow(Design("Page", 3000, 3000), events);
  auto frame = rt.NewWindow(Design("Frame", 3000, 3000), events);
  auto button = rt.NewWindow(Design("Button", 420, 420), events);
  page->Show(nullptr);
  frame->Show(page.get());
  button->Show(frame.get());
  const HWND frameHwnd = reinterpret_cast<HWND>(frame->Handle());
  EXPECT_EQ(::GetWindow(reinterpret_cast<HWND>(button->Handle()), GW_OWNER), frameHwnd);
  EXPECT_EQ(::GetWindow(frameHwnd, GW_OWNER), reinterpret_cast<HWND>(page->Handle()));
  frame->SetState(platform::WindowState::Minimized);
  EXPECT_TRUE(PumpUntil(5s, [&] { return !button->Visible(); }));
  EXPECT_EQ(frame->State(), platform::WindowState::Minimized);
  EXPECT_TRUE(page->Visible());
  frame->SetState(platform::WindowState::Normal);
  EXPECT_TRUE(PumpUntil(5s, [&] { return button->Visible(); }));
  button->Show(nullptr);
  EXPECT_EQ(::GetWindow(reinterpret_cast<HWND>(button->Handle()), GW_OWNER), nullptr);
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

}  // namespace
}  // namespace tarnhold::winetest
