#include "base/text.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace zentarra {

namespace {

std::size_t LastSeparator(std::string_view path)
{
	return path.find_last_of("/\\");
}

// The lowest `digits` decimal digits of magnitude, zero-padded.
std::string LowDigits(unsigned long long magnitude, int digits)
{
	std::string text(digits > 0 ? std::size_t(digits) : 0, '0');
	for (std::size_t i = text.size(); i-- > 0 && magnitude != 0; magnitude /= 10)
		text[i] = char('0' + magnitude % 10);
	return text;
}

unsigned long long Magnitude(long long value)
{
	// negating in unsigned arithmetic keeps LLONG_MIN defined
	return value < 0 ? 0ull - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
}

std::uint64_t RoundUpToPower2(std::uint32_t side)
{
	std::uint64_t power = 1;
	while (power < side)
		power *= 2;
	return power;
}

} // namespace

std::string GetDirectory(std::string_view path)
{
	const std::size_t separator = LastSeparator(path);
	if (separator == std::string_view::npos)
		return std::string(path);
	return std::string(path.substr(0, separator + 1));
}

std::string GetFileNameFromPath(std::string_view path)
{
	const std::size_t separator = LastSeparator(path);
	if (separator == std::string_view::npos)
		return std::string(path);
	return std::string(path.substr(separator + 1));
}

std::string IntToString(long long value, int digits)
{
	return LowDigits(Magnitude(value), digits);
}

std::string SignedIntToString(long long value, int digits)
{
	std::string text = LowDigits(Magnitude(value), digits);
	return value < 0 ? "-" + text : text;
}

std::string FloatToString(double value, int integerDigits, int fractionDigits)
{
	if (!(value >= 0.0) || !std::isfinite(value))
		value = 0.0;

	std::string text = LowDigits(0, integerDigits);
	// integer digits: digit k is (value / 10^k, truncated) mod 10
	double whole = std::trunc(value);
	for (std::size_t i = text.size(); i-- > 0 && whole >= 1.0; whole = std::trunc(whole / 10.0))
		text[i] = char('0' + int(std::fmod(whole, 10.0)));

	text += '.';
	// fraction digit k is (value * 10^k, truncated) mod 10; powers of ten up to 10^22 are exact
	double scale = 1.0;
	for (int k = 1; k <= fractionDigits; ++k) {
		scale *= 10.0;
		const double digit = std::fmod(std::trunc(value * scale), 10.0);
		text += char('0' + (std::isfinite(digit) ? int(digit) : 0));
	}
	return text;
}

Power2Size CheckIfPower2(std::uint32_t width, std::uint32_t height)
{
	Power2Size size;
	size.width = RoundUpToPower2(width);
	size.height = RoundUpToPower2(height);
	size.isPower2 = size.width == width && size.height == height;
	return size;
}

void AppendFixed6(std::string& out, double value)
{
	// the largest double has 309 integer digits
	char text[320];
	const std::to_chars_result end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
	out.append(text, end.ptr);
}

char* PutFixed6(char* at, float value)
{
	std::uint32_t bits;
	std::memcpy(&bits, &value, sizeof bits);
	const int exponent = int(bits >> 23 & 0xFF);
	if (exponent >= 127 + 33) // 2^33 or more, infinite or NaN
		return std::to_chars(at, at + kFixed6Room, double(value), std::chars_format::fixed, 6).ptr;
	if (bits >> 31)
		*at++ = '-';
	// |value| = mantissa / 2^shift, so value x 10^6 = mantissa x 10^6 / 2^shift,
	// rounded half to even as printf rounds the exact value
	const std::uint64_t mantissa = exponent == 0 ? bits & 0x7FFFFF : (bits & 0x7FFFFF) | 0x800000;
	const int shift = exponent == 0 ? 149 : 150 - exponent;
	const std::uint64_t scaled = mantissa * 1'000'000; // below 2^44
	std::uint64_t micros = 0;
	if (shift <= 0) {
		micros = scaled << -shift; // at most 9 places: below 2^53
	} else if (shift < 45) { // from 45 on the value is below half a millionth
		micros = scaled >> shift;
		const std::uint64_t rest = scaled & ((std::uint64_t(1) << shift) - 1), half = std::uint64_t(1) << (shift - 1);
		micros += rest > half || (rest == half && (micros & 1));
	}
	at = std::to_chars(at, at + kFixed6Room, micros / 1'000'000).ptr;
	*at++ = '.';
	std::uint64_t fraction = micros % 1'000'000;
	for (int digit = 5; digit >= 0; --digit, fraction /= 10)
		at[digit] = char('0' + fraction % 10);
	return at + 6;
}

} // namespace zentarra
