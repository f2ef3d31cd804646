/* Usage: probe_window X Y
 * The harness's own GTK program, for its self-test. It shows, with no
 * window manager to move them:
 *   "probe-blue"     X,Y 400x200, opaque blue
 *   "probe-overlay"  the same place, RGBA: left half opaque red, right half
 *                    alpha 0 and outside its input shape
 *   "probe-entry"    X,Y+260 300x40, one GtkEntry
 * and a tray item "tarnhold-probe" with a menu item "_Show". It reports on
 * stdout, a line each:
 *   ready                               all three windows are mapped
 *   press|release WINDOW BUTTON X Y     a button event and where (in WINDOW)
 *   entry-activate TEXT                 Return in the entry
 *   tray-activate Show                  the menu item was clicked
 * and takes commands on stdin: "passive", "active" (the tray item's status),
 * "drop" (unreference the tray item), "quit". */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>

enum { kWidth = 400, kHeight = 200 };

static int mapped = 0;
static AppIndicator* indicator = NULL;

static gboolean OnButton(GtkWidget* widget, GdkEventButton* event, gpointer data) {
  (void)widget;
  printf("%s %s %u %d %d\n", event->type == GDK_BUTTON_RELEASE ? "release" : "press", (const char*)data,
         event->button, (int)event->x, (int)event->y);
  return TRUE;
}

static gboolean OnMap(GtkWidget* widget, GdkEvent* event, gpointer data) {
  (void)widget;
  (void)event;
  (void)data;
  if (++mapped == 3) printf("ready\n");
  return FALSE;
}

static gboolean DrawBlue(GtkWidget* widget, cairo_t* cr, gpointer data) {
  (void)widget;
  (void)data;
  cairo_set_source_rgb(cr, 0, 0, 1);
  cairo_paint(cr);
  return TRUE;
}

static gboolean DrawOverlay(GtkWidget* widget, cairo_t* cr, gpointer data) {
  (void)widget;
  (void)data;
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_rgba(cr, 0, 0, 0, 0);
  cairo_paint(cr);
  cairo_set_source_rgba(cr, 1, 0, 0, 1);
  cairo_rectangle(cr, 0, 0, kWidth / 2, kHeight);
  cairo_fill(cr);
  return TRUE;
}

static void OnOverlayRealize(GtkWidget* widget, gpointer data) {
  (void)data;
  /* Clicks on the clear half are to fall through to what lies beneath, as
   * they do on a desktop for a shaped window. */
  const cairo_rectangle_int_t left = {0, 0, kWidth / 2, kHeight};
  cairo_region_t* region = cairo_region_create_rectangle(&left);
  gtk_widget_input_shape_combine_region(widget, region);
  cairo_region_destroy(region);
}

static void OnEntryActivate(GtkEntry* entry, gpointer data) {
  (void)data;
  printf("entry-activate %s\n", gtk_entry_get_text(entry));
}

static void OnShow(GtkMenuItem* item, gpointer data) {
  (void)item;
  (void)data;
  printf("tray-activate Show\n");
}

static GtkWidget* NewWindow(const char* title, int x, int y, int width, int height) {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), title);
  gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
  gtk_window_set_default_size(GTK_WINDOW(window), width, height);
  gtk_window_move(GTK_WINDOW(window), x, y);
  gtk_widget_add_events(window, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
  g_signal_connect(window, "button-press-event", G_CALLBACK(OnButton), (gpointer)title);
  g_signal_connect(window, "button-release-event", G_CALLBACK(OnButton), (gpointer)title);
  g_signal_connect(window, "map-event", G_CALLBACK(OnMap), NULL);
  return window;
}

