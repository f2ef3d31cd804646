#include "platform/linux/tray_record.h"

#include <glib.h>

namespace tarnhold::platform::linux_backend {

namespace {

constexpr std::size_t kRecordSize = 88;
constexpr std::size_t kTipOffset = 24;
constexpr std::size_t kTipSize = 64;

std::uint32_t Dword(const std::vector<std::uint8_t>& record, std::size_t offset) {
  return static_cast<std::uint32_t>(record[offset]) | static_cast<std::uint32_t>(record[offset + 1]) << 8 |
         static_cast<std::uint32_t>(record[offset + 2]) << 16 |
         static_cast<std::uint32_t>(record[offset + 3]) << 24;
}

}  // namespace

std::optional<TrayRecord> DecodeTrayRecord(const std::vector<std::uint8_t>& record) {
  if (record.size() != kRecordSize || Dword(record, 0) != kRecordSize) return std::nullopt;
  TrayRecord decoded;
  decoded.window = Dword(record, 4);
  std::string tip;
  for (std::size_t i = kTipOffset; i < kTipOffset + kTipSize && record[i] != 0; ++i) {
    tip += static_cast<char>(record[i]);
  }
  if (g_utf8_validate(tip.data(), static_cast<gssize>(tip.size()), nullptr)) {
    decoded.tip = tip;
    return decoded;
  }
  g_autofree gchar* converted = g_convert(tip.data(), static_cast<gssize>(tip.size()), "UTF-8", "ISO-8859-1",
                                          nullptr, nullptr, nullptr);
  decoded.tip = converted != nullptr ? converted : "";
  return decoded;
}

}  // namespace tarnhold::platform::linux_backend
