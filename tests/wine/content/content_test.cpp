// Downloads, the program's own resources and the registration worker, on the
// real system under Wine: downloads against a content server of the test's
// own that can answer an error, cut a body short, delay and redirect.
#include "platform/win32/win32_util.h"
// After <windows.h>, which the line above brings in lean.
#include <urlmon.h>
#include <wincrypt.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/win32_content.h"
#include "wine_support.h"
#include "worker_events.h"

namespace tarnhold::winetest {
namespace {

using namespace std::chrono_literals;
using platform::Error;
using platform::win32::Utf8;
using Bytes = std::vector<std::uint8_t>;

std::wstring Environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') {
    ADD_FAILURE() << name << " is not set; run the test through with_server.sh";
    return {};
  }
  return platform::win32::Wide(value);
}

std::string ServerUrl() { return Utf8(Environment("TARNHOLD_CONTENT_TEST_URL")); }
std::wstring ServerDir() { return Environment("TARNHOLD_CONTENT_TEST_DIR"); }

Bytes Text(const std::string& text) { return {text.begin(), text.end()}; }

// Different for each seed, and the same on every run.
Bytes PseudoRandom(std::size_t size, std::uint32_t seed) {
  Bytes bytes(size);
  std::uint32_t x = seed * 2654435761U + 1;
  for (auto& b : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  return bytes;
}

void WriteBytes(const std::wstring& path, const Bytes& bytes) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << Utf8(path);
  DWORD written = 0;
  const BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
  ASSERT_TRUE(ok && written == bytes.size()) << Utf8(path);
}

// Nothing when the file is not there, so that a missing file and an empty one differ.
std::optional<Bytes> ReadBytes(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  Bytes bytes;
  std::uint8_t chunk[65536];
  DWORD got = 0;
  while (::ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
    bytes.insert(bytes.end(), chunk, chunk + got);
  ::CloseHandle(file);
  return bytes;
}

// A local folder of this process's own, gone again after the test.
struct LocalFolder : ::testing::Test {
  const std::wstring folder = L"C:\\tarnhold-content-" + std::to_wstring(::GetCurrentProcessId());
  void SetUp() override {
    RemoveTree(folder);
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  }
  void TearDown() override { RemoveTree(folder); }
};

struct Download : LocalFolder {
  platform::win32::Win32Downloads downloads;
  const std::string url = ServerUrl();
  const std::wstring server = ServerDir();
  // Run together, the tests share one server: each looks at its own requests
  // and starts without rules.
  std::size_t earlier = 0;
  void SetUp() override {
    LocalFolder::SetUp();
    Rules("{}");
    earlier = AllRequests().size();
  }

  void Serve(const std::wstring& name, const Bytes& bytes) { WriteBytes(server + L"\\root\\" + name, bytes); }
  // The server reads its rules on every request; a rename keeps it from
  // seeing half a file.
  void Rules(const std::string& json) {
    const std::wstring rules = server + L"\\rules.json";
    WriteBytes(rules + L".tmp", Text(json));
    ASSERT_TRUE(::MoveFileExW((rules + L".tmp").c_str(), rules.c_str(), MOVEFILE_REPLACE_EXISTING));
  }
  std::vector<std::string> Requests() const {
    std::vector<std::string> lines = AllRequests();
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(earlier, lines.size())));
    return lines;
  }
  std::vector<std::string> AllRequests() const {
    const auto log = ReadBytes(server + L"\\requests.log");
    std::vector<std::string> lines;
    std::string line;
    for (const std::uint8_t c : log.value_or(Bytes{})) {
      if (c == '\n') {
        // "sent" lines tell of bodies, not of requests.
        if (line.rfind("sent ", 0) != 0) lines.push_back(line);
        line.clear();
      } else {
        line.push_back(static_cast<char>(c));
      }
    }
    return lines;
  }
  platform::DownloadResult Fetch(const std::string& path, const std::wstring& target) {
    return downloads.Fetch(url + path, Utf8(target));
  }
};

