#include "anim/shp0.h"

#include "anim_test_util.h"
#include "support/anim_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace zentarra {
namespace {

using namespace zentarra::testing;

struct Read {
	AnimReadResult result;
	AnimState anim;
};

// Reads the SHP0 behind some junk against position and normal array names cut to nVtx and nNrm.
Read ReadShape(const Bytes& shp0, int nVtx = 5, int nNrm = 3)
{
	Bytes file(4 + shp0.size(), 0xEE);
	std::copy(shp0.begin(), shp0.end(), file.begin() + 4);
	ByteView view(file);
	Read read;
	read.anim.nFrames = 12345; // to see that a failure leaves the record alone
	read.anim.vanim.resize(1);
	read.result = ReadVertexAnimation(view, 4, read.anim, nVtx, {"base", "up", "Up", "down", "base"}, nNrm,
		{"nbase", "up", "base"});
	return read;
}

TEST(ReadVertexAnimation, NamesResolveExactlyAgainstTheModelsOwnArrays)
{
	const Bytes shp0 = BuildSHP0({.frames = 29, .entries = {
		{.base = "base", .targets = {{"up"}, {"UP"}, {"down"}, {"nbase"}}, .mask = ~0u}, {.base = "nbase"}}});
	const Read read = ReadShape(shp0);
	ASSERT_TRUE(read.result.ok) << read.result.message;
	EXPECT_EQ(read.anim.nFrames, 29);
	ASSERT_EQ(read.anim.vanim.size(), 2u);
	const VAnim& entry = read.anim.vanim[0];
	// the first of two "base" position arrays; "base" is also normal array 2
	EXPECT_EQ((std::vector{int(entry.shpFlags), entry.vtxArray, entry.nrmArray, entry.nTargets}),
		(std::vector{7, 0, 2, 4}));
	EXPECT_EQ(entry.vtxTarget, (std::vector<int>{1, -1, 3, -1}));
	EXPECT_EQ(entry.nrmTarget, (std::vector<int>{1, -1, -1, 0}));
	EXPECT_EQ((std::pair{read.anim.vanim[1].vtxArray, read.anim.vanim[1].nrmArray}), (std::pair{-1, 0}));

	const Read fewer = ReadShape(shp0, 3, 0);
	ASSERT_TRUE(fewer.result.ok);
	EXPECT_EQ(fewer.anim.vanim[0].vtxTarget, (std::vector<int>{1, -1, -1, -1}));
	EXPECT_EQ(fewer.anim.vanim[0].nrmArray, -1);
}

TEST(ReadVertexAnimation, MaskBitTModulo32PicksFixedWeights)
{
	Shp0Entry entry = {.base = "base", .mask = 0b11};
	std::vector<std::string> expected;
	for (int t = 0; t < 34; ++t) {
		entry.targets.push_back({"t" + std::to_string(t), 0.25f * float(t), {{0, 0}, {5, float(t)}}});
		expected.push_back("0:0 5:" + std::to_string(t));
	}
	entry.targets[2].keys.clear();
	expected[2] = "";
	const std::pair<int, const char*> fixed[] = {{0, "0:0"}, {1, "0:0.25"}, {32, "0:8"}, {33, "0:8.25"}};
	for (const auto& [t, weight] : fixed)
		expected[std::size_t(t)] = weight;
	const Read read = ReadShape(BuildSHP0({.entries = {entry}}));
	ASSERT_TRUE(read.result.ok) << read.result.message;
	std::vector<std::string> keys;
	for (const std::vector<Key>& weight : read.anim.vanim[0].weightKeys)
		keys.push_back(test::Track(weight));
	EXPECT_EQ(keys, expected);
}

TEST(ReadVertexAnimation, DamagedFilesAreRefusedWhole)
{
	const Bytes good = BuildSHP0({.frames = 9, .entries = {{.base = "base", .targets = {{"up", 0, {{0, 0}, {8, 1}}}}}}});
	constexpr std::size_t kEntry = 0x2C + 0x18 + 16;
	// name count, entry count, base name index (2: past the table), target name index, key count
	const std::pair<std::size_t, std::uint8_t> damages[] = {{0x26, 0x7F}, {0x2C + 6, 0x7F}, {kEntry + 9, 2},
		{kEntry + 24, 0x7F}, {kEntry + 28, 0x7F}};
	for (const auto& [at, value] : damages) {
		Bytes bytes = good;
		bytes[at] = value;
		const Read read = ReadShape(bytes);
		EXPECT_FALSE(read.result.ok) << at;
		EXPECT_FALSE(read.result.message.empty());
		EXPECT_EQ((std::pair{read.anim.nFrames, read.anim.vanim.size()}), (std::pair{12345, std::size_t(1)}));
	}
	for (std::size_t n = 0; n < good.size(); ++n) {
		const Read cut = ReadShape(Bytes(good.begin(), good.begin() + std::ptrdiff_t(n)));
		if (cut.result.ok)
			EXPECT_EQ(test::Track(cut.anim.vanim[0].weightKeys.at(0)), "0:0 8:1") << n;
		else
			EXPECT_EQ(cut.anim.nFrames, 12345) << n;
	}
}

} // namespace
} // namespace zentarra
