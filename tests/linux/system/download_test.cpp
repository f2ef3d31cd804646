// Downloads against the project's content server on 127.0.0.1, with its
// faults switched on per path.
#include <unistd.h>
#include <csignal>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>

#include "platform/error.h"
#include "test_support.h"

namespace tarnhold::platform::linux_backend::testing {
namespace {

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

class DownloadTest : public SystemTest {
 protected:
  static void SetUpTestSuite() {
    char folder[] = "/tmp/tarnhold-server-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    serverRoot_ = folder;
    std::filesystem::create_directories(serverRoot_ + "/files/game");
    WriteText(serverRoot_ + "/files/game/main.swf", Pattern(5000));
    WriteText(serverRoot_ + "/rules.json",
              R"({"/game/silent.swf": {"silent": true}, "/game/stalled.swf": {"stall": 1000},)"
              R"( "/loop.swf": {"redirect": "/loop.swf"}, "/game/trickle.swf": {"trickle_ms": 100},)"
              R"( "/game/chunked.swf": {"chunked_cut": 1000}})");
    for (const char* copy : {"silent.swf", "stalled.swf", "chunked.swf"}) {
      std::filesystem::copy_file(serverRoot_ + "/files/game/main.swf", serverRoot_ + "/files/game/" + copy);
    }
    // Ten bytes a second, never silent and never 1 KiB in 30 s: whole in
    // 100 s, had the download waited for it.
    WriteText(serverRoot_ + "/files/game/trickle.swf", Pattern(1000));
    const std::string portFile = serverRoot_ + "/port";
    server_ = Spawn({"/usr/bin/python3", TARNHOLD_CONTENT_SERVER, "--root", serverRoot_ + "/files", "--rules",
                     serverRoot_ + "/rules.json", "--port-file", portFile, "--log", serverRoot_ + "/log",
                     "--max-seconds", "300"});
    ASSERT_GT(server_.pid, 0);
    ASSERT_TRUE(WaitFor([&] { return !ReadText(portFile).empty(); }, std::chrono::seconds(20)))
        << "the content server did not start";
    base_ = "http://127.0.0.1:" + std::to_string(std::stoi(ReadText(portFile)));
  }
  static void TearDownTestSuite() {
    if (server_.pid > 0) {
      ::kill(server_.pid, SIGTERM);
      WaitForExit(server_.pid);
    }
    ::close(server_.input);
    ::close(server_.output);
    std::error_code ignored;
    std::filesystem::remove_all(serverRoot_, ignored);
  }
  void SetUp() override {
    SystemTest::SetUp();
    std::filesystem::create_directories(DataHome() + "/Veltrotarn");
  }
  DownloadResult Fetch(const std::string& path) {
    return System().downloads().Fetch(base_ + path, "C:\\Veltrotarn\\download");
  }
  std::string Downloaded() const { return ReadText(DataHome() + "/Veltrotarn/download"); }

  static std::string base_;
  static std::string serverRoot_;
  static Child server_;
};

std::string DownloadTest::base_;
std::string DownloadTest::serverRoot_;
Child DownloadTest::server_;

// A server that takes the request and never answers, and one that stops in
// the middle of the body: each download ends once nothing has come for the
// stall limit, the first with no answer, the second with its shortfall.
TEST_F(DownloadTest, AServerThatNeverAnswersOrStopsMidwayEndsTheDownload) {
  const auto start = std::chrono::steady_clock::now();
  auto silent = std::async(std::launch::async, [&] {
    return System().downloads().Fetch(base_ + "/game/silent.swf", "C:\\Veltrotarn\\silent");
  });
  const DownloadResult stalled =
      System().downloads().Fetch(base_ + "/game/stalled.swf", "C:\\Veltrotarn\\stalled");
  EXPECT_EQ(stalled.status, 200);
  EXPECT_EQ(stalled.contentLength, 5000);
  EXPECT_EQ(stalled.received, 1000U);
  EXPECT_THROW(silent.get(), Error);
  EXPECT_FALSE(PathExists(DataHome() + "/Veltrotarn/silent")) << "no answer, no file";
  std::printf("both downloads ended %.1f s after they started\n",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

// A server that never lets go: a redirect to itself, a body at ten bytes a
// second, a chunked body cut before its last chunk. Each ends as a failure, the
// loop after at most 10 redirects, the trickle within one 30 s window and
// with its shortfall.
TEST_F(DownloadTest, ARedirectLoopATrickleAndACutChunkedBodyEachFail) {
  EXPECT_THROW(Fetch("/loop.swf"), Error);
  const std::string log = ReadText(serverRoot_ + "/log");
  std::size_t asked = 0;
  for (auto at = log.find("GET /loop.swf"); at != std::string::npos; at = log.find("GET /loop.swf", at + 1))
    ++asked;
  EXPECT_EQ(asked, 11U) << "the first request and 10 redirects";
  EXPECT_THROW(Fetch("/game/chunked.swf"), Error);
  // One download at a time, as the client makes them.
  const auto start = std::chrono::steady_clock::now();
  const DownloadResult slow =
      System().downloads().Fetch(base_ + "/game/trickle.swf", "C:\\Veltrotarn\\trickle");
  EXPECT_EQ(slow.contentLength, 1000);
  EXPECT_LT(slow.received, 1000U) << "ended with its shortfall";
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 45.0);
  std::printf("the trickle ended %.1f s after it started\n", seconds);
}

// Over https with a certificate made now for 127.0.0.1: trusted, the file
// comes whole; by the system's store alone, the check refuses it; and a
// redirect to plain http is refused.
TEST_F(DownloadTest, OverHttpsTheCertificateIsCheckedAndARedirectToHttpIsRefused) {
  const std::string tls = serverRoot_ + "/tls";
  std::filesystem::create_directories(tls);
  const Child made = Spawn({"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                            "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                            tls + "/key.pem", "-out", tls + "/cert.pem"});
  ASSERT_EQ(WaitForExit(made.pid), 0);
  ::close(made.input);
  ::close(made.output);
  WriteText(tls + "/rules.json", R"({"/down.swf": {"redirect": ")" + base_ + R"(/game/main.swf"}})");
  Child secure = Spawn({"/usr/bin/python3", TARNHOLD_CONTENT_SERVER, "--root", serverRoot_ + "/files",
                        "--rules", tls + "/rules.json", "--port-file", tls + "/port", "--tls-cert",
                        tls + "/cert.pem", "--tls-key", tls + "/key.pem", "--max-seconds", "120"});
  ASSERT_TRUE(WaitFor([&] { return !ReadText(tls + "/port").empty(); }, std::chrono::seconds(20)));
  const std::string https = "https://127.0.0.1:" + std::to_string(std::stoi(ReadText(tls + "/port")));

  LinuxDownloads trusting(System().paths(), tls + "/cert.pem");
  const DownloadResult result = trusting.Fetch(https + "/game/main.swf", "C:\\Veltrotarn\\download");
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(Downloaded(), Pattern(5000));
  EXPECT_THROW(System().downloads().Fetch(https + "/game/main.swf", "C:\\Veltrotarn\\unchecked"), Error);
  EXPECT_THROW(trusting.Fetch(https + "/down.swf", "C:\\Veltrotarn\\down"), Error);

  ::kill(secure.pid, SIGTERM);
  WaitForExit(secure.pid);
  ::close(secure.input);
  ::close(secure.output);
}

}  // namespace
}  // namespace tarnhold::platform::linux_backend::testing
