#pragma once
// The browser control and the Flash control on WebKitGTK. The browser maps
// the engine's navigation policy and load events onto the events the
// behaviour handles, and a script in every frame reports what the engine
// does not (a sub-frame's load, a document's scripts about to run). The
// Flash control is a web view hosting Ruffle, the Flash Player emulator,
// served with the movie through a URI scheme of this program's own, from
// the copy of the emulator compiled into the program.
#include <webkit2/webkit2.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/activex.h"
#include "platform/browser.h"
#include "platform/linux/linux_gobject.h"

namespace tarnhold::platform::linux_backend {

class LinuxWindow;
class LinuxFlash;

// The one web context of the program, and the player's URI scheme.
class WebRuntime {
 public:
  WebRuntime();
  ~WebRuntime();
  WebRuntime(const WebRuntime&) = delete;
  WebRuntime& operator=(const WebRuntime&) = delete;

  WebKitWebContext* Context() const { return context_.get(); }
  // A web view of this context with its own content manager, which reports
  // script messages under the name "tarnhold".
  WebKitWebView* NewView(WebKitUserContentManager* content);
  // Forgets the engine's cache, cookies and stored site data.
  void ClearBrowsingData();

  // A player's page, the emulator in it loaded and its WebAssembly compiled
  // (or on the way there), in a view no window holds yet.
  // It owns its view and content manager: a player is moved, never copied.
  struct Player {
    int id = 0;
    GOwned<WebKitUserContentManager> content;
    GOwned<WebKitWebView> view;
  };
  // Begins the spare player, unless there is one: a page has just been
  // drawn, so the compile no longer competes with what the user waits for.
  void PreparePlayer();
  // The spare player, or one begun now; the next spare waits for the next
  // page drawn.
  Player TakePlayer();
  void Attach(int id, LinuxFlash* player);
  void Detach(int id);
  // Hands a movie to a player's page: at once if its emulator is ready,
  // else the moment it says so. A page still loading would lose a script
  // run in it now, and one loading the emulator would begin the movie on an
  // instance being replaced.
  void Play(int id, WebKitWebView* view, const std::string& script);

  static constexpr const char* kScheme = "tarnhold-player";

 private:
  Player NewPlayer();
  bool Known(int id) const;
  static void OnPlayerMessage(WebKitUserContentManager* content, WebKitJavascriptResult* result,
                              gpointer self);
  void Ready(int id);

  static void Serve(WebKitURISchemeRequest* request, gpointer self);
  void Serve(WebKitURISchemeRequest* request);
  // The trace's name of the player a view belongs to.
  std::string PlayerOf(WebKitWebView* view) const;

  GOwned<WebKitWebContext> context_;
  // Every later view is related to the first, so that all share its web
  // process.
  GOwned<WebKitWebView> first_;
  std::map<int, LinuxFlash*> players_;
  std::set<int> ready_;  // players whose emulator has said it is ready
  struct Pending {
    WebKitWebView* view = nullptr;
    std::string script;
  };
  std::map<int, Pending> pending_;  // movies waiting for their player
  std::optional<Player> spare_;
  int nextPlayer_ = 1;
  // The emulator's renderer for this machine's GL, chosen at the first player.
  const char* renderer_ = nullptr;
};

class LinuxBrowser final : public Browser {
 public:
  LinuxBrowser(WebRuntime& web, LinuxWindow& form, std::string name, const GdkRectangle& pixels,
               BrowserEvents& events);
  ~LinuxBrowser() override;
  LinuxBrowser(const LinuxBrowser&) = delete;
  LinuxBrowser& operator=(const LinuxBrowser&) = delete;

  const std::string& Name() const { return name_; }
  void Navigate(const std::string& url) override { Navigate2(url); }
  void Navigate2(const std::string& url) override;
  void SetSilent(bool silent) override { silent_ = silent; }
  std::string LocationURL() const override;
  bool Visible() const override;
  void SetVisible(bool visible) override;
  void SetBodyAttribute(const std::string& name, const std::string& textValue) override;
  void SetBodyAttribute(const std::string& name, short integerValue) override;

 private:
  static gboolean OnPolicy(WebKitWebView* view, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                           gpointer self);
  static void OnLoad(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
  static gboolean OnFailed(WebKitWebView* view, WebKitLoadEvent event, const gchar* uri, GError* error,
                           gpointer self);
  static void OnMessage(WebKitUserContentManager* content, WebKitJavascriptResult* result, gpointer self);
  static gboolean OnDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer self);
  static void OnMap(GtkWidget* view, gpointer self);
  void SetBody(const std::string& name, const std::string& valueScript);

  WebRuntime& web_;
  std::string name_;
  std::string trace_;  // the form's name and the control's, for the trace
  BrowserEvents& events_;
  GOwned<WebKitUserContentManager> content_;
  GOwned<WebKitWebView> view_;
  bool silent_ = false;
  bool hasDocument_ = false;
  bool loading_ = false;
  bool painted_ = false;  // its page has been drawn since it loaded
  // Navigations asked for while the engine waits on a policy decision run
  // once it has been given.
  int inPolicy_ = 0;
  std::vector<std::string> deferred_;
};

class LinuxFlash final : public ActiveXControl {
 public:
  static constexpr const char* kProgId = "ShockwaveFlash.ShockwaveFlash";
  // The version text of the emulated player, in the Flash Player's form.
  static constexpr const char* kVersion = "LNX 32,0,0,465";

  LinuxFlash(WebRuntime& web, LinuxWindow& form, std::string name);
  ~LinuxFlash() override;
  LinuxFlash(const LinuxFlash&) = delete;
  LinuxFlash& operator=(const LinuxFlash&) = delete;

  const std::string& Name() const override { return name_; }
  void SetVisible(bool visible) override;
  void SetExtent(const std::string& property, double twips) override;
  void SetProperty(const std::string& name, const Variant& value) override;
  Variant Invoke(const std::string& method, const std::vector<Variant>& args) override;

  const std::string& MoviePath() const { return movie_; }
  WebKitWebView* View() const { return player_.view.get(); }

 private:
  std::string Property(const std::string& name) const;
  std::string Options() const;
  void Start();
  void Place();

  WebRuntime& web_;
  LinuxWindow& form_;
  std::string name_;
  std::vector<std::pair<std::string, std::string>> properties_;  // in the order set
  std::string movie_;                                            // the native path
  bool visible_ = false;
  GdkRectangle pixels_{0, 0, 0, 0};
  WebRuntime::Player player_;  // none until a movie is to play
};

}  // namespace tarnhold::platform::linux_backend
