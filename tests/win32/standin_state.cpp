#include "tests/win32/standin_state.h"

#include <cstdio>
#include <sstream>

#include "setupconfig/com/windows_text.h"

namespace varnik::testing {

std::string Utf8(std::u16string_view text) { return Utf8FromWide(ToWide(text)); }

void StandInState::SetName(std::u16string_view name) const {
  WriteBytes(folder() / "name.txt", Utf8(name));
}

void StandInState::Fail(std::string_view call, HRESULT code,
                        std::u16string_view description) const {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(code));
  WriteBytes(folder() / "fail.txt", std::string(call) + "\t" + hex + "\t" + Utf8(description));
}

std::vector<std::string> StandInState::Calls() const {
  std::istringstream record(ReadBytes(folder() / "calls.txt"));
  std::vector<std::string> calls;
  for (std::string line; std::getline(record, line);) calls.push_back(line);
  return calls;
}

ScopedStandInFolder::ScopedStandInFolder(const std::filesystem::path& folder) {
  SetEnvironmentVariableW(L"VARNIK_STANDIN_DIR", folder.wstring().c_str());
}

ScopedStandInFolder::~ScopedStandInFolder() {
  SetEnvironmentVariableW(L"VARNIK_STANDIN_DIR", nullptr);
}

std::string PutNameLine(std::u16string_view value) { return "put Name\tString\t" + Utf8(value); }

std::string ApplyLine(bool value) {
  return std::string("call Apply\tBoolean\t") + (value ? "True" : "False");
}

}  // namespace varnik::testing
