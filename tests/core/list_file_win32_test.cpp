// The list file through the Win32 file API, in what only Windows (or Wine)
// shows: attributes and access rules, the system's error texts and codes,
// every call of a save failing in turn, as another program holding the list
// makes it fail, and another copy's saves landing at each step of a save or
// of start-up.
#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "app/failure_message.h"
#include "app/utf8_text.h"
#include "common/platform_error.h"
#include "common/win32/system_error_text.h"
#include "listfile/list_file.h"
#include "listfile/win32/system_calls.h"
#include "names/name_list.h"
#include "tests/support/temp_dir.h"

namespace varnik {
namespace {

namespace fs = std::filesystem;
using win32::Call;

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
  fs::path list_ = dir_.path() / kNameListFileName;
  NameListFile file_{test::Utf8(list_)};
};

// All a save keeps of a list: its bytes, its attributes and its own access
// rules (as far as the system keeps them).
std::string Looks(const fs::path& path) {
  PSECURITY_DESCRIPTOR security = nullptr;
  wchar_t* rules = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, nullptr, nullptr, &security) == ERROR_SUCCESS) {
    ConvertSecurityDescriptorToStringSecurityDescriptorW(
        security, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &rules, nullptr);
  }
  const std::string looks = test::ReadBytes(path) + " " +
                            std::to_string(GetFileAttributesW(path.c_str())) + " " +
                            test::Utf8(rules != nullptr ? rules : L"");
  LocalFree(rules);
  LocalFree(security);
  return looks;
}

// A list that has it all: hidden, and access rules of its own that shut out
// the folder's.
void MakeRichList(const fs::path& path, const std::string& bytes) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  test::WriteBytes(path, bytes);
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  PSECURITY_DESCRIPTOR security = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:P(A;;FA;;;WD)(A;;FR;;;BU)", SDDL_REVISION_1, &security, nullptr));
  PACL rules = nullptr;
  BOOL present = FALSE, defaulted = FALSE;
  GetSecurityDescriptorDacl(security, &present, &rules, &defaulted);
  std::wstring name = path.wstring();
  EXPECT_EQ(SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, rules, nullptr),
            ERROR_SUCCESS);
  LocalFree(security);
}

// What a save gives: "" when it succeeds, else the failure's text and the
// box the user would see.
struct SaveOutcome {
  std::string text;
  std::u16string box;
  std::optional<std::uint32_t> code;
};

SaveOutcome Save(const NameListFile& file, const std::u16string& first = u"A") {
  try {
    SaveNameList(first, u"B", file);
  } catch (PlatformError& failure) {
    failure.MarkStep(FailedStep::SaveList);
    return {failure.what(), MessageForFailure(failure).box, failure.code()};
  }
  return {};
}

