#include "app/delays.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace mirvane::app {
namespace {

// Form order: left, right, front height, centre, centre height, left surround, right surround,
// surround height.
struct DelayCase {
  std::string name;
  MeasurementNumbers form;
  std::string unit;
  ChannelDelay expected;
};

constexpr double kMetre = 1000.0 / 344.0;  // ms per metre of difference
const double kFoot = 1000.0 / static_cast<double>(1128.6f);

TEST(ComputeDelays, MatchesHandWorkedLayouts) {
  const DelayCase cases[] = {
      {"five equal speakers", {2, 2, 1, 2, 1, 2, 2, 1}, "M", {0, 0, 0, 0, 0}},
      {"metres example", {3, 3, 0, 2, 0, 0, 0, 0}, "M", {0, 0, 1 * kMetre, 3 * kMetre, 3 * kMetre}},
      {"feet use the single-precision speed", {3, 3, 0, 2, 0, 0, 0, 0}, "F",
       {0, 0, 1 * kFoot, 3 * kFoot, 3 * kFoot}},
      {"height alone is the full distance", {0, 0, 4, 0, 0, 0, 0, 3}, "M",
       {0, 0, 4 * kMetre, 1 * kMetre, 1 * kMetre}},
      {"3-4-5 triangle", {3, 0, 4, 5, 0, 0, 0, 0}, "M",
       {0, 1 * kMetre, 0, 5 * kMetre, 5 * kMetre}},
      {"negative distances count as their magnitude", {-3, 3, 0, -2, 0, -3, 3, 0}, "M",
       {0, 0, 1 * kMetre, 0, 0}},
      {"negative height", {0, 0, -2, 0, 0, 0, 0, 0}, "M", {0, 0, 2 * kMetre, 2 * kMetre, 2 * kMetre}},
      {"surrounds farthest", {1, 1, 0, 1, 0, 4, 4, 0}, "M",
       {3 * kMetre, 3 * kMetre, 3 * kMetre, 0, 0}},
      {"everything zero", {0, 0, 0, 0, 0, 0, 0, 0}, "M", {0, 0, 0, 0, 0}},
      {"unit neither F nor M computes nothing", {3, 3, 0, 2, 0, 0, 0, 0}, "f", {0, 0, 0, 0, 0}},
      {"lower-case m is not metres here", {3, 3, 0, 2, 0, 0, 0, 0}, "m", {0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    const ChannelDelay delays = ComputeDelays(c.form, c.unit);
    for (std::size_t channel = 0; channel < kChannelCount; ++channel) {
      EXPECT_DOUBLE_EQ(delays[channel], c.expected[channel])
          << c.name << ", unit " << c.unit << ", channel " << channel;
    }
  }
}

// Layouts whose delays come out differently, in their last bits, when a distance is kept in
// extended precision instead of being stored as a double, when the arithmetic runs in double, or
// when the division comes before the thousandfold. The expected doubles were worked out with exact
// rational arithmetic, rounding to 64 significand bits after every operation and to a double
// where a value is stored.
TEST(ComputeDelays, ReproducesTheStoredDoublesBitForBit) {
  struct Case {
    MeasurementNumbers form;
    const char* unit;
    ChannelDelay expected;
  };
  const Case cases[] = {
      {{18.96, 13.0, 16.4, 7.3, 18.2, 0.75, 8.4, 1.81}, "F",
       {0x0.0p+0, 0x1.d5adb485f7ddfp+1, 0x1.3595398c507a1p+2, 0x1.479ebf7b665f5p+4,
        0x1.d327790c9afc1p+3}},
      {{16.5, 18.949, 12.5, 11.54, 1.0, 0.9, 5.8, 10.814}, "M",
       {0x1.74261e1ce172dp+2, 0x0.0p+0, 0x1.028ab0452df89p+5, 0x1.138fce87eb9cbp+5,
        0x1.e515cfba044bbp+4}},
      {{11.205, 3.615, 11.4, 7.448, 14.242, 1.2, 9.928, 8.55}, "F",
       {0x1.3c762500d3119p-4, 0x1.d26b24ead1dbap+1, 0x0.0p+0, 0x1.a5cc3d0d3de42p+2,
        0x1.50cffffc68a37p+1}},
      {{15.1, 8.506, 5.801, 8.5, 9.01, 17.822, 17.19, 14.99}, "F",
       {0x1.934c023846f1fp+2, 0x1.705f60342167ep+3, 0x1.351697477562cp+3, 0x0.0p+0,
        0x1.b38bbf212723cp-2}},
      {{16.4, 3.66, 1.28, 3.8, 3.719, 15.735, 5.36, 8.2}, "F",
       {0x1.256c273f534cbp+0, 0x1.8927aefc07388p+3, 0x1.6055bc67b5d21p+3, 0x0.0p+0,
        0x1.c2a81abcb5292p+2}},
  };
  for (const Case& c : cases) {
    const ChannelDelay delays = ComputeDelays(c.form, c.unit);
    for (std::size_t channel = 0; channel < kChannelCount; ++channel) {
      EXPECT_EQ(delays[channel], c.expected[channel])
          << "left front " << c.form[0] << ", unit " << c.unit << ", channel " << channel;
    }
  }
}

TEST(ComputeDelays, TheFarthestChannelGetsExactlyZero) {
  const ChannelDelay delays = ComputeDelays({1.1, 2.2, 0.3, 7.7, 0.9, 3.3, 4.4, 0.5}, "M");
  EXPECT_EQ(delays[Index(SpeakerChannel::CentreFront)], 0.0);
  for (std::size_t channel = 0; channel < kChannelCount; ++channel) {
    EXPECT_GE(delays[channel], 0.0) << "channel " << channel;
  }
}

TEST(ComputeDelays, FeetDivisorIsTheSinglePrecisionSpeed) {
  // One speaker 1128.6 feet nearer: with the divisor 1128.5999755859375 rather than 1128.6 the delay
  // lands a hair above one second.
  const ChannelDelay delays = ComputeDelays({1128.6, 0, 0, 0, 0, 0, 0, 0}, "F");
  const double nearer = delays[Index(SpeakerChannel::RightFront)];
  EXPECT_GT(nearer, 1000.0);
  EXPECT_LT(nearer, 1000.0001);
  EXPECT_NEAR(nearer, 1000.0 * 1128.6 / 1128.5999755859375, 1e-9);
}

TEST(ComputeDelays, DistancesBeyondTheSquareRangeOfADoubleStayFinite) {
  // 1e200 squared overflows a double but not the extended format.
  const ChannelDelay delays = ComputeDelays({1e200, 0, 0, 0, 0, 0, 0, 0}, "M");
  EXPECT_EQ(delays[Index(SpeakerChannel::LeftFront)], 0.0);
  EXPECT_TRUE(std::isfinite(delays[Index(SpeakerChannel::RightFront)]));
  EXPECT_DOUBLE_EQ(delays[Index(SpeakerChannel::RightFront)], 1e200 * 1000.0 / 344.0);

  const ChannelDelay heights = ComputeDelays({0, 0, 3e160, 0, 4e160, 0, 0, 0}, "M");
  EXPECT_DOUBLE_EQ(heights[Index(SpeakerChannel::LeftSurround)], 4e160 * 1000.0 / 344.0);
}

TEST(ComputeDelays, AHugeDifferenceTimesAThousandStaysFinite) {
  // 1e306 ms-worth of difference times 1000 leaves the double range before the division brings
  // it back; the extended format holds it.
  struct Case {
    const char* unit;
    double speed;
  };
  for (const Case c : {Case{"M", 344.0}, Case{"F", static_cast<double>(1128.6f)}}) {
    const ChannelDelay delays = ComputeDelays({1e306, 0, 0, 0, 0, 0, 0, 0}, c.unit);
    EXPECT_EQ(delays[Index(SpeakerChannel::LeftFront)], 0.0) << c.unit;
    EXPECT_DOUBLE_EQ(delays[Index(SpeakerChannel::RightFront)], 1e306 / c.speed * 1000.0) << c.unit;
  }
}

TEST(SpeakerDistance, IsTheStraightLineDistance) {
  struct Case {
    SpeakerPlacement placement;
    double expected;
  };
  const Case cases[] = {
      {{3, 4}, 5}, {{-3, 4}, 5}, {{3, -4}, 5}, {{0, 2.5}, 2.5}, {{2.5, 0}, 2.5}, {{0, 0}, 0},
      {{1e300, 1e300}, 1e300 * std::sqrt(2.0)}, {{1e-200, 0}, 1e-200},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(SpeakerDistance(c.placement), c.expected)
        << "h " << c.placement.horizontal << ", v " << c.placement.height;
  }
}

TEST(FarthestDistance, TakesTheLargestAndTheLastOfEqualOnes) {
  EXPECT_EQ(FarthestDistance({3, 5, 5, 1, 2}), 5);
  EXPECT_EQ(FarthestDistance({9, 5, 5, 1, 2}), 9);
  EXPECT_EQ(FarthestDistance({1, 2, 3, 4, 9}), 9);
  // Zeros of both signs are equal; the one assigned is the last channel's.
  EXPECT_TRUE(std::signbit(FarthestDistance({0.0, 0.0, 0.0, 0.0, -0.0})));
  EXPECT_FALSE(std::signbit(FarthestDistance({-0.0, -0.0, -0.0, -0.0, 0.0})));
}

TEST(PlaceSpeakers, SharesTheHeights) {
  const auto placements = PlaceSpeakers({1, 2, 3, 4, 5, 6, 7, 8});
  const SpeakerPlacement expected[] = {{1, 3}, {2, 3}, {4, 5}, {6, 8}, {7, 8}};
  for (std::size_t channel = 0; channel < kChannelCount; ++channel) {
    EXPECT_EQ(placements[channel].horizontal, expected[channel].horizontal) << channel;
    EXPECT_EQ(placements[channel].height, expected[channel].height) << channel;
  }
}

}  // namespace
}  // namespace mirvane::app
