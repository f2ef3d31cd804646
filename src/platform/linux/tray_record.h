#pragma once
// The notification icon's record as the shell's ANSI call takes it: 88 bytes,
// its own size first, the window at 4, the tip's 64 bytes at 24.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnhold::platform::linux_backend {

struct TrayRecord {
  std::uint32_t window = 0;
  std::string tip;  // UTF-8
};

// Nothing for a record of another size, or whose size field says another.
// The tip runs to its NUL or the field's end; shown as UTF-8 where it is
// valid, else as Latin-1, which every byte is.
std::optional<TrayRecord> DecodeTrayRecord(const std::vector<std::uint8_t>& record);

}  // namespace tarnhold::platform::linux_backend
