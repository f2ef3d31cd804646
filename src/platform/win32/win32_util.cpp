#include "platform/win32/win32_util.h"

#include <cstdio>

namespace tarnhold::platform::win32 {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  if (length <= 0) throw Error("invalid UTF-8 text");
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8(const wchar_t* wide, int length) {
  if (length <= 0) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string utf8(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide, length, utf8.data(), size, nullptr, nullptr);
  return utf8;
}

std::string Utf8(const std::wstring& wide) { return Utf8(wide.data(), static_cast<int>(wide.size())); }

void RaiseLastError(const char* what) {
  char text[96];
  std::snprintf(text, sizeof text, "%s failed (error %lu)", what, ::GetLastError());
  throw Error(text);
}

}  // namespace tarnhold::platform::win32
