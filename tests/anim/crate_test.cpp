#include "anim/bone_matrices.h"
#include "anim/math3d.h"
#include "anim/playback.h"
#include "anim/pose.h"
#include "anim/skinning.h"

#include "anim_test_util.h"
#include "base/byte_view.h"
#include "model/mdl0_reader.h"
#include "support/demo_archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace zentarra {
namespace {

std::uint32_t Bits(float value) { return std::bit_cast<std::uint32_t>(value); }

// A root, a chain of two below it, a branch off the root, and a weighted node
// blending the chain's middle (0.25) and the branch (0.75); no transform is trivial.
std::vector<Node> SmallSkeleton()
{
	return {{.bone = 0, .rot = {0, 0, 10}, .trans = {0, 1, 0}, .wNode = {}, .weight = {}},
		{.parent = 0, .bone = 1, .scale = {1, 1.5f, 1}, .rot = {20, -30, 45}, .trans = {0, 2, 0}, .wNode = {}, .weight = {}},
		{.parent = 1, .bone = 2, .rot = {0, 90, 0}, .trans = {1, 0, 0.25f}, .wNode = {}, .weight = {}},
		{.parent = 0, .bone = 3, .scale = {0.5f, 0.5f, -0.5f}, .rot = {-15, 60, 5}, .trans = {-1, 0.5f, 0}, .wNode = {},
			.weight = {}},
		{.nWeights = 2, .wNode = {1, 3}, .weight = {0.25f, 0.75f}}};
}

// a x b, through the product under test
Matrix34 Product(const Matrix34& a, Matrix34 b)
{
	MultiplyMatrixL(a, b);
	return b;
}

// Element by element within the tolerance, equal as floats (so -0 matches 0) unless one is given.
void ExpectMatrix(const Matrix34& actual, const Matrix34& expected, float tolerance = 0)
{
	for (int e = 0; e < 12; ++e)
		EXPECT_NEAR(actual[e], expected[e], tolerance) << "element " << e;
}

void ExpectVec(const float* actual, Vec3 expected, float tolerance = 0)
{
	for (int i = 0; i < 3; ++i)
		EXPECT_NEAR(actual[i], expected[i], tolerance) << "component " << i;
}

constexpr int kLid = 2; // bone and node of the crate's lid; bones 0..3 sit on nodes 0..3

// The demo crate in its bind pose. Its lid (bone 2, origin at (0, 2, -1))
// carries the latch (bone 3) and shares the hinge node 4 half and half with
// the body.
class Posing : public ::testing::Test {
protected:
	void SetUp() override
	{
		const testing::ModelArchive archive = testing::BuildModelArchive(testing::DemoModel());
		ByteView view(archive.bytes);
		ASSERT_TRUE(ReadModel(view, archive.offset, "crate", model).ok);
	}

	// The posed position of the first corner of mesh `mesh` stored at `posIndex` on `node`.
	const float* Posed(int mesh, int posIndex, int node) const
	{
		for (const Triangle& tri : model.MD.meshTris[std::size_t(mesh)])
			for (const Vertex& v : tri.v)
				if (v.posIndex == posIndex && v.node == node)
					return v.posedPos;
		throw std::logic_error("no such corner");
	}

	std::vector<float> CurRot(int node) const
	{
		const float* rot = model.nodelist[std::size_t(node)].curRot;
		return {rot[0], rot[1], rot[2]};
	}

