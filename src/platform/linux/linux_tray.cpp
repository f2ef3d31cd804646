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
constexpr int kLeftButtonUp = 0x202;

}  // namespace

TrayIcon* TrayIcon::current_ = nullptr;

TrayIcon::TrayIcon(LinuxRuntime& runtime) : runtime_(runtime) { current_ = this; }

bool LinuxShell::NotifyIcon(int message, const std::vector<std::uint8_t>& record) {
  return TrayIcon::current_ != nullptr && TrayIcon::current_->Notify(message, record);
}

TrayIcon::~TrayIcon() {
  if (current_ == this) current_ = nullptr;
  if (indicator_ != nullptr) g_object_unref(indicator_);
  if (menu_ != nullptr) g_object_unref(menu_);
  if (bus_ != nullptr) g_object_unref(bus_);
}

bool TrayIcon::Notify(int message, const std::vector<std::uint8_t>& record) {
  const std::optional<TrayRecord> decoded = DecodeTrayRecord(record);
  if (!decoded) return false;
  if (message == kDelete) {
    if (indicator_ == nullptr) return false;
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
    }
    const std::string id = "tarnhold-" + std::to_string(::getpid());
    indicator_ = app_indicator_new_with_path(id.c_str(), "tarnhold",
                                             APP_INDICATOR_CATEGORY_APPLICATION_STATUS, iconFolder_.c_str());
    g_signal_connect(indicator_, APP_INDICATOR_SIGNAL_CONNECTION_CHANGED,
                     G_CALLBACK(+[](AppIndicator*, gboolean connected, gpointer) {
                       Log("tray-connection", connected ? "connected" : "lost");
                     }),
                     nullptr);
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
  return true;
}

void TrayIcon::Activate() {
  Log("tray-activated", "");
  LinuxWindow* window = runtime_.Find(window_);
  if (window != nullptr) window->TrayCallback(kLeftButtonUp);
}

}  // namespace tarnhold::platform::linux_backend
