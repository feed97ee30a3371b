#include "setupconfig/com/com_setup_config.h"

#include <objbase.h>

#include <cstdint>
#include <utility>

#include "common/platform_error.h"
#include "common/win32/windows_text.h"
#include "setupconfig/com/com_error.h"
#include "setupconfig/com/dispatch_call.h"
#include "setupconfig/com/variant_text.h"

namespace varnik {

using Microsoft::WRL::ComPtr;

ComSetupConfig::ComSetupConfig(ComPtr<IDispatch> object) : object_(std::move(object)) {}

std::u16string ComSetupConfig::Name() {
  return VariantText(GetProperty(*object_.Get(), L"Name").get());
}

void ComSetupConfig::SetName(std::u16string_view name) {
  PutProperty(*object_.Get(), L"Name", Variant::String(ToWide(name)));
}

void ComSetupConfig::Apply(bool value) {
  CallMethod(*object_.Get(), L"Apply", Variant::Boolean(value));
}

namespace {

// A failure to find or start the object's server. An unknown program id or
// class means that the object is not installed.
[[noreturn]] void ThrowCreationError(HRESULT result) {
  const bool missing = result == CO_E_CLASSSTRING || result == REGDB_E_CLASSNOTREG;
  throw PlatformError(ComErrorText(result), {static_cast<std::uint32_t>(result), missing});
}

}  // namespace

std::unique_ptr<SetupConfig> CreateSetupConfig(std::u16string_view prog_id) {
  const std::wstring id = ToWide(prog_id);
  CLSID class_id{};
  HRESULT result = CLSIDFromProgID(id.c_str(), &class_id);
  if (FAILED(result)) ThrowCreationError(result);

  // Whatever kind of server is registered: in-process, local or remote.
  ComPtr<IUnknown> object;
  result = CoCreateInstance(class_id, nullptr, CLSCTX_SERVER, IID_PPV_ARGS(&object));
  if (FAILED(result)) ThrowCreationError(result);

  ComPtr<IDispatch> dispatch;
  result = object.As(&dispatch);
  if (FAILED(result)) ThrowComError(result);
  return std::make_unique<ComSetupConfig>(std::move(dispatch));
}

}  // namespace varnik
