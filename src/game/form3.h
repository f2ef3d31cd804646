#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "form.h"

namespace tarnhold {

// The game window: a borderless window with a frame, a toolbar, a browser
// that follows the platform's pages to the launcher page, and the Flash
// control that runs the game.
class Form3 final : public Form, private platform::BrowserEvents {
 public:
  explicit Form3(Program& program);

  void Formload() override;
  void FormUnload() override;

  // Loads the entry address in the game window's browser; the browser events
  // then watch for the launcher page.
  void EnterToGame(const std::string& address);
  // Starts the game from the launcher address. Never fails towards its caller.
  void JumpToGame(const std::string& address);

  // The layout: frame strips, the Flash control inside them, the toolbar.
  void Form_Resize();
  // The hover pass over the window buttons (every 100 ms, and on demand).
  void Timer1_Timer();

  void SaveNormalBounds();
  void PlaceOnWorkArea();
  void DisableFrameSizing();

  platform::Browser& WebBrowser1() const { return *webBrowser1_; }
  platform::Timer& Timer1() const { return *timer1_; }
  platform::Control& ControlNamed(const std::string& name) const;

  std::string GameUrl;
  bool JumpDone = false;
  std::string ServerId;
  std::string UserName;
  platform::ActiveXControl* FlashObject = nullptr;

  bool Maximized = false;
  bool FullScreen = false;
  bool InTray = false;
  bool FrameSizable = false;
  bool ToolbarRefresh = false;
  std::int32_t NormalLeft = 0;
  std::int32_t NormalTop = 0;
  std::int32_t NormalWidth = 0;
  std::int32_t NormalHeight = 0;
  // The notification-area record in its 88-byte ANSI form.
  std::array<std::uint8_t, 88> TrayIconData{};

 private:
  struct ButtonPair {
    platform::Control* normal;
    platform::Control* hover;
  };

  void CreateControls() override;
  void Form_Load() override;
  void CloseRequested() override;
  void Resized() override;
  void BackToLogin();

  // The browser's events: whichever first shows the launcher address wins.
  void BeforeNavigate2(const std::string& url, bool& cancel) override;
  void DocumentComplete(const std::string& url) override;
  void BeforeScriptExecute() override;
  bool IsLauncher(const std::string& address) const;
  void CatchLauncher(const std::string& address);

  bool PointerInside(const platform::Control& control, const platform::PixelPoint& pointer) const;

  platform::Control* Add(const char* name, double left, double top, double width, double height,
                         bool visible = true, platform::ControlKind kind = platform::ControlKind::Image);

  platform::Browser* webBrowser1_ = nullptr;
  platform::Control* label1_ = nullptr;
  platform::Control* bgTop_ = nullptr;
  platform::Control* bgLeft_ = nullptr;
  platform::Control* bgRight_ = nullptr;
  platform::Control* bgBottom_ = nullptr;
  // Close, Maximize, Minimize to tray, Full screen, Refresh: the hover order.
  std::array<ButtonPair, 5> hoverOrder_{};
  platform::Control* imageClear_ = nullptr;
  platform::Control* imageCharge_ = nullptr;
  platform::Control* imageWeb_ = nullptr;
  platform::Control* imageBbs_ = nullptr;
  std::unique_ptr<platform::Timer> timer1_;
  bool created_ = false;
};

}  // namespace tarnhold
