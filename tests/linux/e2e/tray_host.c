/* The tray of the test session. Tray icons made with libayatana-appindicator
 * register with a StatusNotifierWatcher on the session bus; with none there
 * they fall back to an XEmbed icon, for which Xvfb has no tray. So --serve
 * is that watcher (and a host, so that items believe they are shown), and
 * the other modes are how tests look at the items and click their menus
 * over D-Bus, as a desktop's tray would.
 *
 *   tray_host --serve              own org.kde.StatusNotifierWatcher until SIGTERM
 *   tray_host --list               one line per registered item:
 *                                  <bus name> <object path> <Status> <Title or Id>
 *                                  (Status "-" when the item's object is gone)
 *   tray_host --activate LABEL     click the menu item LABEL (underscores ignored)
 *                                  of the one item that is there
 *   tray_host --wait-item SECONDS  until an item shows (Status Active or
 *                                  NeedsAttention)
 *   tray_host --wait-none SECONDS  until none shows: none registered, Passive,
 *                                  or its object gone
 * Exit status: 0 done, 1 failed or timed out (with a message), 2 usage. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <gio/gio.h>
#include <glib-unix.h>

#define WATCHER_NAME "org.kde.StatusNotifierWatcher"
#define WATCHER_PATH "/StatusNotifierWatcher"
#define ITEM_INTERFACE "org.kde.StatusNotifierItem"
#define MENU_INTERFACE "com.canonical.dbusmenu"
#define CALL_TIMEOUT_MS 2000

/* ---- the watcher ------------------------------------------------------- */

static const char kWatcherXml[] =
    "<node>"
    " <interface name='org.kde.StatusNotifierWatcher'>"
    "  <method name='RegisterStatusNotifierItem'><arg name='service' type='s' direction='in'/></method>"
    "  <method name='RegisterStatusNotifierHost'><arg name='service' type='s' direction='in'/></method>"
    "  <property name='RegisteredStatusNotifierItems' type='as' access='read'/>"
    "  <property name='IsStatusNotifierHostRegistered' type='b' access='read'/>"
    "  <property name='ProtocolVersion' type='i' access='read'/>"
    "  <signal name='StatusNotifierItemRegistered'><arg type='s'/></signal>"
    "  <signal name='StatusNotifierItemUnregistered'><arg type='s'/></signal>"
    "  <signal name='StatusNotifierHostRegistered'/>"
    " </interface>"
    "</node>";

typedef struct {
  char* owner; /* the unique bus name whose loss ends the item */
  char* key;   /* service followed by object path, as the property lists it */
} Item;

typedef struct {
  GDBusConnection* connection;
  GMainLoop* loop;
  GPtrArray* items;
  int status;
} Watcher;

static void ItemFree(gpointer data) {
  Item* item = data;
  g_free(item->owner);
  g_free(item->key);
  g_free(item);
}

static void Emit(Watcher* w, const char* signal, GVariant* parameters) {
  g_dbus_connection_emit_signal(w->connection, NULL, WATCHER_PATH, WATCHER_NAME, signal, parameters, NULL);
}

static void RegisterItem(Watcher* w, GDBusMethodInvocation* invocation, const char* service) {
  const char* sender = g_dbus_method_invocation_get_sender(invocation);
  char* key;
  char* owner;
  /* libayatana-appindicator passes its object path, not a bus name: the item
   * then lives at that path on the caller's own connection. */
  if (service[0] == '/') {
    key = g_strconcat(sender, service, NULL);
    owner = g_strdup(sender);
  } else if (g_dbus_is_unique_name(service)) {
    key = g_strconcat(service, "/StatusNotifierItem", NULL);
    owner = g_strdup(service);
  } else if (g_dbus_is_name(service)) {
    GError* error = NULL;
    GVariant* reply = g_dbus_connection_call_sync(
        w->connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "GetNameOwner", g_variant_new("(s)", service), G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE,
        CALL_TIMEOUT_MS, NULL, &error);
    if (reply == NULL) {
      g_dbus_method_invocation_return_gerror(invocation, error);
      g_error_free(error);
      return;
    }
    g_variant_get(reply, "(s)", &owner);
    g_variant_unref(reply);
    key = g_strconcat(service, "/StatusNotifierItem", NULL);
  } else {
    g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS,
                                          "not a bus name or object path: %s", service);
    return;
  }
  for (guint i = 0; i < w->items->len; ++i) {
    const Item* known = g_ptr_array_index(w->items, i);
    if (strcmp(known->key, key) == 0) {
      /* Items register again whenever the watcher reappears or they are
       * re-shown; one entry is what a tray shows. */
      g_free(key);
      g_free(owner);
      g_dbus_method_invocation_return_value(invocation, NULL);
      return;
    }
  }
  Item* item = g_new0(Item, 1);
  item->owner = owner;
  item->key = key;
  g_ptr_array_add(w->items, item);
  printf("registered %s (owner %s)\n", item->key, item->owner);
  g_dbus_method_invocation_return_value(invocation, NULL);
  Emit(w, "StatusNotifierItemRegistered", g_variant_new("(s)", item->key));
}

