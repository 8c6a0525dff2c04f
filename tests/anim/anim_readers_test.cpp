#include "anim/anim_loading.h"
#include "anim/chr0.h"
#include "anim/shp0.h"

#include "anim/skinning.h"
#include "anim_test_util.h"
#include "model/mdl0_reader.h"
#include "support/anim_writer.h"
#include "support/corpus.h"
#include "support/demo_archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace zentarra {
namespace {

using namespace zentarra::testing;
using test::Tracks;

struct Read {
	AnimReadResult result;
	AnimState anim;
	int n = -1;
	std::vector<std::string> names;
	std::vector<std::string> tracks; // per bone as test::Tracks writes them, then the weights of each morph target
};

// Reads the CHR0, or the SHP0 against five position and three normal array names, behind some
// junk, so offsets must be taken from the sub-file.
Read ReadAlone(const Bytes& bytes, bool shape = false)
{
	Bytes file(8 + bytes.size(), 0xEE);
	std::copy(bytes.begin(), bytes.end(), file.begin() + 8);
	ByteView view(file);
	Read read;
	read.anim.nFrames = 12345; // to see that a failure leaves the record alone
	read.anim.vanim.resize(1);
	if (shape)
		read.result = ReadVertexAnimation(view, 8, read.anim, 5, {"base", "up", "Up", "down", "base"}, 3,
			{"nbase", "up", "base"});
	else
		read.result = ReadAnimationAlone(view, 8, read.anim, read.n, read.names);
	for (const BoneAnim& bone : read.anim.bones)
		read.tracks.push_back(Tracks(bone));
	for (const VAnim& entry : read.anim.vanim)
		for (const std::vector<Key>& weight : entry.weightKeys)
			read.tracks.push_back(test::Track(weight));
	return read;
}

// Codes written by hand: scale one 0x8, uniform 0x10, scale Y fixed 0x4000,
// translation 0x1000000 with X, Y, Z fixed 0x380000.
TEST(Chr0Code, EveryKeyFormatAndScaleLayoutInFieldOrder)
{
	std::vector<Chr0Entry> entries = {
		AutoEntry("b", {Keys12({{0.5f, 2}, {3.25f, -1}}), Fixed(7), Keys12({{1, 1}})},
			{Keys4(0.5f, 1, {{5, 0xABC}, {7, 0}}), Fixed(3), Fixed(4)},
			{Fixed(1), Keys6(0.25f, -1, {{0x0043, 10}, {0x0100, 2}}), Fixed(2)}),
		AutoEntry("c", {}, {BytesPerFrame(0.5f, -2, {0, 3, 200}), Fixed(1), Fixed(2)}, {}),
		AutoEntry("d", {}, {Fixed(6), FloatsPerFrame({1.5f, -7, 0.25f}), Fixed(8)}, {}),
		{"one", 0x8, {}},
		{"oneAndUniform", 0x1380018, {Fixed(1), Fixed(2), Fixed(3)}},
		{"uniformFixed", 0x1384010, {Fixed(2.5f), Fixed(4), Fixed(5), Fixed(6)}},
		AutoEntry("uniformKeyed", {Keys12({{0, 1}, {9, 3}})}, {}, {Fixed(7), Fixed(8), Fixed(9)}),
	};
	// then formats that decode nothing, held neutral and reported: keyed scale and rotation (formats
	// 0, 5, 7), translation Y fixed, every keyed field pointing far outside the file; a block of no keys
	const Chr0Field junk = {.offset = 0x7FFFFFF0};
	for (std::uint32_t rotFormat : {0u, 5u, 7u})
		entries.push_back({"b", 0x1900000 | rotFormat << 27, {junk, junk, junk, junk, junk, junk, junk, Fixed(8), junk}});
	entries.push_back(AutoEntry("e", {}, {Keys4(1, 0, {}), Fixed(0), Fixed(0)}, {}));
	const Read read = ReadAlone(BuildCHR0({.frames = 3, .entries = entries}));
	ASSERT_TRUE(read.result.ok) << read.result.message;
	EXPECT_EQ((std::tuple{read.n, read.anim.nFrames, read.names[6], read.result.constantTracks}),
		(std::tuple{11, 3, "uniformKeyed", 25}));
	EXPECT_NE(read.result.message.find("scale X"), std::string::npos) << read.result.message;
	// slopes skipped; 4-byte 0xABC x 0.5 + 1; 6-byte frame words 0x43 and 0x100 are frames 2 and 8
	const std::string held = "0:1|0:1|0:1|0:0|0:0|0:0|0:0|0:";
	EXPECT_EQ(read.tracks, (std::vector<std::string>{"0.5:2 3.25:-1|0:7|1:1|5:1375 7:1|0:3|0:4|0:1|2:1.5 8:-0.5|0:2",
		"0:1|0:1|0:1|0:-2 1:-0.5 2:98|0:1|0:2|0:0|0:0|0:0", "0:1|0:1|0:1|0:6|0:1.5 1:-7 2:0.25|0:8|0:0|0:0|0:0",
		"0:1|0:1|0:1|0:0|0:0|0:0|0:0|0:0|0:0", "0:1|0:1|0:1|0:0|0:0|0:0|0:1|0:2|0:3",
		"0:2.5|0:2.5|0:2.5|0:0|0:0|0:0|0:4|0:5|0:6", "0:1 9:3|0:1 9:3|0:1 9:3|0:0|0:0|0:0|0:7|0:8|0:9", held + "8|0:0",
		held + "8|0:0", held + "8|0:0", held + "0|0:0"}));
}

// Every cut either reads the whole file or changes nothing.
TEST(ReadAnimation, DamagedFilesAreRefusedWhole)
{
	// root: rotation X keyed; arm: constant; one keyed morph target
	const Bytes chr0 = BuildCHR0({.frames = 20,
		.entries = {AutoEntry("root", {}, {Keys12({{0, 0}, {19, 90}}), Fixed(0), Fixed(0)}, {}),
			AutoEntry("arm", {}, {}, {Fixed(1), Fixed(2), Fixed(3)})}});
	const Bytes shp0 = BuildSHP0({.frames = 9, .entries = {{.base = "base", .targets = {{"up", 0, {{0, 0}, {8, 1}}}}}}});
	const auto refused = [](const Read& read) {
		return std::tuple{read.result.ok, read.result.message.empty(), read.anim.nFrames, read.n, read.anim.vanim.size()};
	};
	const auto untouched = std::tuple{false, false, 12345, -1, std::size_t(1)};
	for (const bool shape : {false, true}) {
		const Bytes& good = shape ? shp0 : chr0;
		const Read whole = ReadAlone(good, shape);
		for (std::size_t n = 0; n < good.size(); ++n) {
			const Read cut = ReadAlone(Bytes(good.begin(), good.begin() + std::ptrdiff_t(n)), shape);
			if (cut.result.ok)
				EXPECT_EQ(cut.tracks, whole.tracks) << n;
			else
				EXPECT_EQ(refused(cut), untouched) << n;
		}
	}
	// the names lie behind everything, so cuts never reach these. CHR0: the index group inside the
	// header, the first entry far away, the first key block far away, its key count 0x4002; SHP0: base
	// and target name index 2 (past the table), key count
	constexpr std::size_t kChr0Entries = 0x2C + 0x18 + 2 * 16, kShp0Entry = 0x2C + 0x18 + 16;
	const std::tuple<bool, std::size_t, std::uint8_t> damages[] = {{false, 0x13, 0}, {false, 0x2C + 0x18 + 12, 0x7F},
		{false, kChr0Entries + 8, 0xFF}, {false, kChr0Entries + 2 * 20, 0x40}, {true, kShp0Entry + 9, 2},
		{true, kShp0Entry + 25, 2}, {true, kShp0Entry + 28, 0x7F}};
	for (const auto& [shape, at, value] : damages) {
		Bytes bytes = shape ? shp0 : chr0;
		bytes[at] = value;
		EXPECT_EQ(refused(ReadAlone(bytes, shape)), untouched) << shape << " " << at;
	}
}

TEST(ReadAnimationCorpus, EveryChr0ReadsAsTheInventorySays)
{
	const int animations = ForEachCorpusEntry("CHR0", [](const std::string&, const Bytes& bytes, const nlohmann::json& entry) {
		const Read read = ReadAlone(Bytes(bytes.begin() + entry["offset"].get<std::ptrdiff_t>(), bytes.end()));
		ASSERT_TRUE(read.result.ok && read.result.constantTracks == 0) << read.result.message;
		EXPECT_EQ((std::pair{read.anim.nFrames, read.n}), (std::pair{entry["frames"].get<int>(), entry["entries"].get<int>()}));
		for (const std::string& tracks : read.tracks)
			EXPECT_EQ(("|" + tracks + "|").find("||"), std::string::npos) << tracks; // no track empty
	});
	EXPECT_EQ(animations, 16);
}

TEST(ReadVertexAnimation, NamesResolveExactlyAndMaskBitTModulo32PicksFixedWeights)
{
	Shp0Entry masked = {.base = "nbase", .mask = 0b11};
	std::vector<std::string> weights(4, "0:0"); // the first entry's four fixed weights
	for (int t = 0; t < 34; ++t) {
		masked.targets.push_back({"t" + std::to_string(t), 0.25f * float(t), {{0, 0}, {5, float(t)}}});
		weights.push_back(t < 2 || t > 31 ? "0:" + test::Text(0.25f * float(t)) : "0:0 5:" + std::to_string(t));
	}
	const Bytes shp0 = BuildSHP0({.frames = 29, .entries = {
		{.base = "base", .targets = {{"up"}, {"UP"}, {"down"}, {"nbase"}}, .mask = ~0u}, masked}});
	const Read read = ReadAlone(shp0, true);
	ASSERT_TRUE(read.result.ok) << read.result.message;
	ASSERT_EQ((std::pair{read.anim.nFrames, read.anim.vanim.size()}), (std::pair{29, std::size_t(2)}));
	const VAnim& entry = read.anim.vanim[0];
	// the first of two "base" position arrays; "base" is also normal array 2
	EXPECT_EQ((std::vector{int(entry.shpFlags), entry.vtxArray, entry.nrmArray, entry.nTargets}),
		(std::vector{7, 0, 2, 4}));
	EXPECT_EQ(entry.vtxTarget, (std::vector<int>{1, -1, 3, -1}));
	EXPECT_EQ(entry.nrmTarget, (std::vector<int>{1, -1, -1, 0}));
	EXPECT_EQ((std::pair{read.anim.vanim[1].vtxArray, read.anim.vanim[1].nrmArray}), (std::pair{-1, 0}));
	EXPECT_EQ(read.tracks, weights);
}

// The stored height of the lid's top centre (entry 4 of its array), at frame `frame`.
float LidCentreY(LoadedModel& model, float frame)
{
	model.anim.frame = frame;
	RecalculateModel(model.MD, model.nodelist, model.anim);
	for (const Triangle& tri : model.MD.meshTris.at(1))
		for (const Vertex& v : tri.v)
			if (v.posIndex == 4)
				return v.pos[1];
	return NAN;
}

// The demo crate with its morph target; its bone animations: the demo's
// (40 frames) and one of 12 frames that turns only the lid about Y.
TEST(LoadAnimation, LoadAddReplaceMorphAndRefuseDamage)
{
	// names match exactly: "CRATE_LID" is no bone
	const Chr0Anim lidOnly = {.name = "lid_only", .frames = 12, .entries = {AutoEntry("crate_lid", {},
		{Fixed(0), Keys12({{0, 0}, {11, 45}}), Fixed(0)}, {Fixed(0), Fixed(2), Fixed(-1)}),
		AutoEntry("CRATE_LID", {}, {Fixed(9), Fixed(9), Fixed(9)}, {})}};
	const AnimArchive archive = BuildAnimArchive(DemoModel(), {DemoCHR0(), lidOnly}, {DemoSHP0()});
	ByteView view(archive.bytes);
	LoadedModel model;
	const auto load = [&](int chr0, int add) {
		return LoadAnimation(model, view, archive.chr0[std::size_t(chr0)], chr0 ? "lid_only" : "crate_open", add).ok;
	};
	ASSERT_TRUE(ReadModel(view, archive.model, "crate", model).ok);
	model.anim.playing = 1;
	const AnimLoadResult result = LoadAnimation(model, view, archive.chr0[1], "lid_only", 0);
	ASSERT_TRUE(result.ok && result.message.empty()) << result.message;
	EXPECT_EQ((std::vector{float(model.anim.type), float(model.anim.nFrames), float(model.anim.playing), model.anim.frame}),
		(std::vector{1.0f, 12.0f, 0.0f, 0.0f}));
	// the latch is not named: it holds its bind transform for all 12 frames
	EXPECT_EQ(std::to_string(model.anim.bones.at(3).nFrames) + " " + test::Tracks(model.anim.bones[3]),
		"12 0:1|0:1|0:1|0:0|0:0|0:0|0:0|0:0|0:2");

	// the demo replacing it, the lid again, then the demo added: only bones the lid left constant take its tracks
	ASSERT_TRUE(load(0, 0) && load(1, 0) && load(0, 1));
	EXPECT_EQ((std::vector{model.anim.nFrames, int(model.anim.bones[0].rotKeys[1].size()), model.anim.bones[2].nFrames}),
		(std::vector{-1, 40, 12}));
	EXPECT_EQ(test::Tracks(model.anim.bones[2]).substr(0, 25), "0:1|0:1|0:1|0:0|0:0 11:45");

	ASSERT_TRUE(LoadVertexAnimation(model, view, archive.shp0[0]).ok);
	ASSERT_TRUE(LoadVertexAnimation(model, view, archive.shp0[0]).ok); // again: from the stored shape, not compounded
	EXPECT_EQ((std::pair{LidCentreY(model, 0), LidCentreY(model, 15)}), (std::pair{0.25f, 0.75f}));

	// a bone animation replacing both drops the vertex animation and restores the stored shape
	ASSERT_TRUE(load(1, 0));
	EXPECT_TRUE(model.anim.type == 1 && model.anim.vanim.empty() && model.MD.morph.empty());
	EXPECT_EQ(LidCentreY(model, 0), 0.25f);
	EXPECT_EQ(model.anim.bones[0].rotKeys[1].size(), 1u); // the root back to its bind pose

	LoadedModel none;
	EXPECT_EQ(LoadAnimation(none, view, 0, "a", 0).message, kNoModelLoaded);
	EXPECT_EQ(LoadVertexAnimation(none, view, 0).message, kNoModelLoaded);
}

} // namespace
} // namespace zentarra
