// The seam's contract against the simulated platform.
#include "contract/platform_contract.h"
#include "platform/sim/sim_platform.h"

namespace tarnhold::contract {
namespace {

using platform::sim::SimPlatform;

class SimBackend final : public Backend, platform::WindowEvents {
 public:
  SimBackend() { sim_.AddFolder(kFolder); }
  platform::Context& Context() override { return sim_.context(); }
  std::string Folder() override { return kFolder; }
  std::shared_ptr<void> HoldInUse(const std::string& path) override {
    sim_.SetInUse(path, true);
    return {this, [this, path](void*) {
              if (sim_.HasFile(path)) sim_.SetInUse(path, false);
            }};
  }
  const platform::CodePage* CodePage(int windowsCodePage) override {
    sim_.SetCodePage(windowsCodePage);
    return &sim_.context().Ansi();
  }
  // By the name it was first written under, as the registry keeps it.
  std::optional<std::string> RegistryValue(const std::string& name) override {
    const auto it = sim_.Registry().find(name);
    return it == sim_.Registry().end() ? std::nullopt : std::optional<std::string>(it->second);
  }
  // No clock runs here, so nothing can stall, and a URL is its bytes.
  std::string Serve(const std::string& path, const std::vector<std::uint8_t>& body, Fault fault,
                    std::size_t sent) override {
    std::string url = "http://127.0.0.1/kvx_stable" + path;
    switch (fault) {
      case Fault::None:
        sim_.Serve(url, body);
        return url;
      case Fault::NotFound:
        sim_.Serve(url, body, 404);
        return url;
      case Fault::Cut:
        sim_.ServeCut(url, body, sent);
        return url;
      case Fault::Stall:
      case Fault::Trickle:
      case Fault::Redirect:
        break;
    }
    return {};
  }
  platform::ActiveXControl* Control(std::pair<std::string, platform::Variant>& property) override {
    sim_.RegisterProgId("ShockwaveFlash.ShockwaveFlash", "WIN 32,0,0,465", {"Movie", "Menu"});
    form_ = sim_.context().Windows().NewWindow({"Form3", 15000, 9000}, *this);
    property = {"Menu", std::string("false")};
    return form_->AddActiveX("ShockwaveFlash.ShockwaveFlash", "flash");
  }

 private:
  static constexpr const char* kFolder = "C:\\Contract";
  SimPlatform sim_;
  std::unique_ptr<platform::Window> form_;
};

INSTANTIATE_TEST_SUITE_P(Sim, Contract,
                         ::testing::Values(Factory{"Sim", [] { return std::make_unique<SimBackend>(); }}),
                         FactoryName);

}  // namespace
}  // namespace tarnhold::contract
