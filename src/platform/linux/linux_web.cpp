#include "platform/linux/linux_web.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/error.h"
#include "platform/geometry.h"
#include "platform/linux/linux_gl_probe.h"
#include "platform/linux/linux_log.h"
#include "platform/linux/linux_paths.h"
#include "platform/linux/linux_player_files.h"
#include "platform/linux/linux_windows.h"

// The emulator's files, compiled in (ruffle_resources.cmake), and the
// player's page (player/).
extern "C" GResource* ruffle_resources_get_resource();
extern "C" GResource* player_page_get_resource();

namespace tarnhold::platform::linux_backend {

namespace {

constexpr const char* kRuffleResources = "/tarnhold/ruffle/";

// Runs in every frame before the page's own scripts. The engine reports
// policy decisions for every frame but loads only for the main one; this
// reports the rest, and the moment a document's scripts are about to run.
constexpr const char* kFrameScript = R"JS((function () {
  var handlers = window.webkit && window.webkit.messageHandlers;
  var post = function (kind) {
    try { handlers.tarnhold.postMessage(kind + '\t' + location.href); } catch (e) {}
  };
  var top = window === window.top;
  post(top ? 'script' : 'frame');
  window.addEventListener('load', function () {
    if (!top) { post('complete'); return; }
    // Two animation frames after the load: the page has been drawn.
    requestAnimationFrame(function () { requestAnimationFrame(function () { post('painted'); }); });
  });
})();)JS";

std::string JsString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || c == '<') {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", u);
      out += buffer;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Text(const Variant& value) {
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  if (const auto* b = std::get_if<bool>(&value)) return *b ? "true" : "false";
  if (const auto* i = std::get_if<int>(&value)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&value)) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.15g", *d);
    return buffer;
  }
  return "";
}

bool True(const std::string& text) { return g_ascii_strcasecmp(text.c_str(), "true") == 0; }

std::string MessageText(WebKitJavascriptResult* result) {
  JSCValue* value = webkit_javascript_result_get_js_value(result);
  if (!jsc_value_is_string(value)) return "";
  g_autofree gchar* text = jsc_value_to_string(value);
  return text != nullptr ? text : "";
}

// Read by the page before ruffle.js: where the emulator finds its
// WebAssembly, and the renderer that suits this machine.
std::string ConfigScript(const char* renderer) {
  const std::string ruffle = std::string(WebRuntime::kScheme) + "://player/ruffle/";
  return "window.RufflePlayer={config:{publicPath:" + JsString(ruffle) +
         R"(,polyfills:false,logLevel:"warn",preferredRenderer:)" + JsString(renderer) + "}};";
}

}  // namespace

// --- The web context ------------------------------------------------------------

WebRuntime::WebRuntime() : context_(webkit_web_context_new()) {
  // Ruffle reads the page's languages to pick its own, and fails under the
  // C locale that a service or test environment may have.
  const gchar* languages[] = {"en-US", "en", nullptr};
  webkit_web_context_set_preferred_languages(context_.get(), languages);
  webkit_web_context_register_uri_scheme(context_.get(), kScheme, &WebRuntime::Serve, this, nullptr);
  WebKitSecurityManager* security = webkit_web_context_get_security_manager(context_.get());
  // The emulator fetches its WebAssembly from its own origin, which must be
  // a secure one for that.
  webkit_security_manager_register_uri_scheme_as_secure(security, kScheme);
  webkit_security_manager_register_uri_scheme_as_cors_enabled(security, kScheme);
}

// The spare player and the first view go before the context they belong to.
WebRuntime::~WebRuntime() {
  spare_.reset();
  first_.reset();
}

WebKitWebView* WebRuntime::NewView(WebKitUserContentManager* content) {
  // A related view takes its context from the view it is related to, and
  // WebKit rejects the context given beside it with a critical warning.
  auto* view = first_ == nullptr
                   ? WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context_.get(),
                                                  "user-content-manager", content, nullptr))
                   : WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", first_.get(),
                                                  "user-content-manager", content, nullptr));
  g_object_ref_sink(view);
  if (first_ == nullptr) first_.reset(WEBKIT_WEB_VIEW(g_object_ref(view)));
  return view;
}

