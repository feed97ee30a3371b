#pragma once

#include <string>
#include <string_view>

namespace varnik {

// Converts between entry text (16-bit characters) and the 8-bit text of the
// name list file.
class TextCodec {
 public:
  virtual ~TextCodec() = default;

  // Bytes to text. Every byte sequence decodes to something; nothing throws.
  virtual std::u16string Decode(std::string_view bytes) const = 0;

  // Text to bytes. A character the code page cannot hold becomes '?', which
  // the entry check refuses, so such a line is never applied unnoticed.
  virtual std::string Encode(std::u16string_view text) const = 0;
};

// Windows-1252, the Western European code page: one byte a character. The
// five bytes it leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) read as the
// C1 control character of the same value, as Windows reads them, and those
// characters write back as the same byte.
const TextCodec& Windows1252();

}  // namespace varnik
