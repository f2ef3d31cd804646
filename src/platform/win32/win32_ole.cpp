#include "platform/win32/win32_ole.h"

#include <exdispid.h>
#include <mshtml.h>

#include <cstdio>

#include "platform/geometry.h"
#include "platform/win32/win32_windows.h"

// Older mingw-w64 headers lack the newest of the browser's events.
#ifndef DISPID_BEFORESCRIPTEXECUTE
#define DISPID_BEFORESCRIPTEXECUTE 290
#endif

namespace tarnhold::platform::win32 {

namespace {

constexpr const char* kBrowserProgId = "Shell.Explorer.2";

// The runtime's own message for a member an object does not have.
[[noreturn]] void NoSuchMember(const std::string& name) {
  throw Error("object doesn't support this property or method: " + name);
}

void Check(HRESULT hr, const char* what) {
  if (SUCCEEDED(hr)) return;
  char text[128];
  std::snprintf(text, sizeof text, "%s failed (0x%08lx)", what, static_cast<unsigned long>(hr));
  throw Error(text);
}

// Names as the runtime compares them, ignoring case. The names compared here
// are plain ASCII letters, for which folding bit 5 is exact.
bool SameLetters(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if ((x | 0x20) != (y | 0x20)) return false;
  }
  return i == a.size() && b[i] == '\0';
}

int HimetricToPixels(LONG himetric, int axis) {
  ScreenDC dc;
  const int dpi = ::GetDeviceCaps(dc.get(), axis);
  return ::MulDiv(himetric, dpi > 0 ? dpi : 96, 2540);
}

std::string BstrText(BSTR text) {
  return text == nullptr ? std::string() : Utf8(text, static_cast<int>(::SysStringLen(text)));
}

// An event's argument, counted from the first one the event declares;
// DISPPARAMS holds them last first.
const VARIANT* Argument(const DISPPARAMS* params, UINT fromFirst) {
  if (params == nullptr || params->rgvarg == nullptr || fromFirst >= params->cArgs) return nullptr;
  return &params->rgvarg[params->cArgs - 1 - fromFirst];
}

std::string ArgumentText(const DISPPARAMS* params, UINT fromFirst) {
  const VARIANT* arg = Argument(params, fromFirst);
  if (arg == nullptr) return {};
  const Variant value = FromVariant(*arg);
  const auto* text = std::get_if<std::string>(&value);
  return text != nullptr ? *text : std::string();
}

// The arguments are read inside the guard: reading them allocates and
// converts, and nothing may unwind into the control that raised the event.
void DeliverBrowserEvent(BrowserEvents& events, std::string_view source, DISPID id,
                         DISPPARAMS* params) noexcept {
  switch (id) {
    case DISPID_BEFORENAVIGATE2: {
      // Cancel is the last argument, passed by reference: what the handler
      // leaves in it decides whether the navigation goes on, even when the
      // handler fails after setting it.
      VARIANT_BOOL* out = nullptr;
      if (params != nullptr && params->cArgs > 0 && V_VT(&params->rgvarg[0]) == (VT_BYREF | VT_BOOL)) {
        out = V_BOOLREF(&params->rgvarg[0]);
      }
      bool cancel = out != nullptr && *out != VARIANT_FALSE;
      Dispatch({source, "BeforeNavigate2"}, [&] { events.BeforeNavigate2(ArgumentText(params, 1), cancel); });
      if (out != nullptr) *out = cancel ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    }
    case DISPID_NAVIGATECOMPLETE2:
      Dispatch({source, "NavigateComplete2"}, [&] { events.NavigateComplete2(ArgumentText(params, 1)); });
      break;
    case DISPID_DOCUMENTCOMPLETE:
      Dispatch({source, "DocumentComplete"}, [&] { events.DocumentComplete(ArgumentText(params, 1)); });
      break;
    case DISPID_DOWNLOADBEGIN:
      Dispatch({source, "DownloadBegin"}, [&] { events.DownloadBegin(); });
      break;
    case DISPID_DOWNLOADCOMPLETE:
      Dispatch({source, "DownloadComplete"}, [&] { events.DownloadComplete(); });
      break;
    case DISPID_BEFORESCRIPTEXECUTE:
      Dispatch({source, "BeforeScriptExecute"}, [&] { events.BeforeScriptExecute(); });
      break;
    default:
      break;
  }
}

LONG liveSites = 0;

// Objects whose last reference must wait until the call they are in has
// returned to them: a control torn down from inside its own event.
std::vector<IUnknown*>& Parked() {
  static std::vector<IUnknown*> parked;
  return parked;
}

void CALLBACK ReleaseParked(HWND, UINT, UINT_PTR timer, DWORD) {
  ::KillTimer(nullptr, timer);
  std::vector<IUnknown*> parked;
  parked.swap(Parked());
  for (IUnknown* object : parked) object->Release();
}

// A thread timer's callback runs from whichever message loop dispatches next,
// modal ones included: normally the program's own, once the event is over.
void ReleaseLater(IUnknown* object) {
  Parked().push_back(object);
  // Without a timer the object is kept: a leak is better than freeing it
  // under its own feet.
  ::SetTimer(nullptr, 0, 0, &ReleaseParked);
}

}  // namespace

