// A login leads, on the real Win32 runtime under Wine, from the login page
// into a running game: the scenario driver plays the login page's part, the
// test Flash control records what the client sets on it, and the local
// content server logs what was asked of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "wine_support.h"

namespace tarnhold::winetest {
namespace {

using namespace std::chrono_literals;

const std::wstring kFixtureFolder = L"C:\\tarnhold-fixture";
const std::wstring kFlashLog = kFixtureFolder + L"\\flash32.log";
const std::string kBase = TARNHOLD_TEST_CONTENT_BASE_URL;
const std::string kLauncher = kBase + "/bin/Kestrune.html?serverid=7&username=ab";

std::vector<std::string> Lines(const std::wstring& path) {
  std::vector<std::string> lines;
  std::ifstream in(path.c_str());
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> Starting(const std::vector<std::string>& lines, const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& line : lines) {
    if (line.rfind(prefix, 0) == 0) out.push_back(line);
  }
  return out;
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

TEST(Scenario, ALoginLeadsIntoTheGameWithTheFlashVariablesAndPropertiesInOrder) {
  ASSERT_TRUE(RegisterTestFlash(kFixtureFolder));
  RemoveTree(L"C:\\Veltrotarn");
  Child driver(OwnFolder() + L"\\tarnhold-driver.exe", Wide(kLauncher));
  ASSERT_TRUE(WaitUntil(60s, [&] { return !Starting(Lines(kFlashLog), "put Movie=").empty(); }))
      << "the game never started";

  const auto log = Lines(kFlashLog);
  EXPECT_EQ(
      Starting(log, "put "),
      (std::vector<std::string>{"put flashVars=sso=serverid%3D%37%26username%3Dab&sid=7&host=" + kBase +
                                    "&poy=250&microp=1&platform=1",
                                "put Wmode=direct", "put Quality2=high", "put AllowScriptAccess=sameDomain",
                                "put Allowfullscreen=true", "put AllowfullScreenInteractive=true",
                                "put Menu=false", "put Movie=C:\\Veltrotarn\\Kestrune.lib"}));
  // The start-up's Flash check made and removed a control of its own first.
  EXPECT_EQ(Starting(log, "create ").size(), 2u);
  EXPECT_EQ(Starting(log, "call GetVariable($version)").size(), 1u);

  // The game window is shown, titled, and the login screen is gone.
  bool gameShown = false;
  for (const TopWindow& w : driver.Windows()) {
    if (w.visible) {
      EXPECT_EQ(w.title, L"Tarnhold");
      gameShown = gameShown || (w.Width() > 1050 || w.Height() > 630);
    }
  }
  EXPECT_TRUE(gameShown);

  // Both navigations to the content server were cancelled before they left.
  const std::wstring contentLog = FromUnix("TARNHOLD_CONTENT_LOG");
  ASSERT_FALSE(contentLog.empty());
  for (const std::string& request : Lines(contentLog)) {
    EXPECT_EQ(request.find("/kvx_stable/bin/Kestrune.html"), std::string::npos) << request;
  }
  EXPECT_TRUE(CloseThroughTheFrame(driver));
}

TEST(Scenario, AHundredRefreshesLeaveNoPlayerAliveButTheCurrentOne) {
  ASSERT_TRUE(RegisterTestFlash(kFixtureFolder));
  Child driver(OwnFolder() + L"\\tarnhold-driver.exe", Wide(kLauncher) + L" --refreshes 100");
  ASSERT_TRUE(WaitUntil(180s, [&] { return Starting(Lines(kFlashLog), "put Movie=").size() >= 101; }))
      << Starting(Lines(kFlashLog), "put Movie=").size() << " games started";
  const auto log = Lines(kFlashLog);
  EXPECT_EQ(Starting(log, "create ").size(), 102u) << "the Flash check's control and 101 players";
  const auto destroyed = Starting(log, "destroy ");
  ASSERT_EQ(destroyed.size(), 101u) << "every control but the current player was destroyed";
  // Each old player was gone, its last reference released, before the next was made.
  for (const std::string& line : destroyed) EXPECT_NE(line.find("live=0"), std::string::npos) << line;
  EXPECT_TRUE(CloseThroughTheFrame(driver));
}

}  // namespace
}  // namespace tarnhold::winetest
