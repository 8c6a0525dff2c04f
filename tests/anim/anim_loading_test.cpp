#include "anim/anim_loading.h"

#include "anim/skinning.h"
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

// Only the lid, 12 frames, rotating about Y from its bind pose.
Chr0Anim LidOnly()
{
	return {.name = "lid_only", .frames = 12,
		.entries = {AutoEntry("crate_lid", {}, {Fixed(0), Keys12({{0, 0}, {11, 45}}), Fixed(0)},
						{Fixed(0), Fixed(2), Fixed(-1)})}};
}

struct Demo {
	AnimArchive archive;
	ByteView view;
	std::unique_ptr<LoadedModel> model = std::make_unique<LoadedModel>();
};

std::unique_ptr<Demo> LoadDemo()
{
	Mdl0Model crate = DemoModel();
	AddDemoMorphTargets(crate);
	auto demo = std::make_unique<Demo>();
	demo->archive = BuildAnimArchive(crate, {DemoCHR0(), LidOnly()}, {DemoSHP0()});
	demo->view = ByteView(demo->archive.bytes);
	EXPECT_TRUE(ReadModel(demo->view, demo->archive.model, *demo->model).ok);
	return demo;
}

// The stored position of the lid's top centre (entry 4 of its array).
float LidCentreY(const LoadedModel& model)
{
	for (const Triangle& tri : model.MD.meshTris.at(1))
		for (const Vertex& v : tri.v)
			if (v.posIndex == 4)
				return v.pos[1];
	return NAN;
}

std::vector<float> PosedPositions(const LoadedModel& model)
{
	std::vector<float> posed;
	for (const auto& mesh : model.MD.meshTris)
		for (const Triangle& tri : mesh)
			for (const Vertex& v : tri.v)
				posed.insert(posed.end(), v.posedPos, v.posedPos + 3);
	return posed;
}

void ExpectSamePose(const std::vector<float>& posed, const std::vector<float>& expected)
{
	ASSERT_EQ(posed.size(), expected.size());
	for (std::size_t i = 0; i < posed.size(); ++i)
		EXPECT_NEAR(posed[i], expected[i], 1e-5f) << i;
}

TEST(LoadAnimation, PausesAtFrameZeroWithEveryBoneTracked)
{
	auto demo = LoadDemo();
	LoadedModel& model = *demo->model;
	const std::vector<float> bind = PosedPositions(model);
	model.anim.playing = 1;
	const AnimLoadResult result = LoadAnimation(model, demo->view, demo->archive.chr0[1], "lid_only", 0);
	ASSERT_TRUE(result.ok) << result.message;
	EXPECT_EQ(result.message, "");
	EXPECT_EQ(model.animname, "lid_only");
	EXPECT_EQ(model.anim.type, 1u);
	EXPECT_EQ((std::vector{model.anim.nFrames, model.anim.playing}), (std::vector{12, 0}));
	EXPECT_EQ(model.anim.frame, 0.0f);
	ASSERT_EQ(model.anim.bones.size(), 4u);
	for (const BoneAnim& bone : model.anim.bones) {
		EXPECT_EQ(bone.loaded, 1);
		EXPECT_EQ(bone.nFrames, 12);
		EXPECT_EQ(bone.frame, 0.0f);
	}
	// the latch is not named: it holds its bind translation (0, 0, 2)
	ASSERT_EQ(model.anim.bones[3].transKeys[2].size(), 1u);
	EXPECT_EQ(model.anim.bones[3].transKeys[2][0].value, 2.0f);
	ExpectSamePose(PosedPositions(model), bind); // the lid's keys start at its bind pose

	model.anim.frame = 11;
	RecalculateModel(model.MD, model.nodelist, model.anim);
	EXPECT_NE(PosedPositions(model), bind);
}