void WebRuntime::ClearBrowsingData() {
  WebKitWebsiteDataManager* data = webkit_web_context_get_website_data_manager(context_.get());
  webkit_website_data_manager_clear(data, WEBKIT_WEBSITE_DATA_ALL, 0, nullptr, nullptr, nullptr);
}

void WebRuntime::Attach(int id, LinuxFlash* player) { players_[id] = player; }

void WebRuntime::Detach(int id) {
  players_.erase(id);
  ready_.erase(id);
  pending_.erase(id);
}

void WebRuntime::Play(int id, WebKitWebView* view, const std::string& script) {
  if (!ready_.contains(id)) {
    pending_[id] = Pending{view, script};
    return;
  }
  webkit_web_view_evaluate_javascript(view, script.c_str(), -1, nullptr, nullptr, nullptr, nullptr, nullptr);
}

void WebRuntime::Ready(int id) {
  ready_.insert(id);
  const auto it = pending_.find(id);
  if (it == pending_.end()) return;
  const Pending pending = it->second;
  pending_.erase(it);
  Play(id, pending.view, pending.script);
}

void WebRuntime::PreparePlayer() {
  if (!spare_) spare_ = NewPlayer();
}

WebRuntime::Player WebRuntime::TakePlayer() {
  Player player = spare_ ? std::move(*spare_) : NewPlayer();
  spare_.reset();
  return player;
}

WebRuntime::Player WebRuntime::NewPlayer() {
  Player player;
  player.id = nextPlayer_++;
  player.content.reset(webkit_user_content_manager_new());
  WebKitUserContentManager* content = player.content.get();
  webkit_user_content_manager_register_script_message_handler(content, "tarnhold");
  g_signal_connect(content, "script-message-received::tarnhold", G_CALLBACK(&WebRuntime::OnPlayerMessage),
                   this);
  g_object_set_data(G_OBJECT(content), "tarnhold-player", GINT_TO_POINTER(player.id));
  if (renderer_ == nullptr) {
    const std::string driver = GlDriver();
    renderer_ = RendererFor(driver);
    Log("player-renderer", std::string(renderer_) + " " + (driver.empty() ? "?" : driver));
  }
  player.view.reset(NewView(content));
  WebKitWebView* view = player.view.get();
  WebKitSettings* settings = webkit_web_view_get_settings(view);
  webkit_settings_set_enable_webaudio(settings, TRUE);
  GdkRGBA black{0, 0, 0, 1};
  webkit_web_view_set_background_color(view, &black);
  Log("player-prepare", std::to_string(player.id));
  const std::string page = std::string(kScheme) + "://player/" + std::to_string(player.id) + "/";
  webkit_web_view_load_uri(view, page.c_str());
  return player;
}

bool WebRuntime::Known(int id) const { return players_.contains(id) || (spare_ && spare_->id == id); }

void WebRuntime::OnPlayerMessage(WebKitUserContentManager* content, WebKitJavascriptResult* result,
                                 gpointer self) {
  const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(content), "tarnhold-player"));
  const std::string message = MessageText(result);
  const std::size_t tab = message.find('\t');
  if (tab == std::string::npos) return;
  const std::string kind = message.substr(0, tab);
  Log(kind, std::to_string(id) + " " + message.substr(tab + 1));
  if (kind == "player-ready") static_cast<WebRuntime*>(self)->Ready(id);
}

void WebRuntime::Serve(WebKitURISchemeRequest* request, gpointer self) {
  static_cast<WebRuntime*>(self)->Serve(request);
}

