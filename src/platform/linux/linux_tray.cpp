#include "platform/linux/linux_tray.h"

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
  if (hostSignal_ != 0) g_dbus_connection_signal_unsubscribe(G_DBUS_CONNECTION(bus_), hostSignal_);
  if (indicator_ != nullptr) g_object_unref(indicator_);
  if (menu_ != nullptr) g_object_unref(menu_);
  if (bus_ != nullptr) g_object_unref(bus_);
}

bool TrayIcon::Notify(int message, const std::vector<std::uint8_t>& record) {
  const std::optional<TrayRecord> decoded = DecodeTrayRecord(record);
  if (!decoded) return false;
  if (message == kDelete) {
    if (indicator_ == nullptr) return false;
    hiddenInHost_ = false;
    LinuxWindow* window = runtime_.Find(window_);
    if (window != nullptr) window->StandInForTray(false);
    app_indicator_set_status(APP_INDICATOR(indicator_), APP_INDICATOR_STATUS_PASSIVE);
    Log("tray-removed", "");
    return true;
  }
  if (message != kAdd && message != kModify) return false;
  window_ = decoded->window;
  const std::string& tip = decoded->tip;
  if (indicator_ == nullptr) {
    // The icon is handed over as a file: the item is drawn by another
    // process, which reads it by name from this folder.
    const char* runtime = g_get_user_runtime_dir();
    iconFolder_ = std::string(runtime) + "/tarnhold-" + std::to_string(::getpid());
    g_mkdir_with_parents(iconFolder_.c_str(), 0700);
    g_file_set_contents((iconFolder_ + "/tarnhold.png").c_str(),
                        reinterpret_cast<const gchar*>(icon::kTarnhold),
                        static_cast<gssize>(icon::kTarnholdSize), nullptr);
    // The item lives on the session bus, which AppIndicator opens on its
    // own and in the background; opened here first, it gets the connection
    // already made, and a bus that cannot be reached is said in the trace.
    GError* error = nullptr;
    bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (bus_ == nullptr) {
      Log("tray-bus", error != nullptr ? error->message : "no session bus");
      g_clear_error(&error);
    } else {
      hostSignal_ = g_dbus_connection_signal_subscribe(
          G_DBUS_CONNECTION(bus_), nullptr, "org.kde.StatusNotifierWatcher", "StatusNotifierHostUnregistered",
          "/StatusNotifierWatcher", nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
          +[](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
              gpointer self) { static_cast<TrayIcon*>(self)->HostLost(); },
          this, nullptr);
    }
    const std::string id = "tarnhold-" + std::to_string(::getpid());
    indicator_ = app_indicator_new_with_path(id.c_str(), "tarnhold",
                                             APP_INDICATOR_CATEGORY_APPLICATION_STATUS, iconFolder_.c_str());
    g_signal_connect(indicator_, APP_INDICATOR_SIGNAL_CONNECTION_CHANGED,
                     G_CALLBACK(+[](AppIndicator*, gboolean connected, gpointer self) {
                       Log("tray-connection", connected ? "connected" : "lost");
                       if (!connected) static_cast<TrayIcon*>(self)->HostLost();
                     }),
                     this);
    menu_ = gtk_menu_new();
    g_object_ref_sink(menu_);
    item_ = gtk_menu_item_new_with_label(tip.c_str());
    g_signal_connect_swapped(item_, "activate",
                             G_CALLBACK(+[](gpointer self) { static_cast<TrayIcon*>(self)->Activate(); }),
                             this);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu_), GTK_WIDGET(item_));
    gtk_widget_show_all(GTK_WIDGET(menu_));
    app_indicator_set_menu(APP_INDICATOR(indicator_), GTK_MENU(menu_));
    app_indicator_set_secondary_activate_target(APP_INDICATOR(indicator_), GTK_WIDGET(item_));
  } else {
    gtk_menu_item_set_label(GTK_MENU_ITEM(item_), tip.c_str());
  }
  app_indicator_set_title(APP_INDICATOR(indicator_), tip.c_str());
  app_indicator_set_status(APP_INDICATOR(indicator_), APP_INDICATOR_STATUS_ACTIVE);
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
  if (bus_ == nullptr) return false;
  // No auto-start: a watcher that is not running is no host, and starting
  // one would not make a panel that draws the item.
  GVariant* reply = g_dbus_connection_call_sync(
      G_DBUS_CONNECTION(bus_), "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
      "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", "org.kde.StatusNotifierWatcher", "IsStatusNotifierHostRegistered"),
      G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, 2000, nullptr, nullptr);
  if (reply == nullptr) return false;
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  const bool registered = g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
  g_variant_unref(value);
  g_variant_unref(reply);
  return registered;
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