static void OnMethodCall(GDBusConnection* connection, const char* sender, const char* path,
                         const char* interface, const char* method, GVariant* parameters,
                         GDBusMethodInvocation* invocation, gpointer data) {
  (void)connection;
  (void)sender;
  (void)path;
  (void)interface;
  Watcher* w = data;
  const char* service = NULL;
  g_variant_get(parameters, "(&s)", &service);
  if (strcmp(method, "RegisterStatusNotifierItem") == 0) {
    RegisterItem(w, invocation, service);
  } else if (strcmp(method, "RegisterStatusNotifierHost") == 0) {
    g_dbus_method_invocation_return_value(invocation, NULL);
    Emit(w, "StatusNotifierHostRegistered", NULL);
  } else {
    g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD,
                                          "no method %s", method);
  }
}

static GVariant* OnGetProperty(GDBusConnection* connection, const char* sender, const char* path,
                               const char* interface, const char* property, GError** error, gpointer data) {
  (void)connection;
  (void)sender;
  (void)path;
  (void)interface;
  Watcher* w = data;
  if (strcmp(property, "RegisteredStatusNotifierItems") == 0) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("as"));
    for (guint i = 0; i < w->items->len; ++i) {
      const Item* item = g_ptr_array_index(w->items, i);
      g_variant_builder_add(&builder, "s", item->key);
    }
    return g_variant_builder_end(&builder);
  }
  /* This program is the host as well: a tray is there for every item. */
  if (strcmp(property, "IsStatusNotifierHostRegistered") == 0) return g_variant_new_boolean(TRUE);
  if (strcmp(property, "ProtocolVersion") == 0) return g_variant_new_int32(0);
  g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", property);
  return NULL;
}

static void OnNameOwnerChanged(GDBusConnection* connection, const char* sender, const char* path,
                               const char* interface, const char* signal, GVariant* parameters,
                               gpointer data) {
  (void)connection;
  (void)sender;
  (void)path;
  (void)interface;
  (void)signal;
  Watcher* w = data;
  const char* name = NULL;
  const char* old_owner = NULL;
  const char* new_owner = NULL;
  g_variant_get(parameters, "(&s&s&s)", &name, &old_owner, &new_owner);
  if (new_owner[0] != '\0') return;
  for (guint i = w->items->len; i-- > 0;) {
    Item* item = g_ptr_array_index(w->items, i);
    if (strcmp(item->owner, name) != 0 && strcmp(item->owner, old_owner) != 0) continue;
    char* key = g_strdup(item->key);
    g_ptr_array_remove_index(w->items, i);
    printf("unregistered %s\n", key);
    Emit(w, "StatusNotifierItemUnregistered", g_variant_new("(s)", key));
    g_free(key);
  }
}

static const GDBusInterfaceVTable kVTable = {OnMethodCall, OnGetProperty, NULL, {0}};

static void OnBusAcquired(GDBusConnection* connection, const char* name, gpointer data) {
  (void)name;
  Watcher* w = data;
  w->connection = connection;
  GError* error = NULL;
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kWatcherXml, &error);
  g_assert_no_error(error);
  /* Subscribed before the name is ours, so that no item can vanish unseen. */
  g_dbus_connection_signal_subscribe(connection, "org.freedesktop.DBus", "org.freedesktop.DBus",
                                     "NameOwnerChanged", "/org/freedesktop/DBus", NULL,
                                     G_DBUS_SIGNAL_FLAGS_NONE, OnNameOwnerChanged, w, NULL);
  if (g_dbus_connection_register_object(connection, WATCHER_PATH, node->interfaces[0], &kVTable, w, NULL,
                                        &error) == 0) {
    fprintf(stderr, "tray_host: %s\n", error->message);
    g_error_free(error);
    w->status = 1;
    g_main_loop_quit(w->loop);
  }
  g_dbus_node_info_unref(node);
  char* host = g_strdup_printf("org.kde.StatusNotifierHost-%ld", (long)getpid());
  g_bus_own_name_on_connection(connection, host, G_BUS_NAME_OWNER_FLAGS_NONE, NULL, NULL, NULL, NULL);
  g_free(host);
}

