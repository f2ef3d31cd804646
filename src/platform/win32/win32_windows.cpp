#include "platform/win32/win32_windows.h"

#include <windowsx.h>

#include <algorithm>

#include "platform/geometry.h"

namespace tarnhold::platform::win32 {

namespace {

// The program icon's resource id (see the resource script).
constexpr WORD kIconId = 1;

int Buttons(WPARAM wParam) {
  int buttons = 0;
  if ((wParam & MK_LBUTTON) != 0) buttons |= kLeftButton;
  if ((wParam & MK_RBUTTON) != 0) buttons |= kRightButton;
  if ((wParam & MK_MBUTTON) != 0) buttons |= kMiddleButton;
  return buttons;
}

// The runtime's Shift argument: 1 Shift, 2 Ctrl, 4 Alt.
int ShiftState(WPARAM wParam) {
  int shift = 0;
  if ((wParam & MK_SHIFT) != 0) shift |= 1;
  if ((wParam & MK_CONTROL) != 0) shift |= 2;
  if (::GetKeyState(VK_MENU) < 0) shift |= 4;
  return shift;
}

LPCWSTR CursorFor(MousePointer pointer) {
  switch (pointer) {
    case MousePointer::SizeNESW:
      return IDC_SIZENESW;
    case MousePointer::SizeNS:
      return IDC_SIZENS;
    case MousePointer::SizeNWSE:
      return IDC_SIZENWSE;
    case MousePointer::SizeWE:
      return IDC_SIZEWE;
    default:
      return IDC_ARROW;
  }
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

// --- Screen and runtime -------------------------------------------------------

Win32Screen::Win32Screen() {
  // Not DPI-aware (see the manifest), so this is 96 and 15 twips per pixel on
  // almost every machine; the layout is designed for that.
  ScreenDC dc;
  const int dpiX = ::GetDeviceCaps(dc.get(), LOGPIXELSX);
  const int dpiY = ::GetDeviceCaps(dc.get(), LOGPIXELSY);
  if (dpiX > 0) tppX_ = 1440.0 / dpiX;
  if (dpiY > 0) tppY_ = 1440.0 / dpiY;
}

double Win32Screen::Width() const { return ::GetSystemMetrics(SM_CXSCREEN) * tppX_; }
double Win32Screen::Height() const { return ::GetSystemMetrics(SM_CYSCREEN) * tppY_; }

Win32Runtime::Win32Runtime(HINSTANCE instance)
    : instance_(instance),
      bigIcon_(static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON),
                                               LR_SHARED))),
      smallIcon_(static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXSMICON),
                                                 ::GetSystemMetrics(SM_CYSMICON), LR_SHARED))),
      timers_(instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &Win32Window::WndProc;
  wc.hInstance = instance;
  wc.hIcon = bigIcon_;
  wc.hIconSm = smallIcon_;
  wc.hCursor = nullptr;  // WM_SETCURSOR decides, per control
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = Win32Window::ClassName();
  if (::RegisterClassExW(&wc) == 0) RaiseLastError("RegisterClassEx");
}

Win32Runtime::~Win32Runtime() { ::UnregisterClassW(Win32Window::ClassName(), instance_); }

std::unique_ptr<Window> Win32Runtime::NewWindow(const WindowDesign& design, WindowEvents& events) {
  return std::make_unique<Win32Window>(*this, design, events);
}

PixelRect Win32Runtime::WorkArea() const {
  RECT r{};
  if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0)) RaiseLastError("SystemParametersInfo");
  return PixelRect{r.left, r.top, r.right, r.bottom};
}

Picture Win32Runtime::Decode(const unsigned char* bytes, std::size_t size) {
  if (bytes == nullptr || size == 0) return {};
  if (!gdiplus_) gdiplus_.emplace();
  if (!*gdiplus_) {
    // Tried again at the next picture: a failed start-up holds nothing.
    gdiplus_.reset();
    return {};
  }
  return DecodePicture(bytes, size);
}

