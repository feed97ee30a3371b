// The list file on POSIX systems, where only their own means can show it: a
// file-size limit, a user without root's power to ignore permissions, owners,
// links and FIFOs, and saves in other processes, killed at any moment or two
// at once beside a reader, that each leave one whole list.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "common/platform_error.h"
#include "names/name_list.h"
#include "tests/support/temp_dir.h"

namespace varnik {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::WriteBytes;
using Names = std::vector<std::string>;

// Who the checks run as: root runs them as nobody, anyone else as themselves,
// so only permissions decide what they may do.
const uid_t kUser = geteuid() == 0 ? 65534 : geteuid();
const gid_t kGroup = geteuid() == 0 ? 65534 : getegid();

// Runs check in a child process, as kUser when unprivileged, and returns its
// result (0 for success), or 102 when the child does not end by itself
// within ten seconds.
int InChild(const std::function<int()>& check, bool unprivileged = false) {
  const pid_t child = fork();
  if (child == 0) {
    alarm(10);
    if (unprivileged && geteuid() == 0 && (setgid(kGroup) != 0 || setuid(kUser) != 0)) _exit(100);
    try {
      _exit(check());
    } catch (...) {
      _exit(101);
    }
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 102;
}

// 0 when action fails with exactly the list's path and the system's text for
// error.
int FailsWith(int error, const NameListFile& file, const std::function<void()>& action) {
  try {
    action();
  } catch (const PlatformError& failure) {
    return failure.what() == file.path + ": " + std::strerror(error) ? 0 : 2;
  }
  return 1;
}

Names FolderContents(const fs::path& folder) {
  Names names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The folder and the list belong to kUser unless a test gives them away.
class PosixListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(file_.path, "OLD\r\n\r\n");
    ASSERT_EQ(chown(dir_.path().c_str(), kUser, kGroup), 0);
    ASSERT_EQ(chown(file_.path.c_str(), kUser, kGroup), 0);
  }
  void ExpectOnlyTheList() const {
    EXPECT_EQ(FolderContents(dir_.path()), Names{kNameListFileName});
  }

  test::TempDir dir_;
  NameListFile file_{test::Utf8(dir_.path() / kNameListFileName)};
};

TEST_F(PosixListTest, FailedWriteLeavesTheOldListExactlyAsItWas) {
  EXPECT_EQ(InChild([&] {
              std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
              const rlimit limit{3, 3};
              setrlimit(RLIMIT_FSIZE, &limit);
              return FailsWith(EFBIG, file_, [&] { SaveNameList(u"NEW", u"NEW-2", file_); });
            }),
            0);
  EXPECT_EQ(ReadBytes(file_.path), "OLD\r\n\r\n");
  ExpectOnlyTheList();
}

// An empty list that cannot be deleted is no list, and no failure.
TEST_F(PosixListTest, StartUpNeedsNoWritableFolder) {
  WriteBytes(file_.path, "");
  chmod(dir_.path().c_str(), 0555);
  EXPECT_EQ(
      InChild([&] { return LoadNameList(file_).kind == ListFileState::Kind::Empty ? 0 : 1; }, true),
      0);
  ExpectOnlyTheList();
}

// A folder the user may not create files in, or where only a file's owner
// may replace it: the list is rewritten in place when the user may write it.
TEST_F(PosixListTest, SavesInPlaceWhereOnlyTheListMayBeWritten) {
  const struct {
    mode_t folder, list;
    bool others;  // folder and list belong to the tests' runner, another user when root
    int error;    // 0 when the save succeeds
  } cases[] = {
      {0555, 0444, false, EACCES},  // read-only folder, read-only list
      {0555, 0644, false, 0},       // read-only folder, writable list
      {01777, 0666, true, 0},       // sticky folder, another's writable list
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    chmod(file_.path.c_str(), 0644);
    WriteBytes(file_.path, "OLD\r\n\r\n");
    if (c.others) {
      ASSERT_EQ(chown(dir_.path().c_str(), geteuid(), getegid()), 0);
      ASSERT_EQ(chown(file_.path.c_str(), geteuid(), getegid()), 0);
    }
    chmod(file_.path.c_str(), c.list);
    chmod(dir_.path().c_str(), c.folder);
    const auto save = [&] { SaveNameList(u"A", u"B", file_); };
    EXPECT_EQ(
        InChild([&] { return c.error != 0 ? FailsWith(c.error, file_, save) : (save(), 0); }, true),
        0);
    EXPECT_EQ(ReadBytes(file_.path), c.error != 0 ? "OLD\r\n\r\n" : "A\r\nB\r\n");
    ExpectOnlyTheList();
  }
}

TEST_F(PosixListTest, ListKeepsPermissionsOwnerGroupAndLink) {
  // The list sits in a folder of its own, reached through a relative link.
  const fs::path real = dir_.path() / "real";
  fs::create_directory(real);
  fs::rename(file_.path, real / "list.txt");
  fs::create_symlink("real/list.txt", file_.path);
  // Only root may give a file away; anyone else keeps their own.
  const gid_t group = geteuid() == 0 ? 4242 : getegid();
  ASSERT_EQ(chown((real / "list.txt").c_str(), kUser, group), 0);
  ASSERT_EQ(chmod((real / "list.txt").c_str(), 0640), 0);

  SaveNameList(u"A", u"B", file_);
  EXPECT_EQ(fs::read_symlink(file_.path), "real/list.txt");
  EXPECT_EQ(ReadBytes(real / "list.txt"), "A\r\nB\r\n");
  struct stat saved {};
  ASSERT_EQ(stat((real / "list.txt").c_str(), &saved), 0);
  EXPECT_EQ(saved.st_mode & 07777, 0640u);
  EXPECT_EQ(saved.st_uid, kUser);
  EXPECT_EQ(saved.st_gid, group);
  EXPECT_EQ(FolderContents(real), Names{"list.txt"});
  EXPECT_EQ(FolderContents(dir_.path()), (Names{kNameListFileName, "real"}));
}

// Others who may write to the folder plant a FIFO under the name the save
// used to write first: a save that opened it would wait, fail or take it
// away; nothing outside the list may change.
TEST_F(PosixListTest, WhatOthersPlantBesideTheListIsLeftAlone) {
  const fs::path planted = dir_.path() / "name_start.txt.tmp";
  ASSERT_EQ(mkfifo(planted.c_str(), 0666), 0);
  EXPECT_EQ(InChild([&] { return SaveNameList(u"A", u"B", file_), 0; }), 0);
  EXPECT_EQ(ReadBytes(file_.path), "A\r\nB\r\n");
  EXPECT_EQ(fs::symlink_status(planted).type(), fs::file_type::fifo);
}

// Two child processes save two lists in turn in one folder, telling the
// parent after each save, while the parent reads the list; they are killed
// after a varying number of saves and a varying stretch of work, so that the
// kill lands at any point of a save. No save fails because of the other, the
// reader never sees a torn list, and what they leave is one list, whole.
TEST_F(PosixListTest, CopiesSavingAtOnceAndKilledAnyTimeLeaveOneWholeList) {
  const std::string lists[] = {"PRIMA-A\r\nSECONDA-A\r\n",
                               "PRIMA-B    lunga\r\nSECONDA-B    lunga\r\n"};
  const auto whole = [&](const std::string& bytes) {
    return bytes == lists[0] || bytes == lists[1];
  };
  std::mt19937 random(std::random_device{}());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int kills = 0;
  for (; kills < 300 && std::chrono::steady_clock::now() < deadline; ++kills) {
    int ticks[2];
    ASSERT_EQ(pipe(ticks), 0);
    pid_t savers[2];
    for (pid_t& saver : savers) {
      if ((saver = fork()) != 0) continue;
      close(ticks[0]);
      for (bool a = true;; a = !a) {
        try {
          SaveNameList(a ? u"PRIMA-A" : u"PRIMA-B    lunga",
                       a ? u"SECONDA-A" : u"SECONDA-B    lunga", file_);
        } catch (...) {
          _exit(2);
        }
        if (write(ticks[1], "", 1) != 1) _exit(1);
      }
    }
    close(ticks[1]);
    bool saving = true, torn = false;
    for (int saves = std::uniform_int_distribution(1, 20)(random); saving && saves > 0; --saves) {
      pollfd tick{ticks[0], POLLIN, 0};
      char byte = 0;
      saving = poll(&tick, 1, 5000) == 1 && read(ticks[0], &byte, 1) == 1;
      torn = torn || !whole(ReadBytes(file_.path));
    }
    volatile int spin = std::uniform_int_distribution(0, 200000)(random);
    while (spin > 0) spin = spin - 1;
    for (const pid_t saver : savers) {
      int status = 0;
      kill(saver, SIGKILL);
      waitpid(saver, &status, 0);
      saving = saving && WIFSIGNALED(status);
    }
    close(ticks[0]);
    ASSERT_TRUE(saving) << "a save failed";
    ASSERT_FALSE(torn) << "a reader saw a torn list";
    const std::string bytes = ReadBytes(file_.path);
    ASSERT_TRUE(whole(bytes)) << "after kill " << kills << ": " << bytes;
  }
  RecordProperty("kills", kills);
  EXPECT_GE(kills, 100) << "too few kills in the time allowed";
}

}  // namespace
}  // namespace varnik
