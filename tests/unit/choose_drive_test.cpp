// Where the data folder lands, from the four drive sources in their order.
#include <gtest/gtest.h>

#include "test_support.h"

namespace tarnhold::testing {
namespace {

using platform::sim::SimDrive;

constexpr SimDrive kFixed{platform::kDriveFixed, true};

TEST(ChooseDrive, TheSystemDriveWinsWhateverOtherDrivesExist) {
  Machine m;
  m.sim.AddDrive('A', {platform::kDriveRemovable, true});
  m.sim.AddDrive('D', kFixed);
  m.Start();
  EXPECT_EQ(m.program.DataFolder, "C:\\Veltrotarn");
  EXPECT_TRUE(m.sim.HasFolder("C:\\Veltrotarn"));
  EXPECT_TRUE(m.sim.TraceOf({"Env.FsoDrives", "Env.DriveType"}).empty())
      << "no later source is consulted when the system drive exists";
}

TEST(ChooseDrive, AnExistingSystemDriveIsUsedEvenWhenItIsNotAFixedDisk) {
  Machine m;
  m.sim.AddDrive('E', {platform::kDriveCdRom, true});
  m.sim.SetEnvironmentVariable("SystemDrive", "E:");
  m.Start();
  EXPECT_EQ(m.program.DataFolder, "E:\\Veltrotarn");
}

TEST(ChooseDrive, WithoutTheVariableTheFirstFixedDiskOfTheFileSystemObjectWins) {
  Machine m;
  m.sim.RemoveAllDrives();
  m.sim.AddDrive('A', {platform::kDriveRemovable, true});
  m.sim.AddDrive('D', kFixed);
  m.sim.AddDrive('E', kFixed);
  m.sim.UnsetEnvironmentVariable("systemdrive");
  m.sim.SetExePath("D:\\Downloads\\Veltrotarn.exe");
  m.Start();
  EXPECT_EQ(m.program.DataFolder, "D:\\Veltrotarn");
  EXPECT_TRUE(m.sim.TraceOf({"Env.DriveType"}).empty());
}

TEST(ChooseDrive, ASystemDriveThatDoesNotExistFallsThroughToTheFileSystemObject) {
  Machine m;
  m.sim.SetEnvironmentVariable("SystemDrive", "Q:");
  m.sim.RemoveAllDrives();
  m.sim.AddDrive('D', kFixed);
  m.sim.SetExePath("D:\\x\\Veltrotarn.exe");
  m.Start();
  EXPECT_EQ(m.program.DataFolder, "D:\\Veltrotarn");
}

TEST(ChooseDrive, WithoutTheFileSystemObjectTheFirstFixedLetterFromCToNWins) {
  Machine m;
  m.sim.RemoveAllDrives();
  m.sim.AddDrive('D', {platform::kDriveCdRom, true});
  m.sim.AddDrive('K', kFixed);
  m.sim.AddDrive('M', kFixed);
  m.sim.UnsetEnvironmentVariable("systemdrive");
  m.sim.Fail("Env.FsoDrives");
  m.sim.SetExePath("K:\\Veltrotarn.exe");
  m.Start();
  EXPECT_EQ(m.program.DataFolder, "K:\\Veltrotarn");
  // Letters go without a backslash, in order, and stop at the first fixed one.
  EXPECT_EQ(m.sim.TraceOf({"Env.DriveType"}),
            (Lines{"Env.DriveType C:", "Env.DriveType D:", "Env.DriveType E:", "Env.DriveType F:",
                   "Env.DriveType G:", "Env.DriveType H:", "Env.DriveType I:", "Env.DriveType J:",
                   "Env.DriveType K:"}));
}

TEST(ChooseDrive, AFixedDiskThatDoesNotAnswerIsTriedByBothDriveSourcesThenLeftForTheProgramsFolder) {
  Machine m;
  m.sim.RemoveAllDrives();
  m.sim.AddDrive('D', {platform::kDriveFixed, false});
  m.sim.AddDrive('G', kFixed);
  m.sim.UnsetEnvironmentVariable("systemdrive");
  m.sim.SetExePath("G:\\Games\\Veltrotarn.exe");
  m.sim.AddFolder("G:\\Games");
  m.Start();
  // GetDriveType calls D fixed without looking at its media, so G is never reached.
  EXPECT_EQ(m.sim.TraceOf({"Env.DriveType"}), (Lines{"Env.DriveType C:", "Env.DriveType D:"}));
  EXPECT_EQ(m.program.DataFolder, "G:\\Games\\Veltrotarn");
}

TEST(ChooseDrive, DrivesOToZAreNeverChosenAndTheProgramsFolderIsTheLastResort) {
  Machine m;
  m.sim.RemoveAllDrives();
  m.sim.AddDrive('O', kFixed);
  m.sim.AddDrive('Z', kFixed);
  m.sim.UnsetEnvironmentVariable("systemdrive");
  m.sim.Fail("Env.FsoDrives");
  m.sim.SetExePath(R"(Z:\Games\Tarnhold\Veltrotarn.exe)");
  m.sim.AddFolder("Z:\\Games\\Tarnhold");
  m.Start();
  EXPECT_EQ(m.program.DataFolder, "Z:\\Games\\Tarnhold\\Veltrotarn");
  EXPECT_TRUE(m.sim.HasFolder("Z:\\Games\\Tarnhold\\Veltrotarn"));
}

TEST(ChooseDrive, AnExecutableInADriveRootGivesADoubledBackslash) {
  Machine m;
  m.sim.RemoveAllDrives();
  m.sim.AddDrive('U', {platform::kDriveRemovable, true});
  m.sim.UnsetEnvironmentVariable("systemdrive");
  m.sim.SetExePath("U:\\Veltrotarn.exe");
  m.Start();
  EXPECT_EQ(m.program.DataFolder, "U:\\\\Veltrotarn");
  EXPECT_TRUE(m.sim.HasFolder("U:\\Veltrotarn")) << "the system reads the doubled separator as one";
}

TEST(ChooseDrive, AFailingEnvironmentReadIsSkippedAndTheNextSourceRuns) {
  Machine m;
  m.sim.AddDrive('D', kFixed);
  m.sim.Fail("Env.Variable");
  m.Start();
  EXPECT_EQ(m.program.DataFolder, "C:\\Veltrotarn") << "C is the first fixed disk";
  EXPECT_EQ(m.sim.TraceOf({"Env.FsoDrives"}).size(), 1U);
}

TEST(ChooseDrive, AFailingExistenceTestCountsAsMissingSoTheNextSourceRuns) {
  Machine m;
  m.sim.RemoveAllDrives();
  m.sim.AddDrive('C', kFixed);
  m.sim.AddDrive('D', kFixed);
  m.sim.Fail("Files.Exists", "C:", 1);
  m.Start();
  EXPECT_EQ(m.program.DataFolder, "C:\\Veltrotarn") << "the file-system object also finds C first";
  EXPECT_EQ(m.sim.TraceOf({"Env.FsoDrives"}).size(), 1U);
}

}  // namespace
}  // namespace tarnhold::testing
