// ParseNumber against strtold, FormatNumber(x, "0.00") against snprintf("%.2f") and NumberToText
// against snprintf("%.15Lg"), on the texts and values the dialogue meets; FormatNumber also
// split into compiling the mask and formatting with it.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "numeric/numeric.h"
#include "platform/floating_point.h"

namespace {

using mirvane::numeric::FormatNumber;
using mirvane::numeric::NumberToText;
using mirvane::numeric::ParseNumber;

constexpr std::array<const char*, 7> kAnswers = {
    "3", "3.5", "12.25m", " 7", "&H1F", "1e3", "12345678901234567890",
};

// Delays as the dialogue prints them: a few milliseconds, with all their binary digits.
constexpr std::array<double, 8> kDelays = {
    0.0, 2.9069767441860463, 8.7209302325581390, 0.5, 13.370786516853933,
    1.0050000000000001, 27.914110429447852, 104.65116279069767,
};

void ParseWithParseNumber(benchmark::State& state) {
  const std::string text = kAnswers[static_cast<std::size_t>(state.range(0))];
  state.SetLabel(text);
  for (auto _ : state) benchmark::DoNotOptimize(ParseNumber(text));
}

void ParseWithStrtold(benchmark::State& state) {
  const std::string text = kAnswers[static_cast<std::size_t>(state.range(0))];
  state.SetLabel(text);
  for (auto _ : state) benchmark::DoNotOptimize(std::strtold(text.c_str(), nullptr));
}

// strtold stops at the "&" of a radix answer without converting anything; strtoll on the digits
// is the like-for-like C library counterpart for that one.
void ParseHexWithStrtoll(benchmark::State& state) {
  const std::string text = "&H1F";
  state.SetLabel(text);
  for (auto _ : state) benchmark::DoNotOptimize(std::strtoll(text.c_str() + 2, nullptr, 16));
}

void FormatTwoDecimals(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatNumber(kDelays[i], "0.00"));
    i = (i + 1) % kDelays.size();
  }
}

// The same with the mask compiled once outside the loop, and the compilation alone: how the
// time of one call divides between compiling the mask and formatting the value.
void FormatTwoDecimalsPrecompiled(benchmark::State& state) {
  const mirvane::numeric::MaskLayout layout = mirvane::numeric::ParseMaskSection("0.00");
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatNumber(kDelays[i], layout));
    i = (i + 1) % kDelays.size();
  }
}

void CompileTwoDecimalsMask(benchmark::State& state) {
  for (auto _ : state) {
    const auto sections = mirvane::numeric::SplitMaskSections("0.00");
    benchmark::DoNotOptimize(mirvane::numeric::ParseMaskSection(sections.positive));
  }
}

void SnprintfTwoDecimals(benchmark::State& state) {
  std::size_t i = 0;
  char text[400];
  for (auto _ : state) {
    // an std::string too, as FormatNumber returns one
    std::snprintf(text, sizeof text, "%.2f", kDelays[i]);
    benchmark::DoNotOptimize(std::string(text));
    i = (i + 1) % kDelays.size();
  }
}

void PlainNumberToText(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(NumberToText(kDelays[i]));
    i = (i + 1) % kDelays.size();
  }
}

void SnprintfFifteenDigits(benchmark::State& state) {
  std::size_t i = 0;
  char text[64];
  for (auto _ : state) {
    std::snprintf(text, sizeof text, "%.15Lg", static_cast<long double>(kDelays[i]));
    benchmark::DoNotOptimize(std::string(text));
    i = (i + 1) % kDelays.size();
  }
}

BENCHMARK(ParseWithParseNumber)->DenseRange(0, kAnswers.size() - 1);
BENCHMARK(ParseWithStrtold)->DenseRange(0, kAnswers.size() - 1);
BENCHMARK(ParseHexWithStrtoll);
BENCHMARK(FormatTwoDecimals);
BENCHMARK(FormatTwoDecimalsPrecompiled);
BENCHMARK(CompileTwoDecimalsMask);
BENCHMARK(SnprintfTwoDecimals);
BENCHMARK(PlainNumberToText);
BENCHMARK(SnprintfFifteenDigits);

}  // namespace

int main(int argc, char** argv) {
  mirvane::platform::LoadFloatingPointControlWord(0x133F);  // as the program runs
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
