// UrlEscape and the launcher address's split in JumpToGame, under the ANSI
// code pages 1252, 936 and 65001. The first byte picks the code page.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

// The keys of the flash variables, in order; the host's value decoded.
std::vector<std::string> Keys(const std::string& vars, std::string& host) {
  std::vector<std::string> keys;
  std::size_t start = 0;
  for (;;) {
    const auto end = vars.find('&', start);
    const std::string pair = vars.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const auto equals = pair.find('=');
    keys.push_back(pair.substr(0, equals));
    if (keys.back() == "host" && equals != std::string::npos) host = pair.substr(equals + 1);
    if (end == std::string::npos) return keys;
    start = end + 1;
  }
}

std::string Decoded(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// Exactly the six variables, each once, whatever the address holds before
// the launcher path; a host with a separator reads back as it was, one
// without is passed as it stands.
void CheckFlashVars(Machine& m, const std::string& address) {
  auto* flash = m.sim.WindowNamed("Form3").ActiveXNamed("flash");
  Require(flash != nullptr && !flash->Properties().empty(), "a player with its flash variables", address);
  const std::string first = flash->Properties().front();
  const std::string prefix = "flashVars=";
  Require(first.rfind(prefix, 0) == 0, "the flash variables come first", address);
  std::string host;
  const std::vector<std::string> keys = Keys(first.substr(prefix.size()), host);
  Require(keys == std::vector<std::string>{"sso", "sid", "host", "poy", "microp", "platform"},
          "exactly sso, sid, host, poy, microp and platform, each once", address);
  const auto at = address.find(tarnhold::LauncherPage);
  const std::string given = address.substr(0, at);
  if (given.find_first_of("&=") == std::string::npos) {
    Require(host == given, "a host without separators as it stands", address);
  } else {
    Require(Decoded(host) == given, "a host with separators reads back as it was", address);
  }
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
  // The text as the part before the launcher path, with a well-formed query.
  const std::string before = text.substr(0, text.find(tarnhold::LauncherPage));
  const std::string launcher = before + tarnhold::LauncherPage + "?serverid=7&username=ab";
  game.JumpToGame(launcher);
  CheckFlashVars(m, launcher);
  m.sim.ClearTrace();
  return 0;
}
