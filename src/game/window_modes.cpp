// The game window's modes (normal, maximized, full screen, in the tray) and
// the toolbar buttons that switch them.
#include <cstring>

#include "constants.h"
#include "game/form3.h"
#include "platform/geometry.h"
#include "program.h"
#include "startup/form1.h"

namespace tarnhold {

using platform::MousePointer;
using platform::ResumeNext;

namespace {

// The three links, each with "%0%" for the user name (and "%1%" for the
// server on Charge). None is configured: the buttons are hidden on entry.
constexpr const char* kWebLink = "";
constexpr const char* kBbsLink = "";
constexpr const char* kChargeLink = "";

constexpr const char* kClearCommand = "RunDll32.exe InetCpl.cpl,ClearMyTracksByProcess 8";
constexpr int kMinimizedWithFocus = 2;

constexpr int kNotifyAdd = 0;
constexpr int kNotifyDelete = 2;
constexpr std::uint32_t kTrayFlags = 7;         // message, icon and tip are valid
constexpr std::uint32_t kTrayCallback = 0x200;  // arrives as the form's mouse move
constexpr double kLeftButtonReleased = 514;     // WM_LBUTTONUP, carried in X

void Put32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

void Form3::ConnectToolbar() {
  const auto button = [&](const ButtonPair& pair, const std::function<void()>& action) {
    for (const platform::Control* image : {pair.normal, pair.hover}) {
      Handlers& events = EventsOf(image);
      events.click = action;
      events.move = [this](double, double) { TrackHover(); };
    }
  };
  button(hoverOrder_[0], [this] { BackToLogin(); });
  button(hoverOrder_[1], [this] { ToggleMaximize(); });
  button(hoverOrder_[2], [this] { MinimizeToTray(); });
  button(hoverOrder_[3], [this] { ToggleFullScreen(); });
  button(hoverOrder_[4], [this] { EnterToGame(GameUrl); });
  EventsOf(imageWeb_).click = [this] { OpenLink(kWebLink, false); };
  EventsOf(imageBbs_).click = [this] { OpenLink(kBbsLink, false); };
  EventsOf(imageCharge_).click = [this] { OpenLink(kChargeLink, true); };
  EventsOf(imageClear_).click = [this] { ClearCache(); };
}

void Form3::OpenLink(const std::string& linkTemplate, bool withServer) {
  std::string target = ReplaceAll(linkTemplate, "%0%", UserName);
  if (withServer) target = ReplaceAll(target, "%1%", ServerId);
  ctx_.Shell32().Execute(0, "", target);
}

// Deletes the temporary Internet files; started and not waited for.
void Form3::ClearCache() { ctx_.Shell32().StartProcess(kClearCommand, kMinimizedWithFocus); }

// --- Bounds ----------------------------------------------------------------------

void Form3::SaveNormalBounds() {
  const double top = Window().Top();
  const double left = Window().Left();
  const double width = Window().Width();
  const double height = Window().Height();
  NormalTop = platform::RoundHalfEven(top);
  NormalLeft = platform::RoundHalfEven(left);
  NormalWidth = platform::RoundHalfEven(width);
  NormalHeight = platform::RoundHalfEven(height);
}

void Form3::PlaceOnWorkArea() {
  platform::PixelRect area;
  // The result is not examined: a failed query leaves the rectangle empty.
  ResumeNext([&] { area = ctx_.Windows().WorkArea(); });
  const platform::Screen& screen = ctx_.Windows().GetScreen();
  Window().SetTop(area.top * screen.TwipsPerPixelY());
  Window().SetLeft(area.left * screen.TwipsPerPixelX());
  Window().SetWidth((area.right - area.left) * screen.TwipsPerPixelX());
  Window().SetHeight((area.bottom - area.top) * screen.TwipsPerPixelY());
}

// --- Sizing by the frame -----------------------------------------------------------

void Form3::EnableFrameSizing() {
  bgLeft_->SetPointer(MousePointer::SizeWE);
  bgRight_->SetPointer(MousePointer::SizeWE);
  bgBottom_->SetPointer(MousePointer::SizeNS);
  if (SizeCornerLeft) {
    bgLeft_->SetPointer(MousePointer::SizeNESW);
    bgBottom_->SetPointer(MousePointer::SizeNESW);
  }
  if (SizeCornerRight) {
    bgRight_->SetPointer(MousePointer::SizeNWSE);
    bgBottom_->SetPointer(MousePointer::SizeNWSE);
  }
  FrameSizable = true;
  TrackHover();
  Timer1_Timer();
}

void Form3::DisableFrameSizing() {
  bgLeft_->SetPointer(MousePointer::Default);
  bgRight_->SetPointer(MousePointer::Default);
  bgBottom_->SetPointer(MousePointer::Default);
  FrameSizable = false;
  TrackHover();
  Timer1_Timer();
}

// --- Modes -------------------------------------------------------------------------

void Form3::ToggleMaximize() {
  if (!Maximized) {
    Maximized = true;
    if (FrameSizable) SaveNormalBounds();
    PlaceOnWorkArea();
    DisableFrameSizing();
    LeaveFullScreen();
  } else {
    Maximized = false;
    Window().SetTop(NormalTop);
    Window().SetLeft(NormalLeft);
    Window().SetWidth(NormalWidth);
    Window().SetHeight(NormalHeight);
    EnableFrameSizing();
    LeaveFullScreen();
  }
}

void Form3::LeaveFullScreen() {
  // The mark is the system's and outlives the game screen: on the next login
  // screen the frame would float over other programs, its page would not.
  if (FullScreen) ResumeNext([&] { program_.form1().Window().SetTopmost(false); });
  FullScreen = false;
}

void Form3::ToggleFullScreen() {
  if (FullScreen) {
    // ToggleMaximize inverts it again: back to the mode full screen came from.
    Maximized = !Maximized;
    ToggleMaximize();
    return;
  }
  // Not examined, as the system's SetWindowPos result is not.
  ResumeNext([&] { program_.form1().Window().SetTopmost(true); });
  const platform::Screen& screen = ctx_.Windows().GetScreen();
  Window().SetTop(0);
  Window().SetLeft(0);
  Window().SetWidth(screen.Width());
  Window().SetHeight(screen.Height());
  FullScreen = true;
  DisableFrameSizing();
}

void Form3::SetTrayIconData() {
  const auto icon = static_cast<std::uint32_t>(Window().Icon());
  std::uint8_t* record = TrayIconData.data();
  Put32(record + 4, static_cast<std::uint32_t>(Window().Handle()));
  Put32(record + 8, icon);
  Put32(record + 12, kTrayFlags);
  Put32(record + 16, kTrayCallback);
  Put32(record + 20, icon);
  constexpr std::size_t kTip = 24;
  constexpr std::size_t kTipSize = 64;
  std::memset(record + kTip, ' ', kTipSize);
  const std::size_t length = std::strlen(GameTitle);
  std::memcpy(record + kTip, GameTitle, length);
  record[kTip + length] = 0;
  Put32(record, static_cast<std::uint32_t>(TrayIconData.size()));
}

void Form3::MinimizeToTray() {
  InTray = true;
  SetTrayIconData();
  const std::vector<std::uint8_t> record(TrayIconData.begin(), TrayIconData.end());
  ctx_.Shell32().NotifyIcon(kNotifyAdd, record);
  Window().Hide();
  if (FlashObject != nullptr) {
    FlashObject->SetExtent("Height", 1);
    FlashObject->SetExtent("Width", 1);
    FlashObject->SetVisible(false);
  }
  bgTop_->SetVisible(false);
  bgLeft_->SetVisible(false);
  bgBottom_->SetVisible(false);
  bgRight_->SetVisible(false);
}

// The tray icon's notifications: the mouse message comes in X, in pixels once
// converted back.
void Form3::MouseMove(int /*button*/, int /*shift*/, double x, double /*y*/) {
  if (!InTray) return;
  ToolbarRefresh = false;
  timer1_->SetEnabled(false);
  const double tppX = ctx_.Windows().GetScreen().TwipsPerPixelX();
  const double scaleWidth = Window().ScaleWidth();
  if (tppX == 0 || scaleWidth == 0) throw platform::Error("division by zero");
  const auto event = static_cast<float>(Window().Width() / scaleWidth * x / tppX);
  if (event != static_cast<float>(kLeftButtonReleased)) return;
  Window().Show(nullptr);
  InTray = false;
  if (Maximized) PlaceOnWorkArea();
  if (FlashObject != nullptr) FlashObject->SetVisible(true);
  bgTop_->SetVisible(true);
  bgLeft_->SetVisible(true);
  bgBottom_->SetVisible(true);
  bgRight_->SetVisible(true);
  Form_Resize();
  const std::vector<std::uint8_t> record(TrayIconData.begin(), TrayIconData.end());
  ctx_.Shell32().NotifyIcon(kNotifyDelete, record);
}

}  // namespace tarnhold