// The scheme's addresses: linux_player_files.h.
void WebRuntime::Serve(WebKitURISchemeRequest* request) {
  const PlayerAddress address = ParsePlayerAddress(kScheme, webkit_uri_scheme_request_get_uri(request));
  std::string why;
  switch (address.kind) {
    case PlayerAddress::Kind::kEmulator:
      // A file the program lacks leaves the player without its emulator: the
      // trace says which, where the page alone would show nothing.
      if (!AnswerResource(request, ruffle_resources_get_resource(), kRuffleResources + address.file, why)) {
        Log("player-error", PlayerOf(webkit_uri_scheme_request_get_web_view(request)) + " the emulator's " +
                                address.file + " is not in this program: " + why);
        Fail(request, "no such file");
      }
      return;
    case PlayerAddress::Kind::kPageFile:
      if (address.file == "config.js") {
        Answer(request, ConfigScript(renderer_ != nullptr ? renderer_ : "canvas"), "application/javascript");
      } else if (!AnswerResource(request, player_page_get_resource(), "/tarnhold/player/" + address.file,
                                 why)) {
        Fail(request, "no such file");
      }
      return;
    case PlayerAddress::Kind::kPage:
      if (!Known(address.id) ||
          !AnswerResource(request, player_page_get_resource(), "/tarnhold/player/index.html", why)) {
        Fail(request, "no such player");
      }
      return;
    case PlayerAddress::Kind::kMovie: {
      const auto it = players_.find(address.id);
      if (it == players_.end()) {
        Fail(request, "no such player");
      } else if (!AnswerFile(request, it->second->MoviePath(), "application/x-shockwave-flash")) {
        Fail(request, "the movie cannot be read");
      }
      return;
    }
    case PlayerAddress::Kind::kNone:
      break;
  }
  Fail(request, "no such file");
}

std::string WebRuntime::PlayerOf(WebKitWebView* view) const {
  for (const auto& [id, player] : players_) {
    if (player->View() == view) return std::to_string(id);
  }
  return spare_ && spare_->view.get() == view ? std::to_string(spare_->id) : "?";
}

// --- The browser control ----------------------------------------------------------

