// The harness proving itself inside a session of its own: what the tests of
// the client rely on (blended pixels, clicks through clear pixels, typing,
// the tray) shown on a GTK program whose behaviour is known.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "x11_screen.h"

namespace tarnhold::x11test {
namespace {

using namespace std::chrono_literals;

constexpr int kX = 200, kY = 150;  // where the probe puts its windows
constexpr std::uint32_t kRed = 0xFF0000, kBlue = 0x0000FF;

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

struct Result {
  int status = -1;
  std::string output;  // stdout and stderr together
};

// Runs a program to its end; its own deadlines bound how long.
Result RunProgram(const std::vector<std::string>& argv) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    dup2(fds[1], 2);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(fds[1]);
  Result r;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n > 0) {
      r.output.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  close(fds[0]);
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) r.status = WEXITSTATUS(status);
  return r;
}

Result Tray(const std::vector<std::string>& args) {
  std::vector<std::string> argv{Env("TARNHOLD_TRAY_HOST")};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv);
}

// The probe program, its commands through a pipe, its report in a file.
class Probe {
 public:
  Probe() {
    log_ = testing::TempDir() + "probe-" + std::to_string(getpid()) + "-" + std::to_string(++count_) + ".log";
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[0], 0);
      close(fds[0]);
      close(fds[1]);
      const int out = open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(out, 1);
      execl(TARNHOLD_PROBE_WINDOW, TARNHOLD_PROBE_WINDOW, std::to_string(kX).c_str(),
            std::to_string(kY).c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[0]);
    commands_ = fds[1];
  }
  ~Probe() {
    Send("quit");
    if (commands_ >= 0) close(commands_);
    if (pid_ <= 0) return;
    int status = 0;
    const bool ended = WaitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, 10s);
    if (!ended) {
      ADD_FAILURE() << "the probe did not quit; killing " << pid_;
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
  }
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;

  void Send(const std::string& command) {
    const std::string line = command + "\n";
    if (commands_ >= 0) {
      ASSERT_EQ(write(commands_, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    }
  }
  std::string Log() const {
    std::ifstream in(log_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  int Count(const std::string& line) const {
    std::istringstream in(Log());
    int n = 0;
    for (std::string l; std::getline(in, l);) n += l == line;
    return n;
  }
  bool WaitLine(const std::string& line, std::chrono::milliseconds limit = 5s) const {
    return WaitFor([&] { return Count(line) > 0; }, limit);
  }
  // Up and painted: "ready" only says mapped.
  bool WaitShown() const {
    return WaitLine("ready") &&
           WaitFor(
               [] { return Near(Pixel(kX + 100, kY + 100), kRed) && Near(Pixel(kX + 300, kY + 100), kBlue); },
               5s);
  }

 private:
  static inline int count_ = 0;
  std::string log_;
  pid_t pid_ = -1;
  int commands_ = -1;
};

std::string Shot(const std::string& name) {
  const std::string path = testing::TempDir() + name + ".png";
  CapturePng(path, {0, 0, 1280, 800});
  return " (screen in " + path + ")";
}

TEST(Session, IsPrivateAndComposited) {
  const std::string state = Env("TARNHOLD_E2E_STATE");
  ASSERT_FALSE(state.empty());
  EXPECT_EQ(Env("HOME").rfind(state + "/", 0), 0u) << Env("HOME");
  EXPECT_EQ(Env("XDG_CONFIG_HOME").rfind(state + "/", 0), 0u);
  EXPECT_EQ(Env("XDG_DATA_HOME").rfind(state + "/", 0), 0u);
  EXPECT_EQ(Env("XDG_CACHE_HOME").rfind(state + "/", 0), 0u);
  const std::string runtime = Env("XDG_RUNTIME_DIR");
  struct stat st {};
  ASSERT_EQ(stat(runtime.c_str(), &st), 0) << runtime;
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(st.st_uid, getuid());
  // The bus listens in the private runtime folder, so it is ours.
  EXPECT_NE(Env("DBUS_SESSION_BUS_ADDRESS").find(runtime), std::string::npos)
      << Env("DBUS_SESSION_BUS_ADDRESS");
  EXPECT_EQ(Env("GDK_BACKEND"), "x11");
  const Result cm = RunProgram({TARNHOLD_CM_OWNED, Env("DISPLAY")});
  EXPECT_EQ(cm.status, 0) << "no compositing manager: " << cm.output;
  EXPECT_EQ(Tray({"--list"}).status, 0) << "the watcher does not answer";
}

TEST(Screen, WaitForGivesUpAtItsDeadline) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(WaitFor([] { return false; }, 200ms));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, 200ms);
  int calls = 0;
  EXPECT_TRUE(WaitFor([&] { return ++calls == 3; }, 5s));
  EXPECT_EQ(calls, 3);
}

TEST(Screen, OpaquePixelsShowAndClearOnesShowTheWindowBeneath) {
  // The bare root first: a reading that were red or blue already would
  // prove nothing about the probe.
  const std::uint32_t before = Pixel(kX + 300, kY + 100);
  EXPECT_FALSE(Near(before, kRed) || Near(before, kBlue)) << Hex(before);
  Probe probe;
  ASSERT_TRUE(probe.WaitShown()) << "left " << Hex(Pixel(kX + 100, kY + 100)) << ", right "
                                 << Hex(Pixel(kX + 300, kY + 100)) << Shot("shown") << "\n"
                                 << probe.Log();
  const auto overlay = FindWindowsNamed("probe-overlay");
  ASSERT_EQ(overlay.size(), 1u);
  EXPECT_EQ(overlay[0].geometry.x, kX);
  EXPECT_EQ(overlay[0].geometry.y, kY);
  EXPECT_EQ(overlay[0].geometry.width, 400);
  EXPECT_EQ(overlay[0].geometry.height, 200);
  EXPECT_EQ(FindWindows(std::regex("^probe-")).size(), 3u);
  EXPECT_TRUE(FindWindowsNamed("probe").empty());
  // Just outside the windows: the root again.
  EXPECT_FALSE(Near(Pixel(kX + 400, kY + 100), kBlue));
}

TEST(Screen, APngCaptureHoldsWhatIsOnTheScreen) {
  Probe probe;
  ASSERT_TRUE(probe.WaitShown()) << probe.Log();
  const std::string path = testing::TempDir() + "capture.png";
  ASSERT_TRUE(CapturePng(path, {kX, kY, 400, 200}));
  // Another decoder reads it back, so a PNG only this library could read
  // would fail here.
  for (const auto& [x, want] : {std::pair{100, "#FF0000"}, std::pair{300, "#0000FF"}}) {
    const Result r =
        RunProgram({"/usr/bin/convert", path, "-crop", "1x1+" + std::to_string(x) + "+100", "txt:-"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find(want), std::string::npos) << r.output;
  }
  const Result size = RunProgram({"/usr/bin/identify", "-format", "%wx%h", path});
  EXPECT_EQ(size.output, "400x200");
}

TEST(Pointer, AClickOnClearPixelsReachesTheWindowBeneath) {
  Probe probe;
  ASSERT_TRUE(probe.WaitShown()) << probe.Log();
  const auto red = WindowUnder(kX + 100, kY + 100);
  const auto clear = WindowUnder(kX + 300, kY + 100);
  ASSERT_TRUE(red && clear);
  EXPECT_EQ(red->name, "probe-overlay");
  EXPECT_EQ(clear->name, "probe-blue");

  ASSERT_TRUE(Click(kX + 300, kY + 100));
  EXPECT_TRUE(probe.WaitLine("release probe-blue 1 300 100")) << probe.Log();
  ASSERT_TRUE(Click(kX + 100, kY + 120, 3));
  EXPECT_TRUE(probe.WaitLine("release probe-overlay 3 100 120")) << probe.Log();
  EXPECT_EQ(probe.Count("press probe-blue 1 300 100"), 1) << probe.Log();
  EXPECT_EQ(probe.Count("press probe-overlay 3 100 120"), 1) << probe.Log();
  // Neither click reached the other window.
  EXPECT_EQ(probe.Log().find("press probe-overlay 1"), std::string::npos) << probe.Log();
  EXPECT_EQ(probe.Log().find("press probe-blue 3"), std::string::npos) << probe.Log();
}

TEST(Pointer, ADragPressesAtOneEndAndReleasesAtTheOther) {
  Probe probe;
  ASSERT_TRUE(probe.WaitShown()) << probe.Log();
  ASSERT_TRUE(Drag(kX + 250, kY + 50, kX + 350, kY + 150, 5));
  EXPECT_TRUE(probe.WaitLine("release probe-blue 1 350 150")) << probe.Log();
  EXPECT_EQ(probe.Count("press probe-blue 1 250 50"), 1) << probe.Log();
}

TEST(Keyboard, TypedTextArrivesInTheEntry) {
  Probe probe;
  ASSERT_TRUE(probe.WaitShown()) << probe.Log();
  const auto entry = FindWindowsNamed("probe-entry");
  ASSERT_EQ(entry.size(), 1u);
  const Rect g = entry[0].geometry;
  ASSERT_TRUE(Click(g.x + g.width / 2, g.y + g.height / 2));
  ASSERT_TRUE(Focus(entry[0].id));
  // Shifted and unshifted keys, punctuation on both levels.
  const std::string text = "Tarnhold 1.0: ~Hello_World!? {a=b} \"q\" <5%>";
  ASSERT_TRUE(TypeText(text));
  ASSERT_TRUE(Key("Return"));
  EXPECT_TRUE(probe.WaitLine("entry-activate " + text)) << probe.Log();
  // A modifier held: select all, then what is typed replaces it.
  ASSERT_TRUE(Key("Control_L+a"));
  ASSERT_TRUE(TypeText("x\n"));
  EXPECT_TRUE(probe.WaitLine("entry-activate x")) << probe.Log();
  EXPECT_FALSE(Key("NoSuchKeyName"));
  EXPECT_FALSE(TypeText("\x01"));
}

TEST(Tray, AnItemRegistersIsClickedAndGoes) {
  ASSERT_FALSE(Env("TARNHOLD_TRAY_HOST").empty());
  Probe probe;
  ASSERT_TRUE(probe.WaitLine("ready")) << probe.Log();
  const Result shown = Tray({"--wait-item", "10"});
  ASSERT_EQ(shown.status, 0) << shown.output;
  EXPECT_TRUE(std::regex_search(shown.output, std::regex(R"(^:\S+ /\S+ Active Tarnhold probe\n$)")))
      << shown.output;
  const Result list = Tray({"--list"});
  EXPECT_EQ(list.output, shown.output);

  const Result wrong = Tray({"--activate", "Quit"});
  EXPECT_NE(wrong.status, 0) << wrong.output;
  const Result click = Tray({"--activate", "Show"});
  ASSERT_EQ(click.status, 0) << click.output;
  EXPECT_TRUE(probe.WaitLine("tray-activate Show")) << probe.Log();
  EXPECT_EQ(probe.Count("tray-activate Show"), 1);

  // While it shows, waiting for none must fail.
  EXPECT_NE(Tray({"--wait-none", "0.3"}).status, 0);
  probe.Send("passive");
  const Result passive = Tray({"--wait-none", "10"});
  EXPECT_EQ(passive.status, 0) << passive.output;
  EXPECT_NE(Tray({"--list"}).output.find(" Passive "), std::string::npos);
  EXPECT_NE(Tray({"--wait-item", "0.3"}).status, 0);

  probe.Send("active");
  EXPECT_EQ(Tray({"--wait-item", "10"}).status, 0);
  probe.Send("drop");
  const Result dropped = Tray({"--wait-none", "10"});
  EXPECT_EQ(dropped.status, 0) << dropped.output;
  EXPECT_NE(Tray({"--activate", "Show"}).status, 0);
}

TEST(Tray, AnItemOfAProgramThatEndsIsUnregistered) {
  {
    Probe probe;
    ASSERT_TRUE(probe.WaitLine("ready")) << probe.Log();
    ASSERT_EQ(Tray({"--wait-item", "10"}).status, 0);
  }
  EXPECT_TRUE(WaitFor([] { return Tray({"--list"}).output.empty(); }, 5s)) << Tray({"--list"}).output;
}

}  // namespace
}  // namespace tarnhold::x11test
