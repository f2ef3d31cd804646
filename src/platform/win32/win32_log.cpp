#include "platform/win32/win32_log.h"

#include <string_view>

#include "platform/dispatch.h"
#include "platform/win32/win32_util.h"

namespace tarnhold::platform::win32 {

namespace {
// Read once: the variable belongs to the process's start, as on Linux.
const std::wstring& LogPath() {
  static const std::wstring path = [] {
    std::wstring value(MAX_PATH, L'\0');
    DWORD length = ::GetEnvironmentVariableW(L"TARNHOLD_LOG", value.data(), static_cast<DWORD>(value.size()));
    if (length >= value.size()) {
      value.resize(length);
      length = ::GetEnvironmentVariableW(L"TARNHOLD_LOG", value.data(), static_cast<DWORD>(value.size()));
    }
    value.resize(length < value.size() ? length : 0);
    return value;
  }();
  return path;
}

void LogHandlerFailure(std::string_view handler, std::string_view what) {
  Log("handler-failed", std::string(handler).append(": ").append(what));
}
}  // namespace

void Log(const std::string& event, const std::string& detail) noexcept {
  try {
    std::string text = event + " " + detail;
    for (char& c : text) {
      if (c == '\n' || c == '\r') c = ' ';
    }
    ::OutputDebugStringW(Wide("Tarnhold: " + text + "\n").c_str());
    const std::wstring& path = LogPath();
    if (path.empty()) return;
    // Opened for each line, for appending: the lines are few, and a watcher
    // may move the file between them.
    const UniqueHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    const std::string line = std::to_string(::GetTickCount64()) + " " + text + "\n";
    DWORD written = 0;
    ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  } catch (...) {
    // Out of memory for the line: the word is lost, nothing else.
  }
}

void TraceHandlerFailures() noexcept { SetHandlerFailureSink(&LogHandlerFailure); }

}  // namespace tarnhold::platform::win32
