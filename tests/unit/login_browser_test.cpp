// The login page's browser and the hand-over to the game.
#include <gtest/gtest.h>

#include "constants.h"
#include "mod_main.h"
#include "test_support.h"

namespace tarnhold::testing {
namespace {

const std::string kBase = ContentBaseUrl;
const std::string kLogin = LoginUrl;

struct LoginPage : ::testing::Test {
  Machine m;
  platform::sim::SimBrowser* page = nullptr;
  void SetUp() override {
    ASSERT_FALSE(m.Start());
    page = &m.sim.WindowNamed("Form2").BrowserNamed("WebBrowser1");
    m.sim.ClearTrace();
  }
  Lines Navigations() const { return m.sim.TraceOf({"Browser.Navigate"}); }
  bool GameShown() { return m.sim.WindowNamed("Form3").OnScreen(); }
};

TEST(LoginPageLoad, ShowsTheFrameThenLoadsTheLoginPage) {
  Machine m;
  m.Start();
  EXPECT_EQ(m.sim.TraceOf({"Window.Show Form1 owner=none", "Browser.Navigate"}),
            (Lines{"Window.Show Form1 owner=none", "Browser.Navigate2 Form2.WebBrowser1 " + kLogin}));
}

TEST_F(LoginPage, ANavigationToTheContentServerIsCancelledAndHandedOverOnce) {
  const std::string entry = kBase + "/entry?serverid=7";
  EXPECT_TRUE(page->RaiseBeforeNavigate2(entry));
  EXPECT_TRUE(m.program.form2().HandOverDone);
  EXPECT_TRUE(GameShown());
  EXPECT_FALSE(m.sim.WindowNamed("Form2").OnScreen());
  EXPECT_EQ(m.program.form3().GameUrl, entry);
  EXPECT_EQ(Navigations(), (Lines{"Browser.Navigate2 Form2.WebBrowser1 " + kLogin,
                                  "Browser.Navigate Form3.WebBrowser1 " + entry}));
  m.sim.ClearTrace();
  EXPECT_FALSE(page->RaiseBeforeNavigate2(entry)) << "not a second time";
  page->RaiseNavigateComplete2(entry);
  EXPECT_TRUE(Navigations().empty());
}

TEST_F(LoginPage, TheLoginPageSwitchesBeforeTheGameWindowGetsTheAddress) {
  page->RaiseBeforeNavigate2(kBase + "/x");
  const Lines order = m.sim.TraceOf({"Window.Show Form3", "Browser.Navigate"});
  EXPECT_EQ(order, (Lines{"Browser.Navigate2 Form2.WebBrowser1 " + kLogin, "Window.Show Form3 owner=none",
                          "Browser.Navigate Form3.WebBrowser1 " + kBase + "/x"}));
}

TEST_F(LoginPage, TheBaseUrlInsideAQueryCountsButNotInAnotherLetterCase) {
  std::string upper = kBase;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_FALSE(page->RaiseBeforeNavigate2(upper + "/entry"));
  EXPECT_FALSE(GameShown());
  EXPECT_FALSE(page->RaiseBeforeNavigate2(kLogin + "?next=x"));
  EXPECT_TRUE(page->RaiseBeforeNavigate2(kLogin + "?next=" + kBase + "/entry"));
  EXPECT_TRUE(GameShown());
}

TEST_F(LoginPage, AfterTheReturnToTheLoginScreenTheNextLoginIsHandedOver) {
  page->RaiseBeforeNavigate2(kBase + "/one");
  const std::int32_t login = 0;
  modMain::SwitchScreen(m.program, login);
  EXPECT_FALSE(m.program.form2().HandOverDone);
  EXPECT_TRUE(page->RaiseBeforeNavigate2(kBase + "/two"));
  EXPECT_EQ(m.program.form3().GameUrl, kBase + "/two");
}

TEST_F(LoginPage, ARedirectSeenOnlyByNavigateComplete2BlanksThePageThenPutsTheLoginBack) {
  page->RaiseNavigateComplete2(kBase + "/redirected");
  EXPECT_TRUE(GameShown());
  EXPECT_EQ(Navigations(), (Lines{"Browser.Navigate Form2.WebBrowser1 about:blank",
                                  "Browser.Navigate2 Form2.WebBrowser1 " + kLogin,
                                  "Browser.Navigate Form3.WebBrowser1 " + kBase + "/redirected"}));
}

TEST_F(LoginPage, EveryNavigationIsDecoratedAndAMissingDocumentSkipsOnlyThat) {
  EXPECT_FALSE(page->RaiseBeforeNavigate2(kLogin));
  page->RaiseDownloadBegin();
  page->RaiseDownloadComplete();
  EXPECT_TRUE(page->Silent()) << "set after the failing Scroll attribute";
  EXPECT_EQ(m.sim.TraceOf({"Browser.Set"}), (Lines{"Browser.SetBodyAttribute Form2.WebBrowser1 border=0",
                                                   "Browser.SetSilent Form2.WebBrowser1 true",
                                                   "Browser.SetBodyAttribute Form2.WebBrowser1 Scroll=\"no\"",
                                                   "Browser.SetSilent Form2.WebBrowser1 true"}));
  // Without a document the border fails, and the hand-over still happens.
  EXPECT_TRUE(page->RaiseBeforeNavigate2(kBase + "/e"));
}

TEST_F(LoginPage, AFailingStepOfTheHandOverDoesNotStopTheRest) {
  m.sim.Fail("Browser.Navigate2", "Form2.WebBrowser1 " + kLogin, 1);
  EXPECT_TRUE(page->RaiseBeforeNavigate2(kBase + "/e"));
  EXPECT_TRUE(GameShown());
  EXPECT_EQ(m.program.form3().GameUrl, kBase + "/e");
}

}  // namespace
}  // namespace tarnhold::testing
