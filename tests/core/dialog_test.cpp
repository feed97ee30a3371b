#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/varnik_dialog.h"
#include "common/platform_error.h"
#include "tests/support/temp_dir.h"

namespace varnik {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// One log for the window and the object, so the order across both shows.
using CallLog = std::vector<std::u16string>;

std::u16string Ascii(const std::string& text) { return {text.begin(), text.end()}; }

class RecordingSurface final : public DialogSurface {
 public:
  explicit RecordingSurface(CallLog& log) : log_(log) {}

  Twips screen_width = 19200, screen_height = 10800;
  Twips window_width = 6765, window_height = 1545;
  std::array<std::u16string, 2> entries{u"XZZZZZZZZZZZZZZZZZZZZX", u"XZZZZZZZZZZZZZZZZZZZZX"};

  Twips ScreenWidth() const override { return screen_width; }
  Twips ScreenHeight() const override { return screen_height; }
  Twips WindowWidth() const override { return window_width; }
  Twips WindowHeight() const override { return window_height; }
  void MoveWindow(Twips left, Twips top) override {
    log_.push_back(u"move " + Ascii(std::to_string(left) + " " + std::to_string(top)));
  }
  void SetTitle(std::u16string_view title) override { log_.push_back(u"title " + Str(title)); }
  std::u16string EntryText(EntryLine line) const override { return entries[Slot(line)]; }
  void SetEntryText(EntryLine line, std::u16string_view text) override {
    entries[Slot(line)] = text;
    log_.push_back(u"entry" + Ascii(std::to_string(IndexOf(line))) + u" " + Str(text));
  }
  void ShowInformation(std::u16string_view text, std::u16string_view title) override {
    log_.push_back(u"info " + Str(title) + u": " + Str(text));
  }
  void CloseWindow() override { log_.push_back(u"close"); }

 private:
  static std::size_t Slot(EntryLine line) { return static_cast<std::size_t>(IndexOf(line)); }
  static std::u16string Str(std::u16string_view text) { return std::u16string(text); }
  CallLog& log_;
};

// The steps at which the recording object, or the list file, can be made to
// fail.
enum class FailAt { Nothing, Create, GetName, SetName, Apply, List };

// The step a PlatformError thrown by `act` is marked with; nothing when there
// is none.
std::optional<FailedStep> StepOfFailure(const std::function<void()>& act) {
  try {
    act();
  } catch (const PlatformError& error) {
    return error.step();
  }
  return std::nullopt;
}

class RecordingSetupConfig final : public SetupConfig {
 public:
  // fail_at is read at each call, so a test can arm a failure after start-up.
  RecordingSetupConfig(CallLog& log, const FailAt& fail_at, std::u16string name)
      : log_(log), fail_at_(fail_at), name_(std::move(name)) {}

  std::u16string Name() override {
    Step(FailAt::GetName, u"get Name");
    return name_;
  }
  void SetName(std::u16string_view name) override {
    Step(FailAt::SetName, u"set Name " + std::u16string(name));
    name_ = name;
  }
  void Apply(bool value) override { Step(FailAt::Apply, value ? u"Apply true" : u"Apply false"); }

 private:
  void Step(FailAt step, std::u16string call) {
    log_.push_back(std::move(call));
    if (fail_at_ == step) throw PlatformError("object failed");
  }
  CallLog& log_;
  const FailAt& fail_at_;
  std::u16string name_;
};

class DialogTest : public ::testing::Test {
 protected:
  fs::path ListPath() const { return dir_.path() / kNameListFileName; }

  VarnikDialog& Dialog() {
    if (!dialog_) {
      auto create = [this](std::u16string_view prog_id) -> std::unique_ptr<SetupConfig> {
        log.push_back(u"create " + std::u16string(prog_id));
        if (fail_at == FailAt::Create) throw PlatformError("cannot create");
        return std::make_unique<RecordingSetupConfig>(log, fail_at, object_name);
      };
      dialog_ =
          std::make_unique<VarnikDialog>(surface, create, NameListFile{test::Utf8(ListPath())});
    }
    return *dialog_;
  }

  // Starts the dialog from the given list file bytes and forgets the calls
  // start-up made, so a test sees only what its action does.
  void StartWithList(std::string_view bytes) {
    WriteBytes(ListPath(), bytes);
    Dialog().Form_Load();
    log.clear();
  }

