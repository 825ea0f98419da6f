#include "app/delays.h"

#include "numeric/numeric.h"

namespace mirvane::app {

// Every expression below runs in long double (64-bit significand) and only its result is stored
// as a double: a square of a distance above about 1e154 would overflow a double, but not the
// extended format, so a distance that is itself a finite double stays finite.

std::array<SpeakerPlacement, kChannelCount> PlaceSpeakers(const MeasurementNumbers& form) {
  const double frontHeight = form[2];
  const double centreHeight = form[4];
  const double surroundHeight = form[7];
  return {{
      {form[0], frontHeight},
      {form[1], frontHeight},
      {form[3], centreHeight},
      {form[5], surroundHeight},
      {form[6], surroundHeight},
  }};
}

double SpeakerDistance(SpeakerPlacement placement) {
  const long double sumOfSquares =
      numeric::Power(placement.horizontal, 2) + numeric::Power(placement.height, 2);
  return static_cast<double>(numeric::SquareRoot(sumOfSquares));
}

double FarthestDistance(const ChannelDistance& distances) {
  double farthest = 0;
  for (std::size_t channel = 0; channel < kChannelCount; ++channel) {
    bool noneFarther = true;
    for (std::size_t other = 0; other < kChannelCount; ++other) {
      if (other != channel && distances[other] > distances[channel]) noneFarther = false;
    }
    if (noneFarther) farthest = distances[channel];
  }
  return farthest;
}

namespace {

double DelayFor(double farthest, double distance, long double speedOfSound) {
  // Difference first, then milliseconds, then the division: the order fixes the rounding.
  const long double difference = static_cast<long double>(farthest) - distance;
  return static_cast<double>(difference * kMillisecondsPerSecond / speedOfSound);
}

}  // namespace

ChannelDelay ComputeDelays(const MeasurementNumbers& form, std::string_view unit) {
  const auto placements = PlaceSpeakers(form);
  ChannelDistance distances{};
  for (std::size_t channel = 0; channel < kChannelCount; ++channel) {
    distances[channel] = SpeakerDistance(placements[channel]);
  }
  const double farthest = FarthestDistance(distances);

  ChannelDelay delays{};
  for (std::size_t channel = 0; channel < kChannelCount; ++channel) {
    if (unit == "M") {
      delays[channel] = DelayFor(farthest, distances[channel], kMetresPerSecond);
    }
    if (unit == "F") {
      delays[channel] = DelayFor(farthest, distances[channel], kFeetPerSecond);
    }
  }
  return delays;
}

}  // namespace mirvane::app
