// The simulated browser, run-time controls, shell and code page.

#include <glib.h>

#include <algorithm>
#include <cstdio>

#include "platform/ansi_iconv.h"
#include "platform/sim/sim_platform.h"

namespace tarnhold::platform::sim {

namespace {
std::string Text(const Variant& value) {
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  if (const auto* b = std::get_if<bool>(&value)) return *b ? "True" : "False";
  if (const auto* i = std::get_if<int>(&value)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&value)) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", *d);
    return text;
  }
  return {};
}
}  // namespace

// --- Browser ------------------------------------------------------------------

SimBrowser::SimBrowser(SimPlatform& sim, std::string name, BrowserEvents& events)
    : sim_(sim), name_(std::move(name)), events_(events) {}

void SimBrowser::Navigate(const std::string& url) { sim_.Call("Browser.Navigate", name_ + " " + url); }
void SimBrowser::Navigate2(const std::string& url) { sim_.Call("Browser.Navigate2", name_ + " " + url); }
void SimBrowser::SetSilent(bool silent) {
  sim_.Call("Browser.SetSilent", name_ + (silent ? " true" : " false"));
  silent_ = silent;
}
std::string SimBrowser::LocationURL() const {
  sim_.Call("Browser.LocationURL", name_);
  return location_;
}
bool SimBrowser::Visible() const { return visible_; }
void SimBrowser::SetVisible(bool visible) {
  sim_.Call("Browser.SetVisible", name_ + (visible ? " true" : " false"));
  visible_ = visible;
}
void SimBrowser::SetBodyAttribute(const std::string& name, const std::string& textValue) {
  sim_.Call("Browser.SetBodyAttribute", name_ + " " + name + "=\"" + textValue + "\"");
  throw Error("the browser has no document");
}
void SimBrowser::SetBodyAttribute(const std::string& name, short integerValue) {
  sim_.Call("Browser.SetBodyAttribute", name_ + " " + name + "=" + std::to_string(integerValue));
  throw Error("the browser has no document");
}

bool SimBrowser::RaiseBeforeNavigate2(const std::string& url) {
  bool cancel = false;
  sim_.Deliver({name_, "BeforeNavigate2"}, [&] { events_.BeforeNavigate2(url, cancel); });
  return cancel;
}
void SimBrowser::RaiseNavigateComplete2(const std::string& url) {
  sim_.Deliver({name_, "NavigateComplete2"}, [&] { events_.NavigateComplete2(url); });
}
void SimBrowser::RaiseDocumentComplete(const std::string& url) {
  sim_.Deliver({name_, "DocumentComplete"}, [&] { events_.DocumentComplete(url); });
}
void SimBrowser::RaiseDownloadBegin() {
  sim_.Deliver({name_, "DownloadBegin"}, [&] { events_.DownloadBegin(); });
}
void SimBrowser::RaiseDownloadComplete() {
  sim_.Deliver({name_, "DownloadComplete"}, [&] { events_.DownloadComplete(); });
}
void SimBrowser::RaiseBeforeScriptExecute() {
  sim_.Deliver({name_, "BeforeScriptExecute"}, [&] { events_.BeforeScriptExecute(); });
}

// --- Run-time controls ----------------------------------------------------------

SimActiveX::SimActiveX(SimPlatform& sim, std::string window, std::string name, std::string progId)
    : sim_(sim), window_(std::move(window)), name_(std::move(name)), progId_(std::move(progId)) {
  ++sim_.liveActiveX_;
}

SimActiveX::~SimActiveX() { --sim_.liveActiveX_; }

void SimActiveX::Call(const std::string& op, const std::string& detail) const {
  sim_.Call(op, window_ + "." + name_ + " " + detail);
}

void SimActiveX::SetVisible(bool visible) {
  Call("ActiveX.SetVisible", visible ? "true" : "false");
  visible_ = visible;
}

// The extender's names in any letter case; a size below zero is refused
// as the container refuses it.
void SimActiveX::SetExtent(const std::string& property, double twips) {
  char value[32];
  std::snprintf(value, sizeof value, "%g", twips);
  Call("ActiveX.SetExtent", property + "=" + value);
  for (const char* name : {"Left", "Top", "Width", "Height"}) {
    if (g_ascii_strcasecmp(property.c_str(), name) != 0) continue;
    if (twips < 0 && (name[0] == 'W' || name[0] == 'H')) throw Error("invalid property value");
    extents_[name] = twips;
    return;
  }
  throw Error("object doesn't support this property or method: " + property);
}

double SimActiveX::Extent(const std::string& property) const {
  const auto it = extents_.find(property);
  return it == extents_.end() ? 0 : it->second;
}

