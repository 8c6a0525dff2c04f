#include "base/byte_view.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zentarra {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Readers, BigEndianZeroExtendedExactBitsAndTheCursor)
{
	const Bytes bytes = {0x80, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0x3F, 0x80, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00,
		0x7F, 0x80, 0x00, 0x01, 0x80, 0x00, 0x00, 0x00, 0x09, 0xFF, 0xFF, 0xFF};
	ByteView file(bytes);
	EXPECT_EQ(R16(file, 0), 32768u);
	EXPECT_EQ(R32(file, 2), 0xFFFFFFFFu);
	EXPECT_EQ(R16next(file), 65534u); // never -2
	EXPECT_EQ(RFloat(file, 8), 1.0f);
	EXPECT_EQ(RFloatnext(file), -2.0f);
	// a signalling NaN and a negative zero keep their exact bits
	EXPECT_EQ(std::bit_cast<std::uint32_t>(RFloatnext(file)), 0x7F800001u);
	EXPECT_EQ(std::bit_cast<std::uint32_t>(RFloatnext(file)), 0x80000000u);
	EXPECT_EQ(R8next(file), 9u);
	EXPECT_EQ(R24next(file), 16777215u); // ends on the last byte
	EXPECT_EQ(file.tell(), bytes.size());
	file.seek(8);
	EXPECT_EQ(R24next(file), 0x3F8000u);
	EXPECT_FALSE(file.damaged());
}

TEST(Readers, PastTheEndYieldZeroAndMarkDamage)
{
	const Bytes bytes = {1, 2, 3};
	ByteView file(bytes);
	EXPECT_EQ(R32(file, 0), 0u); // only 3 bytes: nothing partial
	EXPECT_TRUE(file.damaged());

	ByteView other(bytes);
	EXPECT_EQ(R16(other, 1), 0x0203u);
	EXPECT_FALSE(other.damaged());
	EXPECT_EQ(R8next(other), 0u);
	EXPECT_TRUE(other.damaged());
	EXPECT_EQ(R16(other, 0), 0x0102u); // damage is sticky, reads inside still work
	EXPECT_TRUE(other.damaged());

	ByteView far(bytes);
	EXPECT_EQ(R32(far, SIZE_MAX - 1), 0u); // no wrap-around
	EXPECT_EQ(R16next(far), 0u);
	EXPECT_EQ(RFloat(far, 1000), 0.0f);
	EXPECT_TRUE(far.damaged());

	ByteView empty;
	EXPECT_EQ(R32next(empty), 0u);
	EXPECT_TRUE(empty.damaged());

	const Bytes full = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
	for (std::size_t n = 0; n <= full.size(); ++n) {
		const Bytes prefix(full.begin(), full.begin() + std::ptrdiff_t(n)); // fresh, so ASan sees the end
		ByteView cut(prefix);
		EXPECT_EQ(R32next(cut), n >= 4 ? 0x12345678u : 0u);
		EXPECT_EQ(R32next(cut), n >= 8 ? 0x9ABCDEF0u : 0u);
		EXPECT_EQ(cut.damaged(), n < 8);
	}
}

// `length` letters, maybe a terminator, then something after the name.
Bytes Letters(std::size_t length, bool terminated)
{
	Bytes bytes;
	for (std::size_t i = 0; i < length; ++i)
		bytes.push_back(std::uint8_t('a' + i % 26));
	if (terminated)
		bytes.push_back(0);
	bytes.push_back('Z');
	return bytes;
}

TEST(ScanName, StopsBehindTheTerminatorAtMost255CharactersOrAtTheEnd)
{
	const struct {
		Bytes bytes;
		std::size_t start;
		std::size_t length; // of the name, a prefix of the bytes from the start
		std::size_t tell;
		bool damaged;
	} cases[] = {
		{{'a', 'b', 0, 'c', 0}, 0, 2, 3, false},
		{{'a', 'b', 0, 'c', 0}, 3, 1, 5, false},
		{Letters(255, true), 0, 255, 255, false},
		{Letters(300, true), 0, 255, 255, false}, // left inside the name
		{{'x', 'y', 'z'}, 1, 2, 3, true},         // the name runs into the end
		{{'x', 'y', 'z'}, 3, 0, 3, true},
		{{}, 0, 0, 0, true},
	};
	for (const auto& c : cases) {
		ByteView file(c.bytes);
		file.seek(c.start);
		const auto from = c.bytes.begin() + std::ptrdiff_t(c.start);
		EXPECT_EQ(ScanName(file), std::string(from, from + std::ptrdiff_t(c.length))) << c.start;
		EXPECT_EQ(file.tell(), c.tell) << c.length;
		EXPECT_EQ(file.damaged(), c.damaged) << c.length;
	}
}

} // namespace
} // namespace zentarra