// --- The site ---------------------------------------------------------------------

class Site;

// One face of the site: its IUnknown is the site's, so every part answers for
// the same object and shares its one reference count.
template <class Interface>
class SitePart : public Interface {
 public:
  explicit SitePart(Site& site) : site_(site) {}
  SitePart(const SitePart&) = delete;
  SitePart& operator=(const SitePart&) = delete;
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

 protected:
  ~SitePart() = default;
  Site& site_;
};

class Site final {
 public:
  Site(OleHost& host, BrowserEvents* events, std::string source)
      : source_(std::move(source)), host_(&host), events_(events) {
    ::InterlockedIncrement(&liveSites);
  }
  Site(const Site&) = delete;
  Site& operator=(const Site&) = delete;

  ULONG AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
  ULONG Release() {
    const LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  HRESULT QueryInterface(REFIID iid, void** out);

  IOleClientSite* ClientSite() { return &client_; }
  IUnknown* Sink() { return &dispatch_; }
  // No events once teardown has begun, and no host once it is over: the
  // control may still call in until it has released its last reference.
  void StopEvents() { events_ = nullptr; }
  bool Delivering() const { return delivering_ > 0; }
  void Detach() {
    host_ = nullptr;
    events_ = nullptr;
  }

 private:
  ~Site() { ::InterlockedDecrement(&liveSites); }

  HWND Form() const { return host_ != nullptr ? host_->Form() : nullptr; }

  struct ClientPart final : SitePart<IOleClientSite> {
    using SitePart::SitePart;
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
      if (moniker != nullptr) *moniker = nullptr;
      return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** container) override {
      if (container != nullptr) *container = nullptr;
      return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
  };

  struct InPlaceSitePart final : SitePart<IOleInPlaceSite> {
    using SitePart::SitePart;
    STDMETHODIMP GetWindow(HWND* window) override {
      if (window == nullptr) return E_POINTER;
      *window = site_.Form();
      return *window != nullptr ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return site_.host_ != nullptr ? S_OK : S_FALSE; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
      if (frame == nullptr || document == nullptr || position == nullptr || clip == nullptr ||
          info == nullptr) {
        return E_POINTER;
      }
      *frame = nullptr;
      // No separate document window: the form is both.
      *document = nullptr;
      if (site_.host_ == nullptr) return E_FAIL;
      *frame = &site_.frame_;
      site_.AddRef();
      *position = site_.host_->Rect();
      *clip = *position;
      info->fMDIApp = FALSE;
      info->hwndFrame = site_.Form();
      info->haccel = nullptr;
      info->cAccelEntries = 0;
      return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT position) override {
      if (position == nullptr) return E_POINTER;
      if (site_.host_ == nullptr) return E_FAIL;
      try {
        site_.host_->Move(*position);
      } catch (const Error&) {
        return E_FAIL;
      }
      return S_OK;
    }
  };

  struct FramePart final : SitePart<IOleInPlaceFrame> {
    using SitePart::SitePart;
    STDMETHODIMP GetWindow(HWND* window) override {
      if (window == nullptr) return E_POINTER;
      *window = site_.Form();
      return *window != nullptr ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // The form has no toolbars to make room for.
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS widths) override {
      return widths == nullptr ? S_OK : INPLACE_E_NOTOOLSPACE;
    }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
  };

  struct ControlSitePart final : SitePart<IOleControlSite> {
    using SitePart::SitePart;
    STDMETHODIMP OnControlInfoChanged() override { return S_OK; }
    STDMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
    STDMETHODIMP GetExtendedControl(IDispatch** extended) override {
      if (extended != nullptr) *extended = nullptr;
      return E_NOTIMPL;
    }
    STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
    STDMETHODIMP OnFocus(BOOL) override { return S_OK; }
    STDMETHODIMP ShowPropertyFrame() override { return E_NOTIMPL; }
  };

  // Ambient properties and, for the browser, its events. Ambient DISPIDs are
  // negative and DWebBrowserEvents2's positive, so one IDispatch serves both,
  // whichever interface the connection point asks the sink for.
  struct DispatchPart final : SitePart<IDispatch> {
    using SitePart::SitePart;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
      if (count == nullptr) return E_POINTER;
      *count = 0;
      return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
      if (info != nullptr) *info = nullptr;
      return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    // The control calls in from its own frames: no exception may go back
    // through them.
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
      try {
        if (id < 0) return site_.Ambient(id, flags, result);
        site_.Event(id, params);
        return S_OK;
      } catch (...) {
        return E_FAIL;
      }
    }
  };

