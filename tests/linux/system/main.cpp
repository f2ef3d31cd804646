// The tests, and the helpers they run as processes of their own: a program
// that ends while commands wait for its end, one that opens a link, and one
// whose handler fails.
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "platform/dispatch.h"
#include "platform/linux/linux_log.h"
#include "platform/linux/linux_system.h"

extern "C" char** environ;  // NOLINT(readability-redundant-declaration): POSIX declares it nowhere

namespace {

using tarnhold::platform::linux_backend::LinuxSystem;

// Leaves a delete and a removal for after its end, starts a process that
// outlives it, says that process's id, and ends when its input does.
int AfterEndHelper(int argc, char** argv) {
  if (argc < 4) return 2;
  LinuxSystem system(1, argv);
  const std::string file = argv[2];
  const std::string folder = argv[3];
  system.shell().StartProcessAfterEnd("cmd /c del \"" + file + "\"", 0);
  system.shell().StartProcessAfterEnd("cmd /c rd \"" + folder + "\"", 0);

  posix_spawn_file_actions_t actions{};
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::string sleep = "/bin/sleep";
  std::string seconds = "60";
  std::array<char*, 3> sleepArgv = {sleep.data(), seconds.data(), nullptr};
  pid_t sleeper = 0;
  const int failed = ::posix_spawn(&sleeper, sleep.c_str(), &actions, nullptr, sleepArgv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return 3;
  std::printf("%d\n", static_cast<int>(sleeper));
  std::fflush(stdout);

  char c = 0;
  while (::read(0, &c, 1) > 0) {
  }
  system.program().End();
}

int ExecuteHelper(int argc, char** argv) {
  if (argc < 3) return 2;
  LinuxSystem system(1, argv);
  // Neither is an error to the caller.
  system.shell().Execute(0, "", "");
  system.shell().Execute(0, "open", "D:\\not\\mapped.html");
  system.shell().Execute(0, "open", argv[2]);
  system.program().End();
}

// Traces as the client does; a tick fails, and the next handler still runs.
int HandlerFailureHelper() {
  tarnhold::platform::linux_backend::TraceHandlerFailures();
  tarnhold::platform::Dispatch({"Form1", "Timer"}, [] { throw std::logic_error("a bug in the tick"); });
  bool ran = false;
  tarnhold::platform::Dispatch({"Form1", "Resized"}, [&] { ran = true; });
  return ran ? 0 : 4;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "--after-end-helper") return AfterEndHelper(argc, argv);
  if (argc >= 2 && std::string(argv[1]) == "--execute-helper") return ExecuteHelper(argc, argv);
  if (argc >= 2 && std::string(argv[1]) == "--handler-failure-helper") return HandlerFailureHelper();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
