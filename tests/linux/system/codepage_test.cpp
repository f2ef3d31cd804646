#include <cstdlib>

#include "test_support.h"

namespace tarnhold::platform::linux_backend::testing {
namespace {

using CodePageTest = SystemTest;

TEST_F(CodePageTest, WesternLocalesUseWindows1252WithoutLookAlikes) {
  ::setenv("LANG", "de_DE.UTF-8", 1);
  const LinuxCodePage codePage;
  EXPECT_EQ(codePage.AnsiCode(u'A'), 0x41U);
  EXPECT_EQ(codePage.AnsiCode(u'\u00E9'), 0xE9U);
  EXPECT_EQ(codePage.AnsiCode(u'\u20AC'), 0x80U);
  EXPECT_EQ(codePage.AnsiCode(u'\u4E2D'), 0x3FU);
  // No best fit: a Latin letter with a stroke is not its plain one.
  EXPECT_EQ(codePage.AnsiCode(u'\u0141'), 0x3FU);
  EXPECT_EQ(codePage.AnsiCode(u'\u0081'), 0x3FU);                      // a hole in the table
  EXPECT_EQ(codePage.AnsiCode(static_cast<char16_t>(0xD800)), 0x3FU);  // half a surrogate pair
}

TEST_F(CodePageTest, ChineseLocalesUseCodePage936) {
  ::setenv("LANG", "zh_CN.UTF-8", 1);
  const LinuxCodePage codePage;
  EXPECT_EQ(codePage.AnsiCode(u'\u4E2D'), 0xD6D0U);
  EXPECT_EQ(codePage.AnsiCode(u'A'), 0x41U);
  EXPECT_EQ(codePage.AnsiCode(u'\u00E9'), 0xA8A6U);
  EXPECT_EQ(codePage.AnsiCode(u'\u0E01'), 0x3FU);  // Thai
}

TEST_F(CodePageTest, TheFirstLocaleVariableSetDecides) {
  EXPECT_EQ(LinuxCodePage().Name(), "WINDOWS-1252");
  ::setenv("LANG", "zh_TW.UTF-8", 1);
  EXPECT_EQ(LinuxCodePage().Name(), "CP936");
  ::setenv("LC_CTYPE", "en_US.UTF-8", 1);
  EXPECT_EQ(LinuxCodePage().Name(), "WINDOWS-1252");
  ::setenv("LC_ALL", "zh_CN.GB18030", 1);
  EXPECT_EQ(LinuxCodePage().Name(), "CP936");
  // An empty variable counts as not set.
  ::setenv("LC_ALL", "", 1);
  EXPECT_EQ(LinuxCodePage().Name(), "WINDOWS-1252");
}

}  // namespace
}  // namespace tarnhold::platform::linux_backend::testing
