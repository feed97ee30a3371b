// The COM side against the registered stand-in object.
#include <windows.h>

#include <gtest/gtest.h>
#include <objbase.h>

#include <functional>
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

// The text of the PlatformError the action throws.
std::string ErrorText(const std::function<void()>& action) {
  try {
    action();
  } catch (const PlatformError& error) {
    return error.what();
  }
  return "(no PlatformError)";
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

TEST_F(ComSetupConfigTest, UnregisteredProgIdIsAPlatformError) {
  const std::string text = ErrorText([] { CreateSetupConfig(u"VeruVeve.NonRegistrato"); });
  EXPECT_NE(text, "(no PlatformError)");
  EXPECT_NE(text, "");
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

// The object's own description when it gives one, else the system's text.
TEST_P(FailureTest, IsAPlatformErrorWithTheObjectsTextOrTheSystems) {
  const FailureCase& c = GetParam();
  standin_.Fail(c.call, c.code, c.description);
  const std::string text = ErrorText([] {
    const auto config = CreateSetupConfig(kSetupConfigProgId);
    config->SetName(config->Name());
    config->Apply(true);
  });
  EXPECT_EQ(text, c.text != nullptr ? c.text : SystemErrorText(c.code));
  const Calls calls = standin_.Calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().rfind(c.call, 0), 0u) << "the failed call is not the last made";
}

INSTANTIATE_TEST_SUITE_P(
    Calls, FailureTest,
    ::testing::Values(FailureCase{"create", "create", E_ACCESSDENIED, u"", nullptr},
                      FailureCase{"get_described", "get Name", E_FAIL, u"Nome non disponibile",
                                  "Nome non disponibile"},
                      FailureCase{"put_described", "put Name", E_FAIL,
                                  u"Valore rifiutato: \u00E8 bloccato",
                                  "Valore rifiutato: \xC3\xA8 bloccato"},
                      FailureCase{"apply_described", "call Apply", E_FAIL, u"Impossibile applicare",
                                  "Impossibile applicare"},
                      FailureCase{"apply_bare", "call Apply", E_ACCESSDENIED, u"", nullptr},
                      FailureCase{"apply_unknown_code", "call Apply",
                                  static_cast<HRESULT>(0xA0041234), u"", "Errore 0xA0041234"}),
    [](const auto& test) { return std::string(test.param.label); });

}  // namespace
}  // namespace varnik
