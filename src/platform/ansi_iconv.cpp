#include "platform/ansi_iconv.h"

#include <iconv.h>

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace tarnhold::platform {

unsigned AnsiCodeThroughIconv(const char* codePage, char16_t unit) {
  // Windows-1252 leaves five bytes unassigned, and the system's table maps
  // each to the control character of its own number, both ways; iconv's
  // table knows them not.
  const std::string_view name = codePage;
  if ((name == "CP1252" || name == "WINDOWS-1252") &&
      (unit == 0x81 || unit == 0x8D || unit == 0x8F || unit == 0x90 || unit == 0x9D)) {
    return unit;
  }
  iconv_t converter = ::iconv_open(codePage, "UTF-16LE");
  // iconv_open answers (iconv_t)-1 on failure.
  // NOLINTNEXTLINE(performance-no-int-to-ptr): that is the documented failure value
  if (converter == reinterpret_cast<iconv_t>(-1))
    throw Error(std::string("no conversion to code page ") + codePage);
  std::array<char, 2> in = {static_cast<char>(unit & 0xFFU), static_cast<char>(unit >> 8U)};
  std::array<char, 8> out{};
  char* inPtr = in.data();
  char* outPtr = out.data();
  std::size_t inLeft = in.size();
  std::size_t outLeft = out.size();
  const std::size_t done = ::iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
  ::iconv_close(converter);
  const std::size_t bytes = out.size() - outLeft;
  if (done == static_cast<std::size_t>(-1) || bytes == 0) return 0x3F;
  const auto lead = static_cast<unsigned char>(out[0]);
  if (bytes == 1) return lead;
  return (static_cast<unsigned>(lead) << 8U) | static_cast<unsigned char>(out[1]);
}

}  // namespace tarnhold::platform
