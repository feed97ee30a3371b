#include "listfile/posix/system_calls.h"

#include <acl/libacl.h>
#include <attr/libattr.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

namespace varnik::posix {
namespace {

CallHook& Hook() {
  static CallHook hook;
  return hook;
}

// The error the hook wants for the call, 0 for none.
int Refused(Call call) { return Hook() ? Hook()(call) : 0; }

template <typename Result>
Result Fail(int error) {
  errno = error;
  return -1;
}

}  // namespace

CallHook SetCallHook(CallHook hook) { return std::exchange(Hook(), std::move(hook)); }

int Open(int folder, const char* path, int flags, mode_t mode) {
  if (const int error = Refused(Call::Open)) return Fail<int>(error);
  return openat(folder, path, flags, mode);
}

int Create(int folder, const char* path, int flags, mode_t mode) {
  if (const int error = Refused(Call::Create)) return Fail<int>(error);
  return openat(folder, path, flags, mode);
}

int Fchown(int fd, uid_t owner, gid_t group) {
  if (const int error = Refused(Call::Chown)) return Fail<int>(error);
  return fchown(fd, owner, group);
}

int Fchmod(int fd, mode_t mode) {
  if (const int error = Refused(Call::Chmod)) return Fail<int>(error);
  return fchmod(fd, mode);
}

// Without an error context the libraries report nothing themselves; errno
// tells what failed.
int CopyAcl(const char* from_path, int from, const char* to_path, int to) {
  if (const int error = Refused(Call::CopyAcl)) return Fail<int>(error);
  return perm_copy_fd(from_path, from, to_path, to, nullptr);
}

// libattr leaves out what /etc/xattr.conf calls permissions, and libacl copies
// only POSIX access control lists: an NFSv4 one is copied here as it is, so
// it is kept or the copy fails.
int CopyAttributes(const char* from_path, int from, const char* to_path, int to) {
  if (const int error = Refused(Call::CopyAttributes)) return Fail<int>(error);
  if (attr_copy_fd(from_path, from, to_path, to, nullptr, nullptr) != 0) return -1;
  static const char kNfs4Acl[] = "system.nfs4_acl";
  const ssize_t size = fgetxattr(from, kNfs4Acl, nullptr, 0);
  if (size < 0) return errno == ENODATA || errno == ENOTSUP ? 0 : -1;
  std::vector<char> value(static_cast<std::size_t>(size));
  const ssize_t got = fgetxattr(from, kNfs4Acl, value.data(), value.size());
  if (got < 0) return -1;
  return fsetxattr(to, kNfs4Acl, value.data(), static_cast<std::size_t>(got), 0);
}

int Lock(int fd, short type) {
  if (const int error = Refused(Call::Lock)) return Fail<int>(error);
  struct flock whole {};
  whole.l_type = type;
  whole.l_whence = SEEK_SET;
  return fcntl(fd, F_OFD_SETLK, &whole);
}

ssize_t Pread(int fd, void* buffer, size_t count, off_t offset) {
  if (const int error = Refused(Call::Read)) return Fail<ssize_t>(error);
  return pread(fd, buffer, count, offset);
}

ssize_t Write(int fd, const void* bytes, size_t count) {
  if (const int error = Refused(Call::Write)) return Fail<ssize_t>(error);
  return write(fd, bytes, count);
}

ssize_t Pwrite(int fd, const void* bytes, size_t count, off_t offset) {
  if (const int error = Refused(Call::Write)) return Fail<ssize_t>(error);
  return pwrite(fd, bytes, count, offset);
}

int Fallocate(int fd, off_t length) {
  if (const int error = Refused(Call::Allocate)) return Fail<int>(error);
  return fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, length);
}

int Ftruncate(int fd, off_t length) {
  if (const int error = Refused(Call::Truncate)) return Fail<int>(error);
  return ftruncate(fd, length);
}

int Fsync(int fd) {
  if (const int error = Refused(Call::Sync)) return Fail<int>(error);
  return fsync(fd);
}

// A refused close still closes, as the system's does.
int Close(int fd) {
  if (const int error = Refused(Call::Close)) {
    close(fd);
    return Fail<int>(error);
  }
  return close(fd);
}

int Linkat(int from_folder, const char* from, int to_folder, const char* to, int flags) {
  if (const int error = Refused(Call::Link)) return Fail<int>(error);
  return linkat(from_folder, from, to_folder, to, flags);
}

int Renameat2(int from_folder, const char* from, int to_folder, const char* to,
              unsigned int flags) {
  if (const int error = Refused(Call::Rename)) return Fail<int>(error);
  return renameat2(from_folder, from, to_folder, to, flags);
}

int Unlinkat(int folder, const char* name) {
  if (const int error = Refused(Call::Unlink)) return Fail<int>(error);
  return unlinkat(folder, name, 0);
}

}  // namespace varnik::posix
