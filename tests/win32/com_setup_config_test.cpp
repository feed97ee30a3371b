// The COM side against the registered stand-in object.
#include <windows.h>

#include <gtest/gtest.h>
#include <objbase.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/platform_error.h"
#include "setupconfig/com/system_error_text.h"
#include "setupconfig/setup_config.h"
#include "tests/win32/standin_state.h"

namespace varnik {
namespace {

using testing::ApplyLine;
using testing::PutNameLine;
using Calls = std::vector<std::string>;

class ComSetupConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  }
  void TearDown() override { CoUninitialize(); }

  testing::StandInState standin_;
};

// The PlatformError the action throws, if any.
std::optional<PlatformError> Caught(const std::function<void()>& action) {
  try {
    action();
  } catch (const PlatformError& error) {
    return error;
  }
  return std::nullopt;
}

TEST_F(ComSetupConfigTest, CallsReachTheObjectInTheirOrderWithTheirValues) {
  const std::u16string stored = u" Niccol\u00F2 \u00E0\u00E8 ABCDEFGHIJKLMNOPQRSTUVWXYZ   ";
  standin_.SetName(stored);
  const auto config = CreateSetupConfig(kSetupConfigProgId);
  EXPECT_EQ(config->Name(), stored) << "read whole, neither trimmed nor cut";
  config->SetName(u"Niccol\u00F2-2");
  EXPECT_EQ(config->Name(), u"Niccol\u00F2-2");
  config->Apply(true);
  config->Apply(false);
  EXPECT_EQ(standin_.Calls(), (Calls{"create", "get Name", PutNameLine(u"Niccol\u00F2-2"),
                                     "get Name", ApplyLine(true), ApplyLine(false)}));
}

TEST_F(ComSetupConfigTest, UnregisteredProgIdIsAMissingObject) {
  const auto error = Caught([] { CreateSetupConfig(u"VeruVeve.NonRegistrato"); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), static_cast<std::uint32_t>(CO_E_CLASSSTRING));
  EXPECT_TRUE(error->object_missing());
  EXPECT_TRUE(standin_.Calls().empty());
}

struct FailureCase {
  const char* label;
  const char* call;
  HRESULT code;
  std::u16string description;
  const char* text;  // nullptr: the system's text for the code
};

class FailureTest : public ComSetupConfigTest, public ::testing::WithParamInterface<FailureCase> {};

// The object's own description when it gives one, else the system's text;
// its own code either way. An object that exists but fails is not missing.
TEST_P(FailureTest, IsAPlatformErrorWithTheObjectsTextOrTheSystemsAndItsCode) {
  const FailureCase& c = GetParam();
  standin_.Fail(c.call, c.code, c.description);
  const auto error = Caught([] {
    const auto config = CreateSetupConfig(kSetupConfigProgId);
    config->SetName(config->Name());
    config->Apply(true);
  });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->what(), std::string(c.text != nullptr ? c.text : SystemErrorText(c.code)));
  EXPECT_EQ(error->code(), static_cast<std::uint32_t>(c.code));
  EXPECT_FALSE(error->object_missing());
  const Calls calls = standin_.Calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().rfind(c.call, 0), 0u) << "the failed call is not the last made";
}

INSTANTIATE_TEST_SUITE_P(
    Calls, FailureTest,
    ::testing::Values(
        FailureCase{"create", "create", E_ACCESSDENIED, u"", nullptr},
        FailureCase{"get_described", "get Name", E_FAIL, u"Nome non disponibile",
                    "Nome non disponibile"},
        FailureCase{"put_described", "put Name", E_FAIL, u"Valore rifiutato: \u00E8 bloccato",
                    "Valore rifiutato: \xC3\xA8 bloccato"},
        FailureCase{"apply_described", "call Apply", E_FAIL, u"Impossibile applicare",
                    "Impossibile applicare"},
        FailureCase{"apply_bare", "call Apply", E_ACCESSDENIED, u"", nullptr},
        FailureCase{"apply_unknown_code", "call Apply", static_cast<HRESULT>(0xA0041234), u"", ""}),
    [](const auto& test) { return std::string(test.param.label); });

}  // namespace
}  // namespace varnik
