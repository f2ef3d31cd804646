#pragma once
// A small OLE container of our own: the browser control and run-time controls
// by ProgID, each behind one reference-counted site object.
#include "platform/win32/win32_util.h"
// WIN32_LEAN_AND_MEAN leaves OLE out of <windows.h>.
#include <exdisp.h>
#include <ole2.h>
#include <olectl.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/activex.h"
#include "platform/browser.h"

namespace tarnhold::platform::win32 {

// One interface pointer, released on scope exit. Copying would hide an AddRef,
// so only moving is allowed.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  // Adopts a reference the caller already holds.
  explicit ComPtr(T* pointer) : p_(pointer) {}
  ~ComPtr() { reset(); }
  ComPtr(ComPtr&& other) noexcept : p_(other.release()) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T* release() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  void reset(T* pointer = nullptr) {
    T* old = p_;
    p_ = pointer;
    if (old != nullptr) old->Release();
  }
  // For out-parameters: whatever was held is released first, so a reused
  // pointer never leaks its previous object.
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

  template <class U>
  ComPtr<U> Query(REFIID iid) const {
    ComPtr<U> result;
    if (p_ != nullptr && FAILED(p_->QueryInterface(iid, result.put_void()))) result.reset();
    return result;
  }

 private:
  T* p_ = nullptr;
};

// A BSTR, freed on scope exit.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::string& utf8);
  ~Bstr() { ::SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return b_; }
  BSTR* put() {
    ::SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  std::string Utf8Text() const;

 private:
  BSTR b_ = nullptr;
};

// A VARIANT, cleared on scope exit (which frees what it holds).
class UniqueVariant {
 public:
  UniqueVariant() { ::VariantInit(&v_); }
  ~UniqueVariant() { ::VariantClear(&v_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  VARIANT* get() { return &v_; }
  const VARIANT& operator*() const { return v_; }

 private:
  VARIANT v_{};
};

// OleInitialize on the GUI thread, once, on first use. Both S_OK and S_FALSE
// (already initialised on this thread) are balanced by one OleUninitialize.
class OleSession {
 public:
  OleSession() = default;
  ~OleSession() {
    if (started_) ::OleUninitialize();
  }
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;
  void Start();

 private:
  bool started_ = false;
};

void ToVariant(const Variant& value, VARIANT& out);
Variant FromVariant(const VARIANT& value);

class Site;

// One hosted control: the object, its site and its connection. Created
// in-place active on the form; torn down in a fixed order, once.
class OleHost {
 public:
  // nullptr when the ProgID names no class that can be created here; Error
  // when the class exists but refuses to be hosted. Without a rectangle the
  // control takes its own extent at the form's origin. `source` names the
  // control in the word of a failed event handler.
  static std::unique_ptr<OleHost> Create(const std::string& progId, HWND form, const RECT* pixels,
                                         BrowserEvents* events, std::string source = {});
  ~OleHost();
  OleHost(const OleHost&) = delete;
  OleHost& operator=(const OleHost&) = delete;

  // InPlaceDeactivate, Unadvise, SetClientSite(nullptr), Close, Release.
  void Teardown() noexcept;
  bool Hosted() const { return static_cast<bool>(object_); }

  // Connects the site as the sink of the object's outgoing interface.
  void Advise(REFIID events);
  void Move(const RECT& pixels);
  RECT Rect() const { return rect_; }
  HWND Form() const { return form_; }
  void Show(bool visible);
  bool Shown() const;
  // The control's own in-place window; nullptr when it has none.
  HWND ControlWindow() const;

  template <class T>
  ComPtr<T> Query(REFIID iid) const {
    if (!object_) throw Error("the control is no longer there");
    ComPtr<T> result = object_.Query<T>(iid);
    if (!result) throw Error("the control does not offer this interface");
    return result;
  }

 private:
  OleHost(HWND form, const RECT& pixels, BrowserEvents* events, std::string source);
  void Activate(const RECT* pixels);

  HWND form_;
  RECT rect_;
  ComPtr<Site> site_;
  ComPtr<IOleObject> object_;
  ComPtr<IOleInPlaceObject> inPlace_;
  ComPtr<IConnectionPoint> connection_;
  DWORD cookie_ = 0;
  bool clientSiteSet_ = false;
};

// How many site objects are alive. A control that keeps a reference to its
// site after teardown keeps this above zero.
std::size_t LiveOleSites();

class Win32Browser final : public Browser {
 public:
  Win32Browser(const std::string& formName, std::string name, HWND form, const RECT& pixels,
               BrowserEvents& events);
  const std::string& Name() const { return name_; }
  void Navigate(const std::string& url) override;
  void Navigate2(const std::string& url) override;
  void SetSilent(bool silent) override;
  std::string LocationURL() const override;
  bool Visible() const override;
  void SetVisible(bool visible) override;
  void SetBodyAttribute(const std::string& name, const std::string& textValue) override;
  void SetBodyAttribute(const std::string& name, short integerValue) override;
  void Teardown() noexcept;

 private:
  ComPtr<IWebBrowser2> Web() const;
  void SetBody(const std::string& name, VARIANT& value);

  std::string name_;
  std::unique_ptr<OleHost> host_;
};

class Win32ActiveX final : public ActiveXControl {
 public:
  // nullptr when the ProgID cannot be created. Starts hidden at the form's
  // origin with the control's own size, as the runtime adds controls.
  static std::unique_ptr<Win32ActiveX> Create(const std::string& progId, std::string name, HWND form,
                                              double twipsPerPixelX, double twipsPerPixelY);
  const std::string& Name() const override { return name_; }
  void SetVisible(bool visible) override;
  void SetExtent(const std::string& property, double twips) override;
  void SetProperty(const std::string& name, const Variant& value) override;
  Variant Invoke(const std::string& method, const std::vector<Variant>& args) override;
  void Teardown() noexcept;

 private:
  Win32ActiveX(std::string name, std::unique_ptr<OleHost> host, double tppX, double tppY);
  ComPtr<IDispatch> Automation() const;
  DISPID IdOf(IDispatch& automation, const std::string& member) const;

  std::string name_;
  std::unique_ptr<OleHost> host_;
  double tppX_;
  double tppY_;
  double left_ = 0;
  double top_ = 0;
  double width_ = 0;
  double height_ = 0;
};

}  // namespace tarnhold::platform::win32
