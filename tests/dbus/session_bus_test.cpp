// The program's own entry, CreateSetupConfig, finds the object on the session
// bus named by DBUS_SESSION_BUS_ADDRESS.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "setupconfig/setup_config.h"
#include "tests/support/standin_bus.h"

namespace varnik {
namespace {

TEST(SessionBusTest, ProgramIdReachesTheObjectOnTheSessionBus) {
  test::StandinBus standin;
  standin.StoreName("NERI");
  standin.Bus().ExportAsSessionBus();

  const std::unique_ptr<SetupConfig> config = CreateSetupConfig(kSetupConfigProgId);
  EXPECT_EQ(config->Name(), u"NERI");
  config->SetName(u"NERI-2");
  config->Apply(true);
  EXPECT_THAT(standin.Calls(), ::testing::ElementsAre("Get Name", "Set Name NERI-2", "Apply true"));
}

}  // namespace
}  // namespace varnik
