// Start-up's side of the list file: reading it, and removing it when empty.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "listfile/list_file.h"
#include "listfile/posix/file_io.h"
#include "listfile/posix/system_calls.h"
#include "listfile/posix/walk.h"

namespace varnik {
namespace {

using posix::Descriptor;
using posix::ListPlace;

class PosixListFile final : public ListFileReader {
 public:
  PosixListFile(ListPlace place, Descriptor fd, std::uint64_t size)
      : place_(std::move(place)), fd_(std::move(fd)), size_(size) {}

  std::uint64_t Size() const override { return size_; }

  std::size_t Read(std::span<char> buffer) override {
    const ssize_t got = posix::Retry([&] { return read(fd_.get(), buffer.data(), buffer.size()); });
    if (got < 0) posix::Fail(place_.shown, errno);
    return static_cast<std::size_t>(got);
  }

  // Only ever this very file, while it is empty: it is moved aside under a
  // fresh name in one step, looked at there, and deleted only if it is still
  // the empty file opened. Anything else (a list another copy saved in the
  // meantime) goes back, unless a newer list has taken the name since.
  void DeleteIfEmpty() override {
    const int folder = place_.folder.get();
    if (!StillEmpty(place_.name)) return;
    std::string aside;
    for (int attempt = 0; attempt < 100 && aside.empty(); ++attempt) {
      aside = posix::FreshNameBeside(place_.name);
      if (posix::Renameat2(folder, place_.name.c_str(), folder, aside.c_str(), RENAME_NOREPLACE) ==
          0) {
        break;
      }
      aside.clear();
      if (errno != EEXIST) return;  // a folder the user may not change, or no such rename
    }
    if (aside.empty()) return;
    if (StillEmpty(aside)) {
      posix::Unlinkat(folder, aside.c_str());
    } else if (posix::Renameat2(folder, aside.c_str(), folder, place_.name.c_str(),
                                RENAME_NOREPLACE) != 0 &&
               errno == EEXIST) {
      // A newer list has the name by now: this older one goes, as a save
      // would have replaced it.
      posix::Unlinkat(folder, aside.c_str());
    }
  }

 private:
  // Whether name in the list's folder is the opened file, a plain file (not a
  // link), and it holds no bytes.
  bool StillEmpty(const std::string& name) const {
    struct stat open_file {
    }, named{};
    return fstat(fd_.get(), &open_file) == 0 && open_file.st_size == 0 &&
           fstatat(place_.folder.get(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(named.st_mode) && posix::SameFile(named, open_file);
  }

  ListPlace place_;
  Descriptor fd_;
  std::uint64_t size_;
};

}  // namespace

std::unique_ptr<ListFileReader> OpenListFile(const std::string& path) {
  ListPlace place = posix::Walk(path);
  if (place.missing != 0 || place.file.get() < 0) return nullptr;
  struct stat status {};
  Descriptor fd = posix::OpenReached(place, O_RDONLY, status);
  if (fd.get() < 0) return nullptr;
  // Held while the list is read, so that a copy rewriting it in place is
  // waited for. A file system without such locks has nobody to wait for.
  if (!posix::LockList(fd.get(), F_RDLCK)) {
    if (errno == EAGAIN) posix::FailLocked(path);
    if (errno != ENOLCK && errno != EOPNOTSUPP && errno != EINVAL) posix::Fail(path, errno);
  }
  if (fstat(fd.get(), &status) != 0) posix::Fail(path, errno);
  return std::make_unique<PosixListFile>(std::move(place), std::move(fd),
                                         static_cast<std::uint64_t>(status.st_size));
}

}  // namespace varnik
