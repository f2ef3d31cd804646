#include "game/form3.h"

#include "mod_main.h"
#include "program.h"

namespace tarnhold {

Form3::Form3(Program& program) : Form(program, FormDesign("Form3", 15000, 10500)) {}

// The game window's controls, its placement on the work area and the game's
// start and stop arrive with the game window itself.
void Form3::Form_Load() {}
void Form3::Formload() {}
void Form3::FormUnload() {}

void Form3::CloseRequested() { BackToLogin(); }

void Form3::BackToLogin() {
  const std::int32_t loginScreen = 0;
  modMain::SwitchScreen(program_, loginScreen);
}

}  // namespace tarnhold