  TempDir dir_;
  CallLog log;
  RecordingSurface surface{log};
  FailAt fail_at = FailAt::Nothing;
  std::u16string object_name = u"OGGETTO";

 private:
  std::unique_ptr<VarnikDialog> dialog_;
};

// --- Start-up -------------------------------------------------------------------

TEST_F(DialogTest, StartUpFromASavedListLeavesTheObjectsNameUnread) {
  WriteBytes(ListPath(), "ROSSI   \r\n  ROSSI-2\r\n");
  Dialog().Form_Load();
  EXPECT_THAT(log, ElementsAre(u"move 6217.500000 4627.500000", u"title Varnik",
                               u"create VeruVeve.SetupConfig", u"entry0 ", u"entry1 ",
                               u"entry0 ROSSI", u"entry1   ROSSI-2"));
}

TEST_F(DialogTest, StartUpFromOneSavedLineLeavesTheSecondEmpty) {
  WriteBytes(ListPath(), "ROSSI");
  Dialog().Form_Load();
  EXPECT_THAT(surface.entries, ElementsAre(u"ROSSI", u""));
  EXPECT_EQ(std::count(log.begin(), log.end(), u"get Name"), 0);
}

TEST_F(DialogTest, StartUpWithoutAListShowsTheObjectsNameUntrimmed) {
  object_name = u"NOME CORRENTE  ";
  Dialog().Form_Load();
  EXPECT_THAT(log, ElementsAre(u"move 6217.500000 4627.500000", u"title Varnik",
                               u"create VeruVeve.SetupConfig", u"entry0 ", u"entry1 ", u"get Name",
                               u"entry0 NOME CORRENTE  ", u"entry1 "));
  EXPECT_FALSE(fs::exists(ListPath()));
}

TEST_F(DialogTest, WindowLargerThanTheScreenGetsNegativePositions) {
  surface.screen_width = 4000;
  surface.screen_height = 1001;
  surface.window_width = 6765;
  surface.window_height = 1546;
  Dialog().Form_Load();
  EXPECT_EQ(log.front(), u"move -1382.500000 -272.500000");
}

struct StartFailure {
  FailAt fail_at;
  std::u16string last_call;
  FailedStep step;
};

void PrintTo(const StartFailure& c, std::ostream* os) {
  *os << "fail at " << static_cast<int>(c.fail_at);
}

class StartFailureTest : public DialogTest, public ::testing::WithParamInterface<StartFailure> {};

TEST_P(StartFailureTest, StopsAtTheFailingStepAndMarksIt) {
  fail_at = GetParam().fail_at;
  if (fail_at == FailAt::List) fs::create_directory(ListPath());  // a list that cannot be read
  EXPECT_EQ(StepOfFailure([&] { Dialog().Form_Load(); }), GetParam().step);
  EXPECT_EQ(log.back(), GetParam().last_call);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, StartFailureTest,
    ::testing::Values(StartFailure{FailAt::Create, u"create VeruVeve.SetupConfig",
                                   FailedStep::CreateObject},
                      StartFailure{FailAt::List, u"entry1 ", FailedStep::ReadList},
                      StartFailure{FailAt::GetName, u"get Name", FailedStep::ReadName}));

// --- Apply --------------------------------------------------------------------------

struct RefusedCase {
  std::int16_t index;
  std::u16string text;
  std::u16string warning;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << "line " << c.index; }

class RefusedLineTest : public DialogTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedLineTest, WarnsAndChangesNothing) {
  const RefusedCase& c = GetParam();
  StartWithList("OLD\r\nOLD-2\r\n");
  surface.entries[static_cast<std::size_t>(c.index)] = c.text;
  const auto entries_before = surface.entries;

  Dialog().CmdAvvia_Click(c.index);