// A timer tick reads the pointer where the system saw it when it handed
// over the tick (GetMessagePos): the same place GetCursorPos would answer at
// that moment, without its cost, which under Wine is a round trip to the X
// server whenever the pointer has rested for 100 ms, and on the idle login
// screen outweighed the ticks themselves. Everything else asks the system.
PixelPoint Win32Runtime::CursorPos() const {
  if (timers_.InPass()) {
    std::optional<PixelPoint>& seen = timers_.PassPointer();
    if (!seen) {
      const DWORD position = ::GetMessagePos();
      seen = PixelPoint{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    }
    return *seen;
  }
  POINT p{};
  if (!::GetCursorPos(&p)) RaiseLastError("GetCursorPos");
  return PixelPoint{p.x, p.y};
}

// --- Timers -------------------------------------------------------------------

TimerScheduler::TimerScheduler(HINSTANCE instance) : instance_(instance) {}

TimerScheduler::~TimerScheduler() {
  if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
}

void TimerScheduler::Enable(Win32Timer& timer) {
  if (std::find(enabled_.begin(), enabled_.end(), &timer) == enabled_.end()) enabled_.push_back(&timer);
  Retime();
}

void TimerScheduler::Disable(Win32Timer& timer) {
  enabled_.erase(std::remove(enabled_.begin(), enabled_.end(), &timer), enabled_.end());
  Retime();
}

void TimerScheduler::Retime() {
  UINT period = 0;
  for (const Win32Timer* t : enabled_) {
    const auto interval = static_cast<UINT>(std::max(t->Interval(), 1));
    if (period == 0 || interval < period) period = interval;
  }
  if (period == period_) return;
  if (hwnd_ == nullptr && period != 0) {
    static const ATOM atom = [&] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = &TimerScheduler::Proc;
      wc.hInstance = instance_;
      wc.lpszClassName = L"TarnholdTimers";
      return ::RegisterClassW(&wc);
    }();
    hwnd_ = ::CreateWindowExW(0, MAKEINTATOM(atom), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance_,
                              nullptr);
    if (hwnd_ == nullptr) RaiseLastError("CreateWindowEx");
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  if (period == 0) {
    ::KillTimer(hwnd_, 1);
  } else if (::SetTimer(hwnd_, 1, period, nullptr) == 0) {
    RaiseLastError("SetTimer");
  }
  period_ = period;
}

LRESULT CALLBACK TimerScheduler::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    auto* self = reinterpret_cast<TimerScheduler*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr) self->Pass();
    return 0;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

// A tick may enable, disable or destroy timers, this one included: each is
// looked up again before it fires.
void TimerScheduler::Pass() {
  if (inPass_) return;  // a tick that pumps messages does not start a pass of its own
  inPass_ = true;
  passPointer_.reset();
  const ULONGLONG now = ::GetTickCount64();
  const std::vector<Win32Timer*> snapshot = enabled_;
  for (Win32Timer* timer : snapshot) {
    if (std::find(enabled_.begin(), enabled_.end(), timer) != enabled_.end()) timer->FireIfDue(now, period_);
  }
  passPointer_.reset();
  inPass_ = false;
}

Win32Timer::Win32Timer(TimerScheduler& scheduler, std::string window, int interval,
                       std::function<void()> tick)
    : scheduler_(scheduler),
      interval_(interval),
      tick_(std::make_shared<const Tick>(Tick{std::move(window), std::move(tick)})) {}

Win32Timer::~Win32Timer() {
  if (enabled_) scheduler_.Disable(*this);
}

void Win32Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (enabled) {
    due_ = ::GetTickCount64() + static_cast<ULONGLONG>(std::max(interval_, 1));
    scheduler_.Enable(*this);
  } else {
    scheduler_.Disable(*this);
  }
}

