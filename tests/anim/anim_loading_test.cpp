#include "anim/anim_loading.h"

#include "anim/skinning.h"
#include "anim_test_util.h"
#include "model/mdl0_reader.h"
#include "support/anim_writer.h"
#include "support/corpus.h"
#include "support/demo_archive.h"

#include <gtest/gtest.h>

#include <algorithm>
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
	const Chr0Anim lidOnly = {.name = "lid_only", .frames = 12, .entries = {AutoEntry("crate_lid", {},
		{Fixed(0), Keys12({{0, 0}, {11, 45}}), Fixed(0)}, {Fixed(0), Fixed(2), Fixed(-1)})}};
	const AnimArchive archive = BuildAnimArchive(crate, {DemoCHR0(), lidOnly}, {DemoSHP0()});
	ByteView view(archive.bytes);
	auto loaded = std::make_unique<LoadedModel>();
	LoadedModel& model = *loaded;
	const auto load = [&](int chr0, int add) {
		return LoadAnimation(model, view, archive.chr0[std::size_t(chr0)], chr0 ? "lid_only" : "crate_open", add);
	};
	ASSERT_TRUE(ReadModel(view, archive.model, model).ok);
	const std::vector<float> bind = PosedPositions(model);
	model.anim.playing = 1;
	const AnimLoadResult result = load(1, 0);
	ASSERT_TRUE(result.ok) << result.message;
	EXPECT_EQ(result.message, "");
	EXPECT_EQ(model.animname, "lid_only");
	EXPECT_EQ((std::vector{int(model.anim.type), model.anim.nFrames, model.anim.playing}), (std::vector{1, 12, 0}));
	EXPECT_EQ(model.anim.frame, 0.0f);
	ASSERT_EQ(model.anim.bones.size(), 4u);
	for (const BoneAnim& bone : model.anim.bones)
		EXPECT_EQ((std::vector{float(bone.loaded), float(bone.nFrames), bone.frame}), (std::vector{1.0f, 12.0f, 0.0f}));
	// the latch is not named: it holds its bind transform
	EXPECT_EQ(test::Tracks(model.anim.bones[3]), "0:1|0:1|0:1|0:0|0:0|0:0|0:0|0:0|0:2");
	EXPECT_EQ(PosedPositions(model), bind); // the lid's keys start at its bind pose

	// the demo, then the lid added: only the lid was animated, so nothing changes hands
	ASSERT_TRUE(load(0, 0).ok);
	EXPECT_EQ(PosedPositions(model), bind);
	ASSERT_TRUE(load(1, 1).ok);
	EXPECT_EQ(model.anim.nFrames, -1);
	EXPECT_EQ((std::vector{model.anim.bones[0].rotKeys[1].size(), std::size_t(model.anim.bones[2].nFrames)}),
		(std::vector<std::size_t>{40, 40}));

	// a vertex animation, loaded twice: each load starts from the stored shape
	for (int twice = 0; twice < 2; ++twice) {
		ASSERT_TRUE(LoadVertexAnimation(model, view, archive.shp0[0]).ok);
		EXPECT_EQ((std::vector{int(model.anim.type), model.anim.nFrames, model.anim.playing}), (std::vector{3, 30, 0}));
		ASSERT_EQ(model.MD.morph, (std::vector<std::vector<float>>{{0.0f}}));
		EXPECT_EQ(LidCentreY(model, 0), 0.25f);
		EXPECT_EQ(LidCentreY(model, 15), 0.75f);
	}

	// damaged files change nothing
	Bytes bad = BuildCHR0(lidOnly);
	bad.at(0x22) = 0x7F; // entry count
	ByteView badView(bad);
	EXPECT_EQ(LoadAnimation(model, badView, 0, "bad", 0).message.rfind("Error: damaged bone animation: ", 0), 0u);
	EXPECT_EQ(LoadVertexAnimation(model, view, archive.bytes.size() - 8).message.rfind("Error: damaged vertex animation: ",
		0), 0u);
	EXPECT_EQ(model.animname, "lid_only");
	EXPECT_EQ((std::vector{int(model.anim.type), model.anim.nFrames}), (std::vector{3, 30}));
	EXPECT_EQ((std::vector{model.anim.frame, model.MD.morph.at(0).at(0)}), (std::vector{15.0f, 1.0f}));

	// a bone animation replacing both drops the vertex animation and restores the stored shape
	ASSERT_TRUE(load(1, 0).ok);
	EXPECT_EQ((std::vector{int(model.anim.type), model.anim.nFrames}), (std::vector{1, 12}));
	EXPECT_TRUE(model.anim.vanim.empty() && model.MD.morph.empty());
	EXPECT_EQ(LidCentreY(model, 0), 0.25f);
	EXPECT_EQ(model.anim.bones[0].rotKeys[1].size(), 1u); // the root back to its bind pose

	LoadedModel none;
	EXPECT_EQ(LoadAnimation(none, view, 0, "a", 0).message, kNoModelLoaded);
	EXPECT_EQ(LoadVertexAnimation(none, view, 0).message, kNoModelLoaded);
	EXPECT_EQ((std::pair{none.anim.type, none.anim.frame}), (std::pair{0u, -1.0f}));
}