  HRESULT Ambient(DISPID id, WORD flags, VARIANT* result) const {
    if ((flags & DISPATCH_PROPERTYGET) == 0 || result == nullptr) return DISP_E_MEMBERNOTFOUND;
    switch (id) {
      case DISPID_AMBIENT_USERMODE:
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = VARIANT_TRUE;
        return S_OK;
      case DISPID_AMBIENT_UIDEAD:
      case DISPID_AMBIENT_SHOWHATCHING:
      case DISPID_AMBIENT_SHOWGRABHANDLES:
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = VARIANT_FALSE;
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

  void Event(DISPID id, DISPPARAMS* params) {
    BrowserEvents* events = events_;
    if (events == nullptr) return;
    // A handler may tear the control down (its form unloaded) before the
    // event has returned to the control.
    AddRef();
    ComPtr<Site> self(this);
    // Back to zero however the delivery ends, before `self` may let the
    // site go: a count left up would park every later teardown for good.
    struct Delivering {
      explicit Delivering(int& count) : count_(count) { ++count_; }
      ~Delivering() { --count_; }
      Delivering(const Delivering&) = delete;
      Delivering& operator=(const Delivering&) = delete;
      int& count_;
    } delivering(delivering_);
    DeliverBrowserEvent(*events, source_, id, params);
  }

  LONG refs_ = 1;
  int delivering_ = 0;
  std::string source_;  // "Form2.WebBrowser1": who raised a failed event
  OleHost* host_;
  BrowserEvents* events_;
  ClientPart client_{*this};
  InPlaceSitePart inPlaceSite_{*this};
  FramePart frame_{*this};
  ControlSitePart controlSite_{*this};
  DispatchPart dispatch_{*this};
};

HRESULT Site::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
    *out = static_cast<IOleClientSite*>(&client_);
  } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite)) {
    *out = static_cast<IOleInPlaceSite*>(&inPlaceSite_);
  } else if (IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame)) {
    *out = static_cast<IOleInPlaceFrame*>(&frame_);
  } else if (IsEqualIID(iid, IID_IOleControlSite)) {
    *out = static_cast<IOleControlSite*>(&controlSite_);
  } else if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, DIID_DWebBrowserEvents2)) {
    *out = static_cast<IDispatch*>(&dispatch_);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

template <class Interface>
HRESULT STDMETHODCALLTYPE SitePart<Interface>::QueryInterface(REFIID iid, void** out) {
  return site_.QueryInterface(iid, out);
}
template <class Interface>
ULONG STDMETHODCALLTYPE SitePart<Interface>::AddRef() {
  return site_.AddRef();
}
template <class Interface>
ULONG STDMETHODCALLTYPE SitePart<Interface>::Release() {
  return site_.Release();
}

std::size_t LiveOleSites() {
  return static_cast<std::size_t>(::InterlockedCompareExchange(&liveSites, 0, 0));
}

// --- Helpers ------------------------------------------------------------------------

Bstr::Bstr(const std::string& utf8) {
  const std::wstring wide = Wide(utf8);
  b_ = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (b_ == nullptr) throw Error("out of memory");
}

std::string Bstr::Utf8Text() const { return BstrText(b_); }

void OleSession::Start() {
  if (started_) return;
  const HRESULT hr = ::OleInitialize(nullptr);
  // S_FALSE: someone initialised this thread before us; it still counts.
  if (hr != S_OK && hr != S_FALSE) Check(hr, "OleInitialize");
  started_ = true;
}

void ToVariant(const Variant& value, VARIANT& out) {
  ::VariantInit(&out);
  if (const auto* b = std::get_if<bool>(&value)) {
    V_VT(&out) = VT_BOOL;
    V_BOOL(&out) = *b ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (const auto* i = std::get_if<int>(&value)) {
    V_VT(&out) = VT_I4;
    V_I4(&out) = *i;
  } else if (const auto* d = std::get_if<double>(&value)) {
    V_VT(&out) = VT_R8;
    V_R8(&out) = *d;
  } else if (const auto* s = std::get_if<std::string>(&value)) {
    const std::wstring wide = Wide(*s);
    BSTR text = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (text == nullptr) throw Error("out of memory");
    V_VT(&out) = VT_BSTR;
    V_BSTR(&out) = text;
  }
}

Variant FromVariant(const VARIANT& value) {
  UniqueVariant plain;
  // By-reference values (as events pass them) are read through.
  if (FAILED(::VariantCopyInd(plain.get(), const_cast<VARIANT*>(&value)))) return {};
  VARIANT& v = *plain.get();
  switch (V_VT(&v)) {
    case VT_BOOL:
      return V_BOOL(&v) != VARIANT_FALSE;
    case VT_BSTR:
      return BstrText(V_BSTR(&v));
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_INT:
    case VT_UI4:
    case VT_UINT:
    case VT_I8:
    case VT_UI8: {
      UniqueVariant number;
      if (SUCCEEDED(::VariantChangeType(number.get(), &v, 0, VT_I4)))
        return static_cast<int>(V_I4(number.get()));
      if (SUCCEEDED(::VariantChangeType(number.get(), &v, 0, VT_R8))) return V_R8(number.get());
      return {};
    }
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL: {
      UniqueVariant number;
      if (SUCCEEDED(::VariantChangeType(number.get(), &v, 0, VT_R8))) return V_R8(number.get());
      return {};
    }
    case VT_DATE: {
      UniqueVariant text;
      if (SUCCEEDED(::VariantChangeType(text.get(), &v, 0, VT_BSTR))) return BstrText(V_BSTR(text.get()));
      return {};
    }
    default:
      // Empty, null, objects and arrays: nothing the behaviour can hold.
      return {};
  }
}

namespace {

// Raises for a failed IDispatch::Invoke, with the object's own description
// when it gave one. Frees what the object put into the exception record.
void CheckInvoke(HRESULT hr, EXCEPINFO& exception, const std::string& member) {
  if (hr == DISP_E_EXCEPTION && exception.pfnDeferredFillIn != nullptr)
    exception.pfnDeferredFillIn(&exception);
  const std::string description = BstrText(exception.bstrDescription);
  ::SysFreeString(exception.bstrSource);
  ::SysFreeString(exception.bstrDescription);
  ::SysFreeString(exception.bstrHelpFile);
  exception = EXCEPINFO{};
  if (SUCCEEDED(hr)) return;
  if (hr == DISP_E_MEMBERNOTFOUND) NoSuchMember(member);
  if (!description.empty()) throw Error(member + ": " + description);
  Check(hr, member.c_str());
}

// The arguments of one call, cleared however the call ends.
class Arguments {
 public:
  explicit Arguments(const std::vector<Variant>& args) : values_(args.size()) {
    for (VARIANT& v : values_) ::VariantInit(&v);
    // DISPPARAMS wants the last argument first.
    for (std::size_t i = 0; i < args.size(); ++i) ToVariant(args[i], values_[args.size() - 1 - i]);
  }
  ~Arguments() {
    for (VARIANT& v : values_) ::VariantClear(&v);
  }
  Arguments(const Arguments&) = delete;
  Arguments& operator=(const Arguments&) = delete;
  VARIANT* data() { return values_.empty() ? nullptr : values_.data(); }
  UINT size() const { return static_cast<UINT>(values_.size()); }

 private:
  std::vector<VARIANT> values_;
};

}  // namespace

// --- One hosted control --------------------------------------------------------------

OleHost::OleHost(HWND form, const RECT& pixels, BrowserEvents* events, std::string source)
    : form_(form), rect_(pixels), site_(new Site(*this, events, std::move(source))) {}

OleHost::~OleHost() { Teardown(); }

std::unique_ptr<OleHost> OleHost::Create(const std::string& progId, HWND form, const RECT* pixels,
                                         BrowserEvents* events, std::string source) {
  CLSID clsid{};
  if (FAILED(::CLSIDFromProgID(Wide(progId).c_str(), &clsid))) return nullptr;
  ComPtr<IOleObject> object;
  if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, object.put_void()))) {
    return nullptr;
  }
  std::unique_ptr<OleHost> host(
      new OleHost(form, pixels != nullptr ? *pixels : RECT{}, events, std::move(source)));
  host->object_ = std::move(object);
  // A failure from here on unwinds through the destructor, which tears down
  // whatever was done.
  host->Activate(pixels);
  return host;
}

