// Saves in other processes: one killed at any moment, and two at once beside
// a reader. Each leaves one whole list and nothing that disturbs the next
// start.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <stdexcept>
#include <string>

#include "names/name_list.h"
#include "tests/support/temp_dir.h"

namespace varnik {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

constexpr char kListA[] = "PRIMA-A\r\nSECONDA-A\r\n";
constexpr char kListB[] = "PRIMA-B    lunga\r\nSECONDA-B    lunga\r\n";

bool IsWholeList(const ListFileState& state) {
  return (state.first == u"PRIMA-A" && state.second == u"SECONDA-A") ||
         (state.first == u"PRIMA-B    lunga" && state.second == u"SECONDA-B    lunga");
}

// A child process that saves the two lists in turn for ever, telling the
// parent after each save. A save that fails ends it.
class Saver {
 public:
  explicit Saver(const NameListFile& file) {
    int ends[2];
    if (pipe(ends) != 0) throw std::runtime_error("no pipe");
    pid_ = fork();
    if (pid_ == 0) {
      close(ends[0]);
      try {
        for (bool a = true;; a = !a) {
          SaveNameList(a ? u"PRIMA-A" : u"PRIMA-B    lunga",
                       a ? u"SECONDA-A" : u"SECONDA-B    lunga", file);
          const char tick = 1;
          if (write(ends[1], &tick, 1) != 1) _exit(1);
        }
      } catch (...) {
        _exit(2);
      }
    }
    close(ends[1]);
    progress_ = ends[0];
  }
  ~Saver() {
    Kill();
    close(progress_);
  }
  Saver(const Saver&) = delete;
  Saver& operator=(const Saver&) = delete;

  // The saves reported so far, after waiting up to timeout_ms for a new one.
  int Saves(int timeout_ms = 0) {
    pollfd ready{progress_, POLLIN, 0};
    if (poll(&ready, 1, timeout_ms) == 1) {
      char ticks[64];
      const ssize_t got = read(progress_, ticks, sizeof ticks);
      if (got > 0) saves_ += static_cast<int>(got);
    }
    return saves_;
  }

  // Kills it; true when it was still saving then (no save had failed).
  bool Kill() {
    if (pid_ <= 0) return false;
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  }

 private:
  pid_t pid_ = -1;
  int progress_ = -1;
  int saves_ = 0;
};

// Waits until the saver has done `saves` saves in all; false if it stops
// reporting for five seconds.
bool WaitForSaves(Saver& saver, int saves) {
  for (int done = saver.Saves(); done < saves;) {
    const int now = saver.Saves(5000);
    if (now == done) return false;
    done = now;
  }
  return true;
}

TEST(SaveKill, EveryKillLeavesOneWholeList) {
  TempDir dir;
  const NameListFile file{test::Utf8(dir.path() / kNameListFileName)};
  WriteBytes(file.path, kListA);
  std::mt19937 random(std::random_device{}());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);

  int kills = 0;
  for (; kills < 300 && std::chrono::steady_clock::now() < deadline; ++kills) {
    Saver saver(file);
    const bool saving = WaitForSaves(saver, std::uniform_int_distribution(1, 20)(random));
    // A varying stretch of work before the kill, so it lands at any point of
    // the save that is under way.
    volatile int spin = std::uniform_int_distribution(0, 200000)(random);
    while (spin > 0) spin = spin - 1;
    saver.Kill();
    ASSERT_TRUE(saving) << "the saving process stopped reporting";

    const std::string bytes = ReadBytes(file.path);
    ASSERT_TRUE(bytes == kListA || bytes == kListB) << "after kill " << kills << ": " << bytes;
    ASSERT_TRUE(IsWholeList(LoadNameList(file)));
  }
  RecordProperty("kills", kills);
  EXPECT_GE(kills, 100) << "too few kills in the time allowed";
}

TEST(SaveKill, TwoSaversInOneFolderBothSucceedAndReadersSeeWholeLists) {
  TempDir dir;
  const NameListFile file{test::Utf8(dir.path() / kNameListFileName)};
  WriteBytes(file.path, kListA);
  Saver first(file), second(file);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int reads = 0;
  while (first.Saves() < 100 || second.Saves() < 100) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "a saver stopped after " << reads;
    ASSERT_TRUE(IsWholeList(LoadNameList(file))) << "read " << reads;
    ++reads;
  }
  EXPECT_TRUE(first.Kill() && second.Kill()) << "a save failed";
  EXPECT_TRUE(IsWholeList(LoadNameList(file)));
  RecordProperty("reads", reads);
}

}  // namespace
}  // namespace varnik
