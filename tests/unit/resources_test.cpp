// The data folder's files, the Flash check and the provisioning of the Flash control.
#include <gtest/gtest.h>

#include "constants.h"
#include "test_support.h"

namespace tarnhold::testing {
namespace {

using platform::sim::SimLibrary;
using Bytes = std::vector<std::uint8_t>;

const std::string kBase = ContentBaseUrl;
const std::string kFolder = "C:\\Veltrotarn";
const char* kProgId = "ShockwaveFlash.ShockwaveFlash";

Bytes Text(const std::string& text) { return {text.begin(), text.end()}; }

Bytes FlashLibrary(const std::string& registers = "finish", bool exported = true) {
  std::map<std::string, std::string> traits{
      {"register", registers}, {"progid", kProgId}, {"version", "WIN 11,9,900,117"}};
  if (exported) traits["export"] = "DllRegisterServer";
  return SimLibrary(traits);
}

struct Resources : ::testing::Test {
  Machine m;
  const Bytes png = Text("\x89PNG frame art");
  const Bytes swf = Text("FWS launcher movie");
  void ServeAll() {
    m.sim.Serve(kBase + "/microClient/bg.png", png);
    m.sim.Serve(kBase + "/bin/Kestrune.swf", swf);
    m.sim.Serve(kBase + "/microClient/flash32.ocx", FlashLibrary());
  }
  Lines Network() const { return m.sim.TraceOf({"Download.", "Resource."}); }
  Lines LibraryCalls() const { return m.sim.TraceOf({"Library."}); }
  // A second start of the same program on the same machine.
  void Restart() {
    m.sim.ClearTrace();
    Program again(m.sim.context());
    try {
      again.Start();
    } catch (const ProgramEnded&) {
    }
  }
};

TEST_F(Resources, AFirstStartStoresBothFilesAsServedAndProvisionsFlash) {
  ServeAll();
  m.Start();
  EXPECT_EQ(m.sim.FileBytes(kFolder + "\\bg.png"), png);
  EXPECT_EQ(m.sim.FileBytes(kFolder + "\\Kestrune.lib"), swf);
  EXPECT_TRUE(m.sim.HasFile(kFolder + "\\flash32.ocx"));
  EXPECT_EQ(
      Network(),
      (Lines{"Resource.Load BG 100",
             "Download.Fetch " + kBase + "/microClient/bg.png -> " + kFolder + "\\bg.png.4242.download",
             "Resource.Load KESTRUNE 100",
             "Download.Fetch " + kBase + "/bin/Kestrune.swf -> " + kFolder + "\\Kestrune.lib.4242.download",
             "Resource.Load FLASH 100",
             "Download.Fetch " + kBase + "/microClient/flash32.ocx -> " + kFolder +
                 "\\flash32.ocx.4242.download"}));
  EXPECT_EQ(LibraryCalls(),
            (Lines{"Library.Load " + kFolder + "\\flash32.ocx", "Library.Export DllRegisterServer",
                   "Library.StartThread", "Library.Wait 10000", "Library.Close", "Library.Free"}));
  for (const std::string& entry : m.sim.Listing())
    EXPECT_EQ(entry.find(".4242.download"), std::string::npos) << entry;
}

TEST_F(Resources, WithEverythingInPlaceAStartTouchesNeitherResourcesNorTheNetwork) {
  ServeAll();
  m.Start();
  Restart();
  EXPECT_TRUE(Network().empty());
  EXPECT_TRUE(LibraryCalls().empty()) << "the registered control is current";
  EXPECT_EQ(m.sim.TraceOf({"ActiveX."}),
            (Lines{"ActiveX.Add Form1 ShockwaveFlash.ShockwaveFlash flash",
                   "ActiveX.Invoke Form1.flash GetVariable($version)", "ActiveX.Remove Form1 flash"}));
}

TEST_F(Resources, AnExistingFileIsNeverReplacedWhateverItHolds) {
  ServeAll();
  m.sim.AddFile(kFolder + "\\bg.png", {});
  m.Start();
  EXPECT_TRUE(m.sim.FileBytes(kFolder + "\\bg.png").empty());
  EXPECT_TRUE(m.sim.TraceOf({"Download.Fetch " + kBase + "/microClient/bg.png"}).empty());
}

TEST_F(Resources, AnErrorPageACutBodyOrNoServerLeavesNoFileAndTheNextStartTriesAgain) {
  m.sim.Serve(kBase + "/microClient/bg.png", png, 404);
  m.sim.ServeCut(kBase + "/bin/Kestrune.swf", swf, 5);
  m.Start();  // flash32.ocx is not served at all
  for (const char* name : {"\\bg.png", "\\Kestrune.lib", "\\flash32.ocx", "\\bg.png.4242.download",
                           "\\Kestrune.lib.4242.download", "\\flash32.ocx.4242.download"}) {
    EXPECT_FALSE(m.sim.HasFile(kFolder + name)) << name;
  }
  EXPECT_EQ(m.sim.TraceOf({"Library."}), (Lines{"Library.Load " + kFolder + "\\flash32.ocx"}))
      << "registration still runs and finds nothing to load";
  ServeAll();
  Restart();
  EXPECT_EQ(m.sim.FileBytes(kFolder + "\\bg.png"), png);
  EXPECT_EQ(m.sim.FileBytes(kFolder + "\\Kestrune.lib"), swf);
  EXPECT_TRUE(m.sim.HasFile(kFolder + "\\flash32.ocx"));
}

TEST_F(Resources, AKilledStartsLeftoverIsNeverUsedAndAnotherRunningStartsDownloadIsLeftAlone) {
  m.sim.AddFile(kFolder + "\\bg.png.4242.download", Text("half of an old"));
  m.sim.AddFile(kFolder + "\\bg.png.777.download", Text("another start's"));
  m.sim.AddFile(kFolder + "\\Kestrune.lib.4242.download", Text("half"));
  m.sim.Serve(kBase + "/microClient/bg.png", png);
  m.sim.Serve(kBase + "/bin/Kestrune.swf", swf, 404);
  m.Start();
  EXPECT_EQ(m.sim.FileBytes(kFolder + "\\bg.png"), png);
  EXPECT_FALSE(m.sim.HasFile(kFolder + "\\Kestrune.lib"));
  EXPECT_FALSE(m.sim.HasFile(kFolder + "\\bg.png.4242.download"));
  EXPECT_FALSE(m.sim.HasFile(kFolder + "\\Kestrune.lib.4242.download"));
  EXPECT_EQ(m.sim.FileBytes(kFolder + "\\bg.png.777.download"), Text("another start's"));
}

// With the build's digest of the Flash control, a served control that is
// whole but another one is neither stored nor loaded: the start-up goes on
// as after a failed download. The control the digest names is taken.
TEST_F(Resources, ADownloadedControlWhoseDigestDiffersIsNeitherStoredNorLoaded) {
  ServeAll();
  // The SHA-256 of "abc", not of the served control.
  m.program.FlashSha256 = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  EXPECT_FALSE(m.Start());
  EXPECT_FALSE(m.sim.HasFile(kFolder + "\\flash32.ocx"));
  EXPECT_FALSE(m.sim.HasFile(kFolder + "\\flash32.ocx.4242.download"));
  EXPECT_EQ(LibraryCalls(), (Lines{"Library.Load " + kFolder + "\\flash32.ocx"}));
  EXPECT_TRUE(m.sim.WindowNamed("Form2").OnScreen());

  Machine pinned;
  pinned.sim.Serve(kBase + "/microClient/flash32.ocx", FlashLibrary());
  pinned.sim.AddFile("C:\\expected.ocx", FlashLibrary());
  pinned.program.FlashSha256 = pinned.sim.context().FileSystem().Sha256("C:\\expected.ocx");
  pinned.Start();
  EXPECT_EQ(pinned.sim.FileBytes(kFolder + "\\flash32.ocx"), FlashLibrary());
  EXPECT_EQ(pinned.sim.TraceOf({"Library.Free"}).size(), 1U) << "loaded and registered";
}

struct VersionCase {
  const char* text;
  bool tooOld;
  friend void PrintTo(const VersionCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }
};

class FlashVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(FlashVersion, IsComparedNumericallyByItsFirstTwoFieldsAndEveryFailureCountsAsOld) {
  const VersionCase c = GetParam();
  Machine m;
  m.sim.RegisterProgId(kProgId, c.text);
  m.sim.Serve(kBase + "/microClient/flash32.ocx", FlashLibrary());
  m.Start();
  EXPECT_EQ(!m.sim.TraceOf({"Library.Load"}).empty(), c.tooOld);
  EXPECT_EQ(m.sim.TraceOf({"ActiveX.Remove Form1 flash"}).size(), 1U) << "the test control goes either way";
  EXPECT_EQ(m.sim.LiveActiveX(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FlashVersion,
    ::testing::Values(VersionCase{"WIN 11,9,900,117", false}, VersionCase{"WIN 11,8,800,94", true},
                      VersionCase{"WIN 10,3,183,90", true}, VersionCase{"WIN 12,0,0,0", false},
                      VersionCase{"WIN 11,10,0,0", false}, VersionCase{"WIN 11,9", false},
                      VersionCase{"LNX 9,0,115,0", true}, VersionCase{"WIN11,9,900,117", true},
                      VersionCase{"WIN 11", true}, VersionCase{"WIN x,9,0,0", true},
                      VersionCase{"WIN 11,y,0,0", true}, VersionCase{"", true}));

TEST_F(Resources, AnUnreadableVersionCountsAsOldAndTheControlIsStillRemoved) {
  m.sim.RegisterProgId(kProgId, "WIN 11,9,900,117");
  m.sim.Fail("ActiveX.Invoke");
  m.Start();
  EXPECT_EQ(m.sim.TraceOf({"Library.Load"}).size(), 1U);
  EXPECT_EQ(m.sim.TraceOf({"ActiveX.Remove Form1 flash"}).size(), 1U);
}

TEST_F(Resources, WithoutAControlFlashIsProvisionedAndNothingIsRemoved) {
  ServeAll();
  m.Start();
  EXPECT_TRUE(m.sim.TraceOf({"ActiveX.Remove"}).empty());
  EXPECT_EQ(m.sim.TraceOf({"Library.Free"}).size(), 1U);
  // The registration made the control creatable: the next start finds it current.
  Restart();
  EXPECT_TRUE(m.sim.TraceOf({"Library."}).empty());
}

TEST_F(Resources, APresentLibraryIsRegisteredAgainWithoutADownloadWhileTheControlIsOld) {
  m.sim.AddFile(kFolder + "\\flash32.ocx", FlashLibrary("fail"));
  m.sim.RegisterProgId(kProgId, "WIN 11,8,800,94");
  m.Start();
  Restart();
  EXPECT_TRUE(m.sim.TraceOf({"Download.Fetch " + kBase + "/microClient/flash32.ocx"}).empty());
  EXPECT_EQ(LibraryCalls(),
            (Lines{"Library.Load " + kFolder + "\\flash32.ocx", "Library.Export DllRegisterServer",
                   "Library.StartThread", "Library.Wait 10000", "Library.Close", "Library.Free"}))
      << "a failure code is not examined: the handle is closed and the library freed";
}

TEST_F(Resources, ALibraryWithoutTheExportIsFreedAndNothingRuns) {
  m.sim.AddFile(kFolder + "\\flash32.ocx", FlashLibrary("finish", false));
  m.Start();
  EXPECT_EQ(LibraryCalls(), (Lines{"Library.Load " + kFolder + "\\flash32.ocx",
                                   "Library.Export DllRegisterServer", "Library.Free"}));
  EXPECT_EQ(m.sim.LoadedLibraries(), 0);
}

TEST_F(Resources, AWorkerThatOutlastsTheWaitKeepsItsLibraryLoaded) {
  m.sim.AddFile(kFolder + "\\flash32.ocx", FlashLibrary("hang"));
  EXPECT_FALSE(m.Start()) << "the start-up goes on to the login screen";
  EXPECT_EQ(LibraryCalls(),
            (Lines{"Library.Load " + kFolder + "\\flash32.ocx", "Library.Export DllRegisterServer",
                   "Library.StartThread", "Library.Wait 10000", "Library.Close"}));
  EXPECT_EQ(m.sim.LoadedLibraries(), 1);
  EXPECT_TRUE(m.sim.WindowNamed("Form2").OnScreen());
}

TEST_F(Resources, AFailureInsideTheProvisioningDoesNotStopTheRemovalOfTheTestControl) {
  m.sim.RegisterProgId(kProgId, "WIN 10,0,0,0");
  m.sim.Fail("Library.Load");
  m.Start();
  EXPECT_EQ(m.sim.TraceOf({"ActiveX.Remove Form1 flash"}).size(), 1U);
}

TEST_F(Resources, TheStagesComeBeforeGdiplusAndTheFrame) {
  ServeAll();
  m.Start();
  const Lines order = m.sim.TraceOf(
      {"Files.CreateFolder C:\\Veltrotarn", "Download.Fetch", "ActiveX.Add Form1", "Gdiplus.Startup"});
  ASSERT_EQ(order.size(), 6U);
  EXPECT_EQ(order.front(), "Files.CreateFolder C:\\Veltrotarn");
  EXPECT_EQ(order[3], "ActiveX.Add Form1 ShockwaveFlash.ShockwaveFlash flash");
  EXPECT_EQ(order.back(), "Gdiplus.Startup");
}

}  // namespace
}  // namespace tarnhold::testing