// The test's certificate in the user's trusted roots of this prefix, for as
// long as the object lives. Added through a store of its own, closed at
// once: what an open store holds is not yet seen by the checks.
class TrustedRoot {
 public:
  explicit TrustedRoot(Bytes der)
      : der_(std::move(der)),
        added_(::CertAddEncodedCertificateToSystemStoreW(L"Root", der_.data(),
                                                         static_cast<DWORD>(der_.size())) != FALSE) {}
  // By its key in the registry, under the certificate's SHA-1: deleted
  // through the store, it came back at the next start of the prefix.
  ~TrustedRoot() {
    if (!added_) return;
    std::array<BYTE, 20> sha1{};
    DWORD size = sha1.size();
    if (!::CryptHashCertificate(0, CALG_SHA1, 0, der_.data(), static_cast<DWORD>(der_.size()), sha1.data(),
                                &size)) {
      return;
    }
    std::wstring key = L"Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\";
    for (const BYTE b : sha1) {
      constexpr const wchar_t* kDigits = L"0123456789ABCDEF";
      key += kDigits[b >> 4];
      key += kDigits[b & 0xF];
    }
    ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
  }
  TrustedRoot(const TrustedRoot&) = delete;
  TrustedRoot& operator=(const TrustedRoot&) = delete;
  bool Added() const { return added_; }

 private:
  Bytes der_;
  bool added_;
};

// Over https, with a certificate made for 127.0.0.1 as the test starts and
// trusted by no one: the check refuses it. (Run alone: the system keeps
// the trusted roots it has read for the rest of the process.)
TEST_F(Download, OverHttpsACertificateOfAnUnknownIssuerIsRefused) {
  Serve(L"main.swf", PseudoRandom(5000, 11));
  const std::string https = Utf8(Environment("TARNHOLD_CONTENT_TEST_HTTPS_URL"));
  try {
    downloads.Fetch(https + "/main.swf", Utf8(folder + L"\\x.download"));
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("12045"), std::string::npos)
        << e.what() << ": not an unknown issuer";
  }
}

// The same certificate trusted first: the body comes whole, and a redirect
// to plain http is refused, never asked of the http server.
TEST_F(Download, OverHttpsATrustedCertificateServesAndARedirectToHttpIsRefused) {
  const std::optional<Bytes> der = ReadBytes(server + L"\\tls\\cert.der");
  ASSERT_TRUE(der.has_value());
  const TrustedRoot trusted(*der);
  ASSERT_TRUE(trusted.Added());
  const std::string https = Utf8(Environment("TARNHOLD_CONTENT_TEST_HTTPS_URL"));
  const Bytes body = PseudoRandom(5000, 11);
  Serve(L"main.swf", body);
  Rules(R"({"/down.swf": {"redirect": ")" + url + R"(/main.swf"}})");
  const std::wstring target = folder + L"\\x.download";

  const platform::DownloadResult result = downloads.Fetch(https + "/main.swf", Utf8(target));
  EXPECT_EQ(result.status, 200);
  EXPECT_TRUE(ReadBytes(target) == body);
  EXPECT_THROW(downloads.Fetch(https + "/down.swf", Utf8(target)), Error);
  EXPECT_TRUE(Requests().empty()) << Requests().front();
}

// A cache keyed on the address would hand back the first bytes; a copy in the
// user's cache would be found by its address.
TEST_F(Download, EveryDownloadAsksTheServerAndLeavesNoCacheCopy) {
  const Bytes first = PseudoRandom(4096, 6);
  const Bytes second = PseudoRandom(4096, 7);
  const std::wstring target = folder + L"\\x.download";
  Serve(L"config.xml", first);
  EXPECT_EQ(Fetch("/config.xml", target).status, 200);
  EXPECT_TRUE(ReadBytes(target) == first);
  Serve(L"config.xml", second);
  EXPECT_EQ(Fetch("/config.xml", target).status, 200);
  EXPECT_TRUE(ReadBytes(target) == second) << "the changed file must be fetched anew";
  EXPECT_EQ(Requests(), (std::vector<std::string>{"GET /config.xml 200", "GET /config.xml 200"}));

  const auto cached = [](const std::string& address) {
    DWORD size = 0;
    const BOOL found = ::GetUrlCacheEntryInfoW(platform::win32::Wide(address).c_str(), nullptr, &size);
    return found || ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
  };
  EXPECT_FALSE(cached(url + "/config.xml"));
  // The probe itself finds what the system's own download call leaves behind.
  Serve(L"probe.xml", first);
  ASSERT_EQ(::URLDownloadToFileW(nullptr, platform::win32::Wide(url + "/probe.xml").c_str(),
                                 (folder + L"\\probe.xml").c_str(), 0, nullptr),
            S_OK);
  EXPECT_TRUE(cached(url + "/probe.xml"));
}

TEST_F(Download, ASlowAnswerIsWaitedForToTheEnd) {
  const Bytes body = PseudoRandom(100000, 8);
  Serve(L"slow.swf", body);
  Rules(R"({"/slow.swf": {"delay_ms": 1500}})");
  const std::wstring target = folder + L"\\x.download";
  const LARGE_INTEGER start = Now();
  const platform::DownloadResult result = Fetch("/slow.swf", target);
  EXPECT_GE(SecondsSince(start), 1.4);
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.received, body.size());
  EXPECT_TRUE(ReadBytes(target) == body);
}

