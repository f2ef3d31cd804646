#pragma once
// A control that writes down every call the container makes, for checking the
// container's side of the hosting protocol, and a factory that counts what the
// system's own classes hand out. Both live in the test process only.
#include "platform/win32/win32_ole.h"

#include <string>
#include <vector>

namespace tarnhold::winetest {

using platform::win32::ComPtr;

// Everything the test controls were asked, in order, across all of them.
std::vector<std::string>& ControlLog();
// How many test controls exist right now.
int LiveTestControls();

// The test control's class, registered for this process only (and, for its
// ProgID, in the registry until Unregister). Serves any CLSID it is
// registered under; with events it also offers DWebBrowserEvents2.
class TestControlClass final : public IClassFactory {
 public:
  TestControlClass(const CLSID& clsid, bool withEvents);
  ~TestControlClass();
  TestControlClass(const TestControlClass&) = delete;
  TestControlClass& operator=(const TestControlClass&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

  // Fires an event at every sink advised on the controls it made.
  void Fire(DISPID id, DISPPARAMS& params);

 private:
  DWORD cookie_ = 0;
  bool withEvents_;
};

// Registers a ProgID for a CLSID under HKLM\Software\Classes (Wine 8 does not
// merge HKCU's classes) and removes it again.
class ProgIdKey {
 public:
  ProgIdKey(const std::wstring& progId, const CLSID& clsid);
  ~ProgIdKey();
  ProgIdKey(const ProgIdKey&) = delete;
  ProgIdKey& operator=(const ProgIdKey&) = delete;

 private:
  std::wstring progId_;
};

// Stands in for the system's class of a CLSID, creates its real objects and
// keeps one reference to each, so that a test can release that last one itself
// and see from Release's answer whether anyone else still holds the object.
class CountingClass final : public IClassFactory {
 public:
  explicit CountingClass(const CLSID& clsid);
  ~CountingClass();
  CountingClass(const CountingClass&) = delete;
  CountingClass& operator=(const CountingClass&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  STDMETHODIMP LockServer(BOOL lock) override { return real_->LockServer(lock); }

  // How many objects it has made in all.
  std::size_t Made() const { return total_; }
  // The test's own reference to the latest object, handed over.
  IUnknown* TakeLatest();

 private:
  ComPtr<IClassFactory> real_;
  std::vector<IUnknown*> made_;
  std::size_t total_ = 0;
  DWORD cookie_ = 0;
};

}  // namespace tarnhold::winetest