void OleHost::Activate(const RECT* pixels) {
  Check(object_->SetClientSite(site_->ClientSite()), "IOleObject::SetClientSite");
  clientSiteSet_ = true;
  if (auto init = object_.Query<IPersistStreamInit>(IID_IPersistStreamInit)) {
    Check(init->InitNew(), "IPersistStreamInit::InitNew");
  }
  if (pixels == nullptr) {
    SIZEL size{};
    if (SUCCEEDED(object_->GetExtent(DVASPECT_CONTENT, &size))) {
      rect_ = RECT{0, 0, HimetricToPixels(size.cx, LOGPIXELSX), HimetricToPixels(size.cy, LOGPIXELSY)};
    }
  }
  RECT position = rect_;
  Check(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_->ClientSite(), 0, form_, &position),
        "IOleObject::DoVerb");
  inPlace_ = object_.Query<IOleInPlaceObject>(IID_IOleInPlaceObject);
  if (!inPlace_) throw Error("the control cannot be active in place");
}

void OleHost::Teardown() noexcept {
  if (!object_) return;
  // Taken out first: a call that comes back in during teardown finds the
  // control gone instead of half torn down.
  ComPtr<IOleObject> object = std::move(object_);
  ComPtr<IOleInPlaceObject> inPlace = std::move(inPlace_);
  site_->StopEvents();
  if (!inPlace) inPlace = object.Query<IOleInPlaceObject>(IID_IOleInPlaceObject);
  if (inPlace) inPlace->InPlaceDeactivate();
  if (connection_) {
    connection_->Unadvise(cookie_);
    connection_.reset();
  }
  if (clientSiteSet_) object->SetClientSite(nullptr);
  object->Close(OLECLOSE_NOSAVE);
  inPlace.reset();
  if (site_->Delivering()) {
    ReleaseLater(object.release());
  } else {
    object.reset();
  }
  site_->Detach();
  site_.reset();
}