void SimActiveX::SetProperty(const std::string& name, const Variant& value) {
  Call("ActiveX.SetProperty", name + "=" + Text(value));
  const auto known = sim_.progIdProperties_.find(progId_);
  if (known != sim_.progIdProperties_.end() && !known->second.empty() &&
      std::none_of(known->second.begin(), known->second.end(),
                   [&](const std::string& p) { return g_ascii_strcasecmp(p.c_str(), name.c_str()) == 0; })) {
    throw Error("object doesn't support this property or method: " + name);
  }
  properties_.push_back(name + "=" + Text(value));
}

Variant SimActiveX::Invoke(const std::string& method, const std::vector<Variant>& args) {
  std::string list;
  for (const Variant& arg : args) list += (list.empty() ? "" : ",") + Text(arg);
  Call("ActiveX.Invoke", method + "(" + list + ")");
  if (method == "GetVariable" && args.size() == 1 && Text(args[0]) == "$version") {
    return sim_.progIds_.contains(progId_) ? sim_.progIds_.at(progId_) : std::string();
  }
  if (method == "GetVariable") return std::string();
  throw Error("object doesn't support this property or method: " + method);
}

ActiveXControl* SimWindow::AddActiveX(const std::string& progId, const std::string& name) {
  Call("ActiveX.Add", progId + " " + name);
  if (ActiveXNamed(name) != nullptr) throw Error("there is already a control named " + name);
  if (!sim_.progIds_.contains(progId)) return nullptr;
  activeX_.push_back(std::make_unique<SimActiveX>(sim_, name_, name, progId));
  return activeX_.back().get();
}

void SimWindow::RemoveActiveX(const std::string& name) {
  Call("ActiveX.Remove", name);
  for (auto it = activeX_.begin(); it != activeX_.end(); ++it) {
    if ((*it)->Name() == name) {
      activeX_.erase(it);
      return;
    }
  }
  throw Error("no control named " + name);
}

SimActiveX* SimWindow::ActiveXNamed(const std::string& name) {
  for (auto& control : activeX_) {
    if (control->Name() == name) return control.get();
  }
  return nullptr;
}

Browser& SimWindow::AddBrowser(const std::string& name, double /*left*/, double /*top*/, double /*width*/,
                               double /*height*/, BrowserEvents& events) {
  Call("Window.AddBrowser", name);
  browsers_.push_back(std::make_unique<SimBrowser>(sim_, name_ + "." + name, events));
  return *browsers_.back();
}

SimBrowser& SimWindow::BrowserNamed(const std::string& name) {
  for (auto& browser : browsers_) {
    if (browser->Name() == name_ + "." + name) return *browser;
  }
  throw std::out_of_range("no browser " + name + " on " + name_);
}

void SimWindow::SetTopmost(bool topmost) {
  Call("Window.SetTopmost", topmost ? "true" : "false");
  topmost_ = topmost;
}

void SimPlatform::RegisterProgId(const std::string& progId, const std::string& versionText,
                                 std::vector<std::string> properties) {
  progIds_[progId] = versionText;
  progIdProperties_[progId] = std::move(properties);
}

PixelRect SimPlatform::WorkArea() const {
  Record("Window.WorkArea", "");
  return workArea_;
}

// --- Shell and code page --------------------------------------------------------

bool SimPlatform::NotifyIcon(int message, const std::vector<std::uint8_t>& record) {
  Record("Shell.NotifyIcon", std::to_string(message) + " " + std::to_string(record.size()) + " bytes");
  notifyCalls_.push_back({message, record});
  return true;
}

void SimPlatform::Execute(std::uintptr_t owner, const std::string& verb, const std::string& file) {
  Record("Shell.Execute", std::to_string(owner) + " \"" + verb + "\" \"" + file + "\"");
}

void SimPlatform::StartProcess(const std::string& commandLine, int windowStyle) {
  Record("Shell.StartProcess", std::to_string(windowStyle) + " " + commandLine);
}

void SimPlatform::StartProcessAfterEnd(const std::string& commandLine, int windowStyle) {
  Record("Shell.StartProcessAfterEnd", std::to_string(windowStyle) + " " + commandLine);
}

unsigned SimPlatform::AnsiCode(char16_t unit) const {
  // Windows writes half a surrogate pair in UTF-8 as U+FFFD, EF BF BD.
  if (codePage_ == 65001 && unit >= 0xD800 && unit <= 0xDFFF) return 0xEFBF;
  return AnsiCodeThroughIconv(codePage_ == 936 ? "CP936" : codePage_ == 65001 ? "UTF-8" : "CP1252", unit);
}

}  // namespace tarnhold::platform::sim