// The scheduler ticks once a period, never exactly on time, so a timer due
// within the next half period fires now rather than a whole period late.
void Win32Timer::FireIfDue(ULONGLONG now, ULONGLONG period) {
  const auto interval = static_cast<ULONGLONG>(std::max(interval_, 1));
  if (now + period / 2 < due_) return;
  due_ += interval;
  if (due_ <= now) due_ = now + interval;  // a long stall does not fire the missed ticks at once
  const std::shared_ptr<const Tick> tick = tick_;
  Dispatch({tick->window, "Timer"}, tick->run);
}

// --- Windowless controls --------------------------------------------------------

Win32Control::Win32Control(Win32Window& window, Win32Runtime& runtime, const ControlDesign& design,
                           ControlEvents* events)
    : WindowlessControl(design, events, window.TppX(), window.TppY()),
      window_(window),
      runtime_(runtime),
      pictureBytes_(design.kind == ControlKind::Image ? design.picture : nullptr),
      pictureSize_(design.kind == ControlKind::Image ? design.pictureSize : 0) {}

// A picture that cannot be decoded stays empty and is not tried again.
const Picture& Win32Control::Image() const {
  if (!picture_) picture_ = runtime_.Decode(pictureBytes_, pictureSize_);
  return *picture_;
}

RECT Win32Control::PixelRect() const {
  const platform::PixelRect p = Pixels();
  return RECT{p.left, p.top, p.right, p.bottom};
}

void Win32Control::Repaint(const platform::PixelRect& pixels) {
  window_.Invalidate(RECT{pixels.left, pixels.top, pixels.right, pixels.bottom});
}

// --- Windows ------------------------------------------------------------------

Win32Window::Win32Window(Win32Runtime& runtime, const WindowDesign& design, WindowEvents& events)
    : runtime_(runtime),
      name_(design.name),
      events_(events),
      scaleUnit_(design.scaleUnit),
      input_(*this, events, runtime.GetScreen(), design.scaleUnit) {
  const int width = TwipsToPixels(design.clientWidth, TppX());
  const int height = TwipsToPixels(design.clientHeight, TppY());
  // No border and no caption bar: the client area is the whole window. The
  // system menu and minimise box let the taskbar minimise and restore it.
  const DWORD style = WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX;
  ::CreateWindowExW(0, ClassName(), L"", style, 0, 0, width, height, nullptr, nullptr, runtime.Instance(),
                    this);
  if (hwnd_ == nullptr) RaiseLastError("CreateWindowEx");
  // The class already shows the program icon, big and small.
  shownIcon_ = runtime.ProgramIcon();
  if (design.programIcon) icon_ = reinterpret_cast<IconRef>(shownIcon_);
}

Win32Window::~Win32Window() {
  TearDownHosted();
  activeX_.clear();
  browsers_.clear();
  controls_.clear();
  if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
}

LRESULT CALLBACK Win32Window::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }
  return self->OnMessage(message, wParam, lParam);
}

