// The list file through the Win32 file API, in what only Windows (or Wine)
// shows: the program's own relative name, and the system's error texts.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <iterator>
#include <thread>

#include "common/platform_error.h"
#include "names/name_list.h"
#include "setupconfig/com/system_error_text.h"
#include "tests/support/temp_dir.h"

namespace varnik {
namespace {

namespace fs = std::filesystem;

// The working directory, changed for as long as it lives.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const fs::path& path) : before_(fs::current_path()) {
    fs::current_path(path);
  }
  ~WorkingDirectory() { fs::current_path(before_); }

 private:
  fs::path before_;
};

// As the program names it, relative to the working directory. A hidden list
// stays hidden.
TEST(Win32ListFile, SavesUnderTheProgramsRelativeNameOverNoListAndOverOne) {
  test::TempDir dir;
  {
    const WorkingDirectory work(dir.path());
    SaveNameList(u"ROSSI", u"", NameListFile{});
    ASSERT_TRUE(SetFileAttributesW(L"name_start.txt", FILE_ATTRIBUTE_HIDDEN));
    SaveNameList(u"VERDI", u"ROSSI", NameListFile{});
    EXPECT_EQ(GetFileAttributesW(L"name_start.txt") & FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN);
  }
  EXPECT_EQ(test::ReadBytes(dir.path() / kNameListFileName), "VERDI\r\nROSSI\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// While a file is open the system refuses to replace it, so copies of the
// program starting and saving in one folder get in each other's way, if only
// for a moment: no save may fail for that, and every start finds a whole list.
TEST(Win32ListFile, CopiesSavingAndReadingAtOnceAllSucceed) {
  test::TempDir dir;
  const NameListFile file{test::Utf8(dir.path() / kNameListFileName)};
  SaveNameList(u"PRIMA", u"SECONDA", file);
  std::atomic<int> failed_saves = 0, torn_reads = 0;
  const auto run = [&] {
    for (int i = 0; i < 200; ++i) {
      try {
        SaveNameList(i % 2 == 0 ? u"PRIMA-A" : u"PRIMA", u"SECONDA", file);
      } catch (const PlatformError&) {
        ++failed_saves;
      }
      const ListFileState state = LoadNameList(file);
      if (!state.first || state.first->rfind(u"PRIMA", 0) != 0 || state.second != u"SECONDA") {
        ++torn_reads;
      }
    }
  };
  std::thread copies[] = {std::thread(run), std::thread(run), std::thread(run)};
  for (std::thread& copy : copies) copy.join();
  EXPECT_EQ(failed_saves, 0);
  EXPECT_EQ(torn_reads, 0);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(Win32ListFile, FailuresCarryTheListsNameAndTheSystemsTextAndCode) {
  test::TempDir dir;
  const NameListFile nowhere{test::Utf8(dir.path() / "assente" / kNameListFileName)};
  const NameListFile folder{test::Utf8(dir.path() / kNameListFileName)};
  fs::create_directory(folder.path);
  const struct {
    const NameListFile& file;
    std::function<void()> act;
    DWORD error;
  } cases[] = {
      {nowhere, [&] { SaveNameList(u"A", u"B", nowhere); }, ERROR_PATH_NOT_FOUND},
      {folder, [&] { LoadNameList(folder); }, ERROR_ACCESS_DENIED},
      {folder, [&] { SaveNameList(u"A", u"B", folder); }, ERROR_ACCESS_DENIED},
  };
  for (const auto& c : cases) {
    const HRESULT code = HRESULT_FROM_WIN32(c.error);
    try {
      c.act();
      ADD_FAILURE() << "no failure for " << c.file.path;
    } catch (const PlatformError& failure) {
      EXPECT_EQ(failure.what(), c.file.path + ": " + SystemErrorText(code));
      EXPECT_EQ(failure.code(), static_cast<std::uint32_t>(code));
    }
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace varnik
