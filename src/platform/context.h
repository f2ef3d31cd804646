#pragma once
// The one object through which the behaviour reaches the system. A backend
// fills in the groups it provides; asking for a missing one raises Error.
#include "platform/activex.h"
#include "platform/browser.h"
#include "platform/codepage.h"
#include "platform/content.h"
#include "platform/error.h"
#include "platform/graphics.h"
#include "platform/library.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/window.h"

namespace tarnhold::platform {

class Context {
 public:
  WindowRuntime* windows = nullptr;
  Environment* environment = nullptr;
  Files* files = nullptr;
  ProgramInfo* program = nullptr;
  Graphics* graphics = nullptr;
  Shell* shell = nullptr;
  Downloads* downloads = nullptr;
  Resources* resources = nullptr;
  Libraries* libraries = nullptr;
  CodePage* codePage = nullptr;

  WindowRuntime& Windows() const { return Need(windows, "window runtime"); }
  Environment& Env() const { return Need(environment, "environment"); }
  Files& FileSystem() const { return Need(files, "files"); }
  ProgramInfo& Program() const { return Need(program, "program information"); }
  Graphics& Gdi() const { return Need(graphics, "graphics"); }
  Shell& Shell32() const { return Need(shell, "shell"); }
  Downloads& Download() const { return Need(downloads, "downloads"); }
  Resources& Resource() const { return Need(resources, "resources"); }
  Libraries& Library() const { return Need(libraries, "libraries"); }
  CodePage& Ansi() const { return Need(codePage, "code page"); }

 private:
  template <class T>
  static T& Need(T* group, const char* what) {
    if (group == nullptr) throw Error(std::string("not available on this platform: ") + what);
    return *group;
  }
};

}  // namespace tarnhold::platform
