#pragma once
// What the fuzz targets share: a machine on the simulated platform with the
// program on it, and a check that fails the run as a sanitizer would.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "game/form3.h"
#include "login/form2.h"
#include "platform/sim/sim_platform.h"
#include "program.h"

namespace tarnhold::fuzz {

struct Machine {
  platform::sim::SimPlatform sim;
  Program program{sim.context()};
  // The start-up; false when it ended the program.
  bool Start() {
    try {
      program.Start();
      return true;
    } catch (const platform::sim::ProgramEnded&) {
      return false;
    }
  }
};

// A property of the result that must hold for every input.
inline void Require(bool holds, const char* what, const std::string& input) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\ninput: %s\n", what, input.c_str());
  std::abort();
}

}  // namespace tarnhold::fuzz