static void OnNameAcquired(GDBusConnection* connection, const char* name, gpointer data) {
  (void)connection;
  (void)data;
  printf("serving %s\n", name);
}

static void OnNameLost(GDBusConnection* connection, const char* name, gpointer data) {
  (void)connection;
  Watcher* w = data;
  fprintf(stderr, "tray_host: %s is not ours (taken, or no bus)\n", name);
  w->status = 1;
  g_main_loop_quit(w->loop);
}

static gboolean OnTerminate(gpointer data) {
  Watcher* w = data;
  g_main_loop_quit(w->loop);
  return G_SOURCE_REMOVE;
}

static int Serve(void) {
  /* Its output is a log read after a failure; unbuffered, it is complete. */
  setvbuf(stdout, NULL, _IONBF, 0);
  Watcher w = {NULL, g_main_loop_new(NULL, FALSE), g_ptr_array_new_with_free_func(ItemFree), 0};
  g_unix_signal_add(SIGTERM, OnTerminate, &w);
  g_unix_signal_add(SIGINT, OnTerminate, &w);
  const guint owner = g_bus_own_name(G_BUS_TYPE_SESSION, WATCHER_NAME, G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                                     OnBusAcquired, OnNameAcquired, OnNameLost, &w, NULL);
  g_main_loop_run(w.loop);
  g_bus_unown_name(owner);
  g_ptr_array_unref(w.items);
  g_main_loop_unref(w.loop);
  return w.status;
}

/* ---- the test's side ---------------------------------------------------- */

typedef struct {
  char* service;
  char* path;
  char* status; /* NULL when the item's object cannot be read */
  char* title;
} Seen;

static void SeenClear(Seen* s) {
  g_free(s->service);
  g_free(s->path);
  g_free(s->status);
  g_free(s->title);
}

static GVariant* GetProperty(GDBusConnection* bus, const char* service, const char* path,
                             const char* interface, const char* property, GError** error) {
  GVariant* reply =
      g_dbus_connection_call_sync(bus, service, path, "org.freedesktop.DBus.Properties", "Get",
                                  g_variant_new("(ss)", interface, property), G_VARIANT_TYPE("(v)"),
                                  G_DBUS_CALL_FLAGS_NONE, CALL_TIMEOUT_MS, NULL, error);
  if (reply == NULL) return NULL;
  GVariant* value = NULL;
  g_variant_get(reply, "(v)", &value);
  g_variant_unref(reply);
  return value;
}

static char* GetString(GDBusConnection* bus, const char* service, const char* path, const char* property) {
  GVariant* value = GetProperty(bus, service, path, ITEM_INTERFACE, property, NULL);
  if (value == NULL) return NULL;
  char* text = NULL;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) ||
      g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH))
    text = g_variant_dup_string(value, NULL);
  g_variant_unref(value);
  return text;
}

/* The registered items with what they say of themselves; -1 when the
 * watcher cannot be asked. */
static int ReadItems(GDBusConnection* bus, Seen** out, GError** error) {
  GVariant* value =
      GetProperty(bus, WATCHER_NAME, WATCHER_PATH, WATCHER_NAME, "RegisteredStatusNotifierItems", error);
  if (value == NULL) return -1;
  gsize n = 0;
  const char** keys = g_variant_get_strv(value, &n);
  Seen* seen = g_new0(Seen, n + 1);
  for (gsize i = 0; i < n; ++i) {
    const char* slash = strchr(keys[i], '/');
    seen[i].service = slash ? g_strndup(keys[i], (gsize)(slash - keys[i])) : g_strdup(keys[i]);
    seen[i].path = g_strdup(slash ? slash : "/StatusNotifierItem");
    seen[i].status = GetString(bus, seen[i].service, seen[i].path, "Status");
    char* title = GetString(bus, seen[i].service, seen[i].path, "Title");
    if (title == NULL || title[0] == '\0') {
      g_free(title);
      title = GetString(bus, seen[i].service, seen[i].path, "Id");
    }
    seen[i].title = title ? title : g_strdup("-");
  }
  g_free(keys);
  g_variant_unref(value);
  *out = seen;
  return (int)n;
}

