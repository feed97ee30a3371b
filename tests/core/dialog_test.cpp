// The dialog's rules and the order of its calls, against a recording window
// and object and a real list file.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "app/utf8_text.h"
#include "app/varnik_dialog.h"
#include "common/platform_error.h"
#include "tests/support/temp_dir.h"

namespace varnik {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::WriteBytes;

// One log for the window and the object, so the order across both shows:
// each call, then "|".
using CallLog = std::u16string;

// A call to the object that keeps silent until the box's script says it
// answers.
struct ScriptedCall final : PendingCall {
  explicit ScriptedCall(CallLog& call_log) : log(call_log) {}
  bool Answered() const override { return answered; }
  bool WaitFor(std::chrono::milliseconds limit) override {
    log += u"wait " + Utf16FromUtf8(std::to_string(limit.count())) + u"|";
    answered = answers_in_wait || answers_as_wait_ends;
    return answers_in_wait;
  }
  CallLog& log;
  // answers_as_wait_ends: the answer comes just after the wait gave up.
  bool answers_in_wait = false, answers_as_wait_ends = false, answered = false;
};

class RecordingSurface final : public DialogSurface {
 public:
  explicit RecordingSurface(CallLog& log) : log_(log) {}

  std::array<std::u16string, 2> entries;

  // A window larger than the screen, which gets negative positions.
  Twips ScreenWidth() const override { return 4000; }
  Twips ScreenHeight() const override { return 1001; }
  Twips WindowWidth() const override { return 6765; }
  Twips WindowHeight() const override { return 1546; }
  void MoveWindow(Twips left, Twips top) override {
    const std::string position = std::to_string(left) + " " + std::to_string(top);
    Log(u"move ", std::u16string(position.begin(), position.end()));
  }
  void SetTitle(std::u16string_view title) override { Log(u"title ", title); }
  std::u16string EntryText(EntryLine line) const override {
    return entries[line == EntryLine::First ? 0 : 1];
  }
  void SetEntryText(EntryLine line, std::u16string_view text) override {
    entries[line == EntryLine::First ? 0 : 1] = text;
    Log(line == EntryLine::First ? u"entry0 " : u"entry1 ", text);
  }
  void ShowInformation(std::u16string_view text, std::u16string_view title) override {
    Log(std::u16string(title) + u": ", text);
    Reenter();
  }
  // Takes the next of `choices`: 'A'nswered, 'K'eep waiting, keep 'W'aiting
  // and the call answers meanwhile, 'L': stop, the call answering as the box
  // closes, 'E': the session ends; none left: stop.
  WaitChoice AskToKeepWaiting(std::u16string_view text, std::u16string_view title,
                              PendingCall& call) override {
    Log(u"ask");
    Reenter();
    asked = std::u16string(title) + u": " + std::u16string(text);
    const char16_t choice = choices.empty() ? u'S' : choices.front();
    choices.erase(0, 1);
    static_cast<ScriptedCall&>(call).answers_in_wait = choice == u'W';
    static_cast<ScriptedCall&>(call).answered = choice == u'L';
    if (choice == u'A') return WaitChoice::Answered;
    if (choice == u'E') return WaitChoice::SessionEnding;
    return choice == u'S' || choice == u'L' ? WaitChoice::Stop : WaitChoice::KeepWaiting;
  }
  void CloseWindow() override {
    Log(u"close");
    Reenter();
  }

  // Every box, and the closing window, asks the dialog for every action
  // meanwhile, as the box's event loop may: the dialog must refuse them all.
  void Reenter() {
    if (std::exchange(reentered, true)) return;
    reenter();
    reentered = false;
  }

  std::u16string choices;
  std::u16string asked;  // the last box's title and text
  std::function<void()> reenter;
  bool reentered = false;

