#pragma once
// Library loading and the registration worker.
#include <cstdint>
#include <string>

namespace tarnhold::platform {

using ModuleHandle = std::uintptr_t;
using ThreadHandle = std::uintptr_t;
using ProcAddress = std::uintptr_t;

inline constexpr std::uint32_t kWaitObject0 = 0;
inline constexpr std::uint32_t kWaitTimeout = 258;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFU;

class Libraries {
 public:
  virtual ~Libraries() = default;
  // 0 when it fails, as the kernel32 calls answer.
  virtual ModuleHandle Load(const std::string& path) = 0;
  virtual ProcAddress Export(ModuleHandle module, const std::string& name) = 0;
  // A thread started at `start` with no parameter; 0 when none could be made.
  virtual ThreadHandle StartThread(ProcAddress start) = 0;
  virtual std::uint32_t Wait(ThreadHandle thread, std::uint32_t milliseconds) = 0;
  virtual void Close(ThreadHandle handle) = 0;
  virtual void Free(ModuleHandle module) = 0;
};

}  // namespace tarnhold::platform
