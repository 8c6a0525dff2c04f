#include "base/byte_view.h"

#include <gtest/gtest.h>

#include <vector>

namespace zentarra {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Readers, BigEndianZeroExtendedExactBitsAndTheCursor)
{
	const Bytes bytes = {0x80, 0x00, 0xFF, 0xFF, 0xFF, 0xFE, 0x3F, 0x80, 0x00, 0x00, 0x7F, 0x80, 0x00, 0x01, 0x09, 0xFF,
		0xFF, 0xFF};
	ByteView file(bytes);
	EXPECT_EQ(R16(file, 0), 32768u);
	EXPECT_EQ(R16next(file), 65535u);
	EXPECT_EQ(R16next(file), 65534u); // never -2
	EXPECT_EQ(RFloatnext(file), 1.0f);
	EXPECT_EQ(std::bit_cast<std::uint32_t>(RFloatnext(file)), 0x7F800001u); // a signalling NaN keeps its bits
	EXPECT_EQ(R8next(file), 9u);
	EXPECT_EQ(R24next(file), 16777215u); // ends on the last byte
	EXPECT_EQ(file.tell(), bytes.size());
	EXPECT_EQ(RFloat(file, 6), 1.0f);
	EXPECT_FALSE(file.damaged());

	ByteView far(bytes);
	EXPECT_EQ(R32(far, SIZE_MAX - 1), 0u); // no wrap-around
	EXPECT_EQ(R16(far, 0), 0x8000u);       // damage is sticky, reads inside still work
	EXPECT_TRUE(far.damaged());

	const Bytes full = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
	for (std::size_t n = 0; n <= full.size(); ++n) {
		const Bytes prefix(full.begin(), full.begin() + std::ptrdiff_t(n)); // fresh, so ASan sees the end
		ByteView cut(prefix);
		EXPECT_EQ(R32next(cut), n >= 4 ? 0x12345678u : 0u); // nothing partial
		EXPECT_EQ(R32next(cut), n >= 8 ? 0x9ABCDEF0u : 0u);
		EXPECT_EQ(cut.damaged(), n < 8);
	}
}

} // namespace
} // namespace zentarra
