#pragma once
#include <cstddef>
#include <memory>

#include "form.h"

namespace tarnhold {

// A tiny window on the login frame showing one of two pictures, normal or
// hover, chosen by its own timer from the pointer's position.
class FrameButton : public Form, private platform::ControlEvents {
 public:
  void Formload() override;
  void FormUnload() override;

  // The hover tick.
  void Timer1_Timer();

  platform::Timer& Timer1() const { return *timer1_; }
  platform::Control& Image1() const { return *image1_; }
  platform::Control& Image2() const { return *image2_; }

 protected:
  struct Pictures {
    const unsigned char* normal;
    std::size_t normalSize;
    const unsigned char* hover;
    std::size_t hoverSize;
  };
  FrameButton(Program& program, const char* name, double sizeTwips, Pictures pictures);
  // The window's own surface and both pictures do the same on a click.
  virtual void Pressed() = 0;

 private:
  void CreateControls() override;
  void CloseRequested() override;
  void Click() override;  // both the window's and the pictures'

  double sizeTwips_;
  Pictures pictures_;
  std::unique_ptr<platform::Timer> timer1_;
  platform::Control* image1_ = nullptr;
  platform::Control* image2_ = nullptr;
};

// Closes the program.
class Close_But final : public FrameButton {
 public:
  explicit Close_But(Program& program);

 private:
  void Pressed() override;
};

// Minimises the frame, and its owned windows with it.
class Small_But final : public FrameButton {
 public:
  explicit Small_But(Program& program);

 private:
  void Pressed() override;
};

}  // namespace tarnhold
