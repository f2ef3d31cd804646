#pragma once

namespace tarnhold::platform {

class CodePage {
 public:
  virtual ~CodePage() = default;
  // The character's code in the ANSI code page: one byte (0..255), or a
  // double-byte code with its lead byte in the high byte; 0x3F ("?") for a
  // character the code page cannot represent. A code page that writes a
  // character in more bytes (UTF-8) gives its first two, as a double-byte
  // code is given.
  virtual unsigned AnsiCode(char16_t unit) const = 0;
};

}  // namespace tarnhold::platform