void OleHost::Advise(REFIID events) {
  auto container = Query<IConnectionPointContainer>(IID_IConnectionPointContainer);
  ComPtr<IConnectionPoint> point;
  Check(container->FindConnectionPoint(events, point.put()), "FindConnectionPoint");
  DWORD cookie = 0;
  Check(point->Advise(site_->Sink(), &cookie), "IConnectionPoint::Advise");
  connection_ = std::move(point);
  cookie_ = cookie;
}

void OleHost::Move(const RECT& pixels) {
  if (!inPlace_) throw Error("the control is no longer there");
  Check(inPlace_->SetObjectRects(&pixels, &pixels), "IOleInPlaceObject::SetObjectRects");
  rect_ = pixels;
}

HWND OleHost::ControlWindow() const {
  HWND window = nullptr;
  if (!inPlace_ || FAILED(inPlace_->GetWindow(&window))) return nullptr;
  return window;
}

void OleHost::Show(bool visible) {
  if (!object_) throw Error("the control is no longer there");
  HWND window = ControlWindow();
  if (window == nullptr) throw Error("the control has no window");
  // The return value is the previous state, not a failure.
  ::ShowWindow(window, visible ? SW_SHOWNA : SW_HIDE);
}

bool OleHost::Shown() const {
  if (!object_) throw Error("the control is no longer there");
  HWND window = ControlWindow();
  return window != nullptr && (::GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

// --- The browser control ---------------------------------------------------------------

Win32Browser::Win32Browser(const std::string& formName, std::string name, HWND form, const RECT& pixels,
                           BrowserEvents& events)
    : name_(std::move(name)),
      host_(OleHost::Create(kBrowserProgId, form, &pixels, &events, formName + "." + name_)) {
  if (!host_) throw Error("the browser control cannot be created");
  host_->Advise(DIID_DWebBrowserEvents2);
}

void Win32Browser::Teardown() noexcept { host_->Teardown(); }

ComPtr<IWebBrowser2> Win32Browser::Web() const { return host_->Query<IWebBrowser2>(IID_IWebBrowser2); }

void Win32Browser::Navigate(const std::string& url) {
  const auto web = Web();
  const Bstr address(url);
  UniqueVariant flags, target, postData, headers;
  Check(web->Navigate(address.get(), flags.get(), target.get(), postData.get(), headers.get()),
        "IWebBrowser2::Navigate");
}

void Win32Browser::Navigate2(const std::string& url) {
  const auto web = Web();
  UniqueVariant address;
  ToVariant(url, *address.get());
  UniqueVariant flags, target, postData, headers;
  Check(web->Navigate2(address.get(), flags.get(), target.get(), postData.get(), headers.get()),
        "IWebBrowser2::Navigate2");
}

void Win32Browser::SetSilent(bool silent) {
  Check(Web()->put_Silent(silent ? VARIANT_TRUE : VARIANT_FALSE), "IWebBrowser2::put_Silent");
}

std::string Win32Browser::LocationURL() const {
  Bstr url;
  Check(Web()->get_LocationURL(url.put()), "IWebBrowser2::get_LocationURL");
  return url.Utf8Text();
}

bool Win32Browser::Visible() const { return host_->Shown(); }

void Win32Browser::SetVisible(bool visible) { host_->Show(visible); }

void Win32Browser::SetBody(const std::string& name, VARIANT& value) {
  ComPtr<IDispatch> document;
  if (FAILED(Web()->get_Document(document.put())) || !document) throw Error("the browser has no document");
  const auto html = document.Query<IHTMLDocument2>(IID_IHTMLDocument2);
  if (!html) throw Error("the browser's document is not an HTML document");
  ComPtr<IHTMLElement> body;
  if (FAILED(html->get_body(body.put())) || !body) throw Error("the browser's document has no body");
  const Bstr attribute(name);
  // 1: the attribute's name is matched as written, setAttribute's default.
  Check(body->setAttribute(attribute.get(), value, 1), "IHTMLElement::setAttribute");
}

void Win32Browser::SetBodyAttribute(const std::string& name, const std::string& textValue) {
  UniqueVariant value;
  ToVariant(textValue, *value.get());
  SetBody(name, *value.get());
}

void Win32Browser::SetBodyAttribute(const std::string& name, short integerValue) {
  UniqueVariant value;
  V_VT(value.get()) = VT_I2;
  V_I2(value.get()) = integerValue;
  SetBody(name, *value.get());
}

// --- Run-time controls -------------------------------------------------------------------

std::unique_ptr<Win32ActiveX> Win32ActiveX::Create(const std::string& progId, std::string name, HWND form,
                                                   double twipsPerPixelX, double twipsPerPixelY) {
  auto host = OleHost::Create(progId, form, nullptr, nullptr);
  if (!host) return nullptr;
  // Added controls start hidden; the caller shows them when placed.
  if (host->ControlWindow() != nullptr) host->Show(false);
  return std::unique_ptr<Win32ActiveX>(
      new Win32ActiveX(std::move(name), std::move(host), twipsPerPixelX, twipsPerPixelY));
}

Win32ActiveX::Win32ActiveX(std::string name, std::unique_ptr<OleHost> host, double tppX, double tppY)
    : name_(std::move(name)), host_(std::move(host)), tppX_(tppX), tppY_(tppY) {
  const RECT r = host_->Rect();
  left_ = PixelsToTwips(r.left, tppX_);
  top_ = PixelsToTwips(r.top, tppY_);
  width_ = PixelsToTwips(r.right - r.left, tppX_);
  height_ = PixelsToTwips(r.bottom - r.top, tppY_);
}

void Win32ActiveX::Teardown() noexcept { host_->Teardown(); }

void Win32ActiveX::SetVisible(bool visible) { host_->Show(visible); }

void Win32ActiveX::SetExtent(const std::string& property, double twips) {
  double left = left_, top = top_, width = width_, height = height_;
  if (SameLetters(property, "Left")) {
    left = twips;
  } else if (SameLetters(property, "Top")) {
    top = twips;
  } else if (SameLetters(property, "Width")) {
    width = twips;
  } else if (SameLetters(property, "Height")) {
    height = twips;
  } else {
    NoSuchMember(property);
  }
  if (width < 0 || height < 0) throw Error("invalid property value");
  // Each edge is rounded on its own, as the form rounds its own geometry.
  const LONG x = TwipsToPixels(left, tppX_);
  const LONG y = TwipsToPixels(top, tppY_);
  const RECT pixels{x, y, x + TwipsToPixels(width, tppX_), y + TwipsToPixels(height, tppY_)};
  host_->Move(pixels);
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
}

ComPtr<IDispatch> Win32ActiveX::Automation() const { return host_->Query<IDispatch>(IID_IDispatch); }

DISPID Win32ActiveX::IdOf(IDispatch& automation, const std::string& member) const {
  Bstr name(member);
  LPOLESTR names[] = {name.get()};
  DISPID id = DISPID_UNKNOWN;
  if (FAILED(automation.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) NoSuchMember(member);
  return id;
}

void Win32ActiveX::SetProperty(const std::string& name, const Variant& value) {
  const auto automation = Automation();
  const DISPID id = IdOf(*automation.get(), name);
  Arguments args({value});
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{args.data(), &named, 1, 1};
  EXCEPINFO exception{};
  UINT badArgument = 0;
  const HRESULT hr = automation->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                                        nullptr, &exception, &badArgument);
  CheckInvoke(hr, exception, name);
}

Variant Win32ActiveX::Invoke(const std::string& method, const std::vector<Variant>& args) {
  const auto automation = Automation();
  const DISPID id = IdOf(*automation.get(), method);
  Arguments values(args);
  DISPPARAMS params{values.data(), nullptr, values.size(), 0};
  UniqueVariant result;
  EXCEPINFO exception{};
  UINT badArgument = 0;
  const HRESULT hr = automation->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                        result.get(), &exception, &badArgument);
  CheckInvoke(hr, exception, method);
  return FromVariant(*result);
}

}  // namespace tarnhold::platform::win32
