// The Linux tray's decoder of the shell's notification record.
#include <glib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/linux/tray_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> record(data, data + size);
  const auto decoded = tarnhold::platform::linux_backend::DecodeTrayRecord(record);
  if (decoded && !g_utf8_validate(decoded->tip.data(), static_cast<gssize>(decoded->tip.size()), nullptr)) {
    std::fprintf(stderr, "property broken: the tip is not UTF-8\n");
    std::abort();
  }
  return 0;
}
