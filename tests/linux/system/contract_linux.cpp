// The seam's contract against the Linux system services, in a private home,
// with a content server of the test's own.
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>

#include <filesystem>

#include <glib.h>

#include "contract/platform_contract.h"
#include "test_support.h"

namespace tarnhold::platform::linux_backend::testing {
namespace {

using contract::Contract;
using contract::Fault;

// The home and the system of SystemTest, for as long as the backend lives.
class PrivateHome final : public SystemTest {
 public:
  PrivateHome() { SetUp(); }
  ~PrivateHome() override { TearDown(); }
  PrivateHome(const PrivateHome&) = delete;
  PrivateHome& operator=(const PrivateHome&) = delete;
  void TestBody() override {}
  using SystemTest::ConfigHome;
  using SystemTest::DataHome;
  using SystemTest::Root;
  using SystemTest::System;
};

class LinuxBackend final : public contract::Backend {
 public:
  LinuxBackend() {
    home_.System().Fill(context_);
    std::filesystem::create_directories(home_.DataHome() + "/Veltrotarn");
  }
  ~LinuxBackend() override { Stop(server_); }
  LinuxBackend(const LinuxBackend&) = delete;
  LinuxBackend& operator=(const LinuxBackend&) = delete;

  platform::Context& Context() override { return context_; }
  std::string Folder() override { return "C:\\Veltrotarn"; }
  // The kernel holds a running executable's file in use: the file becomes
  // one, and runs until the holder goes.
  std::shared_ptr<void> HoldInUse(const std::string& path) override {
    const std::string native = home_.System().paths().NativeOf(path);
    std::filesystem::copy_file("/bin/sleep", native, std::filesystem::copy_options::overwrite_existing);
    ::chmod(native.c_str(), 0755);
    const Child running = Spawn({native, "60"});
    if (running.pid <= 0) return nullptr;
    auto holder = std::shared_ptr<void>(new Child(running), [](void* p) {
      Stop(*static_cast<Child*>(p));
      delete static_cast<Child*>(p);
    });
    const bool mapped = WaitFor(
        [&] {
          std::error_code error;
          return std::filesystem::read_symlink("/proc/" + std::to_string(running.pid) + "/exe", error) ==
                 native;
        },
        std::chrono::seconds(10));
    return mapped ? holder : nullptr;
  }
  // The locale decides, as a Windows system's language decides its own.
  const platform::CodePage* CodePage(int windowsCodePage) override {
    if (windowsCodePage != 1252 && windowsCodePage != 936) return nullptr;
    ::setenv("LANG", windowsCodePage == 936 ? "zh_CN.UTF-8" : "de_DE.UTF-8", 1);
    codePage_ = std::make_unique<LinuxCodePage>();
    return codePage_.get();
  }
  // The key file keeps a name in the case it was first written in, under
  // the root's long name.
  std::optional<std::string> RegistryValue(const std::string& name) override {
    std::unique_ptr<GKeyFile, decltype(&g_key_file_free)> file(g_key_file_new(), &g_key_file_free);
    const std::string path = home_.ConfigHome() + "/tarnhold/registry.ini";
    if (!g_key_file_load_from_file(file.get(), path.c_str(), G_KEY_FILE_NONE, nullptr)) return std::nullopt;
    const auto at = name.find_last_of('\\');
    const std::string group = "HKEY_LOCAL_MACHINE" + name.substr(4, at - 4);
    std::unique_ptr<gchar, decltype(&g_free)> text(
        g_key_file_get_string(file.get(), group.c_str(), name.substr(at + 1).c_str(), nullptr), &g_free);
    return text ? std::optional<std::string>(text.get()) : std::nullopt;
  }
  std::string Serve(const std::string& path, const std::vector<std::uint8_t>& body, Fault fault,
                    std::size_t sent) override {
    const std::string server = home_.Root() + "/server";
    const std::string file = server + "/files" + contract::ServerRules::FileOf(path, fault);
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    WriteText(file, std::string(body.begin(), body.end()));
    // The server reads its rules on every request: a rename keeps it from
    // seeing half a file.
    WriteText(server + "/rules.tmp", rules_.Add(path, fault, sent));
    std::filesystem::rename(server + "/rules.tmp", server + "/rules.json");
    if (server_.pid <= 0) {
      server_ = Spawn({"/usr/bin/python3", TARNHOLD_CONTENT_SERVER, "--root", server + "/files", "--rules",
                       server + "/rules.json", "--port-file", server + "/port", "--max-seconds", "120"});
      if (!WaitFor([&] { return !ReadText(server + "/port").empty(); }, std::chrono::seconds(20))) return {};
    }
    return "http://127.0.0.1:" + std::to_string(std::stoi(ReadText(server + "/port"))) + path;
  }
  std::string WhyNoWindows() override {
    return "the system tests run without a display: windows and the Flash control are the GTK runtime's";
  }
  platform::ActiveXControl* Control(std::pair<std::string, platform::Variant>& /*property*/) override {
    return nullptr;
  }

 private:
  static void Stop(Child& child) {
    if (child.pid <= 0) return;
    ::kill(child.pid, SIGKILL);
    WaitForExit(child.pid);
    ::close(child.input);
    ::close(child.output);
  }

  PrivateHome home_;
  platform::Context context_;
  std::unique_ptr<LinuxCodePage> codePage_;
  contract::ServerRules rules_;
  Child server_;
};

INSTANTIATE_TEST_SUITE_P(Linux, Contract,
                         ::testing::Values(contract::Factory{
                             "Linux", [] { return std::make_unique<LinuxBackend>(); }}),
                         contract::FactoryName);

}  // namespace
}  // namespace tarnhold::platform::linux_backend::testing
