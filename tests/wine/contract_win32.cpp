// The seam's contract against the Win32 backend on the real system, with a
// content server of the test's own (with_server.sh).
#include <cstdlib>

#include "contract/platform_contract.h"
#include "platform/win32/win32_platform.h"
#include "wine_support.h"

namespace tarnhold::winetest {

platform::win32::Win32Platform& SharedPlatform() {
  static auto* platform = new platform::win32::Win32Platform(::GetModuleHandleW(nullptr));
  return *platform;
}

namespace {

using contract::Contract;
using contract::Fault;
using platform::win32::Wide;

constexpr wchar_t kEntryKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TarnholdContract";

class Win32Backend final : public contract::Backend, platform::WindowEvents {
 public:
  Win32Backend() {
    RemoveTree(Wide(kFolder));
    Context().FileSystem().CreateFolder(kFolder);
  }
  ~Win32Backend() override {
    form_.reset();
    RemoveTree(Wide(kFolder));
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kEntryKey);
  }
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;

  platform::Context& Context() override { return SharedPlatform().context(); }
  std::string Folder() override { return kFolder; }
  // Open without sharing, as the system holds a running program's file.
  std::shared_ptr<void> HoldInUse(const std::string& path) override {
    HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return {file, [](void* handle) { ::CloseHandle(handle); }};
  }
  // The prefix's own, which a test cannot change for its process.
  const platform::CodePage* CodePage(int windowsCodePage) override {
    return ::GetACP() == static_cast<UINT>(windowsCodePage) ? &Context().Ansi() : nullptr;
  }
  // The names the contract reads are all below HKLM.
  std::optional<std::string> RegistryValue(const std::string& name) override {
    const auto at = name.find_last_of('\\');
    wchar_t text[1024] = {};
    DWORD size = sizeof text;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, Wide(name.substr(5, at - 5)).c_str(),
                       Wide(name.substr(at + 1)).c_str(), RRF_RT_REG_SZ, nullptr, text,
                       &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    return platform::win32::Utf8(text);
  }
  std::string Serve(const std::string& path, const std::vector<std::uint8_t>& body, Fault fault,
                    std::size_t sent) override {
    const char* url = std::getenv("TARNHOLD_CONTENT_TEST_URL");
    const char* dir = std::getenv("TARNHOLD_CONTENT_TEST_DIR");
    if (url == nullptr || dir == nullptr) {
      ADD_FAILURE() << "no content server: run the test through with_server.sh";
      return {};
    }
    const std::wstring server = Wide(dir);
    std::wstring file = server + L"\\root" + Wide(contract::ServerRules::FileOf(path, fault));
    for (wchar_t& c : file) c = c == L'/' ? L'\\' : c;
    WriteAll(file, std::string(body.begin(), body.end()));
    const std::string json = rules_.Add(path, fault, sent);
    // The server reads its rules on every request: a rename keeps it from
    // seeing half a file.
    WriteAll(server + L"\\rules.json.tmp", json);
    ::MoveFileExW((server + L"\\rules.json.tmp").c_str(), (server + L"\\rules.json").c_str(),
                  MOVEFILE_REPLACE_EXISTING);
    return std::string(url) + path;
  }
  platform::ActiveXControl* Control(std::pair<std::string, platform::Variant>& property) override {
    form_ = Context().Windows().NewWindow({"Form3", 3000, 3000}, *this);
    property = {"Silent", true};
    return form_->AddActiveX("Shell.Explorer.2", "WebBrowser1");
  }
  bool Settle(const std::function<bool()>& condition) override {
    return WaitUntil(std::chrono::seconds(5), [&] {
      MSG m;
      while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&m);
      return condition();
    });
  }

 private:
  static void WriteAll(const std::wstring& path, const std::string& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << platform::win32::Utf8(path);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
  }

  static constexpr const char* kFolder = "C:\\tarnhold-contract";
  contract::ServerRules rules_;
  std::unique_ptr<platform::Window> form_;
};

INSTANTIATE_TEST_SUITE_P(Win32, Contract,
                         ::testing::Values(contract::Factory{
                             "Win32", [] { return std::make_unique<Win32Backend>(); }}),
                         contract::FactoryName);

}  // namespace
}  // namespace tarnhold::winetest
