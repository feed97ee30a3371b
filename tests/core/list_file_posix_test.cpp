// The list file on POSIX systems, where only their own means can show it:
// whatever may stand at the list's place, a user without root's power to
// ignore permissions, mount namespaces, every system call of a save failing
// in turn, and another copy's saves landing at each step of a save or of
// start-up, that each leave one whole list.
#include <acl/libacl.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sched.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "app/utf8_text.h"
#include "common/platform_error.h"
#include "listfile/list_file.h"
#include "listfile/posix/system_calls.h"
#include "names/name_list.h"
#include "tests/support/temp_dir.h"

namespace varnik {
namespace {

namespace fs = std::filesystem;
using posix::Call;
using test::FolderContents;
using test::ReadBytes;
using test::WriteBytes;
using Names = std::vector<std::string>;
constexpr auto npos = std::string::npos;

// Who the checks run as: root runs them as nobody, anyone else as themselves,
// so only permissions decide what they may do.
const bool kRoot = geteuid() == 0;
const uid_t kUser = kRoot ? 65534 : geteuid();
const gid_t kGroup = kRoot ? 65534 : getegid();
const std::string kOld = "OLD\r\n\r\n", kNew = "A\r\nB\r\n";
const char kDamaged[] = " [may be damaged]";

// Runs before (as the runner), then what (as kUser), in a child process, and
// gives what's outcome, or before's reason not to go on. A child that does
// not end by itself in ten seconds is ended by its alarm.
std::string InChild(const std::function<std::string()>& what,
                    const std::function<std::string()>& before) {
  int out[2];
  if (pipe(out) != 0) return "no pipe";
  const pid_t child = fork();
  if (child == 0) {
    close(out[0]);
    alarm(10);
    std::string result = before ? before() : "";
    if (result.empty() && kUser != geteuid() && (setgid(kUser) != 0 || setuid(kUser) != 0)) {
      result = "cannot become the user";
    }
    if (result.empty()) result = what();
    _exit(write(out[1], result.data(), result.size()) == static_cast<ssize_t>(result.size()) ? 0
                                                                                             : 1);
  }
  close(out[1]);
  int status = 0;
  waitpid(child, &status, 0);
  char buffer[4096];  // the child's one write, whole in the pipe
  const ssize_t got = read(out[0], buffer, sizeof buffer);
  close(out[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && got >= 0
             ? std::string(buffer, static_cast<std::size_t>(got))
             : "the child did not end by itself";
}

// "" when action succeeds, else the failure's text, marked when it says the
// list may be damaged.
std::string Outcome(const std::function<void()>& action) {
  try {
    action();
  } catch (const PlatformError& failure) {
    return failure.what() + std::string(failure.list_may_be_damaged() ? kDamaged : "");
  }
  return "";
}

// What loading then saving give: the first line loaded ("" for none) or the
// failure's text, "; ", the save's outcome.
std::string LoadAndSave(const NameListFile& file) {
  std::string loaded;
  const std::string load = Outcome([&] {
    for (const char16_t c : LoadNameList(file).first.value_or(u"")) {
      loaded.push_back(static_cast<char>(c));
    }
  });
  return (load.empty() ? loaded : load) + "; " + Outcome([&] { SaveNameList(u"A", u"B", file); });
}

// All there is to a file, through any link: its type and bits, owner and
// group, and for a plain file its bytes (or the bytes given), access control
// list and extended attribute.
std::string Looks(const fs::path& path, const std::string* bytes = nullptr) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return "nothing";
  std::string looks = std::to_string(status.st_mode) + " " + std::to_string(status.st_uid) + ":" +
                      std::to_string(status.st_gid);
  if (!S_ISREG(status.st_mode)) return looks;
  const acl_t acl = acl_get_file(path.c_str(), ACL_TYPE_ACCESS);
  char* text = acl ? acl_to_text(acl, nullptr) : nullptr;
  char value[64] = {};
  getxattr(path.c_str(), "user.varnik", value, sizeof value - 1);
  looks += " " + (bytes ? *bytes : ReadBytes(path)) + " " + (text ? text : "") + " " + value;
  acl_free(text);
  acl_free(acl);
  return looks;
}

// A list that has it all: its own bits, an access control list that gives
// nobody (65534) write access, and an extended attribute (where the file
// system has them).
void MakeRichList(const fs::path& path, const std::string& bytes) {
  WriteBytes(path, bytes);
  const acl_t acl = acl_from_text("u::rw-,u:65534:rw-,g::r--,m::rw-,o::---");
  EXPECT_TRUE(acl_set_file(path.c_str(), ACL_TYPE_ACCESS, acl) == 0 || errno == ENOTSUP);
  acl_free(acl);
  EXPECT_TRUE(setxattr(path.c_str(), "user.varnik", "tenuto", 6, 0) == 0 || errno == ENOTSUP);
}

// The folder and the list belong to kUser unless a test gives them away.
// The checks work in the folder and name the list by its bare name, as the
// program does.
class PosixListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(list_, kOld);
    ASSERT_EQ(chown(dir_.path().c_str(), kUser, kGroup), 0);
    ASSERT_EQ(chown(list_.c_str(), kUser, kGroup), 0);
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  }
  void TearDown() override { fs::current_path(kStart); }
  std::string Says(int error) const { return file_.path + ": " + std::strerror(error); }
  // The walk's refusal of a link (or a folder) that another user may have
  // put or changed.
  std::string Refused(const std::string& what, bool link = true) const {
    return file_.path + ": Varnik non " +
           (link ? "segue il collegamento simbolico '" : "entra nella cartella '") + what +
           "', che un altro utente pu\xC3\xB2 aver messo o cambiato";
  }

