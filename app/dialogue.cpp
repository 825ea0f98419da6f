#include "app/dialogue.h"

#include <array>
#include <cstddef>
#include <new>
#include <optional>
#include <string>

#include "app/delays.h"
#include "app/window_dressing.h"
#include "console/console.h"
#include "numeric/numeric.h"

namespace mirvane::app {
namespace {

using console::CursorRow;
using console::Locate;
using console::PrintNewLine;
using console::PrintText;
using console::SetColor;

constexpr std::int32_t kAnswerColumn = 54;
constexpr std::int32_t kValueColumn = 27;

void UsePromptColour() { SetColor(8, 15, 0); }
void UseAnswerColour() { SetColor(0, 15, 0); }

void PrintLine(std::string_view text) {
  PrintText(text);
  PrintNewLine();
}

// A text that cannot be made for want of memory is empty, and the dialogue goes on.
template <typename MakeText>
std::string TextOrEmpty(MakeText make) {
  try {
    return make();
  } catch (const std::bad_alloc&) {
    return {};
  }
}

// ---- Start screen and units question -----------------------------------------------------------

void DrawStartScreen() {
  console::ClearScreen();
  UseAnswerColour();
  console::SetCursorVisible(0);
  PrintNewLine();
  PrintLine("   Mirvane v1");
  PrintLine("   Copyright (c) 2026 the Mirvane developers");
  PrintLine("   No web site: see the README that comes with the program");
  // Rows 5 to 7 stay blank: the question comes on row 8.
  for (int blank = 0; blank < 3; ++blank) PrintNewLine();
}

// "f" and "m" count as "F" and "M"; nothing else is folded or trimmed.
void NormaliseUnits(std::string& answer) {
  if (answer == "f") answer[0] = 'F';
  if (answer == "m") answer[0] = 'M';
}

bool IsUnits(const std::string& answer) { return answer == "F" || answer == "M"; }

std::string AskUnits() {
  for (;;) {
    DrawStartScreen();
    UsePromptColour();
    const std::int32_t questionRow = CursorRow();
    PrintLine("   Distances in feet or metres [F/M]?");
    UseAnswerColour();
    Locate(questionRow, kAnswerColumn);
    std::string answer = console::ReadLine();
    NormaliseUnits(answer);
    if (IsUnits(answer)) return answer;

    console::Beep();
    ShowUnitsError();
    Locate(questionRow, kAnswerColumn);
    PrintLine(TextOrEmpty([&] { return std::string(answer.size(), ' '); }));
  }
}

// ---- Measurement form --------------------------------------------------------------------------

enum class Default { None, LeftFront, RightFront, LeftSurround, Zero };

struct FormQuestion {
  std::string_view prompt;
  std::int32_t rowOffset;
  Default whenEmpty;
  bool blankRowAfter;
};

constexpr std::size_t kAnswerCount = 8;

constexpr std::array<FormQuestion, kAnswerCount> kFormQuestions = {{
    {"   Horizontal distance to left speaker?", 0, Default::None, false},
    {"   Horizontal distance to right speaker?", 1, Default::LeftFront, false},
    {"   Height of left/right speakers?", 2, Default::Zero, true},
    {"   Horizontal distance to centre speaker?", 4, Default::RightFront, false},
    {"   Height of centre speaker?", 5, Default::Zero, true},
    {"   Horizontal distance to left surround speaker?", 7, Default::None, false},
    {"   Horizontal distance to right surround speaker?", 8, Default::LeftSurround, false},
    {"   Height of surround speakers?", 9, Default::Zero, false},
}};

using MeasurementForm = std::array<std::string, kAnswerCount>;

// Answers, in form order, that an empty answer copies.
constexpr std::size_t kLeftFrontAnswer = 0;
constexpr std::size_t kRightFrontAnswer = 1;
constexpr std::size_t kLeftSurroundAnswer = 5;

std::optional<std::string> DefaultFor(Default rule, const MeasurementForm& form) {
  const auto copy = [](const std::string& text) { return TextOrEmpty([&] { return text; }); };
  switch (rule) {
    case Default::None: return std::nullopt;
    case Default::LeftFront: return copy(form[kLeftFrontAnswer]);
    case Default::RightFront: return copy(form[kRightFrontAnswer]);
    case Default::LeftSurround: return copy(form[kLeftSurroundAnswer]);
    case Default::Zero: return "0";
  }
  return std::nullopt;
}

// Every row comes from formRow, never from where the cursor happens to be: an answer that wraps
// pushes the next prompt down, but the next answer is still typed on its planned row.
MeasurementForm ReadMeasurementForm() {
  PrintNewLine();
  const std::int32_t formRow = CursorRow();
  MeasurementForm form;
  for (std::size_t i = 0; i < kAnswerCount; ++i) {
    const FormQuestion& question = kFormQuestions[i];
    const std::int32_t answerRow = formRow + question.rowOffset;
    UsePromptColour();
    PrintLine(question.prompt);
    UseAnswerColour();
    Locate(answerRow, kAnswerColumn);
    form[i] = console::ReadLine();
    if (form[i].empty()) {
      if (auto fallback = DefaultFor(question.whenEmpty, form)) {
        form[i] = std::move(*fallback);
        Locate(answerRow, kAnswerColumn);
        PrintLine(form[i]);
      }
    }
    if (question.blankRowAfter) PrintNewLine();
  }
  return form;
}

// Only now, with all eight in, are the answers read as numbers; an empty one counts as 0.
MeasurementNumbers ConvertAnswers(const MeasurementForm& form) {
  MeasurementNumbers numbers{};
  for (std::size_t i = 0; i < kAnswerCount; ++i) {
    numbers[i] = static_cast<double>(numeric::ParseNumber(form[i]));
  }
  return numbers;
}

// ---- Result screen -----------------------------------------------------------------------------

constexpr std::array<std::string_view, kChannelCount> kReportLabels = {{
    "   Left front delay",
    "   Right front delay",
    "   Centre front delay",
    "   Left surround delay",
    "   Right surround delay",
}};

void PrintReport(const ChannelDelay& delays) {
  for (int blank = 0; blank < 3; ++blank) PrintNewLine();
  const std::int32_t reportRow = CursorRow();
  for (std::size_t i = 0; i < kChannelCount; ++i) {
    UsePromptColour();
    PrintLine(kReportLabels[i]);
    UseAnswerColour();
    Locate(reportRow + static_cast<std::int32_t>(i), kValueColumn);
    PrintLine(TextOrEmpty([&] { return numeric::FormatNumber(delays[i], "0.00") + " ms"; }));
  }
}

void PrintClosingLine() {
  for (int blank = 0; blank < 3; ++blank) PrintNewLine();
  UsePromptColour();
  PrintLine("   press any key to quit");
}

}  // namespace

std::int32_t WINMAIN(platform::HINSTANCE instance, platform::HINSTANCE /*previousInstance*/,
                     std::string_view /*commandLine*/, std::int32_t /*showCommand*/) {
  DressWindow(instance);
  UseAnswerColour();
  console::ClearScreen();
  FinishWindowDressing();

  const std::string units = AskUnits();
  const MeasurementForm form = ReadMeasurementForm();
  const ChannelDelay delays = ComputeDelays(ConvertAnswers(form), units);
  PrintReport(delays);
  PrintClosingLine();
  console::WaitKey();
  return 0;
}

}  // namespace mirvane::app
