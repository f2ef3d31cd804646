// The Linux client's map from Windows paths to its own: no path on C: leads
// out of the data home, and what comes back is a path of the map's own.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/error.h"
#include "platform/linux/linux_paths.h"

namespace {

using tarnhold::platform::linux_backend::PathMap;

const PathMap& Map() {
  static const PathMap map("/tmp/tarnhold-fuzz-" + std::to_string(::getpid()) + "/data home");
  return map;
}

void Require(bool holds, const char* what, const std::string& input) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\ninput: %s\n", what, input.c_str());
  std::abort();
}

bool HasDotDot(const std::string& path) {
  return path == ".." || path.find("/../") != std::string::npos || path.rfind("../", 0) == 0 ||
         (path.size() >= 3 && path.compare(path.size() - 3, 3, "/..") == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string windows(reinterpret_cast<const char*>(data), size);
  const PathMap& map = Map();
  const auto native = map.ToNative(windows);
  if (!native) return 0;
  Require(!HasDotDot(*native), "no .. in a mapped path", windows);
  const bool onC = windows.size() >= 2 && (windows[0] == 'c' || windows[0] == 'C') && windows[1] == ':';
  if (onC) {
    Require(native->rfind(map.DataHome(), 0) == 0 &&
                (native->size() == map.DataHome().size() || (*native)[map.DataHome().size()] == '/'),
            "a path on C: stays in the data home", windows);
  }
  try {
    const std::string back = map.FromNative(*native);
    Require(back.size() >= 3 && back[1] == ':' && back[2] == '\\', "mapped back to a drive's path", windows);
  } catch (const tarnhold::platform::Error&) {
    Require(false, "a mapped path maps back", windows);
  }
  return 0;
}
