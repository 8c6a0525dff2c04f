#include "anim/shp0.h"

#include "support/anim_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace zentarra {
namespace {

using namespace zentarra::testing;

const std::vector<std::string> kPositions = {"base", "up", "Up", "down", "base"};
const std::vector<std::string> kNormals = {"nbase", "up", "base"};

struct Read {
	AnimReadResult result;
	AnimState anim;
};

// Reads the SHP0 behind some junk, against the tables above cut to nVtx and nNrm.
Read ReadShape(const Bytes& shp0, int nVtx = 5, int nNrm = 3)
{
	Bytes file(4 + shp0.size(), 0xEE);
	std::copy(shp0.begin(), shp0.end(), file.begin() + 4);
	ByteView view(file);
	Read read;
	read.anim.nFrames = 12345; // to see that a failure leaves the record alone
	read.anim.vanim.resize(1);
	read.result = ReadVertexAnimation(view, 4, read.anim, nVtx, kPositions, nNrm, kNormals);
	return read;
}

TEST(ReadVertexAnimation, NamesResolveExactlyAgainstBothTables)
{
	const Shp0Anim shp0 = {.frames = 29, .entries = {
		{.base = "base", .targets = {{"up"}, {"UP"}, {"down"}, {"nbase"}}, .mask = ~0u},
		{.base = "nbase", .targets = {}},
	}};
	const Read read = ReadShape(BuildSHP0(shp0));
	ASSERT_TRUE(read.result.ok) << read.result.message;
	EXPECT_EQ(read.anim.nFrames, 29);
	ASSERT_EQ(read.anim.vanim.size(), 2u);
	const VAnim& entry = read.anim.vanim[0];
	EXPECT_EQ(entry.shpFlags, 7u);
	EXPECT_EQ(entry.vtxArray, 0); // the first of two
	EXPECT_EQ(entry.nrmArray, 2);
	EXPECT_EQ(entry.nTargets, 4);
	EXPECT_EQ(entry.vtxTarget, (std::vector<int>{1, -1, 3, -1}));
	EXPECT_EQ(entry.nrmTarget, (std::vector<int>{1, -1, -1, 0}));
	EXPECT_EQ(read.anim.vanim[1].vtxArray, -1);
	EXPECT_EQ(read.anim.vanim[1].nrmArray, 0);

	// only the model's own arrays count
	const Read fewer = ReadShape(BuildSHP0(shp0), 3, 0);
	ASSERT_TRUE(fewer.result.ok);
	EXPECT_EQ(fewer.anim.vanim[0].vtxTarget, (std::vector<int>{1, -1, -1, -1}));
	EXPECT_EQ(fewer.anim.vanim[0].nrmArray, -1);
}

TEST(ReadVertexAnimation, MaskBitTModulo32PicksFixedWeights)
{
	Shp0Entry entry = {.base = "base", .mask = 0b11};
	for (int t = 0; t < 34; ++t)
		entry.targets.push_back({"t" + std::to_string(t), 0.25f * float(t), {{0, 0}, {5, float(t)}}});
	entry.targets[2].keys.clear();
	const Read read = ReadShape(BuildSHP0({.entries = {entry}}));
	ASSERT_TRUE(read.result.ok) << read.result.message;
	const std::vector<std::vector<Key>>& keys = read.anim.vanim[0].weightKeys;
	ASSERT_EQ(keys.size(), 34u);
	for (int t : {0, 1, 32, 33}) {
		ASSERT_EQ(keys[std::size_t(t)].size(), 1u) << t;
		EXPECT_EQ(keys[std::size_t(t)][0].value, 0.25f * float(t));
	}
	EXPECT_TRUE(keys[2].empty());
	ASSERT_EQ(keys[31].size(), 2u);
	EXPECT_EQ(keys[31][1].frame, 5.0f);
	EXPECT_EQ(keys[31][1].value, 31.0f);
}

TEST(ReadVertexAnimation, DamagedFilesAreRefusedWhole)
{
	const Shp0Anim shp0 = {.frames = 9, .entries = {{.base = "base", .targets = {{"up", 0, {{0, 0}, {8, 1}}}}}}};
	const Bytes good = BuildSHP0(shp0);
	constexpr std::size_t kEntry = 0x2C + 0x18 + 16;
	std::vector<Bytes> damaged(5, good);
	Patch16(damaged[0], 0x26, 0x7FFF);      // name count
	Patch16(damaged[1], 0x2C + 6, 0x7FFF);  // entry count
	Patch16(damaged[2], kEntry + 8, 2);     // base name index
	Patch16(damaged[3], kEntry + 24, 0x7FFF); // target name index
	Patch16(damaged[4], kEntry + 28, 0x7FFF); // key count
	for (const Bytes& bytes : damaged) {
		const Read read = ReadShape(bytes);
		EXPECT_FALSE(read.result.ok);
		EXPECT_FALSE(read.result.message.empty());
		EXPECT_EQ(read.anim.nFrames, 12345);
		EXPECT_EQ(read.anim.vanim.size(), 1u);
	}
	for (std::size_t n = 0; n < good.size(); ++n) {
		const Read cut = ReadShape(Bytes(good.begin(), good.begin() + std::ptrdiff_t(n)));
		if (cut.result.ok) {
			ASSERT_EQ(cut.anim.vanim[0].weightKeys[0].size(), 2u);
		} else {
			EXPECT_EQ(cut.anim.nFrames, 12345) << n;
		}
	}
}

} // namespace
} // namespace zentarra
