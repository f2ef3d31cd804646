// The OLE container against the real system under Wine: the browser control
// with its events, run-time controls by ProgID, and their teardown.
#include <gtest/gtest.h>

#include <exdispid.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>

#include "platform/win32/win32_platform.h"
#include "test_control.h"
#include "wine_support.h"

namespace tarnhold::winetest {
namespace {

using namespace std::chrono_literals;
using platform::Error;
using platform::Variant;
using platform::win32::LiveOleSites;

platform::win32::Win32Platform& Platform() {
  static auto* platform = new platform::win32::Win32Platform(::GetModuleHandleW(nullptr));
  return *platform;
}

struct NoEvents : platform::WindowEvents {};

// Lets the system deliver what is queued until the condition holds.
bool PumpUntil(std::chrono::milliseconds limit, const std::function<bool()>& condition) {
  return WaitUntil(limit, [&] {
    MSG m;
    while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&m);
    return condition();
  });
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The private content server the test command started, and its request log.
std::string ServerUrl() { return Environment("TARNHOLD_CONTENT_TEST_URL"); }

std::vector<std::string> ServerRequests() {
  std::vector<std::string> lines;
  std::ifstream log(Environment("TARNHOLD_CONTENT_TEST_DIR") + "\\requests.log");
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  return lines;
}

bool Requested(const std::string& pathAndQuery) {
  for (const std::string& line : ServerRequests()) {
    if (line.rfind("GET " + pathAndQuery + " ", 0) == 0) return true;
  }
  return false;
}

struct Recorder : platform::BrowserEvents {
  std::vector<std::string> seen;
  bool insideCall = false;
  std::string cancelWhenEndsWith;
  bool throwOnDownloadBegin = false;
  std::function<void()> onDownloadComplete;

  void Note(const std::string& what) {
    seen.push_back(what + (insideCall ? " [inside the call]" : " [from the message loop]"));
  }
  void BeforeNavigate2(const std::string& url, bool& cancel) override {
    Note("BeforeNavigate2 " + url + (cancel ? " (came cancelled)" : ""));
    if (!cancelWhenEndsWith.empty() && url.ends_with(cancelWhenEndsWith)) cancel = true;
  }
  void NavigateComplete2(const std::string& url) override { Note("NavigateComplete2 " + url); }
  void DocumentComplete(const std::string& url) override { Note("DocumentComplete " + url); }
  void DownloadBegin() override {
    Note("DownloadBegin");
    if (throwOnDownloadBegin) throw Error("a failing handler");
  }
  void DownloadComplete() override {
    Note("DownloadComplete");
    if (onDownloadComplete) onDownloadComplete();
  }
  void BeforeScriptExecute() override { Note("BeforeScriptExecute"); }

