#pragma once
// Downloads, the executable's own resources, and library loading with the
// registration worker, on the real system.
#include "platform/content.h"
#include "platform/library.h"

namespace tarnhold::platform::win32 {

// WinINet rather than URLDownloadToFile: it hands over the final status and
// the announced length exactly, and it can be kept from writing a cache copy.
class Win32Downloads final : public Downloads {
 public:
  DownloadResult Fetch(const std::string& url, const std::string& path) override;
};

// Resources of the executable itself.
class Win32Resources final : public Resources {
 public:
  std::vector<std::uint8_t> Load(const std::string& type, int id) override;
};

class Win32Libraries final : public Libraries {
 public:
  ModuleHandle Load(const std::string& path) override;
  ProcAddress Export(ModuleHandle module, const std::string& name) override;
  // `start` is taken to be an export without parameters, like
  // DllRegisterServer; its result becomes the thread's exit code.
  ThreadHandle StartThread(ProcAddress start) override;
  std::uint32_t Wait(ThreadHandle thread, std::uint32_t milliseconds) override;
  void Close(ThreadHandle handle) override;
  void Free(ModuleHandle module) override;
};

}  // namespace tarnhold::platform::win32