LinuxBrowser::LinuxBrowser(WebRuntime& web, LinuxWindow& form, std::string name, const GdkRectangle& pixels,
                           BrowserEvents& events)
    : web_(web),
      name_(std::move(name)),
      trace_(form.Name() + "." + name_),
      events_(events),
      content_(webkit_user_content_manager_new()),
      view_(web.NewView(content_.get())) {
  WebKitUserContentManager* content = content_.get();
  WebKitWebView* view = view_.get();
  g_autoptr(WebKitUserScript) script =
      webkit_user_script_new(kFrameScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(content, script);
  webkit_user_content_manager_register_script_message_handler(content, "tarnhold");
  g_signal_connect(content, "script-message-received::tarnhold", G_CALLBACK(&LinuxBrowser::OnMessage), this);
  g_signal_connect(view, "decide-policy", G_CALLBACK(&LinuxBrowser::OnPolicy), this);
  g_signal_connect(view, "load-changed", G_CALLBACK(&LinuxBrowser::OnLoad), this);
  g_signal_connect(view, "load-failed", G_CALLBACK(&LinuxBrowser::OnFailed), this);
  g_signal_connect(view, "script-dialog", G_CALLBACK(&LinuxBrowser::OnDialog), this);
  g_signal_connect(view, "map", G_CALLBACK(&LinuxBrowser::OnMap), this);
  gtk_widget_set_size_request(GTK_WIDGET(view), pixels.width, pixels.height);
  gtk_layout_put(form.Surface(), GTK_WIDGET(view), pixels.x, pixels.y);
  gtk_widget_show(GTK_WIDGET(view));
}

LinuxBrowser::~LinuxBrowser() {
  g_signal_handlers_disconnect_by_data(view_.get(), this);
  g_signal_handlers_disconnect_by_data(content_.get(), this);
  webkit_web_view_stop_loading(view_.get());
  gtk_widget_destroy(GTK_WIDGET(view_.get()));
}

void LinuxBrowser::Navigate2(const std::string& url) {
  if (inPolicy_ > 0) {
    deferred_.push_back(url);
    return;
  }
  webkit_web_view_load_uri(view_.get(), url.c_str());
}

std::string LinuxBrowser::LocationURL() const {
  const gchar* uri = webkit_web_view_get_uri(view_.get());
  return uri != nullptr ? uri : "";
}

bool LinuxBrowser::Visible() const { return gtk_widget_get_visible(GTK_WIDGET(view_.get())) != FALSE; }

void LinuxBrowser::SetVisible(bool visible) {
  gtk_widget_set_visible(GTK_WIDGET(view_.get()), visible ? TRUE : FALSE);
}

// The body's "scroll" attribute is an old engine's; this one hides the
// scroll bars through the page's overflow instead.
void LinuxBrowser::SetBody(const std::string& name, const std::string& valueScript) {
  if (!hasDocument_) throw Error("the browser has no document yet");
  const std::string script = "(function(){var b=document.body;if(!b)return;var n=" + JsString(name) +
                             ",v=" + valueScript +
                             ";b.setAttribute(n,v);"
                             "if(n.toLowerCase()==='scroll'&&String(v).toLowerCase()==='no'){"
                             "b.style.overflow='hidden';document.documentElement.style.overflow='hidden';}"
                             "if(n.toLowerCase()==='border')b.style.border=String(v)==='0'?'none':'';})();";
  webkit_web_view_evaluate_javascript(view_.get(), script.c_str(), -1, nullptr, nullptr, nullptr, nullptr,
                                      nullptr);
}

void LinuxBrowser::SetBodyAttribute(const std::string& name, const std::string& textValue) {
  SetBody(name, JsString(textValue));
}

void LinuxBrowser::SetBodyAttribute(const std::string& name, short integerValue) {
  SetBody(name, std::to_string(integerValue));
}

gboolean LinuxBrowser::OnPolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                gpointer self) {
  auto* browser = static_cast<LinuxBrowser*>(self);
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
  WebKitNavigationAction* action =
      webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  const std::string url = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  // A page's new window opens nowhere: the control has no window to give it.
  if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }
  bool cancel = false;
  ++browser->inPolicy_;
  Dispatch({browser->trace_, "BeforeNavigate2"}, [&] { browser->events_.BeforeNavigate2(url, cancel); });
  --browser->inPolicy_;
  Log(cancel ? "navigation-cancelled" : "navigation", browser->trace_ + " " + url);
  if (cancel) {
    webkit_policy_decision_ignore(decision);
  } else {
    webkit_policy_decision_use(decision);
  }
  if (browser->inPolicy_ == 0) {
    const std::vector<std::string> deferred = std::move(browser->deferred_);
    browser->deferred_.clear();
    for (const std::string& next : deferred) browser->Navigate2(next);
  }
  return TRUE;
}

void LinuxBrowser::OnLoad(WebKitWebView* view, WebKitLoadEvent event, gpointer self) {
  auto* browser = static_cast<LinuxBrowser*>(self);
  const gchar* uri = webkit_web_view_get_uri(view);
  const std::string url = uri != nullptr ? uri : "";
  switch (event) {
    case WEBKIT_LOAD_STARTED:
      browser->loading_ = true;
      browser->painted_ = false;
      Dispatch({browser->trace_, "DownloadBegin"}, [&] { browser->events_.DownloadBegin(); });
      break;
    case WEBKIT_LOAD_COMMITTED:
      browser->hasDocument_ = true;
      Dispatch({browser->trace_, "NavigateComplete2"}, [&] { browser->events_.NavigateComplete2(url); });
      break;
    case WEBKIT_LOAD_FINISHED:
      if (browser->loading_) {
        browser->loading_ = false;
        Dispatch({browser->trace_, "DownloadComplete"}, [&] { browser->events_.DownloadComplete(); });
      }
      Log("document-complete", browser->trace_ + " " + url);
      Dispatch({browser->trace_, "DocumentComplete"}, [&] { browser->events_.DocumentComplete(url); });
      break;
    default:
      break;
  }
}

gboolean LinuxBrowser::OnFailed(WebKitWebView*, WebKitLoadEvent, const gchar* uri, GError* error,
                                gpointer self) {
  auto* browser = static_cast<LinuxBrowser*>(self);
  Log("load-failed", browser->trace_ + " " + (uri != nullptr ? uri : "") + " " + error->message);
  if (browser->loading_) {
    browser->loading_ = false;
    Dispatch({browser->trace_, "DownloadComplete"}, [&] { browser->events_.DownloadComplete(); });
  }
  return FALSE;  // the engine's error page, as the old control showed its own
}

