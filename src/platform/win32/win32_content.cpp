#include "platform/win32/win32_content.h"

#include "platform/win32/win32_util.h"
// After <windows.h>, which the line above brings in.
#include <wininet.h>

#include <shlwapi.h>

#include <algorithm>
#include <array>
#include <functional>
#include <optional>
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

void Bound(HINTERNET handle, std::optional<std::int64_t> left) {
  DWORD timeout = kTimeoutMs;
  if (left) timeout = static_cast<DWORD>(std::clamp<std::int64_t>(*left, 1, kTimeoutMs));
  for (const int option :
       {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    if (!::InternetSetOptionW(handle, static_cast<DWORD>(option), &timeout, sizeof timeout)) {
      RaiseLastError("InternetSetOption");
    }
  }
}

// A server may send the client round in circles: a redirect to itself was
// followed some 57,600 times in 100 s. More than this many is a failure.
constexpr int kMaxRedirects = 10;
// A transfer that moves less than this in a window of kTimeoutMs has
// failed: a trickle of a byte every few seconds is never silent long enough
// for the receive limit.
constexpr std::uint64_t kLeastBytesPerWindow = 1024;

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::wstring LocationOf(HINTERNET request, const std::wstring& base) {
  std::wstring location(2048, L'\0');
  auto size = static_cast<DWORD>(location.size()) * static_cast<DWORD>(sizeof(wchar_t));
  if (!::HttpQueryInfoW(request, HTTP_QUERY_LOCATION, location.data(), &size, nullptr)) {
    RaiseLastError("HttpQueryInfo(Location)");
  }
  location.resize(size / sizeof(wchar_t));
  std::wstring combined(4096, L'\0');
  auto length = static_cast<DWORD>(combined.size());
  if (!::InternetCombineUrlW(base.c_str(), location.c_str(), combined.data(), &length, ICU_NO_ENCODE)) {
    RaiseLastError("InternetCombineUrl");
  }
  combined.resize(length);
  return combined;
}

bool IsHttps(const std::wstring& url) {
  return url.rfind(L"https://", 0) == 0 || url.rfind(L"HTTPS://", 0) == 0;
}

// The request is made by hand rather than by InternetOpenUrl so that its own
// handle carries the limits before anything is sent: a request does not
// always take them from its session (Wine's does not).
UniqueInternet OpenOne(HINTERNET session, const std::wstring& url, UniqueInternet& connection,
                       std::optional<std::int64_t> left) {
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
  // Redirects are followed here, one at a time, to count them and to see
  // where each leads.
  const DWORD flags = kRequestFlags | INTERNET_FLAG_NO_AUTO_REDIRECT |
                      (parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0);
  UniqueInternet request(::HttpOpenRequestW(connection.get(), L"GET", object.empty() ? L"/" : object.c_str(),
                                            nullptr, nullptr, nullptr, flags, 0));
  if (!request) RaiseLastError("HttpOpenRequest");
  Bound(request.get(), left);
  if (!::HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) RaiseLastError("HttpSendRequest");
  return request;
}

// What is queried afterwards is the last answer. A redirect from https to
// plain http is refused: what was asked for over a checked connection must
// not come over an unchecked one.
UniqueInternet OpenRequest(HINTERNET session, std::wstring url, UniqueInternet& connection,
                           const std::function<std::optional<std::int64_t>()>& left) {
  for (int redirects = 0;; ++redirects) {
    if (left() == 0) throw Error("no time is left for downloads: " + Utf8(url));
    UniqueInternet request = OpenOne(session, url, connection, left());
    if (!IsRedirect(StatusOf(request.get()))) return request;
    if (redirects == kMaxRedirects) throw Error("too many redirects: " + Utf8(url));
    std::wstring next = LocationOf(request.get(), url);
    if (IsHttps(url) && !IsHttps(next))
      throw Error("a redirect from https to http is refused: " + Utf8(next));
    url = std::move(next);
  }
}

// "chunked" announces a body that ends with a last, empty chunk. WinINet
// reads the chunks itself, and a connection closed before the last one
// reads as a body that ended (measured under Wine: the first 1,000 bytes
// stored as whole). With no way to tell, such a body is never stored.
bool IsChunked(HINTERNET request) {
  std::array<wchar_t, 64> text{};
  DWORD size = sizeof text;
  if (!::HttpQueryInfoW(request, HTTP_QUERY_TRANSFER_ENCODING, text.data(), &size, nullptr)) return false;
  return ::StrStrIW(text.data(), L"chunked") != nullptr;
}

}  // namespace

DownloadResult Win32Downloads::Fetch(const std::string& url, const std::string& path) {
  const std::wstring widePath = Wide(path);
  UniqueInternet session(::InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) RaiseLastError("InternetOpen");
  UniqueInternet connection;
  const auto left = [this] { return MillisecondsLeft(); };
  UniqueInternet request = OpenRequest(session.get(), Wide(url), connection, left);

  DownloadResult result;
  result.status = StatusOf(request.get());
  result.contentLength = ContentLengthOf(request.get());

  // Only once there is an answer: a request that got none leaves the file as it
  // was.
  UniqueHandle file(::CreateFileW(widePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) RaiseLastError("CreateFile");

  std::array<char, 64 * 1024> buffer{};
  ULONGLONG windowStart = ::GetTickCount64();
  std::uint64_t windowBytes = 0;
  for (;;) {
    // What is there, not a whole buffer: a read of a full buffer waits for
    // all of it, and a trickle would hold it for hours.
    // Each wait for more ends by the deadline at the latest.
    if (const auto remaining = left()) {
      if (*remaining == 0) throw Error("no time is left for downloads: " + url);
      Bound(request.get(), remaining);
    }
    DWORD available = 0;
    if (!::InternetQueryDataAvailable(request.get(), &available, 0, 0)) available = 1;
    DWORD got = 0;
    const DWORD want = std::min<DWORD>(std::max<DWORD>(available, 1), static_cast<DWORD>(buffer.size()));
    if (!::InternetReadFile(request.get(), buffer.data(), want, &got)) {
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
    const ULONGLONG now = ::GetTickCount64();
    if (now - windowStart >= kTimeoutMs) {
      if (result.received - windowBytes < kLeastBytesPerWindow) throw Error("the download is too slow");
      windowStart = now;
      windowBytes = result.received;
    }
  }
  if (result.contentLength < 0 && IsChunked(request.get())) {
    throw Error("a chunked body cannot be told whole here: " + url);
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
