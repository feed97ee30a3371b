// Failures that need POSIX process control to bring about.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <functional>

#include "common/platform_error.h"
#include "names/name_list.h"
#include "tests/support/temp_dir.h"

namespace varnik {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// Runs a save in a child process whose files may not grow past a few bytes,
// and reports whether the save failed with the system's text for that.
bool SaveFailsWithFileSizeLimit(const NameListFile& file) {
  const pid_t child = fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
    const rlimit limit{3, 3};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      SaveNameList(u"NEW-FIRST", u"NEW-SECOND", file);
    } catch (const PlatformError& error) {
      _exit(std::strstr(error.what(), std::strerror(EFBIG)) != nullptr ? 0 : 2);
    }
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(NameListLimits, FailedWriteLeavesTheOldListExactlyAsItWas) {
  TempDir dir;
  const NameListFile file{dir.path() / kNameListFileName};
  WriteBytes(file.path, "OLD-FIRST\r\nOLD-SECOND\r\n");
  EXPECT_TRUE(SaveFailsWithFileSizeLimit(file));
  EXPECT_EQ(ReadBytes(file.path), "OLD-FIRST\r\nOLD-SECOND\r\n");
  EXPECT_FALSE(fs::exists(PendingSavePath(file)));
}

// Runs check in a child process without root's power to ignore permissions,
// and returns its result (0 for success).
int RunUnprivileged(const std::function<int()>& check) {
  const pid_t child = fork();
  if (child == 0) {
    constexpr uid_t kNobody = 65534;
    if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(100);
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

class ReadOnlyTest : public ::testing::Test {
 protected:
  void SetUp() override { chmod(dir_.path().c_str(), 0755); }
  void MakeReadOnly() { chmod(dir_.path().c_str(), 0555); }

  TempDir dir_;
  NameListFile file_{dir_.path() / kNameListFileName};
};

// What a check in the child reports: 0 when the expectation held.
int LoadsEmpty(const NameListFile& file) {
  return LoadNameList(file).kind == ListFileState::Kind::Empty ? 0 : 1;
}

template <typename Action>
int FailsWithAccessDenied(Action action) {
  try {
    action();
  } catch (const PlatformError& error) {
    return std::strstr(error.what(), std::strerror(EACCES)) != nullptr ? 0 : 2;
  }
  return 1;
}

TEST_F(ReadOnlyTest, StartUpNeedsNoWritableDirectory) {
  MakeReadOnly();
  EXPECT_EQ(RunUnprivileged([&] { return LoadsEmpty(file_); }), 0);  // missing file
  chmod(dir_.path().c_str(), 0755);
  WriteBytes(file_.path, "");
  MakeReadOnly();
  EXPECT_EQ(RunUnprivileged([&] { return LoadsEmpty(file_); }), 0);  // undeletable empty file
  EXPECT_TRUE(fs::exists(file_.path));
}

TEST_F(ReadOnlyTest, SaveFailsWithTheSystemTextAndKeepsTheOldList) {
  WriteBytes(file_.path, "OLD\r\n\r\n");
  MakeReadOnly();
  EXPECT_EQ(RunUnprivileged(
                [&] { return FailsWithAccessDenied([&] { SaveNameList(u"A", u"B", file_); }); }),
            0);
  EXPECT_EQ(ReadBytes(file_.path), "OLD\r\n\r\n");
  EXPECT_FALSE(fs::exists(PendingSavePath(file_)));
}

TEST_F(ReadOnlyTest, UnreadableFileIsAPlatformError) {
  WriteBytes(file_.path, "SECRET\r\n");
  chmod(file_.path.c_str(), 0);
  EXPECT_EQ(RunUnprivileged([&] { return FailsWithAccessDenied([&] { LoadNameList(file_); }); }),
            0);
}

}  // namespace
}  // namespace varnik
