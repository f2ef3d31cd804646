#pragma once
// A person's hand on a GNOME Shell session: pointer and keyboard through
// mutter's remote desktop interface, and whole-screen pictures from the
// shell, both on the session's D-Bus. Input given so goes through the
// compositor as a real device's does: it decides focus, stacking and which
// window a click lands on, and the X clients under Xwayland get only what it
// hands them.
//
// The remote desktop session lives as long as this object (mutter ends it
// when its creator leaves the bus). Failures to reach the compositor throw
// std::runtime_error.
#include <gio/gio.h>

#include <string>
#include <string_view>

namespace tarnhold::e2e {

class Compositor {
 public:
  Compositor();
  ~Compositor();
  Compositor(const Compositor&) = delete;
  Compositor& operator=(const Compositor&) = delete;

  // The pointer has no absolute position without a screen cast stream, so it
  // is moved relatively, from the corner where the first move parks it.
  void MoveTo(int x, int y);
  // A press goes to the window the compositor has found under the pointer
  // by then, which it learns some time after a move: the caller waits for
  // the move to arrive first, as a hand stops before it clicks.
  void Button(bool pressed);
  void Key(unsigned keysym, bool pressed);
  void Tap(unsigned keysym);
  // Printable ASCII and '\n' (as Return); mutter adds the level's modifiers.
  void Type(std::string_view ascii);
  // Alt+Tab: the window switcher's first pick, the most recently used window
  // but the focused one.
  void SwitchWindow();
  // A PNG of the whole screen as the shell composes it.
  void Screenshot(const std::string& path);
  // Whether the shell shows its overview, where it starts.
  bool OverviewActive();

 private:
  GVariant* Call(const char* path, const char* interface, const char* method, GVariant* args,
                 const char* destination = "org.gnome.Mutter.RemoteDesktop");
  GDBusConnection* bus_ = nullptr;
  std::string session_;
  int x_ = 0;
  int y_ = 0;
  bool parked_ = false;
};

}  // namespace tarnhold::e2e
