// The simulator stands in for the OS, so where it models the OS it is tested
// against what the OS does.
#include <stdexcept>

#include <gtest/gtest.h>

#include "test_support.h"

namespace tarnhold::testing {
namespace {

// A leaf: the seam never deletes handlers through their base, whose destructor is protected.
struct NoEvents final : platform::WindowEvents {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
  int resized = 0;
  void Resized() override { ++resized; }
};

platform::WindowDesign Design(const char* name, double w = 1500, double h = 1500) {
  platform::WindowDesign d;
  d.name = name;
  d.clientWidth = w;
  d.clientHeight = h;
  return d;
}

TEST(SimWindows, ASizeChangeIsAResizeAndTheScreenDecidesThePixels) {
  SimPlatform sim;
  NoEvents events;
  auto w = sim.context().Windows().NewWindow(Design("W"), events);
  EXPECT_EQ(events.resized, 1) << "as the window's making sizes it";
  w->SetWidth(1000);
  EXPECT_EQ(events.resized, 2);
  sim.SetTwipsPerPixel(12, 12);
  w->SetLeft(100);
  EXPECT_EQ(w->Left(), 96);
}

TEST(SimWindows, PixelScaleReportsClientSizeInPixels) {
  SimPlatform sim;
  NoEvents events;
  auto d = Design("F", 15750, 9450);
  d.scaleUnit = platform::ScaleUnit::Pixels;
  auto w = sim.context().Windows().NewWindow(d, events);
  EXPECT_EQ(w->ScaleWidth(), 1050);
  EXPECT_EQ(w->ScaleHeight(), 630);
  EXPECT_EQ(w->Width(), 15750);
}

TEST(SimWindows, ShowReplacesTheOwnerAndRefusesALoop) {
  SimPlatform sim;
  NoEvents events;
  auto& rt = sim.context().Windows();
  auto a = rt.NewWindow(Design("A"), events);
  auto b = rt.NewWindow(Design("B"), events);
  a->Show(b.get());
  EXPECT_EQ(a->Owner(), b.get());
  a->Show(nullptr);
  EXPECT_EQ(a->Owner(), nullptr);
  b->Show(a.get());
  EXPECT_THROW(a->Show(b.get()), platform::Error);
}

TEST(SimFiles, CaseInsensitiveButKeepsTheCaseItWasGiven) {
  SimPlatform sim;
  auto& files = sim.context().FileSystem();
  files.CreateFolder("C:\\Veltrotarn");
  EXPECT_TRUE(files.Exists("c:\\VELTROTARN"));
  EXPECT_TRUE(files.Exists("C:\\Veltrotarn\\"));
  EXPECT_TRUE(files.Exists("C:/veltrotarn"));
  EXPECT_THROW(files.CreateFolder("C:\\VELTROTARN"), platform::Error);
  const Lines listing = sim.Listing();
  EXPECT_NE(std::find(listing.begin(), listing.end(), "C:\\Veltrotarn\\"), listing.end());
}

TEST(SimFiles, DriveRootsAndRelativePaths) {
  SimPlatform sim;
  sim.AddDrive('D', {platform::kDriveCdRom, false});
  auto& files = sim.context().FileSystem();
  EXPECT_TRUE(files.Exists("C:"));
  EXPECT_TRUE(files.Exists("C:\\"));
  EXPECT_FALSE(files.Exists("D:")) << "a drive without media";
  EXPECT_FALSE(files.Exists("E:"));
  EXPECT_FALSE(files.Exists(""));
  EXPECT_FALSE(files.Exists("Veltrotarn"));
  // A folder on a drive root written with a doubled backslash is the same folder.
  files.CreateFolder("C:\\\\Veltrotarn");
  EXPECT_TRUE(files.Exists("C:\\Veltrotarn"));
}

TEST(SimEnvironment, DriveTypesFollowGetDriveTypeAndTheFileSystemObjectsNumbering) {
  SimPlatform sim;
  sim.RemoveAllDrives();
  sim.AddDrive('A', {platform::kDriveRemovable, true});
  sim.AddDrive('E', {platform::kDriveCdRom, true});
  sim.AddDrive('D', {platform::kDriveFixed, true});
  sim.AddDrive('Z', {platform::kDriveRemote, true});
  auto& env = sim.context().Env();
  EXPECT_EQ(env.DriveType("D:"), platform::kDriveFixed);
  EXPECT_EQ(env.DriveType("d:\\"), platform::kDriveFixed);
  EXPECT_EQ(env.DriveType("C:"), platform::kDriveNoRootDir);
  EXPECT_EQ(env.DriveType("D:\\Windows"), platform::kDriveNoRootDir);
  const auto drives = env.FsoDrives();
  ASSERT_EQ(drives.size(), 4U);
  EXPECT_EQ(drives[0].path, "A:");
  EXPECT_EQ(drives[0].driveType, platform::kFsoDriveRemovable);
  EXPECT_EQ(drives[1].path, "D:");
  EXPECT_EQ(drives[1].driveType, platform::kFsoDriveFixed);
  EXPECT_EQ(drives[2].driveType, platform::kFsoDriveCdRom);
  EXPECT_EQ(drives[3].driveType, platform::kFsoDriveNetwork);
}

TEST(SimProgram, FolderHasNoTrailingBackslashExceptAtADriveRoot) {
  SimPlatform sim;
  auto& program = sim.context().Program();
  sim.SetExePath("D:\\Downloads\\Tarnhold-Setup.v2.exe");
  EXPECT_EQ(program.Folder(), "D:\\Downloads");
  EXPECT_EQ(program.ExeName(), "Tarnhold-Setup.v2");
  sim.SetExePath("E:\\x.exe");
  EXPECT_EQ(program.Folder(), "E:\\");
  EXPECT_THROW(program.End(), ProgramEnded);
}

TEST(SimFailures, FailOnceAlwaysOrForOneDetailOnly) {
  SimPlatform sim;
  auto& files = sim.context().FileSystem();
  sim.Fail("Files.Exists", "C:\\A", 1);
  EXPECT_THROW(files.Exists("C:\\A"), platform::Error);
  EXPECT_NO_THROW(files.Exists("C:\\A"));
  sim.Fail("Files.Exists");
  EXPECT_THROW(files.Exists("C:\\B"), platform::Error);
  EXPECT_THROW(files.Exists("C:\\B"), platform::Error);
  sim.ClearFailures();
  EXPECT_NO_THROW(files.Exists("C:\\B"));
  EXPECT_EQ(sim.TraceOf({"Files."}).size(), 5U) << "a failing call is still recorded";
}

TEST(SimTimers, TickOnlyWhenEnabledAndAnErrorAbandonsTheTickOnly) {
  SimPlatform sim;
  NoEvents events;
  auto w = sim.context().Windows().NewWindow(Design("W"), events);
  int ticks = 0;
  auto t = w->AddTimer(10, false, [&] {
    ++ticks;
    throw platform::Error("in the tick");
  });
  sim.WindowNamed("W").TickTimers();
  EXPECT_EQ(ticks, 0);
  t->SetEnabled(true);
  sim.WindowNamed("W").TickTimers();
  sim.WindowNamed("W").TickTimers();
  EXPECT_EQ(ticks, 2);
}

// What the runtime would end the program for (a bug, memory gone) abandons
// the handler as a platform::Error does, and leaves a word naming it: even
// when the word itself cannot be written.
TEST(SimDispatch, AThrowingHandlerIsAbandonedNamedInTheTraceAndTheProgramGoesOn) {
  SimPlatform sim;
  struct Throws final : platform::ControlEvents {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
    void Click() override { throw 42; }  // NOLINT(hicpp-exception-baseclass): what no handler should throw
  } imageEvents;
  NoEvents events;
  auto w = sim.context().Windows().NewWindow(Design("W"), events);
  platform::ControlDesign image;
  image.name = "Image1";
  image.width = image.height = 300;
  w->AddControl(image, &imageEvents);
  int ticks = 0;
  auto t = w->AddTimer(10, true, [&] {
    ++ticks;
    throw std::logic_error("a bug in the tick");
  });
  auto& window = sim.WindowNamed("W");
  window.TickTimers();
  window.PointerDown(5, 5);
  window.PointerUp(5, 5);
  sim.Fail("Handler.Failed");
  EXPECT_NO_THROW(window.TickTimers()) << "a failing sink fails nothing more";
  EXPECT_EQ(ticks, 2) << "the timer goes on after a failed tick";
  EXPECT_EQ(
      sim.TraceOf({"Handler."}),
      (std::vector<std::string>{"Handler.Failed W.Timer: a bug in the tick",
                                "Handler.Failed W.Image1.Click: an exception that is not a std::exception",
                                "Handler.Failed W.Timer: a bug in the tick"}));
}

}  // namespace
}  // namespace tarnhold::testing
