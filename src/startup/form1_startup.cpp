#include <string>

#include "constants.h"
#include "game/form3.h"
#include "login/form2.h"
#include "login/frame_buttons.h"
#include "mod_main.h"
#include "program.h"
#include "startup/form1.h"

namespace tarnhold {

using platform::ResumeNext;

namespace {

// Form1 draws in pixels; its client area is designed at 1050 x 630 pixels.
platform::WindowDesign Form1Design() {
  platform::WindowDesign design = FormDesign("Form1", 15750, 9450, platform::ScaleUnit::Pixels);
  design.programIcon = true;
  return design;
}

// The uninstall entry and the uninstall shortcut start the program with this.
constexpr const char* kUninstallArgument = "del";

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

Form1::Form1(Program& program) : Form(program, Form1Design()) {}

void Form1::CreateControls() {
  timer1_ = Window().AddTimer(10, true, [this] { Timer1_Timer(); });
}

void Form1::Form_Load() {
  // An uninstall start leaves before anything is chosen, fetched, installed
  // or shown: unloading the window runs the unload handler, which uninstalls
  // and ends the program. A command line that cannot be read is no uninstall.
  bool uninstallStart = false;
  ResumeNext([&] { uninstallStart = Trimmed(ctx_.Program().CommandLine()) == kUninstallArgument; });
  if (uninstallStart) {
    UninstallOnExit = true;
    int cancel = 0;
    Form_Unload(cancel);
    return;
  }

  Program& p = program_;
  ResumeNext([&] { p.DataFolder = ChooseDrive() + "\\" + DataFolderName; });
  ResumeNext([&] {
    const std::string ownFolder = ctx_.Program().Folder();
    if (std::string(BuildFolder).find(ownFolder) != std::string::npos) p.DataFolder = ownFolder;
  });
  ResumeNext([&] {
    if (!ctx_.FileSystem().Exists(p.DataFolder)) ctx_.FileSystem().CreateFolder(p.DataFolder);
  });
  ResumeNext([&] { SetupClient(); });

  // Anything but a reported success skips the frame drawing.
  int gdiplusStatus = -1;
  ResumeNext([&] {
    std::uint32_t token = 0;
    gdiplusStatus = ctx_.Gdi().GdiplusStartup(token);
    GdiplusToken = token;
  });
  ResumeNext([&] {
    if (gdiplusStatus == 0) DrawFrameImage(p.DataFolder + "\\bg.png");
  });

  ResumeNext([&] { Window().SetCaption(GameTitle); });
  // The first access loads each window and runs its load handler.
  ResumeNext([&] { p.form2().Window().SetCaption(GameTitle); });
  ResumeNext([&] { p.form3().Window().SetCaption(GameTitle); });
  ResumeNext([&] { p.small_But().Window().SetCaption(GameTitle); });
  ResumeNext([&] { p.close_But().Window().SetCaption(GameTitle); });
  ResumeNext([&] { p.form2().Window().SetIcon(Window().Icon()); });
  ResumeNext([&] { p.form3().Window().SetIcon(Window().Icon()); });
  ResumeNext([&] { p.small_But().Window().SetIcon(Window().Icon()); });
  ResumeNext([&] { p.close_But().Window().SetIcon(Window().Icon()); });

  // One pixel right of and below the exact centre.
  ResumeNext([&] {
    const platform::Screen& screen = ctx_.Windows().GetScreen();
    const double tppX = screen.TwipsPerPixelX();
    Window().SetLeft((screen.Width() - Window().ScaleWidth() * tppX) / 2 + tppX);
  });
  ResumeNext([&] {
    const platform::Screen& screen = ctx_.Windows().GetScreen();
    const double tppY = screen.TwipsPerPixelY();
    Window().SetTop((screen.Height() - Window().ScaleHeight() * tppY) / 2 + tppY);
  });
  ResumeNext([&] { Timer1_Timer(); });
  ResumeNext([&] {
    const std::int32_t loginScreen = 0;
    modMain::SwitchScreen(p, loginScreen);
  });
}

void Form1::Form_Unload(int& /*cancel*/) {
  ResumeNext([&] { ctx_.Gdi().GdiplusShutdown(GdiplusToken); });
  ResumeNext([&] { ReleaseFrame(); });
  ResumeNext([&] {
    if (UninstallOnExit) Uninstall();
  });
  ctx_.Program().End();
}

void Form1::CloseRequested() {
  int cancel = 0;
  Form_Unload(cancel);
}

void Form1::Formload() { Timer1().SetEnabled(true); }
void Form1::FormUnload() { Timer1().SetEnabled(false); }

}  // namespace tarnhold
