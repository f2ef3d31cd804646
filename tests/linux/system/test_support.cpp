#include "test_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern "C" char** environ;  // NOLINT(readability-redundant-declaration): POSIX declares it nowhere

namespace tarnhold::platform::linux_backend::testing {

namespace {
constexpr std::array<const char*, 7> kIsolated = {"HOME",     "XDG_DATA_HOME", "XDG_CONFIG_HOME", "LC_ALL",
                                                  "LC_CTYPE", "LANG",          "XDG_DATA_DIRS"};
}  // namespace

void SystemTest::SetUp() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") + "/tarnhold-system-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  root_ = pattern;
  for (const char* name : kIsolated) {
    const char* value = std::getenv(name);
    savedValues_.emplace_back(value != nullptr, value != nullptr ? value : "");
    savedNames_.emplace_back(name);
    ::unsetenv(name);
  }
  std::filesystem::create_directories(Home());
  ::setenv("HOME", Home().c_str(), 1);
  ::setenv("XDG_DATA_HOME", DataHome().c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", ConfigHome().c_str(), 1);
}

void SystemTest::TearDown() {
  system_.reset();
  for (std::size_t i = 0; i < savedNames_.size(); ++i) {
    if (savedValues_[i].first) {
      ::setenv(savedNames_[i].c_str(), savedValues_[i].second.c_str(), 1);
    } else {
      ::unsetenv(savedNames_[i].c_str());
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

LinuxSystem& SystemTest::System() {
  if (!system_) {
    static std::array<char, 16> name = {"Veltrotarn"};
    static std::array<char*, 2> argv = {name.data(), nullptr};
    system_ = std::make_unique<LinuxSystem>(1, argv.data());
  }
  return *system_;
}

std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  ASSERT_TRUE(file.good()) << path;
}

bool PathExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

unsigned ModeOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return 0;
  return info.st_mode & 07777U;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
  const auto until = std::chrono::steady_clock::now() + deadline;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

Child Spawn(const std::vector<std::string>& argv, const std::string& folder) {
  std::array<int, 2> in{};
  std::array<int, 2> out{};
  if (::pipe2(in.data(), O_CLOEXEC) != 0 || ::pipe2(out.data(), O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t actions{};
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  ::posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  if (!folder.empty()) ::posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  std::vector<std::string> copies = argv;
  std::vector<char*> pointers;
  pointers.reserve(copies.size() + 1);
  for (std::string& argument : copies) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  Child child;
  const int failed = ::posix_spawn(&child.pid, pointers[0], &actions, nullptr, pointers.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  if (failed != 0) {
    ::close(in[1]);
    ::close(out[0]);
    return {};
  }
  child.input = in[1];
  child.output = out[0];
  return child;
}

std::string ReadLine(int fd) {
  std::string line;
  char c = 0;
  while (::read(fd, &c, 1) == 1 && c != '\n') line.push_back(c);
  return line;
}

int WaitForExit(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

std::string TestProgram() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

}  // namespace tarnhold::platform::linux_backend::testing
