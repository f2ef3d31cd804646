#include "game/form3.h"

#include "art.h"
#include "constants.h"
#include "mod_main.h"
#include "platform/geometry.h"
#include "program.h"

namespace tarnhold {

using platform::ResumeNext;

namespace {

constexpr double kDesignWidth = 15000;
constexpr double kDesignHeight = 10500;
constexpr double kButtonHeight = 420;
constexpr std::uint32_t kTitleColour = 0xE8C25A;  // the toolbar glyphs' gold
constexpr double kLinkWidth = 645;
constexpr double kLinkHeight = 285;

constexpr const char* kFlashProgId = "ShockwaveFlash.ShockwaveFlash";
constexpr const char* kFlashName = "flash";
constexpr const char* kTitleTemplate = "Tarnhold %0% Server";

// The value of "key" in the query, up to the next "&"; empty when the key is
// not there.
std::string QueryValue(const std::string& query, const std::string& key) {
  const auto at = query.find(key);
  if (at == std::string::npos) return {};
  const auto start = at + key.size();
  const auto end = query.find('&', start);
  return query.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

// Every "%n%" of a template, as the runtime's Replace does it.
std::string Form3::ReplaceAll(std::string text, const std::string& what, const std::string& with) {
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
  return text;
}

Form3::Form3(Program& program) : Form(program, FormDesign("Form3", kDesignWidth, kDesignHeight)) {}

platform::Control* Form3::Add(const char* name, double left, double top, double width, double height,
                              bool visible, Picture picture, platform::ControlKind kind) {
  auto events = std::make_unique<Handlers>();
  platform::ControlDesign design;
  design.name = name;
  design.kind = kind;
  design.left = left;
  design.top = top;
  design.width = width;
  design.height = height;
  design.visible = visible;
  design.foreColor = kTitleColour;  // only the title is a label
  design.picture = picture.bytes;
  design.pictureSize = picture.size;
  platform::Control* control = &Window().AddControl(design, events.get());
  handlers_.emplace_back(control, std::move(events));
  return control;
}

Form3::Handlers& Form3::EventsOf(const platform::Control* control) {
  for (auto& [c, events] : handlers_) {
    if (c == control) return *events;
  }
  throw platform::Error("no such control");
}

// In z-order, bottom first: the frame strips, the title over the top strip,
// then the toolbar.
void Form3::CreateControls() {
  bgTop_ = Add("bg_top", 0, 0, kDesignWidth, 420, true, Picture{art::kFrameTop, art::kFrameTopSize});
  bgLeft_ = Add("bg_left", 0, 0, 60, kDesignHeight, true, Picture{art::kFrameLeft, art::kFrameLeftSize});
  bgRight_ = Add("bg_right", kDesignWidth - 60, 0, 60, kDesignHeight, true,
                 Picture{art::kFrameRight, art::kFrameRightSize});
  bgBottom_ = Add("bg_bottom", 0, kDesignHeight - 60, kDesignWidth, 60, true,
                  Picture{art::kFrameBottom, art::kFrameBottomSize});
  label1_ = Add("Label1", 120, 120, 4800, 255, true, {}, platform::ControlKind::Label);
  const auto pair = [&](const char* normal, Picture normalArt, const char* hover, Picture hoverArt) {
    // The hover images are designed one row lower; the load handler lifts them.
    return ButtonPair{Add(normal, 0, 0, kButtonWidth, kButtonHeight, true, normalArt),
                      Add(hover, 0, 480, kButtonWidth, kButtonHeight, false, hoverArt)};
  };
  hoverOrder_ = {pair("Image_Close_1", {art::kGameCloseNormal, art::kGameCloseNormalSize}, "Image_Close_2",
                      {art::kGameCloseHover, art::kGameCloseHoverSize}),
                 pair("Image_max_1", {art::kGameMaxNormal, art::kGameMaxNormalSize}, "Image_max_2",
                      {art::kGameMaxHover, art::kGameMaxHoverSize}),
                 pair("Image_min_1", {art::kGameMinNormal, art::kGameMinNormalSize}, "Image_min_2",
                      {art::kGameMinHover, art::kGameMinHoverSize}),
                 pair("Image_full_1", {art::kGameFullNormal, art::kGameFullNormalSize}, "Image_full_2",
                      {art::kGameFullHover, art::kGameFullHoverSize}),
                 pair("Image_fush_1", {art::kGameRefreshNormal, art::kGameRefreshNormalSize}, "Image_fush_2",
                      {art::kGameRefreshHover, art::kGameRefreshHoverSize})};
  imageClear_ =
      Add("Image_Clear", 0, 60, kLinkWidth, kLinkHeight, true, {art::kLinkClear, art::kLinkClearSize});
  imageCharge_ =
      Add("Image_Charge", 0, 60, kLinkWidth, kLinkHeight, true, {art::kLinkCharge, art::kLinkChargeSize});
  imageWeb_ = Add("Image_Web", 0, 60, kLinkWidth, kLinkHeight, true, {art::kLinkWeb, art::kLinkWebSize});
  imageBbs_ = Add("Image_BBS", 0, 60, kLinkWidth, kLinkHeight, true, {art::kLinkBbs, art::kLinkBbsSize});
  webBrowser1_ = &Window().AddBrowser("WebBrowser1", 480, 720, 30, 30, *this);
  // Runs only while ToolbarRefresh is set: with the flag clear a tick does
  // nothing but test it, and the idle login screen should cost nothing.
  timer1_ = Window().AddTimer(100, false, [this] { Timer1_Timer(); });
  ConnectToolbar();
  ConnectFrame();
  created_ = true;
}

platform::Control& Form3::ControlNamed(const std::string& name) const {
  for (platform::Control* c :
       {bgTop_, bgLeft_, bgRight_, bgBottom_, label1_, imageClear_, imageCharge_, imageWeb_, imageBbs_}) {
    if (c->Name() == name) return *c;
  }
  for (const ButtonPair& p : hoverOrder_) {
    if (p.normal->Name() == name) return *p.normal;
    if (p.hover->Name() == name) return *p.hover;
  }
  throw platform::Error("no control named " + name);
}

// --- Life cycle -------------------------------------------------------------------

void Form3::Form_Load() {
  for (const ButtonPair& p : hoverOrder_) {
    p.normal->SetTop(0);
    p.hover->SetTop(0);
  }
}

void Form3::Formload() {
  label1_->SetCaption("");
  if (NormalWidth == 0 || NormalHeight == 0) SaveNormalBounds();
  PlaceOnWorkArea();
  Maximized = true;
  FullScreen = false;
  DisableFrameSizing();
}

void Form3::FormUnload() {
  if (FlashObject != nullptr) {
    Window().RemoveActiveX(kFlashName);
    FlashObject = nullptr;
  }
  const std::vector<std::uint8_t> record(TrayIconData.begin(), TrayIconData.end());
  ctx_.Shell32().NotifyIcon(2, record);
  LeaveFullScreen();
  // Left from the tray (a system close, the session's end): the next entry
  // shows its frame, and mouse moves are mouse moves again.
  if (InTray) {
    InTray = false;
    bgTop_->SetVisible(true);
    bgLeft_->SetVisible(true);
    bgBottom_->SetVisible(true);
    bgRight_->SetVisible(true);
  }
}

void Form3::CloseRequested() { BackToLogin(); }

void Form3::BackToLogin() {
  const std::int32_t loginScreen = 0;
  modMain::SwitchScreen(program_, loginScreen);
}

void Form3::Resized() {
  // Sizes set while the window is still being made come before its controls.
  if (created_) Form_Resize();
}

// --- Entry and the launcher ---------------------------------------------------------

void Form3::EnterToGame(const std::string& address) {
  imageCharge_->SetVisible(false);
  imageWeb_->SetVisible(false);
  imageBbs_->SetVisible(false);
  GameUrl = address;
  JumpDone = false;
  webBrowser1_->SetVisible(true);
  webBrowser1_->Navigate(GameUrl);
}

bool Form3::IsLauncher(const std::string& address) const {
  return address.find(LauncherPage) != std::string::npos && !JumpDone;
}

void Form3::CatchLauncher(const std::string& address) {
  JumpToGame(address);
  webBrowser1_->Navigate2(LoginUrl);
  webBrowser1_->SetVisible(false);
}

void Form3::BeforeNavigate2(const std::string& url, bool& cancel) {
  if (!IsLauncher(url)) return;
  JumpDone = true;
  cancel = true;  // the launcher page itself is never loaded
  CatchLauncher(url);
}

void Form3::DocumentComplete(const std::string& url) {
  if (!IsLauncher(url)) return;
  JumpDone = true;
  CatchLauncher(url);
}

void Form3::BeforeScriptExecute() {
  if (!IsLauncher(webBrowser1_->LocationURL())) return;
  JumpDone = true;
  CatchLauncher(webBrowser1_->LocationURL());
}

namespace {

// The host goes into the flash variables as it stands, unless it holds a
// separator: a launcher address with keys before the launcher path would
// otherwise add variables of its own (a second sid, a forged sso). Then
// "&" and "=" are escaped, and "%" too, so that the host reads back as it
// was.
std::string FlashVarValue(const std::string& host) {
  if (host.find_first_of("&=") == std::string::npos) return host;
  std::string escaped;
  for (const char c : host) {
    if (c == '%') {
      escaped += "%25";
    } else if (c == '&') {
      escaped += "%26";
    } else if (c == '=') {
      escaped += "%3D";
    } else {
      escaped.push_back(c);
    }
  }
  return escaped;
}

}  // namespace

void Form3::JumpToGame(const std::string& address) {
  ResumeNext([&] {
    if (FlashObject != nullptr) {
      Window().RemoveActiveX(kFlashName);
      FlashObject = nullptr;
    }
  });

  std::string host;
  std::string query;
  const std::string launcher = LauncherPage;
  const auto at = address.find(launcher);
  ResumeNext([&] {
    if (at == std::string::npos) throw platform::Error("invalid procedure call");
    host = address.substr(0, at);
  });
  // The launcher path and exactly one more character (normally "?") are skipped.
  ResumeNext([&] {
    const std::size_t from = (at == std::string::npos ? 0 : at) + launcher.size() + 1;
    query = from < address.size() ? address.substr(from) : std::string();
  });
  ResumeNext([&] { ServerId = QueryValue(query, "serverid="); });
  ResumeNext([&] { UserName = QueryValue(query, "username="); });
  ResumeNext([&] { label1_->SetCaption(ReplaceAll(kTitleTemplate, "%0%", ServerId)); });

  ResumeNext([&] { FlashObject = Window().AddActiveX(kFlashProgId, kFlashName); });
  if (FlashObject != nullptr) {
    platform::ActiveXControl& flash = *FlashObject;
    ResumeNext([&] { flash.SetVisible(true); });
    ResumeNext([&] { flash.SetExtent("Height", Window().ScaleHeight()); });
    ResumeNext([&] { flash.SetExtent("Width", Window().ScaleWidth()); });
    std::string flashVars;
    ResumeNext([&] {
      flashVars = "sso=" + modMain::UrlEscape(program_, query) + "&sid=" + ServerId +
                  "&host=" + FlashVarValue(host) + "&poy=250" + "&microp=1" + "&platform=1";
    });
    // All as text, and the movie last: setting it starts the game.
    ResumeNext([&] { flash.SetProperty("flashVars", flashVars); });
    ResumeNext([&] { flash.SetProperty("Wmode", std::string("direct")); });
    ResumeNext([&] { flash.SetProperty("Quality2", std::string("high")); });
    ResumeNext([&] { flash.SetProperty("AllowScriptAccess", std::string("sameDomain")); });
    ResumeNext([&] { flash.SetProperty("Allowfullscreen", std::string("true")); });
    ResumeNext([&] { flash.SetProperty("AllowfullScreenInteractive", std::string("true")); });
    ResumeNext([&] { flash.SetProperty("Menu", std::string("false")); });
    ResumeNext([&] { flash.SetProperty("Movie", program_.DataFolder + "\\Kestrune.lib"); });
  }
  ResumeNext([&] { Form_Resize(); });
}

}  // namespace tarnhold
