#include "platform/win32/win32_content.h"

#include "platform/win32/win32_util.h"
// After <windows.h>, which the line above brings in.
#include <wininet.h>

#include <array>
#include <utility>

namespace tarnhold::platform::win32 {

namespace {

// WinINet's handles go back with InternetCloseHandle, never CloseHandle.
class UniqueInternet {
 public:
  UniqueInternet() = default;
  explicit UniqueInternet(HINTERNET handle) : handle_(handle) {}
  ~UniqueInternet() { reset(); }
  UniqueInternet(UniqueInternet&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueInternet& operator=(UniqueInternet&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  UniqueInternet(const UniqueInternet&) = delete;
  UniqueInternet& operator=(const UniqueInternet&) = delete;

  HINTERNET get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void reset(HINTERNET handle = nullptr) {
    if (handle_ != nullptr) ::InternetCloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HINTERNET handle_ = nullptr;
};

constexpr wchar_t kAgent[] = L"Veltrotarn/1.0";

// RELOAD and PRAGMA_NOCACHE: the bytes come from the origin server, past any
// cache or proxy, so a file changed there is seen at once. NO_CACHE_WRITE:
// no copy of the body is left behind in the user's cache. NO_UI: a
// certificate or login problem fails the request instead of asking anyone.
constexpr DWORD kRequestFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI;

int StatusOf(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
    RaiseLastError("HttpQueryInfo");
  }
  return static_cast<int>(status);
}

// As text: the numeric form of the query stops at 32 bits. Anything but a
// plain decimal number counts as not announced.
std::int64_t ContentLengthOf(HINTERNET request) {
  std::array<wchar_t, 32> text{};
  DWORD size = sizeof text;
  if (!::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text.data(), &size, nullptr)) return -1;
  const std::size_t length = size / sizeof(wchar_t);
  if (length == 0 || length > 18) return -1;
  std::int64_t value = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return -1;
    value = value * 10 + (text[i] - L'0');
  }
  return value;
}

// Every wait of a download is bounded: a server that takes the connection
// and never answers, or stops in the middle of the body, would otherwise hold
// the start-up for good. The receive limit holds for the answer's headers and
// for each read of the body, so it is the longest a transfer may stand still.
constexpr DWORD kTimeoutMs = 30000;

void Bound(HINTERNET handle) {
  DWORD timeout = kTimeoutMs;
  for (const int option :
       {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    if (!::InternetSetOptionW(handle, static_cast<DWORD>(option), &timeout, sizeof timeout)) {
      RaiseLastError("InternetSetOption");
    }
  }
}

// The request is made by hand rather than by InternetOpenUrl so that its own
// handle carries the limits before anything is sent: a request does not
// always take them from its session (Wine's does not).
UniqueInternet OpenRequest(HINTERNET session, const std::wstring& url, UniqueInternet& connection) {
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = 1;
  parts.dwUrlPathLength = 1;
  parts.dwExtraInfoLength = 1;
  if (!::InternetCrackUrlW(url.c_str(), 0, 0, &parts)) RaiseLastError("InternetCrackUrl");
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
    throw Error("not an http or https address: " + Utf8(url));
  }
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  const std::wstring object = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                              std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  connection = UniqueInternet(
      ::InternetConnectW(session, host.c_str(), parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) RaiseLastError("InternetConnect");
  const DWORD flags = kRequestFlags | (parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0);
  UniqueInternet request(::HttpOpenRequestW(connection.get(), L"GET", object.empty() ? L"/" : object.c_str(),
                                            nullptr, nullptr, nullptr, flags, 0));
  if (!request) RaiseLastError("HttpOpenRequest");
  Bound(request.get());
  // Redirects are followed here; what is queried afterwards is the last answer.
  if (!::HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) RaiseLastError("HttpSendRequest");
  return request;
}

}  // namespace

DownloadResult Win32Downloads::Fetch(const std::string& url, const std::string& path) {
  const std::wstring widePath = Wide(path);
  UniqueInternet session(::InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) RaiseLastError("InternetOpen");
  UniqueInternet connection;
  UniqueInternet request = OpenRequest(session.get(), Wide(url), connection);

  DownloadResult result;
  result.status = StatusOf(request.get());
  result.contentLength = ContentLengthOf(request.get());

  // Only once there is an answer: a request that got none leaves the file as it was.
  UniqueHandle file(::CreateFileW(widePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) RaiseLastError("CreateFile");

  std::array<char, 64 * 1024> buffer{};
  for (;;) {
    DWORD got = 0;
    if (!::InternetReadFile(request.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got)) {
      // With a length announced, the shortfall tells the caller the body was
      // cut. Without one, returning would pass half a body off as whole.
      const bool shortfallShows =
          result.contentLength >= 0 && result.received < static_cast<std::uint64_t>(result.contentLength);
      if (!shortfallShows) RaiseLastError("InternetReadFile");
      break;
    }
    // A connection dropped early also ends here, with no error: only the
    // count against the announced length tells.
    if (got == 0) break;
    DWORD written = 0;
    if (!::WriteFile(file.get(), buffer.data(), got, &written, nullptr) || written != got) {
      RaiseLastError("WriteFile");
    }
    result.received += written;
  }
  // A write the system deferred can still fail as the file is closed.
  if (!::CloseHandle(file.release())) RaiseLastError("CloseHandle");
  return result;
}

// A type written "#16" names the numbered type 16, as FindResource reads it.
std::vector<std::uint8_t> Win32Resources::Load(const std::string& type, int id) {
  // An integer resource name carries only 1 to 65535.
  if (id < 1 || id > 0xFFFF) throw Error("resource not found");
  const std::wstring wideType = Wide(type);
  HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(static_cast<WORD>(id)), wideType.c_str());
  if (found == nullptr) throw Error("resource not found");
  HGLOBAL loaded = ::LoadResource(nullptr, found);
  if (loaded == nullptr) RaiseLastError("LoadResource");
  const DWORD size = ::SizeofResource(nullptr, found);
  const auto* bytes = static_cast<const std::uint8_t*>(::LockResource(loaded));
  if (bytes == nullptr) throw Error("resource could not be read");
  // The resource lives as long as the module; nothing to unlock or free.
  return {bytes, bytes + size};
}

}  // namespace tarnhold::platform::win32