LRESULT Win32Window::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      // The form decides; the default would destroy the window.
      Dispatch({name_, "CloseRequested"}, [&] { events_.CloseRequested(); });
      return 0;
    case WM_ENDSESSION:
      if (wParam != 0) Dispatch({name_, "CloseRequested"}, [&] { events_.CloseRequested(); });
      return 0;
    case WM_WINDOWPOSCHANGED:
      boundsKnown_ = false;
      break;  // on to DefWindowProc, which sends WM_MOVE and WM_SIZE
    case WM_SIZE:
      // Windows hides a minimised window's owned popups and shows them on the
      // restore; Wine without a window manager does not, so say it outright.
      if (wParam == SIZE_MINIMIZED) {
        ::ShowOwnedPopups(hwnd_, FALSE);
        ownedHidden_ = true;
      } else if (ownedHidden_) {
        ::ShowOwnedPopups(hwnd_, TRUE);
        ownedHidden_ = false;
      }
      Dispatch({name_, "Resized"}, [&] { events_.Resized(); });
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      MouseButton(message, wParam, lParam);
      return 0;
    case WM_MOUSEMOVE:
      MouseMoved(wParam, lParam);
      return 0;
    case WM_CAPTURECHANGED:
      // Another window took the pointer, or the system cancelled the mode
      // (WM_CANCELMODE gives the capture up on its way through
      // DefWindowProc): the press ends as a release would.
      input_.CaptureLost();
      return 0;
    case WM_SETCURSOR:
      // Over a hosted control's window the control picks its own pointer.
      if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == hwnd_) {
        POINT p{};
        ::GetCursorPos(&p);
        ::ScreenToClient(hwnd_, &p);
        const Control* control = input_.PointerOwner(p.x, p.y);
        ::SetCursor(::LoadCursorW(nullptr, CursorFor(control ? control->Pointer() : MousePointer::Default)));
        return TRUE;
      }
      break;
    case WM_ERASEBKGND:
      // The paint fills the background itself, in the same copy as the
      // controls; erasing first would flash it on the screen.
      return 1;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_DESTROY:
      // Also when the system destroys the form with its owner: the controls
      // are closed while their windows and the form still exist.
      TearDownHosted();
      break;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

void Win32Window::MouseButton(UINT message, WPARAM wParam, LPARAM lParam) {
  const int x = GET_X_LPARAM(lParam);
  const int y = GET_Y_LPARAM(lParam);
  int button = kLeftButton;
  if (message == WM_RBUTTONDOWN || message == WM_RBUTTONUP || message == WM_RBUTTONDBLCLK)
    button = kRightButton;
  if (message == WM_MBUTTONDOWN || message == WM_MBUTTONUP || message == WM_MBUTTONDBLCLK)
    button = kMiddleButton;
  const int shift = ShiftState(wParam);
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      input_.Press(button, shift, x, y);
      break;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      input_.DoublePress(button, shift, x, y);
      break;
    default:
      input_.Release(button, shift, x, y);
      break;
  }
}

void Win32Window::MouseMoved(WPARAM wParam, LPARAM lParam) {
  const int x = GET_X_LPARAM(lParam);
  const int y = GET_Y_LPARAM(lParam);
  const int buttons = Buttons(wParam);
  const int shift = ShiftState(wParam);
  // A hidden window gets no pointer input, so this is a notification icon's
  // callback, whose lParam is the mouse message on the icon. The form reads
  // it from x as the runtime hands it on; hit-testing it would give it to
  // whichever control happens to lie at that "position".
  if (!Visible()) {
    const double scaleX = scaleUnit_ == ScaleUnit::Pixels ? 1.0 : TppX();
    const double scaleY = scaleUnit_ == ScaleUnit::Pixels ? 1.0 : TppY();
    Dispatch({name_, "MouseMove"}, [&] { events_.MouseMove(buttons, shift, x * scaleX, y * scaleY); });
    return;
  }
  input_.Move(buttons, shift, x, y);
}

void Win32Window::Capture(bool capture) {
  if (capture) {
    ::SetCapture(hwnd_);
  } else if (::GetCapture() == hwnd_) {
    ::ReleaseCapture();
  }
}

bool Win32Window::InClient(int x, int y) const {
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  const POINT p{x, y};
  return ::PtInRect(&client, p) != FALSE;
}

void Win32Window::Paint() {
  const PaintScope paint(hwnd_);
  if (!paint) return;
  const RECT& area = paint.Area();
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return;
  // Drawn off screen and shown in one copy, so that the background never
  // shows between the pictures for a moment.
  const MemoryDC buffer(::CreateCompatibleDC(paint.get()));
  const GdiObject<HBITMAP> pixels(::CreateCompatibleBitmap(paint.get(), width, height));
  if (!buffer || !pixels) {
    DrawControls(paint.get(), area);
    return;
  }
  const SelectedObject selected(buffer.get(), pixels.get());
  // Client coordinates in the buffer too: its (0, 0) is the area's corner.
  ::SetViewportOrgEx(buffer.get(), -area.left, -area.top, nullptr);
  DrawControls(buffer.get(), area);
  ::BitBlt(paint.get(), area.left, area.top, width, height, buffer.get(), area.left, area.top, SRCCOPY);
}

