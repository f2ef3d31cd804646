#pragma once
#include "form.h"

namespace tarnhold {

// The login page: a borderless window that holds the platform's login page.
class Form2 final : public Form {
 public:
  explicit Form2(Program& program);

  void Formload() override;
  void FormUnload() override;

  // True once the current login has been handed over, and whenever the login
  // screen is not shown: no navigation is then taken as a login.
  bool HandOverDone = false;

 private:
  void Form_Load() override;
  void CloseRequested() override;
};

}  // namespace tarnhold
