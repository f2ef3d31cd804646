// Files through the path mapping, failing where the Win32 calls fail.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <glib.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/error.h"
#include "platform/linux/linux_system.h"

namespace tarnhold::platform::linux_backend {

namespace {

[[noreturn]] void RaiseErrno(const char* what, const std::string& path) {
  throw Error(std::string(what) + " " + path + ": " + std::strerror(errno));
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // Closes now, for the error a deferred write can still report.
  bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

void WriteAll(int fd, const std::uint8_t* data, std::size_t size, const std::string& path) {
  while (size > 0) {
    const ssize_t wrote = ::write(fd, data, size);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      RaiseErrno("cannot write", path);
    }
    data += wrote;
    size -= static_cast<std::size_t>(wrote);
  }
}

std::string FolderOf(const std::string& native) {
  const auto slash = native.find_last_of('/');
  return slash == 0 ? "/" : native.substr(0, slash);
}

// One character of UTF-8 text, so that ? takes a whole character.
std::size_t CharacterLength(const std::string& text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 1;
  if (lead >= 0xF0) {
    length = 4;
  } else if (lead >= 0xE0) {
    length = 3;
  } else if (lead >= 0xC0) {
    length = 2;
  }
  return std::min(length, text.size() - at);
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string text) {
  for (char& c : text) c = LowerAscii(c);
  return text;
}

bool Glob(const std::string& pattern, const std::string& name) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starAt = std::string::npos;
  std::size_t resumeAt = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starAt = p++;
      resumeAt = n;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      n += CharacterLength(name, n);
    } else if (p < pattern.size() && pattern[p] == name[n]) {
      ++p;
      ++n;
    } else if (starAt != std::string::npos) {
      // The star takes one more character and the rest is tried again.
      p = starAt + 1;
      resumeAt += CharacterLength(name, resumeAt);
      n = resumeAt;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool MatchesWildcard(const std::string& pattern, const std::string& name) {
  const std::string folded = LowerAscii(pattern);
  const std::string target = LowerAscii(name);
  const bool dotless = target.find('.') == std::string::npos;
  if (folded.size() >= 2 && folded.compare(folded.size() - 2, 2, ".*") == 0) {
    if (Glob(folded, target)) return true;
    return dotless && Glob(folded.substr(0, folded.size() - 2), target);
  }
  if (!folded.empty() && folded.back() == '.' && folded != "." && folded != "..") {
    return dotless && Glob(folded.substr(0, folded.size() - 1), target);
  }
  return Glob(folded, target);
}

bool LinuxFiles::Exists(const std::string& path) const {
  const std::optional<std::string> native = paths_.ToNative(path);
  struct stat info {};
  return native && ::stat(native->c_str(), &info) == 0;
}

void LinuxFiles::CreateFolder(const std::string& path) {
  const std::string native = paths_.NativeOf(path);
  if (::mkdir(native.c_str(), 0777) != 0) RaiseErrno("cannot create folder", native);
}

// Into a new file beside the destination, renamed over it at the end: a
// reader of the old file (a running copy of the program has it mapped) keeps
// the old one, and no half-copied file is ever left under the name. The
// destination is first opened for writing as CopyFile would open it, so a
// running executable (ETXTBSY) or a read-only file refuses as it does there.
void LinuxFiles::Copy(const std::string& from, const std::string& to) {
  const std::string source = paths_.NativeOf(from);
  const std::string target = paths_.NativeOf(to);
  const FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in) RaiseErrno("cannot open", source);
  struct stat info {};
  if (::fstat(in.get(), &info) != 0) RaiseErrno("cannot read", source);
  if (!S_ISREG(info.st_mode)) throw Error("not a file: " + source);

  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0) {
    if (existing.st_dev == info.st_dev && existing.st_ino == info.st_ino) {
      throw Error("the destination is in use: it is the source " + target);
    }
    if (S_ISDIR(existing.st_mode)) throw Error("the destination is a folder: " + target);
    const FileDescriptor probe(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!probe) RaiseErrno(errno == ETXTBSY ? "the destination is in use:" : "cannot replace", target);
  }