  const fs::path kStart = fs::current_path();
  test::TempDir dir_;
  fs::path list_ = dir_.path() / kNameListFileName;
  NameListFile file_;
};

// Sets (FS_APPEND_FL) or clears (0) a folder's append-only mark, where the
// file system has one.
void MarkAppendOnly(const fs::path& folder, int mark) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  int flags = 0;
  if (ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
    flags = (flags & ~FS_APPEND_FL) | mark;
    ioctl(fd, FS_IOC_SETFLAGS, &flags);
  }
  close(fd);
}

// Start-up, then a save, with each thing that may stand at the list's place.
// Only a plain file is read or replaced, as the user may write it, with all
// that belongs to it; nothing else is read, written or replaced, and no
// stray file stays.
TEST_F(PosixListTest, WhatStandsAtTheListsPlace) {
  const fs::path list = list_, folder = dir_.path();
  const auto in_namespace = [](const std::function<bool()>& mount_it) {
    return [mount_it]() -> std::string {
      const bool done = unshare(CLONE_NEWNS) == 0 &&
                        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                        mount_it();
      return done ? "" : std::string("skipped: cannot mount: ") + std::strerror(errno);
    };
  };
  // The list in team/data, reached through a link.
  const auto through_team = [&] {
    fs::create_directories(folder / "team/data");
    fs::rename(list, folder / "team/data/list.txt");
    fs::create_symlink("team/data/list.txt", list);
  };
  // A failure that start-up and the save both meet.
  const auto both = [](const std::string& failure) { return failure + "; " + failure; };
  const struct {
    std::string what;
    std::function<void()> make;            // as the runner, on top of SetUp's list
    std::string outcome;                   // as LoadAndSave gives it, run as kUser unless by_root
    fs::path written = kNameListFileName;  // where a save's bytes go
    bool by_root = false;                  // the case needs root
    std::function<std::string()> in_child = {};  // as the runner, in the child first
  } cases[] = {
      {"a folder on the way that others may change",
       [&] { through_team(), chmod((folder / "team").c_str(), 0777); },
       both(Refused("team/data", false)), "team/data/list.txt"},
      {"another's folder on the way, in a sticky folder",
       [&] {
         through_team(), chown((folder / "team/data").c_str(), 4242, 4242);
         chmod((folder / "team").c_str(), 01777);
       },
       both(Refused("team/data", false)), "team/data/list.txt", true},
      {"dangling link", [&] { fs::remove(list), fs::create_symlink("missing.txt", list); }, "; "},
      {"FIFO", [&] { fs::remove(list), mkfifo(list.c_str(), 0666); },
       both(file_.path +
            ": non \xC3\xA8 un file ordinario ma una pipe con nome (FIFO); Varnik legge e "
            "sostituisce solo un file ordinario")},
      {"read-only list", [&] { chmod(list.c_str(), 0444); }, "OLD; " + Says(EACCES)},
      {"sticky folder, another's writable list",
       [&] {
         chown(folder.c_str(), 0, 0), chmod(folder.c_str(), 01777);
         chown(list.c_str(), 4242, 4242), chmod(list.c_str(), 0666);
       },
       both(file_.path + ": Varnik non usa il file '" + kNameListFileName +
            "', che appartiene a un altro utente in una cartella in cui altri possono scrivere"),
       kNameListFileName, true},
      {"shared folder, the user's own file linked there under the list's name",
       [&] {
         chmod(folder.c_str(), 0777);
         fs::create_hard_link(list, folder / "private.txt");
       },
       both(file_.path + ": Varnik non usa il file '" + kNameListFileName +
            "', che ha anche altri nomi (collegamenti fisici) in una cartella in cui altri "
            "possono scrivere")},
      {"append-only folder the user may not read, the list held locked by another program",
       [&] { chmod(folder.c_str(), 0333), MarkAppendOnly(folder, FS_APPEND_FL); },
       both(file_.path + ": un altro programma tiene bloccato il file"), kNameListFileName, true,
       [&] {
         struct flock whole {};
         whole.l_type = F_WRLCK;
         return fcntl(open(list.c_str(), O_RDWR), F_OFD_SETLK, &whole) == 0 ? "" : "cannot lock";
       }},
      {"another's list the user may write, in the user's folder",
       [&] { MakeRichList(list, kOld), chown(list.c_str(), 4242, 4242); }, "OLD; ",
       kNameListFileName, true},
      {"a file bound over the list, in a read-only folder",
       [&] {
         WriteBytes(folder / "bound", "LEGATO\r\n");
         chown((folder / "bound").c_str(), kUser, kGroup);
       },
       "LEGATO; ", "bound", true, in_namespace([&] {
         return mount((folder / "bound").c_str(), list.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
                mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0 &&
                mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                      nullptr) == 0 &&
                chdir(folder.c_str()) == 0;
       })},
      {"no /proc, another file put at the list's name as start-up opens it",
       [&] { WriteBytes("other", kOld), chown("other", kUser, kGroup); },
       file_.path + ": il file \xC3\xA8 stato sostituito mentre Varnik lo apriva; Varnik non lo "
                    "usa; ",
       kNameListFileName, true, in_namespace([] {
         // Start-up's third opening is of the list itself.
         posix::SetCallHook([opens = 0](Call call) mutable {
           if (call == Call::Open && ++opens == 3) {
             renameat2(AT_FDCWD, "other", AT_FDCWD, kNameListFileName, RENAME_EXCHANGE);
           }
           return 0;
         });
         return mount("none", "/proc", "tmpfs", 0, nullptr) == 0;
       })},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (kRoot) MarkAppendOnly(folder, 0);
    chmod(folder.c_str(), 0755);
    for (const std::string& name : FolderContents(folder)) fs::remove_all(folder / name);
    SetUp();
    c.make();  // as another user than root, only what a user may do
    const fs::path written = folder / c.written;
    Names names = FolderContents(folder);
    const std::string before = Looks(written), saved = Looks(written, &kNew);
    const std::string outcome = c.by_root && !kRoot
                                    ? "skipped: only root can make it"
                                    : InChild([&] { return LoadAndSave(file_); }, c.in_child);
    if (outcome.starts_with("skipped: ")) {
      std::cout << c.what << ": " << outcome << "\n";
      continue;
    }
    EXPECT_EQ(outcome, c.outcome);
    const bool save_failed = !outcome.ends_with("; ");
    if (before != "nothing") {
      EXPECT_EQ(Looks(written), save_failed ? before : saved);
    } else if (!save_failed) {
      EXPECT_EQ(ReadBytes(written), kNew);
      names.push_back(fs::read_symlink(written));
      std::sort(names.begin(), names.end());
    }
    EXPECT_EQ(FolderContents(folder), names);
  }
}