  EXPECT_THAT(log, ElementsAre(u"info ATTENZIONE: " + c.warning));
  EXPECT_EQ(surface.entries, entries_before);
  EXPECT_EQ(ReadBytes(ListPath()), "OLD\r\nOLD-2\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RefusedLineTest,
    ::testing::Values(
        RefusedCase{0, u"   ", u"Errore nella prima riga: indicare il dato. "},
        RefusedCase{0, u"D'Amico", u"Errore nella prima riga: carattere non ammesso. "},
        RefusedCase{1, u"", u"Errore nella seconda riga: indicare il dato. "},
        RefusedCase{1, u"ROSSI\t", u"Errore nella seconda riga: carattere non ammesso. "}));

TEST_F(DialogTest, AcceptedLineGoesToTheObjectThenTheFileThenTheWindowCloses) {
  StartWithList("OLD\r\n");
  surface.entries = {u"D'Amico  ", u" ROSSI-2   "};
  Dialog().CmdAvvia_Click(1);

  EXPECT_THAT(log, ElementsAre(u"set Name  ROSSI-2", u"Apply true", u"close"));
  // The line that was not applied is saved unchecked, refused character and all.
  EXPECT_EQ(ReadBytes(ListPath()), "D'Amico\r\n ROSSI-2\r\n");
  // The window still shows what the user typed until it closes.
  EXPECT_EQ(surface.entries[1], u" ROSSI-2   ");
}

TEST_F(DialogTest, CorrectedLineAppliesOnTheSecondPress) {
  StartWithList("A\r\nB\r\n");
  surface.entries[0] = u"ROSS!";
  Dialog().CmdAvvia_Click(0);
  surface.entries[0] = u"ROSSI";
  Dialog().CmdAvvia_Click(0);
  EXPECT_THAT(log, ElementsAre(u"info ATTENZIONE: Errore nella prima riga: carattere non ammesso. ",
                               u"set Name ROSSI", u"Apply true", u"close"));
  EXPECT_EQ(ReadBytes(ListPath()), "ROSSI\r\nB\r\n");
}

TEST_F(DialogTest, IndexThatNamesNoLineDoesNothing) {
  StartWithList("A\r\nB\r\n");
  for (const std::int16_t index : {std::int16_t{-1}, std::int16_t{2}, std::int16_t{32767}})
    Dialog().CmdAvvia_Click(index);
  EXPECT_THAT(log, IsEmpty());
}

struct ApplyFailure {
  FailAt fail_at;
  std::vector<std::u16string> calls;  // what reached the object before the failure
  FailedStep step;
};

void PrintTo(const ApplyFailure& c, std::ostream* os) {
  *os << "fail at " << static_cast<int>(c.fail_at);
}

class ApplyFailureTest : public DialogTest, public ::testing::WithParamInterface<ApplyFailure> {};

TEST_P(ApplyFailureTest, ObjectFailureSavesNothingAndUndoesNothing) {
  StartWithList("OLD\r\nOLD-2\r\n");
  fail_at = GetParam().fail_at;
  surface.entries = {u"NEW", u"NEW-2"};
  EXPECT_EQ(StepOfFailure([&] { Dialog().CmdAvvia_Click(0); }), GetParam().step);
  EXPECT_EQ(log, GetParam().calls);
  EXPECT_EQ(ReadBytes(ListPath()), "OLD\r\nOLD-2\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ApplyFailureTest,
    ::testing::Values(ApplyFailure{FailAt::SetName, {u"set Name NEW"}, FailedStep::AssignName},
                      ApplyFailure{
                          FailAt::Apply, {u"set Name NEW", u"Apply true"}, FailedStep::CallApply}));

TEST_F(DialogTest, FailedSaveComesAfterTheObjectAndKeepsTheWindowOpen) {
  StartWithList("OLD\r\n");
  fs::remove(ListPath());
  fs::create_directory(ListPath());  // nothing can replace a directory
  surface.entries = {u"NEW", u""};
  EXPECT_EQ(StepOfFailure([&] { Dialog().CmdAvvia_Click(0); }), FailedStep::SaveList);
  EXPECT_THAT(log, ElementsAre(u"set Name NEW", u"Apply true"));
}

// --- Exit -----------------------------------------------------------------------------

TEST_F(DialogTest, ExitAfterEditingSavesAndSendsNothing) {
  StartWithList("OLD\r\nOLD-2\r\n");
  surface.entries = {u"EDITED", u"EDITED-2"};
  Dialog().CmdAnnulla_Click();
  EXPECT_THAT(log, ElementsAre(u"close"));
  EXPECT_EQ(ReadBytes(ListPath()), "OLD\r\nOLD-2\r\n");
}

}  // namespace
}  // namespace varnik
