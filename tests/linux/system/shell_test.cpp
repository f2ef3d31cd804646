// The script shell (special folders, shortcuts, registry) and the shell's
// folder lookup, link opening and command lines.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/error.h"
#include "test_support.h"

namespace tarnhold::platform::linux_backend::testing {
namespace {

class ShellTest : public SystemTest {
 protected:
  std::unique_ptr<ScriptShell> Script() { return System().shell().CreateScriptShell(); }
  std::string Desktop() const { return Home() + "/Desktop"; }
  std::string Registry() const { return ConfigHome() + "/tarnhold/registry.ini"; }
  static std::string Windows(std::string native) {
    std::replace(native.begin(), native.end(), '/', '\\');
    return "Z:" + native;
  }
};

TEST_F(ShellTest, SpecialFoldersByNameAndPositionAreTheDesktopsOwn) {
  const auto shell = Script();
  EXPECT_EQ(shell->SpecialFolder("Desktop"), Windows(Desktop()));
  EXPECT_EQ(shell->SpecialFolder("allusersdesktop"), Windows(Desktop()));
  EXPECT_EQ(shell->SpecialFolder("Programs"), "C:\\applications");
  EXPECT_EQ(shell->SpecialFolder("AllUsersPrograms"), "C:\\applications");
  EXPECT_EQ(shell->SpecialFolder(10), "C:\\applications");
  EXPECT_EQ(shell->SpecialFolder("Favorites"), "");
  EXPECT_EQ(shell->SpecialFolder(15), "");
  // The collection only looks.
  EXPECT_FALSE(PathExists(Desktop()));
}

TEST_F(ShellTest, SpecialFolderPathFillsTheCallersBuffer) {
  Shell& shell = System().shell();
  const std::string nothing(255, '\0');
  EXPECT_EQ(shell.SpecialFolderPath(0, 16, false), nothing);  // no desktop yet
  std::string expected = Windows(Desktop());
  expected.resize(255, '\0');
  EXPECT_EQ(shell.SpecialFolderPath(0, 16, true), expected);
  EXPECT_TRUE(std::filesystem::is_directory(Desktop()));
  EXPECT_EQ(shell.SpecialFolderPath(0, 0, false), expected);

  // The applications folder is there from the start, unasked.
  std::string programs = "C:\\applications";
  programs.resize(255, '\0');
  EXPECT_EQ(shell.SpecialFolderPath(0, 2, false), programs);
  EXPECT_EQ(shell.SpecialFolderPath(0, 23, false), programs);
  EXPECT_EQ(shell.SpecialFolderPath(0, 999, true), nothing);
  EXPECT_EQ(shell.SpecialFolderPath(0, -1, false), nothing);
}

TEST_F(ShellTest, SpecialFolderPathHandsALongPathBackWhole) {
  std::string deep = Home();
  while (deep.size() < 300) deep += "/a-long-folder-name";
  std::filesystem::create_directories(deep);
  std::filesystem::create_directories(ConfigHome());
  WriteText(ConfigHome() + "/user-dirs.dirs", "XDG_DESKTOP_DIR=\"" + deep + "\"\n");
  const std::string answer = System().shell().SpecialFolderPath(0, 16, false);
  EXPECT_EQ(answer, Windows(deep));
  EXPECT_GT(answer.size(), 255U);
}

TEST_F(ShellTest, AShortcutIsAnExecutableDesktopEntry) {
  std::filesystem::create_directories(Desktop());
  const auto shell = Script();
  auto link = shell->CreateShortcut(Windows(Desktop()) + "\\Tarnhold.lnk");
  link->SetTargetPath("C:\\Veltrotarn\\Veltrotarn.exe");
  link->Save();
  const std::string entry = Desktop() + "/Tarnhold.desktop";
  EXPECT_EQ(ReadText(entry), "[Desktop Entry]\nType=Application\nName=Tarnhold\nExec=" + DataHome() +
                                 "/Veltrotarn/Veltrotarn\nIcon=tarnhold\nTerminal=false\n");
  EXPECT_EQ(ModeOf(entry), 0755U);
}

TEST_F(ShellTest, AShortcutQuotesItsTargetAndKeepsItsArguments) {
  std::filesystem::create_directories(DataHome() + "/applications/Tarnhold");
  const auto shell = Script();
  auto link = shell->CreateShortcut(R"(C:\applications\Tarnhold\uninst.LNK)");
  link->SetTargetPath(R"(C:\My $Games 100%\Velt"ro\Veltrotarn.exe)");
  link->SetArguments("del");
  link->Save();
  // Quoted for the Exec rules ($ and " escaped), then \ and % escaped again
  // for the key file and the field codes.
  EXPECT_EQ(ReadText(DataHome() + "/applications/Tarnhold/uninst.desktop"),
            "[Desktop Entry]\nType=Application\nName=uninst\nExec=\"" + DataHome() +
                "/My \\\\$Games 100%%/Velt\\\\\"ro/Veltrotarn\" del\nIcon=tarnhold\nTerminal=false\n");
}

TEST_F(ShellTest, AnUnreadableRegistryIsLeftAlone) {
  std::filesystem::create_directories(ConfigHome() + "/tarnhold");
  WriteText(Registry(), "this is [not a key file\n");
  EXPECT_THROW(Script()->RegWrite("HKCU\\Software\\Tarnhold\\x", "1", "REG_SZ"), Error);
  EXPECT_EQ(ReadText(Registry()), "this is [not a key file\n");
}

TEST_F(ShellTest, StartProcessCarriesOutTheKnownCommandsAtOnce) {
  LinuxShell& shell = System().shell();
  std::filesystem::create_directories(DataHome() + "/Velt ro/empty");
  WriteText(DataHome() + "/Velt ro/Veltrotarn", "x");
  shell.StartProcess(R"(CMD /C DEL "C:\Velt ro\Veltrotarn.exe")", 0);
  EXPECT_FALSE(PathExists(DataHome() + "/Velt ro/Veltrotarn"));
  shell.StartProcess(R"(cmd.exe /c rd "C:\Velt ro\empty")", 0);
  EXPECT_FALSE(PathExists(DataHome() + "/Velt ro/empty"));
  // What is not there, or not on a drive, is as little an error as to cmd.
  EXPECT_NO_THROW(shell.StartProcess("cmd /c del \"C:\\Velt ro\\Veltrotarn.exe\"", 0));
  EXPECT_NO_THROW(shell.StartProcess("cmd /c rd \"D:\\x\"", 0));

  int cleared = 0;
  EXPECT_NO_THROW(shell.StartProcess("RunDll32.exe InetCpl.cpl,ClearMyTracksByProcess 8", 6));
  shell.clearBrowsingData = [&] { ++cleared; };
  shell.StartProcess("RunDll32.exe InetCpl.cpl,ClearMyTracksByProcess 8", 6);
  EXPECT_EQ(cleared, 1);

  for (const char* unknown : {"notepad.exe", "cmd /c format C:", "cmd /c del", R"(cmd /k del "C:\x")",
                              "RunDll32.exe InetCpl.cpl,ClearMyTracksByProcess 255", ""}) {
    EXPECT_THROW(shell.StartProcess(unknown, 0), Error) << unknown;
    EXPECT_THROW(shell.StartProcessAfterEnd(unknown, 0), Error) << unknown;
  }
  EXPECT_THROW(shell.StartProcessAfterEnd("RunDll32.exe InetCpl.cpl,ClearMyTracksByProcess 8", 0), Error);
  EXPECT_EQ(cleared, 1);
}

// The desktop's default handler for a scheme opens the link. A process of
// its own, since GLib reads the XDG folders once per process.
TEST_F(ShellTest, ExecuteOpensALinkWithTheDesktopsHandler) {
  const std::string marker = Root() + "/opened";
  const std::string handler = Root() + "/handler.sh";
  WriteText(handler, "#!/bin/sh\nprintf '%s' \"$1\" > '" + marker + "'\n");
  ::chmod(handler.c_str(), 0755);
  std::filesystem::create_directories(DataHome() + "/applications");
  WriteText(DataHome() + "/applications/tarnhold-test-handler.desktop",
            "[Desktop Entry]\nType=Application\nName=Handler\nExec=" + handler +
                " %u\nMimeType=x-scheme-handler/tarnhold-test;\n");
  std::filesystem::create_directories(ConfigHome());
  WriteText(ConfigHome() + "/mimeapps.list",
            "[Default Applications]\nx-scheme-handler/tarnhold-test=tarnhold-test-handler.desktop\n");
  ::setenv("XDG_DATA_DIRS", (Root() + "/no-system-data").c_str(), 1);

  const std::string link = "tarnhold-test:charge?user=%C3%A9";
  const Child child = Spawn({TestProgram(), "--execute-helper", link});
  ASSERT_GT(child.pid, 0);
  ::close(child.input);
  ::close(child.output);
  const int status = WaitForExit(child.pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(WaitFor([&] { return ReadText(marker) == link; }, std::chrono::seconds(10)))
      << ReadText(marker);
}

}  // namespace
}  // namespace tarnhold::platform::linux_backend::testing