// Each system call of a save fails in turn, with the errors it meets in
// practice, both where the list is replaced and where it is rewritten in
// place (its rename refused with EBUSY, as for a file bound over the list),
// there onto a list both longer and shorter than the new one. The list is
// always the old one or the new one, whole, with all that belongs to it; no
// stray file stays; the failure gives the system's text and says the list is
// as it was only when it is. A signal, and an owner that may not be given
// (the list is then rewritten in place), do not fail a save at all. Where
// the new file has a name from the start (no unnamed files there), it is
// never open to more than the list.
TEST_F(PosixListTest, EveryCallOfASaveFailingInTurn) {
  enum How { kReplace, kInPlace, kNamed };
  // Every call fails with EIO, and those where another error takes another
  // way with that too; -EIO: the cut and every call after it fail, so that
  // the old bytes cannot be put back either.
  // clang-format off
  std::map<Call, std::vector<int>> also = {
      {Call::Chown, {EPERM, EINVAL}}, {Call::Lock, {ENOLCK, EINTR}}, {Call::Read, {EINTR}},
      {Call::Write, {ENOSPC, EINTR}}, {Call::Allocate, {EINTR, EOPNOTSUPP}},
      {Call::Truncate, {EINTR, -EIO}}, {Call::Sync, {EINTR}}};
  // clang-format on
  // Nothing to reserve with, or an owner that may not be given: no failure.
  const std::set<int> harmless = {EINTR, EOPNOTSUPP, EPERM, EINVAL};
  for (const std::string old : {"IL VECCHIO ELENCO\r\nPIU LUNGO\r\n", "V\r\n"}) {
    for (const How how : {kReplace, kInPlace, kNamed}) {
      if (how != kInPlace && old.size() < kNew.size()) continue;
      // fail: the error for the call at each place, 0 to let it through
      const auto save = [&](const std::function<int(std::size_t, Call)>& fail) {
        MakeRichList(list_, old);
        chown(list_.c_str(), kUser, kGroup);
        std::size_t count = 0;
        std::vector<Call> calls;
        bool unnamed_refused = false;
        posix::SetCallHook([&](Call call) {
          calls.push_back(call);
          for (const std::string& name : FolderContents(dir_.path())) {
            EXPECT_EQ(name == kNameListFileName ? npos : Looks(name).find("group::rw"), npos);
          }
          if (const int error = fail(count++, call)) return error;
          if (how == kNamed && call == Call::Create && !std::exchange(unnamed_refused, true)) {
            return EOPNOTSUPP;
          }
          return how == kInPlace && call == Call::Rename ? EBUSY : 0;
        });
        const std::string outcome = Outcome([&] { SaveNameList(u"A", u"B", file_); });
        posix::SetCallHook({});
        return std::pair(outcome, calls);
      };
      // A save keeps all that belongs to the list; in place, it asks for
      // room first.
      MakeRichList(list_, old);
      const std::string kept = Looks(list_), saved = Looks(list_, &kNew);
      const std::vector<Call> calls = save([](std::size_t, Call) { return 0; }).second;
      ASSERT_EQ(Looks(list_), saved);
      EXPECT_EQ(how == kInPlace,
                std::find(calls.begin(), calls.end(), Call::Allocate) != calls.end());
      for (std::size_t at = 0; at < calls.size(); ++at) {
        std::vector<int> errors = also[calls[at]];
        if (calls[at] != Call::Unlink) errors.push_back(EIO);  // a stray file is left then
        for (const int error : errors) {
          SCOPED_TRACE(testing::Message()
                       << how << ", onto " << old.size() << " bytes, call " << at << ": " << error);
          const std::string outcome =
              save([&](std::size_t place, Call call) {
                const bool fails = place == at || (error < 0 && place > at && call != Call::Unlink);
                return fails ? std::abs(error) : 0;
              }).first;
          const std::string looks = Looks(list_);
          EXPECT_TRUE(outcome.empty() ||
                      (!harmless.contains(error) && outcome.starts_with(Says(std::abs(error)))))
              << outcome;
          // Only a save that went through, or one that says so, may leave the new list.
          const bool new_allowed = outcome.empty() || outcome.ends_with(kDamaged);
          EXPECT_TRUE(looks == (outcome.empty() ? saved : kept) ||
                      (new_allowed && looks == saved) || error < 0);
          EXPECT_TRUE(error > 0 || outcome == Says(EIO) + kDamaged) << outcome;
          EXPECT_EQ(FolderContents(dir_.path()), Names{kNameListFileName});
        }
      }
    }
  }
}

