#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/private_bus.h"
#include "tests/support/temp_dir.h"

namespace varnik::test {

// The built stand-in service program.
std::filesystem::path StandinProgram();

// A private bus on which the stand-in is started on demand for
// "VeruVeve.SetupConfig", with a state folder of the test's own, and access to
// that folder: the stored Name, the record of calls, and the switches that
// make a call fail or hang. Strings are UTF-8.
class StandinBus {
 public:
  StandinBus();

  PrivateBus& Bus() { return bus_; }
  const std::string& Address() const { return bus_.Address(); }

  // The stand-in's folder inside the test's XDG_STATE_HOME.
  std::filesystem::path Folder() const;

  // The Name the stand-in keeps; nothing while it has none.
  std::optional<std::string> StoredName() const;
  void StoreName(std::string_view name) const;

  // The calls the stand-in has received so far, one entry each, in order.
  std::vector<std::string> Calls() const;

  // Makes the call ("get-name", "set-name", "apply") fail with the given
  // error, or never be answered, from the next call on.
  void FailCall(std::string_view call, std::string_view error_name,
                std::string_view error_message) const;
  void HangCall(std::string_view call) const;

 private:
  TempDir dir_{"standin"};
  PrivateBus bus_;
};

}  // namespace varnik::test
