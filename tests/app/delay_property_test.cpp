// Random answer sets through the whole program: every delay as printed must equal a computation
// of the same rules made here independently (strtold for the answers, long double arithmetic,
// the C library's correctly rounded "%.2f" for the print).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>

#include "platform/memory_host.h"
#include "tests/app/program_run.h"

namespace mirvane::app {
namespace {

using namespace mirvane::app::testing;
using Answers = std::array<std::string, 8>;
using Values = std::array<std::string, 5>;

std::string RandomAnswer(std::mt19937_64& random) {
  std::uniform_int_distribution<int> percent(0, 99);
  if (percent(random) < 15) return "";
  std::string text;
  if (percent(random) < 10) text += '-';
  const int scale = percent(random) < 50 ? 10 : percent(random) < 80 ? 100 : 10000;
  text += std::to_string(std::uniform_int_distribution<int>(0, scale)(random));
  const int decimals = std::uniform_int_distribution<int>(0, 4)(random);
  if (decimals > 0) {
    text += '.';
    for (int i = 0; i < decimals; ++i) text += static_cast<char>('0' + percent(random) % 10);
  }
  if (percent(random) < 5) text += "m";
  return text;
}

// The form's defaults, applied to the typed texts.
Answers WithDefaults(const Answers& typed) {
  Answers form = typed;
  if (form[1].empty()) form[1] = form[0];
  if (form[2].empty()) form[2] = "0";
  if (form[3].empty()) form[3] = form[1];
  if (form[4].empty()) form[4] = "0";
  if (form[6].empty()) form[6] = form[5];
  if (form[7].empty()) form[7] = "0";
  return form;
}

Values ReferenceValues(const std::string& units, const Answers& typed) {
  const Answers form = WithDefaults(typed);
  std::array<double, 8> number{};
  for (std::size_t i = 0; i < 8; ++i) {
    number[i] = form[i].empty() ? 0.0 : static_cast<double>(std::strtold(form[i].c_str(), nullptr));
  }
  const std::array<std::array<double, 2>, 5> placement = {{
      {number[0], number[2]}, {number[1], number[2]}, {number[3], number[4]},
      {number[5], number[7]}, {number[6], number[7]},
  }};
  std::array<double, 5> distance{};
  double farthest = 0;
  for (std::size_t i = 0; i < 5; ++i) {
    const long double h = placement[i][0];
    const long double v = placement[i][1];
    distance[i] = static_cast<double>(std::sqrt(h * h + v * v));
    farthest = std::max(farthest, distance[i]);
  }
  const bool metres = units == "M" || units == "m";
  const long double speed = metres ? 344.0L : static_cast<long double>(1128.6f);
  Values values;
  for (std::size_t i = 0; i < 5; ++i) {
    double delay = static_cast<double>((static_cast<long double>(farthest) - distance[i]) * 1000.0L /
                                       speed);
    if (delay == 0) delay = 0;  // no sign on a zero
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", delay);
    values[i] = text;
  }
  return values;
}

TEST(DelayProperty, PrintedDelaysMatchAnIndependentComputation) {
  std::mt19937_64 random(20261210);
  const std::string unitChoices[] = {"M", "m", "F", "f"};
  for (int set = 0; set < 300; ++set) {
    const std::string units = unitChoices[random() % 4];
    Answers typed;
    for (auto& answer : typed) answer = RandomAnswer(random);

    platform::MemoryHost host{80, 25};
    platform::ScopedHost installed{host};
    host.Type(RunKeys(units, typed));
    ASSERT_EQ(RunProgram(), 0u) << "set " << set;

    std::ostringstream answers;
    for (const auto& answer : typed) answers << " [" << answer << "]";
    EXPECT_EQ(PrintedValues(host), ReferenceValues(units, typed))
        << "set " << set << ", units " << units << ", answers" << answers.str();
  }
}

}  // namespace
}  // namespace mirvane::app
