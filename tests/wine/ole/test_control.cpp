#include "test_control.h"

#include <olectl.h>

#include <cstdio>
#include <cwchar>
#include <stdexcept>

namespace tarnhold::winetest {

namespace {

std::vector<std::string> controlLog;
int liveControls = 0;

void Log(const std::string& line) { controlLog.push_back(line); }

std::string RectText(const RECT& r) {
  char text[64];
  std::snprintf(text, sizeof text, "%ld,%ld-%ld,%ld", r.left, r.top, r.right, r.bottom);
  return text;
}

// An argument as "type:value", so that a test sees what travelled, not just
// what it looks like.
std::string ArgText(const VARIANT& v) {
  switch (V_VT(&v)) {
    case VT_EMPTY:
      return "empty";
    case VT_BOOL:
      return V_BOOL(&v) == VARIANT_TRUE ? "bool:true"
                                        : (V_BOOL(&v) == VARIANT_FALSE ? "bool:false" : "bool:?");
    case VT_I4:
      return "i4:" + std::to_string(V_I4(&v));
    case VT_R8: {
      char text[32];
      std::snprintf(text, sizeof text, "r8:%g", V_R8(&v));
      return text;
    }
    case VT_BSTR: {
      const BSTR b = V_BSTR(&v);
      std::string text = "bstr:";
      for (UINT i = 0; b != nullptr && i < ::SysStringLen(b); ++i) text += static_cast<char>(b[i]);
      return text;
    }
    default:
      return "vt:" + std::to_string(V_VT(&v));
  }
}

BSTR Text(const wchar_t* text) { return ::SysAllocString(text); }

enum : DISPID { kMovie = 1, kGetVariable = 2, kJoin = 3, kTwice = 4, kRefuse = 5 };

class TestControl;
std::vector<TestControl*> liveList;

class TestControl final : public IOleObject,
                          public IOleInPlaceObject,
                          public IPersistStreamInit,
                          public IDispatch,
                          public IConnectionPointContainer {
 public:
  explicit TestControl(bool withEvents) : withEvents_(withEvents) {
    ++liveControls;
    liveList.push_back(this);
  }
  TestControl(const TestControl&) = delete;
  TestControl& operator=(const TestControl&) = delete;

  // --- IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleObject)) {
      *out = static_cast<IOleObject*>(this);
    } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceObject)) {
      *out = static_cast<IOleInPlaceObject*>(this);
    } else if (IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IPersistStreamInit)) {
      *out = static_cast<IPersistStreamInit*>(this);
    } else if (IsEqualIID(iid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(this);
    } else if (withEvents_ && IsEqualIID(iid, IID_IConnectionPointContainer)) {
      *out = static_cast<IConnectionPointContainer*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) {
      Log("destroyed");
      delete this;
    }
    return left;
  }

  // --- IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite* site) override {
    Log(site != nullptr ? "SetClientSite(site)" : "SetClientSite(null)");
    if (site != nullptr) {
      site->AddRef();
      CheckSite(*site);
    }
    if (site_ != nullptr) site_->Release();
    site_ = site;
    return S_OK;
  }
  STDMETHODIMP GetClientSite(IOleClientSite** site) override {
    if (site == nullptr) return E_POINTER;
    *site = site_;
    if (site_ != nullptr) site_->AddRef();
    return S_OK;
  }
  STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP Close(DWORD option) override {
    Log("Close(" + std::to_string(option) + ")");
    return S_OK;
  }
  STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
  STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* active, LONG, HWND parent,
                      LPCRECT position) override {
    Log("DoVerb(" + std::to_string(verb) + ") " + RectText(*position));
    if (verb != OLEIVERB_INPLACEACTIVATE || active == nullptr) return E_NOTIMPL;
    return ActivateInPlace(*active, parent);
  }
  STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
  STDMETHODIMP Update() override { return S_OK; }
  STDMETHODIMP IsUpToDate() override { return S_OK; }
  STDMETHODIMP GetUserClassID(CLSID*) override { return E_NOTIMPL; }
  STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
  STDMETHODIMP SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  // 2540 x 1270 HIMETRIC: 96 x 48 pixels at 96 dots per inch.
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override {
    if (aspect != DVASPECT_CONTENT || size == nullptr) return E_INVALIDARG;
    *size = SIZEL{2540, 1270};
    return S_OK;
  }
  STDMETHODIMP Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP Unadvise(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
  STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override {
    if (status == nullptr) return E_POINTER;
    *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_RECOMPOSEONRESIZE | OLEMISC_INSIDEOUT;
    return S_OK;
  }
  STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // --- IOleInPlaceObject
  STDMETHODIMP GetWindow(HWND* window) override {
    if (window == nullptr) return E_POINTER;
    *window = window_;
    return window_ != nullptr ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP InPlaceDeactivate() override {
    Log(std::string("InPlaceDeactivate") + (::IsWindow(parent_) ? " (form still there)" : " (form gone)"));
    if (inPlaceSite_ != nullptr) {
      inPlaceSite_->OnInPlaceDeactivate();
      inPlaceSite_->Release();
      inPlaceSite_ = nullptr;
    }
    if (frame_ != nullptr) {
      frame_->Release();
      frame_ = nullptr;
    }
    if (window_ != nullptr) ::DestroyWindow(window_);
    window_ = nullptr;
    return S_OK;
  }
  STDMETHODIMP UIDeactivate() override { return S_OK; }
  STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override {
    Log("SetObjectRects " + RectText(*position) + " clip " + RectText(*clip));
    if (window_ != nullptr) {
      ::MoveWindow(window_, position->left, position->top, position->right - position->left,
                   position->bottom - position->top, TRUE);
    }
    return S_OK;
  }
  STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }

  // --- IPersistStreamInit
  STDMETHODIMP GetClassID(CLSID*) override { return E_NOTIMPL; }
  STDMETHODIMP IsDirty() override { return S_FALSE; }
  STDMETHODIMP Load(LPSTREAM) override { return E_NOTIMPL; }
  STDMETHODIMP Save(LPSTREAM, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHODIMP InitNew() override {
    Log("InitNew");
    return S_OK;
  }

  // --- IDispatch: a property, methods that answer, and one that refuses.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count != 1) return E_INVALIDARG;
    static const struct {
      const wchar_t* name;
      DISPID id;
    } members[] = {{L"Movie", kMovie},
                   {L"GetVariable", kGetVariable},
                   {L"Join", kJoin},
                   {L"Twice", kTwice},
                   {L"Refuse", kRefuse}};
    for (const auto& m : members) {
      if (::lstrcmpiW(names[0], m.name) == 0) {
        ids[0] = m.id;
        return S_OK;
      }
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT*) override {
    std::string args;
    // Written first to last; DISPPARAMS holds them the other way round.
    for (UINT i = params->cArgs; i > 0; --i)
      args += (args.empty() ? "" : ",") + ArgText(params->rgvarg[i - 1]);
    std::string named;
    for (UINT i = 0; i < params->cNamedArgs; ++i)
      named += " named " + std::to_string(params->rgdispidNamedArgs[i]);
    Log("Invoke " + std::to_string(id) + " flags " + std::to_string(flags) + " (" + args + ")" + named);
    switch (id) {
      case kMovie:
        return flags == DISPATCH_PROPERTYPUT ? S_OK : DISP_E_MEMBERNOTFOUND;
      case kGetVariable:
        if (result != nullptr) {
          V_VT(result) = VT_BSTR;
          V_BSTR(result) = Text(L"WIN 9,0,0,0 \u00e9");
        }
        return S_OK;
      case kJoin:
        if (result != nullptr) {
          std::wstring joined(args.begin(), args.end());
          V_VT(result) = VT_BSTR;
          V_BSTR(result) = Text(joined.c_str());
        }
        return S_OK;
      case kTwice:
        if (result != nullptr && params->cArgs == 1 && V_VT(&params->rgvarg[0]) == VT_I4) {
          V_VT(result) = VT_I4;
          V_I4(result) = 2 * V_I4(&params->rgvarg[0]);
        }
        return S_OK;
      case kRefuse:
        if (exception != nullptr) {
          *exception = EXCEPINFO{};
          exception->bstrSource = Text(L"TestControl");
          exception->bstrDescription = Text(L"refused on purpose");
        }
        return DISP_E_EXCEPTION;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

  // --- IConnectionPointContainer: DWebBrowserEvents2 only.
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
    if (point == nullptr) return E_POINTER;
    *point = nullptr;
    if (!IsEqualIID(iid, DIID_DWebBrowserEvents2)) return CONNECT_E_NOCONNECTION;
    *point = &point_;
    point_.AddRef();
    return S_OK;
  }

  // The sink as a control holds it: no reference to itself while it calls
  // out, as the browser fires its events.
  void Fire(DISPID id, DISPPARAMS& params) {
    IDispatch* sink = point_.sink;
    if (sink == nullptr) return;
    sink->AddRef();
    UINT bad = 0;
    sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, &bad);
    Log("event " + std::to_string(id) + " returned");
    sink->Release();
  }

 private:
  ~TestControl() {
    --liveControls;
    std::erase(liveList, this);
    if (site_ != nullptr) site_->Release();
  }

  // The site answers as a full control site, and in user mode.
  void CheckSite(IOleClientSite& site) {
    std::string faces;
    const struct {
      const IID* iid;
      const char* name;
    } wanted[] = {{&IID_IOleInPlaceSite, "IOleInPlaceSite"},
                  {&IID_IOleControlSite, "IOleControlSite"},
                  {&IID_IDispatch, "IDispatch"}};
    for (const auto& w : wanted) {
      IUnknown* face = nullptr;
      if (SUCCEEDED(site.QueryInterface(*w.iid, reinterpret_cast<void**>(&face)))) {
        faces += std::string(" ") + w.name;
        IUnknown* identity = nullptr;
        face->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
        IUnknown* siteIdentity = nullptr;
        site.QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&siteIdentity));
        if (identity != siteIdentity) faces += "(another object)";
        if (identity != nullptr) identity->Release();
        if (siteIdentity != nullptr) siteIdentity->Release();
        face->Release();
      }
    }
    Log("site offers" + faces);
    IDispatch* ambient = nullptr;
    if (SUCCEEDED(site.QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambient)))) {
      DISPPARAMS none{nullptr, nullptr, 0, 0};
      VARIANT mode;
      ::VariantInit(&mode);
      const HRESULT hr = ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, LOCALE_USER_DEFAULT,
                                         DISPATCH_PROPERTYGET, &none, &mode, nullptr, nullptr);
      Log("UserMode " + (SUCCEEDED(hr) ? ArgText(mode) : std::string("failed")));
      ::VariantClear(&mode);
      ambient->Release();
    }
  }

  HRESULT ActivateInPlace(IOleClientSite& active, HWND parent) {
    IOleInPlaceSite* site = nullptr;
    if (FAILED(active.QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&site)))) return E_FAIL;
    if (site->CanInPlaceActivate() != S_OK) {
      site->Release();
      return E_FAIL;
    }
    site->OnInPlaceActivate();
    IOleInPlaceUIWindow* document = nullptr;
    RECT position{}, clip{};
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof info;
    if (FAILED(site->GetWindowContext(&frame_, &document, &position, &clip, &info))) {
      site->Release();
      return E_FAIL;
    }
    if (document != nullptr) document->Release();
    HWND siteWindow = nullptr;
    site->GetWindow(&siteWindow);
    Log(std::string("context ") + RectText(position) +
        (siteWindow == parent ? " in the form" : " elsewhere") +
        (info.hwndFrame == parent ? ", frame is the form" : ", frame is another window") +
        (frame_ != nullptr ? "" : ", no frame"));
    inPlaceSite_ = site;
    parent_ = parent;
    window_ = ::CreateWindowExW(0, L"STATIC", L"test control", WS_CHILD | WS_VISIBLE, position.left,
                                position.top, position.right - position.left, position.bottom - position.top,
                                siteWindow, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    return window_ != nullptr ? S_OK : E_FAIL;
  }

  struct Point final : IConnectionPoint {
    explicit Point(TestControl& c) : control(c) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
      if (out == nullptr) return E_POINTER;
      *out = nullptr;
      if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPoint)) return E_NOINTERFACE;
      *out = static_cast<IConnectionPoint*>(this);
      AddRef();
      return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return control.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return control.Release(); }
    STDMETHODIMP GetConnectionInterface(IID* iid) override {
      *iid = DIID_DWebBrowserEvents2;
      return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override {
      *container = &control;
      control.AddRef();
      return S_OK;
    }
    // As the browser does: the sink is asked for the events interface.
    STDMETHODIMP Advise(IUnknown* unknown, DWORD* cookie) override {
      if (sink != nullptr) return CONNECT_E_ADVISELIMIT;
      if (FAILED(unknown->QueryInterface(DIID_DWebBrowserEvents2, reinterpret_cast<void**>(&sink)))) {
        sink = nullptr;
        return CONNECT_E_CANNOTCONNECT;
      }
      *cookie = 7;
      Log("Advise");
      return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
      Log("Unadvise(" + std::to_string(cookie) + ")");
      if (cookie != 7 || sink == nullptr) return CONNECT_E_NOCONNECTION;
      sink->Release();
      sink = nullptr;
      return S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    TestControl& control;
    IDispatch* sink = nullptr;
  };

  ULONG refs_ = 1;
  bool withEvents_;
  IOleClientSite* site_ = nullptr;
  IOleInPlaceSite* inPlaceSite_ = nullptr;
  IOleInPlaceFrame* frame_ = nullptr;
  HWND parent_ = nullptr;
  HWND window_ = nullptr;
  Point point_{*this};
};

}  // namespace

