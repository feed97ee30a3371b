#pragma once

#include <string>
#include <string_view>

namespace varnik {

// The program id under which the outside configuration object is registered.
inline constexpr std::u16string_view kSetupConfigProgId = u"VeruVeve.SetupConfig";

// The outside configuration object, reached by member name at run time. The
// program only reads and assigns its Name and calls its Apply. Every call
// either succeeds or throws PlatformError with the platform's own text. It is
// created by CreateSetupConfig (setupconfig/object_wait.h).
class SetupConfig {
 public:
  virtual ~SetupConfig() = default;

  // Reads the Name property, converted to text.
  virtual std::u16string Name() = 0;

  // Assigns the Name property.
  virtual void SetName(std::u16string_view name) = 0;

  // Calls the Apply method; its result, if any, is ignored.
  virtual void Apply(bool value) = 0;
};

}  // namespace varnik
