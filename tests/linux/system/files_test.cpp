// Files through the drive mapping, held to the Win32 calls' answers.
#include <sys/stat.h>

#include <filesystem>

#include "platform/error.h"
#include "test_support.h"

namespace tarnhold::platform::linux_backend::testing {
namespace {

class FilesTest : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    folder_ = DataHome() + "/Veltrotarn";
    std::filesystem::create_directories(folder_);
  }
  Files& files() { return System().files(); }
  // The data folder as the behaviour names it, and as it is on disk.
  static std::string Win(const std::string& name) { return "C:\\Veltrotarn\\" + name; }
  std::string Native(const std::string& name) const { return folder_ + "/" + name; }

 private:
  std::string folder_;
};

TEST(WildcardTest, MatchesAsTheFileFinderDoes) {
  EXPECT_TRUE(MatchesWildcard("*.*", "readme"));
  EXPECT_TRUE(MatchesWildcard("*.*", "bg.png"));
  EXPECT_TRUE(MatchesWildcard("*", ".hidden"));
  EXPECT_TRUE(MatchesWildcard("*.PNG", "bg.png"));
  EXPECT_TRUE(MatchesWildcard("BG.png", "bg.PNG"));
  EXPECT_TRUE(MatchesWildcard("flash??.ocx", "flash32.ocx"));
  EXPECT_FALSE(MatchesWildcard("flash??.ocx", "flash3.ocx"));
  // A question mark takes a whole character, not one byte of it.
  EXPECT_TRUE(MatchesWildcard("?.txt", "\xE4\xB8\xAD.txt"));
  EXPECT_TRUE(MatchesWildcard("a*b*c", "axxbyybzc"));
  EXPECT_FALSE(MatchesWildcard("a*b*c", "axxbyybz"));
  EXPECT_TRUE(MatchesWildcard("Veltrotarn.*", "Veltrotarn"));
  EXPECT_TRUE(MatchesWildcard("*.", "Veltrotarn"));
  EXPECT_FALSE(MatchesWildcard("*.", "bg.png"));
  EXPECT_FALSE(MatchesWildcard("*.txt", "notes.txt.bak"));
  EXPECT_FALSE(MatchesWildcard("", "x"));
}

TEST_F(FilesTest, DeleteMatchingTakesEveryFileButNoFolder) {
  for (const char* name : {"Veltrotarn", "bg.png", "Kestrune.lib", ".hidden"}) WriteText(Native(name), "x");
  std::filesystem::create_directory(Native("sub.dir"));
  std::filesystem::create_directory_symlink(Native("sub.dir"), Native("folder.link"));
  std::filesystem::create_symlink(Native("gone"), Native("dangling.link"));
  files().DeleteMatching(Win("*.*"));
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(DataHome() + "/Veltrotarn")) {
    left.push_back(entry.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"folder.link", "sub.dir"}));
}

TEST_F(FilesTest, DeleteMatchingThrowsForAFolderThatMapsToNothing) {
  EXPECT_THROW(files().DeleteMatching("D:\\Veltrotarn\\*.*"), Error);
  EXPECT_THROW(files().DeleteMatching("*.*"), Error);
}

TEST_F(FilesTest, CopyReplacesKeepsTheModeAndLeavesNoTemporaryFile) {
  WriteText(Native("Veltrotarn"), "new program");
  ::chmod(Native("Veltrotarn").c_str(), 0750);
  std::filesystem::create_directory(DataHome() + "/target");
  WriteText(DataHome() + "/target/Veltrotarn", "an older and longer program");
  ::chmod((DataHome() + "/target/Veltrotarn").c_str(), 0600);
  files().Copy(Win("Veltrotarn.exe"), "C:\\target\\Veltrotarn.exe");
  EXPECT_EQ(ReadText(DataHome() + "/target/Veltrotarn"), "new program");
  EXPECT_EQ(ModeOf(DataHome() + "/target/Veltrotarn"), 0750U);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(DataHome() + "/target"),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(FilesTest, CopyRefusesItsOwnSourceAFolderAndAMissingSource) {
  WriteText(Native("bg.png"), "picture");
  EXPECT_THROW(files().Copy(Win("bg.png"), Win("bg.png")), Error);
  EXPECT_THROW(files().Copy(Win("bg.png"), "c:\\veltrotarn\\..\\Veltrotarn\\bg.png"), Error);
  EXPECT_EQ(ReadText(Native("bg.png")), "picture");
  std::filesystem::create_directory(Native("folder"));
  EXPECT_THROW(files().Copy(Win("bg.png"), Win("folder")), Error);
  EXPECT_THROW(files().Copy(Win("folder"), Win("copy")), Error);
  EXPECT_THROW(files().Copy(Win("missing"), Win("copy")), Error);
  EXPECT_THROW(files().Copy(Win("bg.png"), "D:\\bg.png"), Error);
  EXPECT_FALSE(PathExists(Native("copy")));
}

TEST_F(FilesTest, MoveReplacesAFileButNeverAFolder) {
  WriteText(Native("config.xml.part"), "fresh");
  WriteText(Native("config.xml"), "stale and longer");
  files().Move(Win("config.xml.part"), Win("config.xml"));
  EXPECT_EQ(ReadText(Native("config.xml")), "fresh");
  EXPECT_FALSE(PathExists(Native("config.xml.part")));
  EXPECT_THROW(files().Move(Win("config.xml.part"), Win("config.xml")), Error);
  std::filesystem::create_directory(Native("empty"));
  EXPECT_THROW(files().Move(Win("config.xml"), Win("empty")), Error);
  EXPECT_TRUE(PathExists(Native("config.xml")));
}

TEST_F(FilesTest, DeleteAndExistsKeepToTheirKind) {
  std::filesystem::create_directories(Native("full"));
  EXPECT_TRUE(files().Exists("C:\\"));
  EXPECT_FALSE(files().Exists("D:\\"));
  EXPECT_THROW(files().Delete(Win("full")), Error);
  EXPECT_THROW(files().Delete(Win("missing")), Error);
}

// A symbolic link in place of a folder leads to another folder, whose files
// are not the ones meant: their deletion is refused, and the folder's
// removal takes the link alone.
TEST_F(FilesTest, ALinkInPlaceOfAFolderIsNotFollowedAndIsRemovedItself) {
  std::filesystem::create_directories(Native("other"));
  WriteText(Native("other/notes.txt"), "someone else's");
  std::filesystem::create_directory_symlink(Native("other"), Native("Tarnhold"));
  EXPECT_THROW(files().DeleteMatching(Win("Tarnhold\\*.*")), Error);
  files().RemoveFolder(Win("Tarnhold"));
  EXPECT_FALSE(std::filesystem::is_symlink(Native("Tarnhold")));
  EXPECT_EQ(ReadText(Native("other/notes.txt")), "someone else's");
}

TEST_F(FilesTest, WriteFileReplacesTheWholeContent) {
  WriteText(Native("bg.png"), "a much longer old content");
  const std::vector<std::uint8_t> bytes = {0x89, 'P', 'N', 'G', 0x00, 0xFF};
  files().WriteFile(Win("bg.png"), bytes);
  EXPECT_EQ(ReadText(Native("bg.png")), std::string("\x89PNG\0\xFF", 6));
  files().WriteFile(Win("empty"), {});
  EXPECT_TRUE(PathExists(Native("empty")));
  EXPECT_EQ(ReadText(Native("empty")), "");
  EXPECT_THROW(files().WriteFile("C:\\missing\\bg.png", bytes), Error);
}

}  // namespace
}  // namespace tarnhold::platform::linux_backend::testing