 private:
  void Log(std::u16string_view call, std::u16string_view text = u"") {
    ((log_ += call) += text) += u'|';
  }
  CallLog& log_;
};

// The step at which the recording object, or the list file, fails; or, with
// `slow`, at which the object keeps silent, waited for through the waiter.
enum class FailAt { Nothing, Create, GetName, SetName, Apply, List };

// A word the box about a silent object has for each step.
const char16_t* WaitingWord(FailAt step) {
  return step == FailAt::Create    ? u"creazione"
         : step == FailAt::GetName ? u"lettura del Name"
         : step == FailAt::SetName ? u"assegnazione del nuovo Name"
                                   : u"Apply";
}

// The object, whose calls its run logs and may make fail or keep silent.
struct RecordingSetupConfig final : SetupConfig {
  std::u16string Name() override {
    step(FailAt::GetName, ObjectCall::ReadName, u"get Name");
    return u"NOME CORRENTE  ";
  }
  void SetName(std::u16string_view name) override {
    step(FailAt::SetName, ObjectCall::AssignName, u"set Name " + std::u16string(name));
  }
  void Apply(bool value) override {
    step(FailAt::Apply, ObjectCall::Apply, value ? u"Apply true" : u"Apply false");
  }
  std::function<void(FailAt, ObjectCall, const std::u16string&)> step;
};

// One run of the dialog, with a list file in a folder of its own. FailAt::List
// puts a folder in the list's place, which cannot be read or replaced.
struct DialogRun {
  explicit DialogRun(FailAt fail = FailAt::Nothing, const char* list = nullptr) : fail_at(fail) {
    if (list != nullptr) WriteBytes(list_path, list);
    if (fail == FailAt::List) fs::create_directory(list_path);
    surface.reenter = [this] {
      dialog.Form_Load();
      dialog.CmdAvvia_Click(0);
      dialog.CmdAvvia_Click(1);
      dialog.CmdAnnulla_Click();
    };
  }
  // The step a PlatformError from act is marked with; nothing when there is
  // none. Notes whether the user stopped waiting, or the session ended.
  std::optional<FailedStep> StepOfFailure(const std::function<void()>& act) {
    try {
      act();
    } catch (const PlatformError& error) {
      stopped = error.stopped_by_user();
      session_ended = error.session_ending();
      surface.Reenter();  // while the failure is reported
      return error.step();
    }
    if (log.ends_with(u"close|")) surface.Reenter();  // the program is ending
    return std::nullopt;
  }

  test::TempDir dir;
  fs::path list_path = dir.path() / kNameListFileName;
  CallLog log;
  RecordingSurface surface{log};
  FailAt fail_at;
  bool slow = false;      // the step of fail_at keeps silent, the box answered with `choices`
  std::u16string script;  // the choices the box was given
  bool stopped = false;
  bool session_ended = false;
  VarnikDialog dialog{
      surface,
      [this](std::u16string_view prog_id, ObjectWaiter& waiter) -> std::unique_ptr<SetupConfig> {
        const auto step = [this, &waiter](FailAt at, ObjectCall which, const std::u16string& call) {
          Step(at, which, call, waiter);
        };
        step(FailAt::Create, ObjectCall::Create, u"create " + std::u16string(prog_id));
        auto config = std::make_unique<RecordingSetupConfig>();
        config->step = step;
        return config;
      },
      NameListFile{test::Utf8(list_path)}};

  // Logs a call to the object, which fails or keeps silent when it is the
  // step of fail_at (read at each call, so a failure can be armed after
  // start-up).
  void Step(FailAt at, ObjectCall which, const std::u16string& call, ObjectWaiter& waiter) {
    log += call + u'|';
    if (fail_at != at) return;
    if (!slow) throw PlatformError("object failed");
    ScriptedCall silent(log);
    silent.answers_as_wait_ends = surface.choices == u"-";
    waiter.Wait(which, silent);
  }