// Between any two steps of a save (replacing the list, or rewriting it in
// place), or of start-up's removal of an empty list, the world changes:
// another copy saves, replacing the list or rewriting it in place, or another
// user exchanges the list with a link of theirs to a private file. At every
// step there is one whole list, as a reader, or a copy killed just then,
// finds it; the last save to finish is the one on disk; the private file is
// never touched; start-up removes only the empty list it opened. Another
// copy's rewrite cannot land while this one holds the list's lock: it waits.
TEST_F(PosixListTest, TheWorldChangingBetweenAnyTwoSteps) {
  const test::TempDir elsewhere;
  const fs::path secret = elsewhere.path() / "secret";
  // kFailingInPlace: a rewrite in place whose cut fails, so that it puts back
  // the list as it was when it took the lock.
  enum Outer { kSave, kSaveInPlace, kFailingInPlace, kStartUp };
  enum Change { kReplace, kInPlace, kLink };
  for (const Outer outer : {kSave, kSaveInPlace, kFailingInPlace, kStartUp}) {
    for (const Change change : {kReplace, kInPlace, kLink}) {
      for (std::size_t at = 0; outer != kStartUp || change != kInPlace; ++at) {
        SCOPED_TRACE(testing::Message()
                     << "outer " << outer << ", change " << change << ", step " << at);
        const bool start_up = outer == kStartUp;
        for (const std::string& name : FolderContents(dir_.path())) fs::remove(dir_.path() / name);
        chmod(dir_.path().c_str(), change == kLink ? 0777 : 0755);
        WriteBytes(list_, start_up ? "" : kOld), WriteBytes(secret, "SEGRETO");
        fs::create_symlink(secret, "decoy"), lchown("decoy", 4242, 4242);
        std::set<std::string> whole = {start_up ? "" : kOld, kNew};
        std::string landed;  // the list another copy saved last
        std::size_t count = 0;
        bool other_saving = false, locked = false, changed = false, cut_failed = false;
        // replaced: this save's new list has taken the list's place; last: the
        // other copy saved after that
        bool replaced = false, last = false;
        posix::SetCallHook([&](Call call) {
          if (other_saving) return change == kInPlace && call == Call::Rename ? EBUSY : 0;
          // A reader waits while the list is locked.
          EXPECT_TRUE(changed || locked || whole.contains(ReadBytes(list_)));
          if (count++ == at && !locked && change == kLink) {
            changed = true;
            renameat2(AT_FDCWD, "decoy", AT_FDCWD, kNameListFileName, RENAME_EXCHANGE);
          } else if (count == at + 1 && !locked) {
            const std::string name = "ALTRO " + std::to_string(count);
            other_saving = true;
            EXPECT_EQ(Outcome([&] { SaveNameList(Utf16FromUtf8(name), u"", file_); }), "");
            other_saving = false;
            whole.insert(landed = name + "\r\n\r\n");
            last = replaced;
          }
          locked = locked || (call == Call::Lock && !start_up);
          replaced = replaced || (call == Call::Rename && outer == kSave);
          if (outer == kFailingInPlace && locked && call == Call::Truncate && !cut_failed) {
            cut_failed = true;
            return EIO;
          }
          return outer != kSave && call == Call::Rename ? EBUSY : 0;
        });
        std::optional<std::u16string> shown;  // what start-up would show
        const std::string outcome = Outcome([&] {
          start_up ? (void)(shown = LoadNameList(file_).first) : SaveNameList(u"A", u"B", file_);
        });
        posix::SetCallHook({});
        EXPECT_NE(shown, u"SEGRETO");
        EXPECT_EQ(ReadBytes(secret), "SEGRETO");
        if (count <= at) break;
        const std::string failed = outer == kFailingInPlace ? Says(EIO) : "";
        if (change == kLink) {
          EXPECT_TRUE(outcome == failed || outcome == Refused(kNameListFileName)) << outcome;
          continue;
        }
        EXPECT_EQ(outcome, failed);
        if (outer == kFailingInPlace) {
          EXPECT_EQ(ReadBytes(list_), landed.empty() ? kOld : landed);
        } else if (!landed.empty()) {
          EXPECT_EQ(ReadBytes(list_), start_up || last ? landed : kNew);
        }
        EXPECT_EQ(FolderContents(dir_.path()), (Names{"decoy", kNameListFileName}));
      }
    }
  }
}

}  // namespace
}  // namespace varnik
