#pragma once
// The procedures that more than one window uses.
#include <cstdint>
#include <string>

namespace tarnhold {

class Program;

namespace modMain {

// 1 shows the game screen; every other mode the login screen. Errors are not
// caught here: they go to the caller's own error skipping.
void SwitchScreen(Program& program, const std::int32_t& mode);

}  // namespace modMain
}  // namespace tarnhold

namespace tarnhold::modMain {

// Escapes text for the launcher's flash variables: ASCII letters stay, every
// other single-byte character of the ANSI code page becomes "%" and its code in
// upper-case hex without leading zeros, and a double-byte character becomes
// the hex of its UTF-16 code unit, without "%".
std::string UrlEscape(Program& program, const std::string& text);

}  // namespace tarnhold::modMain

namespace tarnhold::modMain {

// Writes the executable's embedded resource (type, id) to `path`. The client
// carries no such resources, so this fails and leaves no file.
void SaveResource(Program& program, int id, const std::string& type, const std::string& path);

// Registers the COM server library at `path` by running its DllRegisterServer
// on a worker thread, waiting at most 10 s. Reports nothing either way.
void RegisterServer(Program& program, const std::string& path);

}  // namespace tarnhold::modMain
