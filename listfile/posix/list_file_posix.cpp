// The list file through POSIX calls (and Linux's unnamed files, where the file
// system has them). Every call that changes something on disk goes through
// listfile/posix/system_calls.h.
#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>

#include "common/platform_error.h"
#include "listfile/list_file.h"
#include "listfile/posix/system_calls.h"

namespace varnik {
namespace {

// The system's text says all there is to say: the number behind it (errno)
// would mean nothing more to the user.
[[noreturn]] void Fail(const std::string& path, int error, bool list_may_be_damaged = false) {
  PlatformError::Details details;
  details.list_may_be_damaged = list_may_be_damaged;
  throw PlatformError(path + ": " + std::strerror(error), details);
}

// Only a plain file is read or replaced: a FIFO would be waited on or
// emptied, a device read or written, a socket is no file at all. A folder
// fails as the system fails reading one.
void RequirePlainFile(const std::string& path, const struct stat& status) {
  if (S_ISREG(status.st_mode)) return;
  if (S_ISDIR(status.st_mode)) Fail(path, EISDIR);
  const char* what = "qualcosa che non \xC3\xA8 un file";
  if (S_ISFIFO(status.st_mode)) what = "una pipe con nome (FIFO)";
  if (S_ISSOCK(status.st_mode)) what = "un socket";
  if (S_ISCHR(status.st_mode)) what = "un dispositivo a caratteri";
  if (S_ISBLK(status.st_mode)) what = "un dispositivo a blocchi";
  throw PlatformError(path + ": non \xC3\xA8 un file ordinario ma " + std::string(what) +
                      "; Varnik legge e sostituisce solo un file ordinario");
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A file descriptor, closed when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&&) = delete;
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  // Closes now and says whether the system reports an error (errno then
  // tells which); some file systems report a failed write only here.
  bool Close() { return posix::Close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = posix::Write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool WriteAllAt(int fd, std::string_view bytes) {
  for (off_t at = 0; !bytes.empty();) {
    const ssize_t written = posix::Pwrite(fd, bytes.data(), bytes.size(), at);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
    at += written;
  }
  return true;
}

// Fills bytes from the start of the file; false with errno set on an error,
// with EIO where the file is shorter.
bool ReadAllAt(int fd, std::string& bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    const ssize_t got =
        posix::Pread(fd, bytes.data() + at, bytes.size() - at, static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got == 0) errno = EIO;
      return false;
    }
    at += static_cast<std::size_t>(got);
  }
  return true;
}

bool Sync(int fd) {
  while (posix::Fsync(fd) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// The folder part of a path, with its final slash; empty for a bare name.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) { return path.substr(FolderOf(path).size()); }

// A name beside path that nobody uses yet, most likely: ".<name>.<8 hex>".
// Whoever takes it must make sure it does not exist.
std::string FreshNameBeside(const std::string& path) {
  static std::random_device random;
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".%08x", random());
  return FolderOf(path) + "." + NameOf(path) + suffix;
}

// A link in a folder that others may write is followed only when it is the
// user's own or the folder owner's: anyone else who may write there could
// have put it in the list's place to send the save into a file of their
// choosing that the user may write. The kernel refuses such links the same
// way in sticky folders open to all; here the rule holds in every shared one.
bool PlantedByAnother(const std::string& path) {
  struct stat link {};
  struct stat folder {};
  const std::string folder_path = FolderOf(path).empty() ? "." : FolderOf(path);
  return lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode) &&
         stat(folder_path.c_str(), &folder) == 0 && (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0 &&
         link.st_uid != geteuid() && link.st_uid != folder.st_uid;
}

// The file a path leads to once links are followed; a save replaces that file
// and leaves the links as they are. A link planted by another user in a
// shared folder fails, naming the list as `shown`.
std::string LinkTarget(std::string path, const std::string& shown) {
  for (int hops = 0; hops < 40; ++hops) {
    if (PlantedByAnother(path)) Fail(shown, EACCES);
    std::string target(PATH_MAX, '\0');
    const ssize_t length = readlink(path.c_str(), target.data(), target.size());
    if (length <= 0) break;  // not a link, or nothing there
    target.resize(static_cast<std::size_t>(length));
    path = target.front() == '/' ? target : FolderOf(path) + target;
  }
  return path;
}

// Opens what stands at path, once it is known to be a plain file (links
// followed unless flags say otherwise), with flags; -1 with errno ENOENT when
// nothing is there. What stands there is looked at before it is opened, since
// opening a device or a FIFO can do something of its own; and once more
// after, in case it changed in between. Failures name the list as shown.
Descriptor OpenPlainFile(const std::string& path, const std::string& shown, int flags,
                         struct stat& status) {
  const int follow = flags & O_NOFOLLOW;
  Descriptor look(posix::Open(path.c_str(), O_PATH | O_CLOEXEC | follow));
  if (look.get() < 0 && errno == ENOENT) return Descriptor();
  if (look.get() < 0 || fstat(look.get(), &status) != 0) Fail(shown, errno);
  RequirePlainFile(shown, status);
  Descriptor file(posix::Open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (file.get() < 0 && errno == ENOENT) return file;
  if (file.get() < 0 || fstat(file.get(), &status) != 0) Fail(shown, errno);
  RequirePlainFile(shown, status);
  return file;
}

class PosixListFile final : public ListFileReader {
 public:
  PosixListFile(std::string path, Descriptor fd, std::uint64_t size)
      : path_(std::move(path)), fd_(std::move(fd)), size_(size) {}

  std::uint64_t Size() const override { return size_; }

  std::size_t Read(std::span<char> buffer) override {
    for (;;) {
      const ssize_t got = read(fd_.get(), buffer.data(), buffer.size());
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) Fail(path_, errno);
    }
  }

  // Only ever this very file, while it is empty: it is moved aside under a
  // fresh name in one step, looked at there, and deleted only if it is still
  // the empty file opened. Anything else (a list another copy saved in the
  // meantime) goes back, unless a newer list has taken the name since.
  void DeleteIfEmpty() override {
    struct stat named {};
    if (!StillEmpty(path_, named)) return;
    std::string aside;
    for (int attempt = 0; attempt < 100 && aside.empty(); ++attempt) {
      aside = FreshNameBeside(path_);
      if (posix::Renameat2(path_.c_str(), aside.c_str(), RENAME_NOREPLACE) == 0) break;
      aside.clear();
      if (errno != EEXIST) return;  // a folder the user may not change, or no such rename
    }
    if (aside.empty()) return;
    if (StillEmpty(aside, named)) {
      posix::Unlink(aside.c_str());
    } else if (posix::Renameat2(aside.c_str(), path_.c_str(), RENAME_NOREPLACE) != 0 &&
               errno == EEXIST) {
      // A newer list has the name by now: this older one goes, as a save
      // would have replaced it.
      posix::Unlink(aside.c_str());
    }
  }

 private:
  // Whether path names the opened file, a plain file, and it holds no bytes.
  bool StillEmpty(const std::string& path, struct stat& named) const {
    struct stat open_file {};
    return fstat(fd_.get(), &open_file) == 0 && open_file.st_size == 0 &&
           lstat(path.c_str(), &named) == 0 && S_ISREG(named.st_mode) && SameFile(named, open_file);
  }

  std::string path_;
  Descriptor fd_;
  std::uint64_t size_;
};

// The new list while it is written: a file in the list's folder that no other
// process can reach. Where the file system can, it gets a name only when it
// is complete, just before the rename, so a save cut short almost never
// leaves anything behind; elsewhere (and where there is no /proc to name it
// through) it is created under a fresh name that must not exist yet (O_EXCL,
// which never follows a link and never opens a FIFO). Discarded unless it
// replaces the list.
class PendingFile {
 public:
  // A file for replacing target. Check fd() afterwards: below 0 when no file
  // could be made (errno says why).
  PendingFile(const std::string& target, mode_t mode) : target_(target) {
    const std::string folder = FolderOf(target).empty() ? "." : FolderOf(target);
    // In an append-only folder a new name can be made but never renamed or
    // removed again: the file could replace nothing and would stay behind.
    if (AppendOnly(folder)) {
      errno = EPERM;
      return;
    }
    fd_ = posix::Create(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd_ >= 0) {
      struct stat link {};
      if (stat(SelfLink().c_str(), &link) == 0) return;
      close(std::exchange(fd_, -1));  // no /proc: it could never be named
    } else if (errno != EOPNOTSUPP && errno != EISDIR) {
      return;
    }
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
      name_ = FreshNameBeside(target);
      fd_ = posix::Create(name_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOCTTY, mode);
      if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) name_.clear();
  }
  ~PendingFile() {
    if (fd_ >= 0) close(fd_);
    if (!name_.empty()) posix::Unlink(name_.c_str());
  }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  int fd() const { return fd_; }
  // What the file is called in messages to libraries: its name, or the link
  // through which the system reaches it while it has none.
  std::string Path() const { return name_.empty() ? SelfLink() : name_; }

  // Closes the complete file and renames it to target in one step; false
  // with errno set when the system refuses.
  bool Replace() {
    if (name_.empty() && !GiveName()) {
      const int error = errno;
      close(std::exchange(fd_, -1));
      errno = error;
      return false;
    }
    if (posix::Close(std::exchange(fd_, -1)) != 0 ||
        posix::Renameat2(name_.c_str(), target_.c_str(), 0) != 0) {
      return false;
    }
    name_.clear();
    return true;
  }

 private:
  static bool AppendOnly(const std::string& folder) {
    Descriptor directory(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    int flags = 0;
    return directory.get() >= 0 && ioctl(directory.get(), FS_IOC_GETFLAGS, &flags) == 0 &&
           (flags & FS_APPEND_FL) != 0;
  }

  std::string SelfLink() const { return "/proc/self/fd/" + std::to_string(fd_); }

  // An unnamed file gets a fresh name of its own, through the link the
  // system keeps for each open file.
  bool GiveName() {
    const std::string self = SelfLink();
    for (int attempt = 0; attempt < 100; ++attempt) {
      name_ = FreshNameBeside(target_);
      if (posix::Linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        return true;
      }
      if (errno != EEXIST) break;
    }
    name_.clear();
    return false;
  }

  std::string target_;
  std::string name_;  // empty while the file has no name
  int fd_ = -1;
};

// Where the list cannot be replaced (a folder that forbids new files, a
// sticky folder, a list that is a mount point of its own), the list itself
// is rewritten: room for the new bytes is reserved first, so a full disk or
// quota stops the rewrite before it starts; then the new bytes go over the
// old ones and the rest is cut off. A failure after the reservation puts the
// old bytes back; only when the list is then shown to be byte for byte what
// it was does the failure say so. Unlike a replacement, a crash in the middle
// can leave the list torn.
void WriteInPlace(const std::string& path, Descriptor list, std::uint64_t old_size,
                  std::string_view bytes) {
  const int fd = list.get();
  const auto new_size = static_cast<off_t>(bytes.size());
  // The bytes about to be overwritten.
  std::string old(std::min<std::uint64_t>(old_size, bytes.size()), '\0');
  if (!ReadAllAt(fd, old)) Fail(path, errno);

  int error = 0;
  while ((error = posix::PosixFallocate(fd, 0, new_size)) == EINTR) {
  }
  if (error == EOPNOTSUPP || error == EINVAL) error = 0;  // nothing to reserve with there
  bool cut = false;                                       // bytes beyond the new end are gone
  if (error == 0) {
    if (WriteAllAt(fd, bytes) && posix::Ftruncate(fd, new_size) == 0) {
      cut = new_size < static_cast<off_t>(old_size);
      if (Sync(fd)) {
        // Written and on the disk; a file system that reports a failure only
        // now leaves nothing to put back.
        if (!list.Close()) Fail(path, errno, true);
        return;
      }
    }
    error = errno;
  }

  // Put back what was overwritten, and the old end, where they changed, as
  // far as the system lets; then look whether the list is what it was.
  const auto put_back = [&] {
    if (cut) return false;
    std::string now(old.size(), '\0');
    if (ReadAllAt(fd, now) && now != old) WriteAllAt(fd, old);
    struct stat status {};
    if (fstat(fd, &status) == 0 && static_cast<std::uint64_t>(status.st_size) != old_size) {
      posix::Ftruncate(fd, static_cast<off_t>(old_size));
    }
    return Sync(fd) && fstat(fd, &status) == 0 &&
           static_cast<std::uint64_t>(status.st_size) == old_size && ReadAllAt(fd, now) &&
           now == old;
  };
  const bool restored = put_back();
  Fail(path, error, !restored);
}

}  // namespace

std::unique_ptr<ListFileReader> OpenListFile(const std::string& path) {
  struct stat status {};
  Descriptor fd = OpenPlainFile(path, path, O_RDONLY, status);
  if (fd.get() < 0) return nullptr;
  return std::make_unique<PosixListFile>(path, std::move(fd),
                                         static_cast<std::uint64_t>(status.st_size));
}

void ReplaceListFile(const std::string& path, std::string_view bytes) {
  // The list as the system finds it through any links. It is opened for
  // writing before anything else, so the kernel judges, with the process's
  // own rights, whether the user may change it at all: a list the user may
  // not write (marked read-only, or someone else's) is never replaced. It is
  // read too, for its access rules and attributes.
  const std::string target = LinkTarget(path, path);
  struct stat old {};
  Descriptor list = OpenPlainFile(target, path, O_RDWR | O_NOFOLLOW, old);
  const bool has_old = list.get() >= 0;
  const auto write_in_place = [&](int error) {
    return has_old && (error == EACCES || error == EPERM || error == EBUSY);
  };

  // A new list is made as any new file (the umask applies); a replacement
  // starts private and takes the old list's owner, group, permissions, access
  // control list and extended attributes before it holds a byte.
  PendingFile file(target, has_old ? 0600 : 0666);
  if (file.fd() < 0) {
    const int error = errno;
    if (write_in_place(error))
      return WriteInPlace(path, std::move(list), static_cast<std::uint64_t>(old.st_size), bytes);
    Fail(path, error);
  }
  if (has_old) {
    // Where the owner or the group may not be given, the list becomes the
    // saver's own, with the same permissions.
    if (posix::Fchown(file.fd(), old.st_uid, old.st_gid) != 0) {
      if (errno != EPERM) Fail(path, errno);
      if (posix::Fchown(file.fd(), static_cast<uid_t>(-1), old.st_gid) != 0 && errno != EPERM) {
        Fail(path, errno);
      }
    }
    if (posix::Fchmod(file.fd(), old.st_mode & 07777) != 0) Fail(path, errno);
    // A file system without access control lists or extended attributes has
    // none to keep.
    const std::string file_path = file.Path();
    if (posix::CopyAcl(target.c_str(), list.get(), file_path.c_str(), file.fd()) != 0 &&
        errno != ENOTSUP && errno != ENOSYS) {
      Fail(path, errno);
    }
    if (posix::CopyAttributes(target.c_str(), list.get(), file_path.c_str(), file.fd()) != 0 &&
        errno != ENOTSUP && errno != ENOSYS) {
      Fail(path, errno);
    }
  }
  if (!WriteAll(file.fd(), bytes) || !Sync(file.fd())) Fail(path, errno);
  if (!file.Replace()) {
    // A folder where only a file's owner may replace it (sticky, as /tmp), or
    // a list that is a mount point of its own (a file bound into a container).
    const int error = errno;
    if (write_in_place(error))
      return WriteInPlace(path, std::move(list), static_cast<std::uint64_t>(old.st_size), bytes);
    Fail(path, error);
  }

  // The rename reaches the disk with the folder. The list is replaced by
  // now, so a folder that cannot be synced is no failure of the save.
  const std::string folder = FolderOf(target);
  Descriptor directory(
      posix::Open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.get() >= 0) fsync(directory.get());
}

}  // namespace varnik
