#include "platform/linux/linux_tray.h"

#include <glib/gstdio.h>
#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>
#include <unistd.h>

#include "platform/linux/linux_log.h"
#include "platform/linux/linux_system.h"
#include "platform/linux/linux_windows.h"
#include "platform/linux/tray_record.h"
#include "program_icon.h"

namespace tarnhold::platform::linux_backend {

namespace {

constexpr int kAdd = 0;
constexpr int kModify = 1;
constexpr int kDelete = 2;

}  // namespace

TrayIcon* TrayIcon::current_ = nullptr;

TrayIcon::TrayIcon(LinuxRuntime& runtime) : runtime_(runtime) { current_ = this; }

bool LinuxShell::NotifyIcon(int message, const std::vector<std::uint8_t>& record) {
  return TrayIcon::current_ != nullptr && TrayIcon::current_->Notify(message, record);
}

TrayIcon::~TrayIcon() {
  if (current_ == this) current_ = nullptr;
  if (hostSignal_ != 0) g_dbus_connection_signal_unsubscribe(G_DBUS_CONNECTION(bus_.get()), hostSignal_);
  RemoveIconFile();
}

// The item is drawn by another process, which reads its icon by name from
// this folder whenever it draws: the file lives while the item is shown.
void TrayIcon::WriteIconFile() {
  g_mkdir_with_parents(iconFolder_.c_str(), 0700);
  g_file_set_contents((iconFolder_ + "/tarnhold.png").c_str(),
                      reinterpret_cast<const gchar*>(icon::kTarnhold),
                      static_cast<gssize>(icon::kTarnholdSize), nullptr);
}

void TrayIcon::RemoveIconFile() noexcept {
  if (iconFolder_.empty()) return;
  try {
    g_remove((iconFolder_ + "/tarnhold.png").c_str());
    g_rmdir(iconFolder_.c_str());
  } catch (...) {
    // No memory for the name: the folder is in the session's runtime folder,
    // which goes with the session.
  }
}

bool TrayIcon::Notify(int message, const std::vector<std::uint8_t>& record) {
  const std::optional<TrayRecord> decoded = DecodeTrayRecord(record);
  if (!decoded) return false;
  if (message == kDelete) {
    if (!indicator_) return false;
    hiddenInHost_ = false;
    LinuxWindow* window = runtime_.Find(window_);
    if (window != nullptr) window->StandInForTray(false);
    app_indicator_set_status(APP_INDICATOR(indicator_.get()), APP_INDICATOR_STATUS_PASSIVE);
    RemoveIconFile();
    Log("tray-removed", "");
    return true;
  }
  if (message != kAdd && message != kModify) return false;
  window_ = decoded->window;
  const std::string& tip = decoded->tip;
  if (iconFolder_.empty()) {
    iconFolder_ = std::string(g_get_user_runtime_dir()) + "/tarnhold-" + std::to_string(::getpid());
  }
  WriteIconFile();
  if (!indicator_) {
    // The item lives on the session bus, which AppIndicator opens on its
    // own and in the background; opened here first, it gets the connection
    // already made, and a bus that cannot be reached is said in the trace.
    g_autoptr(GError) error = nullptr;
    bus_.reset(G_OBJECT(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error)));
    if (!bus_) {
      Log("tray-bus", error != nullptr ? error->message : "no session bus");
    } else {
      hostSignal_ = g_dbus_connection_signal_subscribe(
          G_DBUS_CONNECTION(bus_.get()), nullptr, "org.kde.StatusNotifierWatcher",
          "StatusNotifierHostUnregistered", "/StatusNotifierWatcher", nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
          +[](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
              gpointer self) { static_cast<TrayIcon*>(self)->HostLost(); },
          this, nullptr);
    }
    const std::string id = "tarnhold-" + std::to_string(::getpid());
    indicator_.reset(G_OBJECT(app_indicator_new_with_path(
        id.c_str(), "tarnhold", APP_INDICATOR_CATEGORY_APPLICATION_STATUS, iconFolder_.c_str())));
    g_signal_connect(indicator_.get(), APP_INDICATOR_SIGNAL_CONNECTION_CHANGED,
                     G_CALLBACK(+[](AppIndicator*, gboolean connected, gpointer self) {
                       Log("tray-connection", connected ? "connected" : "lost");
                       if (!connected) static_cast<TrayIcon*>(self)->HostLost();
                     }),
                     this);
    menu_.reset(G_OBJECT(g_object_ref_sink(gtk_menu_new())));
    item_ = gtk_menu_item_new_with_label(tip.c_str());
    g_signal_connect_swapped(item_, "activate",
                             G_CALLBACK(+[](gpointer self) { static_cast<TrayIcon*>(self)->Activate(); }),
                             this);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu_.get()), GTK_WIDGET(item_));
    gtk_widget_show_all(GTK_WIDGET(menu_.get()));
    app_indicator_set_menu(APP_INDICATOR(indicator_.get()), GTK_MENU(menu_.get()));
    app_indicator_set_secondary_activate_target(APP_INDICATOR(indicator_.get()), GTK_WIDGET(item_));
  } else {
    gtk_menu_item_set_label(GTK_MENU_ITEM(item_), tip.c_str());
  }
  app_indicator_set_title(APP_INDICATOR(indicator_.get()), tip.c_str());
  app_indicator_set_status(APP_INDICATOR(indicator_.get()), APP_INDICATOR_STATUS_ACTIVE);
  Log("tray-added", tip);
  if (message == kAdd) {
    hiddenInHost_ = HostShowsItems();
    LinuxWindow* window = runtime_.Find(window_);
    if (!hiddenInHost_ && window != nullptr) {
      Log("tray-no-host", tip);
      window->StandInForTray(true);
    }
  }
  return true;
}

bool TrayIcon::HostShowsItems() const {
  if (!bus_) return false;
  // No auto-start: a watcher that is not running is no host, and starting
  // one would not make a panel that draws the item.
  g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
      G_DBUS_CONNECTION(bus_.get()), "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
      "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", "org.kde.StatusNotifierWatcher", "IsStatusNotifierHostRegistered"),
      G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, 2000, nullptr, nullptr);
  if (reply == nullptr) return false;
  g_autoptr(GVariant) value = nullptr;
  g_variant_get(reply, "(v)", &value);
  return g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
}

void TrayIcon::HostLost() {
  if (!hiddenInHost_ || HostShowsItems()) return;
  hiddenInHost_ = false;
  Log("tray-host-lost", "");
  Activate();
}

void TrayIcon::Activate() {
  Log("tray-activated", "");
  LinuxWindow* window = runtime_.Find(window_);
  if (window != nullptr) window->TrayCallback(kTrayClick);
}

}  // namespace tarnhold::platform::linux_backend
