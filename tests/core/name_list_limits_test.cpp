// The list file on POSIX systems, where only their own means can show it: a
// file-size limit, a user without root's power to ignore permissions, owners,
// links and FIFOs.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <functional>
#include <vector>

#include "common/platform_error.h"
#include "names/name_list.h"
#include "tests/support/temp_dir.h"

namespace varnik {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

constexpr uid_t kNobody = 65534;

// Runs check in a child process and returns its result (0 for success), or
// 102 when the child does not end by itself within ten seconds. Unprivileged,
// the child runs without root's power to ignore permissions.
int InChild(const std::function<int()>& check, bool unprivileged = false) {
  const pid_t child = fork();
  if (child == 0) {
    alarm(10);
    if (unprivileged && geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
      _exit(100);
    }
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

// The names of what a folder holds, sorted.
std::vector<std::string> FolderContents(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class PosixListTest : public ::testing::Test {
 protected:
  void SetUp() override { chmod(dir_.path().c_str(), 0755); }
  void ExpectOnlyTheList() const {
    EXPECT_EQ(FolderContents(dir_.path()), std::vector<std::string>{"name_start.txt"});
  }

  TempDir dir_;
  NameListFile file_{test::Utf8(dir_.path() / kNameListFileName)};
};

TEST_F(PosixListTest, FailedWriteLeavesTheOldListExactlyAsItWas) {
  WriteBytes(file_.path, "OLD-FIRST\r\nOLD-SECOND\r\n");
  EXPECT_EQ(InChild([&] {
              std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
              const rlimit limit{3, 3};
              setrlimit(RLIMIT_FSIZE, &limit);
              return FailsWith(EFBIG, file_, [&] { SaveNameList(u"NEW", u"NEW-2", file_); });
            }),
            0);
  EXPECT_EQ(ReadBytes(file_.path), "OLD-FIRST\r\nOLD-SECOND\r\n");
  ExpectOnlyTheList();
}

TEST_F(PosixListTest, StartUpNeedsNoWritableFolder) {
  const auto loads_empty = [&] {
    return LoadNameList(file_).kind == ListFileState::Kind::Empty ? 0 : 1;
  };
  WriteBytes(file_.path, "");
  chmod(dir_.path().c_str(), 0555);
  EXPECT_EQ(InChild(loads_empty, true), 0);  // an empty list that cannot be deleted
  ExpectOnlyTheList();
}

TEST_F(PosixListTest, UnreadableListIsAPlatformError) {
  WriteBytes(file_.path, "SECRET\r\n");
  chmod(file_.path.c_str(), 0);
  EXPECT_EQ(InChild([&] { return FailsWith(EACCES, file_, [&] { LoadNameList(file_); }); }, true),
            0);
}

// A folder the user may not create files in, or where only a file's owner
// may replace it: the list is rewritten in place when the user may write it.
struct FolderCase {
  const char* label;
  mode_t folder, list;
  int error;  // 0 when the save succeeds
};

void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.label; }

class FolderRightsTest : public PosixListTest, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(FolderRightsTest, SavesInPlaceWhereOnlyTheListMayBeWritten) {
  const FolderCase& c = GetParam();
  WriteBytes(file_.path, "OLD\r\n\r\n");
  chmod(file_.path.c_str(), c.list);
  chmod(dir_.path().c_str(), c.folder);
  EXPECT_EQ(InChild(
                [&] {
                  const auto save = [&] { SaveNameList(u"A", u"B", file_); };
                  if (c.error != 0) return FailsWith(c.error, file_, save);
                  save();
                  return 0;
                },
                true),
            0);
  EXPECT_EQ(ReadBytes(file_.path), c.error != 0 ? "OLD\r\n\r\n" : "A\r\nB\r\n");
  ExpectOnlyTheList();
}

INSTANTIATE_TEST_SUITE_P(
    Folders, FolderRightsTest,
    ::testing::Values(FolderCase{"read-only folder, read-only list", 0555, 0644, EACCES},
                      FolderCase{"read-only folder, writable list", 0555, 0666, 0},
                      FolderCase{"sticky folder, another's writable list", 01777, 0666, 0}));

TEST_F(PosixListTest, ListKeepsPermissionsOwnerGroupAndLink) {
  // The list sits in a folder of its own, reached through a relative link.
  const fs::path real = dir_.path() / "real";
  fs::create_directory(real);
  WriteBytes(real / "list.txt", "OLD\r\n\r\n");
  fs::create_symlink("real/list.txt", file_.path);
  // Only root may give a file away; anyone else keeps their own.
  const uid_t owner = geteuid() == 0 ? kNobody : geteuid();
  const gid_t group = geteuid() == 0 ? 4242 : getegid();
  ASSERT_EQ(chown((real / "list.txt").c_str(), owner, group), 0);
  ASSERT_EQ(chmod((real / "list.txt").c_str(), 0640), 0);

  SaveNameList(u"A", u"B", file_);
  EXPECT_EQ(fs::read_symlink(file_.path), "real/list.txt");
  EXPECT_EQ(ReadBytes(real / "list.txt"), "A\r\nB\r\n");
  struct stat saved {};
  ASSERT_EQ(stat((real / "list.txt").c_str(), &saved), 0);
  EXPECT_EQ(saved.st_mode & 07777, 0640u);
  EXPECT_EQ(saved.st_uid, owner);
  EXPECT_EQ(saved.st_gid, group);
  EXPECT_EQ(FolderContents(real), std::vector<std::string>{"list.txt"});
  EXPECT_EQ(FolderContents(dir_.path()), (std::vector<std::string>{"name_start.txt", "real"}));
}

// Others who may write to the folder plant a link, a file or a FIFO under
// the name the save used to write first: nothing outside the list changes,
// and the save does not wait on the FIFO.
TEST_F(PosixListTest, WhatOthersPlantBesideTheListIsLeftAlone) {
  TempDir elsewhere;
  const fs::path secret = elsewhere.path() / "private.txt";
  WriteBytes(secret, "PRIVATE");
  const fs::path planted = dir_.path() / "name_start.txt.tmp";
  const std::function<void()> plants[] = {
      [&] { fs::create_symlink(secret, planted); },
      [&] { WriteBytes(planted, "PLANTED"); },
      [&] { ASSERT_EQ(mkfifo(planted.c_str(), 0666), 0); },
  };
  for (const auto& plant : plants) {
    WriteBytes(file_.path, "OLD\r\n\r\n");
    plant();
    const fs::file_type kind = fs::symlink_status(planted).type();
    EXPECT_EQ(InChild([&] {
                SaveNameList(u"A", u"B", file_);
                return 0;
              }),
              0);
    EXPECT_EQ(ReadBytes(file_.path), "A\r\nB\r\n");
    EXPECT_EQ(ReadBytes(secret), "PRIVATE");
    EXPECT_EQ(fs::symlink_status(planted).type(), kind);
    if (kind == fs::file_type::regular) {
      EXPECT_EQ(ReadBytes(planted), "PLANTED");
    }
    fs::remove(planted);
    ExpectOnlyTheList();
  }
}

}  // namespace
}  // namespace varnik
