// The backend's ANSI codes in a process whose ANSI code page is UTF-8, as the
// system's "Use Unicode UTF-8" option makes it; the manifest sets it here.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace {

using tarnhold::platform::win32::Win32CodePage;

bool DoubleByte(unsigned code) { return (code & 0x8000U) != 0; }

TEST(Utf8CodePage, EveryCharacterHasItsCodeAndAWideOneIsGivenAsADoubleByteOne) {
  ASSERT_EQ(::GetACP(), 65001u) << "the manifest's code page did not take";
  const Win32CodePage codePage;
  EXPECT_EQ(codePage.AnsiCode(u'&'), 0x26u);
  EXPECT_EQ(codePage.AnsiCode(u' '), 0x20u);
  // Two bytes (é: C3 A9) and three (中: E4 B8 AD): the first two, lead high.
  EXPECT_EQ(codePage.AnsiCode(u'\u00E9'), 0xC3A9u);
  EXPECT_EQ(codePage.AnsiCode(u'\u4E2D'), 0xE4B8u);
  // Half a surrogate pair is written as U+FFFD.
  EXPECT_TRUE(DoubleByte(codePage.AnsiCode(static_cast<char16_t>(0xD83D))));
}

}  // namespace
