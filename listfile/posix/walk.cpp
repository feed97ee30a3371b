#include "listfile/posix/walk.h"

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <deque>

#include "common/platform_error.h"
#include "listfile/posix/system_calls.h"

namespace varnik::posix {
namespace {

// Longer chains of links fail as the system fails them.
constexpr int kMostLinks = 40;

void PushFront(std::deque<std::string>& names, const std::string& path) {
  std::deque<std::string> parts;
  for (std::size_t at = 0; at <= path.size();) {
    const std::size_t slash = std::min(path.find('/', at), path.size());
    if (slash > at) parts.push_back(path.substr(at, slash - at));
    at = slash + 1;
  }
  names.insert(names.begin(), parts.begin(), parts.end());
}

bool Trusted(uid_t owner) { return owner == 0 || owner == geteuid(); }

// The rule of the walk: what it moves into (a link it follows, a folder it
// enters) is the user's or root's, and so is the folder it stands in, which
// only its owner may write, or which is sticky, so that nobody else may
// rename or replace what stands in it. Entering a folder's parent (..) asks
// only that the parent be the user's or root's.
void RequireTrusted(const std::string& path, const std::string& shown, bool is_link,
                    const struct stat& what, const struct stat* in) {
  const bool safe =
      Trusted(what.st_uid) &&
      (in == nullptr || (Trusted(in->st_uid) && ((in->st_mode & (S_IWGRP | S_IWOTH)) == 0 ||
                                                 (in->st_mode & S_ISVTX) != 0)));
  if (safe) return;
  throw PlatformError(path + ": Varnik non " +
                      (is_link ? "segue il collegamento simbolico '" : "entra nella cartella '") +
                      shown + "', che un altro utente pu\xC3\xB2 aver messo o cambiato");
}

// What stands at the list's place in a folder others may write (sticky or
// not) is used only when it is the user's, root's or the folder owner's:
// anything else may have been put there by anyone, to be read at start-up or
// written by a save.
void RequireOwnList(const std::string& path, const std::string& shown, const struct stat& what,
                    const struct stat& in) {
  if ((in.st_mode & (S_IWGRP | S_IWOTH)) == 0) return;
  if (!Trusted(what.st_uid) && what.st_uid != in.st_uid) {
    throw PlatformError(path + ": Varnik non usa il file '" + shown +
                        "', che appartiene a un altro utente in una cartella in cui altri possono "
                        "scrivere");
  }
  // Another name of a file, there, may be anyone's doing: a file of the
  // user's from elsewhere, which a save rewritten in place would change.
  if (S_ISREG(what.st_mode) && what.st_nlink > 1) {
    throw PlatformError(path + ": Varnik non usa il file '" + shown +
                        "', che ha anche altri nomi (collegamenti fisici) in una cartella in cui "
                        "altri possono scrivere");
  }
}

Descriptor OpenPath(const std::string& path, int folder, const char* name, struct stat& status) {
  Descriptor fd(posix::Open(folder, name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (fd.get() >= 0 && fstat(fd.get(), &status) != 0) Fail(path, errno);
  return fd;
}

}  // namespace

ListPlace Walk(const std::string& path) {
  ListPlace place;
  place.shown = path;
  std::deque<std::string> names;
  PushFront(names, path);
  if (names.empty()) Fail(path, ENOENT);
  const bool absolute = path.front() == '/';
  struct stat folder_status {};
  Descriptor folder = OpenPath(path, AT_FDCWD, absolute ? "/" : ".", folder_status);
  if (folder.get() < 0) Fail(path, errno);
  std::string where = absolute ? "/" : "";  // the folder as the user would name it
  for (int links = 0; !names.empty();) {
    const std::string name = names.front();
    names.pop_front();
    if (name == ".") continue;
    struct stat status {};
    Descriptor next = OpenPath(path, folder.get(), name.c_str(), status);
    if (next.get() < 0 && errno != ENOENT) Fail(path, errno);
    if (next.get() < 0 && !names.empty()) {
      place.missing = ENOENT;
      return place;
    }
    const std::string shown = where + name;
    if (next.get() >= 0 && S_ISLNK(status.st_mode)) {
      if (++links > kMostLinks) Fail(path, ELOOP);
      RequireTrusted(path, shown, true, status, &folder_status);
      std::string target(PATH_MAX, '\0');
      const ssize_t length = readlinkat(next.get(), "", target.data(), target.size());
      if (length < 0) Fail(path, errno);
      target.resize(static_cast<std::size_t>(length));
      PushFront(names, target);
      if (!target.starts_with('/')) continue;
      folder = OpenPath(path, AT_FDCWD, "/", folder_status);
      if (folder.get() < 0) Fail(path, errno);
      where = "/";
      continue;
    }
    if (names.empty()) {
      // The list's place: whatever stands there is for the caller to judge,
      // once it may be anything of the user's at all.
      if (next.get() >= 0) RequireOwnList(path, shown, status, folder_status);
      place.folder = std::move(folder);
      place.name = name;
      place.file = std::move(next);
      place.status = status;
      return place;
    }
    if (!S_ISDIR(status.st_mode)) Fail(path, ENOTDIR);
    RequireTrusted(path, shown, false, status, name == ".." ? nullptr : &folder_status);
    folder = std::move(next);
    folder_status = status;
    where = shown + "/";
  }
  // A path that ends in a folder (".", "..", "/"): the folder is what stands there.
  place.status = folder_status;
  place.file = std::move(folder);
  place.folder = Descriptor(posix::Open(place.file.get(), "..", O_PATH | O_CLOEXEC));
  return place;
}

Descriptor OpenReached(const ListPlace& place, int flags, struct stat& status) {
  RequirePlainFile(place.shown, place.status);
  flags |= O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  const std::string self = "/proc/self/fd/" + std::to_string(place.file.get());
  struct stat link {};
  Descriptor fd(lstat(self.c_str(), &link) == 0
                    ? posix::Open(AT_FDCWD, self.c_str(), flags)
                    : posix::Open(place.folder.get(), place.name.c_str(), flags | O_NOFOLLOW));
  if (fd.get() < 0 && errno == ENOENT) return fd;
  if (fd.get() < 0 || fstat(fd.get(), &status) != 0) Fail(place.shown, errno);
  // Opened by name, it may be another file than the one the walk judged.
  if (!SameFile(status, place.status)) {
    throw PlatformError(place.shown +
                        ": il file \xC3\xA8 stato sostituito mentre Varnik lo apriva; Varnik "
                        "non lo usa");
  }
  return fd;
}

}  // namespace varnik::posix
