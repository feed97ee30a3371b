// The COM side against the registered stand-in object.
#include <windows.h>

#include <gtest/gtest.h>
#include <objbase.h>

#include <functional>
#include <memory>
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
using testing::ScopedStandInFolder;
using testing::StandInState;
using testing::Utf8;
using Calls = std::vector<std::string>;

class ComSetupConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  }
  void TearDown() override { CoUninitialize(); }

  std::unique_ptr<SetupConfig> Create() { return CreateSetupConfig(kSetupConfigProgId); }

  StandInState state_;
  ScopedStandInFolder folder_{state_.folder()};
};

// --- Reading and assigning ----------------------------------------------------

struct ReadCase {
  const char* label;
  const char16_t* stored;  // nullptr: Name never assigned, so Empty
  std::u16string expected;
};

class ReadNameTest : public ComSetupConfigTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadNameTest, ReadsTheValueAsText) {
  if (GetParam().stored != nullptr) state_.SetName(GetParam().stored);
  const auto config = Create();
  EXPECT_EQ(config->Name(), GetParam().expected);
  EXPECT_EQ(state_.Calls(), (Calls{"create", "get Name"}));
}

INSTANTIATE_TEST_SUITE_P(
    Values, ReadNameTest,
    ::testing::Values(ReadCase{"empty_value", nullptr, u""}, ReadCase{"plain", u"ROSSI", u"ROSSI"},
                      ReadCase{"trailing_spaces_kept", u"ROSSI   ", u"ROSSI   "},
                      ReadCase{"accents", u"Niccol\u00F2 \u00E0\u00E8",
                               u"Niccol\u00F2 \u00E0\u00E8"},
                      ReadCase{"longer_than_a_line", u"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123",
                               u"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123"}),
    [](const auto& test) { return std::string(test.param.label); });

TEST_F(ComSetupConfigTest, AssignedNameReadsBack) {
  const auto config = Create();
  config->SetName(u" Niccol\u00F2-2");
  EXPECT_EQ(config->Name(), u" Niccol\u00F2-2");
  EXPECT_EQ(state_.Calls(), (Calls{"create", PutNameLine(u" Niccol\u00F2-2"), "get Name"}));
}

TEST_F(ComSetupConfigTest, ApplyPassesOneBoolean) {
  const auto config = Create();
  config->Apply(true);
  config->Apply(false);
  EXPECT_EQ(state_.Calls(), (Calls{"create", ApplyLine(true), ApplyLine(false)}));
}

TEST_F(ComSetupConfigTest, CallsReachTheObjectInTheirOrder) {
  const auto config = Create();
  config->SetName(u"ROSSI-2");
  config->Apply(true);
  EXPECT_EQ(state_.Calls(), (Calls{"create", PutNameLine(u"ROSSI-2"), ApplyLine(true)}));
}

// --- Failures -------------------------------------------------------------------

struct FailureCase {
  const char* label;
  const char* call;
  HRESULT code;
  std::u16string description;
  std::function<void(SetupConfig&)> action;
};

class FailureTest : public ComSetupConfigTest, public ::testing::WithParamInterface<FailureCase> {};

// The object's own description when it gives one, else the system's text.
TEST_P(FailureTest, ReportsTheObjectsTextOrTheSystems) {
  const FailureCase& c = GetParam();
  const auto config = Create();
  state_.Fail(c.call, c.code, c.description);
  const std::string expected =
      c.description.empty() ? SystemErrorText(c.code) : Utf8(c.description);
  try {
    c.action(*config);
    FAIL() << "no PlatformError";
  } catch (const PlatformError& error) {
    EXPECT_EQ(error.what(), expected);
  }
}

const auto kGet = [](SetupConfig& config) { config.Name(); };
const auto kPut = [](SetupConfig& config) { config.SetName(u"ROSSI"); };
const auto kApply = [](SetupConfig& config) { config.Apply(true); };

INSTANTIATE_TEST_SUITE_P(
    Calls, FailureTest,
    ::testing::Values(
        FailureCase{"get_described", "get Name", E_FAIL, u"Nome non disponibile", kGet},
        FailureCase{"get_bare", "get Name", E_ACCESSDENIED, u"", kGet},
        FailureCase{"put_described", "put Name", E_FAIL, u"Valore rifiutato: \u00E8 bloccato",
                    kPut},
        FailureCase{"put_bare", "put Name", E_OUTOFMEMORY, u"", kPut},
        FailureCase{"apply_described", "call Apply", E_FAIL, u"Impossibile applicare", kApply},
        FailureCase{"apply_bare", "call Apply", E_ACCESSDENIED, u"", kApply}),
    [](const auto& test) { return std::string(test.param.label); });

TEST_F(ComSetupConfigTest, FailedCreationReportsTheSystemsText) {
  state_.Fail("create", E_ACCESSDENIED, u"");
  try {
    Create();
    FAIL() << "no PlatformError";
  } catch (const PlatformError& error) {
    EXPECT_EQ(error.what(), SystemErrorText(E_ACCESSDENIED));
  }
}

TEST_F(ComSetupConfigTest, UnregisteredProgIdCannotBeCreated) {
  try {
    CreateSetupConfig(u"VeruVeve.NonRegistrato");
    FAIL() << "no PlatformError";
  } catch (const PlatformError& error) {
    EXPECT_STRNE(error.what(), "");
  }
  EXPECT_TRUE(state_.Calls().empty());
}

}  // namespace
}  // namespace varnik
