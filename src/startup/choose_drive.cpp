#include <string>

#include "startup/form1.h"

namespace tarnhold {

using platform::ResumeNext;

// Four sources in turn; each later one only while the candidate names nothing
// that exists. A source that fails leaves a candidate that does not exist.
std::string Form1::ChooseDrive() {
  std::string candidate;
  auto candidateExists = [&] {
    bool exists = false;
    ResumeNext([&] { exists = ctx_.FileSystem().Exists(candidate); });
    return exists;
  };

  ResumeNext([&] { candidate = ctx_.Env().Variable("systemdrive"); });

  if (!candidateExists()) {
    ResumeNext([&] {
      for (const platform::FsoDrive& drive : ctx_.Env().FsoDrives()) {
        if (drive.driveType == platform::kFsoDriveFixed) {
          candidate = drive.path;
          break;
        }
      }
    });
  }

  if (!candidateExists()) {
    // O to Z are never considered: the list is fixed.
    for (const char letter : std::string("CDEFGHIJKLMN")) {
      const std::string root = std::string(1, letter) + ":";
      bool fixed = false;
      ResumeNext([&] { fixed = ctx_.Env().DriveType(root) == platform::kDriveFixed; });
      if (fixed) {
        candidate = root;
        break;
      }
    }
  }

  if (!candidateExists()) {
    ResumeNext([&] { candidate = ctx_.Program().Folder(); });
  }
  return candidate;
}

}  // namespace tarnhold
