// The data folder's files and the Flash control's provisioning, on the real
// runtime under Wine: the client against the local content server, the test
// Flash control served as the library to provision.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>

#include "wine_support.h"

#include <objbase.h>

namespace tarnhold::winetest {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<char>;

const std::wstring kData = L"C:\\Veltrotarn";
const std::wstring kDownloads = L"C:\\users\\Public\\Downloads";

Bytes Read(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void Write(const std::wstring& path, const Bytes& bytes) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const std::wstring& path, const std::string& text) {
  Write(path, Bytes(text.begin(), text.end()));
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The download's temporary files left in the data folder, by name.
std::vector<std::wstring> Leftovers() {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW((kData + L"\\*.download").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.emplace_back(found.cFileName);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

bool FlashRegistered() {
  CLSID clsid{};
  return ::CLSIDFromProgID(L"ShockwaveFlash.ShockwaveFlash", &clsid) == S_OK;
}

struct Provisioning : ::testing::Test {
  const std::wstring root = FromUnix("TARNHOLD_CONTENT_ROOT") + L"\\kvx_stable";
  const std::wstring contentLog = FromUnix("TARNHOLD_CONTENT_LOG");
  const std::wstring rules = FromUnix("TARNHOLD_CONTENT_RULES");
  Bytes png;
  Bytes swf;

  void SetUp() override {
    ASSERT_FALSE(root.empty());
    // No Flash control on the machine, no data folder, no rules.
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\ShockwaveFlash.ShockwaveFlash");
    ASSERT_FALSE(FlashRegistered());
    RemoveTree(kData);
    ::DeleteFileW(rules.c_str());
    std::mt19937 random(7);
    png.resize(300000);
    swf.resize(120000);
    for (char& b : png) b = static_cast<char>(random());
    for (char& b : swf) b = static_cast<char>(random());
    ::CreateDirectoryW((root + L"\\microClient").c_str(), nullptr);
    ::CreateDirectoryW((root + L"\\bin").c_str(), nullptr);
    Write(root + L"\\microClient\\bg.png", png);
    Write(root + L"\\bin\\Kestrune.swf", swf);
    ASSERT_TRUE(::CopyFileW((OwnFolder() + L"\\fixtures\\flash32.ocx").c_str(),
                            (root + L"\\microClient\\flash32.ocx").c_str(), FALSE));
    CopyInto(OwnFolder() + L"\\Veltrotarn.exe", kDownloads, L"Veltrotarn.exe");
  }
  void TearDown() override { ::DeleteFileW(rules.c_str()); }

  std::size_t Requests() { return CountLines(contentLog, "GET "); }

  // One start up to the login screen and a close by the system; the seconds
  // it took to show the login screen.
  double StartAndClose(std::chrono::seconds limit = 60s) {
    const LARGE_INTEGER start = Now();
    Child client(kDownloads + L"\\Veltrotarn.exe", L"");
    EXPECT_TRUE(WaitUntil(limit, [&] { return LoginScreenShown(client); })) << "no login screen";
    const double seconds = SecondsSince(start);
    EXPECT_TRUE(CloseThroughTheFrame(client));
    return seconds;
  }
};

TEST_F(Provisioning, AFirstStartStoresTheFilesAsServedAndRegistersTheDownloadedControl) {
  const double withDownloads = StartAndClose();
  EXPECT_EQ(Read(kData + L"\\bg.png"), png);
  EXPECT_EQ(Read(kData + L"\\Kestrune.lib"), swf);
  EXPECT_EQ(Read(kData + L"\\flash32.ocx"), Read(root + L"\\microClient\\flash32.ocx"));
  EXPECT_EQ(CountLines(kData + L"\\flash32.log", "register"), 1u);
  EXPECT_TRUE(FlashRegistered()) << "the provisioned control is creatable";

  const std::size_t before = Requests();
  const double noNetwork = StartAndClose();
  EXPECT_EQ(Requests(), before) << "a second start asks the server nothing";
  EXPECT_EQ(CountLines(kData + L"\\flash32.log", "register"), 1u)
      << "the control is current: no provisioning";
  std::printf("start-up to the login screen: %.0f ms downloading the three files, %.0f ms with all present\n",
              withDownloads * 1000, noNetwork * 1000);
}

TEST_F(Provisioning, AnOldControlIsRegisteredAgainWithoutADownload) {
  StartAndClose();
  WriteText(kData + L"\\flash32.version", "WIN 11,8,800,94");
  const std::size_t before = Requests();
  StartAndClose();
  EXPECT_EQ(Requests(), before);
  EXPECT_EQ(CountLines(kData + L"\\flash32.log", "register"), 2u);
}

TEST_F(Provisioning, AnErrorPageOrACutBodyLeavesNoFile) {
  WriteText(rules, R"({"/kvx_stable/microClient/bg.png": {"status": 404},)"
                   R"( "/kvx_stable/bin/Kestrune.swf": {"cut": 1000},)"
                   R"( "/kvx_stable/microClient/flash32.ocx": {"cut": 5000}})");
  StartAndClose();
  for (const wchar_t* name : {L"\\bg.png", L"\\Kestrune.lib", L"\\flash32.ocx"}) {
    EXPECT_EQ(::GetFileAttributesW((kData + name).c_str()), INVALID_FILE_ATTRIBUTES) << name;
  }
  EXPECT_TRUE(Leftovers().empty()) << Narrow(Leftovers().front());
  EXPECT_FALSE(FlashRegistered());
  // The next start tries again and gets them.
  ::DeleteFileW(rules.c_str());
  StartAndClose();
  EXPECT_EQ(Read(kData + L"\\bg.png"), png);
  EXPECT_TRUE(FlashRegistered());
}

// A server that takes the request for bg.png and never answers, and one that
// stops in the middle of Kestrune.swf: each download ends once nothing has
// come for the stall limit, as a failed one. Nothing is stored, the start-up
// goes on, and the next start tries again.
TEST_F(Provisioning, AServerThatNeverAnswersOrStopsMidwayHoldsTheStartUpOnlyForTheStallLimit) {
  WriteText(rules, R"({"/kvx_stable/microClient/bg.png": {"silent": true},)"
                   R"( "/kvx_stable/bin/Kestrune.swf": {"stall": 1000}})");
  const double shown = StartAndClose(180s);
  std::printf("login screen shown %.1f s after the start, two downloads stalled\n", shown);
  std::fflush(stdout);
  for (const wchar_t* name : {L"\\bg.png", L"\\Kestrune.lib"}) {
    EXPECT_EQ(::GetFileAttributesW((kData + name).c_str()), INVALID_FILE_ATTRIBUTES) << Narrow(name);
  }
  EXPECT_TRUE(Leftovers().empty());
  ::DeleteFileW(rules.c_str());
  StartAndClose();
  EXPECT_EQ(Read(kData + L"\\bg.png"), png);
  EXPECT_EQ(Read(kData + L"\\Kestrune.lib"), swf);
}

// A server that never lets go: bg.png redirects to itself, Kestrune.swf
// comes a byte every 5 s, and flash32.ocx is a chunked body cut before its
// last chunk. Each download fails, the login screen shows within the
// bound, and nothing is stored.
TEST_F(Provisioning, ARedirectLoopATrickleAndACutChunkedBodyStoreNothingAndHoldTheStartUpBounded) {
  WriteText(rules, R"({"/kvx_stable/microClient/bg.png": {"redirect": "/kvx_stable/microClient/bg.png"},)"
                   R"( "/kvx_stable/bin/Kestrune.swf": {"trickle_ms": 5000},)"
                   R"( "/kvx_stable/microClient/flash32.ocx": {"chunked_cut": 1000}})");
  const std::size_t before = CountLines(contentLog, "GET /kvx_stable/microClient/bg.png");
  // The silence limit and the slow-transfer window are 30 s each; a
  // download ends within one window of its last byte.
  const double shown = StartAndClose(75s);
  std::printf("login screen shown %.1f s after the start; bg.png asked %zu times\n", shown,
              CountLines(contentLog, "GET /kvx_stable/microClient/bg.png") - before);
  std::fflush(stdout);
  EXPECT_LE(CountLines(contentLog, "GET /kvx_stable/microClient/bg.png") - before, 11u);
  for (const wchar_t* name : {L"\\bg.png", L"\\Kestrune.lib", L"\\flash32.ocx"}) {
    EXPECT_EQ(::GetFileAttributesW((kData + name).c_str()), INVALID_FILE_ATTRIBUTES) << Narrow(name);
  }
  EXPECT_TRUE(Leftovers().empty());
}

// Two clients started at once, the server slowed so that their downloads
// overlap: each downloads to a name of its own, and what is moved into place
// is always one whole answer.
TEST_F(Provisioning, TwoStartsAtOnceEachStoreAWholeAnswer) {
  WriteText(rules, R"({"/kvx_stable/microClient/bg.png": {"chunk_ms": 40},)"
                   R"( "/kvx_stable/bin/Kestrune.swf": {"chunk_ms": 40}})");
  const std::string bgSent = "sent /kvx_stable/microClient/bg.png " + std::to_string(png.size());
  const std::size_t before = CountLines(contentLog, bgSent);
  Child first(kDownloads + L"\\Veltrotarn.exe", L"");
  Child second(kDownloads + L"\\Veltrotarn.exe", L"");
  EXPECT_TRUE(WaitUntil(120s, [&] { return LoginScreenShown(first) && LoginScreenShown(second); }))
      << "not both login screens";
  // Sharing one temporary name, the second start could not write its
  // download and gave it up: its frame had no picture.
  EXPECT_EQ(CountLines(contentLog, bgSent), before + 2) << "not both took the whole answer";
  EXPECT_EQ(Read(kData + L"\\bg.png"), png);
  EXPECT_EQ(Read(kData + L"\\Kestrune.lib"), swf);
  EXPECT_TRUE(Leftovers().empty()) << Narrow(Leftovers().front());
  EXPECT_TRUE(CloseThroughTheFrame(first));
  EXPECT_TRUE(CloseThroughTheFrame(second));
  ::DeleteFileW(rules.c_str());
  // Both stored whole: a third start asks the server for nothing.
  const std::size_t requests = Requests();
  StartAndClose();
  EXPECT_EQ(Requests(), requests);
}

TEST_F(Provisioning, ARegistrationThatHangsHoldsTheStartUpForTenSecondsOnly) {
  ::CreateDirectoryW(kData.c_str(), nullptr);
  ASSERT_TRUE(
      ::CopyFileW((root + L"\\microClient\\flash32.ocx").c_str(), (kData + L"\\flash32.ocx").c_str(), FALSE));
  WriteText(kData + L"\\flash32.regdelay", "15000");
  const LARGE_INTEGER start = Now();
  Child client(kDownloads + L"\\Veltrotarn.exe", L"");
  ASSERT_TRUE(WaitUntil(40s, [&] { return LoginScreenShown(client); }));
  const double shown = SecondsSince(start);
  EXPECT_EQ(CountLines(kData + L"\\flash32.log", "register"), 0) << "shown before the registration ended";
  EXPECT_GE(shown, 10.0) << "the start-up waits for the registration";
  std::printf("login screen shown %.1f s after the start, the registration hanging for 15 s\n", shown);
  std::fflush(stdout);
  // The worker finishes later, in the library the client kept loaded.
  ASSERT_TRUE(WaitUntil(20s, [&] { return CountLines(kData + L"\\flash32.log", "register") == 1; }));
  DWORD code = 0;
  EXPECT_FALSE(client.WaitForExit(500, code)) << "the client is still running";
  EXPECT_TRUE(LoginScreenShown(client));
  EXPECT_TRUE(CloseThroughTheFrame(client));
}

}  // namespace
}  // namespace tarnhold::winetest
