#include "platform/win32/client_main.h"

#include "platform/win32/win32_log.h"
#include "platform/win32/win32_platform.h"
#include "program.h"

namespace tarnhold::platform::win32 {

void RunClient(HINSTANCE instance, const std::function<void(Program&)>& started) {
  TraceHandlerFailures();
  // Everything lives for the whole process: the program ends with
  // ExitProcess, never by unwinding from here.
  Win32Platform* platform = nullptr;
  Program* program = nullptr;
  Dispatch({"Program", "Start"}, [&] {
    platform = new Win32Platform(instance);
    program = new Program(platform->context());
    program->Start();
  });
  if (program == nullptr) ::ExitProcess(1);
  if (started) Dispatch({"Program", "Started"}, [&] { started(*program); });
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  ::ExitProcess(0);
}

}  // namespace tarnhold::platform::win32
