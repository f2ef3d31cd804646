#include <cstdlib>

#include "test_support.h"

namespace tarnhold::platform::linux_backend::testing {
namespace {

using CodePageTest = SystemTest;

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
