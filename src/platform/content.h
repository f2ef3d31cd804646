#pragma once
// Downloads and the executable's embedded resources.
#include <cstdint>
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
};

class Resources {
 public:
  virtual ~Resources() = default;
  // The embedded resource (type, id) as bytes; throws when there is none.
  virtual std::vector<std::uint8_t> Load(const std::string& type, int id) = 0;
};

}  // namespace tarnhold::platform
