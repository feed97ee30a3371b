#include "standin/com/standin_store.h"

#include <cwchar>
#include <fstream>
#include <iterator>
#include <system_error>

#include "common/win32/windows_text.h"

namespace varnik::standin {
namespace fs = std::filesystem;

namespace {

std::wstring Environment(const wchar_t* name) {
  const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) return {};
  std::wstring value(needed, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, value.data(), needed);
  value.resize(length < needed ? length : 0);
  return value;
}

std::optional<std::string> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, std::string_view bytes, std::ios::openmode mode) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | mode);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    throw std::system_error(std::make_error_code(std::errc::io_error),
                            "cannot write " + path.string());
  }
}

}  // namespace

Store Store::FromEnvironment() {
  const std::wstring folder = Environment(L"VARNIK_STANDIN_DIR");
  if (!folder.empty()) return Store(folder);
  return Store(fs::path(Environment(L"LOCALAPPDATA")) / L"Varnik" / L"standin");
}

std::optional<std::wstring> Store::ReadName() const {
  const std::optional<std::string> bytes = ReadFile(folder_ / L"name.txt");
  if (!bytes) return std::nullopt;
  return WideFromUtf8(*bytes);
}

void Store::WriteName(std::wstring_view name) const {
  WriteFile(folder_ / L"name.txt", Utf8FromWide(name), std::ios::trunc);
}

void Store::Record(std::wstring_view line) const {
  WriteFile(folder_ / L"calls.txt", Utf8FromWide(line) + "\n", std::ios::app);
}

// The rest of the line of `file` that starts with `call` and a tab.
std::optional<std::wstring> Store::LineFor(const wchar_t* file, std::wstring_view call) const {
  const std::optional<std::string> bytes = ReadFile(folder_ / file);
  if (!bytes) return std::nullopt;
  const std::wstring text = WideFromUtf8(*bytes);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
    start = end + 1;

    const std::size_t tab = line.find(L'\t');
    if (tab != std::wstring_view::npos && line.substr(0, tab) == call) {
      return std::wstring(line.substr(tab + 1));
    }
  }
  return std::nullopt;
}

void Store::Pace(std::wstring_view call) const {
  const std::optional<std::wstring> pace = LineFor(L"pace.txt", call);
  if (!pace) return;
  if (*pace == L"exit") ExitProcess(3);
  if (*pace != L"hang") {
    Sleep(static_cast<DWORD>(std::wcstoul(pace->c_str(), nullptr, 10)));
    return;
  }
  // Woken by every file made in the folder, until the release.
  const HANDLE change =
      FindFirstChangeNotificationW(folder_.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  // A folder that cannot be watched (or is gone) ends the hang.
  while (change != INVALID_HANDLE_VALUE && !fs::exists(folder_ / L"release.txt") &&
         WaitForSingleObject(change, INFINITE) == WAIT_OBJECT_0 &&
         FindNextChangeNotification(change)) {
  }
  if (change != INVALID_HANDLE_VALUE) FindCloseChangeNotification(change);
}

void Store::RecordServer(DWORD process_id) const {
  WriteFile(folder_ / L"server.txt", std::to_string(process_id), std::ios::trunc);
}

std::optional<Failure> Store::FailureFor(std::wstring_view call) const {
  const std::optional<std::wstring> line = LineFor(L"fail.txt", call);
  if (!line) return std::nullopt;
  const std::wstring_view rest = *line;
  const std::size_t second_tab = rest.find(L'\t');
  const std::wstring code(rest.substr(0, second_tab));
  Failure failure;
  failure.code = static_cast<HRESULT>(std::wcstoul(code.c_str(), nullptr, 16));
  if (second_tab != std::wstring_view::npos) failure.description = rest.substr(second_tab + 1);
  return failure;
}

}  // namespace varnik::standin
