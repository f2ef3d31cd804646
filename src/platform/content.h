#pragma once
// Downloads and the executable's embedded resources.
#include <cstdint>
#include <string>
#include <vector>

namespace tarnhold::platform {

class Downloads {
 public:
  virtual ~Downloads() = default;
  // Blocks until the download has ended. Throws when the file could not be
  // fetched whole; a failed download never leaves a file at `path`.
  virtual void DownloadToFile(const std::string& url, const std::string& path) = 0;
};

class Resources {
 public:
  virtual ~Resources() = default;
  // The embedded resource (type, id) as bytes; throws when there is none.
  virtual std::vector<std::uint8_t> Load(const std::string& type, int id) = 0;
};

}  // namespace tarnhold::platform
