// The game's entry: the launcher address taken apart, the title, the flash
// variables and the player's properties, and the escaping of the query.
#include <gtest/gtest.h>

#include "constants.h"
#include "mod_main.h"
#include "test_support.h"

namespace tarnhold::testing {
namespace {

const std::string kHost = ContentBaseUrl;

struct GameEntry : ::testing::Test {
  Machine m;
  void SetUp() override {
    m.sim.RegisterProgId("ShockwaveFlash.ShockwaveFlash", "WIN 11,9,900,117");
    ASSERT_FALSE(m.Start());
    m.sim.ClearTrace();
  }
  Form3& game() { return m.program.form3(); }
  platform::sim::SimActiveX* flash() { return m.sim.WindowNamed("Form3").ActiveXNamed("flash"); }
  std::string Escape(const std::string& text) { return modMain::UrlEscape(m.program, text); }
};

TEST_F(GameEntry, TheWorkedExampleExactly) {
  game().JumpToGame(kHost + "/bin/Kestrune.html?serverid=7&username=ab");
  EXPECT_EQ(game().ServerId, "7");
  EXPECT_EQ(game().UserName, "ab");
  EXPECT_EQ(game().ControlNamed("Label1").Caption(), "Tarnhold 7 Server");
  ASSERT_NE(flash(), nullptr);
  EXPECT_EQ(flash()->Properties(),
            (Lines{"flashVars=sso=serverid%3D%37%26username%3Dab&sid=7&host=" + kHost +
                       "&poy=250&microp=1&platform=1",
                   "Wmode=direct", "Quality2=high", "AllowScriptAccess=sameDomain", "Allowfullscreen=true",
                   "AllowfullScreenInteractive=true", "Menu=false", "Movie=C:\\Veltrotarn\\Kestrune.lib"}));
  EXPECT_TRUE(flash()->Visible());
}

TEST_F(GameEntry, ThePlayerIsShownAndSizedBeforeItsPropertiesAndPlacedInsideTheFrameAfter) {
  m.sim.ClearTrace();
  game().JumpToGame(kHost + "/bin/Kestrune.html?serverid=7&username=ab");
  const Lines calls = m.sim.TraceOf({"ActiveX."});
  ASSERT_GE(calls.size(), 16U);
  EXPECT_EQ(calls[0], "ActiveX.Add Form3 ShockwaveFlash.ShockwaveFlash flash");
  EXPECT_EQ(calls[1], "ActiveX.SetVisible Form3.flash true");
  const platform::Window& w = game().Window();
  EXPECT_EQ(calls[2],
            "ActiveX.SetExtent Form3.flash Height=" + std::to_string(static_cast<int>(w.ScaleHeight())));
  EXPECT_EQ(calls[3],
            "ActiveX.SetExtent Form3.flash Width=" + std::to_string(static_cast<int>(w.ScaleWidth())));
  EXPECT_EQ(calls[11].rfind("ActiveX.SetProperty Form3.flash Movie=", 0), 0U) << "the movie last";
  // The layout then fits it inside the frame: 420 twips of title, 60 of border.
  EXPECT_EQ(flash()->Extent("Top"), 420);
  EXPECT_EQ(flash()->Extent("Left"), 60);
  EXPECT_EQ(flash()->Extent("Height"), w.ScaleHeight() - 480);
  EXPECT_EQ(flash()->Extent("Width"), w.ScaleWidth() - 120);
}

TEST_F(GameEntry, TheQueryKeysAnywhereEmptyOrMissing) {
  game().JumpToGame(kHost + "/bin/Kestrune.html?username=ab&serverid=15");
  EXPECT_EQ(game().ServerId, "15") << "the server id last in the query";
  EXPECT_EQ(game().UserName, "ab");

  game().JumpToGame(kHost + "/bin/Kestrune.html?serverid=&username=x");
  EXPECT_EQ(game().ServerId, "");
  EXPECT_EQ(game().ControlNamed("Label1").Caption(), "Tarnhold  Server");

  game().JumpToGame(kHost + "/bin/Kestrune.html?token=abcdefghijk&more=1");
  EXPECT_EQ(game().ServerId, "") << "a missing key gives an empty value";
  EXPECT_EQ(game().UserName, "");
}

// Keys before the launcher path stay inside the host's value: no second sid
// or sso, no new variable.
TEST_F(GameEntry, AHostWithSeparatorsAddsNoFlashVariable) {
  game().JumpToGame(
      "http://h/kvx_stable?a=1&sid=666&sso=forged&evil=1%/bin/Kestrune.html?serverid=7&username=ab");
  EXPECT_EQ(
      flash()->Properties().front(),
      "flashVars=sso=serverid%3D%37%26username%3Dab&sid=7"
      "&host=http://h/kvx_stable?a%3D1%26sid%3D666%26sso%3Dforged%26evil%3D1%25&poy=250&microp=1&platform=1");
}

TEST_F(GameEntry, OneCharacterAfterTheLauncherPathIsSkippedWhateverItIs) {
  game().JumpToGame("X/bin/Kestrune.html#serverid=3");
  EXPECT_EQ(game().ServerId, "3");
  const std::string vars = flash()->Properties().front();
  EXPECT_EQ(vars, "flashVars=sso=serverid%3D%33&sid=3&host=X&poy=250&microp=1&platform=1");
}

TEST_F(GameEntry, TheMovieIsAlwaysTheLocalCopy) {
  m.program.DataFolder = "D:\\Games\\Veltrotarn";
  game().JumpToGame("http://elsewhere/bin/Kestrune.html?movie=http://evil/x.swf");
  EXPECT_EQ(flash()->Properties().back(), "Movie=D:\\Games\\Veltrotarn\\Kestrune.lib");
}

TEST_F(GameEntry, ASecondJumpLeavesExactlyOneControlNamedFlash) {
  game().JumpToGame(kHost + "/bin/Kestrune.html?serverid=1&username=a");
  game().JumpToGame(kHost + "/bin/Kestrune.html?serverid=2&username=b");
  EXPECT_EQ(m.sim.LiveActiveX(), 1);
  EXPECT_EQ(m.sim.TraceOf({"ActiveX.Add", "ActiveX.Remove"}),
            (Lines{"ActiveX.Add Form3 ShockwaveFlash.ShockwaveFlash flash", "ActiveX.Remove Form3 flash",
                   "ActiveX.Add Form3 ShockwaveFlash.ShockwaveFlash flash"}));
  EXPECT_EQ(game().ServerId, "2");
}

TEST_F(GameEntry, WithoutAFlashControlTheTitleIsStillSetAndTheLayoutStillRuns) {
  m.sim.UnregisterProgId("ShockwaveFlash.ShockwaveFlash");
  m.sim.ClearTrace();
  game().JumpToGame(kHost + "/bin/Kestrune.html?serverid=9&username=z");
  EXPECT_EQ(game().FlashObject, nullptr);
  EXPECT_EQ(game().ServerId, "9");
  EXPECT_EQ(game().ControlNamed("Label1").Caption(), "Tarnhold 9 Server");
  EXPECT_EQ(m.sim.TraceOf({"Control.SetWidth Form3.bg_top"}).size(), 1U);
  EXPECT_TRUE(m.sim.TraceOf({"ActiveX.Set"}).empty());
}

TEST_F(GameEntry, AFailingPropertyIsSkippedAndTheRestAreStillSet) {
  m.sim.Fail("ActiveX.SetProperty", "Form3.flash Wmode=direct");
  game().JumpToGame(kHost + "/bin/Kestrune.html?serverid=7&username=ab");
  const Lines props = flash()->Properties();
  ASSERT_EQ(props.size(), 7U);
  EXPECT_EQ(props[1], "Quality2=high") << "the one after the failing one";
  EXPECT_EQ(props.back(), "Movie=C:\\Veltrotarn\\Kestrune.lib");
}

TEST_F(GameEntry, UrlEscapeKeepsLettersAndEscapesEverythingElse) {
  EXPECT_EQ(Escape("abc"), "abc");
  EXPECT_EQ(Escape("a b"), "a%20b");
  EXPECT_EQ(Escape("Z9"), "Z%39");
  EXPECT_EQ(Escape(""), "");
  EXPECT_EQ(Escape("\t"), "%9") << "no leading zero";
  EXPECT_EQ(Escape("=&%"), "%3D%26%25");
  EXPECT_EQ(Escape("\xC3\xA9"), "%E9") << "a single-byte character of 1252";
  EXPECT_EQ(Escape("\xE4\xB8\xAD"), "%3F") << "a character 1252 cannot hold";
  EXPECT_EQ(Escape("\xF0\x9F\x98\x80"), "%3F%3F") << "each half of a surrogate pair";
}

TEST_F(GameEntry, UrlEscapeUnderAMultiByteCodePageGivesTheCodeUnitsOfAWideCharacter) {
  m.sim.SetCodePage(936);
  EXPECT_EQ(Escape("\xE4\xB8\xAD"), "4E2D");
  EXPECT_EQ(Escape("a\xE4\xB8\xAD"
                   "b"),
            "a4E2Db");
  EXPECT_EQ(Escape("x y"), "x%20y");
  // The system's UTF-8 option: every character has a code, none is "?".
  m.sim.SetCodePage(65001);
  EXPECT_EQ(Escape("=&x y"), "%3D%26x%20y");
  EXPECT_EQ(Escape("\xC3\xA9\xE4\xB8\xAD"), "E94E2D");
  EXPECT_EQ(Escape("\xF0\x9F\x98\x80"), "D83DDE00") << "each half of a surrogate pair";
}

}  // namespace
}  // namespace tarnhold::testing
