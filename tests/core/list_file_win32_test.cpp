// The list file through the Win32 file API, in what only Windows (or Wine)
// shows: the program's own relative name, and the system's error texts.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <iterator>

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

// As the program names it: relative to the working directory, where some
// versions of ReplaceFileW refuse a bare name.
TEST(Win32ListFile, SavesUnderTheProgramsRelativeNameOverNoListAndOverOne) {
  test::TempDir dir;
  {
    const WorkingDirectory work(dir.path());
    SaveNameList(u"ROSSI", u"", NameListFile{});
    SaveNameList(u"VERDI", u"ROSSI", NameListFile{});
  }
  EXPECT_EQ(test::ReadBytes(dir.path() / kNameListFileName), "VERDI\r\nROSSI\r\n");
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