	LoadedModel model;
	AnimState& anim = model.anim;
};

TEST(InterpolateFrame, LinearBetweenKeysElseTheLastValue)
{
	const std::vector<Key> two = {{0, 10}, {10, 20}}, step = {{0, 1}, {5, 2}, {5, 7}, {9, 7}}, single = {{100, 42}}, none;
	// two keys on one frame: no division by zero; a single key's frame is never read
	const std::tuple<const std::vector<Key>&, float, float> cases[] = {{two, 12, 20}, {two, -3, 20}, {step, 5, 2},
		{single, -7.5f, 42}, {none, 3, 0}};
	for (const auto& [keys, frame, value] : cases)
		EXPECT_EQ(InterpolateFrame(keys, frame), value) << "frame " << frame << ", " << keys.size() << " keys";
	// t = 4.5/7 rounded to float, then (1 - t) * v0 + v1 * t; v0 + (v1 - v0) * t is one unit higher
	EXPECT_EQ(Bits(InterpolateFrame(std::vector<Key>{{0, 0.1f}, {7, 1.3f}}, 4.5f)), 0x3F5F15F0u);
	// the difference is taken first: target * w - base * w ends one unit lower
	float one[3] = {0.1f, 0, 0};
	BlendVectors(one, 0.1f, 0, 0, 0.3f, 0, 0, 0.3f);
	EXPECT_EQ(Bits(one[0]), 0x3E23D70Bu);
}

// Sines and cosines in double rounded to float, products grouped as written,
// reciprocals of the scale in float: float trig, another grouping, a division
// or a wrong sign changes these bits.
TEST(CalcNodeMatrix, SameBitsAsTheStatedArithmeticAndInverses)
{
	const Transfo t{{3.09f, 2.42f, 3.53f}, {328.8f, -97.1f, -124.7f}, {-1.36f, 5.42f, 6.34f}};
	using Words = std::array<std::uint32_t, 12>;
	Node node;
	CalcNodeMatrix(node, t);
	ExpectMatrix(node.matrix, std::bit_cast<Matrix34>(Words{0x3E5EA469, 0x3F7E5EA9, 0x404D624A, 0xBFAE147B, 0x3EA0C4A4,
		0xC00CDFBC, 0x3FB6103D, 0x40AD70A4, 0x40443E5A, 0x3E1EAB35, 0xBEBF14EF, 0x40CAE148}));
	Matrix34 reverse;
	CalcReverseMatrix(reverse, t);
	ExpectMatrix(reverse, std::bit_cast<Matrix34>(Words{0x3CBA8B30, 0x3D06B3A1, 0x3EA46CDC, 0xC00BBB87, 0x3E2DBCEB,
		0xBEC07007, 0x3CD8BEED, 0x40066895, 0x3E83DBB1, 0x3DE9C5BE, 0xBCF55A26, 0xBDA0DAE2}));
}

TEST(CalcNodeFinalMatrix, ChainsFromTheRootAndBaseUndoesTheBindPose)
{
	std::vector<Node> nodes = SmallSkeleton();
	BRMDL none;
	ResetBones(none, nodes); // the bind pose as loading computes it
	// root x (parent x node): the grouping fixes the bits
	ExpectMatrix(nodes[2].finalMatrix, Product(nodes[0].matrix, Product(nodes[1].matrix, nodes[2].matrix)));
	ExpectMatrix(Product(nodes[2].finalMatrix, nodes[2].baseMatrix), kIdentity34, 1e-5f);
	CalcNodeMultiMatrix(4, nodes);
	ExpectMatrix(nodes[4].matrix, kIdentity34, 1e-5f); // bind pose, weights summing to 1: nothing moves
	// weighted entries naming no node, and a count beyond either list, are skipped
	nodes[4].wNode = {1, 42, -3, 3};
	nodes[4].weight = {0.25f, 5, 5};
	nodes[4].nWeights = 9;
	CalcNodeMultiMatrix(4, nodes);
	ExpectMatrix(nodes[4].matrix, {0.25f, 0, 0, 0, 0, 0.25f, 0, 0, 0, 0, 0.25f, 0}, 1e-5f);
}

// Mesh 0 on position and normal array 0, mesh 1 on position array 0 without
// normals; arrays 1 and 2 are morph targets, position array 2 one entry short.
TEST(CalcVertexAnimation, MorphsFromTheStoredArraysSkippingDamage)
{
	BRMDL model;
	model.vtx = {{{1, 2, 3}, {0, 0, 0}}, {{3, 6, -1}, {1, 1, 1}}, {{5, 2, 3}}};
	model.nrm = {{{1, 0, 0}, {0, 1, 0}}, {{0, 1, 0}, {0, 1, 0}}};
	model.nMesh = 9; // more meshes than the tables hold
	model.meshInfo.resize(2);
	model.meshInfo[0].vtxArray = model.meshInfo[0].nrmArray = model.meshInfo[1].vtxArray = 0;
	model.meshTris = {{Triangle()}, {Triangle()}};
	Vertex* corner = model.meshTris[0][0].v;
	corner[0].nrmIndex = 0;
	corner[1].posIndex = corner[1].nrmIndex = model.meshTris[1][0].v[0].posIndex = 1;
	corner[2].posIndex = corner[2].nrmIndex = 5; // past every array: the corner keeps what it has
	corner[2].pos[0] = corner[2].nrm[0] = 42;
	// weights keyed for target 0 only; targets 9 and -1 name no array, target 2 is short for
	// entry 1, and the count claims more targets than the lists hold
	const AnimState anim{.type = 3, .bones = {}, .vanim = {{.vtxArray = 0, .nrmArray = 0, .nTargets = 6,
		.vtxTarget = {1, 9, -1, 2}, .nrmTarget = {1}, .weightKeys = {{{0, 0}, {10, 1}}, {}}}}, .frame = 5};
	model.morph = {{0, 1, 1, 0.5f}};
	std::vector<Node> nodes(1); // no bone tracks, and corner 2 names no node: both stay put
	corner[2].node = 9;
	RecalculateModel(model, nodes, anim);
	RecalculateModel(model, nodes, anim); // from the stored arrays: extrapolated once, not twice
	EXPECT_EQ(model.morph[0], (std::vector{0.5f, 1.0f, 1.0f, 0.5f}));
	ExpectVec(corner[0].pos, {4, 4, 1});
	ExpectVec(corner[0].nrm, {0.70710677f, 0.70710677f, 0});
	ExpectVec(corner[1].pos, {0.5f, 0.5f, 0.5f});
	ExpectVec(model.meshTris[1][0].v[0].pos, {0.5f, 0.5f, 0.5f}); // every mesh on the array
	EXPECT_EQ((std::vector{corner[2].pos[0], corner[2].nrm[0], corner[2].posedPos[0]}), (std::vector{42.0f, 42.0f, 42.0f}));
}

TEST(RotationTrack, TruncatesWrapsOnceThenClamps)
{
	const std::pair<float, int> cases[] = {{-90, 270}, {800, 440}, {-400, -40}, {std::numeric_limits<float>::quiet_NaN(), 0},
		{1e30f, INT_MAX - 360}, {-1e30f, INT_MIN + 360}};
	for (const auto& [degrees, position] : cases)
		EXPECT_EQ(RotationToTrackPosition(degrees), position) << degrees;
}

TEST_F(Posing, TurningTheLidMovesItsCornersItsChildAndTheHingeOverAnimatedScaleAndTranslation)
{
	model.anim.playing = 1;
	const PoseEditResult result = RotateBone(model, kLid, {270, 0, 0}); // -90 about X: the lid opens
	EXPECT_TRUE(result.applied && result.wasPlaying && model.anim.playing == 0);
	EXPECT_EQ(BoneTrackPositions(model, kLid), (std::array<int, 3>{270, 0, 0}));
	ExpectVec(Posed(1, 2, kLid), {1, 4, -1.25f}, 1e-5f);     // lid corner
	EXPECT_FALSE(RotateBone(model, 9, {1, 2, 3}).applied);
	EXPECT_EQ(ResetBoneRotation(model, kLid), (std::array<int, 3>{0, 0, 0})); // stopped: the bind rotation

	// keys rotating X 3 degrees, moving Y +0.1 and scaling X by 0.1 a frame; the lid's own frame is 5
	anim.bones.resize(4);
	anim.bones[kLid].rotKeys[0] = {{0, 0}, {20, 60}};
	anim.bones[kLid].transKeys[1] = {{0, 2}, {20, 4}};
	anim.bones[kLid].scaleKeys[0] = {{0, 1}, {20, 3}};
	anim.bones[kLid].frame = 5;
	anim.type = 1;
	const Matrix34& lid = model.nodelist[kLid].matrix;
	// frame count (-1: the bone's own frame), frame, rotations only; then translation Y and scale X
	// (rotations only or stopped: the bind values), and Reset's X, animated whatever rotOnly says
	const std::tuple<int, float, int, std::pair<float, float>, int> cases[] = {{20, 10, 0, {3, 2}, 30},
		{-1, 10, 0, {2.5f, 1.5f}, 15}, {20, 10.5f, 1, {2, 1}, 31}, {20, -1, 0, {2, 1}, 0}};
	for (const auto& [frames, frame, rotOnly, matrix, reset] : cases) {
		anim.nFrames = frames;
		anim.frame = frame;
		anim.rotOnly = rotOnly;
		RotateBone(model, kLid, {0, 0, 0});
		EXPECT_EQ((std::pair{lid[7], lid[0]}), matrix) << frames << " " << frame;
		EXPECT_EQ(ResetBoneRotation(model, kLid)[0], reset) << frames << " " << frame; // 31.5 held as 31
	}
}

TEST_F(Posing, PoseFilesRoundTripToSixDecimals)
{
	const float values[4][3] = {{12.3456789f, -0.5f, 359.999f}, {1e-7f, -123456.789f, 0}, {-90, 450, 800},
		{0.0000005f, 1, 2}};
	for (int b = 0; b < 4; ++b)
		std::copy(values[b], values[b] + 3, model.nodelist[std::size_t(b)].curRot);
	const std::string saved = SavePose(model);
	EXPECT_TRUE(saved.starts_with("POSE\ncrate_root 12.345679 -0.500000 359.998993\n")) << saved;
	RotateBone(model, 1, {7, 7, 7}); // perturb, then play so the load has to pause
	model.anim.playing = 1;
	const PoseLoadResult result = LoadPose(model, saved);
	EXPECT_TRUE(result.ok && result.wasPlaying && result.applied == 4 && model.anim.playing == 0);

	const std::filesystem::path path = std::filesystem::temp_directory_path() / "zentarra_pose_test.pos";
	ASSERT_TRUE(SavePoseFile(model, path));
	model.nodelist[0].curRot[0] = 5;
	EXPECT_TRUE(LoadPoseFile(model, path).ok && SavePose(model) == saved);
	std::filesystem::remove(path);
	EXPECT_EQ(LoadPoseFile(model, path).message, kCannotOpenPose);
}

TEST_F(Posing, LoadingAppliesWhatParsesAndNothingFromOtherFiles)
{
	for (const char* text : {"", "POSEX crate_lid 270 0 0", "pose\ncrate_lid 270 0 0"})
		EXPECT_EQ(LoadPose(model, text).message, kNotAPoseFile) << text;
	// a missing bone changes nothing; a bare "POSE" re-poses with the current curRot
	model.nodelist[kLid].curRot[0] = 270;
	EXPECT_EQ(LoadPose(model, "POSE\nno_such_bone 10 20 30\n").applied, 0);
	ExpectVec(Posed(1, 2, kLid), {1, 4, -1.25f}, 1e-5f);

	// scanf's reading: tokens across lines and CRLF, signs, inf, hex, a
	// number running into the next name; duplicate names go to the first bone
	model.names.bones[3] = "crate_lid";
	LoadPose(model, "  POSE\r\ncrate_root +1\r\n2 3crate_lid -inf 0x1p1 1e1\n crate_body 4 5 6");
	const float inf = std::numeric_limits<float>::infinity();
	EXPECT_EQ((std::vector{CurRot(0), CurRot(1), CurRot(kLid), CurRot(3)}),
		(std::vector<std::vector<float>>{{1, 2, 3}, {4, 5, 6}, {-inf, 2, 10}, {0, 0, 0}}));
	// reading ends at the first line that does not parse
	for (const char* bad : {"five", "1e", "-", ".", "0x"}) {
		const std::string text = std::string("POSE\ncrate_root 7 7 7\ncrate_body 8 ") + bad + " 8\ncrate_lid 9 9 9\n";
		EXPECT_EQ((std::pair{LoadPose(model, text).applied, CurRot(1)}), (std::pair{1, std::vector<float>{4, 5, 6}})) << bad;
	}
	LoadPose(model, "POSE crate_body 1e60 -1e-60 0x1p200"); // beyond float: infinity, zero
	EXPECT_EQ(CurRot(1), (std::vector<float>{inf, 0, inf}));
	EXPECT_TRUE(std::signbit(CurRot(1)[1]));
	LoadPose(model, "POSE crate_root nan(q_7) 1e999 1e-999"); // beyond double too
	EXPECT_TRUE(std::isnan(CurRot(0)[0]) && CurRot(0)[1] == inf && CurRot(0)[2] == 0) << CurRot(0)[2];
}

// The demo crate with a 60-frame bone animation loaded and paused at frame 0:
// the lid turns 2 degrees about X per frame, every other track is empty (bind).
class Playback : public Posing {
protected:
	void SetUp() override
	{
		Posing::SetUp();
		anim.bones.resize(std::size_t(model.nBones));
		for (BoneAnim& bone : anim.bones)
			bone.nFrames = 60;
		anim.bones[kLid].rotKeys[0] = {{0, 0}, {60, 120}};
		anim.type = 1;
		anim.nFrames = 60;
		anim.frame = 0;
	}

