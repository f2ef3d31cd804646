// The data folder's files and the Flash control's provisioning, on the real
// runtime under Wine: the client against the local content server, the test
// Flash control served as the library to provision.
#include <gtest/gtest.h>

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
  for (const wchar_t* name : {L"\\bg.png", L"\\Kestrune.lib", L"\\flash32.ocx", L"\\bg.png.download",
                              L"\\Kestrune.lib.download", L"\\flash32.ocx.download"}) {
    EXPECT_EQ(::GetFileAttributesW((kData + name).c_str()), INVALID_FILE_ATTRIBUTES) << name;
  }
  EXPECT_FALSE(FlashRegistered());
  // The next start tries again and gets them.
  ::DeleteFileW(rules.c_str());
  StartAndClose();
  EXPECT_EQ(Read(kData + L"\\bg.png"), png);
  EXPECT_TRUE(FlashRegistered());
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
