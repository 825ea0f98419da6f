// Helpers shared by the numeric tests.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

namespace mirvane::numeric::testing_support {

// Same value, sign of zero included; any NaN matches any NaN.
inline bool SameValue(long double a, long double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return a == b && std::signbit(a) == std::signbit(b);
}

inline std::string Show(long double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.21Lg", value);
  return text;
}

// Shows control characters and NUL readably in failure messages.
inline std::string Quote(std::string_view text) {
  std::string shown = "\"";
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 32) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
      shown += escaped;
    } else {
      shown += c;
    }
  }
  return shown + "\"";
}

}  // namespace mirvane::numeric::testing_support
