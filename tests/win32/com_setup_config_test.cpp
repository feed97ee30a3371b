// The COM side against the registered stand-in object.
#include <windows.h>

#include <gtest/gtest.h>
#include <objbase.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/platform_error.h"
#include "common/win32/system_error_text.h"
#include "setupconfig/object_wait.h"
#include "setupconfig/setup_config.h"
#include "tests/win32/standin_state.h"

namespace varnik {
namespace {

using testing::ApplyLine;
using testing::PutNameLine;
using Calls = std::vector<std::string>;

using namespace std::chrono_literals;

// Waits for every call as long as it takes, except the one it is told to
// stop: once the object has that one (reached() says so, within a bound), it
// stops waiting, as the user can.
class TestWaiter final : public ObjectWaiter {
 public:
  TestWaiter() = default;
  TestWaiter(ObjectCall stop, std::function<bool()> reached)
      : stop_(stop), reached_(std::move(reached)) {}
  void Wait(ObjectCall which, PendingCall& call) override {
    if (which == stop_) {
      for (int tries = 0; tries < 400 && !reached_(); ++tries) call.WaitFor(50ms);
      EXPECT_FALSE(call.Answered()) << "the call did not hang";
      throw PlatformError("interrotto");
    }
    while (!call.WaitFor(1s)) {
    }
  }

 private:
  std::optional<ObjectCall> stop_;
  std::function<bool()> reached_;
};

class ComSetupConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  }
  void TearDown() override { CoUninitialize(); }

  testing::StandInState standin_;
  TestWaiter waiter_;
};

// The PlatformError the action throws; a failed test when there is none.
PlatformError Caught(const std::function<void()>& action) {
  try {
    action();
  } catch (const PlatformError& error) {
    return error;
  }
  ADD_FAILURE() << "no failure";
  return PlatformError("");
}

TEST_F(ComSetupConfigTest, CallsReachTheObjectInTheirOrderWithTheirValues) {
  const std::u16string stored = u" Niccol\u00F2 \u00E0\u00E8 ABCDEFGHIJKLMNOPQRSTUVWXYZ   ";
  standin_.SetName(stored);
  const auto config = CreateSetupConfig(kSetupConfigProgId, waiter_);
  EXPECT_EQ(config->Name(), stored) << "read whole, neither trimmed nor cut";
  config->SetName(u"Niccol\u00F2-2");
  config->Apply(true);
  EXPECT_EQ(standin_.Calls(),
            (Calls{"create", "get Name", PutNameLine(u"Niccol\u00F2-2"), ApplyLine(true)}));
}

// The object's own description when it gives one, else the system's text;
// its own code either way. An object that exists but fails is not missing;
// one whose program id is not registered is.
TEST_F(ComSetupConfigTest, FailuresCarryTheTextTheCodeAndWhetherTheObjectIsMissing) {
  ASSERT_NE(SystemErrorText(E_ACCESSDENIED), "");
  const struct {
    const char* call;
    HRESULT code;
    std::u16string description;
    std::string text;
  } cases[] = {
      {"create", E_ACCESSDENIED, u"", SystemErrorText(E_ACCESSDENIED)},
      {"put Name", E_FAIL, u"Rifiutato: \u00E8 bloccato", "Rifiutato: \xC3\xA8 bloccato"},
      {"call Apply", E_ACCESSDENIED, u"", SystemErrorText(E_ACCESSDENIED)},
      {"call Apply", static_cast<HRESULT>(0xA0041234), u"",
       ""},  // a code the system has no text for
  };
  for (const auto& c : cases) {
    standin_.Fail(c.call, c.code, c.description);
    const PlatformError error = Caught([&] {
      const auto config = CreateSetupConfig(kSetupConfigProgId, waiter_);
      config->SetName(config->Name());
      config->Apply(true);
    });
    EXPECT_EQ(error.what(), c.text);
    EXPECT_EQ(error.code(), static_cast<std::uint32_t>(c.code));
    EXPECT_FALSE(error.object_missing());
    EXPECT_EQ(standin_.Calls().back().rfind(c.call, 0), 0u) << "the failed call is not the last";
  }
  const PlatformError missing =
      Caught([&] { CreateSetupConfig(u"VeruVeve.NonRegistrato", waiter_); });
  EXPECT_EQ(missing.code(), static_cast<std::uint32_t>(CO_E_CLASSSTRING));
  EXPECT_TRUE(missing.object_missing());
}

// Each call can be stopped while it hangs: the stop comes back at once,
// whatever the object does, and the object took the call. One that answers
// late is waited for.
TEST_F(ComSetupConfigTest, CallsAreStoppedWhenTheyHangAndWaitedForWhenSlow) {
  const struct {
    const char* call;
    ObjectCall which;
  } cases[] = {
      {"get Name", ObjectCall::ReadName},
      {"put Name", ObjectCall::AssignName},
      {"call Apply", ObjectCall::Apply},
      {"create", ObjectCall::Create},
  };
  const auto run = [](ObjectWaiter& waiter) {
    const auto config = CreateSetupConfig(kSetupConfigProgId, waiter);
    config->SetName(config->Name());
    config->Apply(true);
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    testing::StandInState standin;
    standin.Pace(c.call, "hang");
    TestWaiter stopping(c.which, [&] {
      const Calls calls = standin.Calls();
      return !calls.empty() && calls.back().rfind(c.call, 0) == 0;
    });
    EXPECT_STREQ(Caught([&] { run(stopping); }).what(), "interrotto");
  }
  const testing::StandInState slow;
  slow.Pace("call Apply", "1500");
  run(waiter_);
  EXPECT_EQ(slow.Calls(), (Calls{"create", "get Name", PutNameLine(u""), ApplyLine(true)}));
}

}  // namespace
}  // namespace varnik
