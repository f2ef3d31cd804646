// The Linux client: the behaviour on GTK 3, WebKitGTK and Ruffle.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>

#include "platform/linux/linux_graphics.h"
#include "platform/linux/linux_log.h"
#include "platform/linux/linux_system.h"
#include "platform/linux/linux_tray.h"
#include "platform/linux/linux_web.h"
#include "platform/linux/linux_windows.h"
#include "program.h"

using namespace tarnhold::platform;
using namespace tarnhold::platform::linux_backend;

int main(int argc, char** argv) {
  Log("start", "");
  TraceHandlerFailures();
  // The windows are placed by the program itself, in pixels of the screen.
  gdk_set_allowed_backends("x11");
  if (!gtk_init_check(&argc, &argv)) {
    // Started from a desktop entry, this is the one word the player's
    // session keeps of why nothing showed.
    std::fputs(
        "Veltrotarn: this program needs an X11 display (Xwayland on a Wayland desktop), and none "
        "could be opened; DISPLAY names it\n",
        stderr);
    Log("no-display", "");
    return EXIT_FAILURE;
  }
  g_set_prgname("tarnhold");
  g_set_application_name("Tarnhold");

  // Everything lives for the whole process: the program ends with its End,
  // never by unwinding from here.
  auto* system = new LinuxSystem(argc, argv);
  auto* windows = new LinuxRuntime(system->paths());
  auto* graphics = new LinuxGraphics(*windows);
  auto* tray = new TrayIcon(*windows);
  system->program().atEnd = [tray] { tray->RemoveIconFile(); };
  system->shell().clearBrowsingData = [windows] { windows->Web().ClearBrowsingData(); };
  auto* context = new Context;
  system->Fill(*context);
  context->windows = windows;
  context->graphics = graphics;
  tarnhold::Program* program = nullptr;
  Dispatch({"Program", "Start"}, [&] {
    program = new tarnhold::Program(*context);
    program->Start();
  });
  if (program == nullptr) return 1;
  Log("started", "");
  gtk_main();
  std::_Exit(0);
}
