#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "game/form3.h"
#include "login/form2.h"
#include "login/frame_buttons.h"
#include "platform/sim/sim_platform.h"
#include "program.h"
#include "startup/form1.h"

namespace tarnhold::testing {

using platform::sim::ProgramEnded;
using platform::sim::SimPlatform;
using Lines = std::vector<std::string>;

// A machine and a program on it, not yet started.
struct Machine {
  SimPlatform sim;
  Program program{sim.context()};

  // A handler the system abandoned is a fault of the behaviour's, which the
  // backends only log: here it fails the test that caused it.
  ~Machine() { EXPECT_EQ(sim.TraceOf({"Handler.Failed"}), Lines{}); }

  // Runs the start-up; true when it ended the program.
  bool Start() {
    try {
      program.Start();
      return false;
    } catch (const ProgramEnded&) {
      return true;
    }
  }
};

// For a trace whose other lines are none of the test's business (a line that
// must not appear: TraceOf(...).empty()): the lines come in this order, with
// others between them or not.
inline ::testing::AssertionResult InOrder(const Lines& trace, const Lines& lines) {
  auto at = trace.begin();
  for (const std::string& line : lines) {
    if ((at = std::find(at, trace.end(), line)) == trace.end())
      return ::testing::AssertionFailure()
             << line << ", in order, is not in " << ::testing::PrintToString(trace);
    ++at;
  }
  return ::testing::AssertionSuccess();
}

}  // namespace tarnhold::testing
