#include "platform/dispatch.h"

#include <atomic>
#include <string>

namespace tarnhold::platform {

namespace {
// Set once at start-up, read wherever a handler fails.
std::atomic<HandlerFailureSink> g_sink{nullptr};

std::string Joined(const HandlerName& name) {
  std::string text(name.window);
  for (std::string_view part : {name.part, name.event}) {
    if (part.empty()) continue;
    if (!text.empty()) text += '.';
    text += part;
  }
  return text;
}
}  // namespace

void SetHandlerFailureSink(HandlerFailureSink sink) noexcept { g_sink.store(sink); }

void ReportHandlerFailure(const HandlerName& name) noexcept {
  const HandlerFailureSink sink = g_sink.load();
  if (sink == nullptr) return;
  try {
    std::string what = "an exception that is not a std::exception";
    try {
      throw;
    } catch (const std::exception& e) {
      what = e.what();
    } catch (...) {
    }
    sink(Joined(name), what);
  } catch (...) {
    // Out of memory for the text, or a sink that failed: the handler is
    // abandoned all the same.
  }
}

}  // namespace tarnhold::platform
