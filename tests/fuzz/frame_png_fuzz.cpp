// The login frame drawn from a bg.png of any bytes: its header and size are
// read, and the frame's pixels sized from them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarnhold::fuzz::Machine m;
  m.sim.RegisterProgId("ShockwaveFlash.ShockwaveFlash", "WIN 11,9,900,117");
  m.sim.AddFile("C:\\Veltrotarn\\bg.png", std::vector<std::uint8_t>(data, data + size));
  m.Start();
  return 0;
}
