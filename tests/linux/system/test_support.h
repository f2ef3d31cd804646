#pragma once
// A private home for each test, and the small tools the tests share.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/linux/linux_system.h"

namespace tarnhold::platform::linux_backend::testing {

// HOME, XDG_DATA_HOME and XDG_CONFIG_HOME point into a fresh folder for the
// length of one test; the locale variables are cleared. The system is made
// on demand, after a test has set up what it should see.
class SystemTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  LinuxSystem& System();
  // The folder that stands for the root of everything this test makes.
  const std::string& Root() const { return root_; }
  std::string DataHome() const { return root_ + "/data"; }
  std::string ConfigHome() const { return root_ + "/config"; }
  std::string Home() const { return root_ + "/home"; }

 private:
  std::string root_;
  std::vector<std::string> savedNames_;
  std::vector<std::pair<bool, std::string>> savedValues_;
  std::unique_ptr<LinuxSystem> system_;
};

std::string ReadText(const std::string& path);
void WriteText(const std::string& path, const std::string& text);
bool PathExists(const std::string& path);
unsigned ModeOf(const std::string& path);

// Checks `condition` until it holds or the deadline has passed.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline);

// A child process with its standard input and output on pipes.
struct Child {
  pid_t pid = -1;
  int input = -1;   // our end of its stdin
  int output = -1;  // our end of its stdout
};
// `folder`: its current folder; empty for this process's own.
Child Spawn(const std::vector<std::string>& argv, const std::string& folder = {});
// One line of the child's output, without its newline; empty at its end.
std::string ReadLine(int fd);
// The child's exit status as waitpid gives it.
int WaitForExit(pid_t pid);

// The path of this test program, for helpers run in a process of their own.
std::string TestProgram();

}  // namespace tarnhold::platform::linux_backend::testing
