#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "form.h"

namespace tarnhold {

// The start-up window: its load handler is the whole start-up, and it then
// becomes the login frame.
class Form1 final : public Form {
 public:
  explicit Form1(Program& program);

  void Formload() override;
  void FormUnload() override;

  // The unload handler, run when the system closes the window. It ends the
  // program; the cancel argument is never set.
  void Form_Unload(int& cancel);
  // A close request from the system runs the unload handler.
  void CloseRequested() override;

  std::string ChooseDrive();

  // The placement tick: keeps the login page and the two buttons glued to
  // their places on the frame.
  void Timer1_Timer();

  platform::Timer& Timer1() const { return *timer1_; }

  bool UninstallOnExit = false;
  std::uint32_t GdiplusToken = 0;

  platform::GdiHandle FrameDC = 0;
  platform::GdiHandle FrameBitmap = 0;
  platform::GdiHandle PreviousBitmap = 0;
  platform::BlendFunction FrameBlend{};

 private:
  void CreateControls() override;
  void Form_Load() override;
  // Any button on a visible pixel drags the frame.
  void MouseDown(int button, int shift, double x, double y) override;

  void SetupClient();
  // A download is stored only when its SHA-256 is `sha256`; empty: any.
  void EnsureLocalFile(const std::string& resourceType, const std::string& localName,
                       const std::string& serverPath, const std::string& sha256 = "");
  // True when the Flash control's version text is older than 11.9; raises when
  // the text cannot be read as a version.
  static bool FlashTooOld(const std::string& versionText);
  void InstallFlash();
  void RegisterInstall();
  // The desktop or the Start menu's Programs folder, by every lookup in turn.
  std::string FindSpecialFolder(const std::unique_ptr<platform::ScriptShell>& shell, bool programs);
  void SaveShortcut(const std::unique_ptr<platform::ScriptShell>& shell, const std::string& path,
                    const std::string& target, const std::string& arguments);
  std::int16_t DrawFrameImage(const std::string& path);
  void ReleaseFrame();
  void Uninstall();

  std::unique_ptr<platform::Timer> timer1_;
};

}  // namespace tarnhold
