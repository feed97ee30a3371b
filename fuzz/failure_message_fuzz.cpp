// A failure message made from an arbitrary error text, as a hostile object
// could give it: the box keeps to its rows, and nothing that reaches the box
// or standard error is a control character other than a line feed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/failure_message.h"
#include "app/utf8_text.h"
#include "common/platform_error.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool IsControl(char32_t c) { return (c < 0x20 && c != u'\n') || (c >= 0x7F && c <= 0x9F); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  varnik::PlatformError error(text, {std::nullopt, size % 2 == 1});
  error.MarkStep(varnik::FailedStep::AssignName);
  const varnik::FailureMessage message = varnik::MessageForFailure(error);

  // What a box shows of the platform's text: the paragraph after the step's.
  const std::u16string_view box = message.box;
  const std::size_t start = box.find(u"\n\n");
  if (start != std::u16string_view::npos) {
    std::u16string_view platform = box.substr(start + 2);
    if (error.object_missing()) platform = platform.substr(0, platform.rfind(u"\n\n"));
    std::size_t rows = 0;
    for (std::size_t from = 0;;) {
      const std::size_t end = platform.find(u'\n', from);
      const std::size_t length = (end == std::u16string_view::npos ? platform.size() : end) - from;
      rows +=
          std::max<std::size_t>(1, (length + varnik::kBoxRowLength - 1) / varnik::kBoxRowLength);
      if (end == std::u16string_view::npos) break;
      from = end + 1;
    }
    Check(rows <= varnik::kBoxPlatformRows);
  }
  Check(std::none_of(box.begin(), box.end(), IsControl));

  // Standard error: valid UTF-8, whole lines that each say whose they are.
  const std::u16string written = varnik::Utf16FromUtf8(message.standard_error);
  Check(varnik::Utf8FromUtf16(written) == message.standard_error);
  Check(std::none_of(written.begin(), written.end(), IsControl));
  Check(!written.empty() && written.back() == u'\n');
  for (std::size_t from = 0; from < written.size(); from = written.find(u'\n', from) + 1) {
    Check(std::u16string_view(written).substr(from, 8) == u"varnik: ");
  }
  return 0;
}
