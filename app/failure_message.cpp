#include "app/failure_message.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "app/utf8_text.h"
#include "common/platform_error.h"
#include "setupconfig/setup_config.h"

namespace varnik {
namespace {

constexpr std::size_t kAllRows = std::numeric_limits<std::size_t>::max();
constexpr std::u16string_view kStandardErrorPrefix = u"varnik: ";

// What the program was doing when the failure stopped it, and what is left
// as it was.
std::u16string StepSentence(FailedStep step, bool list_may_be_damaged) {
  const std::u16string object = u"\"" + std::u16string(kSetupConfigProgId) + u"\"";
  switch (step) {
    case FailedStep::CreateObject:
      return u"Varnik non \u00E8 riuscito a creare l'oggetto di configurazione " + object + u".";
    case FailedStep::ReadName:
      return u"Varnik non \u00E8 riuscito a leggere il Name attuale dell'oggetto di "
             u"configurazione.";
    case FailedStep::AssignName:
      return u"Varnik non \u00E8 riuscito ad assegnare il nuovo Name all'oggetto di "
             u"configurazione; l'elenco dei nomi non \u00E8 stato salvato.";
    case FailedStep::CallApply:
      return u"Varnik ha assegnato il nuovo Name, ma la chiamata ad Apply dell'oggetto di "
             u"configurazione non \u00E8 riuscita; l'elenco dei nomi non \u00E8 stato salvato.";
    case FailedStep::ReadList:
      return u"Varnik non \u00E8 riuscito a leggere l'elenco dei nomi salvato (name_start.txt).";
    case FailedStep::SaveList:
      return u"Il nuovo Name \u00E8 stato applicato, ma Varnik non \u00E8 riuscito a salvare "
             u"l'elenco dei nomi (name_start.txt), che " +
             std::u16string(list_may_be_damaged ? u"potrebbe essere danneggiato."
                                                : u"\u00E8 rimasto com'era.");
    case FailedStep::Unknown:
      break;
  }
  return u"Varnik si \u00E8 interrotto per un errore imprevisto.";
}

std::u16string MissingObjectSentence() {
  return u"L'oggetto \"" + std::u16string(kSetupConfigProgId) +
         u"\" non \u00E8 installato su questo sistema. Installare il programma che lo fornisce, "
         u"poi avviare di nuovo Varnik.";
}

// What a stopped call leaves open: the object may still do what it was asked.
std::u16string StoppedSentence() {
  return u"L'utente ha smesso di attendere la risposta dell'oggetto di configurazione, che "
         u"potrebbe comunque portare a termine la richiesta.";
}

// What a session ending during a call leaves open, likewise.
std::u16string SessionEndingSentence() {
  return u"La sessione sta terminando mentre Varnik aspetta la risposta dell'oggetto di "
         u"configurazione, che potrebbe comunque portare a termine la richiesta.";
}

std::u16string CodeLine(std::uint32_t code) {
  std::u16string line = u"Codice di errore: 0x";
  for (int shift = 28; shift >= 0; shift -= 4) {
    line.push_back(u"0123456789ABCDEF"[(code >> shift) & 0xFu]);
  }
  return line;
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

bool NeedsUnicodeEscape(char16_t unit) {
  return (unit >= 0x80 && unit <= 0x9F) || unit == 0x200E || unit == 0x200F ||
         (unit >= 0x2028 && unit <= 0x202E) || (unit >= 0x2066 && unit <= 0x2069);
}

void AppendHex(std::u16string& text, char32_t value, int digits) {
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
    text.push_back(u"0123456789ABCDEF"[(value >> shift) & 0xFu]);
  }
}

// The text up to its last character that is neither a space nor a line end.
std::u16string_view TrimEnd(std::u16string_view text) {
  const std::size_t end = text.find_last_not_of(u" \n");
  return end == std::u16string_view::npos ? std::u16string_view{} : text.substr(0, end + 1);
}

// The longest start of `text` that is at most `length` units and does not end
// between the two halves of a surrogate pair.
std::size_t WholeCharacters(std::u16string_view text, std::size_t length) {
  if (length >= text.size()) return text.size();
  if (length > 0 && IsHighSurrogate(text[length - 1]) && IsLowSurrogate(text[length])) --length;
  return length;
}

struct Paragraph {
  std::u16string text;
  std::size_t box_rows;  // the most rows the box gives it
};

}  // namespace

std::u16string EscapeControls(std::u16string_view text) {
  std::u16string safe;
  safe.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char16_t unit = text[at];
    if (unit == u'\r') {
      if (at + 1 < text.size() && text[at + 1] == u'\n') ++at;
      safe.push_back(u'\n');
    } else if (unit == u'\n') {
      safe.push_back(u'\n');
    } else if (unit < 0x20 || unit == 0x7F) {
      safe += u"\\x";
      AppendHex(safe, unit, 2);
    } else if (IsHighSurrogate(unit) && at + 1 < text.size() && IsLowSurrogate(text[at + 1])) {
      safe.append(text.substr(at, 2));
      ++at;
    } else if (NeedsUnicodeEscape(unit) || IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      safe += u"\\u";
      AppendHex(safe, unit, 4);
    } else {
      safe.push_back(unit);
    }
  }
  return safe;
}

