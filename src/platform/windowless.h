#pragma once
// What every backend's windowless image or label control keeps: the
// properties the form set, in twips, and the pixels they cover. How it is
// drawn, and how a part of its form is drawn again, is the backend's.
#include "platform/window.h"

namespace tarnhold::platform {

class WindowlessControl : public Control {
 public:
  WindowlessControl(const ControlDesign& design, ControlEvents* events, double twipsPerPixelX,
                    double twipsPerPixelY);

  const std::string& Name() const final { return name_; }
  bool Visible() const final { return visible_; }
  void SetVisible(bool visible) final;
  double Left() const final { return left_; }
  void SetLeft(double twips) final { Changed(left_, twips); }
  double Top() const final { return top_; }
  void SetTop(double twips) final { Changed(top_, twips); }
  double Width() const final { return width_; }
  void SetWidth(double twips) final { Changed(width_, twips); }
  double Height() const final { return height_; }
  void SetHeight(double twips) final { Changed(height_, twips); }
  MousePointer Pointer() const final { return pointer_; }
  void SetPointer(MousePointer pointer) final { pointer_ = pointer; }
  std::string Caption() const final { return caption_; }
  void SetCaption(const std::string& text) final;

  ControlEvents* Events() const { return events_; }
  bool IsLabel() const { return kind_ == ControlKind::Label; }
  std::uint32_t ForeColor() const { return foreColor_; }  // 0xRRGGBB
  // The pixels the control covers on its form.
  PixelRect Pixels() const;

 protected:
  // These pixels of the form show something else now.
  virtual void Repaint(const PixelRect& pixels) = 0;

 private:
  void Changed(double& field, double value);

  std::string name_;
  ControlKind kind_;
  std::uint32_t foreColor_;
  ControlEvents* events_;
  bool visible_;
  double left_, top_, width_, height_;
  double tppX_, tppY_;
  MousePointer pointer_ = MousePointer::Default;
  std::string caption_;
};

}  // namespace tarnhold::platform
