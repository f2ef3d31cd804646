#include "platform/linux/linux_log.h"

#include <glib.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/dispatch.h"

namespace tarnhold::platform::linux_backend {

namespace {
void LogHandlerFailure(std::string_view handler, std::string_view what) {
  Log("handler-failed", std::string(handler).append(": ").append(what));
}
}  // namespace

void Log(const std::string& event, const std::string& detail) {
  static FILE* file = [] {
    const char* path = std::getenv("TARNHOLD_LOG");
    return path != nullptr && *path != '\0' ? std::fopen(path, "ae") : nullptr;
  }();
  if (file == nullptr) return;
  std::string line = detail;
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  std::fprintf(file, "%lld %s %s\n", static_cast<long long>(g_get_monotonic_time() / 1000), event.c_str(),
               line.c_str());
  std::fflush(file);
}

void TraceHandlerFailures() noexcept { SetHandlerFailureSink(&LogHandlerFailure); }

}  // namespace tarnhold::platform::linux_backend
