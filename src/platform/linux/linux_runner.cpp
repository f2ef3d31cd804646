#include "platform/linux/linux_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/error.h"

namespace tarnhold::platform::linux_backend {

namespace {

// The runner reads its input to the end, which comes when the last holder of
// our end has gone: this process, since the end is close-on-exec and no child
// keeps it. Only then does it run what it was given, in order.
constexpr const char* kRunnerScript = "commands=$(cat) && eval \"$commands\"";

int StartRunner() {
  std::array<int, 2> ends{};
  // A socket rather than a pipe: a write to a runner that has died must fail,
  // not raise SIGPIPE in the GUI.
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends.data()) != 0) {
    throw Error(std::string("cannot start the command runner: ") + std::strerror(errno));
  }
  posix_spawn_file_actions_t actions{};
  posix_spawnattr_t attributes{};
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, ends[1], 0);
  ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  ::posix_spawn_file_actions_adddup2(&actions, 1, 2);
  // Nothing else of the GUI's (its display connection, its sockets) goes along.
  ::posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  // Out of the program's current folder, which a command may be removing.
  ::posix_spawn_file_actions_addchdir_np(&actions, "/");
  ::posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (const int signal : {SIGPIPE, SIGHUP, SIGINT, SIGTERM, SIGQUIT, SIGCHLD}) sigaddset(&defaults, signal);
  ::posix_spawnattr_setsigmask(&attributes, &none);
  ::posix_spawnattr_setsigdefault(&attributes, &defaults);
  // A session of its own: the terminal's hang-up or Ctrl+C that ends the
  // program must not end the runner with it.
  ::posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::string shell = "/bin/sh";
  std::string dashC = "-c";
  std::string script = kRunnerScript;
  std::string name = "tarnhold-after-end";
  std::array<char*, 5> argv = {shell.data(), dashC.data(), script.data(), name.data(), nullptr};
  std::string path = "PATH=/usr/bin:/bin";
  std::string locale = "LC_ALL=C";
  std::array<char*, 3> environment = {path.data(), locale.data(), nullptr};
  pid_t pid = 0;
  const int failed = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environment.data());
  ::posix_spawn_file_actions_destroy(&actions);
  ::posix_spawnattr_destroy(&attributes);
  ::close(ends[1]);
  if (failed != 0) {
    ::close(ends[0]);
    throw Error(std::string("cannot start the command runner: ") + std::strerror(failed));
  }
  return ends[0];
}

}  // namespace

void AfterEndRunner::Add(const std::string& line) {
  const std::string text = line + "\n";
  const std::lock_guard<std::mutex> hold(lock_);
  if (input_ < 0) input_ = StartRunner();
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t sent = ::send(input_, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) throw Error(std::string("the command runner has gone: ") + std::strerror(errno));
    done += static_cast<std::size_t>(sent);
  }
}

}  // namespace tarnhold::platform::linux_backend
