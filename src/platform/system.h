#pragma once
// Environment and drives, files, the program itself, and its end.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnhold::platform {

// GetDriveType's answers.
inline constexpr int kDriveUnknown = 0;
inline constexpr int kDriveNoRootDir = 1;
inline constexpr int kDriveRemovable = 2;
inline constexpr int kDriveFixed = 3;
inline constexpr int kDriveRemote = 4;
inline constexpr int kDriveCdRom = 5;
inline constexpr int kDriveRamDisk = 6;

// The scripting file-system object's DriveType values (a numbering of its own).
inline constexpr int kFsoDriveUnknown = 0;
inline constexpr int kFsoDriveRemovable = 1;
inline constexpr int kFsoDriveFixed = 2;
inline constexpr int kFsoDriveNetwork = 3;
inline constexpr int kFsoDriveCdRom = 4;
inline constexpr int kFsoDriveRamDisk = 5;

struct FsoDrive {
  int driveType = kFsoDriveUnknown;
  std::string path;  // "C:"
};

class Environment {
 public:
  virtual ~Environment() = default;
  // Empty when the variable is not set (the runtime's Environ).
  virtual std::string Variable(const std::string& name) const = 0;
  // The file-system object's Drives collection in its own order. Throws when
  // the object cannot be created.
  virtual std::vector<FsoDrive> FsoDrives() const = 0;
  // GetDriveType with the root exactly as given ("C:" or "C:\").
  virtual int DriveType(const std::string& root) const = 0;
};

class Files {
 public:
  virtual ~Files() = default;
  // PathFileExists: a file or a folder.
  virtual bool Exists(const std::string& path) const = 0;
  // One level; throws when it cannot be made (also when it exists).
  virtual void CreateFolder(const std::string& path) = 0;
  // Replaces an existing destination; throws when the destination is in use.
  virtual void Copy(const std::string& from, const std::string& to) = 0;
  // Deletes every file matching a path whose last component may hold * and ?;
  // never a folder. Throws when nothing matched, and when the folder is a
  // junction or symbolic link: that is not followed.
  virtual void DeleteMatching(const std::string& pattern) = 0;
  // Removes an empty folder, or a link in place of one (never what it
  // leads to); throws otherwise.
  virtual void RemoveFolder(const std::string& path) = 0;
  virtual void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) = 0;
  // Deletes one file; throws when it is not there or cannot be deleted.
  virtual void Delete(const std::string& path) = 0;
  // Moves a file into place in one step, replacing what is there.
  virtual void Move(const std::string& from, const std::string& to) = 0;
  // The file's SHA-256 in 64 lowercase hex digits, by the system's own
  // hashing; throws when the file cannot be read.
  virtual std::string Sha256(const std::string& path) const = 0;
};

struct Version {
  int major = 0;
  int minor = 0;
  int revision = 0;
};

class ProgramInfo {
 public:
  virtual ~ProgramInfo() = default;
  // The folder of the running executable: no trailing backslash, except for a
  // drive root ("C:\").
  virtual std::string Folder() const = 0;
  // The executable's file name without its extension.
  virtual std::string ExeName() const = 0;
  // The running executable's own file, whatever its extension: the one
  // file that is this program.
  virtual std::string Path() const = 0;
  virtual Version FileVersion() const = 0;
  // The arguments after the program's name, as one text.
  virtual std::string CommandLine() const = 0;
  // The running process's id: unique among the processes running now.
  virtual std::uint32_t ProcessId() const = 0;
  // Ends the process at once: no handler of any window runs afterwards.
  [[noreturn]] virtual void End() = 0;
};

}  // namespace tarnhold::platform