void Win32Window::DrawControls(HDC dc, const RECT& area) const {
  ::FillRect(dc, &area, ::GetSysColorBrush(COLOR_BTNFACE));
  ::SetBkMode(dc, TRANSPARENT);
  // In z-order, bottom first, so that a control covers what lies below it.
  for (const auto& control : controls_) {
    if (!control->Visible()) continue;
    RECT r = control->PixelRect();
    RECT shown{};
    if (!::IntersectRect(&shown, &r, &area)) continue;
    if (control->IsLabel()) {
      if (control->Caption().empty()) continue;
      const std::wstring text = Wide(control->Caption());
      const std::uint32_t c = control->ForeColor();
      ::SetTextColor(dc, RGB(c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF));
      ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_LEFT | DT_TOP | DT_NOPREFIX);
      continue;
    }
    const Picture& picture = control->Image();
    if (!picture) continue;
    const MemoryDC source(::CreateCompatibleDC(dc));
    if (!source) continue;
    const SelectedObject selected(source.get(), picture.bitmap.get());
    if (!selected) continue;
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    if (picture.opaque) {
      // HALFTONE averages what a shrink drops; it wants the brush origin reset.
      ::SetStretchBltMode(dc, HALFTONE);
      ::SetBrushOrgEx(dc, 0, 0, nullptr);
      ::StretchBlt(dc, r.left, r.top, w, h, source.get(), 0, 0, picture.width, picture.height, SRCCOPY);
    } else {
      const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
      ::AlphaBlend(dc, r.left, r.top, w, h, source.get(), 0, 0, picture.width, picture.height, blend);
    }
  }
}

void Win32Window::Invalidate(const RECT& pixels) {
  if (hwnd_ != nullptr) ::InvalidateRect(hwnd_, &pixels, TRUE);
}

std::string Win32Window::Caption() const {
  const int length = ::GetWindowTextLengthW(hwnd_);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = ::GetWindowTextW(hwnd_, text.data(), length + 1);
  return Utf8(text.data(), got);
}

void Win32Window::SetCaption(const std::string& text) {
  if (!::SetWindowTextW(hwnd_, Wide(text).c_str())) RaiseLastError("SetWindowText");
}

// Only a change reaches the system: under Wine each WM_SETICON rewrites the X
// window's icon property, and the start-up gives four windows the icon their
// class shows already.
void Win32Window::SetIcon(IconRef icon) {
  icon_ = icon;
  const HICON program = runtime_.ProgramIcon();
  auto* const handle = reinterpret_cast<HICON>(icon);
  if (handle == shownIcon_) return;
  // With no icon of its own a window shows its class's, the program's.
  shownIcon_ = handle != nullptr ? handle : program;
  const auto value = static_cast<LPARAM>(icon);
  ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, value);
  // The start-up window's icon comes with a small image drawn for the size.
  const bool programIcon = icon == reinterpret_cast<IconRef>(runtime_.ProgramIcon());
  ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL,
                 programIcon ? reinterpret_cast<LPARAM>(runtime_.ProgramSmallIcon()) : value);
}

void Win32Window::Show(Window* owner) {
  auto* native = dynamic_cast<Win32Window*>(owner);
  if (owner != nullptr && native == nullptr) throw Error("not a window of this platform");
  for (Win32Window* o = native; o != nullptr; o = o->owner_) {
    if (o == this) throw Error("an owner chain may not loop");
  }
  // GWLP_HWNDPARENT on a top-level window sets its owner.
  ::SetWindowLongPtrW(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(native ? native->hwnd_ : nullptr));
  owner_ = native;
  ::ShowWindow(hwnd_, SW_SHOW);
  // The runtime lays a window out when it is first shown, size change or not.
  if (!shownOnce_) {
    shownOnce_ = true;
    Dispatch({name_, "Resized"}, [&] { events_.Resized(); });
  }
}

