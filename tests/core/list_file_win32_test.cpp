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
  const std::string status = UnixPath(scratch.path() / "status");
  std::wstring line = fs::path("/bin/sh -c \"cd '" + UnixPath(folder) + "' && " + command +
                               "; echo $? >'" + status + "'\"")
                          .wstring();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (status.empty() || !CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  // Wine cannot wait for a Linux process: its status file says it is done.
  for (int tries = 0; tries < 2000; ++tries, Sleep(10)) {
    const std::string done = test::ReadBytes(scratch.path() / "status");
    if (done.ends_with('\n')) return done == "0\n";
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
  test::WriteBytes(file_.path, "");
  const struct {
    const NameListFile& file;
    std::function<void()> act;
    DWORD error;
  } cases[] = {
      {nowhere, [&] { SaveNameList(u"A", u"B", nowhere); }, ERROR_PATH_NOT_FOUND},
      {nowhere, [&] { LoadNameList(nowhere); }, ERROR_PATH_NOT_FOUND},
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

// What stands at the list's place: only a plain file is read or replaced, a
// link's target in the link's stead, keeping its attributes; the rest, and
// the user's read-only list, fail and stay. Wine shows Linux's links, FIFOs,
// sockets and devices.
TEST_F(Win32ListFile, OnlyAPlainFileIsReadOrReplacedAndALinkStays) {
  if (UnixPath(dir_.path()).empty()) GTEST_SKIP() << "only Wine plants what Linux has";
  const test::TempDir elsewhere;
  const std::string target = UnixPath(elsewhere.path() / "elenco.txt");
  const std::string not_plain = file_.path + ": non \xC3\xA8 un file normale";
  const std::string denied = file_.path + ": " + SystemErrorText(E_ACCESSDENIED);
  const struct {
    std::string plant;                       // a shell command; empty: a plain list
    std::string read_failure, save_failure;  // their starts; empty: none
    std::string still;                       // what the shell finds there after the save
    DWORD attributes = 0;                    // of the plain list, kept
  } cases[] = {
      {"ln -s '" + target + "' name_start.txt", "", "", "test -L name_start.txt"},
      {"mkfifo name_start.txt", not_plain, not_plain, "test -p name_start.txt"},
      {"perl -MSocket -e 'socket(S, PF_UNIX, SOCK_STREAM, 0); bind(S, "
       "sockaddr_un(q(name_start.txt)))'",
       not_plain, not_plain, "test -S name_start.txt"},
      {"ln -s /dev/null name_start.txt", not_plain, not_plain, "test -L name_start.txt"},
      {"mkdir name_start.txt", denied, denied, "test -d name_start.txt"},
      {"", "", "", "test -f name_start.txt", FILE_ATTRIBUTE_HIDDEN},
      {"", "", denied, "test -f name_start.txt", FILE_ATTRIBUTE_READONLY},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.plant);
    ASSERT_TRUE(RunUnix(dir_.path(), "printf 'ROSSI\\r\\nVERDI\\r\\n' >'" + target + "'"));
    const std::wstring path = fs::path(file_.path).wstring();
    if (c.plant.empty()) {
      test::WriteBytes(file_.path, "ROSSI\r\nVERDI\r\n");
      SetFileAttributesW(path.c_str(), c.attributes);
    } else {
      ASSERT_TRUE(RunUnix(dir_.path(), c.plant));
    }
    std::string read, save;
    try {
      const ListFileState state = LoadNameList(file_);
      EXPECT_TRUE(state.first == u"ROSSI" && state.second == u"VERDI");
    } catch (const PlatformError& failure) {
      read = failure.what();
    }
    try {
      SaveNameList(u"BIANCHI", u"ROSSI", file_);
    } catch (const PlatformError& failure) {
      save = failure.what();
    }
    EXPECT_EQ(read.substr(0, c.read_failure.size()), c.read_failure) << read;
    EXPECT_EQ(save.substr(0, c.save_failure.size()), c.save_failure) << save;
    EXPECT_TRUE(RunUnix(dir_.path(), c.still));
    EXPECT_EQ(GetFileAttributesW(path.c_str()) & c.attributes, c.attributes);
    const std::string list =
        c.plant.empty() ? file_.path : test::Utf8(elsewhere.path() / "elenco.txt");
    EXPECT_EQ(test::ReadBytes(list), save.empty() ? "BIANCHI\r\nROSSI\r\n" : "ROSSI\r\nVERDI\r\n");
    // Not through Windows: under Wine that deletes a link's target.
    ASSERT_TRUE(RunUnix(dir_.path(), "rm -rf name_start.txt"));
  }
  test::WriteBytes(file_.path, "");
}

// Where the folder forbids new files (here made immutable, which even root
// cannot get past) the list is rewritten in place, longer or shorter, unless
// the user marked it read-only.
TEST_F(Win32ListFile, FolderForbiddingNewFilesGetsTheListRewrittenInPlace) {
  test::WriteBytes(file_.path, "PRIMA\r\nSECONDA\r\n");
  struct Immutable {
    const fs::path& folder;
    ~Immutable() { RunUnix(folder, "chattr -i ."); }
  } immutable{dir_.path()};
  // Root on a file system that has the mark, under Wine.
  if (!RunUnix(dir_.path(), "chattr +i .")) GTEST_SKIP() << "no folder made immutable";
  SaveNameList(u"UNA RIGA PI\u00D9 LUNGA", u"SECONDA", file_);
  EXPECT_EQ(test::ReadBytes(file_.path), "UNA RIGA PI\xD9 LUNGA\r\nSECONDA\r\n");
  SaveNameList(u"A", u"SECONDA", file_);
  EXPECT_EQ(test::ReadBytes(file_.path), "A\r\nSECONDA\r\n");
  const std::wstring path = fs::path(file_.path).wstring();
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_THROW(SaveNameList(u"B", u"C", file_), PlatformError);
  EXPECT_EQ(test::ReadBytes(file_.path), "A\r\nSECONDA\r\n");
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// On a full disk the in-place rewrite cannot take the new bytes: an empty
// list is put back, and the failure says it is as it was.
TEST_F(Win32ListFile, FullDiskFailsTheInPlaceRewriteOfAnEmptyListLeavingItAsItWas) {
  test::WriteBytes(file_.path, "");
  const test::TempDir small;
  const std::string folder = UnixPath(small.path());
  // Root under Wine: a file system of two pages, filled, in a folder made
  // immutable.
  if (folder.empty() ||
      !RunUnix(small.path(), "mount -t tmpfs -o size=8k tmpfs '" + folder + "'")) {
    GTEST_SKIP() << "no small file system mounted";
  }
  const NameListFile list{test::Utf8(small.path() / kNameListFileName)};
  if (RunUnix(small.path(), ": >name_start.txt && (head -c 65536 /dev/zero >fill; chattr +i .)")) {
    try {
      SaveNameList(u"PRIMA", u"SECONDA", list);
      ADD_FAILURE() << "saved on a full disk";
    } catch (const PlatformError& error) {
      EXPECT_FALSE(error.list_may_be_damaged()) << error.what();
    }
    EXPECT_EQ(test::ReadBytes(small.path() / kNameListFileName), "");
  }
  EXPECT_TRUE(RunUnix(small.path() / "..", "chattr -i '" + folder + "'; umount '" + folder + "'"));
}

// An empty list is deleted only while it is the file that was read and still
// empty, and never through a link (which Wine does not show as one).
TEST_F(Win32ListFile, EmptyListIsDeletedOnlyWhileItIsTheEmptyFileRead) {
  test::WriteBytes(file_.path, "");
  std::unique_ptr<ListFileReader> reader = OpenListFile(file_.path);
  ASSERT_EQ(reader->Size(), 0u);
  test::WriteBytes(file_.path, "ROSSI\r\n");  // written by another copy meanwhile
  reader->DeleteIfEmpty();
  reader.reset();  // a file is deleted once nothing holds it open
  EXPECT_EQ(test::ReadBytes(file_.path), "ROSSI\r\n");

  const test::TempDir elsewhere;
  test::WriteBytes(elsewhere.path() / "elenco.txt", "");
  if (RunUnix(dir_.path(), "rm name_start.txt && ln -s '" +
                               UnixPath(elsewhere.path() / "elenco.txt") + "' name_start.txt")) {
    EXPECT_EQ(LoadNameList(file_).kind, ListFileState::Kind::Empty);
    EXPECT_TRUE(fs::exists(elsewhere.path() / "elenco.txt"));
    EXPECT_TRUE(RunUnix(dir_.path(), "test -L name_start.txt && rm name_start.txt"));
  }
  test::WriteBytes(file_.path, "");
}

}  // namespace
}  // namespace varnik
