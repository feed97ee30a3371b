#include "listfile/posix/new_file.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "listfile/posix/file_io.h"
#include "listfile/posix/system_calls.h"

namespace varnik::posix {
namespace {

// In an append-only folder a new name can be made but never renamed or
// removed again: the file could replace nothing and would stay behind. The
// folder's attributes are asked for through the walk's descriptor, which
// needs no right to read the folder; a file system that does not report them
// there is asked through the folder opened for reading; one that cannot be
// read there counts as append-only, as a new name in it might stay.
bool AppendOnly(int folder) {
  struct statx status {};
  if (statx(folder, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS, &status) == 0 &&
      (status.stx_attributes_mask & STATX_ATTR_APPEND) != 0) {
    return (status.stx_attributes & STATX_ATTR_APPEND) != 0;
  }
  Descriptor directory(openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.get() < 0) return true;
  int flags = 0;
  return ioctl(directory.get(), FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_APPEND_FL) != 0;
}

}  // namespace

NewFile::NewFile(int folder, const std::string& target, mode_t mode)
    : folder_(folder), target_(target) {
  if (AppendOnly(folder)) {
    errno = EPERM;
    return;
  }
  fd_ = posix::Create(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  if (fd_ >= 0) {
    struct stat link {};
    if (stat(SelfLink().c_str(), &link) == 0) return;
    close(std::exchange(fd_, -1));  // no /proc: it could never be named
  } else if (errno != EOPNOTSUPP && errno != EISDIR) {
    return;
  }
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    name_ = FreshNameBeside(target);
    fd_ = posix::Create(folder, name_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOCTTY,
                        mode);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) name_.clear();
}

NewFile::~NewFile() {
  if (fd_ >= 0) close(fd_);
  if (!name_.empty()) posix::Unlinkat(folder_, name_.c_str());
}

std::string NewFile::Path() const { return name_.empty() ? SelfLink() : name_; }

bool NewFile::Replace() {
  if (name_.empty() && !GiveName()) {
    const int error = errno;
    close(std::exchange(fd_, -1));
    errno = error;
    return false;
  }
  if (posix::Close(std::exchange(fd_, -1)) != 0 ||
      posix::Renameat2(folder_, name_.c_str(), folder_, target_.c_str(), 0) != 0) {
    return false;
  }
  name_.clear();
  return true;
}

std::string NewFile::SelfLink() const { return "/proc/self/fd/" + std::to_string(fd_); }

// An unnamed file gets a fresh name of its own, through the link the system
// keeps for each open file.
bool NewFile::GiveName() {
  const std::string self = SelfLink();
  for (int attempt = 0; attempt < 100; ++attempt) {
    name_ = FreshNameBeside(target_);
    if (posix::Linkat(AT_FDCWD, self.c_str(), folder_, name_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      return true;
    }
    if (errno != EEXIST) break;
  }
  name_.clear();
  return false;
}

}  // namespace varnik::posix