  bool Saw(const std::string& start) const {
    for (const std::string& s : seen) {
      if (s.rfind(start, 0) == 0) return true;
    }
    return false;
  }
  std::string Text() const {
    std::string text;
    for (const std::string& s : seen) text += "  " + s + "\n";
    return text;
  }
};

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  for (HWND c = ::GetWindow(parent, GW_CHILD); c != nullptr; c = ::GetWindow(c, GW_HWNDNEXT)) {
    children.push_back(c);
  }
  return children;
}

RECT RectInParent(HWND child) {
  RECT r{};
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool HasVisibleStyle(HWND window) { return (::GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

CLSID ClassOf(const wchar_t* progId) {
  CLSID clsid{};
  if (FAILED(::CLSIDFromProgID(progId, &clsid))) throw std::runtime_error("no such ProgID");
  return clsid;
}

// {6B0E3C51-1D7A-4E56-9F0B-2A0C5E7D9A11}
constexpr CLSID kTestControlClsid = {
    0x6b0e3c51, 0x1d7a, 0x4e56, {0x9f, 0x0b, 0x2a, 0x0c, 0x5e, 0x7d, 0x9a, 0x11}};
constexpr const char* kTestProgId = "Tarnhold.OleTestControl";

// The test's own OLE, for registering class objects; the backend's lazy one
// then finds OLE started (S_FALSE) and keeps its own count.
struct OleForTheTest {
  OleForTheTest() {
    const HRESULT hr = ::OleInitialize(nullptr);
    if (hr != S_OK && hr != S_FALSE) throw std::runtime_error("OleInitialize failed");
  }
  ~OleForTheTest() { ::OleUninitialize(); }
  OleForTheTest(const OleForTheTest&) = delete;
  OleForTheTest& operator=(const OleForTheTest&) = delete;
};

struct Ole : ::testing::Test {
  platform::Context& ctx = Platform().context();
  NoEvents windowEvents;
  std::unique_ptr<platform::Window> form;

  void SetUp() override {
    platform::WindowDesign design;
    design.name = "Form3";
    design.clientWidth = 9000;
    design.clientHeight = 6000;
    form = ctx.Windows().NewWindow(design, windowEvents);
    form->Show(nullptr);
    ControlLog().clear();
  }
  void TearDown() override { form.reset(); }
  HWND FormWindow() const { return reinterpret_cast<HWND>(form->Handle()); }
};

// With its own OLE, a test control registered by ProgID, and the browser's
// class replaced by the test control where a test asks for it.
struct OleWithTestControl : Ole {
  std::unique_ptr<OleForTheTest> ole = std::make_unique<OleForTheTest>();
  std::unique_ptr<TestControlClass> testClass = std::make_unique<TestControlClass>(kTestControlClsid, false);
  ProgIdKey progId{L"Tarnhold.OleTestControl", kTestControlClsid};
  std::unique_ptr<TestControlClass> browserStandIn;

  void StandInForTheBrowser() {
    browserStandIn = std::make_unique<TestControlClass>(ClassOf(L"Shell.Explorer.2"), true);
  }
  void TearDown() override {
    Ole::TearDown();
    browserStandIn.reset();
    testClass.reset();
  }
  ~OleWithTestControl() override {
    browserStandIn.reset();
    testClass.reset();
    ole.reset();
  }
};

// --- Starting OLE -------------------------------------------------------------------------

// Showing a first window makes Wine's input method support put the thread
// into a single-threaded apartment, so this form stays hidden.
TEST(OleStart, HostingStartsOleOnTheGuiThreadItself) {
  NoEvents windowEvents;
  platform::WindowDesign design;
  design.name = "Form2";
  design.clientWidth = 3000;
  design.clientHeight = 3000;
  auto form = Platform().context().Windows().NewWindow(design, windowEvents);
  APTTYPE type{};
  APTTYPEQUALIFIER qualifier{};
  ASSERT_EQ(::CoGetApartmentType(&type, &qualifier), CO_E_NOTINITIALIZED) << "something started COM before";
  Recorder events;
  form->AddBrowser("WebBrowser1", 0, 0, 3000, 3000, events);
  ASSERT_EQ(::CoGetApartmentType(&type, &qualifier), S_OK);
  EXPECT_EQ(type, APTTYPE_MAINSTA);
  EXPECT_NE(form->AddActiveX("Shell.Explorer.2", "Second"), nullptr) << "started once, still usable";
}

// --- The browser control, the system's own -------------------------------------------------

TEST_F(Ole, TheBrowserFillsItsRectangleAndShowsOrHidesItsOwnWindow) {
  Recorder events;
  auto& browser = form->AddBrowser("WebBrowser1", 150, 300, 4500, 3000, events);
  const auto children = Children(FormWindow());
  ASSERT_EQ(children.size(), 1u);
  const RECT r = RectInParent(children[0]);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, 20);
  EXPECT_EQ(r.right - r.left, 300);
  EXPECT_EQ(r.bottom - r.top, 200);
  EXPECT_TRUE(browser.Visible());
  EXPECT_TRUE(HasVisibleStyle(children[0]));
  browser.SetVisible(false);
  EXPECT_FALSE(browser.Visible());
  EXPECT_FALSE(HasVisibleStyle(children[0]));
  EXPECT_TRUE(form->Visible()) << "only the control's window";
  browser.SetVisible(true);
  EXPECT_TRUE(browser.Visible());
  EXPECT_TRUE(HasVisibleStyle(children[0]));
}

TEST_F(Ole, Navigate2AnnouncesTheAddressAndTheServerIsAsked) {
  ASSERT_FALSE(ServerUrl().empty()) << "the test command starts the content server";
  Recorder events;
  auto& browser = form->AddBrowser("WebBrowser1", 0, 0, 6000, 4500, events);
  const std::string before = browser.LocationURL();
  const std::string url = ServerUrl() + "/page.html";
  events.insideCall = true;
  browser.Navigate2(url);
  events.insideCall = false;
  EXPECT_TRUE(PumpUntil(20s, [&] { return events.Saw("BeforeNavigate2 " + url); })) << events.Text();
  EXPECT_TRUE(PumpUntil(20s, [&] { return Requested("/page.html"); }));
  EXPECT_EQ(browser.LocationURL(), url);
  // What else the browser says while it fails to show the page, for the record.
  PumpUntil(5s, [&] { return events.Saw("DownloadComplete"); });
  std::cout << "LocationURL before any navigation: \"" << before << "\"\nevents:\n" << events.Text();
  RecordProperty("events", events.Text());
}

TEST_F(Ole, ACancelledNavigationIsNeverRequested) {
  ASSERT_FALSE(ServerUrl().empty()) << "the test command starts the content server";
  Recorder events;
  events.cancelWhenEndsWith = "/cancelled.html";
  auto& browser = form->AddBrowser("WebBrowser1", 0, 0, 6000, 4500, events);
  const std::string cancelled = ServerUrl() + "/cancelled.html";
  events.insideCall = true;
  browser.Navigate2(cancelled);
  events.insideCall = false;
  ASSERT_TRUE(PumpUntil(20s, [&] { return events.Saw("BeforeNavigate2 " + cancelled); })) << events.Text();
  // Had the cancel not reached the browser, its request would have gone out
  // by the time a later navigation's has been answered and reported.
  const std::string after = ServerUrl() + "/page.html?after";
  browser.Navigate2(after);
  ASSERT_TRUE(PumpUntil(20s, [&] { return Requested("/page.html?after"); }));
  ASSERT_TRUE(PumpUntil(20s, [&] { return events.Saw("DownloadComplete"); })) << events.Text();
  EXPECT_FALSE(Requested("/cancelled.html"));
  EXPECT_NE(browser.LocationURL(), cancelled);
  std::cout << "events:\n" << events.Text();
}

TEST_F(Ole, BodyAttributesNeedADocumentWhichThisBrowserNeverHas) {
  Recorder events;
  auto& browser = form->AddBrowser("WebBrowser1", 0, 0, 6000, 4500, events);
  try {
    browser.SetBodyAttribute("Scroll", "no");
    ADD_FAILURE() << "no document, no body";
  } catch (const Error& e) {
    std::cout << "SetBodyAttribute: " << e.what() << "\n";
  }
  EXPECT_THROW(browser.SetBodyAttribute("border", static_cast<short>(0)), Error);
  if (!ServerUrl().empty()) {
    browser.Navigate2(ServerUrl() + "/page.html?body");
    ASSERT_TRUE(PumpUntil(20s, [&] { return Requested("/page.html?body"); }));
    PumpUntil(5s, [&] { return events.Saw("DownloadComplete"); });
    EXPECT_THROW(browser.SetBodyAttribute("Scroll", "no"), Error);
  }
  browser.SetSilent(true);
  browser.Navigate("about:blank");
}

TEST_F(Ole, ABrowserNameIsTakenOnce) {
  Recorder events;
  form->AddBrowser("WebBrowser1", 0, 0, 3000, 3000, events);
  EXPECT_THROW(form->AddBrowser("WebBrowser1", 0, 0, 3000, 3000, events), Error);
  EXPECT_THROW(form->AddActiveX("Shell.Explorer.2", "WebBrowser1"), Error);
  EXPECT_THROW(form->RemoveActiveX("WebBrowser1"), Error) << "not a control added at run time";
  EXPECT_EQ(Children(FormWindow()).size(), 1u);
}

// --- The browser's events and teardown, with the test control standing in --------------

struct EventArgs {
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT url{}, flags{}, frame{}, postData{}, headers{};
  VARIANTARG args[7]{};
  DISPPARAMS params{};

  explicit EventArgs(const wchar_t* address) {
    V_VT(&url) = VT_BSTR;
    V_BSTR(&url) = ::SysAllocString(address);
  }
  ~EventArgs() { ::VariantClear(&url); }
  EventArgs(const EventArgs&) = delete;
  EventArgs& operator=(const EventArgs&) = delete;

  static void ByRef(VARIANTARG& arg, VARIANT& target) {
    V_VT(&arg) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&arg) = &target;
  }
  // As the browser passes them: the last argument first, all by reference.
  DISPPARAMS& BeforeNavigate2() {
    V_VT(&args[0]) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&args[0]) = &cancel;
    ByRef(args[1], headers);
    ByRef(args[2], postData);
    ByRef(args[3], frame);
    ByRef(args[4], flags);
    ByRef(args[5], url);
    V_VT(&args[6]) = VT_DISPATCH;
    V_DISPATCH(&args[6]) = nullptr;
    params = DISPPARAMS{args, nullptr, 7, 0};
    return params;
  }
  DISPPARAMS& UrlEvent() {
    ByRef(args[0], url);
    V_VT(&args[1]) = VT_DISPATCH;
    V_DISPATCH(&args[1]) = nullptr;
    params = DISPPARAMS{args, nullptr, 2, 0};
    return params;
  }
  DISPPARAMS& NoArguments() {
    params = DISPPARAMS{nullptr, nullptr, 0, 0};
    return params;
  }
  DISPPARAMS& WindowArgument() {
    V_VT(&args[0]) = VT_DISPATCH;
    V_DISPATCH(&args[0]) = nullptr;
    params = DISPPARAMS{args, nullptr, 1, 0};
    return params;
  }
};

TEST_F(OleWithTestControl, BrowserEventsArriveDecodedAndCancelGoesBack) {
  StandInForTheBrowser();
  Recorder events;
  events.cancelWhenEndsWith = "/no";
  form->AddBrowser("WebBrowser1", 0, 0, 3000, 3000, events);
  ASSERT_EQ(LiveTestControls(), 1);

  EventArgs go(L"http://127.0.0.1/\u00fc?a=1");
  browserStandIn->Fire(DISPID_BEFORENAVIGATE2, go.BeforeNavigate2());
  EXPECT_EQ(go.cancel, VARIANT_FALSE);
  EventArgs stop(L"http://127.0.0.1/no");
  browserStandIn->Fire(DISPID_BEFORENAVIGATE2, stop.BeforeNavigate2());
  EXPECT_EQ(stop.cancel, VARIANT_TRUE) << "the handler's answer, written back";
  EventArgs preset(L"http://127.0.0.1/preset");
  preset.cancel = VARIANT_TRUE;
  browserStandIn->Fire(DISPID_BEFORENAVIGATE2, preset.BeforeNavigate2());
  EXPECT_EQ(preset.cancel, VARIANT_TRUE) << "a handler that leaves it keeps what came in";

  EventArgs done(L"http://127.0.0.1/done");
  browserStandIn->Fire(DISPID_NAVIGATECOMPLETE2, done.UrlEvent());
  browserStandIn->Fire(DISPID_DOCUMENTCOMPLETE, done.UrlEvent());
  events.throwOnDownloadBegin = true;
  browserStandIn->Fire(DISPID_DOWNLOADBEGIN, done.NoArguments());
  browserStandIn->Fire(DISPID_DOWNLOADCOMPLETE, done.NoArguments());
  browserStandIn->Fire(DISPID_BEFORESCRIPTEXECUTE, done.WindowArgument());
  browserStandIn->Fire(DISPID_STATUSTEXTCHANGE, done.WindowArgument());

  const std::vector<std::string> expected = {
      "BeforeNavigate2 http://127.0.0.1/\xc3\xbc?a=1 [from the message loop]",
      "BeforeNavigate2 http://127.0.0.1/no [from the message loop]",
      "BeforeNavigate2 http://127.0.0.1/preset (came cancelled) [from the message loop]",
      "NavigateComplete2 http://127.0.0.1/done [from the message loop]",
      "DocumentComplete http://127.0.0.1/done [from the message loop]",
      "DownloadBegin [from the message loop]",
      "DownloadComplete [from the message loop]",
      "BeforeScriptExecute [from the message loop]",
  };
  EXPECT_EQ(events.seen, expected);
}

TEST_F(OleWithTestControl, TheBrowserIsTornDownInOrderWhenItsFormGoes) {
  StandInForTheBrowser();
  const std::size_t sites = LiveOleSites();
  Recorder events;
  form->AddBrowser("WebBrowser1", 150, 300, 4500, 3000, events);
  EXPECT_EQ(LiveOleSites(), sites + 1);
  form.reset();
  const std::vector<std::string> expected = {
      "SetClientSite(site)",
      "site offers IOleInPlaceSite IOleControlSite IDispatch",
      "UserMode bool:true",
      "InitNew",
      "DoVerb(-5) 10,20-310,220",
      "context 10,20-310,220 in the form, frame is the form",
      "Advise",
      "InPlaceDeactivate (form still there)",
      "Unadvise(7)",
      "SetClientSite(null)",
      "Close(1)",
      "destroyed",
  };
  EXPECT_EQ(ControlLog(), expected);
  EXPECT_EQ(LiveTestControls(), 0);
  EXPECT_EQ(LiveOleSites(), sites) << "the control gave back every reference to its site";
}

TEST_F(OleWithTestControl, AFormUnloadedFromItsBrowsersEventOutlivesTheEvent) {
  StandInForTheBrowser();
  Recorder events;
  events.onDownloadComplete = [&] { form.reset(); };
  form->AddBrowser("WebBrowser1", 0, 0, 3000, 3000, events);
  EventArgs none(L"");
  browserStandIn->Fire(DISPID_DOWNLOADCOMPLETE, none.NoArguments());
  ASSERT_EQ(form, nullptr);
  const auto& log = ControlLog();
  const auto returned = std::find(log.begin(), log.end(), "event 104 returned");
  ASSERT_NE(returned, log.end());
  EXPECT_EQ(std::find(log.begin(), returned, "destroyed"), returned)
      << "the control was freed while its own call was still running";
  EXPECT_NE(std::find(log.begin(), returned, "Close(1)"), returned) << "torn down inside the handler";
  EXPECT_TRUE(PumpUntil(5s, [] { return LiveTestControls() == 0; })) << "released once the call is over";
}

// --- Run-time controls ---------------------------------------------------------------------

TEST_F(OleWithTestControl, ARunTimeControlIsHostedInOrderStartsHiddenAndIsPlacedInPixels) {
  const std::size_t sites = LiveOleSites();
  platform::ActiveXControl* control = form->AddActiveX(kTestProgId, "Flash1");
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->Name(), "Flash1");
  auto children = Children(FormWindow());
  ASSERT_EQ(children.size(), 1u);
  EXPECT_FALSE(HasVisibleStyle(children[0])) << "added controls start hidden";
  control->SetVisible(true);
  EXPECT_TRUE(HasVisibleStyle(children[0]));
  control->SetExtent("Left", 100);  // 6.67 pixels
  control->SetExtent("Top", 22.5);  // 1.5: a half goes to the even neighbour
  control->SetExtent("Width", 1500);
  control->SetExtent("height", 750);
  EXPECT_THROW(control->SetExtent("Depth", 10), Error);
  EXPECT_THROW(control->SetExtent("Width", -15), Error);
  const RECT r = RectInParent(children[0]);
  EXPECT_EQ(r.left, 7);
  EXPECT_EQ(r.top, 2);
  EXPECT_EQ(r.right, 107);
  EXPECT_EQ(r.bottom, 52);
  control->SetVisible(false);
  EXPECT_FALSE(HasVisibleStyle(children[0]));
  form->RemoveActiveX("Flash1");
  const std::vector<std::string> expected = {
      "SetClientSite(site)",
      "site offers IOleInPlaceSite IOleControlSite IDispatch",
      "UserMode bool:true",
      "InitNew",
      "DoVerb(-5) 0,0-96,48",
      "context 0,0-96,48 in the form, frame is the form",
      "SetObjectRects 7,0-103,48 clip 7,0-103,48",
      "SetObjectRects 7,2-103,50 clip 7,2-103,50",
      "SetObjectRects 7,2-107,50 clip 7,2-107,50",
      "SetObjectRects 7,2-107,52 clip 7,2-107,52",
      "InPlaceDeactivate (form still there)",
      "SetClientSite(null)",
      "Close(1)",
      "destroyed",
  };
  EXPECT_EQ(ControlLog(), expected);
  EXPECT_TRUE(Children(FormWindow()).empty());
  EXPECT_EQ(LiveOleSites(), sites);
}

