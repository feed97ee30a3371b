#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "tests/support/temp_dir.h"

namespace varnik::test {

// A real dbus-daemon of a test's own. Its configuration lists service_dir as
// the only folder of activatable services, so nothing of the desktop's can be
// started on it. The daemon is stopped, and waited for, when the object goes;
// services it started see their bus go away.
class PrivateBus {
 public:
  // Starts the daemon and waits, at most start_timeout, for its address.
  // Throws std::runtime_error when it does not come up.
  explicit PrivateBus(const std::filesystem::path& service_dir,
                      std::chrono::milliseconds start_timeout = std::chrono::seconds(10));
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  // The address clients connect to, e.g. "unix:path=/tmp/...,guid=...".
  const std::string& Address() const { return address_; }

  // Points DBUS_SESSION_BUS_ADDRESS of this process at this bus, for code that
  // connects to "the session bus" from now on; the previous value comes back
  // when the bus is stopped. (QtDBus reads the variable once per process, at
  // its first session-bus connection.)
  void ExportAsSessionBus();

 private:
  void Stop();

  TempDir dir_{"bus"};  // configuration and socket
  pid_t pid_ = -1;
  std::string address_;
  std::optional<std::optional<std::string>> saved_session_address_;
};

// Writes <service_dir>/<bus_name>.service, which makes the bus start
// `program` for bus_name with XDG_STATE_HOME set to state_home.
void WriteActivationFile(const std::filesystem::path& service_dir, const std::string& bus_name,
                         const std::filesystem::path& program,
                         const std::filesystem::path& state_home);

}  // namespace varnik::test
