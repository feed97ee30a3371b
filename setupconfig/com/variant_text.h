#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>

namespace varnik {

// A value as automation converts it to text (numbers and dates in the user's
// locale, Booleans as True and False); Empty and Null read as "". Throws
// PlatformError for a value that has no text, such as an object.
std::u16string VariantText(const VARIANT& value);

}  // namespace varnik