	// Adds a vertex animation (the box morphing towards the lid's positions)
	// and a second bone animation: the lid now loops over 40 frames on its own.
	void AddAnimations()
	{
		anim.vanim = {{.vtxArray = 0, .nTargets = 1, .vtxTarget = {1}, .nrmTarget = {-1}, .weightKeys = {{{0, 0}, {10, 1}}}}};
		model.MD.morph = {{0.0f}};
		anim.type = 3;
		anim.nFrames = -1;
		anim.bones[kLid].nFrames = 40;
	}

	// "frame playing lid-angle", then with mixed frames " lid-frame root-frame"
	std::string State() const
	{
		std::string state = test::Text(anim.frame) + " " + std::to_string(anim.playing) + " " +
			test::Text(model.nodelist[kLid].curRot[0]);
		if (anim.nFrames < 0)
			state += " " + test::Text(anim.bones.at(kLid).frame) + " " + test::Text(anim.bones.at(0).frame);
		return state;
	}

	std::string Steps(int count, int speed)
	{
		for (int n = 0; n < count; ++n)
			GoToNextFrame(model, 1, speed);
		return State();
	}

	std::string Run(AnimCommand command)
	{
		RunAnimCommand(model, command);
		return State();
	}
};

TEST_F(Playback, SpeedSetsTheStepAndFramesWrapWithoutOvershoot)
{
	EXPECT_EQ(Steps(59, 0), "59 0 118"); // the model follows
	EXPECT_EQ(Steps(1, 2), "0 0 0");     // 61 >= 60: back to 0, the overshoot dropped
	EXPECT_EQ(Steps(1, -1), "0.5 0 1");
	EXPECT_EQ(Steps(1, INT_MAX), "0 0 0");
	anim.defaultSpeed = -3;
	anim.playing = 1;
	RunAnimCommand(model, AnimCommand::Faster);
	for (int n = 0; n < 10; ++n) // Slower down to 2^-10 frames per step
		HandleAnimKey(model, AnimKey::NumpadMinus);
	RunAnimCommand(model, AnimCommand::Slower);
	EXPECT_TRUE(Play(model).redraw);
	EXPECT_EQ(anim.frame, 0x1p-10f);
	RunAnimCommand(model, AnimCommand::DefaultSpeed);
	EXPECT_EQ(anim.speed, -3);
	anim.speed = INT_MAX;
	HandleAnimKey(model, AnimKey::NumpadPlus); // saturates
	EXPECT_EQ(anim.speed, INT_MAX);
	anim.type = 0; // playing with nothing loaded (a failed "Load and Play")
	EXPECT_FALSE(Play(model).redraw);
	AddAnimations(); // per-bone frames, each wrapping at its own count
	EXPECT_EQ(Steps(45, 0), "0.0009765625 1 10 5 45");
}

TEST_F(Playback, CommandsAndKeys)
{
	EXPECT_TRUE(RunAnimCommand(model, AnimCommand::Play).modelView);
	EXPECT_EQ(Run(AnimCommand::Stop), "-1 0 0");
	HandleAnimKey(model, AnimKey::Space); // out of the stopped state at frame 0
	EXPECT_EQ(State(), "0 1 0");
	anim.frame = 12.5f;
	EXPECT_EQ(Run(AnimCommand::NextFrame), "12.5 1 0"); // ignored while playing
	HandleAnimKey(model, AnimKey::Space);
	EXPECT_EQ(Run(AnimCommand::NextFrame), "13 0 26"); // whole frames
	HandleAnimKey(model, AnimKey::Left);
	EXPECT_EQ(State(), "12 0 24");
	// the lid's translation track stops applying at the next recalculation
	anim.bones[kLid].transKeys[1] = {{0, 5}};
	GoToNextFrame(model, 1, 0);
	RunAnimCommand(model, AnimCommand::RotationsOnly);
	EXPECT_EQ(model.nodelist[kLid].matrix[7], 5.0f);
	GoToNextFrame(model, 1, 0);
	EXPECT_EQ(model.nodelist[kLid].matrix[7], 2.0f);
	anim.rotOnly = 2; // as a settings file may hold it: on, and checked
	EXPECT_TRUE(GetAnimMenuState(anim).rotationsOnlyChecked);
	RunAnimCommand(model, AnimCommand::RotationsOnly);
	anim.frame = -1.0f; // from stopped, Previous gives the last frame
	EXPECT_EQ(Run(AnimCommand::PreviousFrame), "59 0 118");
	anim.playing = 1;
	EXPECT_EQ(Run(AnimCommand::FirstFrame), "0 0 0");
	anim.type = 0;
	HandleAnimKey(model, AnimKey::Space); // nothing loaded: no playing
	HandleAnimKey(model, AnimKey::Right);

	AddAnimations(); // mixed frames: truncated one by one; Stop marks each, Play leaves the mark
	anim.bones[kLid].frame = 7.5f;
	anim.bones[0].frame = -1.0f;
	EXPECT_EQ(Run(AnimCommand::NextFrame), "0 0 16 8 0");
	model.MD.morph[0][0] = 0.7f;
	EXPECT_EQ(Run(AnimCommand::Stop), "-1 0 0 -1 -1");
	EXPECT_EQ(model.MD.morph[0][0], 0.0f);
	EXPECT_EQ(Run(AnimCommand::Play), "0 1 0 0 0");
	EXPECT_EQ(Run(AnimCommand::Pause), "0 0 0 0 0");
	EXPECT_EQ(Run(AnimCommand::FirstFrame), "0 0 0 0 0");
}

} // namespace
} // namespace zentarra
