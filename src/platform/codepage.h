#pragma once

namespace tarnhold::platform {

class CodePage {
 public:
  virtual ~CodePage() = default;
  // The character's code in the ANSI code page: one byte (0..255), or a
  // double-byte code with its lead byte in the high byte; 0x3F ("?") for a
  // character the code page cannot represent.
  virtual unsigned AnsiCode(char16_t unit) const = 0;
};

}  // namespace tarnhold::platform
