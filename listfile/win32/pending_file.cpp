#include "listfile/win32/pending_file.h"

#include <cstdint>
#include <functional>
#include <utility>

#include "listfile/win32/system_calls.h"

namespace varnik::win32 {
namespace {

std::wstring Hex(std::uint32_t value) {
  std::wstring digits(8, L'0');
  for (auto digit = digits.rbegin(); digit != digits.rend(); ++digit, value >>= 4) {
    *digit = L"0123456789abcdef"[value & 15];
  }
  return digits;
}

// While another program has a file open (another copy reading or replacing
// the list, a virus scanner looking at the new file), the system refuses to
// replace or delete it; that lasts a moment, so `act` is tried again, often,
// for about a second before giving up: where copies keep the list busy, one
// of many tries finds it free. False, with GetLastError() saying why, when it
// never succeeds.
bool TryWhileHeld(const std::function<BOOL()>& act) {
  for (int tries = 1;; ++tries) {
    if (act()) return true;
    const DWORD error = GetLastError();
    if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || tries == 100) {
      return false;
    }
    Wait(tries < 20 ? 1 : 12);
  }
}

}  // namespace

PendingFile::PendingFile(const std::wstring& list, DWORD attributes) {
  const std::wstring folder = list.substr(0, list.find_last_of(L'\\') + 1);
  // The names need not be unpredictable, only fresh: CREATE_NEW sees to
  // that, and a name taken already is passed over.
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  std::uint64_t seed =
      static_cast<std::uint64_t>(counter.QuadPart) ^ (std::uint64_t{GetCurrentProcessId()} << 32);
  for (int attempt = 0; attempt < 100; ++attempt) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    const std::wstring name = folder + L"~" + Hex(static_cast<std::uint32_t>(seed >> 32)) + L".tmp";
    file_ = CreateNew(name.c_str(), GENERIC_WRITE | WRITE_DAC | DELETE,
                      attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL);
    if (file_ != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) break;
  }
}

PendingFile::~PendingFile() {
  if (file_ == INVALID_HANDLE_VALUE) return;
  // Gone once the handle is closed.
  TryWhileHeld([&] { return Dispose(file_); });
  CloseHandle(file_);
}

bool PendingFile::Replace(const std::wstring& list) {
  if (!TryWhileHeld([&] { return Rename(file_, list); })) return false;
  // The bytes reached the disk before the rename, so closing the list that
  // is now in place has nothing left to report.
  CloseHandle(std::exchange(file_, INVALID_HANDLE_VALUE));
  return true;
}

}  // namespace varnik::win32
