// The list file through the Win32 file API, in what only Windows (or Wine)
// shows: attributes, a list held open by another copy, and the system's error
// texts and codes.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <iterator>
#include <thread>

#include "common/platform_error.h"
#include "common/win32/system_error_text.h"
#include "listfile/list_file.h"
#include "names/name_list.h"
#include "tests/support/temp_dir.h"

namespace varnik {
namespace {

namespace fs = std::filesystem;

// The Linux path of a file under Wine; empty on Windows itself.
std::string UnixPath(const fs::path& path) {
  using Convert = char* (*)(const wchar_t*);
  const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* const unix_path = convert != nullptr ? convert(path.c_str()) : nullptr;
  if (unix_path == nullptr) return {};
  std::string result = unix_path;
  HeapFree(GetProcessHeap(), 0, unix_path);
  return result;
}

// Runs a shell command of the Linux system under Wine in the folder, for
// what only Linux can put there (a FIFO, a socket, a link to a device) or do
// to it; true when it ran and succeeded. The command holds no double quotes.
bool RunUnix(const fs::path& folder, const std::string& command) {
  const test::TempDir scratch;
  const fs::path status = scratch.path() / "status";
  if (UnixPath(status).empty()) return false;
  std::wstring line = L"/bin/sh -c \"" +
                      fs::path("cd '" + UnixPath(folder) + "' && " + command + "; echo $? >'" +
                               UnixPath(status) + "'")
                          .wstring() +
                      L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  // Wine cannot wait for a Linux process: its status file says it is done.
  for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
       std::chrono::steady_clock::now() < end;) {
    const std::string done = test::ReadBytes(status);
    if (!done.empty() && done.back() == '\n') return done == "0\n";
    Sleep(10);
  }
  return false;
}

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

// Only a plain file is read or replaced, a link's target in the link's
// stead; a save never changes what it may not replace, nor the user's
// read-only list. Wine shows Linux's links, FIFOs, sockets and devices.
TEST_F(Win32ListFile, OnlyAPlainFileIsReadOrReplacedAndALinkStays) {
  const test::TempDir elsewhere;
  const fs::path target = elsewhere.path() / "elenco.txt";
  if (UnixPath(dir_.path()).empty()) GTEST_SKIP() << "only Wine plants what Linux has";
  const std::string not_plain = file_.path + ": non \xC3\xA8 un file normale";
  const struct {
    const char* what;
    std::function<bool()> plant;
    std::string read_failure;  // the start of the text; empty: reads ROSSI, VERDI
    std::string save_failure;  // the same for the save; empty: saves through
    const char* unix_check;    // what still stands there, checked by the shell
  } cases[] = {
      {"link to a list elsewhere",
       [&] {
         test::WriteBytes(target, "ROSSI\r\nVERDI\r\n");
         return RunUnix(dir_.path(), "ln -s '" + UnixPath(target) + "' name_start.txt");
       },
       "", "", "test -L name_start.txt"},
      {"FIFO", [&] { return RunUnix(dir_.path(), "mkfifo name_start.txt"); }, not_plain, not_plain,
       "test -p name_start.txt"},
      {"socket",
       [&] {
         return RunUnix(dir_.path(),
                        "perl -MSocket -e 'socket(S, PF_UNIX, SOCK_STREAM, 0) && "
                        "bind(S, sockaddr_un(q(name_start.txt))) || exit 1'");
       },
       not_plain, not_plain, "test -S name_start.txt"},
      {"link to a device", [&] { return RunUnix(dir_.path(), "ln -s /dev/null name_start.txt"); },
       not_plain, not_plain, "test -L name_start.txt && test -c name_start.txt"},
      {"read-only list",
       [&] {
         test::WriteBytes(file_.path, "ROSSI\r\nVERDI\r\n");
         return SetFileAttributesW(fs::path(file_.path).c_str(), FILE_ATTRIBUTE_READONLY) != FALSE;
       },
       "", file_.path + ": " + SystemErrorText(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)), nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.plant()) {
      ADD_FAILURE() << "cannot plant it";
      continue;
    }
    const auto failure_of = [](const std::function<void()>& act) -> std::string {
      try {
        act();
      } catch (const PlatformError& failure) {
        return failure.what();
      }
      return {};
    };
    ListFileState state;
    const std::string read = failure_of([&] { state = LoadNameList(file_); });
    EXPECT_EQ(read.substr(0, c.read_failure.size()), c.read_failure) << read;
    if (c.read_failure.empty()) {
      EXPECT_EQ(state.first, u"ROSSI");
      EXPECT_EQ(state.second, u"VERDI");
    }
    const std::string save = failure_of([&] { SaveNameList(u"BIANCHI", u"ROSSI", file_); });
    EXPECT_EQ(save.substr(0, c.save_failure.size()), c.save_failure) << save;
    EXPECT_EQ(save.empty(), c.save_failure.empty()) << save;
    if (c.unix_check != nullptr) {
      EXPECT_TRUE(RunUnix(dir_.path(), c.unix_check));
    }
    if (c.save_failure.empty()) {
      EXPECT_EQ(test::ReadBytes(target), "BIANCHI\r\nROSSI\r\n");
    } else if (c.read_failure.empty()) {
      EXPECT_EQ(test::ReadBytes(file_.path), "ROSSI\r\nVERDI\r\n");
    }
    // Not through Windows: under Wine that would delete a link's target.
    EXPECT_TRUE(RunUnix(dir_.path(), "rm -f name_start.txt"));
    fs::remove(target);
  }
  test::WriteBytes(file_.path, "");
}

