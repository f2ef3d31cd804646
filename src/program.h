#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/context.h"

namespace tarnhold {

class Form1;
class Form2;
class Form3;
class Close_But;
class Small_But;

// Owns the five windows. Each is created, and its load handler run, on the
// first access; later accesses reuse it.
class Program {
 public:
  explicit Program(platform::Context& context);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // There is no main procedure: creating the start-up window runs the start-up.
  void Start();

  Form1& form1();
  Form2& form2();
  Form3& form3();
  Close_But& close_But();
  Small_But& small_But();

  platform::Context& ctx;

  // The full path of the data folder, without a trailing backslash.
  std::string DataFolder;

  // The SHA-256 (lowercase hex) that a downloaded Flash control must have;
  // empty when the build names none, and then any whole body is taken.
  std::string FlashSha256;

 private:
  template <class F>
  F& Ensure(std::unique_ptr<F>& slot);

  std::unique_ptr<Form1> form1_;
  std::unique_ptr<Form2> form2_;
  std::unique_ptr<Form3> form3_;
  std::unique_ptr<Close_But> closeBut_;
  std::unique_ptr<Small_But> smallBut_;
};

}  // namespace tarnhold
