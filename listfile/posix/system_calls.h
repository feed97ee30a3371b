#pragma once

#include <sys/types.h>

#include <functional>

namespace varnik::posix {

// The system calls the list file makes to change anything on disk, each
// through one thin function here that forwards to the system. Tests hand in a
// hook that is asked before each call and may make it fail, so that every
// step of a save can be shown to fail cleanly; the program sets none.
enum class Call {
  Open,            // open(), of the list or its folder
  Create,          // open() of the new file (O_TMPFILE or O_EXCL)
  Chown,           // fchown()
  Chmod,           // fchmod()
  CopyAcl,         // libacl's perm_copy_fd()
  CopyAttributes,  // libattr's attr_copy_fd()
  Read,            // pread()
  Write,           // write(), pwrite()
  Allocate,        // posix_fallocate()
  Truncate,        // ftruncate()
  Sync,            // fsync()
  Close,           // close()
  Link,            // linkat(), naming the new file
  Rename,          // rename(), renameat2()
  Unlink,          // unlink()
};

// Returns 0 to let the call go to the system, or an errno value for the call
// to fail with, as the system would fail it.
using CallHook = std::function<int(Call)>;

// Sets the hook (an empty one lets every call through) and returns the last.
CallHook SetCallHook(CallHook hook);

// As their namesakes: -1 (posix_fallocate: the error) with errno set on
// failure. Open is open() for Call::Open, Create for Call::Create.
int Open(const char* path, int flags, mode_t mode = 0);
int Create(const char* path, int flags, mode_t mode);
int Fchown(int fd, uid_t owner, gid_t group);
int Fchmod(int fd, mode_t mode);
int CopyAcl(const char* from_path, int from, const char* to_path, int to);
int CopyAttributes(const char* from_path, int from, const char* to_path, int to);
ssize_t Pread(int fd, void* buffer, size_t count, off_t offset);
ssize_t Write(int fd, const void* bytes, size_t count);
ssize_t Pwrite(int fd, const void* bytes, size_t count, off_t offset);
int PosixFallocate(int fd, off_t offset, off_t length);
int Ftruncate(int fd, off_t length);
int Fsync(int fd);
int Close(int fd);
int Linkat(int from_dir, const char* from, int to_dir, const char* to, int flags);
int Renameat2(const char* from, const char* to, unsigned int flags);
int Unlink(const char* path);

}  // namespace varnik::posix