// Where the folder forbids new files (here made immutable, which even root
// cannot get past) the list is rewritten in place, longer or shorter, unless
// the user marked it read-only.
TEST_F(Win32ListFile, FolderForbiddingNewFilesGetsTheListRewrittenInPlace) {
  test::WriteBytes(file_.path, "PRIMA\r\nSECONDA\r\n");
  if (UnixPath(dir_.path()).empty()) GTEST_SKIP() << "only Wine makes a folder immutable";
  struct Immutable {
    const fs::path& folder;
    ~Immutable() { EXPECT_TRUE(RunUnix(folder, "chattr -i .")); }
  } immutable{dir_.path()};
  ASSERT_TRUE(RunUnix(dir_.path(), "chattr +i ."));
  const struct {
    std::u16string first;
    std::string bytes;
  } saves[] = {
      {u"UNA RIGA PI\u00D9 LUNGA", "UNA RIGA PI\xD9 LUNGA\r\nSECONDA\r\n"},
      {u"A", "A\r\nSECONDA\r\n"},
  };
  for (const auto& save : saves) {
    EXPECT_NO_THROW(SaveNameList(save.first, u"SECONDA", file_));
    EXPECT_EQ(test::ReadBytes(file_.path), save.bytes);
  }
  const std::wstring path = fs::path(file_.path).wstring();
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_THROW(SaveNameList(u"B", u"C", file_), PlatformError);
  EXPECT_EQ(test::ReadBytes(file_.path), "A\r\nSECONDA\r\n");
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A folder whose path leaves room for the list's name and no more.
TEST_F(Win32ListFile, ListInAFolderNearThePathLimitIsSaved) {
  fs::path folder = fs::absolute(dir_.path());
  const std::size_t room = MAX_PATH - 1 - 1 - std::string_view(kNameListFileName).size();
  std::wstring name(room - folder.wstring().size() - 1, L'c');
  ASSERT_GT(name.size(), 0u);
  folder /= name;
  fs::create_directory(folder);
  const NameListFile list{test::Utf8(folder / kNameListFileName)};
  ASSERT_EQ(fs::path(list.path).wstring().size(), MAX_PATH - 1u);
  SaveNameList(u"ROSSI", u"VERDI", list);
  SaveNameList(u"BIANCHI", u"ROSSI", list);
  EXPECT_EQ(test::ReadBytes(list.path), "BIANCHI\r\nROSSI\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  fs::remove_all(folder);
  test::WriteBytes(file_.path, "");
}

// An empty list is deleted only while it is the file that was read, never a
// list another copy saved in between.
TEST_F(Win32ListFile, EmptyListIsDeletedOnlyWhileItIsTheFileThatWasRead) {
  test::WriteBytes(file_.path, "");
  std::unique_ptr<ListFileReader> reader = OpenListFile(file_.path);
  ASSERT_EQ(reader->Size(), 0u);
  bool saved = true;
  try {
    SaveNameList(u"ROSSI", u"VERDI", file_);
  } catch (const PlatformError&) {
    saved = false;  // the system lets no list replace a file that is open
  }
  reader->DeleteIfEmpty();
  reader.reset();  // a file is deleted once nothing holds it open
  EXPECT_EQ(fs::exists(file_.path), saved);
  if (saved) {
    EXPECT_EQ(test::ReadBytes(file_.path), "ROSSI\r\nVERDI\r\n");
  }
  // Nor through a link: an empty list elsewhere stays, and so does the link.
  const test::TempDir elsewhere;
  const fs::path target = elsewhere.path() / "elenco.txt";
  test::WriteBytes(target, "");
  if (RunUnix(dir_.path(),
              "rm -f name_start.txt && ln -s '" + UnixPath(target) + "' name_start.txt")) {
    EXPECT_EQ(LoadNameList(file_).kind, ListFileState::Kind::Empty);
    EXPECT_TRUE(fs::exists(target));
    EXPECT_TRUE(RunUnix(dir_.path(), "test -L name_start.txt && rm name_start.txt"));
  }
  test::WriteBytes(file_.path, "");
}

}  // namespace
}  // namespace varnik
