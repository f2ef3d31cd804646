#pragma once
// What the players' own URI scheme serves, all of it on one origin: the
// emulator fetches its WebAssembly and the movie with the page's own, and no
// CORS headers are needed.
//
//   <scheme>://player/ruffle/<file>    the emulator's files, compiled in
//   <scheme>://player/page/<file>      the page's script, and its config.js
//   <scheme>://player/<id>/            one player's page
//   <scheme>://player/<id>/movie       the movie that player plays
//
// Nothing else, and no path that leads out of those.
#include <webkit2/webkit2.h>

#include <string>

namespace tarnhold::platform::linux_backend {

struct PlayerAddress {
  enum class Kind { kNone, kEmulator, kPageFile, kPage, kMovie } kind = Kind::kNone;
  std::string file;  // kEmulator, kPageFile: one name, without a folder
  int id = 0;        // kPage, kMovie: a decimal number from 1 to INT_MAX
};

// The query and fragment are ignored.
PlayerAddress ParsePlayerAddress(const std::string& scheme, const std::string& uri);

// These finish the request, but where they answer false.
void Answer(WebKitURISchemeRequest* request, const std::string& text, const char* mime);
// False, with the request left unanswered, for a file that cannot be read.
bool AnswerFile(WebKitURISchemeRequest* request, const std::string& native, const char* mime);
void Fail(WebKitURISchemeRequest* request, const std::string& why);
// From the emulator's bundle (/tarnhold/ruffle/) or the page's
// (/tarnhold/player/), streamed, so that the WebAssembly is inflated off the
// GUI thread as the engine reads it. False, with the request left
// unanswered and the reason in WHY, for a file that is not in the bundle.
bool AnswerResource(WebKitURISchemeRequest* request, GResource* bundle, const std::string& path,
                    std::string& why);

}  // namespace tarnhold::platform::linux_backend
