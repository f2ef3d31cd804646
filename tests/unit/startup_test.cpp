// The start-up window's load and unload handlers, and the two ways the program ends.
#include <gtest/gtest.h>

#include "constants.h"
#include "mod_main.h"
#include "test_support.h"

namespace tarnhold::testing {
namespace {

TEST(BuildFolder, IsAnAbsolutePathOnFWhoseLastTwoLevelsAreTheDevFolderAndAProject) {
  const std::string folder = BuildFolder;
  ASSERT_EQ(folder.rfind("F:\\", 0), 0U);
  const auto last = folder.find_last_of('\\');
  const auto previous = folder.find_last_of('\\', last - 1);
  EXPECT_EQ(folder.substr(previous + 1, last - previous - 1), "\xE5\xBE\xAE\xE7\xAB\xAF");
  EXPECT_GT(folder.size(), last + 1);
}

struct BuildFolderCase {
  const char* exePath;
  bool usesOwnFolder;
  friend void PrintTo(const BuildFolderCase& c, std::ostream* os) { *os << c.exePath; }
};

class BuildFolderRule : public ::testing::TestWithParam<BuildFolderCase> {};

TEST_P(BuildFolderRule, OnlyAFolderWhosePathLiesWithinTheBuildFolderKeepsItsFilesBesideItself) {
  const BuildFolderCase c = GetParam();
  Machine m;
  m.sim.AddDrive('F', {platform::kDriveFixed, true});
  m.sim.AddFolder(BuildFolder + std::string("\\bin"));
  m.sim.SetExePath(c.exePath);
  m.Start();
  const std::string own = m.sim.context().Program().Folder();
  if (c.usesOwnFolder) {
    EXPECT_EQ(m.program.DataFolder, own);
    EXPECT_TRUE(m.sim.TraceOf({"Files.CreateFolder"}).empty()) << "no Veltrotarn sub-folder is made";
  } else {
    EXPECT_EQ(m.program.DataFolder, "C:\\Veltrotarn");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, BuildFolderRule,
    ::testing::Values(BuildFolderCase{"F:\\Projekte\\\xE5\xBE\xAE\xE7\xAB\xAF\\Veltrotarn\\a.exe", true},
                      BuildFolderCase{"F:\\Projekte\\\xE5\xBE\xAE\xE7\xAB\xAF\\a.exe", true},
                      BuildFolderCase{"F:\\Projekte\\a.exe", true}, BuildFolderCase{"F:\\a.exe", true},
                      // A sub-folder merely begins with the build folder.
                      BuildFolderCase{"F:\\Projekte\\\xE5\xBE\xAE\xE7\xAB\xAF\\Veltrotarn\\bin\\a.exe",
                                      false},
                      // The comparison is case-sensitive.
                      BuildFolderCase{"F:\\projekte\\a.exe", false},
                      BuildFolderCase{"C:\\Users\\Player\\Downloads\\a.exe", false}));

TEST(DataFolder, AnExistingOneIsUsedUnchangedAndOnlyAMissingOneIsCreated) {
  Machine existing;
  existing.sim.AddFolder("C:\\Veltrotarn");
  existing.Start();
  const std::string made = "Files.CreateFolder C:\\Veltrotarn";
  EXPECT_TRUE(existing.sim.TraceOf({made}).empty());

  Machine missing;
  missing.Start();
  EXPECT_EQ(missing.sim.TraceOf({made}), Lines{made});

  Machine aFile;  // a file of that name "exists" as far as the test is concerned
  aFile.sim.AddFile("C:\\Veltrotarn");
  aFile.Start();
  EXPECT_TRUE(aFile.sim.TraceOf({made}).empty());
}

TEST(LoadHandler, LoadsTheWindowsInOrderAndGivesEachTheTitleAndTheFramesIcon) {
  Machine m;
  EXPECT_FALSE(m.Start());
  EXPECT_EQ(m.sim.TraceOf({"Window.New"}), (Lines{"Window.New Form1", "Window.New Form2", "Window.New Form3",
                                                  "Window.New Small_But", "Window.New Close_But"}));
  const std::string icon = std::to_string(m.sim.ProgramIconValue());
  EXPECT_EQ(m.sim.TraceOf({"Window.SetCaption", "Window.SetIcon"}),
            (Lines{"Window.SetCaption Form1 \"Tarnhold\"", "Window.SetCaption Form2 \"Tarnhold\"",
                   "Window.SetCaption Form3 \"Tarnhold\"", "Window.SetCaption Small_But \"Tarnhold\"",
                   "Window.SetCaption Close_But \"Tarnhold\"", "Window.SetIcon Form2 " + icon,
                   "Window.SetIcon Form3 " + icon, "Window.SetIcon Small_But " + icon,
                   "Window.SetIcon Close_But " + icon}));
}

TEST(LoadHandler, ShowsTheFrameWhenTheLoginPageLoadsThenTheLoginScreen) {
  Machine m;
  m.Start();
  EXPECT_EQ(
      m.sim.TraceOf({"Window.Show", "Window.Hide"}),
      (Lines{"Window.Show Form1 owner=none", "Window.Show Form2 owner=none", "Window.Show Form1 owner=Form2",
             "Window.Show Close_But owner=Form1", "Window.Show Small_But owner=Form1", "Window.Hide Form3"}));
  for (const char* name : {"Form1", "Form2", "Close_But", "Small_But"}) {
    EXPECT_TRUE(m.sim.WindowNamed(name).OnScreen()) << name;
  }
  EXPECT_FALSE(m.sim.WindowNamed("Form3").OnScreen());
}

TEST(LoadHandler, RunsTheStagesInTheirOrder) {
  Machine m;
  m.Start();
  const Lines order = m.sim.TraceOf({"Files.CreateFolder", "Gdiplus.Startup", "Window.SetCaption Form1",
                                     "Window.SetLeft Form1", "Window.SetTop Form1", "Window.SetLeft Form2",
                                     "Window.Show Form2"});
  EXPECT_EQ(
      order,
      (Lines{"Files.CreateFolder C:\\Veltrotarn",
             std::string("Files.CreateFolder C:\\Users\\Player\\AppData\\Roaming\\Microsoft\\Windows\\") +
                 "Start Menu\\Programs\\Tarnhold",
             "Gdiplus.Startup", "Window.SetCaption Form1 \"Tarnhold\"", "Window.SetLeft Form1 1740",
             "Window.SetTop Form1 2970", "Window.SetLeft Form2 6330", "Window.Show Form2 owner=none"}));
}

TEST(LoadHandler, CentresTheFrameOnePixelRightAndBelowTheCentre) {
  Machine m;
  m.sim.SetScreenPixels(1920, 1080);
  m.Start();
  auto& frame = m.sim.WindowNamed("Form1");
  EXPECT_EQ(frame.Left(), (1920 - 1050) / 2 * 15 + 15);
  EXPECT_EQ(frame.Top(), (1080 - 630) / 2 * 15 + 15);
}

TEST(LoadHandler, OnAnOddScreenTheCentredPlaceIsRoundedToAWholePixel) {
  Machine m;
  m.sim.SetScreenPixels(1281, 1025);
  m.Start();
  auto& frame = m.sim.WindowNamed("Form1");
  // 116.5 and 198.5 pixels: a half goes to the even neighbour.
  EXPECT_EQ(frame.Left(), 116 * 15);
  EXPECT_EQ(frame.Top(), 198 * 15);
}

TEST(LoadHandler, ThePlacementTickPutsTheAttachedWindowsAtTheirPixelOffsets) {
  Machine m;
  m.Start();
  auto& frame = m.sim.WindowNamed("Form1");
  auto check = [&] {
    EXPECT_EQ(m.sim.WindowNamed("Form2").Left(), frame.Left() + 306 * 15);
    EXPECT_EQ(m.sim.WindowNamed("Form2").Top(), frame.Top() + 89 * 15);
    EXPECT_EQ(m.sim.WindowNamed("Small_But").Left(), frame.Left() + 883 * 15);
    EXPECT_EQ(m.sim.WindowNamed("Small_But").Top(), frame.Top() + 62 * 15);
    EXPECT_EQ(m.sim.WindowNamed("Close_But").Left(), frame.Left() + 911 * 15);
    EXPECT_EQ(m.sim.WindowNamed("Close_But").Top(), frame.Top() + 59 * 15);
  };
  check();
  frame.SetLeft(3000);
  frame.SetTop(45);
  frame.TickTimers();
  check();
}

TEST(LoadHandler, AFailingStatementIsSkippedWithoutSkippingTheNext) {
  Machine m;
  m.sim.Fail("Files.CreateFolder");
  m.sim.Fail("Window.SetCaption", "Form3 \"Tarnhold\"");
  m.sim.Fail("Window.SetIcon", "Form2 " + std::to_string(m.sim.ProgramIconValue()));
  EXPECT_FALSE(m.Start());
  EXPECT_EQ(m.sim.TraceOf({"Window.SetCaption", "Window.SetIcon Form3"}),
            (Lines{"Window.SetCaption Form1 \"Tarnhold\"", "Window.SetCaption Form2 \"Tarnhold\"",
                   "Window.SetCaption Form3 \"Tarnhold\"", "Window.SetCaption Small_But \"Tarnhold\"",
                   "Window.SetCaption Close_But \"Tarnhold\"",
                   "Window.SetIcon Form3 " + std::to_string(m.sim.ProgramIconValue())}));
  EXPECT_TRUE(m.sim.WindowNamed("Close_But").OnScreen()) << "the login screen is still shown";
  EXPECT_EQ(m.sim.TraceOf({"Gdiplus.Startup"}).size(), 1U) << "steps after the failed one ran";
}

TEST(LoadHandler, AFailingLoadHandlerAbandonsOnlyTheStatementThatLoadedTheWindow) {
  Machine m;
  // Form2's load handler shows the frame; make that fail.
  m.sim.Fail("Window.Show", "Form1 owner=none", 1);
  m.Start();
  const Lines captions = m.sim.TraceOf({"Window.SetCaption"});
  EXPECT_EQ(std::count(captions.begin(), captions.end(), "Window.SetCaption Form2 \"Tarnhold\""), 0);
  EXPECT_EQ(m.sim.TraceOf({"Window.New"}).size(), 5U);
  EXPECT_EQ(m.sim.TraceOf({"Window.SetIcon Form2"}).size(), 1U) << "Form2 stays loaded and is reused";
}

TEST(LoadHandler, WhenGdiplusDoesNotStartTheStartUpGoesOnAndTheTokenStaysZero) {
  Machine m;
  m.sim.SetGdiplusStatus(2);
  m.Start();
  EXPECT_EQ(m.program.form1().GdiplusToken, 0U);
  EXPECT_TRUE(m.sim.WindowNamed("Form2").OnScreen());
}

TEST(Ending, ASystemCloseOfTheFrameRunsTheUnloadHandlerAndEnds) {
  Machine m;
  m.Start();
  const std::uint32_t token = m.program.form1().GdiplusToken;
  ASSERT_NE(token, 0U);
  m.sim.ClearTrace();
  EXPECT_THROW(m.sim.WindowNamed("Form1").RaiseCloseRequest(), ProgramEnded);
  EXPECT_EQ(m.sim.TraceOf({"Gdiplus.", "Program.End"}),
            (Lines{"Gdiplus.Shutdown " + std::to_string(token), "Program.End"}));
}

TEST(Ending, TheUnloadHandlerEndsEvenWhenItsStepsFail) {
  Machine m;
  m.Start();
  m.sim.Fail("Gdiplus.Shutdown");
  EXPECT_THROW(m.sim.WindowNamed("Form1").RaiseCloseRequest(), ProgramEnded);
}

TEST(Ending, TheCloseButtonStopsTheFramesTimerAndEndsWithoutTheUnloadHandler) {
  Machine m;
  m.Start();
  m.sim.ClearTrace();
  EXPECT_THROW(m.sim.WindowNamed("Close_But").ControlNamed("Image2").RaiseClick(), ProgramEnded);
  EXPECT_TRUE(InOrder(m.sim.Trace(), {"Timer.SetEnabled Form1.Timer off", "Program.End"}));
  EXPECT_TRUE(m.sim.TraceOf({"Gdi"}).empty()) << "no unload handler: no GDI+ shut-down, no frame released";
  EXPECT_FALSE(m.program.form1().UninstallOnExit);
}

TEST(Ending, EveryClickOnTheCloseButtonEnds) {
  for (int where = 0; where < 3; ++where) {
    Machine m;
    m.Start();
    auto& button = m.sim.WindowNamed("Close_But");
    if (where == 0) {
      EXPECT_THROW(button.RaiseClick(), ProgramEnded);
    } else {
      EXPECT_THROW(button.ControlNamed(where == 1 ? "Image1" : "Image2").RaiseClick(), ProgramEnded);
    }
  }
}

TEST(Ending, AltF4OnTheLoginPageOrAButtonClosesLikeTheFrame) {
  for (const char* name : {"Form2", "Close_But", "Small_But"}) {
    Machine m;
    m.Start();
    m.sim.ClearTrace();
    EXPECT_THROW(m.sim.WindowNamed(name).RaiseCloseRequest(), ProgramEnded) << name;
    EXPECT_EQ(m.sim.TraceOf({"Gdiplus.Shutdown"}).size(), 1U) << name;
  }
}

TEST(Ending, TheGameWindowNeverEndsTheProgram) {
  Machine m;
  m.Start();
  const std::int32_t game = 1;
  modMain::SwitchScreen(m.program, game);
  EXPECT_NO_THROW(m.sim.WindowNamed("Form3").RaiseCloseRequest());
  EXPECT_FALSE(m.sim.WindowNamed("Form3").OnScreen());
  EXPECT_TRUE(m.sim.WindowNamed("Form1").OnScreen()) << "back on the login screen";
}

TEST(UninstallStart, ShowsNothingFetchesNothingAndEndsThroughTheUnloadHandler) {
  Machine m;
  m.sim.SetCommandLine("del");
  EXPECT_TRUE(m.Start());
  EXPECT_TRUE(m.program.form1().UninstallOnExit);
  // The unload handler's release finds nothing drawn and fails quietly; then
  // the uninstall, then the end.
  const Lines trace = m.sim.Trace();
  ASSERT_FALSE(trace.empty());
  EXPECT_TRUE(InOrder(trace, {"Window.New Form1", "Window.AddTimer Form1 10 on", "Program.CommandLine",
                              "Gdiplus.Shutdown 0", "Gdi.SelectObject", "Gdi.DeleteObject", "Gdi.DeleteDC",
                              "Shell.CreateScriptShell Wscript.shell"}));
  EXPECT_EQ(trace.back(), "Program.End");
  EXPECT_TRUE(m.sim.TraceOf({"Window.Show", "Download.", "ActiveX."}).empty());
  EXPECT_FALSE(m.sim.HasFolder("C:\\Veltrotarn"));
}

TEST(UninstallStart, OnlyTheOneArgumentCounts) {
  for (const char* args : {" del ", "del"}) {
    Machine m;
    m.sim.SetCommandLine(args);
    EXPECT_TRUE(m.Start()) << '"' << args << '"';
  }
  for (const char* args : {"", "delete", "del x", "/del", "DEL"}) {
    Machine m;
    m.sim.SetCommandLine(args);
    EXPECT_FALSE(m.Start()) << '"' << args << '"';
    EXPECT_FALSE(m.program.form1().UninstallOnExit);
    EXPECT_TRUE(m.sim.WindowNamed("Form2").OnScreen());
  }
}

TEST(UninstallStart, AnUnreadableCommandLineIsANormalStart) {
  Machine m;
  m.sim.Fail("Program.CommandLine");
  EXPECT_FALSE(m.Start());
  EXPECT_FALSE(m.program.form1().UninstallOnExit);
}

// Pressed as the pointer arrives, the hover tick swapping the pictures before
// the release. The frame is owned and has no taskbar button: the whole login
// screen goes down, and the page's button (SC_RESTORE) brings all four back
// at their places.
TEST(FrameButtons, MinimiseTakesTheLoginScreenDownAndThePagesTaskbarButtonBringsItBack) {
  Machine m;
  m.Start();
  platform::sim::SimWindow& frame = m.sim.WindowNamed("Form1");
  platform::sim::SimWindow& small = m.sim.WindowNamed("Small_But");
  small.PointerDown(10, 10);
  small.TickTimers();
  ASSERT_TRUE(small.ControlNamed("Image2").Visible());
  small.PointerUp(10, 10);
  EXPECT_EQ(frame.State(), platform::WindowState::Minimized);
  EXPECT_EQ(m.sim.WindowNamed("Form2").State(), platform::WindowState::Minimized);
  EXPECT_FALSE(m.sim.WindowNamed("Close_But").OnScreen());
  EXPECT_FALSE(small.OnScreen());

  m.sim.WindowNamed("Form2").SystemRestore();
  EXPECT_EQ(frame.State(), platform::WindowState::Normal);
  for (const char* name : {"Form1", "Form2", "Close_But", "Small_But"}) {
    EXPECT_TRUE(m.sim.WindowNamed(name).OnScreen()) << name;
  }
  frame.TickTimers();
  EXPECT_EQ(small.Left(), frame.Left() + 883 * 15);
  EXPECT_EQ(small.Top(), frame.Top() + 62 * 15);
  EXPECT_EQ(m.sim.WindowNamed("Form2").Left(), frame.Left() + 306 * 15);
}

TEST(FrameButtons, TheHoverTickComparesStrictlyInUnroundedPixels) {
  Machine m;
  m.Start();
  auto& button = m.sim.WindowNamed("Close_But");
  const int left = static_cast<int>(button.Left() / 15);
  const int top = static_cast<int>(button.Top() / 15);
  auto hoverAt = [&](int x, int y) {
    m.sim.SetCursor(x, y);
    button.TickTimers();
    EXPECT_NE(button.ControlNamed("Image1").Visible(), button.ControlNamed("Image2").Visible());
    return button.ControlNamed("Image2").Visible();
  };
  EXPECT_TRUE(hoverAt(left + 14, top + 14));
  EXPECT_FALSE(hoverAt(left, top + 14)) << "on the left border line";
  EXPECT_FALSE(hoverAt(left + 28, top + 14)) << "on the right border line";
  EXPECT_FALSE(hoverAt(left + 14, top + 28)) << "on the bottom border line";
  EXPECT_TRUE(hoverAt(left + 1, top + 27));
  // The picture lags the pointer until the next tick.
  m.sim.SetCursor(0, 0);
  EXPECT_TRUE(button.ControlNamed("Image2").Visible());
}

}  // namespace
}  // namespace tarnhold::testing