static gboolean OnCommand(GIOChannel* channel, GIOCondition condition, gpointer data) {
  (void)condition;
  (void)data;
  char* line = NULL;
  if (g_io_channel_read_line(channel, &line, NULL, NULL, NULL) != G_IO_STATUS_NORMAL) {
    /* The test is gone: so is the probe. */
    gtk_main_quit();
    return G_SOURCE_REMOVE;
  }
  g_strstrip(line);
  if (strcmp(line, "quit") == 0) {
    gtk_main_quit();
  } else if (strcmp(line, "passive") == 0 && indicator) {
    app_indicator_set_status(indicator, APP_INDICATOR_STATUS_PASSIVE);
  } else if (strcmp(line, "active") == 0 && indicator) {
    app_indicator_set_status(indicator, APP_INDICATOR_STATUS_ACTIVE);
  } else if (strcmp(line, "drop") == 0 && indicator) {
    g_object_unref(indicator);
    indicator = NULL;
  }
  printf("did %s\n", line);
  g_free(line);
  return G_SOURCE_CONTINUE;
}

int main(int argc, char** argv) {
  setvbuf(stdout, NULL, _IOLBF, 0);
  gtk_init(&argc, &argv);
  if (argc != 3) {
    fprintf(stderr, "usage: probe_window X Y\n");
    return 2;
  }
  const int x = atoi(argv[1]);
  const int y = atoi(argv[2]);

  GtkWidget* blue = NewWindow("probe-blue", x, y, kWidth, kHeight);
  gtk_widget_set_app_paintable(blue, TRUE);
  g_signal_connect(blue, "draw", G_CALLBACK(DrawBlue), NULL);
  gtk_widget_show_all(blue);

  /* Mapped after the blue one, so it is above it: there is no window
   * manager to stack them. */
  GtkWidget* overlay = NewWindow("probe-overlay", x, y, kWidth, kHeight);
  GdkVisual* rgba = gdk_screen_get_rgba_visual(gtk_widget_get_screen(overlay));
  if (rgba == NULL) {
    fprintf(stderr, "probe_window: the screen has no RGBA visual\n");
    return 1;
  }
  gtk_widget_set_visual(overlay, rgba);
  gtk_widget_set_app_paintable(overlay, TRUE);
  g_signal_connect(overlay, "draw", G_CALLBACK(DrawOverlay), NULL);
  g_signal_connect(overlay, "realize", G_CALLBACK(OnOverlayRealize), NULL);
  gtk_widget_show_all(overlay);

  GtkWidget* entry_window = NewWindow("probe-entry", x, y + 260, 300, 40);
  GtkWidget* entry = gtk_entry_new();
  g_signal_connect(entry, "activate", G_CALLBACK(OnEntryActivate), NULL);
  gtk_container_add(GTK_CONTAINER(entry_window), entry);
  gtk_widget_show_all(entry_window);

  /* The indicator library asks for the bus and watches the watcher's name
   * in two separate calls; when the name's owner is answered first, it makes
   * its watcher proxy on a connection it does not have yet, and the item
   * never registers. With the bus already open, its own request completes at
   * once, before any answer from the bus can. */
  GError* error = NULL;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, NULL, &error);
  if (bus == NULL) {
    fprintf(stderr, "probe_window: no session bus: %s\n", error->message);
    g_error_free(error);
    return 1;
  }
  indicator =
      app_indicator_new("tarnhold-probe", "dialog-information", APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
  app_indicator_set_title(indicator, "Tarnhold probe");
  GtkWidget* menu = gtk_menu_new();
  GtkWidget* show = gtk_menu_item_new_with_mnemonic("_Show");
  g_signal_connect(show, "activate", G_CALLBACK(OnShow), NULL);
  gtk_menu_shell_append(GTK_MENU_SHELL(menu), show);
  gtk_widget_show_all(menu);
  app_indicator_set_menu(indicator, GTK_MENU(menu));
  app_indicator_set_status(indicator, APP_INDICATOR_STATUS_ACTIVE);

  GIOChannel* commands = g_io_channel_unix_new(0);
  g_io_add_watch(commands, G_IO_IN | G_IO_HUP | G_IO_ERR, OnCommand, NULL);

  gtk_main();
  if (indicator) g_object_unref(indicator);
  g_io_channel_unref(commands);
  g_object_unref(bus);
  return 0;
}
