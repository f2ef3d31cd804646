#pragma once
// The commands that act once the program has ended: a shell of their own,
// started with the first of them, that reads its input to the end and only
// then runs what it was given, in order.
#include <mutex>
#include <string>

namespace tarnhold::platform::linux_backend {

class AfterEndRunner {
 public:
  AfterEndRunner() = default;
  // The input is left open: the commands wait for the process, which closes
  // it by ending, not for this object.
  ~AfterEndRunner() = default;
  AfterEndRunner(const AfterEndRunner&) = delete;
  AfterEndRunner& operator=(const AfterEndRunner&) = delete;

  // One shell command line. Throws platform::Error when the runner cannot be
  // started or has gone.
  void Add(const std::string& line);

 private:
  std::mutex lock_;
  // Our end of the runner's input; -1 until the first command.
  int input_ = -1;
};

}  // namespace tarnhold::platform::linux_backend