TEST_F(OleWithTestControl, PropertiesAndMethodsGoByNameThroughIDispatch) {
  platform::ActiveXControl* control = form->AddActiveX(kTestProgId, "Flash1");
  ASSERT_NE(control, nullptr);
  ControlLog().clear();
  control->SetProperty("Movie", std::string("http://127.0.0.1/a.swf"));
  control->SetProperty("movie", 5);
  EXPECT_EQ(control->Invoke("GetVariable", {std::string("$version")}),
            Variant(std::string("WIN 9,0,0,0 \xc3\xa9")));
  EXPECT_EQ(control->Invoke("Join", {1, std::string("b"), true, 2.5, Variant{}}),
            Variant(std::string("i4:1,bstr:b,bool:true,r8:2.5,empty")));
  EXPECT_EQ(control->Invoke("Twice", {21}), Variant(42));
  try {
    control->Invoke("Refuse", {});
    ADD_FAILURE() << "a refusing method raises";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("refused on purpose"), std::string::npos) << e.what();
  }
  EXPECT_THROW(control->Invoke("Missing", {}), Error);
  EXPECT_THROW(control->SetProperty("Missing", 1), Error);
  const std::vector<std::string> expected = {
      "Invoke 1 flags 4 (bstr:http://127.0.0.1/a.swf) named -3",
      "Invoke 1 flags 4 (i4:5) named -3",
      "Invoke 2 flags 1 (bstr:$version)",
      "Invoke 3 flags 1 (i4:1,bstr:b,bool:true,r8:2.5,empty)",
      "Invoke 4 flags 1 (i4:21)",
      "Invoke 5 flags 1 ()",
  };
  EXPECT_EQ(ControlLog(), expected);
}

