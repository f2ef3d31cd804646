// The Flash version check on whatever text GetVariable("$version") returns:
// a start-up with a control that answers the input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string version(reinterpret_cast<const char*>(data), size);
  tarnhold::fuzz::Machine m;
  m.sim.RegisterProgId("ShockwaveFlash.ShockwaveFlash", version);
  m.Start();
  return 0;
}
