#include <cstdint>
#include <string>
#include <string_view>

#include "mod_main.h"
#include "program.h"

namespace tarnhold::modMain {

namespace {

// UTF-8 into UTF-16 code units; a malformed sequence becomes U+FFFD.
std::u16string Utf16(const std::string& text) {
  std::u16string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80           ? 1
                         : (lead >> 5) == 0x6  ? 2
                         : (lead >> 4) == 0xE  ? 3
                         : (lead >> 3) == 0x1E ? 4
                                               : 0;
    char32_t cp = length == 1 ? lead : length == 2 ? lead & 0x1FU : length == 3 ? lead & 0x0FU : lead & 0x07U;
    bool valid = length != 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      cp = (cp << 6) | (next & 0x3FU);
    }
    if (!valid || cp > 0x10FFFF) {
      out.push_back(u'\xFFFD');
      i += 1;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += length;
  }
  return out;
}

std::string Hex(unsigned value) {
  static constexpr std::string_view kDigits = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), kDigits.at(value & 0xF));
    value >>= 4;
  } while (value != 0);
  return out;
}

}  // namespace

std::string UrlEscape(Program& program, const std::string& text) {
  std::string escaped;
  for (const char16_t unit : Utf16(text)) {
    const unsigned code = program.ctx.Ansi().AnsiCode(unit);
    // The code read as a signed 16-bit value is negative exactly for a
    // double-byte character, whose lead byte is 0x80 or above.
    if (static_cast<std::int16_t>(static_cast<std::uint16_t>(code)) < 0) {
      escaped += Hex(unit);
    } else if ((unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z')) {
      escaped.push_back(static_cast<char>(unit));
    } else {
      escaped += "%" + Hex(code);
    }
  }
  return escaped;
}

}  // namespace tarnhold::modMain