TEST(LoadAnimation, AddThenReplace)
{
	auto demo = LoadDemo();
	LoadedModel& model = *demo->model;
	const std::vector<float> bind = PosedPositions(model);
	ASSERT_TRUE(LoadAnimation(model, demo->view, demo->archive.chr0[0], "crate_open", 0).ok);
	EXPECT_EQ(model.anim.nFrames, 40);
	ExpectSamePose(PosedPositions(model), bind); // the demo starts in its bind pose
	ASSERT_TRUE(LoadAnimation(model, demo->view, demo->archive.chr0[1], "lid_only", 1).ok);
	EXPECT_EQ(model.anim.nFrames, -1);
	EXPECT_EQ(model.anim.bones[0].rotKeys[1].size(), 40u); // the root keeps its sway
	EXPECT_EQ(model.anim.bones[2].nFrames, 40);             // the lid was animated: kept

	ASSERT_TRUE(LoadAnimation(model, demo->view, demo->archive.chr0[1], "lid_only", 0).ok);
	EXPECT_EQ(model.anim.nFrames, 12);
	EXPECT_EQ(model.anim.bones[0].rotKeys[1].size(), 1u); // back to its bind pose
	EXPECT_EQ(model.anim.bones[2].rotKeys[1].size(), 2u);
}

TEST(LoadVertexAnimation, MorphsAndIsDroppedByANewBoneAnimation)
{
	auto demo = LoadDemo();
	LoadedModel& model = *demo->model;
	ASSERT_TRUE(LoadAnimation(model, demo->view, demo->archive.chr0[0], "crate_open", 0).ok);
	model.anim.playing = 1;
	for (int twice = 0; twice < 2; ++twice) {
		const AnimLoadResult result = LoadVertexAnimation(model, demo->view, demo->archive.shp0[0]);
		ASSERT_TRUE(result.ok) << result.message;
		EXPECT_EQ(model.anim.type, 3u);
		EXPECT_EQ((std::vector{model.anim.nFrames, model.anim.playing}), (std::vector{30, 0}));
		ASSERT_EQ(model.MD.morph, (std::vector<std::vector<float>>{{0.0f}}));
		EXPECT_EQ(LidCentreY(model), 0.25f); // a reload starts from the stored shape
		model.anim.frame = 15;
		RecalculateModel(model.MD, model.nodelist, model.anim);
		EXPECT_EQ(LidCentreY(model), 0.75f);
	}

	ASSERT_TRUE(LoadAnimation(model, demo->view, demo->archive.chr0[0], "crate_open", 0).ok);
	EXPECT_EQ(model.anim.type, 1u);
	EXPECT_TRUE(model.anim.vanim.empty() && model.MD.morph.empty());
	EXPECT_EQ(LidCentreY(model), 0.25f);
}

