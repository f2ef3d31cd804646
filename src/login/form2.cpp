#include "login/form2.h"

#include "program.h"
#include "startup/form1.h"

namespace tarnhold {

Form2::Form2(Program& program) : Form(program, FormDesign("Form2", 9300, 6240)) {}

// Errors are not trapped here: a failure ends the handler and goes to the
// statement of the start-up that caused the load.
void Form2::Form_Load() { program_.form1().Window().Show(nullptr); }

// The login page is where the player types, so Alt+F4 lands here: it closes
// the login screen as closing the frame does.
void Form2::CloseRequested() { program_.form1().CloseRequested(); }

void Form2::Formload() { HandOverDone = false; }
void Form2::FormUnload() { HandOverDone = true; }

}  // namespace tarnhold