TEST_F(OleWithTestControl, ControlNamesAreUniqueOnAForm) {
  ASSERT_NE(form->AddActiveX(kTestProgId, "Flash1"), nullptr);
  EXPECT_THROW(form->AddActiveX(kTestProgId, "Flash1"), Error);
  EXPECT_EQ(LiveTestControls(), 1) << "refused before anything was made";
  EXPECT_THROW(form->RemoveActiveX("Flash2"), Error);
  EXPECT_EQ(LiveTestControls(), 1);
  form->RemoveActiveX("Flash1");
  EXPECT_THROW(form->RemoveActiveX("Flash1"), Error) << "removed already";
  EXPECT_NE(form->AddActiveX(kTestProgId, "Flash1"), nullptr) << "the name is free again";
  EXPECT_EQ(LiveTestControls(), 1);
}

TEST_F(OleWithTestControl, AnUnknownProgIdGivesNothingAndTakesNoName) {
  EXPECT_EQ(form->AddActiveX("Tarnhold.NoSuchControl", "Flash1"), nullptr);
  EXPECT_EQ(form->AddActiveX("", "Flash1"), nullptr);
  EXPECT_THROW(form->RemoveActiveX("Flash1"), Error);
  EXPECT_NE(form->AddActiveX(kTestProgId, "Flash1"), nullptr);
}