// The offset of the named sub-file of an archive in the inventory.
std::size_t CorpusOffset(const std::string& file, const std::string& name, const std::string& kind)
{
	for (const nlohmann::json& archive : CorpusInventory())
		if (archive["file"] == file)
			for (const nlohmann::json& entry : archive["subfiles"])
				if (entry["name"] == name && entry["kind"] == kind)
					return entry["offset"].get<std::size_t>();
	ADD_FAILURE() << file << " " << name << " missing";
	return 0;
}

// Real skinned models with their walks, and a flag with its vertex animation
// (kind SHP0): every frame's node matrices and posed positions finite, some frame moved.
TEST(LoadAnimationCorpus, RealAnimationsStayFiniteAtEveryFrame)
{
	struct Case {
		std::string modelFile, model, animFile, anim, kind;
	};
	for (const Case& c : {Case{"brres/human_walk.brres", "human_walk", "brres/human_walk_chr0.brres", "human_walk", "CHR0"},
			 Case{"brres/kuribo.brres", "kuribo", "brres/kuribo.brres", "walk_l", "CHR0"},
			 Case{"brres/FlagB2.brres", "FlagB2", "brres/FlagB2.brres", "FlagB2", "SHP0"}}) {
		SCOPED_TRACE(c.anim);
		const FileBytes modelFile = ReadWholeFile(kCorpusDir + "/" + c.modelFile);
		const FileBytes animFile = ReadWholeFile(kCorpusDir + "/" + c.animFile);
		ByteView modelView(modelFile.bytes), animView(animFile.bytes);
		auto model = std::make_unique<LoadedModel>();
		ASSERT_TRUE(ReadModel(modelView, CorpusOffset(c.modelFile, c.model, "MDL0"), *model).ok);
		const std::vector<float> bind = PosedPositions(*model);
		const std::size_t offset = CorpusOffset(c.animFile, c.anim, c.kind);
		const AnimLoadResult result = c.kind == "CHR0" ? LoadAnimation(*model, animView, offset, c.anim, 0)
													   : LoadVertexAnimation(*model, animView, offset);
		ASSERT_TRUE(result.ok) << result.message;
		EXPECT_EQ(result.message, "");
		if (c.kind == "SHP0") {
			ASSERT_EQ(model->anim.vanim.size(), 1u);
			EXPECT_GE(model->anim.vanim[0].vtxArray, 0);
			EXPECT_EQ((std::pair{model->anim.nFrames, model->MD.morph.at(0).size()}), (std::pair{29, std::size_t(29)}));
		}
		bool moved = false;
		for (int f = 0; f < model->anim.nFrames; ++f) {
			model->anim.frame = float(f);
			RecalculateModel(model->MD, model->nodelist, model->anim);
			std::vector<float> posed = PosedPositions(*model);
			moved = moved || posed != bind;
			for (const Node& node : model->nodelist)
				posed.insert(posed.end(), node.finalMatrix.begin(), node.finalMatrix.end());
			ASSERT_TRUE(std::all_of(posed.begin(), posed.end(), [](float v) { return std::isfinite(v); })) << f;
		}
		EXPECT_TRUE(moved);
	}
}

} // namespace
} // namespace zentarra
