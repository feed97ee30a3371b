#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string_view>

#include "setupconfig/com/variant.h"

namespace varnik {

// Late-bound calls on an automation object: each looks the member up by name
// (GetIDsOfNames) and calls it through IDispatch::Invoke, as a script would.
// A failure throws PlatformError with the object's description when it gives
// one, else the system's text.

// Reads a property that takes no arguments.
Variant GetProperty(IDispatch& object, std::wstring_view name);

// Assigns a property (a put, with the named argument a put needs).
void PutProperty(IDispatch& object, std::wstring_view name, const Variant& value);

// Calls a method with one argument; its result is dropped.
void CallMethod(IDispatch& object, std::wstring_view name, const Variant& argument);

}  // namespace varnik