// Each call of a save fails in turn with the errors Windows gives in
// practice, once and from then on, where the list is replaced and where it is
// rewritten in place (its folder refusing new files), longer and shorter.
// The list is always the old one or the new one, whole, with its attributes
// and access rules; no new file stays; the failure gives the system's text,
// and the box says the list is as it was only when it is, byte for byte.
TEST_F(Win32ListFile, EveryCallOfASaveFailingInTurn) {
  const DWORD errors[] = {ERROR_DISK_FULL,         ERROR_HANDLE_DISK_FULL, ERROR_ACCESS_DENIED,
                          ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION,   ERROR_NETNAME_DELETED,
                          ERROR_UNEXP_NET_ERR};
  for (const DWORD error : errors) ASSERT_NE(SystemErrorText(HRESULT_FROM_WIN32(error)), "");
  const struct {
    bool in_place;
    std::string old;
  } paths[] = {
      {false, "IL VECCHIO ELENCO\r\n\r\n"}, {true, "IL VECCHIO ELENCO\r\n\r\n"}, {true, "X\r\n"}};
  const std::string kNew = "A\r\nB\r\n";
  for (const auto& path : paths) {
    std::vector<Call> calls;
    // The save, with the call at `at` failing with `error`, and every later
    // call of its kind too where `persistent`.
    const auto save = [&](std::size_t at, DWORD error, bool persistent) {
      MakeRichList(list_, path.old);
      calls.clear();
      bool scanned = false;
      win32::SetCallHook([&](Call call) -> DWORD {
        if (call == Call::Wait) return ERROR_TIMEOUT;  // no waiting here
        // A virus scanner looks at the new file when it is left.
        if (call == Call::Dispose)
          return std::exchange(scanned, true) ? 0 : ERROR_SHARING_VIOLATION;
        calls.push_back(call);
        const std::size_t index = calls.size() - 1;
        if (index == at || (persistent && index > at && call == calls[at])) return error;
        return path.in_place && call == Call::Create ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
      });
      const SaveOutcome outcome = Save(file_);
      win32::SetCallHook({});
      return outcome;
    };
    save(SIZE_MAX, ERROR_SUCCESS, false);
    const std::vector<Call> all = calls;
    const std::string saved = Looks(list_);
    MakeRichList(list_, path.old);
    const std::string kept = Looks(list_);
    ASSERT_EQ(saved, kNew + kept.substr(path.old.size()));
    for (std::size_t at = 0; at < all.size(); ++at) {
      for (const DWORD error : errors) {
        for (const bool persistent : {false, true}) {
          SCOPED_TRACE((path.in_place ? "in place, " : "") + path.old.substr(0, 1) + ", call " +
                       std::to_string(at) + (persistent ? " on, " : ", ") + std::to_string(error));
          const SaveOutcome outcome = save(at, error, persistent);
          const std::string looks = Looks(list_);
          // Another copy or a virus scanner holding the list for a moment (the
          // system refuses to replace an open file) fails no save.
          if (!persistent && (all[at] == Call::Open || all[at] == Call::Rename) &&
              (error == ERROR_SHARING_VIOLATION ||
               (error == ERROR_ACCESS_DENIED && all[at] == Call::Rename))) {
            EXPECT_EQ(outcome.text, "");
          }
          if (outcome.text.empty()) {
            EXPECT_EQ(looks, saved);
          } else {
            const HRESULT code = HRESULT_FROM_WIN32(error);
            EXPECT_EQ(outcome.text, file_.path + ": " + SystemErrorText(code));
            EXPECT_EQ(outcome.code, static_cast<std::uint32_t>(code));
            // Only the rewrite in place may fail to put the old list back,
            // and it says so where the list is not as it was, or where it
            // cannot make sure the list reached the disk.
            const bool as_it_was = outcome.box.find(u"com'era") != std::u16string::npos;
            if (!persistent || all[at] != Call::Flush) {
              EXPECT_EQ(as_it_was, looks == kept) << Utf8FromUtf16(outcome.box);
            }
            EXPECT_TRUE(!as_it_was || looks == kept);
            EXPECT_TRUE(as_it_was || path.in_place);
          }
          EXPECT_EQ(test::FolderContents(dir_.path()), std::vector<std::string>{kNameListFileName});
        }
      }
    }
  }
}

// Another copy saves a list before each step of a save (replacing the list
// or rewriting it in place), or of start-up's deletion of an empty list, from
// any step on. At every step but those of a rewrite in place there is one
// whole list; the other copy's save fails only where this one holds the
// list, and then leaves it whole; start-up deletes only the empty list it
// read. Or another program opens every new file it sees, without sharing,
// and holds it to the end of the save: the save still succeeds and leaves
// no new file.
TEST_F(Win32ListFile, AnotherCopySavingFromAnyStepOnLeavesOneWholeList) {
  const std::string old = "IL VECCHIO\r\n\r\n";
  for (const std::string mode : {"save", "in place", "start-up", "probe"}) {
    for (std::size_t at = 0;; ++at) {
      SCOPED_TRACE(mode + ", step " + std::to_string(at));
      const bool start_up = mode == "start-up";
      test::WriteBytes(list_, start_up ? "" : old);
      std::set<std::string> whole = {start_up ? "" : old, "A\r\nB\r\n"};
      std::string landed;  // the list the other copy saved last
      std::size_t count = 0;
      bool other_saving = false;
      std::vector<HANDLE> probed;  // the new files another program holds
      win32::SetCallHook([&](Call call) -> DWORD {
        if (call == Call::Wait) return ERROR_TIMEOUT;  // no waiting here
        if (other_saving) return ERROR_SUCCESS;
        if (mode == "in place") {
          // Midway through a rewrite in place the list is torn, as it is
          // when that is cut short.
          if (call == Call::Create) return ERROR_ACCESS_DENIED;
        } else {
          EXPECT_TRUE(whole.contains(test::ReadBytes(list_))) << test::ReadBytes(list_);
        }
        if (count++ < at) return ERROR_SUCCESS;
        if (mode == "probe") {
          for (const auto& entry : fs::directory_iterator(dir_.path())) {
            if (entry.path().extension() != ".tmp") continue;
            const HANDLE held = CreateFileW(entry.path().c_str(), GENERIC_READ, 0, nullptr,
                                            OPEN_EXISTING, 0, nullptr);
            if (held != INVALID_HANDLE_VALUE) probed.push_back(held);
          }
          return ERROR_SUCCESS;
        }
        const std::string name = "ALTRO " + std::to_string(count);
        other_saving = true;
        const SaveOutcome other = Save(file_, Utf16FromUtf8(name));
        other_saving = false;
        if (other.text.empty()) {
          whole.insert(landed = name + "\r\nB\r\n");
        } else {  // refused while this copy holds the list
          EXPECT_TRUE(other.code == 0x80070020u || other.code == 0x80070005u) << other.text;
        }
        return ERROR_SUCCESS;
      });
      if (start_up) {
        EXPECT_NO_THROW(LoadNameList(file_));
      } else {
        EXPECT_EQ(Save(file_).text, "");
      }
      win32::SetCallHook({});
      for (const HANDLE handle : probed) CloseHandle(handle);
      if (count <= at) break;
      EXPECT_TRUE(start_up && !landed.empty() ? test::ReadBytes(list_) == landed
                                              : whole.contains(test::ReadBytes(list_)));
      EXPECT_EQ(test::FolderContents(dir_.path()),
                start_up && landed.empty() ? std::vector<std::string>{}
                                           : std::vector<std::string>{kNameListFileName});
    }
  }
  test::WriteBytes(list_, "");
}