TEST(LoadAnimation, DamagedFilesOrNoModelChangeNothing)
{
	LoadedModel none;
	ByteView nothing;
	EXPECT_EQ(LoadAnimation(none, nothing, 0, "a", 0).message, kNoModelLoaded);
	EXPECT_EQ(LoadVertexAnimation(none, nothing, 0).message, kNoModelLoaded);
	EXPECT_EQ(none.anim.type, 0u);
	EXPECT_EQ(none.anim.frame, -1.0f);

	auto demo = LoadDemo();
	LoadedModel& model = *demo->model;
	ASSERT_TRUE(LoadAnimation(model, demo->view, demo->archive.chr0[0], "crate_open", 0).ok);
	ASSERT_TRUE(LoadVertexAnimation(model, demo->view, demo->archive.shp0[0]).ok);
	model.anim.frame = 7;

	Bytes bad = BuildCHR0(LidOnly());
	bad.at(0x22) = 0x7F; // entry count
	ByteView badView(bad);
	const AnimLoadResult bones = LoadAnimation(model, badView, 0, "bad", 0);
	EXPECT_FALSE(bones.ok);
	EXPECT_EQ(bones.message.rfind("Error: damaged bone animation: ", 0), 0u) << bones.message;
	const AnimLoadResult shape = LoadVertexAnimation(model, demo->view, demo->archive.bytes.size() - 8);
	EXPECT_FALSE(shape.ok);
	EXPECT_EQ(shape.message.rfind("Error: damaged vertex animation: ", 0), 0u) << shape.message;

	EXPECT_EQ(model.animname, "crate_open");
	EXPECT_EQ((std::vector{int(model.anim.type), model.anim.nFrames}), (std::vector{3, 30}));
	EXPECT_EQ(model.anim.frame, 7.0f);
	EXPECT_EQ(model.anim.bones[0].rotKeys[1].size(), 40u);
	EXPECT_EQ(model.anim.vanim.size(), 1u);
	EXPECT_EQ(model.MD.morph.size(), 1u);
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

// Poses the model at every frame: false when a node matrix or a posed
// position is not finite; `moved` when some frame differs from `bind`.
bool PlayEveryFrame(LoadedModel& model, const std::vector<float>& bind, bool& moved)
{
	moved = false;
	bool finite = true;
	for (int f = 0; f < model.anim.nFrames; ++f) {
		model.anim.frame = float(f);
		RecalculateModel(model.MD, model.nodelist, model.anim);
		std::vector<float> posed = PosedPositions(model);
		moved = moved || posed != bind;
		for (const Node& node : model.nodelist)
			posed.insert(posed.end(), node.finalMatrix.begin(), node.finalMatrix.end());
		finite = finite && std::all_of(posed.begin(), posed.end(), [](float v) { return std::isfinite(v); });
	}
	return finite;
}

TEST(LoadAnimationCorpus, SkinnedModelsStayFiniteAtEveryFrame)
{
	struct Case {
		std::string modelFile, model, animFile, anim;
	};
	for (const Case& c : {Case{"brres/human_walk.brres", "human_walk", "brres/human_walk_chr0.brres", "human_walk"},
			 Case{"brres/kuribo.brres", "kuribo", "brres/kuribo.brres", "walk_l"}}) {
		SCOPED_TRACE(c.anim);
		const FileBytes modelFile = ReadWholeFile(kCorpusDir + "/" + c.modelFile);
		const FileBytes animFile = ReadWholeFile(kCorpusDir + "/" + c.animFile);
		ByteView modelView(modelFile.bytes), animView(animFile.bytes);
		auto model = std::make_unique<LoadedModel>();
		ASSERT_TRUE(ReadModel(modelView, CorpusOffset(c.modelFile, c.model, "MDL0"), *model).ok);
		const std::vector<float> bind = PosedPositions(*model);
		const AnimLoadResult result = LoadAnimation(*model, animView, CorpusOffset(c.animFile, c.anim, "CHR0"), c.anim, 0);
		ASSERT_TRUE(result.ok) << result.message;
		EXPECT_EQ(result.message, "");
		bool moved = false;
		EXPECT_TRUE(PlayEveryFrame(*model, bind, moved));
		EXPECT_TRUE(moved);
	}
}

TEST(LoadVertexAnimationCorpus, FlagMorphs)
{
	const std::string file = "brres/FlagB2.brres";
	const FileBytes bytes = ReadWholeFile(kCorpusDir + "/" + file);
	ByteView view(bytes.bytes);
	auto model = std::make_unique<LoadedModel>();
	ASSERT_TRUE(ReadModel(view, CorpusOffset(file, "FlagB2", "MDL0"), *model).ok);
	const std::vector<float> bind = PosedPositions(*model);
	const AnimLoadResult result = LoadVertexAnimation(*model, view, CorpusOffset(file, "FlagB2", "SHP0"));
	ASSERT_TRUE(result.ok) << result.message;
	ASSERT_EQ(model->anim.vanim.size(), 1u);
	EXPECT_EQ(model->anim.nFrames, 29);
	EXPECT_GE(model->anim.vanim[0].vtxArray, 0);
	EXPECT_EQ(model->MD.morph.at(0).size(), 29u);
	bool morphed = false;
	EXPECT_TRUE(PlayEveryFrame(*model, bind, morphed));
	EXPECT_TRUE(morphed);
}

} // namespace
} // namespace zentarra
