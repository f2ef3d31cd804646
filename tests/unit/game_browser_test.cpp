// The game window's browser catching the launcher page, and the window's life cycle.
#include <gtest/gtest.h>

#include "constants.h"
#include "mod_main.h"
#include "test_support.h"

namespace tarnhold::testing {
namespace {

const std::string kBase = ContentBaseUrl;
const std::string kLauncher = kBase + "/bin/Kestrune.html?serverid=7&username=ab";

struct GameBrowser : ::testing::Test {
  Machine m;
  platform::sim::SimBrowser* browser = nullptr;
  void SetUp() override {
    m.sim.RegisterProgId("ShockwaveFlash.ShockwaveFlash", "WIN 11,9,900,117");
    ASSERT_FALSE(m.Start());
    m.sim.WindowNamed("Form2").BrowserNamed("WebBrowser1").RaiseBeforeNavigate2(kBase + "/entry");
    browser = &m.sim.WindowNamed("Form3").BrowserNamed("WebBrowser1");
    m.sim.ClearTrace();
  }
  Form3& game() { return m.program.form3(); }
  std::size_t FlashAdds() const { return m.sim.TraceOf({"ActiveX.Add"}).size(); }
};

TEST_F(GameBrowser, TheLauncherIsCancelledInBeforeNavigate2AndCaughtOnce) {
  EXPECT_TRUE(browser->RaiseBeforeNavigate2(kLauncher));
  EXPECT_TRUE(game().JumpDone);
  EXPECT_EQ(game().ServerId, "7");
  EXPECT_FALSE(browser->Visible());
  EXPECT_EQ(m.sim.TraceOf({"Browser.Navigate", "Browser.SetVisible", "ActiveX.Add"}),
            (Lines{"ActiveX.Add Form3 ShockwaveFlash.ShockwaveFlash flash",
                   "Browser.Navigate2 Form3.WebBrowser1 " + std::string(LoginUrl),
                   "Browser.SetVisible Form3.WebBrowser1 false"}));
  // The later events of the same entry do nothing.
  EXPECT_FALSE(browser->RaiseBeforeNavigate2(kLauncher));
  browser->RaiseDocumentComplete(kLauncher);
  browser->SetLocation(kLauncher);
  browser->RaiseBeforeScriptExecute();
  EXPECT_EQ(FlashAdds(), 1U);
  // The navigation back to the login page passes.
  EXPECT_FALSE(browser->RaiseBeforeNavigate2(LoginUrl));
}

TEST_F(GameBrowser, WhicheverEventFirstShowsTheLauncherWinsAlsoInASubFrame) {
  EXPECT_FALSE(browser->RaiseBeforeNavigate2(kBase + "/lobby"));
  browser->RaiseDocumentComplete("http://ads.example/frame" + std::string(LauncherPage) + "?serverid=4");
  EXPECT_TRUE(game().JumpDone);
  EXPECT_EQ(game().ServerId, "4");
  EXPECT_FALSE(browser->RaiseBeforeNavigate2(kLauncher));
  EXPECT_EQ(FlashAdds(), 1U);
}

TEST_F(GameBrowser, BeforeScriptExecuteReadsTheBrowsersOwnAddress) {
  browser->SetLocation(kBase + "/lobby");
  browser->RaiseBeforeScriptExecute();
  EXPECT_FALSE(game().JumpDone);
  browser->SetLocation(kBase + "/bin/Kestrune.html?serverid=12&username=q");
  browser->RaiseBeforeScriptExecute();
  EXPECT_TRUE(game().JumpDone);
  EXPECT_EQ(game().ServerId, "12");
  EXPECT_EQ(m.sim.TraceOf({"Browser.LocationURL"}).size(), 3U) << "read once more for the jump";
}

TEST_F(GameBrowser, TheLauncherPathInAnotherLetterCaseIsNotCaught) {
  EXPECT_FALSE(browser->RaiseBeforeNavigate2(kBase + "/BIN/Kestrune.html?serverid=7"));
  browser->RaiseDocumentComplete(kBase + "/bin/kestrune.html?serverid=7");
  EXPECT_FALSE(game().JumpDone);
  EXPECT_EQ(FlashAdds(), 0U);
}

TEST_F(GameBrowser, ARefreshEntersAgainAndTheNextLauncherReplacesThePlayer) {
  browser->RaiseBeforeNavigate2(kLauncher);
  for (int i = 0; i < 100; ++i) {
    game().EnterToGame(game().GameUrl);
    EXPECT_TRUE(browser->Visible());
    EXPECT_FALSE(game().JumpDone);
    EXPECT_TRUE(browser->RaiseBeforeNavigate2(kLauncher));
  }
  EXPECT_EQ(m.sim.LiveActiveX(), 1);
  EXPECT_EQ(FlashAdds(), 101U);
}

TEST_F(GameBrowser, EnteringHidesTheLinkButtonsForGood) {
  for (const char* name : {"Image_Charge", "Image_Web", "Image_BBS"}) {
    EXPECT_FALSE(game().ControlNamed(name).Visible()) << name;
  }
  EXPECT_TRUE(game().ControlNamed("Image_Clear").Visible());
}

TEST_F(GameBrowser, ASystemCloseReturnsToTheLoginScreenAndStopsTheGame) {
  browser->RaiseBeforeNavigate2(kLauncher);
  ASSERT_EQ(m.sim.LiveActiveX(), 1);
  m.sim.WindowNamed("Form3").RaiseCloseRequest();
  EXPECT_EQ(m.sim.LiveActiveX(), 0);
  EXPECT_EQ(game().FlashObject, nullptr);
  EXPECT_TRUE(m.sim.WindowNamed("Form2").OnScreen());
  EXPECT_FALSE(m.sim.WindowNamed("Form3").OnScreen());
  EXPECT_FALSE(m.program.form2().HandOverDone);
  EXPECT_EQ(m.sim.TraceOf({"Shell.NotifyIcon"}), (Lines{"Shell.NotifyIcon 2 88 bytes"}));
}

TEST_F(GameBrowser, TheSecondShowingOpensOnTheWorkAreaWithAnEmptyTitle) {
  browser->RaiseBeforeNavigate2(kLauncher);
  ASSERT_EQ(game().ControlNamed("Label1").Caption(), "Tarnhold 7 Server");
  const std::int32_t login = 0;
  const std::int32_t gameScreen = 1;
  modMain::SwitchScreen(m.program, login);
  game().Window().SetWidth(6000);
  game().Maximized = false;
  m.sim.SetWorkArea({100, 50, 1380, 1000});  // a taskbar at the top and left
  modMain::SwitchScreen(m.program, gameScreen);
  EXPECT_EQ(game().ControlNamed("Label1").Caption(), "");
  EXPECT_TRUE(game().Maximized);
  EXPECT_FALSE(game().FullScreen);
  EXPECT_FALSE(game().FrameSizable);
  EXPECT_EQ(game().Window().Left(), 1500);
  EXPECT_EQ(game().Window().Top(), 750);
  EXPECT_EQ(game().Window().Width(), 19200);
  EXPECT_EQ(game().Window().Height(), 14250);
}

TEST_F(GameBrowser, TheNormalBoundsAreRememberedOnlyTheFirstTime) {
  // The first showing saved the window's bounds as they were before the work area.
  EXPECT_EQ(game().NormalLeft, 0);
  EXPECT_EQ(game().NormalTop, 0);
  EXPECT_EQ(game().NormalWidth, 15000);
  EXPECT_EQ(game().NormalHeight, 10500);
  const std::int32_t login = 0;
  const std::int32_t gameScreen = 1;
  modMain::SwitchScreen(m.program, login);
  modMain::SwitchScreen(m.program, gameScreen);
  EXPECT_EQ(game().NormalWidth, 15000) << "not overwritten by the maximised bounds";
}

TEST_F(GameBrowser, OpeningDisablesFrameSizingAndRunsTheHoverPassAtOnce) {
  const std::int32_t login = 0;
  const std::int32_t gameScreen = 1;
  modMain::SwitchScreen(m.program, login);
  m.sim.ClearTrace();
  modMain::SwitchScreen(m.program, gameScreen);
  EXPECT_EQ(m.sim.TraceOf({"Control.SetPointer"}),
            (Lines{"Control.SetPointer Form3.bg_left 0", "Control.SetPointer Form3.bg_right 0",
                   "Control.SetPointer Form3.bg_bottom 0"}));
  EXPECT_EQ(m.sim.TraceOf({"Window.CursorPos"}).size(), 1U);
  EXPECT_FALSE(game().ToolbarRefresh) << "the pointer is not on the title strip";
}

TEST_F(GameBrowser, TheHoverTimerRunsOnlyWhileThereIsSomethingToTrack) {
  EXPECT_FALSE(game().Timer1().Enabled()) << "the pointer was off the title strip";
  // The pointer in the middle of the close button, on the maximised window.
  const platform::Window& w = game().Window();
  m.sim.SetCursor(static_cast<int>((w.Left() + w.ScaleWidth() - 165) / 15),
                  static_cast<int>(w.Top() / 15) + 14);
  game().DisableFrameSizing();
  EXPECT_TRUE(game().ToolbarRefresh);
  EXPECT_TRUE(game().Timer1().Enabled());
  EXPECT_TRUE(game().ControlNamed("Image_Close_2").Visible());
  EXPECT_FALSE(game().ControlNamed("Image_Close_1").Visible());
  m.sim.SetCursor(0, 500);
  m.sim.WindowNamed("Form3").TickTimers();
  EXPECT_FALSE(game().ToolbarRefresh);
  EXPECT_FALSE(game().Timer1().Enabled());
  EXPECT_TRUE(game().ControlNamed("Image_Close_1").Visible());
}

TEST_F(GameBrowser, TheLayoutFollowsTheWindowsSize) {
  game().Window().SetWidth(9000);
  const double sw = game().Window().ScaleWidth();
  EXPECT_EQ(game().ControlNamed("bg_top").Width(), sw);
  EXPECT_EQ(game().ControlNamed("bg_right").Left(), sw - 60);
  EXPECT_EQ(game().ControlNamed("Image_Close_1").Left(), sw - 330);
  EXPECT_EQ(game().ControlNamed("Image_fush_2").Left(), sw - 1650);
  EXPECT_EQ(game().ControlNamed("Image_Clear").Left(), sw - 2300);
  EXPECT_EQ(game().ControlNamed("Image_BBS").Left(), sw - 4250);
  EXPECT_EQ(game().ControlNamed("bg_left").Height(), game().ControlNamed("bg_right").Height());
}

TEST_F(GameBrowser, TheTenWindowButtonImagesLieAtTheTopEdge) {
  for (const char* name : {"Image_Close_1", "Image_Close_2", "Image_max_1", "Image_max_2", "Image_full_1",
                           "Image_full_2", "Image_min_1", "Image_min_2", "Image_fush_1", "Image_fush_2"}) {
    EXPECT_EQ(game().ControlNamed(name).Top(), 0) << name;
  }
}

}  // namespace
}  // namespace tarnhold::testing
