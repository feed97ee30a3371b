// A save killed at any moment leaves either the old list or the new one,
// whole, and nothing that disturbs the next start.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>

#include "names/name_list.h"
#include "tests/support/temp_dir.h"

namespace varnik {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

constexpr char kListA[] = "PRIMA-A\r\nSECONDA-A\r\n";
constexpr char kListB[] = "PRIMA-B    lunga\r\nSECONDA-B    lunga\r\n";

// Saves the two lists in turn for ever, telling the parent after each save.
[[noreturn]] void SaveForEver(const NameListFile& file, int progress) {
  for (bool a = true;; a = !a) {
    SaveNameList(a ? u"PRIMA-A" : u"PRIMA-B    lunga", a ? u"SECONDA-A" : u"SECONDA-B    lunga",
                 file);
    const char tick = 1;
    if (write(progress, &tick, 1) != 1) _exit(1);
  }
}

// Waits until the child has finished `saves` saves; false if it stops
// reporting within the timeout.
bool WaitForSaves(int progress, int saves) {
  for (int done = 0; done < saves;) {
    pollfd ready{progress, POLLIN, 0};
    if (poll(&ready, 1, 5000) != 1) return false;
    char ticks[64];
    const ssize_t got = read(progress, ticks, sizeof ticks);
    if (got <= 0) return false;
    done += static_cast<int>(got);
  }
  return true;
}

TEST(SaveKill, EveryKillLeavesOneWholeList) {
  TempDir dir;
  const NameListFile file{dir.path() / kNameListFileName};
  WriteBytes(file.path, kListA);
  std::mt19937 random(std::random_device{}());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);

  int kills = 0;
  for (; kills < 300 && std::chrono::steady_clock::now() < deadline; ++kills) {
    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(pipe_ends[0]);
      SaveForEver(file, pipe_ends[1]);
    }
    close(pipe_ends[1]);
    const bool saving = WaitForSaves(pipe_ends[0], std::uniform_int_distribution(1, 20)(random));
    // A varying stretch of work before the kill, so it lands at any point of
    // the save that is under way.
    volatile int spin = std::uniform_int_distribution(0, 200000)(random);
    while (spin > 0) spin = spin - 1;
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(pipe_ends[0]);
    ASSERT_TRUE(saving) << "the saving process stopped reporting";

    const std::string bytes = ReadBytes(file.path);
    ASSERT_TRUE(bytes == kListA || bytes == kListB) << "after kill " << kills << ": " << bytes;
    const ListFileState state = LoadNameList(file);
    ASSERT_TRUE(state.first && state.second);
    ASSERT_FALSE(fs::exists(PendingSavePath(file)));
  }
  RecordProperty("kills", kills);
  EXPECT_GE(kills, 100) << "too few kills in the time allowed";
}

}  // namespace
}  // namespace varnik
