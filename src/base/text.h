// Path helpers and the fixed-width number formatters used by the dialogs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zentarra {

// The path up to and including its last '/' or '\'; the whole path when it has none.
std::string GetDirectory(std::string_view path);

// The part of the path behind its last '/' or '\'; the whole path when it has none.
std::string GetFileNameFromPath(std::string_view path);

// Exactly `digits` decimal digits of |value|, zero-padded on the left; higher
// digits that do not fit are dropped (1234 with 3 digits gives "234").
std::string IntToString(long long value, int digits);

// As IntToString, behind a minus sign for a negative value (-5 with 2 digits gives "-05").
std::string SignedIntToString(long long value, int digits);

// `integerDigits` digits of the value truncated toward zero, a point, then
// `fractionDigits` digits, all truncated, never rounded (0.9999 with 1 and 3
// gives "0.999"). Negative, infinite and NaN values print as 0.
std::string FloatToString(double value, int integerDigits, int fractionDigits);

// The smallest powers of two not below each side (a side of 0 gives 1), and
// whether both sides already are powers of two.
struct Power2Size {
	bool isPower2 = false;
	std::uint64_t width = 1;
	std::uint64_t height = 1;
};
Power2Size CheckIfPower2(std::uint32_t width, std::uint32_t height);

// Appends the value as printf("%f") prints it in the C locale: fixed notation,
// six decimals, correctly rounded ("-0.000000", "inf", "-nan" included).
// Text files are written through this, never through the user's locale.
void AppendFixed6(std::string& out, double value);

// The float's AppendFixed6 text written at `at`, which has room for
// kFixed6Room characters; returns the end. Exact and fast for the values
// models hold (magnitudes below 2^33), to_chars for the rest.
inline constexpr std::size_t kFixed6Room = 48;
char* PutFixed6(char* at, float value);

} // namespace zentarra
