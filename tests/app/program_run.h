// Running the whole program over the in-memory host, and the screen it should leave.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/dialogue.h"
#include "platform/memory_host.h"
#include "runtime/runtime.h"

namespace mirvane::app::testing {

inline constexpr platform::WORD kPromptColour = 0xF8;  // dark grey on bright white
inline constexpr platform::WORD kAnswerColour = 0xF0;  // black on bright white

inline constexpr int kAnswerColumn = 54;
inline constexpr int kValueColumn = 27;
inline constexpr int kQuestionRow = 8;
inline constexpr int kFormRow = 10;
inline constexpr int kReportRow = 23;
inline constexpr int kClosingRow = 31;

inline const std::string kUnitsQuestion = "   Distances in feet or metres [F/M]?";
inline const std::array<std::string, 8> kFormPrompts = {
    "   Horizontal distance to left speaker?",
    "   Horizontal distance to right speaker?",
    "   Height of left/right speakers?",
    "   Horizontal distance to centre speaker?",
    "   Height of centre speaker?",
    "   Horizontal distance to left surround speaker?",
    "   Horizontal distance to right surround speaker?",
    "   Height of surround speakers?",
};
inline constexpr std::array<int, 8> kFormRowOffsets = {0, 1, 2, 4, 5, 7, 8, 9};
inline const std::array<std::string, 5> kReportLabels = {
    "   Left front delay",   "   Right front delay",    "   Centre front delay",
    "   Left surround delay", "   Right surround delay",
};

// The keys of a whole run: the units answer, the eight form answers, each ended by Enter, and the
// key that ends the final wait.
inline std::string RunKeys(const std::string& units, const std::array<std::string, 8>& answers) {
  std::string keys = units + "\r";
  for (const auto& answer : answers) keys += answer + "\r";
  return keys + "q";
}

// Runs start-up, the dialogue and shutdown; the exit code, or nothing if the frame returned.
inline std::optional<platform::UINT> RunProgram() {
  try {
    runtime::RunProcess(WINMAIN);
  } catch (const platform::ProcessExit& exit) {
    return exit.code;
  }
  return std::nullopt;
}

// Text placed on a row from a 1-based column, in one colour.
struct Placed {
  int column;
  std::string text;
  platform::WORD attribute;
};

// The rows expected on screen, by 1-based row; rows not named are blank. Every cell not covered is
// a blank in the answer colour.
using ExpectedScreen = std::map<int, std::vector<Placed>>;

inline void ExpectScreen(const platform::MemoryHost& host, const ExpectedScreen& expected,
                         const std::string& context = "") {
  const int columns = host.Screen().Columns();
  for (int row = 1; row <= host.Screen().Rows(); ++row) {
    std::string text(static_cast<std::size_t>(columns), ' ');
    std::vector<platform::WORD> attributes(static_cast<std::size_t>(columns), kAnswerColour);
    if (const auto found = expected.find(row); found != expected.end()) {
      for (const Placed& placed : found->second) {
        for (std::size_t i = 0; i < placed.text.size(); ++i) {
          const auto column = static_cast<std::size_t>(placed.column - 1) + i;
          text[column] = placed.text[i];
          attributes[column] = placed.attribute;
        }
      }
    }
    EXPECT_EQ(host.Row(row), text) << context << "row " << row;
    const std::vector<platform::WORD> actual = host.RowAttributes(row);
    for (std::size_t column = 0; column < attributes.size(); ++column) {
      if (actual[column] != attributes[column]) {
        ADD_FAILURE() << context << "row " << row << ", column " << column + 1 << ": attribute 0x"
                      << std::hex << actual[column] << ", expected 0x" << attributes[column];
        break;
      }
    }
  }
}

// The screen of a run that ends normally: header, units answer, form echoes on their planned rows,
// the five values (without " ms") and the closing line.
inline ExpectedScreen NormalScreen(const std::string& unitsEcho,
                                   const std::array<std::string, 8>& formEchoes,
                                   const std::array<std::string, 5>& values) {
  ExpectedScreen screen;
  screen[2] = {{1, "   Mirvane v1", kAnswerColour}};
  screen[3] = {{1, "   Copyright (c) 2026 the Mirvane developers",
                kAnswerColour}};
  screen[4] = {{1, "   No web site: see the README that comes with the program", kAnswerColour}};
  screen[kQuestionRow] = {{1, kUnitsQuestion, kPromptColour},
                          {kAnswerColumn, unitsEcho, kAnswerColour}};
  for (std::size_t i = 0; i < 8; ++i) {
    screen[kFormRow + kFormRowOffsets[i]] = {{1, kFormPrompts[i], kPromptColour},
                                             {kAnswerColumn, formEchoes[i], kAnswerColour}};
  }
  for (std::size_t i = 0; i < 5; ++i) {
    screen[kReportRow + static_cast<int>(i)] = {{1, kReportLabels[i], kPromptColour},
                                                {kValueColumn, values[i] + " ms", kAnswerColour}};
  }
  screen[kClosingRow] = {{1, "   press any key to quit", kPromptColour}};
  return screen;
}

// The five values as printed, " ms" taken off.
inline std::array<std::string, 5> PrintedValues(const platform::MemoryHost& host) {
  std::array<std::string, 5> values;
  for (std::size_t i = 0; i < 5; ++i) {
    std::string row = host.RowTrimmed(kReportRow + static_cast<int>(i));
    row = row.size() >= kValueColumn ? row.substr(kValueColumn - 1) : "";
    if (row.size() >= 3 && row.compare(row.size() - 3, 3, " ms") == 0) row.resize(row.size() - 3);
    values[i] = row;
  }
  return values;
}

}  // namespace mirvane::app::testing
