#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "platform/key_records.h"
#include "platform/memory_host.h"
#include "tests/app/program_run.h"

namespace mirvane::app {
namespace {

using namespace mirvane::app::testing;
using platform::MemoryHost;

using Answers = std::array<std::string, 8>;
using Values = std::array<std::string, 5>;

const Answers kMetresExample = {"3", "3", "", "2", "", "", "", ""};
const Answers kMetresExampleEchoes = {"3", "3", "0", "2", "0", "", "", "0"};
const Values kMetresExampleValues = {"0.00", "0.00", "2.91", "8.72", "8.72"};

class Dialogue : public ::testing::Test {
 protected:
  // The console starts smaller; the dressing makes it 80 x 32.
  MemoryHost host{80, 25};
  platform::ScopedHost installed{host};

  std::ptrdiff_t Position(const std::string& call) const {
    const auto& calls = host.Calls();
    return std::find(calls.begin(), calls.end(), call) - calls.begin();
  }
};

TEST_F(Dialogue, NormalRunLeavesTheReportOnItsPlannedRows) {
  host.Type(RunKeys("M", kMetresExample));
  ASSERT_EQ(RunProgram(), 0u);
  EXPECT_FALSE(host.Starved());
  ASSERT_EQ(host.Screen().Rows(), 32);
  ExpectScreen(host, NormalScreen("M", kMetresExampleEchoes, kMetresExampleValues));
  EXPECT_EQ(host.CursorRow(), 32);
  EXPECT_EQ(host.CursorColumn(), 1);
  EXPECT_EQ(host.Count("ScrollConsoleScreenBufferA"), 0);
  EXPECT_EQ(host.BeepCount(), 0);
  EXPECT_TRUE(host.MessageBoxes().empty());
  // The program's texts are all given back.
  EXPECT_EQ(host.LiveOleStrings(), 0);
  EXPECT_EQ(host.BadFrees(), 0);
}

TEST_F(Dialogue, TheKeyThatEndsTheWaitStaysQueued) {
  host.Type(RunKeys("M", kMetresExample));
  ASSERT_EQ(RunProgram(), 0u);
  ASSERT_EQ(host.Input().Size(), 2u);  // the press and the release of the last key
  platform::INPUT_RECORD head{};
  ASSERT_EQ(host.Input().Peek(&head, 1), 1u);
  EXPECT_EQ(head.EventType, platform::KEY_EVENT);
  EXPECT_TRUE(head.Event.KeyEvent.bKeyDown);
  EXPECT_EQ(head.Event.KeyEvent.uChar.AsciiChar, 'q');
}

TEST_F(Dialogue, WaitsForAKeyWithTheReportAlreadyShown) {
  std::string keys = RunKeys("M", kMetresExample);
  keys.pop_back();  // no key for the final wait yet
  host.Type(keys);
  bool reportShownWhileWaiting = false;
  host.OnStarve([&](MemoryHost& waiting) {
    reportShownWhileWaiting = waiting.RowTrimmed(kClosingRow) == "   press any key to quit" &&
                              PrintedValues(waiting) == kMetresExampleValues;
    waiting.Queue(platform::KeyDown(0, platform::scan::kF1));  // an extended key ends it too
  });
  ASSERT_EQ(RunProgram(), 0u);
  EXPECT_TRUE(reportShownWhileWaiting);
  EXPECT_FALSE(host.Starved());
  EXPECT_EQ(host.Input().Size(), 1u);
}

TEST_F(Dialogue, ModifierKeysAloneDoNotEndTheWait) {
  std::string keys = RunKeys("M", kMetresExample);
  keys.pop_back();
  host.Type(keys);
  host.Queue(platform::KeyDown(0, platform::scan::kLeftShift, platform::SHIFT_PRESSED));
  host.Queue(platform::KeyUp(0, platform::scan::kLeftShift));
  ASSERT_NE(RunProgram(), 0u);
  EXPECT_TRUE(host.Starved());
}

// ---- Units question ---------------------------------------------------------------------------

TEST_F(Dialogue, AcceptsExactlyFAndMInEitherCase) {
  struct Case {
    std::string answer;
    Values values;  // feet or metres, seen in the delays
  };
  const Values feet = {"0.00", "0.00", "0.89", "2.66", "2.66"};
  const Case cases[] = {
      {"F", feet}, {"f", feet}, {"M", kMetresExampleValues}, {"m", kMetresExampleValues}};
  for (const auto& c : cases) {
    MemoryHost fresh{80, 25};
    platform::ScopedHost use{fresh};
    fresh.Type(RunKeys(c.answer, kMetresExample));
    ASSERT_EQ(RunProgram(), 0u) << c.answer;
    EXPECT_EQ(fresh.BeepCount(), 0) << c.answer;
    EXPECT_TRUE(fresh.MessageBoxes().empty()) << c.answer;
    // The answer stays on screen as typed.
    ExpectScreen(fresh, NormalScreen(c.answer, kMetresExampleEchoes, c.values),
                 "answer " + c.answer + ", ");
  }
}

TEST_F(Dialogue, RejectsEveryOtherAnswerWithBeepBoxAndAFreshStartScreen) {
  const std::string rejected[] = {"feet", "metres", " F", "F ", "", "FM", "mm", "ff", "0",
                                  "\xC6"};
  for (const auto& answer : rejected) {
    MemoryHost fresh{80, 25};
    platform::ScopedHost use{fresh};
    fresh.Type(answer + "\r" + RunKeys("M", kMetresExample));
    std::string rowWhileBoxUp;
    fresh.OnMessageBox([&](MemoryHost& shown, const MemoryHost::MessageBoxShown&) {
      rowWhileBoxUp = shown.RowTrimmed(kQuestionRow);
    });
    ASSERT_EQ(RunProgram(), 0u) << "[" << answer << "]";
    EXPECT_EQ(fresh.BeepCount(), 1) << "[" << answer << "]";
    ASSERT_EQ(fresh.MessageBoxes().size(), 1u) << "[" << answer << "]";
    EXPECT_EQ(fresh.MessageBoxes()[0].text, "You must respond either F or M  ");
    EXPECT_EQ(fresh.MessageBoxes()[0].caption, "  ERROR");
    // The box comes after the beep and while the rejected answer is still shown.
    const auto& calls = fresh.Calls();
    const auto beep = std::find(calls.begin(), calls.end(), "MessageBeep(0)");
    const auto box = std::find_if(calls.begin(), calls.end(), [](const std::string& call) {
      return call.rfind("ConsoleMessageBox(", 0) == 0;
    });
    EXPECT_LT(beep, box) << "[" << answer << "]";
    std::string expectedRow = kUnitsQuestion;
    if (!answer.empty()) expectedRow += std::string(53 - kUnitsQuestion.size(), ' ') + answer;
    while (!expectedRow.empty() && expectedRow.back() == ' ') expectedRow.pop_back();
    EXPECT_EQ(rowWhileBoxUp, expectedRow) << "[" << answer << "]";
    // Then blanks over the answer, as many as it has characters, from column 54 of its row.
    if (!answer.empty()) {
      const std::string blanks = "WriteConsoleOutputA(stdout," + std::to_string(answer.size()) +
                                 "x1,0,0,53,7," + std::to_string(52 + answer.size()) + ",7)";
      const auto blanked = std::find(box, calls.end(), blanks);
      EXPECT_NE(blanked, calls.end()) << "[" << answer << "]";
    }
    ExpectScreen(fresh, NormalScreen("M", kMetresExampleEchoes, kMetresExampleValues),
                 "after [" + answer + "], ");
  }
}

TEST_F(Dialogue, AsksAgainAsOftenAsNeeded) {
  host.Type("x\r\rfeet\r" + RunKeys("m", kMetresExample));
  ASSERT_EQ(RunProgram(), 0u);
  EXPECT_EQ(host.BeepCount(), 3);
  EXPECT_EQ(host.MessageBoxes().size(), 3u);
  EXPECT_EQ(host.CallsNamed("FillConsoleOutputCharacterA").size(), 5u);  // first clear + 4 screens
  ExpectScreen(host, NormalScreen("m", kMetresExampleEchoes, kMetresExampleValues));
}

TEST_F(Dialogue, KeysTypedWhileTheBoxIsUpAreKept) {
  host.Type("x\r");
  host.OnMessageBox([](MemoryHost& shown, const MemoryHost::MessageBoxShown&) {
    shown.Type(RunKeys("M", kMetresExample));
  });
  ASSERT_EQ(RunProgram(), 0u);
  ExpectScreen(host, NormalScreen("M", kMetresExampleEchoes, kMetresExampleValues));
}

// ---- Measurement form -------------------------------------------------------------------------

TEST_F(Dialogue, EmptyAnswersTakeTheirDefaultsAndShowThem) {
  struct Case {
    std::string name;
    Answers typed;
    Answers echoes;  // what each answer row shows from column 54
    Values values;
  };
  const Case cases[] = {
      {"all empty", {"", "", "", "", "", "", "", ""}, {"", "", "0", "", "0", "", "", "0"},
       {"0.00", "0.00", "0.00", "0.00", "0.00"}},
      {"copies of left and left surround",
       {"4", "", "", "", "", "2.5", "", ""},
       {"4", "4", "0", "4", "0", "2.5", "2.5", "0"},
       {"0.00", "0.00", "0.00", "4.36", "4.36"}},
      {"centre copies the right as defaulted",
       {"7", "", "1", "", "1", "", "", "1"},
       {"7", "7", "1", "7", "1", "", "", "1"},
       {"0.00", "0.00", "0.00", "17.65", "17.65"}},
      {"centre copies a typed right",
       {"1", "6", "", "", "", "6", "1", ""},
       {"1", "6", "0", "6", "0", "6", "1", "0"},
       {"14.53", "0.00", "0.00", "0.00", "14.53"}},
      {"copies are texts, not numbers",
       {"3.5m", "", "", "", "", "", "", ""},
       {"3.5m", "3.5m", "0", "3.5m", "0", "", "", "0"},
       {"0.00", "0.00", "0.00", "10.17", "10.17"}},
      {"empty left with a front height",
       {"", "", "2", "", "", "", "", ""},
       {"", "", "2", "", "0", "", "", "0"},
       {"0.00", "0.00", "5.81", "5.81", "5.81"}},
  };
  for (const auto& c : cases) {
    MemoryHost fresh{80, 25};
    platform::ScopedHost use{fresh};
    fresh.Type(RunKeys("M", c.typed));
    ASSERT_EQ(RunProgram(), 0u) << c.name;
    ExpectScreen(fresh, NormalScreen("M", c.echoes, c.values), c.name + ": ");
  }
}

TEST_F(Dialogue, ComputesTheDelaysFromTheAnswers) {
  struct Case {
    std::string name;
    std::string units;
    Answers typed;
    Values values;
  };
  const Case cases[] = {
      {"five equal placements", "M", {"2", "2", "1", "2", "1", "2", "2", "1"},
       {"0.00", "0.00", "0.00", "0.00", "0.00"}},
      {"metres example", "M", kMetresExample, kMetresExampleValues},
      {"a speaker 1128.6 feet nearer", "F", {"1128.6", "0", "0", "0", "0", "0", "0", "0"},
       {"0.00", "1000.00", "1000.00", "1000.00", "1000.00"}},
      {"heights alone", "M", {"0", "0", "3.44", "0", "6.88", "0", "0", "0"},
       {"10.00", "10.00", "0.00", "20.00", "20.00"}},
      {"negative distances count as their magnitude", "M",
       {"-3", "3", "", "-2", "", "", "-0", ""}, kMetresExampleValues},
      {"negative heights", "M", {"0", "0", "-3", "0", "3", "0", "0", "-1"},
       {"0.00", "0.00", "0.00", "5.81", "5.81"}},
      {"three front speakers tie", "M", {"3", "3", "4", "5", "0", "1", "1", "0"},
       {"0.00", "0.00", "0.00", "11.63", "11.63"}},
      {"surrounds farthest", "F", {"1", "1", "", "1", "", "10", "10", ""},
       {"7.97", "7.97", "7.97", "0.00", "0.00"}},
      {"a unit after the number is ignored", "M", {"3.5m", "3.5m", "", "3.5m", "", "", "", ""},
       {"0.00", "0.00", "0.00", "10.17", "10.17"}},
      {"radix notation", "M", {"&H10", "", "", "", "", "", "", ""},
       {"0.00", "0.00", "0.00", "46.51", "46.51"}},
      {"exponent", "M", {"1e1", "", "", "", "", "", "", ""},
       {"0.00", "0.00", "0.00", "29.07", "29.07"}},
      {"text that is no number counts as 0", "M", {"three", "3", "", "x2", "", "", "", ""},
       {"8.72", "0.00", "8.72", "8.72", "8.72"}},
      {"comma is not a decimal point", "M", {"3,9", "3", "", "", "", "", "", ""},
       {"0.00", "0.00", "0.00", "8.72", "8.72"}},
  };
  for (const auto& c : cases) {
    MemoryHost fresh{80, 25};
    platform::ScopedHost use{fresh};
    fresh.Type(RunKeys(c.units, c.typed));
    ASSERT_EQ(RunProgram(), 0u) << c.name;
    EXPECT_EQ(PrintedValues(fresh), c.values) << c.name;
  }
}

TEST_F(Dialogue, AHugeDelayPrintsInFullWithoutExponent) {
  host.Type(RunKeys("M", {"1e30", "", "", "", "", "", "", ""}));
  ASSERT_EQ(RunProgram(), 0u);
  const Values values = PrintedValues(host);
  EXPECT_EQ(values[0], "0.00");
  // About 2.9e30 ms: 31 integer digits, of which only the first 18 are significant.
  const std::string& far = values[3];
  ASSERT_EQ(far.size(), 34u) << far;
  EXPECT_EQ(far.substr(0, 6), "290697") << far;
  EXPECT_EQ(far.substr(18), "0000000000000.00") << far;
  EXPECT_EQ(values[4], far);
}

TEST_F(Dialogue, ALongAnswerWrapsAndTheNextAnswerKeepsItsPlannedRow) {
  // 30 characters from column 54 of an 80-column row: 27 on the row, 3 wrapped onto the next.
  const std::string longLeft = "000000000000000000000000000003";
  host.Type(RunKeys("M", {longLeft, "3", "", "2", "", "", "", ""}));
  ASSERT_EQ(RunProgram(), 0u);

  ExpectedScreen screen = NormalScreen("M", kMetresExampleEchoes, kMetresExampleValues);
  screen[10] = {{1, kFormPrompts[0], kPromptColour},
                {kAnswerColumn, longLeft.substr(0, 27), kAnswerColour}};
  // The wrapped tail; the right answer typed on its planned row anyway.
  screen[11] = {{1, longLeft.substr(27), kAnswerColour}, {kAnswerColumn, "3", kAnswerColour}};
  // The right prompt came one row low; the height prompt was then printed over it.
  screen[12] = {{1, kFormPrompts[1], kPromptColour},
                {1, kFormPrompts[2], kPromptColour},
                {kAnswerColumn, "0", kAnswerColour}};
  ExpectScreen(host, screen);
}

TEST_F(Dialogue, TypedAheadKeysCarryOverFromLineToLine) {
  // Everything is queued before the program starts, a rejected answer included.
  host.Type("no\r" + RunKeys("M", kMetresExample));
  const std::size_t queued = host.Input().Size();
  ASSERT_EQ(RunProgram(), 0u);
  EXPECT_LT(host.Input().Size(), queued);
  ExpectScreen(host, NormalScreen("M", kMetresExampleEchoes, kMetresExampleValues));
}

TEST_F(Dialogue, EditingKeysWorkInTheAnswers) {
  // Backspace corrects the units answer and a distance; arrows and Tab change nothing.
  host.Type("x\bM\r");
  host.Queue(platform::KeyDown(0, platform::scan::kLeft));
  host.Type("39\b\r3\t\r\r2\r\r\r\r\rq");
  ASSERT_EQ(RunProgram(), 0u);
  EXPECT_EQ(host.BeepCount(), 0);
  ExpectScreen(host, NormalScreen("M", kMetresExampleEchoes, kMetresExampleValues));
}

TEST_F(Dialogue, ScreenColoursAndCursorAfterTheDialogue) {
  host.Type(RunKeys("M", kMetresExample));
  ASSERT_EQ(RunProgram(), 0u);
  // The cursor is left hidden, as the dialogue set it.
  EXPECT_FALSE(host.Screen().CursorInfo().bVisible);
  // Later text would be dark grey on white: the last colour set.
  EXPECT_EQ(host.Screen().DefaultAttribute(), kPromptColour);
}

}  // namespace
}  // namespace mirvane::app
