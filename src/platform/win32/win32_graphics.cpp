// GDI+ through its flat interface.
#include "platform/win32/win32_platform.h"

extern "C" {
int WINAPI GdiplusStartup(ULONG_PTR* token, const void* input, void* output);
void WINAPI GdiplusShutdown(ULONG_PTR token);
}

namespace tarnhold::platform::win32 {

namespace {

// The flat start-up record, version 1.
struct StartupInput {
  UINT32 GdiplusVersion;
  void* DebugEventCallback;
  BOOL SuppressBackgroundThread;
  BOOL SuppressExternalCodecs;
};

}  // namespace

int Win32Graphics::GdiplusStartup(std::uint32_t& token) {
  const StartupInput input{1, nullptr, FALSE, FALSE};
  ULONG_PTR got = 0;
  const int status = ::GdiplusStartup(&got, &input, nullptr);
  if (status == 0) {
    token = static_cast<std::uint32_t>(got);
    tokens_.insert(token);
  }
  return status;
}

void Win32Graphics::GdiplusShutdown(std::uint32_t token) {
  if (tokens_.erase(token) == 0) return;
  ::GdiplusShutdown(static_cast<ULONG_PTR>(token));
}

}  // namespace tarnhold::platform::win32
