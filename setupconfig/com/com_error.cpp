#include "setupconfig/com/com_error.h"

#include <cstdint>

#include "common/platform_error.h"
#include "common/win32/system_error_text.h"
#include "common/win32/windows_text.h"

namespace varnik {
namespace {

// The error code an exception carries: its own SCODE, or the one that goes
// with its application-defined code.
HRESULT ExceptionCode(const EXCEPINFO& exception, HRESULT fallback) {
  if (FAILED(exception.scode)) return exception.scode;
  if (exception.wCode != 0) {
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, exception.wCode);
  }
  return fallback;
}

}  // namespace

std::string ComErrorText(HRESULT result, EXCEPINFO* exception) {
  if (result != DISP_E_EXCEPTION || exception == nullptr) return SystemErrorText(result);

  if (exception->pfnDeferredFillIn != nullptr) {
    exception->pfnDeferredFillIn(exception);
    exception->pfnDeferredFillIn = nullptr;
  }
  const UINT length =
      exception->bstrDescription != nullptr ? SysStringLen(exception->bstrDescription) : 0;
  if (length > 0) return Utf8FromWide({exception->bstrDescription, length});
  return SystemErrorText(ExceptionCode(*exception, result));
}

void ThrowComError(HRESULT result, EXCEPINFO* exception) {
  // The text first: it fills in deferred exception information.
  std::string text = ComErrorText(result, exception);
  const HRESULT code = result == DISP_E_EXCEPTION && exception != nullptr
                           ? ExceptionCode(*exception, result)
                           : result;
  throw PlatformError(text, {static_cast<std::uint32_t>(code), false});
}

}  // namespace varnik
