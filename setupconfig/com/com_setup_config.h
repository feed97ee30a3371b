#pragma once

#include <windows.h>

#include <oaidl.h>
#include <wrl/client.h>

#include <string>
#include <string_view>

#include "setupconfig/setup_config.h"

namespace varnik {

// The configuration object reached through COM: created by its ProgID and
// called only through IDispatch, by member name. Lives on the thread that
// created it, which must have entered a single-threaded apartment.
class ComSetupConfig final : public SetupConfig {
 public:
  explicit ComSetupConfig(Microsoft::WRL::ComPtr<IDispatch> object);

  std::u16string Name() override;
  void SetName(std::u16string_view name) override;
  void Apply(bool value) override;

 private:
  Microsoft::WRL::ComPtr<IDispatch> object_;
};

}  // namespace varnik
