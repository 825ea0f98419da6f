// The delay computation: each speaker's straight-line distance to the listener, the farthest as the
// reference, and for every channel the delay that makes its sound arrive with the farthest's.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace mirvane::app {

enum class SpeakerChannel { LeftFront, RightFront, CentreFront, LeftSurround, RightSurround };

inline constexpr std::size_t kChannelCount = 5;

// Horizontal distance and height relative to the listening position, in the dialogue's unit.
struct SpeakerPlacement {
  double horizontal = 0;
  double height = 0;
};

// The eight numbers of the measurement form, in form order: left, right, front height, centre,
// centre height, left surround, right surround, surround height.
using MeasurementNumbers = std::array<double, 8>;

// One delay per channel, in milliseconds, indexed by SpeakerChannel.
using ChannelDelay = std::array<double, kChannelCount>;
using ChannelDistance = std::array<double, kChannelCount>;

inline constexpr std::size_t Index(SpeakerChannel channel) {
  return static_cast<std::size_t>(channel);
}

// Speed of sound per unit: 344 metres per second; 1128.6 feet per second held in single precision,
// so the divisor is exactly 1128.5999755859375.
inline constexpr int kMetresPerSecond = 344;
inline constexpr float kFeetPerSecond = 1128.6f;
inline constexpr int kMillisecondsPerSecond = 1000;

// Heights are shared: both front speakers use the front height, both surrounds the surround height.
std::array<SpeakerPlacement, kChannelCount> PlaceSpeakers(const MeasurementNumbers& form);

// sqrt(h^2 + v^2); a negative h or v counts as its magnitude.
double SpeakerDistance(SpeakerPlacement placement);

// The farthest distance; of equal farthest channels the last in channel order is taken.
double FarthestDistance(const ChannelDistance& distances);

// The delays for unit "M" (metres) or "F" (feet); any other unit leaves every delay 0.
ChannelDelay ComputeDelays(const MeasurementNumbers& form, std::string_view unit);

}  // namespace mirvane::app