static void FreeItems(Seen* seen, int n) {
  for (int i = 0; i < n; ++i) SeenClear(&seen[i]);
  g_free(seen);
}

static gboolean Shows(const Seen* s) {
  return s->status != NULL && (strcmp(s->status, "Active") == 0 || strcmp(s->status, "NeedsAttention") == 0);
}

static void PrintItems(FILE* to, const Seen* seen, int n) {
  for (int i = 0; i < n; ++i)
    fprintf(to, "%s %s %s %s\n", seen[i].service, seen[i].path, seen[i].status ? seen[i].status : "-",
            seen[i].title);
}

static int List(GDBusConnection* bus) {
  GError* error = NULL;
  Seen* seen = NULL;
  const int n = ReadItems(bus, &seen, &error);
  if (n < 0) {
    fprintf(stderr, "tray_host: no watcher: %s\n", error->message);
    g_error_free(error);
    return 1;
  }
  PrintItems(stdout, seen, n);
  FreeItems(seen, n);
  return 0;
}

/* Polls rather than following signals: a test asks about a state, and the
 * items' properties are the state whichever signals were missed. */
static int WaitFor(GDBusConnection* bus, const char* seconds_text, gboolean want_shown) {
  char* end = NULL;
  const double seconds = strtod(seconds_text, &end);
  if (end == seconds_text || *end != '\0' || seconds < 0) {
    fprintf(stderr, "tray_host: not a number of seconds: %s\n", seconds_text);
    return 2;
  }
  const gint64 deadline = g_get_monotonic_time() + (gint64)(seconds * G_USEC_PER_SEC);
  for (;;) {
    GError* error = NULL;
    Seen* seen = NULL;
    const int n = ReadItems(bus, &seen, &error);
    int shown = -1;
    for (int i = 0; i < n; ++i)
      if (Shows(&seen[i])) shown = i;
    const gboolean done = n >= 0 && (want_shown ? shown >= 0 : shown < 0);
    if (done && want_shown) PrintItems(stdout, &seen[shown], 1);
    if (done || g_get_monotonic_time() >= deadline) {
      if (!done) {
        fprintf(stderr, "tray_host: after %s s, %s; registered:\n", seconds_text,
                want_shown ? "no item shows" : "an item still shows");
        if (n < 0) fprintf(stderr, "  (no watcher: %s)\n", error->message);
        PrintItems(stderr, seen, n);
      }
      if (error) g_error_free(error);
      FreeItems(seen, n < 0 ? 0 : n);
      return done ? 0 : 1;
    }
    if (error) g_error_free(error);
    FreeItems(seen, n < 0 ? 0 : n);
    g_usleep(50 * 1000);
  }
}

static gboolean SameLabel(const char* label, const char* want) {
  /* Mnemonic underscores are how the label is written, not what it says. */
  for (;;) {
    while (*label == '_') ++label;
    while (*want == '_') ++want;
    if (*label != *want) return FALSE;
    if (*label == '\0') return TRUE;
    ++label;
    ++want;
  }
}

typedef struct {
  int id;
  int count;
  gboolean enabled;
  gboolean visible;
} Match;

static void FindLabel(GVariant* node, const char* want, Match* match) {
  gint32 id = 0;
  GVariant* properties = NULL;
  GVariant* children = NULL;
  g_variant_get(node, "(i@a{sv}@av)", &id, &properties, &children);
  const char* label = NULL;
  if (g_variant_lookup(properties, "label", "&s", &label) && SameLabel(label, want)) {
    gboolean flag = TRUE;
    match->id = id;
    ++match->count;
    match->enabled = !g_variant_lookup(properties, "enabled", "b", &flag) || flag;
    flag = TRUE;
    match->visible = !g_variant_lookup(properties, "visible", "b", &flag) || flag;
  }
  GVariantIter iter;
  GVariant* child = NULL;
  g_variant_iter_init(&iter, children);
  while (g_variant_iter_next(&iter, "v", &child)) {
    FindLabel(child, want, match);
    g_variant_unref(child);
  }
  g_variant_unref(properties);
  g_variant_unref(children);
}

