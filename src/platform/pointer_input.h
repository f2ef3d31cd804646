#pragma once
// A form's pointer input, as every backend turns it into the runtime's mouse
// events. The backend says what the system delivered (a press, a second
// press that the system took as a double click, a release, a move, the
// capture lost); this decides which control gets it and what is raised.
//
// The runtime's order, whatever a timer shows or hides in between:
//   a click         MouseDown, MouseUp, Click
//   a double click  MouseDown, MouseUp, Click, DblClick, MouseUp
// A press belongs to what was pressed until its release: the moves go there,
// the release goes there, and the release is a click when it comes back over
// the pressed control's own rectangle (a hover picture shown over it in the
// meantime does not take the click away). A capture lost mid-press (another
// window takes it, the system cancels the mode) ends the press as a release
// would, without a click.
#include <functional>
#include <string_view>
#include <vector>

#include "platform/window.h"

namespace tarnhold::platform {

// The pixels a control covers on its form, each edge rounded on its own as
// the runtime rounds them; empty when its geometry does not fit.
PixelRect ControlPixels(const Control& control, double twipsPerPixelX, double twipsPerPixelY);

// What the routing needs of the window it serves.
class PointerHost {
 public:
  // Keeps the pointer's input to this window until the press ends, or gives
  // it back.
  virtual void Capture(bool capture) = 0;
  // The point (client pixels) lies on the window's client area.
  virtual bool InClient(int x, int y) const = 0;
  // Calls one of the behaviour's handlers, as the backend calls every one:
  // `control` names the control it belongs to (empty: the window's own),
  // `event` the event.
  virtual void Deliver(std::string_view control, std::string_view event,
                       const std::function<void()>& handler) = 0;

 protected:
  ~PointerHost() = default;
};

class PointerInput {
 public:
  // The form's own events take coordinates in its scale unit; the controls'
  // in twips relative to the control.
  PointerInput(PointerHost& host, WindowEvents& form, const Screen& screen, ScaleUnit scaleUnit);
  PointerInput(const PointerInput&) = delete;
  PointerInput& operator=(const PointerInput&) = delete;

  // Controls in z-order, bottom first; they live as long as the window.
  void Add(const Control& control, ControlEvents* events);

  // The top-most visible control at the point (client pixels), or nullptr.
  const Control* ControlAt(int x, int y) const;
  // The control whose mouse pointer shows at the point: the pressed one while
  // a press lasts.
  const Control* PointerOwner(int x, int y) const;

  void Press(int button, int shift, int x, int y);
  // The second press of a double click, as the system classed it.
  void DoublePress(int button, int shift, int x, int y);
  void Release(int button, int shift, int x, int y);
  void Move(int buttons, int shift, int x, int y);
  void CaptureLost();

 private:
  struct Entry {
    const Control* control = nullptr;  // nullptr: the form itself
    ControlEvents* events = nullptr;
  };
  using FormEvent = void (WindowEvents::*)(int, int, double, double);
  using ControlEvent = void (ControlEvents::*)(int, int, double, double);
  Entry EntryAt(int x, int y) const;
  void Raise(const Entry& target, FormEvent formEvent, ControlEvent controlEvent, std::string_view event,
             int button, int shift, int x, int y);
  void Begin(const Entry& target, int button, bool doubleClick);
  void Up(const Entry& target, int button, int shift, int x, int y);
  double ToTwipsX(int x) const;
  double ToTwipsY(int y) const;
  double FormX(int x) const;
  double FormY(int y) const;

  PointerHost& host_;
  WindowEvents& form_;
  const Screen& screen_;
  ScaleUnit scaleUnit_;
  std::vector<Entry> controls_;
  bool pressing_ = false;
  bool doubleClick_ = false;
  Entry pressed_;
  int button_ = 0;
  int lastX_ = 0;
  int lastY_ = 0;
};

}  // namespace tarnhold::platform
