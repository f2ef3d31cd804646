#pragma once
// A character's code in an ANSI code page, from the code page's own tables
// through iconv: for the platforms that have iconv (the simulator and Linux).

namespace tarnhold::platform {

// One byte, or a double-byte code with its lead byte high; 0x3F ("?") for a
// character the code page cannot hold: no look-alike (iconv without
// //TRANSLIT), as the system's conversion without best fit answers. Throws
// Error when iconv knows no such code page (e.g. "CP1252", "CP936").
unsigned AnsiCodeThroughIconv(const char* codePage, char16_t unit);

}  // namespace tarnhold::platform
