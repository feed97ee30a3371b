// The list file through POSIX calls (and Linux's unnamed files, where the file
// system has them).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <random>

#include "common/platform_error.h"
#include "listfile/list_file.h"

namespace varnik {
namespace {

// The system's text says all there is to say: the number behind it (errno)
// would mean nothing more to the user.
[[noreturn]] void Fail(const std::string& path, int error) {
  throw PlatformError(path + ": " + std::strerror(error));
}

// A file descriptor, closed when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  // Closes now and says whether the system reports an error (errno then
  // tells which); some file systems report a failed write only here.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// The folder part of a path, with its final slash; empty for a bare name.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) { return path.substr(FolderOf(path).size()); }

// The file a path leads to once links are followed; a save replaces that file
// and leaves the links as they are.
std::string LinkTarget(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    std::string target(PATH_MAX, '\0');
    const ssize_t length = readlink(path.c_str(), target.data(), target.size());
    if (length <= 0) break;  // not a link, or nothing there
    target.resize(static_cast<std::size_t>(length));
    path = target.front() == '/' ? target : FolderOf(path) + target;
  }
  return path;
}

class PosixListFile final : public ListFileReader {
 public:
  PosixListFile(std::string path, int fd, std::uint64_t size)
      : path_(std::move(path)), fd_(fd), size_(size) {}

  std::uint64_t Size() const override { return size_; }

  std::size_t Read(std::span<char> buffer) override {
    for (;;) {
      const ssize_t got = read(fd_.get(), buffer.data(), buffer.size());
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) Fail(path_, errno);
    }
  }

  void DeleteIfEmpty() override {
    struct stat open_file {};
    struct stat named {};
    if (fstat(fd_.get(), &open_file) == 0 && open_file.st_size == 0 &&
        lstat(path_.c_str(), &named) == 0 && S_ISREG(named.st_mode) &&
        named.st_dev == open_file.st_dev && named.st_ino == open_file.st_ino) {
      unlink(path_.c_str());
    }
  }

 private:
  std::string path_;
  Descriptor fd_;
  std::uint64_t size_;
};

// The new list while it is written: a file in the list's folder that no other
// process can reach. Where the file system can, it gets a name only when it
// is complete, just before the rename, so a save cut short almost never
// leaves anything behind; elsewhere it is created under a fresh name that
// must not exist yet (O_EXCL, which never follows a link and never opens a
// FIFO). Discarded unless it replaces the list.
class PendingFile {
 public:
  // A file for replacing target. Check fd() afterwards: below 0 when no file
  // could be made (errno says why).
  PendingFile(const std::string& target, mode_t mode)
      : folder_(FolderOf(target).empty() ? "./" : FolderOf(target)), prefix_("." + NameOf(target)) {
    fd_ = open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd_ >= 0 || (errno != EOPNOTSUPP && errno != EISDIR)) return;
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
      name_ = FreshName();
      fd_ = open(name_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOCTTY, mode);
      if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) name_.clear();
  }
  ~PendingFile() {
    if (fd_ >= 0) close(fd_);
    if (!name_.empty()) unlink(name_.c_str());
  }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  int fd() const { return fd_; }

  // Closes the complete file and renames it to target in one step; false
  // with errno set when the system refuses.
  bool Replace(const std::string& target) {
    const int fd = fd_;
    fd_ = -1;
    if (name_.empty() && !GiveName(fd)) {
      const int error = errno;
      close(fd);
      errno = error;
      return false;
    }
    if (close(fd) != 0 || rename(name_.c_str(), target.c_str()) != 0) return false;
    name_.clear();
    return true;
  }

 private:
  std::string FreshName() {
    static std::random_device random;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x", random());
    return folder_ + prefix_ + suffix;
  }

  // An unnamed file gets a fresh name of its own, through the link the
  // system keeps for each open file.
  bool GiveName(int fd) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
      name_ = FreshName();
      if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        return true;
      }
      if (errno != EEXIST) break;
    }
    name_.clear();
    return false;
  }

  std::string folder_;
  std::string prefix_;
  std::string name_;  // empty while the file has no name
  int fd_ = -1;
};

// Where the folder forbids a new file, the list itself is rewritten: the new
// bytes over the old ones, then the rest cut off, so the list is never empty
// on the way. Unlike a replacement, a crash in the middle can leave it torn.
void WriteInPlace(const std::string& path, std::string_view bytes) {
  Descriptor list(open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (list.get() < 0 || !WriteAll(list.get(), bytes) ||
      ftruncate(list.get(), static_cast<off_t>(bytes.size())) != 0 || fsync(list.get()) != 0 ||
      !list.Close()) {
    Fail(path, errno);
  }
}

}  // namespace

std::unique_ptr<ListFileReader> OpenListFile(const std::string& path) {
  // Non-blocking, so a FIFO in the list's place is not waited on.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0 && errno == ENOENT) return nullptr;
  if (fd < 0) Fail(path, errno);
  struct stat status {};
  if (fstat(fd, &status) != 0) {
    const int error = errno;
    close(fd);
    Fail(path, error);
  }
  const bool has_length = S_ISREG(status.st_mode) || S_ISDIR(status.st_mode);
  return std::make_unique<PosixListFile>(
      path, fd, has_length ? static_cast<std::uint64_t>(status.st_size) : 0);
}

void ReplaceListFile(const std::string& path, std::string_view bytes) {
  // The list as the system finds it through any links: the new file takes
  // over its permissions.
  struct stat old {};
  const bool found = stat(path.c_str(), &old) == 0;
  if (!found && errno != ENOENT) Fail(path, errno);
  const bool has_old = found && S_ISREG(old.st_mode);
  const auto may_write_in_place = [&](int error) {
    return has_old && (error == EACCES || error == EPERM);
  };
  const std::string target = LinkTarget(path);

  // A new list is made as any new file (the umask applies); a replacement
  // starts private and takes the old list's owner, group and permissions
  // before it holds a byte.
  PendingFile file(target, has_old ? 0600 : 0666);
  if (file.fd() < 0) {
    const int error = errno;
    if (may_write_in_place(error)) return WriteInPlace(path, bytes);
    Fail(path, error);
  }
  if (has_old) {
    if (fchown(file.fd(), old.st_uid, old.st_gid) != 0 &&
        fchown(file.fd(), static_cast<uid_t>(-1), old.st_gid) != 0) {
      // Neither may be set: the list becomes the saver's own.
    }
    if (fchmod(file.fd(), old.st_mode & 07777) != 0) Fail(path, errno);
  }
  if (!WriteAll(file.fd(), bytes) || fsync(file.fd()) != 0) Fail(path, errno);
  if (!file.Replace(target)) {
    // A folder where only a file's owner may replace it (sticky, as /tmp).
    const int error = errno;
    if (may_write_in_place(error)) return WriteInPlace(path, bytes);
    Fail(path, error);
  }

  // The rename reaches the disk with the folder. The list is replaced by
  // now, so a folder that cannot be synced is no failure of the save.
  const std::string folder = FolderOf(target);
  Descriptor directory(
      open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.get() >= 0) fsync(directory.get());
}

}  // namespace varnik
