// A save of the list: a new file that replaces the list in one step, or,
// where that cannot be, the list rewritten in place.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "listfile/list_file.h"
#include "listfile/posix/file_io.h"
#include "listfile/posix/new_file.h"
#include "listfile/posix/rewrite_in_place.h"
#include "listfile/posix/system_calls.h"
#include "listfile/posix/walk.h"

namespace varnik {
namespace {

using posix::Descriptor;
using posix::Fail;

// How often a save starts again because another copy replaced the list while
// this one waited to rewrite it in place; after that it rewrites what it holds.
constexpr int kMostRestarts = 10;

// Gives file the owner, the group, the access control list and the extended
// attributes of the list (the access control list before the permission
// bits, so that a named new file is never open to more than the list).
// False, with nothing else done, where the owner or the group may not be
// given (another user's list the saver may write, an owner that a
// container's user namespace does not map): a new file would take the list
// away from its owner, so the list is rewritten in place instead.
bool TakeOver(const std::string& path, const struct stat& old, int list, int file,
              const std::string& file_path) {
  if (posix::Fchown(file, old.st_uid, old.st_gid) != 0) {
    if (errno == EPERM || errno == EINVAL) return false;
    Fail(path, errno);
  }
  // A file system without access control lists or extended attributes has
  // none to keep.
  if (posix::CopyAcl(path.c_str(), list, file_path.c_str(), file) != 0 && errno != ENOTSUP &&
      errno != ENOSYS) {
    Fail(path, errno);
  }
  if (posix::CopyAttributes(path.c_str(), list, file_path.c_str(), file) != 0 && errno != ENOTSUP &&
      errno != ENOSYS) {
    Fail(path, errno);
  }
  if (posix::Fchmod(file, old.st_mode & 07777) != 0) Fail(path, errno);
  return true;
}

// One try at a save; false when it must start again.
bool Save(const std::string& path, std::string_view bytes, bool may_restart) {
  // The list as the walk reaches it. It is opened for writing before anything
  // else, so the kernel judges, with the process's own rights, whether the
  // user may change it at all: a list the user may not write (marked
  // read-only, or someone else's) is never replaced. It is read too, for its
  // access rules and attributes.
  posix::ListPlace place = posix::Walk(path);
  if (place.missing != 0) Fail(path, place.missing);
  struct stat old {};
  Descriptor list;
  if (place.file.get() >= 0) list = posix::OpenReached(place, O_RDWR, old);
  const bool has_old = list.get() >= 0;
  const auto in_place = [&](int error) {
    if (!has_old || (error != EACCES && error != EPERM && error != EBUSY && error != EROFS)) {
      Fail(path, error);
    }
    return posix::RewriteInPlace(place, std::move(list), bytes, may_restart);
  };

  // A new list is made as any new file (the umask applies); a replacement
  // starts private and takes all that belongs to the old list before it
  // holds a byte.
  posix::NewFile file(place.folder.get(), place.name, has_old ? 0600 : 0666);
  if (file.fd() < 0) return in_place(errno);
  if (has_old && !TakeOver(path, old, list.get(), file.fd(), file.Path())) {
    return in_place(EPERM);
  }
  if (!posix::WriteAll(file.fd(), bytes) || !posix::Sync(file.fd())) Fail(path, errno);
  // A folder where only a file's owner may replace it (sticky, as /tmp), or
  // a list that is a mount point of its own (a file bound into a container),
  // maybe in a folder mounted read-only.
  if (!file.Replace()) return in_place(errno);

  // The rename reaches the disk with the folder. The list is replaced by
  // now, so a folder that cannot be synced is no failure of the save.
  Descriptor folder(posix::Open(place.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) fsync(folder.get());
  return true;
}

}  // namespace

void ReplaceListFile(const std::string& path, std::string_view bytes) {
  for (int restarts = 0; !Save(path, bytes, restarts < kMostRestarts); ++restarts) {
  }
}

}  // namespace varnik
