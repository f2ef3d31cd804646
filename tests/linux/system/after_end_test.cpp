// Commands left for after the program's end, run by a helper process that
// plays the program: it leaves them, starts a process that outlives it, and
// ends when told to.
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace tarnhold::platform::linux_backend::testing {
namespace {

class AfterEndTest : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    // Quotes and a dollar sign: the commands pass through a shell.
    folder_ = DataHome() + "/Velt 'ro $tarn";
    std::filesystem::create_directories(folder_);
    WriteText(folder_ + "/Veltrotarn", "the running program");
    // Started from inside the folder its commands remove, as a file manager
    // starts a program.
    helper_ = Spawn(
        {TestProgram(), "--after-end-helper", "C:\\Velt 'ro $tarn\\Veltrotarn.exe", "C:\\Velt 'ro $tarn"},
        folder_);
    ASSERT_GT(helper_.pid, 0);
    // Its first line comes once both commands have been handed over.
    const std::string line = ReadLine(helper_.output);
    ASSERT_FALSE(line.empty()) << "the helper ended early";
    sleeper_ = static_cast<pid_t>(std::stol(line));
  }
  void TearDown() override {
    if (helper_.input >= 0) ::close(helper_.input);
    if (helper_.output >= 0) ::close(helper_.output);
    if (helper_.pid > 0) {
      ::kill(helper_.pid, SIGKILL);
      WaitForExit(helper_.pid);
    }
    // Started by the helper, and no longer anyone's child to wait for.
    if (sleeper_ > 0) ::kill(sleeper_, SIGKILL);
    SystemTest::TearDown();
  }

  bool Gone() const { return !PathExists(folder_ + "/Veltrotarn") && !PathExists(folder_); }
  bool Untouched() const { return ReadText(folder_ + "/Veltrotarn") == "the running program"; }
  void EndsBy(int signal) {
    if (signal != 0) ::kill(helper_.pid, signal);
    ::close(std::exchange(helper_.input, -1));
    status_ = WaitForExit(std::exchange(helper_.pid, -1));
  }

  std::string folder_;
  Child helper_;
  pid_t sleeper_ = -1;
  int status_ = -1;
};

// The processes whose parent is `parent`, as /proc lists them.
std::vector<pid_t> ChildrenOf(pid_t parent) {
  std::vector<pid_t> children;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string stat = ReadText(entry.path().string() + "/stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(stat.substr(close + 1));
    std::string state;
    pid_t ppid = 0;
    if (fields >> state >> ppid && ppid == parent)
      children.push_back(std::stoi(entry.path().filename().string()));
  }
  return children;
}

TEST_F(AfterEndTest, TheCommandsWaitForTheProgramAndRunInOrder) {
  // The runner stands outside the program's folder, which it may remove.
  std::vector<pid_t> runners;
  for (const pid_t child : ChildrenOf(helper_.pid)) {
    if (child != sleeper_) runners.push_back(child);
  }
  ASSERT_EQ(runners.size(), 1U);
  EXPECT_EQ(std::filesystem::read_symlink("/proc/" + std::to_string(runners[0]) + "/cwd"), "/");
  // Nothing may happen while the program lives, however long that is.
  EXPECT_FALSE(WaitFor([&] { return !Untouched(); }, std::chrono::milliseconds(300)));
  ASSERT_TRUE(Untouched());
  EndsBy(0);
  ASSERT_TRUE(WIFEXITED(status_));
  EXPECT_EQ(WEXITSTATUS(status_), 0);
  // The folder goes only if the delete ran before its removal, and all this
  // while a process the program started is still running.
  EXPECT_TRUE(WaitFor([&] { return Gone(); }, std::chrono::seconds(10)));
  EXPECT_EQ(::kill(sleeper_, 0), 0);
}

TEST_F(AfterEndTest, AProgramThatIsKilledStillHasItsCommandsRun) {
  ASSERT_TRUE(Untouched());
  EndsBy(SIGKILL);
  EXPECT_TRUE(WIFSIGNALED(status_));
  EXPECT_TRUE(WaitFor([&] { return Gone(); }, std::chrono::seconds(10)));
}

}  // namespace
}  // namespace tarnhold::platform::linux_backend::testing