void LinuxBrowser::OnMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self) {
  auto* browser = static_cast<LinuxBrowser*>(self);
  const std::string message = MessageText(result);
  const std::size_t tab = message.find('\t');
  if (tab == std::string::npos) return;
  const std::string kind = message.substr(0, tab);
  const std::string url = message.substr(tab + 1);
  if (kind != "painted") Log("page-" + kind, browser->trace_ + " " + url);
  if (kind == "frame") {
    Dispatch({browser->trace_, "NavigateComplete2"}, [&] { browser->events_.NavigateComplete2(url); });
  } else if (kind == "complete") {
    Dispatch({browser->trace_, "DocumentComplete"}, [&] { browser->events_.DocumentComplete(url); });
  } else if (kind == "script") {
    Dispatch({browser->trace_, "BeforeScriptExecute"}, [&] { browser->events_.BeforeScriptExecute(); });
  } else if (kind == "painted") {
    Log("painted", browser->trace_ + " " + url);
    browser->painted_ = true;
    if (gtk_widget_get_mapped(GTK_WIDGET(browser->view_.get())) != FALSE) browser->web_.PreparePlayer();
  }
}

// A page drawn out of sight (the login page loaded again for the next
// login, while the game plays) readies the next player once it is shown.
void LinuxBrowser::OnMap(GtkWidget*, gpointer self) {
  auto* browser = static_cast<LinuxBrowser*>(self);
  if (browser->painted_) browser->web_.PreparePlayer();
}

// Silent mode keeps a page's dialogs from showing, as the old control's
// Silent kept its script error boxes away.
gboolean LinuxBrowser::OnDialog(WebKitWebView*, WebKitScriptDialog*, gpointer self) {
  return static_cast<LinuxBrowser*>(self)->silent_ ? TRUE : FALSE;
}

// --- The Flash control --------------------------------------------------------------

LinuxFlash::LinuxFlash(WebRuntime& web, LinuxWindow& form, std::string name)
    : web_(web), form_(form), name_(std::move(name)) {}

LinuxFlash::~LinuxFlash() {
  if (player_.view == nullptr) return;
  web_.Detach(player_.id);
  webkit_web_view_stop_loading(player_.view.get());
  gtk_widget_destroy(GTK_WIDGET(player_.view.get()));
  player_.view.reset();
  player_.content.reset();
  Log("player-destroyed", std::to_string(player_.id));
}

void LinuxFlash::SetVisible(bool visible) {
  visible_ = visible;
  if (player_.view != nullptr) gtk_widget_set_visible(GTK_WIDGET(player_.view.get()), visible ? TRUE : FALSE);
}

// The extender's names in any letter case, and its refusals, as the
// runtime's container gives them.
void LinuxFlash::SetExtent(const std::string& property, double twips) {
  const int pixels = TwipsToPixels(twips, kTwipsPerPixel);
  const auto is = [&](const char* name) { return g_ascii_strcasecmp(property.c_str(), name) == 0; };
  if (is("Left")) {
    pixels_.x = pixels;
  } else if (is("Top")) {
    pixels_.y = pixels;
  } else if (is("Width") || is("Height")) {
    if (twips < 0) throw Error("invalid property value");
    (is("Width") ? pixels_.width : pixels_.height) = pixels;
  } else {
    throw Error("object doesn't support this property or method: " + property);
  }
  Place();
}

void LinuxFlash::Place() {
  if (player_.view == nullptr) return;
  gtk_widget_set_size_request(GTK_WIDGET(player_.view.get()), std::max(pixels_.width, 1),
                              std::max(pixels_.height, 1));
  gtk_layout_move(form_.Surface(), GTK_WIDGET(player_.view.get()), pixels_.x, pixels_.y);
  Log("player-place", std::to_string(player_.id) + " " + std::to_string(pixels_.x) + "," +
                          std::to_string(pixels_.y) + " " + std::to_string(pixels_.width) + "x" +
                          std::to_string(pixels_.height));
}