// What stands at the list's place: only a plain file is read or replaced, a
// link's target in the link's stead; the rest, and the user's read-only list,
// fail and stay. Wine shows Linux's links, FIFOs,
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
// cannot get past) the list is rewritten in place.
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
}

// An empty list is deleted only while it is the file that was read and still
// empty, and never through a link (which Wine does not show as one), however
// its folder is reached: here also through a drive letter of its own, as a
// mapped network drive or subst gives it.
TEST_F(Win32ListFile, EmptyListIsDeletedOnlyWhileItIsTheEmptyFileRead) {
  const test::TempDir elsewhere;
  const fs::path other = elsewhere.path() / "elenco.txt";
  // A free drive letter, under Wine a link in the prefix's folder of them.
  const DWORD drives = GetLogicalDrives();
  wchar_t letter = L'P';
  while (letter < L'Y' && (drives & (1u << (letter - L'A'))) != 0) ++letter;
  const std::string devices = UnixPath(L"C:\\") + "../dosdevices/";
  const std::string drive = "'" + devices + static_cast<char>(std::tolower(letter)) + ":'";
  const struct {
    std::string what;
    std::function<void()> meanwhile;  // between reading the list and deleting it
    bool deleted;
    bool by_letter = false;
    std::function<void()> before = [] {};  // before reading it
  } cases[] = {
      {"another copy writes it", [&] { test::WriteBytes(list_, "ROSSI\r\n"); }, false},
      // Made before the old one goes, as a save makes it: a file number
      // freed first may be given again at once.
      {"another copy, on another system, puts a new empty list in its place",
       [&] { ASSERT_TRUE(RunUnix(dir_.path(), ": >new.txt && mv new.txt name_start.txt")); },
       false},
      {"the list is a Linux link",
       [&] {
         test::WriteBytes(other, "");
         ASSERT_TRUE(RunUnix(
             dir_.path(), "rm name_start.txt && ln -s '" + UnixPath(other) + "' name_start.txt"));
       },
       false},
      {"its folder has a drive letter", [] {}, true, true},
      {"the list is a Linux link to an empty file from the start", [] {}, false, false,
       [&] {
         test::WriteBytes(other, "");
         ASSERT_TRUE(RunUnix(
             dir_.path(), "rm name_start.txt && ln -s '" + UnixPath(other) + "' name_start.txt"));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::WriteBytes(list_, "");
    fs::path path = list_;
    if (c.by_letter) {
      if (UnixPath(dir_.path()).empty() || !RunUnix(dir_.path(), "ln -s \"$PWD\" " + drive)) {
        continue;  // only Wine gives a drive letter by a link
      }
      path = fs::path(std::wstring{letter, L':', L'\\'}) / kNameListFileName;
    }
    c.before();
    std::unique_ptr<ListFileReader> reader = OpenListFile(test::Utf8(path));
    ASSERT_EQ(reader->Size(), 0u);
    c.meanwhile();
    reader->DeleteIfEmpty();
    reader.reset();  // a file is deleted once nothing holds it open
    EXPECT_EQ(fs::exists(list_), !c.deleted);
    if (c.by_letter) {
      EXPECT_TRUE(RunUnix(dir_.path(), "rm " + drive));
    }
    // Not through Windows: under Wine that deletes a link's target.
    ASSERT_TRUE(RunUnix(dir_.path(), "rm -f name_start.txt"));
  }
  EXPECT_TRUE(fs::exists(other));
  test::WriteBytes(list_, "");
}

}  // namespace
}  // namespace varnik
