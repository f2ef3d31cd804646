#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "platform/error.h"
#include "test_support.h"

namespace tarnhold::platform::linux_backend::testing {
namespace {

using PathMapTest = SystemTest;

TEST_F(PathMapTest, DriveCIsTheDataHomeWhateverTheSeparatorsAndCase) {
  const PathMap paths(DataHome());
  EXPECT_EQ(paths.ToNative("C:"), DataHome());
  EXPECT_EQ(paths.ToNative("C:\\"), DataHome());
  EXPECT_EQ(paths.ToNative("c:/"), DataHome());
  EXPECT_EQ(paths.ToNative("C:\\Veltrotarn"), DataHome() + "/Veltrotarn");
  EXPECT_EQ(paths.ToNative("C:\\Veltrotarn\\"), DataHome() + "/Veltrotarn");
  EXPECT_EQ(paths.ToNative("C:\\applications\\\\Tarnhold/uninst.txt"),
            DataHome() + "/applications/Tarnhold/uninst.txt");
}

TEST_F(PathMapTest, DriveZIsTheFileSystemRoot) {
  const PathMap paths(DataHome());
  EXPECT_EQ(paths.ToNative("Z:"), "/");
  EXPECT_EQ(paths.ToNative("Z:\\"), "/");
  EXPECT_EQ(paths.ToNative("z:\\usr\\bin"), "/usr/bin");
}

TEST_F(PathMapTest, OtherDrivesRelativePathsAndSharesMapToNothing) {
  const PathMap paths(DataHome());
  for (const char* refused : {"D:\\Veltrotarn", "A:", "Veltrotarn", "Veltrotarn\\bg.png", "\\Veltrotarn",
                              R"(\\server\share\file)", "C:Veltrotarn", "", ":", R"(1:\x)"}) {
    EXPECT_FALSE(paths.ToNative(refused).has_value()) << refused;
    EXPECT_THROW(paths.NativeOf(refused), Error) << refused;
  }
}

TEST_F(PathMapTest, OnlyTheLastComponentLosesExeAndLnkBecomesDesktop) {
  const PathMap paths(DataHome());
  EXPECT_EQ(paths.ToNative("C:\\Veltrotarn\\Veltrotarn.exe"), DataHome() + "/Veltrotarn/Veltrotarn");
  EXPECT_EQ(paths.ToNative("C:\\Veltrotarn\\Veltrotarn.EXE"), DataHome() + "/Veltrotarn/Veltrotarn");
  EXPECT_EQ(paths.ToNative("C:\\tools.exe\\a.exe.txt"), DataHome() + "/tools.exe/a.exe.txt");
  // A name that would be left empty keeps its suffix.
  EXPECT_EQ(paths.ToNative("C:\\x\\.exe"), DataHome() + "/x/.exe");
  EXPECT_EQ(paths.ToNative("Z:\\d\\Tarnhold.LNK"), "/d/Tarnhold.desktop");
}

TEST_F(PathMapTest, DotDotStopsAtTheDriveRoot) {
  const PathMap paths(DataHome());
  EXPECT_EQ(paths.ToNative("C:\\..\\..\\etc\\passwd"), DataHome() + "/etc/passwd");
  EXPECT_EQ(paths.ToNative("C:\\a\\.\\b\\..\\c"), DataHome() + "/a/c");
  EXPECT_EQ(paths.ToNative("Z:\\..\\tmp"), "/tmp");
  // Found by fuzzing: "...exe" losing its ".exe" became "..", which led out
  // of the data home; and a NUL cut the path short where the system read it.
  EXPECT_EQ(paths.ToNative("C:\\...exe"), DataHome() + "/...exe");
  EXPECT_EQ(paths.ToNative("C:\\a\\..exe"), DataHome() + "/a/..exe");
  EXPECT_EQ(paths.ToNative(std::string("Z:\\to\0/...exe", 13)), std::nullopt);
}

TEST_F(PathMapTest, FromNativePrefersTheDataDriveByWholeComponents) {
  const PathMap paths(DataHome() + "/");
  EXPECT_EQ(paths.FromNative(DataHome()), "C:\\");
  EXPECT_EQ(paths.FromNative(DataHome() + "/Veltrotarn"), "C:\\Veltrotarn");
  EXPECT_EQ(paths.FromNative(DataHome() + "//Veltrotarn/./bin/"), "C:\\Veltrotarn\\bin");
  // A sibling whose name only begins like the data home is not on C:.
  std::string sibling = "Z:" + DataHome() + "2/x";
  std::replace(sibling.begin(), sibling.end(), '/', '\\');
  EXPECT_EQ(paths.FromNative(DataHome() + "2/x"), sibling);
  EXPECT_EQ(paths.FromNative("/"), "Z:\\");
  EXPECT_EQ(paths.FromNative("/usr/bin"), "Z:\\usr\\bin");
  EXPECT_THROW(paths.FromNative("relative/x"), Error);
  EXPECT_THROW(paths.FromNative(""), Error);
}

TEST_F(PathMapTest, FromNativeKnowsTheDataHomeByItsRealPathToo) {
  std::filesystem::create_directories(Root() + "/real");
  std::filesystem::create_directory_symlink(Root() + "/real", Root() + "/linked");
  const PathMap paths(Root() + "/linked");
  EXPECT_EQ(paths.FromNative(Root() + "/real/Veltrotarn"), "C:\\Veltrotarn");
  EXPECT_EQ(paths.FromNative(Root() + "/linked/Veltrotarn"), "C:\\Veltrotarn");
}

TEST_F(PathMapTest, WindowsPathsSurviveTheRoundTrip) {
  const PathMap paths(DataHome());
  for (const char* path : {R"(C:\)", R"(C:\Veltrotarn)", R"(C:\applications\Tarnhold\uninst.txt)", R"(Z:\)",
                           R"(Z:\home\u\Desktop)", "C:\\\xE5\xBE\xAE\xE7\xAB\xAF"}) {
    EXPECT_EQ(paths.FromNative(paths.NativeOf(path)), path);
  }
}

TEST_F(PathMapTest, TheDataHomeIsMadeWithItsParents) {
  const std::string nested = Root() + "/fresh/share";
  ASSERT_FALSE(PathExists(Root() + "/fresh"));
  const PathMap paths(nested);
  EXPECT_TRUE(std::filesystem::is_directory(nested));
  WriteText(Root() + "/file", "x");
  EXPECT_THROW(PathMap(Root() + "/file/share"), Error);
  EXPECT_THROW(PathMap("relative/share"), Error);
}

TEST_F(PathMapTest, PlacesFollowTheEnvironmentAndItsFallbacks) {
  Places places = Places::FromEnvironment();
  EXPECT_EQ(places.dataHome, DataHome());
  EXPECT_EQ(places.configHome, ConfigHome());
  EXPECT_EQ(places.desktop, Home() + "/Desktop");

  // Relative values are not base folders; the defaults below $HOME stand.
  ::setenv("XDG_DATA_HOME", "relative/data", 1);
  ::unsetenv("XDG_CONFIG_HOME");
  places = Places::FromEnvironment();
  EXPECT_EQ(places.dataHome, Home() + "/.local/share");
  EXPECT_EQ(places.configHome, Home() + "/.config");

  std::filesystem::create_directories(Home() + "/.config");
  WriteText(Home() + "/.config/user-dirs.dirs",
            "# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
            "XDG_DESKTOP_DIR=\"$HOME/Schreib \\\"tisch\\\"\"\n");
  EXPECT_EQ(Places::FromEnvironment().desktop, Home() + "/Schreib \"tisch\"");
  WriteText(Home() + "/.config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"/srv/desk\"\n");
  EXPECT_EQ(Places::FromEnvironment().desktop, "/srv/desk");
}

}  // namespace
}  // namespace tarnhold::platform::linux_backend::testing