std::u16string BoundText(std::u16string_view text, std::size_t width, std::size_t max_rows) {
  if (width == 0) width = 1;
  if (max_rows == 0) max_rows = 1;
  // The text with a line break inside every word longer than a row.
  std::u16string broken;
  std::size_t word = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char16_t unit = text[at];
    const bool pair = IsHighSurrogate(unit) && at + 1 < text.size() && IsLowSurrogate(text[at + 1]);
    if (unit == u' ' || unit == u'\n') {
      word = 0;
    } else if (word >= width || (pair && word > 0 && word + 2 > width)) {
      broken.push_back(u'\n');
      word = 0;
    }
    broken.push_back(unit);
    if (unit != u' ' && unit != u'\n') ++word;
    if (pair) {
      broken.push_back(text[++at]);
      ++word;
    }
  }

  std::u16string bounded;
  std::size_t rows_left = max_rows;
  std::size_t last_line = 0;  // where the last kept line starts in `bounded`
  std::u16string_view lines = broken;
  for (bool first = true;; first = false) {
    const std::size_t end = lines.find(u'\n');
    const std::u16string_view line = lines.substr(0, end);
    const std::size_t rows = std::max<std::size_t>(1, (line.size() + width - 1) / width);
    if (rows > rows_left) {
      // Cut here, in what is left of this line or else at the end of the last
      // kept one, making room for the ellipsis.
      std::u16string kept(line);
      if (rows_left == 0) {
        kept = bounded.substr(last_line);
        rows_left = std::max<std::size_t>(1, (kept.size() + width - 1) / width);
        bounded.resize(last_line);
      } else if (!first) {
        bounded.push_back(u'\n');
      }
      const std::u16string_view whole = kept;
      bounded.append(TrimEnd(whole.substr(0, WholeCharacters(whole, rows_left * width - 1))));
      bounded.push_back(u'\u2026');
      return bounded;
    }
    if (!first) bounded.push_back(u'\n');
    last_line = bounded.size();
    bounded.append(line);
    rows_left -= rows;
    if (end == std::u16string_view::npos) return bounded;
    lines.remove_prefix(end + 1);
  }
}

FailureMessage MessageForFailure(const std::exception& error) {
  const auto* platform = dynamic_cast<const PlatformError*>(&error);
  std::vector<Paragraph> paragraphs;
  paragraphs.push_back({StepSentence(platform ? platform->step() : FailedStep::Unknown,
                                     platform && platform->list_may_be_damaged()),
                        kAllRows});
  std::u16string text(TrimEnd(EscapeControls(Utf16FromUtf8(error.what()))));
  if (platform && platform->stopped_by_user()) paragraphs.push_back({StoppedSentence(), kAllRows});
  if (platform && platform->session_ending()) {
    paragraphs.push_back({SessionEndingSentence(), kAllRows});
  }
  if (!text.empty()) paragraphs.push_back({std::move(text), kBoxPlatformRows});
  if (platform && platform->code()) paragraphs.push_back({CodeLine(*platform->code()), kAllRows});
  if (platform && platform->object_missing()) {
    paragraphs.push_back({MissingObjectSentence(), kAllRows});
  }

  FailureMessage message;
  std::u16string standard_error;
  for (const Paragraph& paragraph : paragraphs) {
    if (!message.box.empty()) message.box += u"\n\n";
    message.box += BoundText(paragraph.text, kBoxRowLength, paragraph.box_rows);

    std::u16string_view lines = paragraph.text;
    while (!lines.empty()) {
      const std::size_t end = lines.find(u'\n');
      const std::u16string_view line = lines.substr(0, end);
      if (!line.empty()) {
        standard_error.append(kStandardErrorPrefix);
        standard_error.append(line);
        standard_error.push_back(u'\n');
      }
      lines.remove_prefix(end == std::u16string_view::npos ? lines.size() : end + 1);
    }
  }
  message.standard_error = Utf8FromUtf16(standard_error);
  return message;
}

}  // namespace varnik
