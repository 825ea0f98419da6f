#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "numeric/power_of_ten.h"
#include "numeric_test_support.h"

namespace mirvane::numeric {
namespace {

using testing_support::Show;

// An extended value's significand and the power of two of its lowest significand bit.
struct Extended {
  std::uint64_t significand = 0;
  long long lowestBitExponent = 0;
  bool operator==(const Extended&) const = default;
};

Extended Decompose(long double value) {
  Extended parts;
  std::memcpy(&parts.significand, &value, sizeof parts.significand);
  std::uint16_t exponentField = 0;
  std::memcpy(&exponentField, reinterpret_cast<const unsigned char*>(&value) + 8, sizeof exponentField);
  parts.lowestBitExponent = static_cast<long long>(exponentField & 0x7FFF) - 16383 - 63;
  return parts;
}

// 5^n as little-endian 32-bit limbs, exactly.
std::vector<std::uint32_t> PowerOfFive(int n) {
  std::vector<std::uint32_t> limbs{1};
  for (int i = 0; i < n; ++i) {
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : limbs) {
      const std::uint64_t product = std::uint64_t{limb} * 5 + carry;
      limb = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0) limbs.push_back(static_cast<std::uint32_t>(carry));
  }
  return limbs;
}

bool Bit(const std::vector<std::uint32_t>& limbs, long long index) {
  if (index < 0) return false;
  const auto limb = static_cast<std::size_t>(index / 32);
  return limb < limbs.size() && ((limbs[limb] >> (index % 32)) & 1U) != 0;
}

// The extended value nearest to 10^n = 5^n · 2^n, ties to even, from the exact integer 5^n.
Extended NearestPowerOfTen(int n) {
  const std::vector<std::uint32_t> five = PowerOfFive(n);
  long long bitLength = static_cast<long long>(five.size()) * 32;
  while (!Bit(five, bitLength - 1)) --bitLength;
  const long long dropped = bitLength > 64 ? bitLength - 64 : 0;
  std::uint64_t top = 0;
  for (long long i = bitLength - 1; i >= dropped; --i) top = (top << 1) | (Bit(five, i) ? 1U : 0U);
  top <<= 64 - (bitLength - dropped);
  long long exponent = n + dropped - (64 - (bitLength - dropped));
  if (dropped > 0 && Bit(five, dropped - 1)) {
    bool sticky = false;
    for (long long i = 0; i < dropped - 1 && !sticky; ++i) sticky = Bit(five, i);
    if (sticky || (top & 1U) != 0) {
      ++top;
      if (top == 0) {  // 2^64: one bit longer
        top = std::uint64_t{1} << 63;
        ++exponent;
      }
    }
  }
  return {top, exponent};
}

TEST(PowersOfTen, ConstantsAreTheNearestExtendedValues) {
  for (std::size_t k = 0; k < detail::kBinaryPowersOfTen.size(); ++k) {
    const int n = 8 << k;
    const Extended expected = NearestPowerOfTen(n);
    const Extended got = Decompose(detail::kBinaryPowersOfTen[k]);
    EXPECT_EQ(got.significand, expected.significand) << "10^" << n;
    EXPECT_EQ(got.lowestBitExponent, expected.lowestBitExponent) << "10^" << n;
    // glibc's correctly rounded strtold agrees
    const std::string text = "1e" + std::to_string(n);
    EXPECT_EQ(Decompose(std::strtold(text.c_str(), nullptr)), got) << text;
  }
}

TEST(PowersOfTen, ScalingUpTo27IsCorrectlyRounded) {
  // 10^n for n ≤ 27 is exact, so one multiplication or division rounds correctly: compare with
  // strtold of the same decimal.
  const struct {
    long double value;
    const char* digits;
  } mantissas[] = {{1, "1"}, {3, "3"}, {123456789012345678, "123456789012345678"},
                   {999999999999999999, "999999999999999999"}, {7, "7"}};
  for (const auto& m : mantissas) {
    for (int power = -27; power <= 27; ++power) {
      const std::string text = std::string(m.digits) + "e" + std::to_string(power);
      const long double expected = std::strtold(text.c_str(), nullptr);
      const long double got = detail::ScaleByPowerOfTen(m.value, power);
      EXPECT_EQ(got, expected) << text << ": " << Show(got);
    }
  }
}

TEST(PowersOfTen, TheTableOfExactPowersGivesTheBuiltFactor) {
  // Up to 10^27 the factor comes from a table; building it from 10^(p mod 8) and the binary
  // powers must give the very same results, the last bit included.
  const long double values[] = {1, 3, 0.1L, 2.9069767441860463, 123456789012345678, 0x1.fffffffffffffffep-3L,
                                0x1p-16382L, 0x1.23456789abcdef01p+16000L};
  for (const long double value : values) {
    for (int power = -27; power <= 27; ++power) {
      const long double built = detail::ScaleByLargePowerOfTen(value, power);
      const long double got = detail::ScaleByPowerOfTen(value, power);
      EXPECT_TRUE(Decompose(got) == Decompose(built))
          << Show(value) << " power " << power << ": " << Show(got) << ", built " << Show(built);
    }
  }
}

TEST(PowersOfTen, LargePowersStayFiniteAndClose) {
  // The far ends of both directions: 10^4096 is applied first, then the rest.
  for (const int power : {4097, 4500, 4932, -4097, -4500, -4930}) {
    const std::string text = "1e" + std::to_string(power);
    const long double expected = std::strtold(text.c_str(), nullptr);
    const long double got = detail::ScaleByPowerOfTen(1, power);
    EXPECT_LE(std::fabs(got / expected - 1), 0x1p-60L) << text << ": " << Show(got);
  }
}

}  // namespace
}  // namespace mirvane::numeric
