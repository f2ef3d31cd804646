#pragma once
#include "form.h"

namespace tarnhold {

// The login page: a borderless window that holds the platform's login page
// and watches its navigations for the hand-over to the game.
class Form2 final : public Form, private platform::BrowserEvents {
 public:
  explicit Form2(Program& program);

  void Formload() override;
  void FormUnload() override;

  platform::Browser& WebBrowser1() const { return *webBrowser1_; }

  // True once the current login has been handed over, and whenever the login
  // screen is not shown: no navigation is then taken as a login.
  bool HandOverDone = false;

 private:
  void CreateControls() override;
  void Form_Load() override;
  void CloseRequested() override;
  void Resized() override;

  void DownloadBegin() override;
  void DownloadComplete() override;
  void BeforeNavigate2(const std::string& url, bool& cancel) override;
  void NavigateComplete2(const std::string& url) override;
  bool IsHandOver(const std::string& url) const;

  platform::Browser* webBrowser1_ = nullptr;
};

}  // namespace tarnhold
