#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/varnik_dialog.h"
#include "common/platform_error.h"
#include "setupconfig/setup_config.h"

namespace varnik::testing {

// Every call the program made on the object, in order, as readable strings:
// "create VeruVeve.SetupConfig", "Name", "SetName ROSSI", "Apply true".
using CallLog = std::vector<std::string>;

// The one step at which the object fails with a PlatformError, if any.
enum class FailAt { Nothing, Create, Name, SetName, Apply };

inline constexpr std::string_view kObjectFailureText =
    "Oggetto non raggiungibile: il servizio è terminato";

inline std::string Narrow(std::u16string_view text) {
  std::string narrow;
  for (const char16_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

// A SetupConfig that records what it is asked and can be told to fail.
class RecordingSetupConfig final : public SetupConfig {
 public:
  RecordingSetupConfig(std::shared_ptr<CallLog> log, std::u16string name, FailAt fail_at)
      : log_(std::move(log)), name_(std::move(name)), fail_at_(fail_at) {}

  std::u16string Name() override {
    Record(FailAt::Name, "Name");
    return name_;
  }
  void SetName(std::u16string_view name) override {
    Record(FailAt::SetName, "SetName " + Narrow(name));
    name_ = name;
  }
  void Apply(bool value) override {
    Record(FailAt::Apply, std::string("Apply ") + (value ? "true" : "false"));
  }

 private:
  void Record(FailAt step, std::string call) {
    log_->push_back(std::move(call));
    if (step == fail_at_) throw PlatformError(std::string(kObjectFailureText));
  }

  std::shared_ptr<CallLog> log_;
  std::u16string name_;
  FailAt fail_at_;
};

// A factory for the program that hands out RecordingSetupConfig objects
// sharing `log`, whose Name is `name`.
inline VarnikDialog::SetupConfigFactory RecordingFactory(std::shared_ptr<CallLog> log,
                                                         std::u16string name = u"",
                                                         FailAt fail_at = FailAt::Nothing) {
  return [log = std::move(log), name = std::move(name),
          fail_at](std::u16string_view prog_id) -> std::unique_ptr<SetupConfig> {
    log->push_back("create " + Narrow(prog_id));
    if (fail_at == FailAt::Create) throw PlatformError(std::string(kObjectFailureText));
    return std::make_unique<RecordingSetupConfig>(log, name, fail_at);
  };
}

}  // namespace varnik::testing