// --- Resources -------------------------------------------------------------------

TEST(Resource, WhatTheProgramDoesNotCarryIsNotFound) {
  platform::win32::Win32Resources resources;
  EXPECT_THROW(resources.Load("BG", 100), Error);
  EXPECT_THROW(resources.Load("KESTRUNE", 100), Error);
  EXPECT_THROW(resources.Load("FLASH", 100), Error);
  EXPECT_THROW(resources.Load("#16", 2), Error) << "the version record is number 1 only";
  EXPECT_THROW(resources.Load("TNSAMPLE", 0), Error);
  EXPECT_THROW(resources.Load("TNSAMPLE", 65536 + 100), Error) << "not the id cut to 16 bits";
}

TEST(Resource, TheVersionRecordIsFoundByItsNumberedType) {
  platform::win32::Win32Resources resources;
  const Bytes record = resources.Load("#16", 1);
  ASSERT_GE(record.size(), 6 + 32 + 52U);
  const auto word = [&](std::size_t at) { return static_cast<unsigned>(record[at] | (record[at + 1] << 8)); };
  const auto dword = [&](std::size_t at) { return word(at) | (word(at + 2) << 16); };
  EXPECT_EQ(word(0), record.size()) << "the record's own length";
  std::wstring key;
  for (std::size_t at = 6; word(at) != 0; at += 2) key.push_back(static_cast<wchar_t>(word(at)));
  EXPECT_EQ(key, L"VS_VERSION_INFO");
  // VS_FIXEDFILEINFO, aligned to 32 bits after the key and its terminator.
  EXPECT_EQ(dword(40), 0xFEEF04BDU);
  EXPECT_EQ(dword(48), 0x00010000U) << "file version 1.0";
  EXPECT_EQ(dword(52), 0U) << "file version .0.0";
}

TEST(Resource, ANamedTypeIsFoundWhateverTheCaseOfItsName) {
  platform::win32::Win32Resources resources;
  EXPECT_EQ(resources.Load("TNSAMPLE", 100), Text("sample"));
  EXPECT_EQ(resources.Load("tnSample", 100), Text("sample"));
}

// --- Libraries and the registration worker ------------------------------------------

struct Library : LocalFolder {
  platform::win32::Win32Libraries libraries;
  std::wstring path;
  void SetUp() override {
    LocalFolder::SetUp();
    const std::wstring subfolder = folder + L"\\Biblioth\u00e8que \u2713";
    ASSERT_TRUE(::CreateDirectoryW(subfolder.c_str(), nullptr));
    path = subfolder + L"\\worker.dll";
    ASSERT_TRUE(::CopyFileW((OwnFolder() + L"\\content_worker.dll").c_str(), path.c_str(), FALSE))
        << "content_worker.dll is built beside the test";
  }
  // Its own function, looked up directly: a check that does not go through
  // the code under test.
  template <class Result>
  Result Ask(platform::ModuleHandle module, const char* name) {
    const FARPROC proc = ::GetProcAddress(reinterpret_cast<HMODULE>(module), name);
    if (proc == nullptr) {
      ADD_FAILURE() << name << " missing";
      return {};
    }
    return reinterpret_cast<Result(WINAPI*)()>(reinterpret_cast<std::uintptr_t>(proc))();
  }
  static HANDLE Event(const wchar_t* what) {
    return ::CreateEventW(nullptr, TRUE, FALSE, WorkerEventName(what).c_str());
  }
  static HMODULE ModuleOf(void* address) {
    HMODULE found = nullptr;
    ::GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        static_cast<LPCWSTR>(address), &found);
    return found;
  }
  static DWORD ExitCodeOf(platform::ThreadHandle thread) {
    DWORD code = 0;
    EXPECT_TRUE(::GetExitCodeThread(reinterpret_cast<HANDLE>(thread), &code));
    return code;
  }
};

TEST_F(Library, WhatIsNoLibraryLoadsAsZero) {
  EXPECT_EQ(libraries.Load(Utf8(folder + L"\\missing.dll")), 0U);
  const std::wstring text = folder + L"\\text.dll";
  WriteBytes(text, Text("not a library at all"));
  EXPECT_EQ(libraries.Load(Utf8(text)), 0U);
  EXPECT_EQ(libraries.Export(0, "DllRegisterServer"), 0U);
}

