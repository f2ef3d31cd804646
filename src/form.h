#pragma once
#include <memory>

#include "platform/context.h"

namespace tarnhold {

class Program;

// A window as designed: its name and client size in twips.
platform::WindowDesign FormDesign(const char* name, double clientWidth, double clientHeight,
                                  platform::ScaleUnit scaleUnit = platform::ScaleUnit::Twips);

// One window of the program. The Program creates it on first use, then runs
// its load handler; hiding never unloads it.
class Form : public platform::WindowEvents {
 public:
  Form(Program& program, platform::WindowDesign design);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  platform::Window& Window() const { return *window_; }

  // Called by the screen switch right after showing / hiding the window.
  virtual void Formload() = 0;
  virtual void FormUnload() = 0;

 protected:
  friend class Program;

  // Makes the native window (hidden) and the window's controls.
  void Create();
  virtual void CreateControls() {}
  // The load handler: runs once, right after the window has been created.
  virtual void Form_Load() {}

  Program& program_;
  platform::Context& ctx_;

 private:
  platform::WindowDesign design_;
  std::unique_ptr<platform::Window> window_;
};

}  // namespace tarnhold