TEST_F(OleWithTestControl, AFormGoingTearsDownItsControlsFirst) {
  ASSERT_NE(form->AddActiveX(kTestProgId, "A"), nullptr);
  ASSERT_NE(form->AddActiveX(kTestProgId, "B"), nullptr);
  ControlLog().clear();
  form.reset();
  const std::vector<std::string> expected = {
      "InPlaceDeactivate (form still there)", "SetClientSite(null)", "Close(1)", "destroyed",
      "InPlaceDeactivate (form still there)", "SetClientSite(null)", "Close(1)", "destroyed",
  };
  EXPECT_EQ(ControlLog(), expected);
  EXPECT_EQ(LiveTestControls(), 0);
}

// The system's browser as a run-time control: the test keeps one reference
// of its own to each object made, so its own final Release answers whether
// the container left any behind.
TEST_F(OleWithTestControl, AHundredBrowsersAddedAndRemovedByProgIdLeaveNothingBehind) {
  CountingClass counting(ClassOf(L"Shell.Explorer.2"));
  const std::size_t sites = LiveOleSites();
  for (int i = 0; i < 100; ++i) {
    SCOPED_TRACE(i);
    const std::string name = "Browser" + std::to_string(i);
    platform::ActiveXControl* control = form->AddActiveX("Shell.Explorer.2", name);
    ASSERT_NE(control, nullptr);
    ASSERT_EQ(counting.Made(), static_cast<std::size_t>(i + 1));
    control->SetExtent("Left", 150);
    control->SetExtent("Top", 300);
    control->SetExtent("Width", 3000);
    control->SetExtent("Height", 1500);
    control->SetVisible(true);
    const auto children = Children(FormWindow());
    ASSERT_EQ(children.size(), 1u);
    EXPECT_TRUE(HasVisibleStyle(children[0]));
    const RECT r = RectInParent(children[0]);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.bottom, 120);
    control->SetProperty("Silent", (i % 2) == 0);
    IUnknown* object = counting.TakeLatest();
    ComPtr<IWebBrowser2> web;
    ASSERT_EQ(object->QueryInterface(IID_IWebBrowser2, web.put_void()), S_OK);
    VARIANT_BOOL silent = VARIANT_FALSE;
    web->get_Silent(&silent);
    EXPECT_EQ(silent, (i % 2) == 0 ? VARIANT_TRUE : VARIANT_FALSE) << "the property reached the object";
    web.reset();
    EXPECT_EQ(control->Invoke("Stop", {}), Variant{});
    EXPECT_THROW(control->Invoke("NoSuchMethod", {}), Error);

    form->RemoveActiveX(name);
    EXPECT_TRUE(Children(FormWindow()).empty());
    EXPECT_EQ(LiveOleSites(), sites);
    EXPECT_EQ(object->Release(), 0u) << "the container kept a reference";
  }
}