  // Makes the step of fail_at silent when `choices` says how the box is answered.
  void SlowWith(const char16_t* choices) {
    slow = choices != nullptr;
    if (slow) surface.choices = script = choices;
  }
  // Whether a wait was stopped exactly when the user stopped it, or else the
  // session ended, and the box, if one was shown, named the object and the
  // step that waited.
  void ExpectWaitStoppedAndNamed(bool stop_expected) const {
    const bool ending = script.find(u'E') != std::u16string::npos;
    EXPECT_EQ(stopped, stop_expected && !ending);
    EXPECT_EQ(session_ended, stop_expected && ending);
    EXPECT_TRUE(!slow || surface.asked.empty() ||
                (surface.asked.starts_with(u"Varnik: L'oggetto di configurazione "
                                           u"\"VeruVeve.SetupConfig\" non risponde.") &&
                 surface.asked.find(WaitingWord(fail_at)) != std::u16string::npos))
        << Utf8FromUtf16(surface.asked);
  }
};

TEST(DialogTest, StartFillsTheLinesFromTheListOrElseFromTheObject) {
  const struct {
    const char* list;  // the list file's bytes; nullptr: no file
    FailAt fail_at;
    std::u16string log;  // after "move ...|title Varnik|create VeruVeve.SetupConfig|"
    std::optional<FailedStep> step = std::nullopt;
    const char16_t* slow = nullptr;  // the box's choices when the step is slow, not failing
  } cases[] = {
      {"ROSSI  \r\n  R-2\r\n", FailAt::Nothing, u"entry0 |entry1 |entry0 ROSSI|entry1   R-2|"},
      {"ROSSI", FailAt::Nothing, u"entry0 |entry1 |entry0 ROSSI|"},
      {nullptr, FailAt::Nothing, u"entry0 |entry1 |get Name|entry0 NOME CORRENTE  |entry1 |"},
      {"A", FailAt::Create, u"", FailedStep::CreateObject},
      {nullptr, FailAt::List, u"entry0 |entry1 |", FailedStep::ReadList},
      {nullptr, FailAt::GetName, u"entry0 |entry1 |get Name|", FailedStep::ReadName},
      // A silent object: the user is asked after 5 s and again after each 10 more.
      {"A", FailAt::Create, u"wait 5000|ask|", FailedStep::CreateObject, u""},
      {nullptr, FailAt::GetName, u"entry0 |entry1 |get Name|wait 5000|ask|", FailedStep::ReadName,
       u""},
      {nullptr, FailAt::GetName,
       u"entry0 |entry1 |get Name|wait 5000|ask|entry0 NOME CORRENTE  |entry1 |", std::nullopt,
       u"A"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8FromUtf16(c.log));
    DialogRun run(c.fail_at, c.list);
    run.SlowWith(c.slow);
    EXPECT_EQ(run.StepOfFailure([&] { run.dialog.Form_Load(); }), c.step);
    run.ExpectWaitStoppedAndNamed(c.slow && c.step);
    EXPECT_EQ(run.log,
              u"move -1382.500000 -272.500000|title Varnik|create VeruVeve.SetupConfig|" + c.log);
    EXPECT_EQ(fs::exists(run.list_path), c.list != nullptr || c.fail_at == FailAt::List);
  }
}

// A press after a start without a list, with the lines as the user left them.
TEST(DialogTest, PressChecksTheLineThenTellsTheObjectThenSavesThenCloses) {
  constexpr std::int16_t kExit = 99;
  const std::u16string warning = u"ATTENZIONE: Errore nella ", put = u"set Name NEW|Apply true|";
  const std::array<std::u16string, 2> typed{u"NEW", u"NEW-2"};
  const struct {
    std::array<std::u16string, 2> typed;
    std::int16_t press;  // an apply button's index, or kExit
    std::u16string log;
    std::string list = "";  // the list file afterwards; empty: none
    FailAt fail_at = FailAt::Nothing;
    std::optional<FailedStep> step = std::nullopt;
    const char16_t* slow = nullptr;  // the box's choices when the step is slow, not failing
  } cases[] = {
      {{u"   ", u"x"}, 0, warning + u"prima riga: indicare il dato. |"},
      {{u"x", u"ROSSI\t"}, 1, warning + u"seconda riga: carattere non ammesso. |"},
      // The other line is saved unchecked, refused character and all.
      {{u"D'A  ", u" R-2   "}, 1, u"set Name  R-2|Apply true|close|", "D'A\r\n R-2\r\n"},
      {typed, -1, u""},
      {typed, 2, u""},
      {typed, 0, u"set Name NEW|", "", FailAt::SetName, FailedStep::AssignName},
      {typed, 0, put, "", FailAt::Apply, FailedStep::CallApply},
      {typed, 0, put, "", FailAt::List, FailedStep::SaveList},
      {typed, kExit, u"close|"},
      {typed, 0, u"set Name NEW|wait 5000|ask|", "", FailAt::SetName, FailedStep::AssignName, u""},
      {typed, 0, put + u"wait 5000|ask|wait 10000|ask|wait 10000|ask|", "", FailAt::Apply,
       FailedStep::CallApply, u"KK"},
      {typed, 0, put + u"wait 5000|ask|wait 10000|close|", "NEW\r\nNEW-2\r\n", FailAt::Apply,
       std::nullopt, u"W"},
      // The session ends behind the box: the user did not stop the wait.
      {typed, 0, put + u"wait 5000|ask|wait 10000|ask|", "", FailAt::Apply, FailedStep::CallApply,
       u"KE"},
      // An answer that came as the box closed counts, though the box says stop;
      // one that came just after the wait gave up needs no box.
      {typed, 0, put + u"wait 5000|ask|close|", "NEW\r\nNEW-2\r\n", FailAt::Apply, std::nullopt,
       u"L"},
      {typed, 0, put + u"wait 5000|close|", "NEW\r\nNEW-2\r\n", FailAt::Apply, std::nullopt, u"-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8FromUtf16(c.log));
    DialogRun run;
    run.dialog.Form_Load();
    run.log.clear();
    run.fail_at = c.fail_at;
    run.SlowWith(c.slow);
    if (c.fail_at == FailAt::List) fs::create_directory(run.list_path);
    run.surface.entries = c.typed;
    EXPECT_EQ(run.StepOfFailure([&] {
      c.press == kExit ? run.dialog.CmdAnnulla_Click() : run.dialog.CmdAvvia_Click(c.press);
    }),
              c.step);
    run.ExpectWaitStoppedAndNamed(c.slow && c.step);
    EXPECT_EQ(run.log, c.log);
    EXPECT_EQ(run.surface.entries, c.typed) << "the lines change only when the window closes";
    EXPECT_EQ(fs::is_regular_file(run.list_path) ? ReadBytes(run.list_path) : "", c.list);
  }
}

// The lines are saved as they stood at the press, whatever changes them while
// the object is waited for (a screen reader can set a line's text behind the
// box): the list never holds a first line the object was not given.
TEST(DialogTest, LinesChangedDuringTheCallAreNotSaved) {
  for (const FailAt slow : {FailAt::SetName, FailAt::Apply}) {
    SCOPED_TRACE(Utf8FromUtf16(WaitingWord(slow)));
    DialogRun run;
    run.dialog.Form_Load();
    run.fail_at = slow;
    run.SlowWith(u"A");
    run.surface.entries = {u"NEW", u"NEW-2"};
    run.surface.reenter = [&run] { run.surface.entries = {u"ALTRA", u"ALTRA-2"}; };
    run.dialog.CmdAvvia_Click(0);
    EXPECT_EQ(ReadBytes(run.list_path), "NEW\r\nNEW-2\r\n");
  }
}

}  // namespace
}  // namespace varnik
