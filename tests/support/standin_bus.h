#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/temp_dir.h"

namespace varnik::test {

// A dbus-daemon of the test's own, on which the stand-in is started on demand
// for "VeruVeve.SetupConfig" with a state folder of the test's own, and access
// to that folder: the stored Name, the record of calls, and the switches that
// make a call fail or hang. Strings are UTF-8. Without the stand-in, the bus
// can start nothing, not even the desktop's services. The daemon is killed, and
// waited for, when the object goes; the stand-in quits with its bus.
class StandinBus {
 public:
  explicit StandinBus(bool with_standin = true);
  ~StandinBus();
  StandinBus(const StandinBus&) = delete;
  StandinBus& operator=(const StandinBus&) = delete;

  // The address clients connect to, e.g. "unix:path=/tmp/...,guid=...".
  const std::string& Address() const { return address_; }

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
  std::filesystem::path Folder() const;

  TempDir dir_;
  pid_t pid_ = -1;
  std::string address_;
};

}  // namespace varnik::test