// Names as the control's automation interface takes them: in any case,
// and only those it has.
void LinuxFlash::SetProperty(const std::string& name, const Variant& value) {
  static constexpr std::string_view kNames =
      " readystate totalframes playing quality scalemode alignmode backgroundcolor loop movie framenum wmode"
      " salign menu base scale devicefont embedmovie bgcolor quality2 swremote flashvars allowscriptaccess"
      " moviedata seamlesstabbing profile profileaddress profileport allownetworking allowfullscreen"
      " allowfullscreeninteractive isdependent browserzoom ";
  g_autofree gchar* lower = g_ascii_strdown(name.c_str(), -1);
  const bool known = name.find(' ') == std::string::npos &&
                     kNames.find(" " + std::string(lower) + " ") != std::string_view::npos;
  if (!known) throw Error("object doesn't support this property or method: " + name);
  const std::string text = Text(value);
  Log("player-property", name + "=" + text);
  if (g_ascii_strcasecmp(name.c_str(), "Movie") == 0) {
    const std::optional<std::string> native = form_.Runtime().Paths().ToNative(text);
    if (!native) throw Error("the movie is not a file of this system: " + text);
    movie_ = *native;
    Start();
    return;
  }
  const auto it = std::find_if(properties_.begin(), properties_.end(), [&](const auto& p) {
    return g_ascii_strcasecmp(p.first.c_str(), name.c_str()) == 0;
  });
  if (it != properties_.end()) {
    it->second = text;
  } else {
    properties_.emplace_back(name, text);
  }
}

std::string LinuxFlash::Property(const std::string& name) const {
  for (const auto& [key, value] : properties_) {
    if (g_ascii_strcasecmp(key.c_str(), name.c_str()) == 0) return value;
  }
  return "";
}

Variant LinuxFlash::Invoke(const std::string& method, const std::vector<Variant>& args) {
  if (g_ascii_strcasecmp(method.c_str(), "GetVariable") == 0 && args.size() == 1 &&
      Text(args[0]) == "$version") {
    return std::string(kVersion);
  }
  throw Error("the player has no method " + method + " for these arguments");
}

// The control takes a player only when a movie is to play: the version
// check creates a control just to ask it. The player taken has most often
// compiled its emulator already; one begun now plays the movie once it has.
void LinuxFlash::Start() {
  if (player_.view == nullptr) {
    player_ = web_.TakePlayer();
    web_.Attach(player_.id, this);
    gtk_layout_put(form_.Surface(), GTK_WIDGET(player_.view.get()), pixels_.x, pixels_.y);
    Place();
    gtk_widget_set_visible(GTK_WIDGET(player_.view.get()), visible_ ? TRUE : FALSE);
  }
  Log("player-start", std::to_string(player_.id) + " " + movie_);
  web_.Play(player_.id, player_.view.get(), "tarnholdPlay(" + Options() + ");");
}

// The control's properties as the emulator's options: the flash variables
// become the movie's parameters; "sameDomain" script access holds here,
// where page and movie share the player's origin.
std::string LinuxFlash::Options() const {
  const std::string access = Property("AllowScriptAccess");
  const bool scripting = g_ascii_strcasecmp(access.c_str(), "never") != 0;
  const std::string quality = Property("Quality2");
  return "{url:" + JsString("movie") + ",parameters:" + JsString(Property("flashVars")) +
         ",allowScriptAccess:" + (scripting ? "true" : "false") +
         ",allowFullscreen:" + (True(Property("Allowfullscreen")) ? "true" : "false") +
         ",menu:" + (Property("Menu").empty() || True(Property("Menu")) ? "true" : "false") +
         ",quality:" + JsString(quality.empty() ? "high" : quality) +
         ",wmode:" + JsString(Property("Wmode").empty() ? "window" : Property("Wmode")) +
         R"(,autoplay:"on",unmuteOverlay:"hidden",splashScreen:false,letterbox:"on"})";
}

}  // namespace tarnhold::platform::linux_backend
