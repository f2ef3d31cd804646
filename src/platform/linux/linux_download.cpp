// Downloads with libcurl, answered as the WinINet ones are.
#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/error.h"
#include "platform/linux/linux_system.h"

namespace tarnhold::platform::linux_backend {

namespace {

constexpr const char* kAgent = "Veltrotarn/1.0";

struct EasyFree {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListFree {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// The file is made only once the body starts, or once the answer is in for
// an empty one: a request that got no answer leaves the file as it was.
struct Transfer {
  std::string path;
  int fd = -1;
  int writeError = 0;
  std::uint64_t received = 0;

  bool Open() {
    if (fd >= 0) return true;
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) writeError = errno;
    return fd >= 0;
  }
};

std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::size_t total = size * count;
  if (!transfer->Open()) return 0;
  std::size_t done = 0;
  while (done < total) {
    const ssize_t wrote = ::write(transfer->fd, data + done, total - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      transfer->writeError = wrote < 0 ? errno : ENOSPC;
      return done;  // short: curl ends the transfer with a write error
    }
    done += static_cast<std::size_t>(wrote);
    transfer->received += static_cast<std::uint64_t>(wrote);
  }
  return total;
}

void Set(CURLcode code) {
  if (code != CURLE_OK) throw Error(std::string("cannot set up the download: ") + curl_easy_strerror(code));
}

}  // namespace

LinuxDownloads::LinuxDownloads(const PathMap& paths, std::string trusted)
    : paths_(paths), trusted_(std::move(trusted)) {
  // Once per process and before any other thread could use curl; later
  // calls only count.
  if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) throw Error("curl cannot be initialised");
}

// Redirects are followed; what is reported is the last answer. The bytes
// come from the origin (no-cache) and nothing is asked of anyone. Every wait
// is bounded: the connect, and then 30 s in which less than 1 KiB moved,
// whether the answer's headers or its body are awaited, ends the transfer
// as a dropped one. At most 10 redirects.
DownloadResult LinuxDownloads::Fetch(const std::string& url, const std::string& path) {
  Transfer transfer;
  transfer.path = paths_.NativeOf(path);
  const std::unique_ptr<CURL, EasyFree> easy(curl_easy_init());
  if (!easy) throw Error("curl cannot be initialised");
  std::unique_ptr<curl_slist, ListFree> headers(curl_slist_append(nullptr, "Pragma: no-cache"));
  headers.reset(curl_slist_append(headers.release(), "Cache-Control: no-cache"));
  CURL* e = easy.get();
  Set(curl_easy_setopt(e, CURLOPT_URL, url.c_str()));
  Set(curl_easy_setopt(e, CURLOPT_USERAGENT, kAgent));
  Set(curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers.get()));
  Set(curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L));
  // A redirect to itself would go round for good; from https, a redirect to
  // plain http would hand what was asked for over a checked connection to
  // an unchecked one.
  Set(curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L));
  Set(curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https"));
  const bool secure = url.rfind("https://", 0) == 0;
  Set(curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https"));
  if (!trusted_.empty()) Set(curl_easy_setopt(e, CURLOPT_CAINFO, trusted_.c_str()));
  Set(curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, 30L));
  // Less than 1 KiB in 30 s is a failure: a trickle is never silent.
  Set(curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 35L));
  Set(curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, 30L));
  if (const auto left = MillisecondsLeft()) {
    if (*left == 0) throw Error("no time is left for downloads: " + url);
    Set(curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(*left)));  // NOLINT(google-runtime-int)
  }
  // The GUI runs other threads; curl must not touch signals to time out.
  Set(curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L));
  Set(curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &WriteBody));
  Set(curl_easy_setopt(e, CURLOPT_WRITEDATA, &transfer));

  const CURLcode code = curl_easy_perform(e);
  long status = 0;  // NOLINT(google-runtime-int): curl's type
  curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
  curl_off_t length = -1;
  if (curl_easy_getinfo(e, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK) length = -1;

  DownloadResult result;
  result.status = static_cast<int>(status);
  result.contentLength = length < 0 ? -1 : static_cast<std::int64_t>(length);
  result.received = transfer.received;

  const auto closeFile = [&transfer] {
    const bool ok = transfer.fd < 0 || ::close(transfer.fd) == 0;
    if (!ok) transfer.writeError = errno;
    transfer.fd = -1;
    return ok;
  };
  if (transfer.writeError != 0 || code == CURLE_WRITE_ERROR) {
    closeFile();
    throw Error("cannot write " + transfer.path + ": " + std::strerror(transfer.writeError));
  }
  if (status == 0) {
    closeFile();
    throw Error(std::string("no answer from ") + url + ": " + curl_easy_strerror(code));
  }
  if (!transfer.Open() || !closeFile()) {
    throw Error("cannot write " + transfer.path + ": " + std::strerror(transfer.writeError));
  }
  if (code != CURLE_OK) {
    // With a length announced, the shortfall tells the caller the body was
    // cut. Without one, returning would pass half a body off as whole.
    const bool shortfallShows =
        result.contentLength >= 0 && result.received < static_cast<std::uint64_t>(result.contentLength);
    if (!shortfallShows) throw Error(std::string("the download failed: ") + curl_easy_strerror(code));
  }
  return result;
}

}  // namespace tarnhold::platform::linux_backend
