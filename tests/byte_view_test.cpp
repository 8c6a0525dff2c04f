#include "base/byte_view.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zentarra {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Readers, AssembleBigEndianAndZeroExtend)
{
	const Bytes bytes = {0x80, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0x3F, 0x80, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00};
	ByteView file(bytes);
	EXPECT_EQ(R16(file, 0), 32768u);
	EXPECT_EQ(R32(file, 2), 0xFFFFFFFFu);
	EXPECT_EQ(R16next(file), 65534u); // never -2
	EXPECT_EQ(int16_t(R16(file, 6)), -2); // callers narrow for signed values
	EXPECT_EQ(R24next(file), 0x3F8000u);
	EXPECT_EQ(RFloat(file, 8), 1.0f);
	EXPECT_EQ(RFloatnext(file), -2.0f);
	EXPECT_EQ(file.tell(), 16u);
	EXPECT_FALSE(file.damaged());

	const Bytes ones = {0xFF, 0xFF, 0xFF};
	ByteView three(ones);
	EXPECT_EQ(R24next(three), 16777215u);

	// a signalling NaN and a negative zero keep their exact bits
	const Bytes floats = {0x7F, 0x80, 0x00, 0x01, 0x80, 0x00, 0x00, 0x00};
	ByteView bits(floats);
	EXPECT_EQ(std::bit_cast<std::uint32_t>(RFloat(bits, 0)), 0x7F800001u);
	EXPECT_EQ(std::bit_cast<std::uint32_t>(RFloatnext(bits)), 0x80000000u);
}

TEST(Readers, AbsoluteFormSeeksThenNextFormWalksOn)
{
	const Bytes bytes = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
	ByteView file(bytes);
	EXPECT_EQ(R16(file, 4), 0x0405u);
	EXPECT_EQ(R8next(file), 6u);
	EXPECT_EQ(R24next(file), 0x070809u);
	EXPECT_EQ(R32(file, 0), 0x00010203u);
	EXPECT_EQ(file.tell(), 4u);
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
}

TEST(Readers, EveryPrefixReadsSafely)
{
	const Bytes full = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
	for (std::size_t n = 0; n <= full.size(); ++n) {
		const Bytes prefix(full.begin(), full.begin() + n); // fresh, so ASan sees the end
		ByteView file(prefix);
		const std::uint32_t first = R32next(file);
		const std::uint32_t second = R32next(file);
		EXPECT_EQ(first, n >= 4 ? 0x12345678u : 0u);
		EXPECT_EQ(second, n >= 8 ? 0x9ABCDEF0u : 0u);
		EXPECT_EQ(file.damaged(), n < 8);
	}
}

Bytes NameBytes(std::size_t length, bool terminated)
{
	Bytes bytes(length, 'a');
	for (std::size_t i = 0; i < length; ++i)
		bytes[i] = std::uint8_t('a' + i % 26);
	if (terminated)
		bytes.push_back(0);
	bytes.push_back('Z'); // something after the name
	return bytes;
}

TEST(ScanName, StopsBehindTheTerminator)
{
	const Bytes bytes = {'a', 'b', 0, 'c', 0};
	ByteView file(bytes);
	EXPECT_EQ(ScanName(file), "ab");
	EXPECT_EQ(file.tell(), 3u);
	EXPECT_EQ(ScanName(file), "c");
	EXPECT_FALSE(file.damaged());
}

TEST(ScanName, KeepsAtMost255Characters)
{
	const Bytes exact = NameBytes(255, true);
	ByteView a(exact);
	EXPECT_EQ(ScanName(a).size(), 255u);
	EXPECT_FALSE(a.damaged());

	const Bytes longer = NameBytes(300, true);
	ByteView b(longer);
	const std::string name = ScanName(b);
	EXPECT_EQ(name, std::string(longer.begin(), longer.begin() + 255));
	EXPECT_EQ(b.tell(), 255u); // left inside the name
	EXPECT_FALSE(b.damaged());
}

TEST(ScanName, NameRunningIntoTheEndKeepsWhatItHas)
{
	const Bytes bytes = {'x', 'y', 'z'};
	ByteView file(bytes);
	file.seek(1);
	EXPECT_EQ(ScanName(file), "yz");
	EXPECT_TRUE(file.damaged());

	ByteView past(bytes);
	past.seek(3);
	EXPECT_EQ(ScanName(past), "");
	EXPECT_TRUE(past.damaged());

	ByteView empty;
	EXPECT_EQ(ScanName(empty), "");
}

} // namespace
} // namespace zentarra
