#pragma once
#include "form.h"

namespace tarnhold {

// The game window.
class Form3 final : public Form {
 public:
  explicit Form3(Program& program);

  void Formload() override;
  void FormUnload() override;

 private:
  void Form_Load() override;
  // A close request from the system returns to the login screen, exactly like
  // the toolbar's close button; the game window never ends the program.
  void CloseRequested() override;
  void BackToLogin();
};

}  // namespace tarnhold
