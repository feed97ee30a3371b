#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tests/core/temp_dir.h"

namespace varnik::testing {

// A fresh state folder for the stand-in object (its Name, its record of
// calls, the calls it is told to fail), removed when the test ends.
class StandInState {
 public:
  const std::filesystem::path& folder() const { return dir_.path(); }

  void SetName(std::u16string_view name) const;
  // Makes the call ("create", "get Name", "put Name", "call Apply") fail with
  // code and, when description is not empty, with that description.
  void Fail(std::string_view call, HRESULT code, std::u16string_view description) const;
  // The record, one entry a call, UTF-8.
  std::vector<std::string> Calls() const;

 private:
  TempDir dir_;
};

// Points the stand-in at a state folder, for this process and the programs it
// starts, until the end of the scope.
class ScopedStandInFolder {
 public:
  explicit ScopedStandInFolder(const std::filesystem::path& folder);
  ~ScopedStandInFolder();
  ScopedStandInFolder(const ScopedStandInFolder&) = delete;
  ScopedStandInFolder& operator=(const ScopedStandInFolder&) = delete;
};

// Lines of the record, as the stand-in writes them.
std::string PutNameLine(std::u16string_view value);
std::string ApplyLine(bool value);

std::string Utf8(std::u16string_view text);

}  // namespace varnik::testing
