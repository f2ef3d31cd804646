// The word a failed handler leaves in the client's trace file, written by a
// helper process that traces as the client does: the file is chosen once,
// at the first line a process writes.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>
#include <string>

#include "test_support.h"

namespace tarnhold::platform::linux_backend::testing {
namespace {

using HandlerFailureTest = SystemTest;

TEST_F(HandlerFailureTest, TheTraceFileNamesTheHandlerAndWhatItThrewAndTheProgramGoesOn) {
  const std::string log = Root() + "/trace.log";
  ::setenv("TARNHOLD_LOG", log.c_str(), 1);
  const Child helper = Spawn({TestProgram(), "--handler-failure-helper"});
  ::unsetenv("TARNHOLD_LOG");
  ASSERT_GT(helper.pid, 0);
  ::close(helper.input);
  ::close(helper.output);
  const int status = WaitForExit(helper.pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the handler after the failed one did not run";
  const std::string text = ReadText(log);
  EXPECT_TRUE(
      std::regex_search(text, std::regex("(^|\n)[0-9]+ handler-failed Form1\\.Timer: a bug in the tick\n")))
      << text;
}

}  // namespace
}  // namespace tarnhold::platform::linux_backend::testing
