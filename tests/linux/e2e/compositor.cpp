#include "compositor.h"

#include <linux/input-event-codes.h>

#include <stdexcept>

namespace tarnhold::e2e {

namespace {

constexpr unsigned kReturn = 0xff0d;
constexpr unsigned kTab = 0xff09;
constexpr unsigned kAltL = 0xffe9;
constexpr unsigned kShiftL = 0xffe1;
// The session's virtual monitor.
constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 800;

}  // namespace

GVariant* Compositor::Call(const char* path, const char* interface, const char* method, GVariant* args,
                           const char* destination) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(bus_, destination, path, interface, method, args, nullptr,
                                                G_DBUS_CALL_FLAGS_NONE, 20000, nullptr, &error);
  if (reply == nullptr) {
    const std::string what = std::string(method) + ": " + (error != nullptr ? error->message : "no reply");
    g_clear_error(&error);
    throw std::runtime_error(what);
  }
  return reply;
}

Compositor::Compositor() {
  GError* error = nullptr;
  bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (bus_ == nullptr) {
    const std::string what = error != nullptr ? error->message : "no session bus";
    g_clear_error(&error);
    throw std::runtime_error(what);
  }
  GVariant* reply =
      Call("/org/gnome/Mutter/RemoteDesktop", "org.gnome.Mutter.RemoteDesktop", "CreateSession", nullptr);
  const gchar* path = nullptr;
  g_variant_get(reply, "(&o)", &path);
  session_ = path;
  g_variant_unref(reply);
  g_variant_unref(Call(session_.c_str(), "org.gnome.Mutter.RemoteDesktop.Session", "Start", nullptr));
  // The session's keyboard is a new device, and the first key it sends is
  // lost while Xwayland takes in the keymap that comes with it: a modifier
  // alone types nothing.
  Tap(kShiftL);
  // The shell hands its screenshots only to the desktop's own screenshot
  // tool, which it knows by the name it owns.
  reply = Call("/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
               g_variant_new("(su)", "org.gnome.Screenshot", 4U), "org.freedesktop.DBus");
  g_variant_unref(reply);
}

Compositor::~Compositor() {
  if (!session_.empty()) {
    GVariant* reply = g_dbus_connection_call_sync(bus_, "org.gnome.Mutter.RemoteDesktop", session_.c_str(),
                                                  "org.gnome.Mutter.RemoteDesktop.Session", "Stop", nullptr,
                                                  nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    if (reply != nullptr) g_variant_unref(reply);
  }
  g_object_unref(bus_);
}

void Compositor::MoveTo(int x, int y) {
  auto motion = [&](double dx, double dy) {
    g_variant_unref(Call(session_.c_str(), "org.gnome.Mutter.RemoteDesktop.Session",
                         "NotifyPointerMotionRelative", g_variant_new("(dd)", dx, dy)));
  };
  if (!parked_) {
    // Clamped to the screen's bottom right corner, wherever the pointer was;
    // the top left one is the shell's hot corner, which opens the overview.
    motion(20000, 20000);
    parked_ = true;
    x_ = kScreenWidth - 1;
    y_ = kScreenHeight - 1;
  }
  motion(x - x_, y - y_);
  x_ = x;
  y_ = y;
}

void Compositor::Button(bool pressed) {
  g_variant_unref(Call(session_.c_str(), "org.gnome.Mutter.RemoteDesktop.Session", "NotifyPointerButton",
                       g_variant_new("(ib)", BTN_LEFT, pressed ? TRUE : FALSE)));
}

void Compositor::Key(unsigned keysym, bool pressed) {
  g_variant_unref(Call(session_.c_str(), "org.gnome.Mutter.RemoteDesktop.Session", "NotifyKeyboardKeysym",
                       g_variant_new("(ub)", keysym, pressed ? TRUE : FALSE)));
}

void Compositor::Tap(unsigned keysym) {
  Key(keysym, true);
  Key(keysym, false);
}

void Compositor::Type(std::string_view ascii) {
  for (const char c : ascii) Tap(c == '\n' ? kReturn : static_cast<unsigned char>(c));
}

void Compositor::SwitchWindow() {
  Key(kAltL, true);
  Tap(kTab);
  Key(kAltL, false);
}

void Compositor::Screenshot(const std::string& path) {
  GVariant* reply = Call("/org/gnome/Shell/Screenshot", "org.gnome.Shell.Screenshot", "Screenshot",
                         g_variant_new("(bbs)", FALSE, FALSE, path.c_str()), "org.gnome.Shell.Screenshot");
  gboolean done = FALSE;
  const gchar* used = nullptr;
  g_variant_get(reply, "(b&s)", &done, &used);
  g_variant_unref(reply);
  if (!done) throw std::runtime_error("the shell took no screenshot");
}

bool Compositor::OverviewActive() {
  GVariant* reply = Call("/org/gnome/Shell", "org.freedesktop.DBus.Properties", "Get",
                         g_variant_new("(ss)", "org.gnome.Shell", "OverviewActive"), "org.gnome.Shell");
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  const bool active = g_variant_get_boolean(value) != FALSE;
  g_variant_unref(value);
  g_variant_unref(reply);
  return active;
}

}  // namespace tarnhold::e2e
