#pragma once
#include <stdexcept>
#include <string>

namespace tarnhold::platform {

// A platform operation failed the way the runtime would raise a run-time error.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& what);
};

// Runs one statement of an error-skipping procedure: a failing statement is
// abandoned and the caller goes on with the next. Only platform::Error is
// swallowed; anything else (the end of the program, a bug) keeps travelling.
template <class Statement>
void ResumeNext(Statement&& statement) {
  try {
    statement();
  } catch (const Error&) {
  }
}

}  // namespace tarnhold::platform
