#include "listfile/win32/open_file.h"

#include <algorithm>
#include <cstring>

#include "listfile/win32/failure.h"
#include "listfile/win32/system_calls.h"

namespace varnik::win32 {

bool Handle::Close() {
  const HANDLE handle = handle_;
  handle_ = INVALID_HANDLE_VALUE;
  return win32::Close(handle) != FALSE;
}

HANDLE OpenWaiting(const std::wstring& path, DWORD access, DWORD share, DWORD flags) {
  for (DWORD wait = 0;; wait += 10) {
    const HANDLE file = Open(path.c_str(), access, share, flags);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION || wait > 140) {
      return file;
    }
    Wait(wait);
  }
}

BY_HANDLE_FILE_INFORMATION PlainFileInformation(const std::string& path, HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file) != FILE_TYPE_DISK) FailNotPlainFile(path);
  if (!QueryInformation(file, &info)) Fail(path, GetLastError());
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) Fail(path, ERROR_ACCESS_DENIED);
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) FailNotPlainFile(path);
  return info;
}

std::uint64_t SizeOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
}

bool FileIdentity::operator==(const FileIdentity& other) const {
  return volume == other.volume &&
         std::memcmp(number.Identifier, other.number.Identifier, sizeof number.Identifier) == 0;
}

bool IdentityOf(HANDLE file, FileIdentity& identity) {
  identity = {};
  FILE_ID_INFO id{};
  if (QueryInformationEx(file, FileIdInfo, &id, sizeof id)) {
    identity.volume = id.VolumeSerialNumber;
    identity.number = id.FileId;
    return true;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!QueryInformation(file, &info)) return false;
  const std::uint64_t index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  identity.volume = info.dwVolumeSerialNumber;
  std::memcpy(identity.number.Identifier, &index, sizeof index);
  return true;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!Write(file, bytes.data(), chunk, &written)) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace varnik::win32
