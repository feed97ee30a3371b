// The list file through the Win32 file API, in what only Windows (or Wine)
// shows: attributes, a list held open by another copy, and the system's error
// texts and codes.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <iterator>
#include <thread>

#include "common/platform_error.h"
#include "common/win32/system_error_text.h"
#include "names/name_list.h"
#include "tests/support/temp_dir.h"

namespace varnik {
namespace {

namespace fs = std::filesystem;

class Win32ListFile : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1)
        << "the folder holds more than the list";
  }

  test::TempDir dir_;
  NameListFile file_{test::Utf8(dir_.path() / kNameListFileName)};
};

TEST_F(Win32ListFile, HiddenListStaysHidden) {
  const std::wstring path = fs::path(file_.path).wstring();
  SaveNameList(u"ROSSI", u"", file_);
  EXPECT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
  SaveNameList(u"VERDI", u"ROSSI", file_);
  EXPECT_EQ(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(test::ReadBytes(file_.path), "VERDI\r\nROSSI\r\n");
}

// While a file is open the system refuses to replace it, so copies of the
// program starting and saving in one folder get in each other's way, if only
// for a moment: no save may fail for that, and every start finds a whole list.
TEST_F(Win32ListFile, CopiesSavingAndReadingAtOnceAllSucceed) {
  SaveNameList(u"PRIMA", u"SECONDA", file_);
  std::atomic<int> failed_saves = 0, torn_reads = 0;
  const auto run = [&] {
    for (int i = 0; i < 200; ++i) {
      try {
        SaveNameList(i % 2 == 0 ? u"PRIMA-A" : u"PRIMA", u"SECONDA", file_);
      } catch (const PlatformError&) {
        ++failed_saves;
      }
      const ListFileState state = LoadNameList(file_);
      if (!state.first || state.first->rfind(u"PRIMA", 0) != 0 || state.second != u"SECONDA") {
        ++torn_reads;
      }
    }
  };
  std::thread copies[] = {std::thread(run), std::thread(run), std::thread(run)};
  for (std::thread& copy : copies) copy.join();
  EXPECT_EQ(failed_saves, 0);
  EXPECT_EQ(torn_reads, 0);
}

// The text is the list's path and the system's own text for the error, which
// it must have; the code is the error's.
TEST_F(Win32ListFile, FailuresCarryTheListsNameAndTheSystemsTextAndCode) {
  const NameListFile nowhere{test::Utf8(dir_.path() / "assente" / kNameListFileName)};
  fs::create_directory(file_.path);
  const struct {
    const NameListFile& file;
    std::function<void()> act;
    DWORD error;
  } cases[] = {
      {nowhere, [&] { SaveNameList(u"A", u"B", nowhere); }, ERROR_PATH_NOT_FOUND},
      {file_, [&] { LoadNameList(file_); }, ERROR_ACCESS_DENIED},
      {file_, [&] { SaveNameList(u"A", u"B", file_); }, ERROR_ACCESS_DENIED},
  };
  for (const auto& c : cases) {
    const HRESULT code = HRESULT_FROM_WIN32(c.error);
    ASSERT_NE(SystemErrorText(code), "");
    try {
      c.act();
      ADD_FAILURE() << "no failure for " << c.file.path;
    } catch (const PlatformError& failure) {
      EXPECT_EQ(failure.what(), c.file.path + ": " + SystemErrorText(code));
      EXPECT_EQ(failure.code(), static_cast<std::uint32_t>(code));
    }
  }
}

}  // namespace
}  // namespace varnik