// The system's browser as the form's browser control: once it has navigated
// and its form is gone, nothing but the test holds it any more.
TEST_F(OleWithTestControl, TheSystemsBrowserGoesWithItsFormAfterNavigating) {
  ASSERT_FALSE(ServerUrl().empty()) << "the test command starts the content server";
  CountingClass counting(ClassOf(L"Shell.Explorer.2"));
  const std::size_t sites = LiveOleSites();
  Recorder events;
  auto& browser = form->AddBrowser("WebBrowser1", 0, 0, 6000, 4500, events);
  ASSERT_EQ(counting.Made(), 1u);
  browser.Navigate2(ServerUrl() + "/page.html?gone");
  ASSERT_TRUE(PumpUntil(20s, [&] { return Requested("/page.html?gone") && events.Saw("DownloadComplete"); }))
      << events.Text();
  form.reset();
  EXPECT_EQ(LiveOleSites(), sites);
  IUnknown* object = counting.TakeLatest();
  EXPECT_EQ(object->Release(), 0u) << "the container kept a reference";
}

// --- The window runtime's other parts ---------------------------------------------------------

TEST_F(Ole, TheWorkAreaLiesOnTheScreen) {
  const platform::PixelRect area = ctx.Windows().WorkArea();
  EXPECT_GE(area.left, 0);
  EXPECT_GE(area.top, 0);
  EXPECT_GT(area.right, area.left);
  EXPECT_GT(area.bottom, area.top);
  EXPECT_LE(area.right, ::GetSystemMetrics(SM_CXSCREEN));
  EXPECT_LE(area.bottom, ::GetSystemMetrics(SM_CYSCREEN));
}

TEST_F(Ole, TopmostIsSetAndCleared) {
  const auto topmost = [&] { return (::GetWindowLongPtrW(FormWindow(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
  ASSERT_FALSE(topmost());
  form->SetTopmost(true);
  EXPECT_TRUE(topmost());
  form->SetTopmost(false);
  EXPECT_FALSE(topmost());
}

}  // namespace
}  // namespace tarnhold::winetest
