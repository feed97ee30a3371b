#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "setupconfig/com/object_thread.h"
#include "setupconfig/object_wait.h"
#include "setupconfig/setup_config.h"

namespace varnik {

// The configuration object reached through COM: created by its ProgID and
// called only through IDispatch, by member name. It lives on an object thread
// of its own (see ObjectThread); each call waits for its answer through the
// waiter, on the thread that makes it.
class ComSetupConfig final : public SetupConfig {
 public:
  ComSetupConfig(std::unique_ptr<ObjectThread> thread, ObjectWaiter& waiter);

  std::u16string Name() override;
  void SetName(std::u16string_view name) override;
  void Apply(bool value) override;

 private:
  std::unique_ptr<ObjectThread> thread_;
  ObjectWaiter& waiter_;
};

}  // namespace varnik
