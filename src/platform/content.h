#pragma once
// Downloads and the executable's embedded resources.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnhold::platform {

struct DownloadResult {
  int status = 0;                   // the HTTP status of the final answer
  std::uint64_t received = 0;       // bytes of the body written to the file
  std::int64_t contentLength = -1;  // what the server announced; -1 when it did not
};

class Downloads {
 public:
  virtual ~Downloads() = default;
  // Blocks until the download has ended, and writes to `path` whatever body
  // arrived, as URLDownloadToFile does: an error page for an error status,
  // the first part of a body cut short. Throws when there was no answer at
  // all or the file could not be written.
  virtual DownloadResult Fetch(const std::string& url, const std::string& path) = 0;

  // A time by which every download begun from now on has ended, whatever
  // the server does: the rules of one download (the silence and the
  // low-speed limits) bound none of several in a row, nor a server that
  // sends just enough to keep one alive. Without one, only those rules hold.
  void SetDeadline(std::optional<std::chrono::steady_clock::time_point> deadline) { deadline_ = deadline; }

 protected:
  // Milliseconds left before the deadline (0 once it has passed), or none.
  std::optional<std::int64_t> MillisecondsLeft() const {
    if (!deadline_) return std::nullopt;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(*deadline_ - std::chrono::steady_clock::now());
    return std::max<std::int64_t>(left.count(), 0);
  }

 private:
  std::optional<std::chrono::steady_clock::time_point> deadline_;
};

class Resources {
 public:
  virtual ~Resources() = default;
  // The embedded resource (type, id) as bytes; throws when there is none.
  virtual std::vector<std::uint8_t> Load(const std::string& type, int id) = 0;
};

}  // namespace tarnhold::platform
