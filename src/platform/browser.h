#pragma once
// The browser control (Internet Explorer's WebBrowser) as the behaviour uses it.
#include <string>

namespace tarnhold::platform {

class BrowserEvents {
 public:
  virtual void DownloadBegin() {}
  virtual void DownloadComplete() {}
  // Any frame's navigation; setting cancel stops it.
  virtual void BeforeNavigate2(const std::string& /*url*/, bool& /*cancel*/) {}
  virtual void NavigateComplete2(const std::string& /*url*/) {}
  virtual void DocumentComplete(const std::string& /*url*/) {}
  virtual void BeforeScriptExecute() {}

 protected:
  ~BrowserEvents() = default;
};

class Browser {
 public:
  virtual ~Browser() = default;
  virtual void Navigate(const std::string& url) = 0;
  virtual void Navigate2(const std::string& url) = 0;
  virtual void SetSilent(bool silent) = 0;
  virtual std::string LocationURL() const = 0;
  virtual bool Visible() const = 0;
  virtual void SetVisible(bool visible) = 0;
  // Sets an attribute of the document's body; throws when there is no
  // document yet.
  virtual void SetBodyAttribute(const std::string& name, const std::string& textValue) = 0;
  virtual void SetBodyAttribute(const std::string& name, short integerValue) = 0;
};

}  // namespace tarnhold::platform