void Win32Window::Hide() { ::ShowWindow(hwnd_, SW_HIDE); }

bool Win32Window::Visible() const { return ::IsWindowVisible(hwnd_) != FALSE; }

// Read from the system once per change: the placement tick reads the frame's
// and the attached windows' places a hundred times a second while nothing
// moves, and every move or size change comes back as WM_WINDOWPOSCHANGED.
RECT Win32Window::Bounds() const {
  if (boundsKnown_) return bounds_;
  RECT r{};
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  if (::IsIconic(hwnd_) && ::GetWindowPlacement(hwnd_, &wp)) {
    r = wp.rcNormalPosition;
  } else if (!::GetWindowRect(hwnd_, &r)) {
    RaiseLastError("GetWindowRect");
  }
  bounds_ = r;
  boundsKnown_ = true;
  return r;
}

// Writes that change nothing are dropped: the frame's 10 ms placement tick
// would otherwise move three windows a hundred times a second for nothing.
void Win32Window::Place(const RECT& bounds) {
  if (SameRect(bounds, Bounds())) return;
  if (::IsIconic(hwnd_)) {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    ::GetWindowPlacement(hwnd_, &wp);
    wp.rcNormalPosition = bounds;
    wp.showCmd = SW_SHOWMINNOACTIVE;
    boundsKnown_ = false;  // the placement of a minimised window moves nothing on screen
    if (!::SetWindowPlacement(hwnd_, &wp)) RaiseLastError("SetWindowPlacement");
    return;
  }
  boundsKnown_ = false;
  if (!::SetWindowPos(hwnd_, nullptr, bounds.left, bounds.top, bounds.right - bounds.left,
                      bounds.bottom - bounds.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER)) {
    RaiseLastError("SetWindowPos");
  }
}

double Win32Window::Left() const { return PixelsToTwips(Bounds().left, TppX()); }
double Win32Window::Top() const { return PixelsToTwips(Bounds().top, TppY()); }
double Win32Window::Width() const {
  const RECT r = Bounds();
  return PixelsToTwips(r.right - r.left, TppX());
}
double Win32Window::Height() const {
  const RECT r = Bounds();
  return PixelsToTwips(r.bottom - r.top, TppY());
}

// Moves keep the size and sizes keep the top-left corner.
void Win32Window::SetEdge(double twips, bool horizontal, bool size) {
  RECT r = Bounds();
  LONG& start = horizontal ? r.left : r.top;
  LONG& end = horizontal ? r.right : r.bottom;
  const LONG pixels = TwipsToPixels(twips, horizontal ? TppX() : TppY());
  if (size) {
    end = start + pixels;
  } else {
    end += pixels - start;
    start = pixels;
  }
  Place(r);
}

void Win32Window::SetLeft(double twips) { SetEdge(twips, true, false); }
void Win32Window::SetTop(double twips) { SetEdge(twips, false, false); }
void Win32Window::SetWidth(double twips) { SetEdge(twips, true, true); }
void Win32Window::SetHeight(double twips) { SetEdge(twips, false, true); }

// Borderless: the client area is the whole window, also while minimised.
double Win32Window::ScaleWidth() const {
  const RECT r = Bounds();
  const LONG pixels = r.right - r.left;
  return scaleUnit_ == ScaleUnit::Pixels ? pixels : PixelsToTwips(pixels, TppX());
}
double Win32Window::ScaleHeight() const {
  const RECT r = Bounds();
  const LONG pixels = r.bottom - r.top;
  return scaleUnit_ == ScaleUnit::Pixels ? pixels : PixelsToTwips(pixels, TppY());
}

