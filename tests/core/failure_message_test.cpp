#include "app/failure_message.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "app/utf8_text.h"
#include "common/platform_error.h"

namespace varnik {
namespace {

std::vector<std::u16string> Split(std::u16string_view text, std::u16string_view separator) {
  std::vector<std::u16string> parts;
  for (std::size_t end; (end = text.find(separator)) != std::u16string_view::npos;) {
    parts.emplace_back(text.substr(0, end));
    text.remove_prefix(end + separator.size());
  }
  parts.emplace_back(text);
  return parts;
}

PlatformError Failure(std::string text, FailedStep step, PlatformError::Details details = {}) {
  PlatformError error(text, details);
  error.MarkStep(step);
  return error;
}

TEST(FailureMessageTest, EachStepHasASentenceOfItsOwnBeforeThePlatformsText) {
  std::set<std::u16string> sentences;
  for (const FailedStep step :
       {FailedStep::Unknown, FailedStep::CreateObject, FailedStep::ReadName, FailedStep::AssignName,
        FailedStep::CallApply, FailedStep::ReadList, FailedStep::SaveList}) {
    const FailureMessage message = MessageForFailure(Failure("Accesso negato.", step));
    const std::vector<std::u16string> paragraphs = Split(message.box, u"\n\n");
    ASSERT_EQ(paragraphs.size(), 2u) << message.standard_error;
    EXPECT_EQ(paragraphs[1], u"Accesso negato.");
    sentences.insert(paragraphs[0]);
  }
  EXPECT_EQ(sentences.size(), 7u) << "two steps share a sentence";
  // A save that could not leave the list as it was does not say it did.
  PlatformError::Details damaged;
  damaged.list_may_be_damaged = true;
  const std::u16string save =
      MessageForFailure(Failure("Errore.", FailedStep::SaveList, damaged)).box;
  EXPECT_EQ(save.find(u"com'era"), std::u16string::npos) << Utf8FromUtf16(save);
  EXPECT_NE(save.find(u"potrebbe essere danneggiato"), std::u16string::npos) << Utf8FromUtf16(save);
  // Any other exception that ends the program, with its own text.
  EXPECT_EQ(Split(MessageForFailure(std::bad_alloc()).box, u"\n\n").back(), u"std::bad_alloc");
}

TEST(FailureMessageTest, PlatformTextThenCodeThenWhetherTheObjectIsInstalled) {
  const struct {
    std::string what;
    PlatformError::Details details;
    std::u16string after_sentence;  // up to what says that the object is not installed
  } cases[] = {
      {"", {0x800401F3, true}, u"Codice di errore: 0x800401F3"},
      {"org.freedesktop.DBus.Error.ServiceUnknown: x",
       {std::nullopt, true},
       u"org.freedesktop.DBus.Error.ServiceUnknown: x"},
      {"Errore.\r\n", {0x5, false}, u"Errore.\n\nCodice di errore: 0x00000005"},
      {"",
       {std::nullopt, false, true},
       u"L'utente ha smesso di attendere la risposta dell'oggetto di configurazione, che "
       u"potrebbe comunque portare a termine la richiesta."},
      {"",
       {std::nullopt, false, false, false, true},
       u"La sessione sta terminando mentre Varnik aspetta la risposta dell'oggetto di "
       u"configurazione, che potrebbe comunque portare a termine la richiesta."},
      {"\x1b]0;x\x07\xC2\x9B\x32J\r\xFF", {}, u"\\x1B]0;x\\x07\\u009B2J\n\uFFFD"},
  };
  for (const auto& c : cases) {
    const std::u16string box =
        MessageForFailure(Failure(c.what, FailedStep::CreateObject, c.details)).box;
    const std::u16string after = box.substr(box.find(u"\n\n") + 2);
    const std::size_t missing = after.find(u"\"VeruVeve.SetupConfig\" non \u00E8 installato");
    EXPECT_EQ(missing != std::u16string::npos, c.details.object_missing) << c.what;
    EXPECT_EQ(
        missing == std::u16string::npos ? after : after.substr(0, after.rfind(u"\n\n", missing)),
        c.after_sentence);
  }
}

TEST(FailureMessageTest, HugeTextIsCutInTheBoxAndWholeOnStandardError) {
  std::string huge;
  std::size_t huge_lines = 0;
  for (; huge.size() < 100'000; ++huge_lines) {
    huge += "riga " + std::to_string(huge_lines) + " \x1b[2J" + std::string(70, 'x') + "\n";
  }
  const FailureMessage message =
      MessageForFailure(Failure(huge, FailedStep::CallApply, {0x80004005, true}));

  const std::vector<std::u16string> paragraphs = Split(message.box, u"\n\n");
  ASSERT_EQ(paragraphs.size(), 4u) << "the code and the missing object are kept";
  EXPECT_EQ(paragraphs[1].back(), u'\u2026');

  // Every line of the text, escaped, each a line of its own (whose lines
  // are whole and escaped for any text, the fuzzer checks).
  EXPECT_EQ(Split(Utf16FromUtf8(message.standard_error), u"\n").size(), 1 + huge_lines + 1 + 1 + 1);
  EXPECT_NE(message.standard_error.find("\nvarnik: riga 0 \\x1B[2Jxxxx"), std::string::npos);
}

TEST(BoundTextTest, CountsRowsBreaksLongWordsAndCutsWithAnEllipsis) {
  const struct {
    std::u16string text;
    std::size_t width, max_rows;
    std::u16string bounded;
  } cases[] = {
      {u"", 5, 1, u""},
      {u"alfa beta gamma", 10, 2, u"alfa beta gamma"},
      {u"ab abcdefghij", 4, 9, u"ab abcd\nefgh\nij"},
      {u"abc\U0001F600d", 4, 9, u"abc\n\U0001F600d"},
      {u"a\n\nb", 5, 3, u"a\n\nb"},
      {u"a\nb\nc", 5, 2, u"a\nb\u2026"},
      {u"abcde fghij klmno", 5, 2, u"abcde fgh\u2026"},
      {u"abcde\nf", 5, 1, u"abcd\u2026"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BoundText(c.text, c.width, c.max_rows), c.bounded) << Utf8FromUtf16(c.text);
  }
}

TEST(EscapeControlsTest, EscapesControlsAndKeepsLineEndsAndText) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"Citt\u00E0 \u20AC \U0001F600 \\x", u"Citt\u00E0 \u20AC \U0001F600 \\x"},
      {u"a\r\nb\rc\nd", u"a\nb\nc\nd"},
      {std::u16string(u"\t\0\x7F", 3), u"\\x09\\x00\\x7F"},
      {u"\u0085\u009B\u200F\u2028\u202E\u2066", u"\\u0085\\u009B\\u200F\\u2028\\u202E\\u2066"},
      {u"\xD800x\xDC00", u"\\uD800x\\uDC00"},
  };
  for (const auto& [text, escaped] : cases) {
    EXPECT_EQ(EscapeControls(text), escaped) << Utf8FromUtf16(escaped);
  }
}

TEST(Utf8TextTest, InvalidUtf8BecomesReplacementCharacters) {
  const std::pair<std::string, std::u16string> cases[] = {
      {"Perch\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", u"Perch\u00E9 \u20AC \U0001F600"},
      {"\xFF\x80 \xC0\xAF \xE0\x80\xAF", u"\uFFFD\uFFFD \uFFFD\uFFFD \uFFFD"},  // stray, overlong
      {"\xED\xA0\x80 \xF4\x90\x80\x80", u"\uFFFD \uFFFD"},  // a surrogate, past U+10FFFF
      {"\xE2\x82 \xF0\x9F\x98", u"\uFFFD \uFFFD"},          // cut short
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(Utf16FromUtf8(bytes), text) << bytes;
  EXPECT_EQ(Utf8FromUtf16(u"\xD800\x61\U0001F600"), "\xEF\xBF\xBD\x61\xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace varnik