TEST_F(Library, AnExportRunsOnAWorkerOfItsOwnAndTheWaitEndsWithIt) {
  HANDLE ran = Event(L"ran");
  ASSERT_NE(ran, nullptr);
  const platform::ModuleHandle module = libraries.Load(Utf8(path));
  ASSERT_NE(module, 0U);
  EXPECT_NE(::GetModuleHandleW(path.c_str()), nullptr);
  const platform::ProcAddress entry = libraries.Export(module, "DllRegisterServer");
  ASSERT_NE(entry, 0U);

  for (int round = 1; round <= 2; ++round) {
    ::ResetEvent(ran);
    const platform::ThreadHandle worker = libraries.StartThread(entry);
    ASSERT_NE(worker, 0U);
    EXPECT_EQ(libraries.Wait(worker, 10000), platform::kWaitObject0);
    EXPECT_EQ(::WaitForSingleObject(ran, 0), WAIT_OBJECT_0) << "the export ran before the wait ended";
    EXPECT_EQ(Ask<LONG>(module, "CallCount"), round);
    const DWORD thread = Ask<DWORD>(module, "LastThread");
    EXPECT_EQ(thread, ::GetThreadId(reinterpret_cast<HANDLE>(worker)));
    EXPECT_NE(thread, ::GetCurrentThreadId());
    EXPECT_EQ(ExitCodeOf(worker), static_cast<DWORD>(S_OK));
    EXPECT_EQ(ModuleOf(Ask<void*>(module, "LastCaller")), ::GetModuleHandleW(nullptr))
        << "the export is called by the program's own code, with no argument, not as a thread start routine";
    libraries.Close(worker);
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(reinterpret_cast<HANDLE>(worker), &flags)) << "the handle is closed";
  }
  libraries.Free(module);
  EXPECT_EQ(::GetModuleHandleW(path.c_str()), nullptr) << "the library is unloaded";
  ::CloseHandle(ran);
}

TEST_F(Library, TheExportsResultIsTheWorkersExitCode) {
  const platform::ModuleHandle module = libraries.Load(Utf8(path));
  ASSERT_NE(module, 0U);
  const platform::ThreadHandle worker = libraries.StartThread(libraries.Export(module, "Refuse"));
  ASSERT_NE(worker, 0U);
  EXPECT_EQ(libraries.Wait(worker, 10000), platform::kWaitObject0);
  EXPECT_EQ(ExitCodeOf(worker), static_cast<DWORD>(E_FAIL));
  EXPECT_EQ(Ask<LONG>(module, "CallCount"), 1);
  libraries.Close(worker);
  libraries.Free(module);
}

TEST_F(Library, AHangingExportOutlastsTheWaitAndFinishesOnceReleased) {
  HANDLE entered = Event(L"entered");
  HANDLE release = Event(L"release");
  ASSERT_TRUE(entered != nullptr && release != nullptr);
  const platform::ModuleHandle module = libraries.Load(Utf8(path));
  ASSERT_NE(module, 0U);
  const platform::ThreadHandle worker = libraries.StartThread(libraries.Export(module, "Hang"));
  ASSERT_NE(worker, 0U);
  ASSERT_EQ(::WaitForSingleObject(entered, 10000), WAIT_OBJECT_0) << "the export started";

  const LARGE_INTEGER start = Now();
  EXPECT_EQ(libraries.Wait(worker, 300), platform::kWaitTimeout);
  const double waited = SecondsSince(start);
  EXPECT_GE(waited, 0.25);
  // The worker is held until released below: a wait that ended with it
  // would not have returned at all.
  std::printf("a 300 ms wait on a hanging export returned after %.0f ms\n", waited * 1000);

  // The worker is still inside the library: only once it has ended may the
  // library go.
  ::SetEvent(release);
  EXPECT_EQ(libraries.Wait(worker, 10000), platform::kWaitObject0);
  EXPECT_EQ(ExitCodeOf(worker), static_cast<DWORD>(S_OK)) << "released, not timed out";
  libraries.Close(worker);
  libraries.Free(module);
  ::CloseHandle(release);
  ::CloseHandle(entered);
}

TEST_F(Library, AMissingExportIsZeroAndNothingStartsAtZero) {
  const platform::ModuleHandle module = libraries.Load(Utf8(path));
  ASSERT_NE(module, 0U);
  EXPECT_NE(libraries.Export(module, "DllRegisterServer"), 0U);
  EXPECT_EQ(libraries.Export(module, "DllUnregisterServer"), 0U);
  EXPECT_EQ(libraries.Export(module, "dllregisterserver"), 0U) << "export names are case-sensitive";
  EXPECT_EQ(libraries.StartThread(0), 0U);
  EXPECT_EQ(libraries.Wait(0, 0), platform::kWaitFailed);
  libraries.Free(module);
}

}  // namespace
}  // namespace tarnhold::winetest
