#include "game/form3.h"
#include "login/form2.h"
#include "login/frame_buttons.h"
#include "mod_main.h"
#include "program.h"
#include "startup/form1.h"

namespace tarnhold::modMain {

void SwitchScreen(Program& program, const std::int32_t& mode) {
  if (mode == 1) {
    program.form1().Window().Hide();
    program.form1().FormUnload();
    program.form2().Window().Hide();
    program.form2().FormUnload();
    program.close_But().Window().Hide();
    program.close_But().FormUnload();
    program.small_But().Window().Hide();
    program.small_But().FormUnload();
    program.form3().Window().Show(nullptr);
    program.form3().Formload();
    return;
  }
  // Ownership stacks the login page at the bottom, the frame above it and the
  // two buttons above the frame.
  program.form2().Window().Show(nullptr);
  program.form2().Formload();
  program.form1().Window().Show(&program.form2().Window());
  program.form1().Formload();
  program.close_But().Window().Show(&program.form1().Window());
  program.close_But().Formload();
  program.small_But().Window().Show(&program.form1().Window());
  program.small_But().Formload();
  program.form3().Window().Hide();
  program.form3().FormUnload();
}

}  // namespace tarnhold::modMain
