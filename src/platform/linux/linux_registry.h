#pragma once
// The registry is a key file of our own: one group per key, written as .reg
// files name keys ("HKEY_CURRENT_USER\Software\..."), one entry per value.
#include <string>

namespace tarnhold::platform::linux_backend {

class KeyFileRegistry {
 public:
  // The file is FOLDER/registry.ini; the folder is made on the first write.
  explicit KeyFileRegistry(const std::string& folder);

  // Only REG_SZ values. Names are compared without regard to case; what is
  // stored keeps the case it was first written in. Throws platform::Error
  // for a name the file cannot hold and for a file that cannot be read or
  // written.
  void Write(const std::string& name, const std::string& value, const std::string& type) const;
  // A name ending in a backslash is the key itself. What is not there cannot
  // be deleted, nor a key with subkeys.
  void Delete(const std::string& name) const;

 private:
  std::string folder_;
  std::string path_;
};

}  // namespace tarnhold::platform::linux_backend