  std::string temporary = FolderOf(target) + "/.tarnhold-copy-XXXXXX";
  FileDescriptor out(::mkostemp(temporary.data(), O_CLOEXEC));
  if (!out) RaiseErrno("cannot create a file in", FolderOf(target));
  try {
    std::array<std::uint8_t, 65536> buffer{};
    for (;;) {
      const ssize_t got = ::read(in.get(), buffer.data(), buffer.size());
      if (got < 0) {
        if (errno == EINTR) continue;
        RaiseErrno("cannot read", source);
      }
      if (got == 0) break;
      WriteAll(out.get(), buffer.data(), static_cast<std::size_t>(got), temporary);
    }
    // The permission bits go along, so a copied executable stays one; the
    // times too, as CopyFile keeps the last-write time.
    if (::fchmod(out.get(), info.st_mode & 0777U) != 0) RaiseErrno("cannot set the mode of", temporary);
    const std::array<timespec, 2> times = {info.st_atim, info.st_mtim};
    ::futimens(out.get(), times.data());
    if (!out.Close()) RaiseErrno("cannot write", temporary);
    if (::rename(temporary.c_str(), target.c_str()) != 0) RaiseErrno("cannot replace", target);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
}

// The names are read first and deleted after: a folder changed while it is
// being read may show a name twice or not at all.
void LinuxFiles::DeleteMatching(const std::string& pattern) {
  const auto slash = pattern.find_last_of("\\/");
  if (slash == std::string::npos) throw Error("file not found: " + pattern);
  const std::optional<std::string> folder = paths_.ToNative(pattern.substr(0, slash));
  const std::string wildcard = pattern.substr(slash + 1);
  if (!folder) throw Error("file not found: " + pattern);
  // A symbolic link in place of the folder leads to another folder, whose
  // files are not the ones meant: it is not followed, and the removal of the
  // folder then removes the link alone.
  struct stat own {};
  if (::lstat(folder->c_str(), &own) == 0 && S_ISLNK(own.st_mode)) {
    throw Error("a link is not followed: " + pattern);
  }

  std::vector<std::string> names;
  {
    DIR* directory = ::opendir(folder->c_str());
    if (directory == nullptr) throw Error("file not found: " + pattern);
    // NOLINTNEXTLINE(concurrency-mt-unsafe): each stream is read by this thread only
    while (const dirent* entry = ::readdir(directory)) names.emplace_back(entry->d_name);
    ::closedir(directory);
  }
  const std::string base = *folder == "/" ? "" : *folder;
  bool matched = false;
  bool failed = false;
  for (const std::string& name : names) {
    if (!MatchesWildcard(wildcard, name)) continue;
    std::string path = base;
    path += "/";
    path += name;
    struct stat info {};
    // A link is deleted itself, unless it leads to a folder: that is one.
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) continue;
    matched = true;
    // A running executable is in use, and the system's delete spares it.
    const int probe = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (probe >= 0) ::close(probe);
    if ((probe < 0 && errno == ETXTBSY) || ::unlink(path.c_str()) != 0) failed = true;
  }
  if (!matched) throw Error("file not found: " + pattern);
  if (failed) throw Error("permission denied: " + pattern);
}

void LinuxFiles::RemoveFolder(const std::string& path) {
  const std::string native = paths_.NativeOf(path);
  struct stat own {};
  if (::lstat(native.c_str(), &own) == 0 && S_ISLNK(own.st_mode)) {
    if (::unlink(native.c_str()) != 0) RaiseErrno("cannot remove the link", native);
    return;
  }
  if (::rmdir(native.c_str()) != 0) RaiseErrno("cannot remove folder", native);
}

void LinuxFiles::WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const std::string native = paths_.NativeOf(path);
  FileDescriptor file(::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!file) RaiseErrno("cannot create", native);
  WriteAll(file.get(), bytes.data(), bytes.size(), native);
  if (!file.Close()) RaiseErrno("cannot write", native);
}

void LinuxFiles::Delete(const std::string& path) {
  const std::string native = paths_.NativeOf(path);
  if (::unlink(native.c_str()) != 0) RaiseErrno("cannot delete", native);
}

// rename replaces a file in one step; a folder, which MoveFileEx never
// replaces, is refused.
void LinuxFiles::Move(const std::string& from, const std::string& to) {
  const std::string source = paths_.NativeOf(from);
  const std::string target = paths_.NativeOf(to);
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    throw Error("the destination is a folder: " + target);
  }
  if (::rename(source.c_str(), target.c_str()) != 0) RaiseErrno("cannot move", source);
}

std::string LinuxFiles::Sha256(const std::string& path) const {
  const std::string native = paths_.NativeOf(path);
  const FileDescriptor file(::open(native.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file) RaiseErrno("cannot open", native);
  const std::unique_ptr<GChecksum, decltype(&g_checksum_free)> sum(g_checksum_new(G_CHECKSUM_SHA256),
                                                                   &g_checksum_free);
  std::array<std::uint8_t, 65536> buffer{};
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      RaiseErrno("cannot read", native);
    }
    if (got == 0) break;
    g_checksum_update(sum.get(), buffer.data(), got);
  }
  return g_checksum_get_string(sum.get());
}

}  // namespace tarnhold::platform::linux_backend
