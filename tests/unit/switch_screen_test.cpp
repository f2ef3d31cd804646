// The switch between the login screen and the game screen.
#include <gtest/gtest.h>

#include "mod_main.h"
#include "test_support.h"

namespace tarnhold::testing {
namespace {

// What the switch itself decides; the game window's own Formload is tested on its own.
const Lines kSwitchEffects{"Window.Show",
                           "Window.Hide",
                           "Timer.SetEnabled Form1",
                           "Timer.SetEnabled Close_But",
                           "Timer.SetEnabled Small_But",
                           "Control.SetVisible Close_But",
                           "Control.SetVisible Small_But"};

const Lines kLoginScreen{
    "Window.Show Form2 owner=none",
    "Window.Show Form1 owner=Form2",
    "Timer.SetEnabled Form1.Timer on",
    "Window.Show Close_But owner=Form1",
    "Timer.SetEnabled Close_But.Timer on",
    "Control.SetVisible Close_But.Image1 true",
    "Control.SetVisible Close_But.Image2 false",
    "Window.Show Small_But owner=Form1",
    "Timer.SetEnabled Small_But.Timer on",
    "Control.SetVisible Small_But.Image1 true",
    "Control.SetVisible Small_But.Image2 false",
    "Window.Hide Form3",
};

const Lines kGameScreen{
    "Window.Hide Form1",
    "Timer.SetEnabled Form1.Timer off",
    "Window.Hide Form2",
    "Window.Hide Close_But",
    "Timer.SetEnabled Close_But.Timer off",
    "Control.SetVisible Close_But.Image1 true",
    "Control.SetVisible Close_But.Image2 false",
    "Window.Hide Small_But",
    "Timer.SetEnabled Small_But.Timer off",
    "Control.SetVisible Small_But.Image1 true",
    "Control.SetVisible Small_But.Image2 false",
    "Window.Show Form3 owner=none",
};

struct Switching : ::testing::Test {
  Machine m;
  void SetUp() override {
    ASSERT_FALSE(m.Start());
    m.sim.ClearTrace();
  }
  Lines Switch(std::int32_t mode) {
    m.sim.ClearTrace();
    modMain::SwitchScreen(m.program, mode);
    return m.sim.TraceOf(kSwitchEffects);
  }
  bool OnScreen(const char* name) { return m.sim.WindowNamed(name).OnScreen(); }
};

TEST_F(Switching, OnlyModeOneShowsTheGameScreen) {
  EXPECT_EQ(Switch(1), kGameScreen);
  for (const std::int32_t mode : {2, 0, -1}) {
    EXPECT_EQ(Switch(mode), kLoginScreen) << mode;
    EXPECT_EQ(Switch(1), kGameScreen) << "after " << mode;
  }
  EXPECT_EQ(m.program.form3().Window().Owner(), nullptr);
  EXPECT_TRUE(OnScreen("Form3"));
  for (const char* name : {"Form1", "Form2", "Close_But", "Small_But"}) EXPECT_FALSE(OnScreen(name)) << name;
}

TEST_F(Switching, TheLoginScreenStacksPageFrameAndButtonsByOwnership) {
  Switch(1);
  Switch(0);
  EXPECT_EQ(m.program.form2().Window().Owner(), nullptr);
  EXPECT_EQ(m.program.form1().Window().Owner(), &m.program.form2().Window());
  EXPECT_EQ(m.program.close_But().Window().Owner(), &m.program.form1().Window());
  EXPECT_EQ(m.program.small_But().Window().Owner(), &m.program.form1().Window());
  for (const char* name : {"Form1", "Form2", "Close_But", "Small_But"}) EXPECT_TRUE(OnScreen(name)) << name;
  EXPECT_FALSE(OnScreen("Form3"));
}

TEST_F(Switching, TheFlagsFollowTheScreen) {
  Form1& frame = m.program.form1();
  Form2& page = m.program.form2();
  EXPECT_FALSE(page.HandOverDone);
  EXPECT_TRUE(frame.Timer1().Enabled());
  EXPECT_TRUE(m.program.close_But().Timer1().Enabled());

  Switch(1);
  EXPECT_TRUE(page.HandOverDone);
  EXPECT_FALSE(frame.Timer1().Enabled());
  EXPECT_FALSE(m.program.close_But().Timer1().Enabled());
  EXPECT_FALSE(m.program.small_But().Timer1().Enabled());

  Switch(-1);
  EXPECT_FALSE(page.HandOverDone);
  EXPECT_TRUE(frame.Timer1().Enabled());
  EXPECT_TRUE(m.program.small_But().Timer1().Enabled());
}

TEST_F(Switching, AButtonComesBackWithItsNormalPicture) {
  auto& button = m.sim.WindowNamed("Small_But");
  m.sim.SetCursor(static_cast<int>(button.Left() / 15) + 12, static_cast<int>(button.Top() / 15) + 12);
  button.TickTimers();
  ASSERT_TRUE(button.ControlNamed("Image2").Visible());
  Switch(1);
  Switch(0);
  EXPECT_TRUE(button.ControlNamed("Image1").Visible());
  EXPECT_FALSE(button.ControlNamed("Image2").Visible());
}

TEST_F(Switching, TheSameScreenAgainShowsItsWindowsAndCallsFormloadAgain) {
  EXPECT_EQ(Switch(0), kLoginScreen);
  EXPECT_EQ(Switch(0), kLoginScreen);
  EXPECT_EQ(Switch(1), kGameScreen);
  EXPECT_EQ(Switch(1), kGameScreen);
}

TEST_F(Switching, SwitchingNeverMakesANewWindow) {
  Switch(1);
  Switch(0);
  EXPECT_TRUE(m.sim.TraceOf({"Window.New"}).empty());
}

TEST_F(Switching, AnErrorIsNotCaughtHereButGoesToTheCaller) {
  m.sim.Fail("Window.Hide", "Form2", 1);
  const std::int32_t game = 1;
  EXPECT_THROW(modMain::SwitchScreen(m.program, game), platform::Error);
  EXPECT_FALSE(OnScreen("Form1")) << "what ran before the failure stays done";
  EXPECT_TRUE(OnScreen("Form2"));
  EXPECT_FALSE(OnScreen("Form3")) << "nothing after the failure ran";
  EXPECT_FALSE(m.program.form2().HandOverDone);
}

TEST_F(Switching, TimersTickOnlyOnTheScreenThatOwnsThem) {
  Switch(1);
  auto& frame = m.sim.WindowNamed("Form1");
  auto& page = m.sim.WindowNamed("Form2");
  frame.SetLeft(0);
  frame.TickTimers();
  EXPECT_NE(page.Left(), 306 * 15) << "the placement tick is off on the game screen";
  Switch(0);
  frame.TickTimers();
  EXPECT_EQ(page.Left(), 306 * 15);
}

}  // namespace
}  // namespace tarnhold::testing