static int Activate(GDBusConnection* bus, const char* label) {
  GError* error = NULL;
  Seen* seen = NULL;
  const int n = ReadItems(bus, &seen, &error);
  if (n < 0) {
    fprintf(stderr, "tray_host: no watcher: %s\n", error->message);
    g_error_free(error);
    return 1;
  }
  int status = 1;
  int reachable = 0;
  const Seen* item = NULL;
  for (int i = 0; i < n; ++i)
    if (seen[i].status != NULL) {
      ++reachable;
      item = &seen[i];
    }
  char* menu = NULL;
  GVariant* layout = NULL;
  if (reachable != 1) {
    fprintf(stderr, "tray_host: %d items to choose from, want exactly one:\n", reachable);
    PrintItems(stderr, seen, n);
    goto done;
  }
  menu = GetString(bus, item->service, item->path, "Menu");
  if (menu == NULL || strcmp(menu, "/") == 0) {
    fprintf(stderr, "tray_host: %s%s has no menu\n", item->service, item->path);
    goto done;
  }
  const char* names[] = {"label", "enabled", "visible", NULL};
  layout = g_dbus_connection_call_sync(
      bus, item->service, menu, MENU_INTERFACE, "GetLayout", g_variant_new("(ii^as)", 0, -1, names),
      G_VARIANT_TYPE("(u(ia{sv}av))"), G_DBUS_CALL_FLAGS_NONE, CALL_TIMEOUT_MS, NULL, &error);
  if (layout == NULL) {
    fprintf(stderr, "tray_host: GetLayout on %s %s: %s\n", item->service, menu, error->message);
    goto done;
  }
  GVariant* root = g_variant_get_child_value(layout, 1);
  Match match = {0, 0, TRUE, TRUE};
  FindLabel(root, label, &match);
  g_variant_unref(root);
  if (match.count != 1 || !match.enabled || !match.visible) {
    fprintf(stderr, "tray_host: menu of %s: %d items labelled %s%s\n", item->service, match.count, label,
            match.count == 1 ? (match.enabled ? ", hidden" : ", disabled") : "");
    goto done;
  }
  /* Timestamp 0: the menu's side takes it as "now", which a synthetic click
   * is; any other number would be from no clock the item knows. */
  GVariant* reply = g_dbus_connection_call_sync(
      bus, item->service, menu, MENU_INTERFACE, "Event",
      g_variant_new("(isvu)", match.id, "clicked", g_variant_new_int32(0), (guint32)0), NULL,
      G_DBUS_CALL_FLAGS_NONE, CALL_TIMEOUT_MS, NULL, &error);
  if (reply == NULL) {
    fprintf(stderr, "tray_host: Event on %s %s: %s\n", item->service, menu, error->message);
    goto done;
  }
  g_variant_unref(reply);
  printf("activated %d %s\n", match.id, label);
  status = 0;
done:
  if (error) g_error_free(error);
  if (layout) g_variant_unref(layout);
  g_free(menu);
  FreeItems(seen, n);
  return status;
}

int main(int argc, char** argv) {
  if (argc == 2 && strcmp(argv[1], "--serve") == 0) return Serve();
  const gboolean list = argc == 2 && strcmp(argv[1], "--list") == 0;
  const gboolean with_argument =
      argc == 3 && (strcmp(argv[1], "--activate") == 0 || strcmp(argv[1], "--wait-item") == 0 ||
                    strcmp(argv[1], "--wait-none") == 0);
  if (!list && !with_argument) {
    fprintf(
        stderr,
        "usage: tray_host --serve | --list | --activate LABEL | --wait-item SECONDS | --wait-none SECONDS\n");
    return 2;
  }
  GError* error = NULL;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, NULL, &error);
  if (bus == NULL) {
    fprintf(stderr, "tray_host: no session bus: %s\n", error->message);
    g_error_free(error);
    return 1;
  }
  int status;
  if (list)
    status = List(bus);
  else if (strcmp(argv[1], "--activate") == 0)
    status = Activate(bus, argv[2]);
  else
    status = WaitFor(bus, argv[2], strcmp(argv[1], "--wait-item") == 0);
  g_object_unref(bus);
  return status;
}
