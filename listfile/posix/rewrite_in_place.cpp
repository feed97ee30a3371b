#include "listfile/posix/rewrite_in_place.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "listfile/posix/system_calls.h"

namespace varnik::posix {

bool RewriteInPlace(const ListPlace& place, Descriptor list, std::string_view bytes,
                    bool may_restart) {
  const std::string& path = place.shown;
  const int fd = list.get();
  if (!LockList(fd, F_WRLCK)) {
    if (errno == EAGAIN) FailLocked(path);
    Fail(path, errno);
  }
  struct stat now {};
  struct stat named {};
  if (fstat(fd, &now) != 0) Fail(path, errno);
  if (may_restart &&
      (fstatat(place.folder.get(), place.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
       !SameFile(named, now))) {
    return false;
  }
  // The bytes about to be overwritten, and the length, as they are under the lock.
  std::string old(std::min<std::uint64_t>(static_cast<std::uint64_t>(now.st_size), bytes.size()),
                  '\0');
  if (!ReadAllAt(fd, old)) Fail(path, errno);
  const off_t old_size = old.size() < bytes.size() ? static_cast<off_t>(old.size()) : now.st_size;
  const auto new_size = static_cast<off_t>(bytes.size());

  int error = 0;
  if (Retry([&] { return posix::Fallocate(fd, new_size); }) != 0) error = errno;
  if (error == EOPNOTSUPP || error == EINVAL) error = 0;  // nothing to reserve with there
  bool cut = false;                                       // bytes beyond the new end are gone
  if (error == 0) {
    if (WriteAllAt(fd, bytes) && Retry([&] { return posix::Ftruncate(fd, new_size); }) == 0) {
      cut = new_size < old_size;
      if (Sync(fd)) {
        // Written and on the disk; a file system that reports a failure only
        // now leaves nothing to put back.
        if (!list.Close()) Fail(path, errno, true);
        return true;
      }
    }
    error = errno;
  }

  // Put back what was overwritten, and the old end, as far as the system
  // lets; then look whether the list is what it was.
  const auto put_back = [&] {
    if (cut) return false;
    std::string written(old.size(), '\0');
    if (ReadAllAt(fd, written) && written != old) WriteAllAt(fd, old);
    // Also gives back room reserved beyond the old end.
    Retry([&] { return posix::Ftruncate(fd, old_size); });
    struct stat status {};
    std::string now_there(old.size(), '\0');
    return Sync(fd) && fstat(fd, &status) == 0 && status.st_size == old_size &&
           ReadAllAt(fd, now_there) && now_there == old;
  };
  const bool restored = put_back();
  Fail(path, error, !restored);
}

}  // namespace varnik::posix
