// UrlEscape and the launcher address's split in JumpToGame, under the ANSI
// code pages 1252, 936 and 65001. The first byte picks the code page.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "constants.h"
#include "fuzz_support.h"
#include "mod_main.h"

namespace {

using tarnhold::fuzz::Machine;
using tarnhold::fuzz::Require;

// One machine, on the game screen with a Flash control, for every input.
Machine& Game() {
  static std::unique_ptr<Machine> machine = [] {
    auto m = std::make_unique<Machine>();
    m->sim.RegisterProgId("ShockwaveFlash.ShockwaveFlash", "WIN 11,9,900,117");
    m->Start();
    return m;
  }();
  return *machine;
}

bool Escaped(const std::string& text) {
  for (const char c : text) {
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    const bool digit = c >= '0' && c <= '9';
    if (!letter && !digit && c != '%') return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static constexpr int kCodePages[] = {1252, 936, 65001};
  Machine& m = Game();
  m.sim.SetCodePage(kCodePages[data[0] % 3]);
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  const std::string escaped = tarnhold::modMain::UrlEscape(m.program, text);
  Require(Escaped(escaped), "only letters, digits and % come out", text);

  // As the launcher page's address, and as any address at all.
  tarnhold::Form3& game = m.program.form3();
  game.JumpToGame(std::string(tarnhold::ContentBaseUrl) + "/bin/Kestrune.html?" + text);
  game.JumpToGame(text);
  m.sim.ClearTrace();
  return 0;
}
