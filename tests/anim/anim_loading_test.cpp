#include "anim/anim_loading.h"

#include "anim/skinning.h"
#include "anim_test_util.h"
#include "model/mdl0_reader.h"
#include "support/anim_writer.h"
#include "support/corpus.h"
#include "support/demo_archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace zentarra {
namespace {

using namespace zentarra::testing;

std::vector<float> PosedPositions(const LoadedModel& model)
{
	std::vector<float> posed;
	for (const auto& mesh : model.MD.meshTris)
		for (const Triangle& tri : mesh)
			for (const Vertex& v : tri.v)
				posed.insert(posed.end(), v.posedPos, v.posedPos + 3);
	return posed;
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
	Mdl0Model crate = DemoModel();
	AddDemoMorphTargets(crate);
	// names match exactly: "CRATE_LID" is no bone
	const Chr0Anim lidOnly = {.name = "lid_only", .frames = 12, .entries = {AutoEntry("crate_lid", {},
		{Fixed(0), Keys12({{0, 0}, {11, 45}}), Fixed(0)}, {Fixed(0), Fixed(2), Fixed(-1)}),
		AutoEntry("CRATE_LID", {}, {Fixed(9), Fixed(9), Fixed(9)}, {})}};
	const AnimArchive archive = BuildAnimArchive(crate, {DemoCHR0(), lidOnly}, {DemoSHP0()});
	ByteView view(archive.bytes);
	auto loaded = std::make_unique<LoadedModel>();
	LoadedModel& model = *loaded;
	const auto load = [&](int chr0, int add) {
		return LoadAnimation(model, view, archive.chr0[std::size_t(chr0)], chr0 ? "lid_only" : "crate_open", add).ok;
	};
	ASSERT_TRUE(ReadModel(view, archive.model, model).ok);
	const std::vector<float> bind = PosedPositions(model);
	model.anim.playing = 1;
	const AnimLoadResult result = LoadAnimation(model, view, archive.chr0[1], "lid_only", 0);
	ASSERT_TRUE(result.ok && result.message.empty()) << result.message;
	EXPECT_EQ((std::vector{float(model.anim.type), float(model.anim.nFrames), float(model.anim.playing), model.anim.frame}),
		(std::vector{1.0f, 12.0f, 0.0f, 0.0f}));
	// the latch is not named: it holds its bind transform for all 12 frames
	EXPECT_EQ(std::to_string(model.anim.bones.at(3).nFrames) + " " + test::Tracks(model.anim.bones[3]),
		"12 0:1|0:1|0:1|0:0|0:0|0:0|0:0|0:0|0:2");
	EXPECT_EQ(PosedPositions(model), bind); // the lid's keys start at its bind pose

	// the demo replacing it, the lid again, then the demo added: only bones the lid left constant take its tracks
	ASSERT_TRUE(load(0, 0) && load(1, 0) && load(0, 1));
	EXPECT_EQ((std::vector{model.anim.nFrames, int(model.anim.bones[0].rotKeys[1].size()), model.anim.bones[2].nFrames}),
		(std::vector{-1, 40, 12}));
	EXPECT_EQ(test::Tracks(model.anim.bones[2]).substr(0, 25), "0:1|0:1|0:1|0:0|0:0 11:45");

	ASSERT_TRUE(LoadVertexAnimation(model, view, archive.shp0[0]).ok);
	ASSERT_TRUE(LoadVertexAnimation(model, view, archive.shp0[0]).ok); // again: from the stored shape, not compounded
	EXPECT_EQ((std::pair{LidCentreY(model, 0), LidCentreY(model, 15)}), (std::pair{0.25f, 0.75f}));

	// damaged files change nothing
	Bytes bad = BuildCHR0(lidOnly);
	bad.at(0x22) = 0x7F; // entry count
	ByteView badView(bad);
	EXPECT_EQ(LoadAnimation(model, badView, 0, "bad", 0).message.rfind("Error: damaged bone animation: ", 0), 0u);
	EXPECT_EQ(LoadVertexAnimation(model, view, archive.bytes.size() - 8).message.rfind("Error: damaged vertex animation: ",
		0), 0u);
	EXPECT_EQ(model.animname, "crate_open");
	EXPECT_EQ((std::vector{float(model.anim.type), float(model.anim.nFrames), model.anim.frame, model.MD.morph.at(0).at(0)}),
		(std::vector{3.0f, 30.0f, 15.0f, 1.0f}));

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
