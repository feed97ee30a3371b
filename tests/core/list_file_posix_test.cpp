// The list file on POSIX systems, where only their own means can show it:
// whatever may stand at the list's place, a user without root's power to
// ignore permissions, mount namespaces, every system call of a save failing
// in turn, and another copy's saves landing at each step of a save or of
// start-up, that each leave one whole list.
#include <acl/libacl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <stdexcept>
#include <vector>

#include "app/utf8_text.h"
#include "common/platform_error.h"
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

// Who the checks run as: root runs them as nobody, anyone else as themselves,
// so only permissions decide what they may do.
const bool kRoot = geteuid() == 0;
const uid_t kUser = kRoot ? 65534 : geteuid();
const gid_t kGroup = kRoot ? 65534 : getegid();
const std::string kOld = "OLD\r\n\r\n", kNew = "A\r\nB\r\n";
const char kDamaged[] = " [may be damaged]";

// Runs before (as the runner), then what (as kUser when unprivileged) in a
// child process and returns what gives, or before's reason not to go on. A
// child that does not end by itself in ten seconds is ended by its alarm.
std::string InChild(const std::function<std::string()>& what, bool unprivileged = false,
                    const std::function<std::string()>& before = {}) {
  int out[2];
  if (pipe(out) != 0) return "no pipe";
  const pid_t child = fork();
  if (child == 0) {
    close(out[0]);
    alarm(10);
    std::string result = before ? before() : "";
    if (result.empty() && unprivileged && kRoot && (setgid(kGroup) != 0 || setuid(kUser) != 0)) {
      result = "cannot become the user";
    }
    if (result.empty()) result = what();
    _exit(write(out[1], result.data(), result.size()) == static_cast<ssize_t>(result.size()) ? 0
                                                                                             : 1);
  }
  close(out[1]);
  std::string result;
  char buffer[4096];
  for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;) {
    result.append(buffer, static_cast<std::size_t>(got));
  }
  close(out[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? result : "the child did not end by itself";
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
    const ListFileState state = LoadNameList(file);
    for (const char16_t c : state.first.value_or(u"")) loaded.push_back(static_cast<char>(c));
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
  const bool no_acl = acl_set_file(path.c_str(), ACL_TYPE_ACCESS, acl) != 0;
  EXPECT_TRUE(!no_acl || errno == ENOTSUP);
  acl_free(acl);
  EXPECT_TRUE(setxattr(path.c_str(), "user.varnik", "tenuto", 6, 0) == 0 || errno == ENOTSUP);
}

// The folder and the list belong to kUser unless a test gives them away.
class PosixListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(file_.path, kOld);
    ASSERT_EQ(chown(dir_.path().c_str(), kUser, kGroup), 0);
    ASSERT_EQ(chown(file_.path.c_str(), kUser, kGroup), 0);
  }
  void TearDown() override { posix::SetCallHook({}); }
  void ExpectOnlyTheList() const {
    EXPECT_EQ(FolderContents(dir_.path()), Names{kNameListFileName});
  }
  std::string Says(int error) const { return file_.path + ": " + std::strerror(error); }
  std::string NotPlain(const std::string& what) const {
    return file_.path + ": non \xC3\xA8 un file ordinario ma " + what +
           "; Varnik legge e sostituisce solo un file ordinario";
  }

  test::TempDir dir_;
  fs::path list_ = dir_.path() / kNameListFileName;
  NameListFile file_{test::Utf8(list_)};
};

// Sets or clears a folder's append-only mark, where the file system has one.
bool MarkAppendOnly(const fs::path& folder, bool on) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  int flags = 0;
  const bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                    (flags = on ? flags | FS_APPEND_FL : flags & ~FS_APPEND_FL,
                     ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
  close(fd);
  return done;
}

