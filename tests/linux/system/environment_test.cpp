// The environment, the program's own answers, and what this platform lacks.
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/error.h"
#include "test_support.h"

namespace tarnhold::platform::linux_backend::testing {
namespace {

using EnvironmentTest = SystemTest;

// The start-up takes the first source that names something existing: the
// system drive must already be one, and every later source must agree.
TEST_F(EnvironmentTest, EverySourceTheDriveChoiceAsksNamesDriveC) {
  LinuxSystem& system = System();
  EXPECT_EQ(system.environment().FsoDrives().size(), 1U);
  // The root drive is reachable by path but never offered as a data drive.
  for (const char* other : {"D:", "Z:", "Z:\\", "C", "C:\\Veltrotarn", ""}) {
    EXPECT_EQ(system.environment().DriveType(other), kDriveNoRootDir) << other;
  }
}

TEST_F(EnvironmentTest, VariablesAreFoundWhateverTheCaseOfTheirNames) {
  ::setenv("TarnholdProbe", "value with = sign", 1);
  const LinuxEnvironment environment;
  EXPECT_EQ(environment.Variable("TarnholdProbe"), "value with = sign");
  EXPECT_EQ(environment.Variable("TARNHOLDPROBE"), "value with = sign");
  EXPECT_EQ(environment.Variable("TarnholdProbeX"), "");
  EXPECT_EQ(environment.Variable("Tarnhold"), "");
  EXPECT_EQ(environment.Variable("TarnholdProbe=value"), "");
  EXPECT_EQ(environment.Variable(""), "");
  ::unsetenv("TarnholdProbe");
  EXPECT_EQ(environment.Variable("TarnholdProbe"), "");
}

TEST_F(EnvironmentTest, TheProgramNamesItsOwnFolderAndFileForTheInstallCopy) {
  LinuxSystem& system = System();
  const std::filesystem::path self = TestProgram();
  std::string folder = "Z:" + self.parent_path().string();
  std::replace(folder.begin(), folder.end(), '/', '\\');
  EXPECT_EQ(system.program().Folder(), folder);
  EXPECT_EQ(system.program().ExeName(), self.filename().string());
  // What the install copies from must be this very file.
  EXPECT_EQ(system.paths().NativeOf(system.program().Folder() + "\\" + system.program().ExeName() + ".exe"),
            self.string());

  const Version version = system.program().FileVersion();
  EXPECT_EQ(std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
                std::to_string(version.revision),
            TARNHOLD_PROJECT_VERSION);
}

TEST_F(EnvironmentTest, TheCommandLineIsTheArgumentsAfterTheNameJoinedBySpaces) {
  const PathMap paths(DataHome());
  std::array<std::string, 4> words = {"Veltrotarn", "del", "two words", ""};
  std::array<char*, 5> argv = {words[0].data(), words[1].data(), words[2].data(), words[3].data(), nullptr};
  EXPECT_EQ(LinuxProgramInfo(paths, 1, argv.data()).CommandLine(), "");
  EXPECT_EQ(LinuxProgramInfo(paths, 2, argv.data()).CommandLine(), "del");
  EXPECT_EQ(LinuxProgramInfo(paths, 3, argv.data()).CommandLine(), "del two words");
  EXPECT_EQ(LinuxProgramInfo(paths, 4, argv.data()).CommandLine(), "del two words ");
}

TEST_F(EnvironmentTest, EndWritesWhatStdioHoldsAndRunsNoHandler) {
  const std::string output = Root() + "/output";
  const std::string handlerRan = Root() + "/handler";
  static std::string handlerMarker;
  handlerMarker = handlerRan;
  std::fflush(nullptr);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::atexit([] { std::fclose(std::fopen(handlerMarker.c_str(), "w")); });
    std::FILE* file = std::fopen(output.c_str(), "w");
    std::fputs("buffered", file);
    PathMap paths(DataHome());
    LinuxProgramInfo(paths, 0, nullptr).End();
  }
  const int status = WaitForExit(child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadText(output), "buffered");
  EXPECT_FALSE(PathExists(handlerRan));
}

TEST_F(EnvironmentTest, NoResourcesAndNoLibrariesCanBeHadHere) {
  LinuxSystem& system = System();
  EXPECT_THROW(system.resources().Load("CUSTOM", 101), Error);
  EXPECT_THROW(system.resources().Load("#16", 1), Error);
  LinuxLibraries& libraries = system.libraries();
  EXPECT_EQ(libraries.Load("C:\\Veltrotarn\\flash32.ocx"), 0U);
  EXPECT_EQ(libraries.Export(1, "DllRegisterServer"), 0U);
  EXPECT_EQ(libraries.StartThread(1), 0U);
  EXPECT_EQ(libraries.Wait(1, 1000), kWaitFailed);
}

TEST_F(EnvironmentTest, TheContextGetsEveryGroupButWindowsAndGraphics) {
  Context context;
  System().Fill(context);
  EXPECT_EQ(&context.Env(), &System().environment());
  EXPECT_EQ(&context.FileSystem(), &System().files());
  EXPECT_EQ(&context.Program(), &System().program());
  EXPECT_EQ(&context.Shell32(), &System().shell());
  EXPECT_EQ(&context.Download(), &System().downloads());
  EXPECT_EQ(&context.Resource(), &System().resources());
  EXPECT_EQ(&context.Library(), &System().libraries());
  EXPECT_EQ(&context.Ansi(), &System().codePage());
  EXPECT_EQ(context.windows, nullptr);
  EXPECT_EQ(context.graphics, nullptr);
}

}  // namespace
}  // namespace tarnhold::platform::linux_backend::testing
