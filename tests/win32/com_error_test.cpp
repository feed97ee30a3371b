#include <windows.h>

#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>

#include "setupconfig/com/com_error.h"

namespace varnik {
namespace {

HRESULT __stdcall FillInLater(EXCEPINFO* exception) {
  exception->bstrDescription = SysAllocString(L"Descrizione differita");
  return S_OK;
}

// Exception information owned by the test.
struct Exception {
  EXCEPINFO info{};
  ~Exception() {
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrSource);
  }
};

TEST(ComErrorText, UsesTheObjectsDescriptionInUtf8) {
  Exception exception;
  exception.info.bstrDescription = SysAllocString(L"Unit\u00E0 non pronta");
  exception.info.scode = E_FAIL;
  EXPECT_EQ(ComErrorText(DISP_E_EXCEPTION, &exception.info), "Unit\xC3\xA0 non pronta");
}

TEST(ComErrorText, FillsInDeferredInformation) {
  Exception exception;
  exception.info.pfnDeferredFillIn = &FillInLater;
  EXPECT_EQ(ComErrorText(DISP_E_EXCEPTION, &exception.info), "Descrizione differita");
}

TEST(ComErrorText, WithoutDescriptionUsesTheExceptionsCode) {
  Exception exception;
  exception.info.scode = E_ACCESSDENIED;
  EXPECT_EQ(ComErrorText(DISP_E_EXCEPTION, &exception.info), SystemErrorText(E_ACCESSDENIED));
}

TEST(ComErrorText, OtherFailuresUseTheSystemsText) {
  Exception exception;
  exception.info.bstrDescription = SysAllocString(L"not for this failure");
  EXPECT_EQ(ComErrorText(E_ACCESSDENIED, &exception.info), SystemErrorText(E_ACCESSDENIED));
}

TEST(SystemErrorText, IsTheSystemsMessageWithoutLineEnd) {
  const std::string text = SystemErrorText(E_ACCESSDENIED);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
  EXPECT_NE(text.back(), ' ');
}

TEST(SystemErrorText, UnknownCodeIsShownInHexadecimal) {
  EXPECT_EQ(SystemErrorText(static_cast<HRESULT>(0xA0041234)), "Errore 0xA0041234");
}

}  // namespace
}  // namespace varnik