// Start-up, then a save, with each thing that may stand at the list's place.
// Only a plain file is read or replaced, as the user may write it, with all
// that belongs to it; nothing else is read, written or replaced, and no
// stray file stays.
TEST_F(PosixListTest, WhatStandsAtTheListsPlace) {
  const fs::path list = list_, folder = dir_.path();
  const auto in_namespace = [](const std::function<bool()>& mount_it) {
    return [mount_it]() -> std::string {
      if (unshare(CLONE_NEWNS) != 0 ||
          mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 || !mount_it()) {
        return std::string("skipped: cannot mount: ") + std::strerror(errno);
      }
      return "";
    };
  };
  const struct {
    std::string what;
    std::function<void()> make;  // as the runner, on top of SetUp's list
    std::string outcome;         // as LoadAndSave gives it, run as kUser unless by_root
    bool by_root = false;        // the case needs root (and runs as root unless as_user)
    bool as_user = true;
    std::function<std::string()> in_child = {};  // as the runner, in the child first
    fs::path written = kNameListFileName;        // where a save's bytes go
  } cases[] = {
      {"plain file", [&] { chmod(list.c_str(), 0640); }, "OLD; "},
      {"relative link into another folder",
       [&] {
         fs::create_directory(folder / "real");
         fs::rename(list, folder / "real/list.txt");
         fs::create_symlink("real/list.txt", list);
         chown((folder / "real/list.txt").c_str(), kUser, kRoot ? 4242 : kGroup);
         chmod((folder / "real/list.txt").c_str(), 0640);
       },
       "OLD; ", false, false},
      {"another's link in a shared folder",
       [&] {
         fs::create_directory(folder / "real");
         fs::rename(list, folder / "real/list.txt");
         fs::create_symlink("real/list.txt", list);
         chown((folder / "real/list.txt").c_str(), kUser, kGroup);
         lchown(list.c_str(), 4242, 4242), chmod(folder.c_str(), 0777);
       },
       "OLD; " + Says(EACCES),
       true,
       true,
       {},
       "real/list.txt"},
      {"dangling link", [&] { fs::remove(list), fs::create_symlink("missing.txt", list); }, "; "},
      {"FIFO", [&] { fs::remove(list), mkfifo(list.c_str(), 0666); },
       NotPlain("una pipe con nome (FIFO)") + "; " + NotPlain("una pipe con nome (FIFO)")},
      {"socket", [&] { fs::remove(list), mknod(list.c_str(), S_IFSOCK | 0666, 0); },
       NotPlain("un socket") + "; " + NotPlain("un socket")},
      {"link to a device",
       [&] {
         fs::remove(list);
         if (mknod((folder / "device").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
           throw std::runtime_error("skipped: no device node can be made here");
         }
         fs::create_symlink("device", list);
       },
       NotPlain("un dispositivo a caratteri") + "; " + NotPlain("un dispositivo a caratteri"), true,
       false},
      {"folder", [&] { fs::remove(list), fs::create_directory(list); },
       Says(EISDIR) + "; " + Says(EISDIR)},
      {"read-only list", [&] { chmod(list.c_str(), 0444); }, "OLD; " + Says(EACCES)},
      {"another's list in the user's folder", [&] { chown(list.c_str(), 0, 0); },
       "OLD; " + Says(EACCES), true},
      {"access control list and extended attribute", [&] { MakeRichList(list, kOld); }, "OLD; "},
      {"read-only folder, empty list, kept",
       [&] { WriteBytes(list, ""), chmod(folder.c_str(), 0555); }, "; "},
      {"sticky folder, another's writable list",
       [&] {
         chown(folder.c_str(), 0, 0), chmod(folder.c_str(), 01777);
         chown(list.c_str(), 0, 0), chmod(list.c_str(), 0666);
       },
       "OLD; ", true},
      {"append-only folder", [&] { MarkAppendOnly(folder, true); }, "OLD; ", true},
      {"a file bound over the list",
       [&] {
         WriteBytes(folder / "bound", "LEGATO\r\n");
         chown((folder / "bound").c_str(), kUser, kGroup);
       },
       "LEGATO; ", true, true, in_namespace([&] {
         return mount((folder / "bound").c_str(), list.c_str(), nullptr, MS_BIND, nullptr) == 0;
       }),
       "bound"},
      {"no /proc", [] {}, "OLD; ", true, true,
       in_namespace([] { return mount("none", "/proc", "tmpfs", 0, nullptr) == 0; })},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    chmod(folder.c_str(), 0755);
    if (kRoot) MarkAppendOnly(folder, false);
    for (const std::string& name : FolderContents(folder)) fs::remove_all(folder / name);
    SetUp();
    if (c.by_root && !kRoot) {
      std::cout << c.what << ": skipped: only root can make it\n";
      continue;
    }
    try {
      c.make();
    } catch (const std::runtime_error& skip) {
      std::cout << c.what << ": " << skip.what() << "\n";
      continue;
    }
    const fs::path written = folder / c.written;
    Names names = FolderContents(folder);
    const std::string before = Looks(written), saved = Looks(written, &kNew);
    const std::string outcome = InChild([&] { return LoadAndSave(file_); }, c.as_user, c.in_child);
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
    chmod(folder.c_str(), 0755);
    EXPECT_EQ(FolderContents(folder), names);
  }
}

// Each system call of a save fails in turn, with the errors it meets in
// practice, both where the list is replaced and where it is rewritten in
// place (its rename refused with EBUSY, as for a file bound over the list).
// The list is always the old one or the new one, whole, with all that
// belongs to it; no stray file stays; the failure gives the system's text
// and says the list is as it was only when it is.
TEST_F(PosixListTest, EveryCallOfASaveFailingInTurn) {
  const std::string old = "IL VECCHIO ELENCO\r\nPIU LUNGO\r\n";
  // clang-format off
  std::map<Call, std::vector<int>> errors = {
      {Call::Open, {EIO}}, {Call::Create, {ENOSPC, EDQUOT, EIO}}, {Call::Chown, {EIO}},
      {Call::Chmod, {EIO}}, {Call::CopyAcl, {ENOSPC, EIO}}, {Call::CopyAttributes, {ENOSPC, EDQUOT}},
      {Call::Read, {EIO, EINTR}}, {Call::Write, {ENOSPC, EDQUOT, EIO, EINTR}},
      {Call::Allocate, {ENOSPC, EDQUOT, EINTR, EOPNOTSUPP}}, {Call::Truncate, {EIO, EINTR}},
      {Call::Sync, {EIO, ENOSPC, EINTR}}, {Call::Close, {EIO, EDQUOT}},
      {Call::Link, {ENOSPC, EIO}}, {Call::Rename, {EIO, ENOSPC}}};
  // clang-format on
  for (const bool in_place : {false, true}) {
    // fails: which calls of the save fail (by their place) and how
    const auto save = [&](const std::map<std::size_t, int>& fails) {
      MakeRichList(list_, old);
      std::size_t count = 0;
      std::vector<Call> calls;
      posix::SetCallHook([&](Call call) {
        calls.push_back(call);
        const auto fail = fails.find(count++);
        if (fail != fails.end()) return fail->second;
        return in_place && call == Call::Rename ? EBUSY : 0;
      });
      const std::string outcome = Outcome([&] { SaveNameList(u"A", u"B", file_); });
      posix::SetCallHook({});
      return std::pair(outcome, calls);
    };
    // A save keeps all that belongs to the list.
    MakeRichList(list_, old);
    const std::string kept = Looks(list_), saved = Looks(list_, &kNew);
    const std::vector<Call> calls = save({}).second;
    ASSERT_EQ(Looks(list_), saved);
    for (std::size_t at = 0; at < calls.size(); ++at) {
      for (const int error : errors[calls[at]]) {
        SCOPED_TRACE(std::string(in_place ? "in place, " : "") + "call " + std::to_string(at) +
                     ": " + std::strerror(error));
        const std::string outcome = save({{at, error}}).first;
        const std::string looks = Looks(list_);
        EXPECT_TRUE(outcome.empty() || outcome.starts_with(Says(error))) << outcome;
        // Only a save that went through, or one that says so, may leave the new list.
        const bool new_allowed = outcome.empty() || outcome.ends_with(kDamaged);
        EXPECT_TRUE(looks == (outcome.empty() ? saved : kept) || (new_allowed && looks == saved));
        ExpectOnlyTheList();
      }
    }
    if (!in_place) continue;
    // The rewrite fails once the new bytes are in, and so does putting the old
    // ones back: the list is torn, and the failure says it may be.
    const auto truncate = static_cast<std::size_t>(
        std::find(calls.begin(), calls.end(), Call::Truncate) - calls.begin());
    std::map<std::size_t, int> fails{{truncate, EIO}};
    for (std::size_t at = truncate + 1; at < truncate + 10; ++at) fails[at] = EIO;
    EXPECT_EQ(save(fails).first, Says(EIO) + kDamaged);
    EXPECT_NE(ReadBytes(list_), old);
  }
}

// Another copy saves a list before each step of a save, or of start-up's
// removal of an empty list, from any step on. No save fails; at every step
// there is one whole list, as a reader, or a copy killed just then, finds it;
// and start-up removes only the empty list it opened.
TEST_F(PosixListTest, AnotherCopySavingFromAnyStepOnLeavesOneWholeList) {
  for (const bool start_up : {false, true}) {
    for (std::size_t at = 0;; ++at) {
      SCOPED_TRACE((start_up ? "start-up, step " : "save, step ") + std::to_string(at));
      WriteBytes(list_, start_up ? "" : kOld);
      std::set<std::string> whole = {start_up ? "" : kOld, kNew};
      std::string landed;  // the list the other copy saved last
      std::size_t count = 0;
      bool other_saving = false;
      posix::SetCallHook([&](Call) {
        if (other_saving) return 0;
        EXPECT_TRUE(whole.contains(ReadBytes(list_))) << ReadBytes(list_);
        if (count++ < at) return 0;
        const std::string name = "ALTRO " + std::to_string(count);
        other_saving = true;
        EXPECT_EQ(Outcome([&] { SaveNameList(Utf16FromUtf8(name), u"", file_); }), "");
        other_saving = false;
        whole.insert(landed = name + "\r\n\r\n");
        return 0;
      });
      EXPECT_EQ(
          Outcome([&] { start_up ? (void)LoadNameList(file_) : SaveNameList(u"A", u"B", file_); }),
          "");
      posix::SetCallHook({});
      if (landed.empty()) break;
      EXPECT_TRUE(start_up ? ReadBytes(list_) == landed : whole.contains(ReadBytes(list_)));
      ExpectOnlyTheList();
    }
  }
}

}  // namespace
}  // namespace varnik