std::vector<std::string>& ControlLog() { return controlLog; }
int LiveTestControls() { return liveControls; }

TestControlClass::TestControlClass(const CLSID& clsid, bool withEvents) : withEvents_(withEvents) {
  if (FAILED(::CoRegisterClassObject(clsid, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_))) {
    throw std::runtime_error("CoRegisterClassObject failed");
  }
}

TestControlClass::~TestControlClass() { ::CoRevokeClassObject(cookie_); }

HRESULT TestControlClass::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
  *out = static_cast<IClassFactory*>(this);
  return S_OK;
}

HRESULT TestControlClass::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  auto* control = new TestControl(withEvents_);
  const HRESULT hr = control->QueryInterface(iid, out);
  control->Release();
  return hr;
}

void TestControlClass::Fire(DISPID id, DISPPARAMS& params) {
  const std::vector<TestControl*> controls = liveList;
  for (TestControl* control : controls) control->Fire(id, params);
}

ProgIdKey::ProgIdKey(const std::wstring& progId, const CLSID& clsid) : progId_(progId) {
  wchar_t text[64] = {};
  ::StringFromGUID2(clsid, text, 64);
  const std::wstring key = L"Software\\Classes\\" + progId + L"\\CLSID";
  const auto bytes = static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t));
  if (::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, REG_SZ, text, bytes) != ERROR_SUCCESS) {
    throw std::runtime_error("cannot register the test ProgID");
  }
}

ProgIdKey::~ProgIdKey() { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + progId_).c_str()); }

CountingClass::CountingClass(const CLSID& clsid) {
  if (FAILED(::CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, real_.put_void()))) {
    throw std::runtime_error("the system's class cannot be had");
  }
  if (FAILED(::CoRegisterClassObject(clsid, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_))) {
    throw std::runtime_error("CoRegisterClassObject failed");
  }
}

CountingClass::~CountingClass() {
  ::CoRevokeClassObject(cookie_);
  for (IUnknown* object : made_) object->Release();
}

HRESULT CountingClass::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
  *out = static_cast<IClassFactory*>(this);
  return S_OK;
}

HRESULT CountingClass::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  const HRESULT hr = real_->CreateInstance(outer, iid, out);
  if (FAILED(hr)) return hr;
  IUnknown* identity = nullptr;
  static_cast<IUnknown*>(*out)->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
  made_.push_back(identity);
  ++total_;
  return hr;
}

IUnknown* CountingClass::TakeLatest() {
  if (made_.empty()) return nullptr;
  IUnknown* latest = made_.back();
  made_.pop_back();
  return latest;
}

}  // namespace tarnhold::winetest
