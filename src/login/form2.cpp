#include "login/form2.h"

#include "constants.h"
#include "game/form3.h"
#include "mod_main.h"
#include "program.h"
#include "startup/form1.h"

namespace tarnhold {

using platform::ResumeNext;

namespace {
constexpr double kClientWidth = 9300;
constexpr double kClientHeight = 6240;
}  // namespace

Form2::Form2(Program& program) : Form(program, FormDesign("Form2", kClientWidth, kClientHeight)) {}

void Form2::CreateControls() {
  webBrowser1_ = &Window().AddBrowser("WebBrowser1", 0, 0, kClientWidth, kClientHeight, *this);
}

// Errors are not trapped here: a failure ends the handler and goes to the
// statement of the start-up that caused the load.
void Form2::Form_Load() {
  program_.form1().Window().Show(nullptr);
  webBrowser1_->Navigate2(LoginUrl);
}

// The login page is where the player types, so Alt+F4 lands here: it closes
// the login screen as closing the frame does.
void Form2::CloseRequested() { program_.form1().CloseRequested(); }

// The page holds the login screen's taskbar button, the frame being owned:
// the button's restore brings the page back, and the frame with it.
void Form2::Resized() {
  // The first size comes while the window is still being made.
  if (webBrowser1_ == nullptr) return;
  if (!Window().Visible() || Window().State() == platform::WindowState::Minimized) return;
  platform::Window& frame = program_.form1().Window();
  if (frame.State() == platform::WindowState::Minimized) frame.SetState(platform::WindowState::Normal);
}

void Form2::Formload() { HandOverDone = false; }
void Form2::FormUnload() { HandOverDone = true; }

// Silent at the start and the end of every download keeps the browser's own
// dialog boxes away.
void Form2::DownloadBegin() {
  ResumeNext([&] { webBrowser1_->SetSilent(true); });
}

void Form2::DownloadComplete() {
  ResumeNext([&] { webBrowser1_->SetBodyAttribute("Scroll", "no"); });
  ResumeNext([&] { webBrowser1_->SetSilent(true); });
}

// Any frame's navigation counts; a base URL inside a query counts too.
bool Form2::IsHandOver(const std::string& url) const {
  return url.find(ContentBaseUrl) != std::string::npos && !HandOverDone;
}

void Form2::BeforeNavigate2(const std::string& url, bool& cancel) {
  ResumeNext([&] { webBrowser1_->SetBodyAttribute("border", static_cast<short>(0)); });
  if (!IsHandOver(url)) return;
  // Set first, so that the navigations below do not hand over a second time.
  ResumeNext([&] { HandOverDone = true; });
  ResumeNext([&] { cancel = true; });
  ResumeNext([&] { webBrowser1_->Navigate2(LoginUrl); });
  ResumeNext([&] {
    const std::int32_t gameScreen = 1;
    modMain::SwitchScreen(program_, gameScreen);
  });
  ResumeNext([&] { program_.form3().EnterToGame(url); });
}

// A redirect can reach the content server without a BeforeNavigate2 for that
// address; the page already loaded is blanked, then the login page put back.
void Form2::NavigateComplete2(const std::string& url) {
  ResumeNext([&] { webBrowser1_->SetBodyAttribute("border", static_cast<short>(0)); });
  if (!IsHandOver(url)) return;
  ResumeNext([&] { HandOverDone = true; });
  ResumeNext([&] { webBrowser1_->Navigate("about:blank"); });
  ResumeNext([&] { webBrowser1_->Navigate2(LoginUrl); });
  ResumeNext([&] {
    const std::int32_t gameScreen = 1;
    modMain::SwitchScreen(program_, gameScreen);
  });
  ResumeNext([&] { program_.form3().EnterToGame(url); });
}

}  // namespace tarnhold
