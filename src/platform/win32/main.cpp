#include "platform/win32/win32_platform.h"
#include "program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int /*show*/) {
  using tarnhold::platform::win32::Dispatch;
  // Everything lives for the whole process: the program ends with
  // ExitProcess, never by returning from here.
  static tarnhold::platform::win32::Win32Platform* platform = nullptr;
  static tarnhold::Program* program = nullptr;
  Dispatch([&] {
    platform = new tarnhold::platform::win32::Win32Platform(instance);
    program = new tarnhold::Program(platform->context());
    program->Start();
  });
  if (program == nullptr) ::ExitProcess(1);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  ::ExitProcess(0);
}
