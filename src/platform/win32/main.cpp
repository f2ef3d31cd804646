#include "platform/win32/client_main.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int /*show*/) {
  tarnhold::platform::win32::RunClient(instance, nullptr);
}
