#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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

  // The window modes and the toolbar's actions.
  void ToggleMaximize();
  void ToggleFullScreen();
  // Every way out of full screen gives the frame back its place among the
  // other programs' windows.
  void LeaveFullScreen();
  void MinimizeToTray();
  void SaveNormalBounds();
  void PlaceOnWorkArea();
  void EnableFrameSizing();
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

  // The frame drags: one flag for the five frame controls.
  bool DragActive = false;
  std::int32_t GrabX = 0;  // twips
  std::int32_t GrabY = 0;  // twips
  bool SizeCornerLeft = false;
  bool SizeCornerRight = false;

 private:
  static constexpr double kButtonWidth = 330;  // every window button, both images of a pair

  struct ButtonPair {
    platform::Control* normal;
    platform::Control* hover;
  };
  // A control's events as handlers of the form; those left empty do nothing.
  struct Handlers final : platform::ControlEvents {
    // Owned and deleted as Handlers, never through the events interface.
    virtual ~Handlers() = default;
    using Mouse = std::function<void(double x, double y)>;
    Mouse down, move, up;
    std::function<void()> click, dblClick;
    void MouseDown(int, int, double x, double y) override {
      if (down) down(x, y);
    }
    void MouseMove(int, int, double x, double y) override {
      if (move) move(x, y);
    }
    void MouseUp(int, int, double x, double y) override {
      if (up) up(x, y);
    }
    void Click() override {
      if (click) click();
    }
    void DblClick() override {
      if (dblClick) dblClick();
    }
  };

  void CreateControls() override;
  void Form_Load() override;
  void CloseRequested() override;
  void Resized() override;
  // The form's own mouse move: the tray icon's notifications arrive as one.
  void MouseMove(int button, int shift, double x, double y) override;
  void BackToLogin();

  void ConnectToolbar();
  void ConnectFrame();
  // Tracking starts: the hover timer runs until a pass finds the pointer off
  // the title strip.
  void TrackHover();
  void OpenLink(const std::string& linkTemplate, bool withServer);
  static std::string ReplaceAll(std::string text, const std::string& what, const std::string& with);
  void ClearCache();
  void SetTrayIconData();

  // The pointer in twips, read once per mouse move of a drag.
  struct TwipsPoint {
    double x, y;
  };
  TwipsPoint PointerTwips() const;
  void TitleDown(double x, double y);
  void MoveByTitle(double controlLeft, double controlTop);
  void LeftBorderMove(double y);
  void RightBorderMove(double y);
  void BottomBorderMove(double x);
  bool LeftCorner(double y) const;
  bool RightCorner(double y) const;
  void BottomCorners(double x);
  // The three width and height steps, each applied only above the minimum.
  void SizeLeftEdge(const TwipsPoint& p);
  void SizeRightEdge(const TwipsPoint& p);
  void SizeBottomEdge(const TwipsPoint& p);

  // The browser's events: whichever first shows the launcher address wins.
  void BeforeNavigate2(const std::string& url, bool& cancel) override;
  void DocumentComplete(const std::string& url) override;
  void BeforeScriptExecute() override;
  bool IsLauncher(const std::string& address) const;
  void CatchLauncher(const std::string& address);

  bool PointerInside(const platform::Control& control, const platform::PixelPoint& pointer) const;

  // Compiled-in artwork, stretched over an image control.
  // Value-initialised when left out: no picture.
  struct Picture {
    const unsigned char* bytes;
    std::size_t size;
  };
  platform::Control* Add(const char* name, double left, double top, double width, double height,
                         bool visible = true, Picture picture = {},
                         platform::ControlKind kind = platform::ControlKind::Image);
  // The handlers every control of the form reports to.
  Handlers& EventsOf(const platform::Control* control);

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
  std::vector<std::pair<const platform::Control*, std::unique_ptr<Handlers>>> handlers_;
  bool created_ = false;
};

}  // namespace tarnhold