WindowState Win32Window::State() const {
  if (::IsIconic(hwnd_)) return WindowState::Minimized;
  if (::IsZoomed(hwnd_)) return WindowState::Maximized;
  return WindowState::Normal;
}

void Win32Window::SetState(WindowState state) {
  if (state == State()) return;
  switch (state) {
    case WindowState::Minimized:
      ::ShowWindow(hwnd_, SW_MINIMIZE);
      break;
    case WindowState::Maximized:
      ::ShowWindow(hwnd_, SW_MAXIMIZE);
      break;
    case WindowState::Normal:
      ::ShowWindow(hwnd_, SW_RESTORE);
      break;
  }
}

std::unique_ptr<Timer> Win32Window::AddTimer(int intervalMs, bool enabled, std::function<void()> tick) {
  auto timer = std::make_unique<Win32Timer>(runtime_.Timers(), name_, intervalMs, std::move(tick));
  timer->SetEnabled(enabled);
  return timer;
}

Control& Win32Window::AddControl(const ControlDesign& design, ControlEvents* events) {
  controls_.push_back(std::make_unique<Win32Control>(*this, runtime_, design, events));
  input_.Add(*controls_.back(), events);
  if (design.visible) Invalidate(controls_.back()->PixelRect());
  return *controls_.back();
}

// --- Hosted controls -------------------------------------------------------------

bool Win32Window::HostsControlNamed(const std::string& name) const {
  for (const auto& control : activeX_) {
    if (control->Name() == name) return true;
  }
  for (const auto& browser : browsers_) {
    if (browser->Name() == name) return true;
  }
  return false;
}

void Win32Window::TearDownHosted() noexcept {
  // In the reverse of the order they were made in.
  std::for_each(activeX_.rbegin(), activeX_.rend(), [](auto& control) { control->Teardown(); });
  std::for_each(browsers_.rbegin(), browsers_.rend(), [](auto& browser) { browser->Teardown(); });
}

ActiveXControl* Win32Window::AddActiveX(const std::string& progId, const std::string& name) {
  if (HostsControlNamed(name)) throw Error("there is already a control named " + name);
  if (hwnd_ == nullptr) throw Error("the form has no window");
  runtime_.StartOle();
  auto control = Win32ActiveX::Create(progId, name, hwnd_, TppX(), TppY());
  if (!control) return nullptr;
  activeX_.push_back(std::move(control));
  return activeX_.back().get();
}

void Win32Window::RemoveActiveX(const std::string& name) {
  const auto it = std::find_if(activeX_.begin(), activeX_.end(),
                               [&](const auto& control) { return control->Name() == name; });
  if (it == activeX_.end()) throw Error("no control named " + name);
  // Out of the list before its teardown, which may call back into the form.
  std::unique_ptr<Win32ActiveX> control = std::move(*it);
  activeX_.erase(it);
  control.reset();
}

Browser& Win32Window::AddBrowser(const std::string& name, double left, double top, double width,
                                 double height, BrowserEvents& events) {
  if (HostsControlNamed(name)) throw Error("there is already a control named " + name);
  if (hwnd_ == nullptr) throw Error("the form has no window");
  if (width < 0 || height < 0) throw Error("invalid property value");
  const LONG x = TwipsToPixels(left, TppX());
  const LONG y = TwipsToPixels(top, TppY());
  const RECT pixels{x, y, x + TwipsToPixels(width, TppX()), y + TwipsToPixels(height, TppY())};
  runtime_.StartOle();
  browsers_.push_back(std::make_unique<Win32Browser>(name_, name, hwnd_, pixels, events));
  return *browsers_.back();
}

void Win32Window::SetTopmost(bool topmost) {
  if (!::SetWindowPos(hwnd_, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                      SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW)) {
    RaiseLastError("SetWindowPos");
  }
}

}  // namespace tarnhold::platform::win32
