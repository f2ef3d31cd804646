// Installing into the data folder with shortcuts and an uninstall entry, and
// the uninstall that removes them again.
#include <gtest/gtest.h>

#include "test_support.h"

namespace tarnhold::testing {
namespace {

const std::string kDownload = R"(C:\Users\Player\Downloads\Tarnhold Setup (2).exe)";
const std::string kInstalled = R"(C:\Veltrotarn\Veltrotarn.exe)";
const std::string kDesktop = R"(C:\Users\Player\Desktop)";
const std::string kPrograms = R"(C:\Users\Player\AppData\Roaming\Microsoft\Windows\Start Menu\Programs)";
const std::string kCommonPrograms = R"(C:\ProgramData\Microsoft\Windows\Start Menu\Programs)";
const std::string kGroup = kPrograms + R"(\Tarnhold)";
const std::string kKey =
    R"(HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tarnhold\)";
const std::string kTarget = "TargetPath=" + kInstalled + "\n";
const std::vector<std::uint8_t> kProgramBytes{'M', 'Z', 1, 2, 3};

struct Install : ::testing::Test {
  Machine m;
  void SetUp() override {
    m.sim.SetExePath(kDownload);
    m.sim.AddFile(kDownload, kProgramBytes);
    m.sim.SetInUse(kDownload, true);
  }
  // A start of a program on the same machine, as the system would run it.
  bool StartAgain(const std::string& exe, const std::string& arguments = {}) {
    m.sim.SetExePath(exe);
    m.sim.SetCommandLine(arguments);
    Program again{m.sim.context()};
    try {
      again.Start();
      return false;
    } catch (const ProgramEnded&) {
      return true;
    }
  }
  std::map<std::string, std::string> Values() const {
    std::map<std::string, std::string> values;
    for (const auto& [name, value] : m.sim.Registry()) {
      if (name.rfind(kKey, 0) == 0) values[name.substr(kKey.size())] = value;
    }
    return values;
  }
};

TEST_F(Install, AStartFromADownloadFolderInstallsTheCopyItsShortcutsAndItsUninstallEntry) {
  m.Start();
  EXPECT_EQ(m.sim.FileBytes(kInstalled), kProgramBytes)
      << "named Veltrotarn.exe whatever the download's name";
  EXPECT_EQ(m.sim.ShortcutText(kDesktop + R"(\Tarnhold.lnk)"), kTarget);
  EXPECT_EQ(m.sim.ShortcutText(kGroup + R"(\uninst.lnk)"), kTarget + "Arguments=del\n");
  EXPECT_EQ(m.sim.ShortcutText(kGroup + R"(\Tarnhold.lnk)"), kTarget);
  EXPECT_EQ(m.sim.TraceOf({"Script.RegWrite"}),
            (Lines{"Script.RegWrite " + kKey + "DisplayIcon = " + kInstalled + " (REG_SZ)",
                   "Script.RegWrite " + kKey + "DisplayVersion = 1.0.0 (REG_SZ)",
                   "Script.RegWrite " + kKey + "DisplayName = Tarnhold (REG_SZ)",
                   "Script.RegWrite " + kKey + "UninstallString = " + kInstalled + " del (REG_SZ)"}));
  // One space, no quotes, no icon index.
  EXPECT_EQ(Values()["UninstallString"], R"(C:\Veltrotarn\Veltrotarn.exe del)");
  EXPECT_EQ(Values()["DisplayIcon"], kInstalled);
  EXPECT_EQ(m.sim.TraceOf({"Script.Shortcut."}).size(), 3U + 1U + 3U) << "target, arguments once, save";
}

TEST_F(Install, ASecondStartFromTheDownloadWritesEverythingAgain) {
  m.Start();
  m.sim.ClearTrace();
  EXPECT_FALSE(StartAgain(kDownload));
  EXPECT_EQ(m.sim.TraceOf({"Files.Copy"}), Lines{"Files.Copy " + kDownload + " -> " + kInstalled});
  EXPECT_EQ(m.sim.TraceOf({"Script.Shortcut.Save"}).size(), 3U);
  EXPECT_EQ(m.sim.TraceOf({"Script.RegWrite"}).size(), 4U);
  EXPECT_TRUE(m.sim.TraceOf({"Files.CreateFolder " + kGroup}).empty()) << "the group is there";
}

TEST_F(Install, TheInstalledCopyItselfSkipsTheInstallStep) {
  m.Start();
  m.sim.ClearTrace();
  EXPECT_FALSE(StartAgain(kInstalled));
  EXPECT_TRUE(m.sim.TraceOf({"Files.Copy", "Shell.CreateScriptShell", "Script."}).empty());
}

TEST_F(Install, ARunningInstalledCopyKeepsItsBytesAndTheShortcutsAndValuesStillPointAtIt) {
  m.sim.AddFolder(R"(C:\Veltrotarn)");
  m.sim.AddFile(kInstalled, {'o', 'l', 'd'});
  m.sim.SetInUse(kInstalled, true);
  m.Start();
  EXPECT_EQ(m.sim.FileBytes(kInstalled), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(m.sim.ShortcutText(kDesktop + R"(\Tarnhold.lnk)"), kTarget);
  EXPECT_EQ(Values().size(), 4U);
}

TEST_F(Install, WithoutRightsUnderTheMachineKeyOnlyTheFourValuesFail) {
  m.sim.Fail("Script.RegWrite");
  m.Start();
  EXPECT_EQ(m.sim.TraceOf({"Script.RegWrite"}).size(), 4U) << "each tried on its own";
  EXPECT_TRUE(Values().empty());
  EXPECT_EQ(m.sim.ShortcutText(kGroup + R"(\Tarnhold.lnk)"), kTarget);
  EXPECT_TRUE(m.sim.HasFile(kInstalled));
}

TEST_F(Install, WithoutTheShellObjectTheCopyIsMadeAndTheGroupFolderButNoShortcutOrValue) {
  m.sim.Fail("Shell.CreateScriptShell");
  m.Start();
  EXPECT_TRUE(m.sim.HasFile(kInstalled));
  EXPECT_TRUE(m.sim.HasFolder(kGroup)) << "found through shell32";
  EXPECT_FALSE(m.sim.HasFile(kDesktop + R"(\Tarnhold.lnk)"));
  EXPECT_FALSE(m.sim.HasFile(kGroup + R"(\Tarnhold.lnk)"));
  EXPECT_TRUE(Values().empty());
  EXPECT_TRUE(m.sim.TraceOf({"Script.Shortcut", "Script.RegWrite"}).empty());
}

TEST_F(Install, EachFallbackOfTheDesktopLookupIsTakenInTurn) {
  // The name first, then the shell object's number 4, then shell32's folder 16.
  const std::string numbered = R"(C:\Users\Player\OneDrive\Desktop)";
  const std::string shell32 = R"(D:\Desk)";
  m.sim.AddFolder(numbered);
  m.sim.AddDrive('D', platform::sim::SimDrive{});
  m.sim.AddFolder(shell32);
  m.sim.SetSpecialFolder("Desktop", "");  // not a name this host knows
  m.sim.SetSpecialFolder(4, numbered);
  m.Start();
  EXPECT_EQ(m.sim.ShortcutText(numbered + R"(\Tarnhold.lnk)"), kTarget);

  m.sim.SetSpecialFolder(4, R"(C:\gone)");
  m.sim.SetShell32Folder(16, shell32);
  StartAgain(kDownload);
  EXPECT_EQ(m.sim.ShortcutText(shell32 + R"(\Tarnhold.lnk)"), kTarget);
  EXPECT_EQ(m.sim.TraceOf({"Shell.SpecialFolderPath 16"}).size(), 1U);
  EXPECT_EQ(m.sim.TraceOf({"Shell.SpecialFolderPath 16"}).front(),
            "Shell.SpecialFolderPath 16 owner Form1 no create");

  // Nothing found: the path is used as it stands, and only that shortcut fails.
  m.sim.SetShell32Folder(16, R"(C:\nowhere)");
  m.sim.ClearTrace();
  StartAgain(kDownload);
  EXPECT_EQ(m.sim.TraceOf({"Script.Shortcut.Save"}).front(),
            R"(Script.Shortcut.Save C:\nowhere\Tarnhold.lnk)");
  EXPECT_EQ(m.sim.TraceOf({"Script.Shortcut.Save"}).size(), 3U);
  EXPECT_EQ(m.sim.TraceOf({"Script.RegWrite"}).size(), 4U);
}

TEST_F(Install, EachFallbackOfTheProgramsLookupIsTakenInTurn) {
  m.sim.SetSpecialFolder("Programs", R"(C:\gone)");
  m.Start();
  EXPECT_EQ(m.sim.ShortcutText(kCommonPrograms + R"(\Tarnhold\Tarnhold.lnk)"), kTarget) << "number 2";

  m.sim.SetSpecialFolder(2, "");
  StartAgain(kDownload);
  EXPECT_EQ(m.sim.ShortcutText(kGroup + R"(\uninst.lnk)"), kTarget + "Arguments=del\n") << "shell32's 2";

  // Shell32's own Programs folder gone: its common one, 23.
  m.sim.SetShell32Folder(2, R"(C:\gone too)");
  m.sim.ClearTrace();
  StartAgain(kDownload);
  EXPECT_EQ(m.sim.TraceOf({"Shell.SpecialFolderPath"}),
            (Lines{"Shell.SpecialFolderPath 2 owner Form1 no create",
                   "Shell.SpecialFolderPath 23 owner Form1 no create"}));
  EXPECT_EQ(m.sim.TraceOf({"Script.Shortcut.Save"}).back(),
            "Script.Shortcut.Save " + kCommonPrograms + R"(\Tarnhold\Tarnhold.lnk)");
}

// --- Uninstall -----------------------------------------------------------------------

struct Uninstall : Install {
  // Installed from the download, the data files in both folders, and files
  // of the user's own beside everything the uninstaller touches.
  void SetUp() override {
    Install::SetUp();
    m.Start();
    for (const char* name : {R"(\bg.png)", R"(\Kestrune.lib)", R"(\flash32.ocx)", R"(\notes.txt)"}) {
      m.sim.AddFile(R"(C:\Veltrotarn)" + std::string(name));
      m.sim.AddFile(R"(C:\Users\Player\Downloads)" + std::string(name));
    }
    m.sim.AddFolder(R"(C:\Veltrotarn\saves)");
    for (const std::string& sentinel : Sentinels()) m.sim.AddFile(sentinel);
  }
  static std::vector<std::string> Sentinels() {
    return {R"(C:\keep.txt)",
            kDesktop + R"(\keep.lnk)",
            kPrograms + R"(\keep.lnk)",
            kGroup + R"(2\keep.lnk)",
            R"(C:\Users\Player\Downloads\keep.txt)",
            R"(C:\Veltrotarn2\keep.txt)"};
  }
  void ExpectTheShortcutsGroupAndKeyGone() {
    EXPECT_FALSE(m.sim.HasFile(kDesktop + R"(\Tarnhold.lnk)"));
    EXPECT_FALSE(m.sim.HasFolder(kGroup));
    EXPECT_TRUE(Values().empty());
    for (const std::string& sentinel : Sentinels()) EXPECT_TRUE(m.sim.HasFile(sentinel)) << sentinel;
  }
};

TEST_F(Uninstall, FromADownloadFolderRemovesOnlyWhatItNamesThere) {
  m.sim.AddFolder(R"(C:\Veltrotarn2)");
  m.sim.AddFolder(kGroup + "2");
  for (const std::string& sentinel : Sentinels()) m.sim.AddFile(sentinel);
  m.sim.ClearTrace();
  EXPECT_TRUE(StartAgain(kDownload, "del"));
  ExpectTheShortcutsGroupAndKeyGone();
  EXPECT_FALSE(m.sim.HasFile(R"(C:\Users\Player\Downloads\bg.png)"));
  EXPECT_FALSE(m.sim.HasFile(R"(C:\Users\Player\Downloads\flash32.ocx)"));
  EXPECT_TRUE(m.sim.HasFile(R"(C:\Users\Player\Downloads\notes.txt)"));
  EXPECT_TRUE(m.sim.HasFile(kDownload)) << "running: the command deletes it once the program has ended";
  EXPECT_TRUE(m.sim.HasFile(R"(C:\Veltrotarn\bg.png)")) << "the data folder is not this program's own";
  EXPECT_EQ(m.sim.TraceOf({"Shell.StartProcessAfterEnd"}),
            Lines{"Shell.StartProcessAfterEnd 0 cmd /c del \"" + kDownload + "\""});
  EXPECT_EQ(m.sim.Trace().back(), "Program.End");
}

TEST_F(Uninstall, AsTheInstalledCopyItEmptiesTheDataFolderButForItselfAndLeavesTheRestToTwoCommands) {
  m.sim.AddFolder(R"(C:\Veltrotarn2)");
  m.sim.AddFolder(kGroup + "2");
  for (const std::string& sentinel : Sentinels()) m.sim.AddFile(sentinel);
  m.sim.ClearTrace();
  EXPECT_TRUE(StartAgain(kInstalled, "del"));
  ExpectTheShortcutsGroupAndKeyGone();
  for (const char* name : {R"(\bg.png)", R"(\Kestrune.lib)", R"(\flash32.ocx)", R"(\notes.txt)"}) {
    EXPECT_FALSE(m.sim.HasFile(R"(C:\Veltrotarn)" + std::string(name))) << name;
  }
  EXPECT_TRUE(m.sim.HasFile(kInstalled)) << "running";
  EXPECT_TRUE(m.sim.HasFolder(R"(C:\Veltrotarn\saves)")) << "a folder in it is not deleted";
  EXPECT_TRUE(m.sim.HasFile(R"(C:\Users\Player\Downloads\bg.png)")) << "the download folder is not its own";
  EXPECT_EQ(m.sim.TraceOf({"Shell.StartProcessAfterEnd"}),
            (Lines{"Shell.StartProcessAfterEnd 0 cmd /c del \"C:\\Veltrotarn\\Veltrotarn.exe\"",
                   "Shell.StartProcessAfterEnd 0 cmd /c rd \"C:\\Veltrotarn\""}));
}

TEST_F(Uninstall, AFolderWhoseNameOnlyEndsLikeTheDataFoldersKeepsItsOtherFiles) {
  const std::string folder = R"(C:\Games\OldVeltrotarn)";
  m.sim.AddFolder(folder);
  m.sim.AddFile(folder + R"(\Veltrotarn.exe)");
  m.sim.AddFile(folder + R"(\savegame.dat)");
  m.sim.AddFile(folder + R"(\bg.png)");
  m.sim.ClearTrace();
  EXPECT_TRUE(StartAgain(folder + R"(\Veltrotarn.exe)", "del"));
  EXPECT_TRUE(m.sim.HasFile(folder + R"(\savegame.dat)"));
  EXPECT_FALSE(m.sim.HasFile(folder + R"(\bg.png)")) << "the data files it names go from any folder";
  EXPECT_TRUE(m.sim.TraceOf({"Files.DeleteMatching " + folder}).empty());
  EXPECT_EQ(m.sim.TraceOf({"Shell.StartProcessAfterEnd"}).size(), 1U) << "no folder command";
}

// Started as a screen saver beside an unrelated "Veltrotarn.exe": its own
// file is the one copied and the one deleted; the other is not touched.
TEST_F(Uninstall, ACopyStartedUnderAnotherExtensionCopiesAndDeletesItsOwnFileOnly) {
  const std::string folder = R"(C:\Users\Player\Downloads\plant)";
  const std::string screenSaver = folder + R"(\Veltrotarn.scr)";
  const std::vector<std::uint8_t> unrelated{'o', 't', 'h', 'e', 'r'};
  m.sim.AddFolder(folder);
  m.sim.AddFile(screenSaver, kProgramBytes);
  m.sim.AddFile(folder + R"(\Veltrotarn.exe)", unrelated);
  m.sim.ClearTrace();
  EXPECT_FALSE(StartAgain(screenSaver));
  EXPECT_EQ(m.sim.TraceOf({"Files.Copy"}), Lines{"Files.Copy " + screenSaver + " -> " + kInstalled});
  EXPECT_TRUE(StartAgain(screenSaver, "del"));
  EXPECT_TRUE(m.sim.HasFile(folder + R"(\Veltrotarn.exe)"));
  EXPECT_EQ(m.sim.TraceOf({"Shell.StartProcessAfterEnd"}),
            Lines{"Shell.StartProcessAfterEnd 0 cmd /c del \"" + screenSaver + "\""});
}

TEST_F(Uninstall, ASecondUninstallFindsNothingAndEndsQuietly) {
  EXPECT_TRUE(StartAgain(kInstalled, "del"));
  const std::vector<std::string> listing = m.sim.Listing();
  m.sim.ClearTrace();
  EXPECT_TRUE(StartAgain(kInstalled, "del"));
  EXPECT_EQ(m.sim.Listing(), listing) << "nothing more to remove";
  EXPECT_EQ(m.sim.TraceOf({"Shell.StartProcessAfterEnd"}).size(), 2U) << "the two commands all the same";
  EXPECT_EQ(m.sim.Trace().back(), "Program.End");
}

TEST_F(Uninstall, WithoutTheShellObjectTheFilesStillGoAndTheKeyStays) {
  m.sim.Fail("Shell.CreateScriptShell");
  EXPECT_TRUE(StartAgain(kInstalled, "del"));
  EXPECT_FALSE(m.sim.HasFile(kDesktop + R"(\Tarnhold.lnk)")) << "found through shell32";
  EXPECT_FALSE(m.sim.HasFolder(kGroup));
  EXPECT_EQ(Values().size(), 4U);
  EXPECT_FALSE(m.sim.HasFile(R"(C:\Veltrotarn\bg.png)"));
}

}  // namespace
}  // namespace tarnhold::testing
