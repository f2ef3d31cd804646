#include "program.h"

#include "game/form3.h"
#include "login/form2.h"
#include "login/frame_buttons.h"
#include "startup/form1.h"

namespace tarnhold {

platform::WindowDesign FormDesign(const char* name, double clientWidth, double clientHeight,
                                  platform::ScaleUnit scaleUnit) {
  platform::WindowDesign design;
  design.name = name;
  design.clientWidth = clientWidth;
  design.clientHeight = clientHeight;
  design.scaleUnit = scaleUnit;
  return design;
}

Form::Form(Program& program, platform::WindowDesign design)
    : program_(program), ctx_(program.ctx), design_(std::move(design)) {}

Form::~Form() = default;

void Form::Create() {
  window_ = ctx_.Windows().NewWindow(design_, *this);
  CreateControls();
}

namespace {
// The build's TARNHOLD_FLASH_SHA256, lowercase; empty when it names none.
constexpr const char* kFlashSha256 = TARNHOLD_FLASH_SHA256;
}  // namespace

Program::Program(platform::Context& context) : ctx(context), FlashSha256(kFlashSha256) {}

// Windows go before the forms that receive their events; the start-up window,
// owner of the others' places, goes last.
Program::~Program() {
  form3_.reset();
  smallBut_.reset();
  closeBut_.reset();
  form2_.reset();
  form1_.reset();
}

void Program::Start() { form1(); }

template <class F>
F& Program::Ensure(std::unique_ptr<F>& slot) {
  if (!slot) {
    auto form = std::make_unique<F>(*this);
    static_cast<Form&>(*form).Create();
    // Stored before the load handler runs, so that the handler and whatever it
    // calls find this same window instead of making a second one.
    slot = std::move(form);
    static_cast<Form&>(*slot).Form_Load();
  }
  return *slot;
}

Form1& Program::form1() { return Ensure(form1_); }
Form2& Program::form2() { return Ensure(form2_); }
Form3& Program::form3() { return Ensure(form3_); }
Close_But& Program::close_But() { return Ensure(closeBut_); }
Small_But& Program::small_But() { return Ensure(smallBut_); }

}  // namespace tarnhold
