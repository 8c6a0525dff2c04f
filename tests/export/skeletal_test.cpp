// PSK, PSA and MD5 files of a small skinned model and animation against
// hand-written files; the quaternion of a matrix; sampled tracks; refusals;
// damaged skeletons; the corpus through both model writers.
#include "anim/bone_matrices.h"
#include "anim/skinning.h"
#include "export/cli_run.h"
#include "export/md5.h"
#include "export/psk.h"
#include "model/mdl0_reader.h"
#include "support/corpus.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <random>

namespace zentarra {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

Vertex SkinCorner(int pos, int uv, int node)
{
	Vertex v;
	v.posIndex = pos;
	v.uvIndex = uv;
	v.node = node;
	return v;
}

// Bones root (node 0), arm (node 1: at (1, 2, 3), turned 90 degrees about Z)
// and hand (node 2: one unit along the arm's Y); node 3 blends arm 0.25 and
// hand 0.75. Meshes: "body", two triangles on the arm sharing an edge, with
// texture coordinates and material 0 ("skin_tex"); "hidden", one triangle of
// the body's corners, hidden; "skin", one triangle of two blended corners and
// one on the hand, without texture coordinates, material 1 (no texture).
// In the bind pose.
LoadedModel SkeletalModel()
{
	LoadedModel model;
	model.nBones = 3;
	model.bonemap = {0, 1, 2};
	model.names.bones = {"root", "arm", "hand"};
	model.nNodes = 4;
	model.nodelist.resize(4);
	for (int n = 0; n < 3; ++n) {
		model.nodelist[n].bone = n;
		model.nodelist[n].parent = n - 1;
	}
	model.nodelist[1].rot[2] = 90;
	std::copy_n(std::array{1.0f, 2.0f, 3.0f}.begin(), 3, model.nodelist[1].trans);
	model.nodelist[2].trans[1] = 1;
	model.nodelist[3].nWeights = 2;
	model.nodelist[3].wNode = {1, 2};
	model.nodelist[3].weight = {0.25f, 0.75f};

	BRMDL& md = model.MD;
	md.nVtx = 2;
	md.vtx = {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{1, 2, 3}, {0, 3, 3}, {0.5f, 0, 0}}};
	md.nUV = 1;
	md.uv = {{{0, 0}, {1, 0}, {0, 1}, {0.25f, 0.75f}}};
	md.nMesh = 3;
	md.meshInfo.resize(3);
	md.meshInfo[0].vtxArray = md.meshInfo[1].vtxArray = 0;
	md.meshInfo[0].uvArray[0] = md.meshInfo[1].uvArray[0] = 0;
	md.meshInfo[2].vtxArray = 1;
	md.meshVisible = {1, 0, 1};
	md.meshMat = {0, 0, 1};
	md.hasMat = 1;
	md.nMat = 2;
	md.texName = {"skin_tex", ""};
	md.meshTris = {
		{{{SkinCorner(0, 0, 1), SkinCorner(1, 1, 1), SkinCorner(2, 2, 1)}},
			{{SkinCorner(1, 1, 1), SkinCorner(3, 3, 1), SkinCorner(2, 2, 1)}}},
		{{{SkinCorner(0, 0, 1), SkinCorner(1, 1, 1), SkinCorner(3, 3, 1)}}},
		{{{SkinCorner(0, -1, 3), SkinCorner(1, -1, 3), SkinCorner(2, -1, 2)}}},
	};
	ResetBones(md, model.nodelist);
	return model;
}

// Three frames: the root still, the arm turning about Z from 0 to 90 degrees
// at its bind place (and scaled, which is never exported); the hand has no
// record, so its tracks count as 0.
AnimState SkeletalAnimation()
{
	AnimState anim;
	anim.type = 1;
	anim.nFrames = 3;
	anim.bones.resize(2);
	for (BoneAnim& bone : anim.bones)
		for (std::size_t i = 0; i < 3; ++i)
			bone.scaleKeys[i] = bone.rotKeys[i] = bone.transKeys[i] = {{0, 0}};
	anim.bones[1].rotKeys[2] = {{0, 0}, {2, 90}};
	for (std::size_t i = 0; i < 3; ++i)
		anim.bones[1].transKeys[i] = {{0, float(i + 1)}};
	anim.bones[1].scaleKeys[0] = {{0, 5}};
	return anim;
}

std::string Expected(const char* name)
{
	return testing::ReadText(std::string(ZENTARRA_SOURCE_DIR "/tests/export/data/") + name);
}

std::uint32_t Le(const std::vector<std::uint8_t>& bytes, std::size_t at, int size)
{
	std::uint32_t value = 0;
	for (int i = 0; i < size; ++i)
		value |= std::uint32_t(bytes.at(at + std::size_t(i))) << (8 * i);
	return value;
}

std::string Text(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t size)
{
	const std::string field(bytes.begin() + std::ptrdiff_t(at), bytes.begin() + std::ptrdiff_t(at + size));
	const std::string text = field.substr(0, field.find('\0'));
	EXPECT_EQ(field.find_first_not_of('\0', text.size()), std::string::npos) << "padding of " << text;
	return text;
}

// A PSK or PSA file as text: "ID size count" per chunk, then a line per record,
// floats in their shortest exact form. Checks each header's type flag, the
// record sizes, the zero fields, and that the chunks fill the file exactly.
std::string Dump(const std::vector<std::uint8_t>& bytes)
{
	// f float, i int32, h int16, t 64-byte NUL-padded text, z four zero bytes
	static const std::map<std::string, std::string> records = {{"ACTRHEAD", ""}, {"PNTS0000", "fff"},
		{"VTXW0000", "iffi"}, {"FACE0000", "hhhih"}, {"MATT0000", "tzzzzzz"}, {"REFSKELT", "tiiifffffffzzzz"},
		{"RAWWEIGHTS", "fii"}, {"ANIMHEAD", ""}, {"BONENAMES", "tzzzzzzzzzzzzzz"}, {"ANIMINFO", "ttiiiifffiii"},
		{"ANIMKEYS", "ffffffff"}};
	std::string out;
	std::size_t at = 0;
	while (at < bytes.size()) {
		const std::string id = Text(bytes, at, 20);
		EXPECT_EQ(Le(bytes, at + 20, 4), kChunkTypeFlag) << id;
		const std::uint32_t size = Le(bytes, at + 24, 4), count = Le(bytes, at + 28, 4);
		out += id + ' ' + std::to_string(size) + ' ' + std::to_string(count) + '\n';
		at += 32;
		for (std::uint32_t r = 0; r < count; ++r) {
			const std::size_t start = at;
			for (const char field : records.at(id)) {
				char number[64];
				char* end = number;
				if (field == 'f')
					end = std::to_chars(number, number + 64, std::bit_cast<float>(Le(bytes, at, 4))).ptr;
				else if (field == 'i')
					end = std::to_chars(number, number + 64, std::int32_t(Le(bytes, at, 4))).ptr;
				else if (field == 'h')
					end = std::to_chars(number, number + 64, Le(bytes, at, 2)).ptr;
				if (field == 't')
					out += '"' + Text(bytes, at, 64) + "\" ";
				else if (field == 'z')
					EXPECT_EQ(Le(bytes, at, 4), 0u) << id << " record " << r;
				else
					out.append(number, end) += ' ';
				at += field == 't' ? 64 : field == 'h' ? 2 : 4;
			}
			out.back() = '\n';
			EXPECT_EQ(at - start, size) << id;
		}
	}
	EXPECT_EQ(at, bytes.size());
	return out;
}

// PSK: points posed and written (z, x, y), the hidden mesh left out; wedge
// numbers run on across meshes; faces reversed; bones in their local pose, the
// root's parent 0. cos 90 degrees in float is not quite 0, hence the hand's point.
TEST(ExportToPSKAndMD5, SmallSkinnedModel)
{
	EXPECT_EQ(Dump(ExportToPSK(SkeletalModel(), true).bytes), Expected("skeletal.psk.txt"));
	EXPECT_EQ(ExportToMD5(SkeletalModel(), true), Expected("skeletal.md5mesh"));
	// without the flag the hidden mesh's wedges come between, not shared with the body's
	EXPECT_THAT(Dump(ExportToPSK(SkeletalModel(), false).bytes),
		HasSubstr("FACE0000 12 4\n0 2 1 0 0\n1 2 3 0 0\n4 6 5 0 0\n"));

	// no material section: an empty MATT0000 and material 0 everywhere; every shader "none"
	LoadedModel bare = SkeletalModel();
	bare.MD.hasMat = 0;
	bare.MD.nMat = 0;
	EXPECT_THAT(Dump(ExportToPSK(bare, true).bytes), HasSubstr("4 6 5 0 0\nMATT0000 88 0\nREFSKELT"));
	EXPECT_THAT(ExportToMD5(bare, true), Not(HasSubstr("skin_tex")));
	EXPECT_EQ(Dump(ExportToPSK(LoadedModel(), true).bytes),
		"ACTRHEAD 0 0\nPNTS0000 12 0\nVTXW0000 16 0\nFACE0000 12 0\nMATT0000 88 0\nREFSKELT 120 0\nRAWWEIGHTS 12 0\n");
	EXPECT_EQ(ExportToMD5(LoadedModel(), true),
		"MD5Version 10\ncommandline \"\"\n\nnumJoints 0\nnumMeshes 0\n\njoints {\n}\n");
}

// One mesh of 65538 distinct corners but for the last `repeats`, equal to the
// first ones: three repeats leave 65535 wedges, numbered 0 to 65534; two, one too many.
TEST(ExportToPSK, WedgeNumbersMustFitSixteenBits)
{
	for (const std::size_t repeats : {3, 2}) {
		LoadedModel model;
		model.MD.nMesh = 1;
		std::vector<Triangle>& tris = model.MD.meshTris.emplace_back(21846);
		for (std::size_t k = 0, corners = 21846 * 3; k < corners; ++k)
			tris[k / 3].v[k % 3].posIndex = int(k + repeats < corners ? k : k + repeats - corners);
		const BinaryExport psk = ExportToPSK(model, true);
		if (repeats == 2) { // a 65536th wedge
			EXPECT_EQ(std::tuple(psk.ok, psk.message, psk.bytes.empty()), std::tuple(false, kTooManyWedges, true));
			continue;
		}
		const std::string dump = Dump(psk.bytes);
		EXPECT_THAT(dump, HasSubstr("PNTS0000 12 65535\n"));
		EXPECT_THAT(dump, HasSubstr("\n65532 65534 65533 0 0\n0 2 1 0 0\nMATT0000"));
	}
}

TEST(ExportToPSK, DamagedSkeletonKeepsCountsConsistent)
{
	LoadedModel model = SkeletalModel();
	model.MD.meshTris[0][0].v[0].node = 99;    // a corner naming no node
	model.nodelist[3].wNode = {1, 42};         // a blend naming no node
	model.nodelist[3].nWeights = 5;            // more weights than listed
	model.MD.meshTris[2][0].v[2].posIndex = 7; // beyond its position array
	model.MD.meshMat[2] = 9;                   // no such material
	model.bonemap[2] = 17;                     // a bone without a node
	model.nodelist[1].bone = 40;               // a node naming no bone

	// bone 0 at weight 1 stands in for every unusable influence
	const std::string dump = Dump(ExportToPSK(model, true).bytes);
	EXPECT_THAT(dump, HasSubstr("4 6 5 0 0\n"));
	EXPECT_THAT(dump, HasSubstr("\"hand\" 0 0 0 0 0 0 1 0 0 0\nRAWWEIGHTS 12 7\n1 0 0\n1 1 0\n"
								 "1 2 0\n1 3 0\n1 4 0\n1 5 0\n1 6 2\n"));
	// the MD5 vertex lines announce exactly the weight lines that follow
	EXPECT_THAT(ExportToMD5(model, true),
		HasSubstr("\tshader \"none\"\n\n\tnumverts 3\n\tvert 0 ( 0.000000 0.000000 ) 0 1\n"
				  "\tvert 1 ( 0.000000 0.000000 ) 1 1\n\tvert 2 ( 0.000000 0.000000 ) 2 1\n\n"
				  "\tnumtris 1\n\ttri 0 0 2 1\n\n\tnumweights 3\n\tweight 0 0 1.000000 ( 3.000000 1.000000 2.000000 )\n"
				  "\tweight 1 0 1.000000 ( 3.000000 0.000000 3.000000 )\n"
				  "\tweight 2 2 1.000000 ( 0.000000 0.000000 0.000000 )\n}\n"));
}

TEST(GetQuatFromMatrix, IdentityTurnsAndSigns)
{
	EXPECT_EQ(GetQuatFromMatrix(kIdentity34), (std::array<float, 4>{1, 0, 0, 0}));
	// each imaginary part takes the sign of its off-diagonal difference: the inverse turn
	Node node;
	CalcNodeMatrix(node, Transfo{{1, 1, 1}, {60, 0, 0}, {7, 8, 9}});
	const std::array<float, 4> x60 = GetQuatFromMatrix(node.matrix);
	EXPECT_NEAR(x60[0], 0.8660254f, 1e-7f);
	EXPECT_NEAR(x60[1], -0.5f, 1e-7f);
	// a zero part with a negative difference is -0; a negative radicand gives 0
	Matrix34 m = kIdentity34;
	m[1] = -0.5f; // m01 - m10 = -1, z's radicand 1 - 1 - 1 + 1 = 0
	m[4] = 0.5f;
	EXPECT_EQ(std::bit_cast<std::uint32_t>(GetQuatFromMatrix(m)[3]), std::bit_cast<std::uint32_t>(-0.0f));
	EXPECT_EQ(GetQuatFromMatrix(Matrix34{-1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0})[0], 0.0f);
	// radicands are summed wider than float: 1 + 3 x 2^-24 rounds to 1 + 2^-22, not to 1
	const float e = std::ldexp(1.0f, -24);
	EXPECT_EQ(GetQuatFromMatrix(Matrix34{e, 0, 0, 0, 0, e, 0, 0, 0, 0, e, 0})[0], 0.5f + e);
}

// Ascending tracks on whole or fractional frames, some with repeated frames,
// some shuffled, asked for frames forwards and back.
TEST(TrackSampler, SameValuesAsInterpolateFrame)
{
	std::mt19937 random(5);
	for (int round = 0; round < 300; ++round) {
		std::vector<Key> keys(std::size_t(random() % 12));
		float frame = float(int(random() % 5)) - 2;
		for (Key& key : keys)
			key = Key{frame += round % 3 == 0 ? float(random() % 3) : float(random() % 40) / 16.0f, float(random() % 999)};
		if (round % 5 == 0)
			std::shuffle(keys.begin(), keys.end(), random);
		TrackSampler sampler(keys);
		for (const float f : {-3.0f, -1.0f, 0.0f, 1.0f, 2.0f, 3.0f, 5.0f, 8.0f, 13.0f, 21.0f, 34.0f, 7.5f, 2.0f, -1.0f})
			ASSERT_EQ(std::bit_cast<std::uint32_t>(sampler.At(f)), std::bit_cast<std::uint32_t>(InterpolateFrame(keys, f)))
				<< round << " frame " << f;
	}
}

// Frame-major keys: translation (z, x, y), rotation (z, x, y, w), time; the
// hand has no tracks; scale is not exported; track time is frames x 30.
// Names longer than their field keep a terminating NUL; missing names are empty.
TEST(ExportAnimToPSA, SmallAnimation)
{
	const BinaryExport psa = ExportAnimToPSA(SkeletalAnimation(), 3, std::vector<std::string>{"root", "arm", "hand"}, "wave");
	ASSERT_TRUE(psa.ok) << psa.message;
	EXPECT_EQ(Dump(psa.bytes), Expected("skeletal.psa.txt"));
	AnimState one = SkeletalAnimation();
	one.nFrames = 1;
	const std::string longName(100, 'n'), cut = '"' + longName.substr(0, 63) + '"';
	EXPECT_THAT(Dump(ExportAnimToPSA(one, 2, std::vector<std::string>{longName}, longName).bytes),
		HasSubstr("BONENAMES 120 2\n" + cut + "\n\"\"\nANIMINFO 168 1\n" + cut + " \"None\" 2 "));
}

// Turn the arm back to 0 degrees: the joints move, the weights stay in bind space.
TEST(ExportToMD5, PosedJointsAndBindSpaceWeights)
{
	LoadedModel model = SkeletalModel();
	CalcNodeMatrix(model.nodelist[1], Transfo{{1, 1, 1}, {0, 0, 0}, {1, 2, 3}});
	for (int n = 0; n < 3; ++n)
		CalcNodeFinalMatrix(n, model.nodelist);
	const std::string posed = ExportToMD5(model, true), bind = Expected("skeletal.md5mesh");
	EXPECT_THAT(posed, HasSubstr("\t\"arm\" 0 ( 3.000000 1.000000 2.000000 ) ( 0.000000 0.000000 0.000000 )\n"
								 "\t\"hand\" 1 ( 3.000000 1.000000 3.000000 ) ( 0.000000 0.000000 0.000000 )\n"));
	EXPECT_EQ(posed.substr(posed.find("}\n")), bind.substr(bind.find("}\n")));
}

// The bounds: (0 - 0.3) x 2 = -0.6, (3 + 0.3) x 2 = 6.6 truncated toward zero;
// beyond the int range they saturate; NaN gives 0.
TEST(ExportAnimToMD5, SmallAnimationAndBoundsTruncatedTowardZero)
{
	const auto exported = [](float radius) {
		const TextExport result = ExportAnimToMD5(SkeletalAnimation(), SkeletalModel(), radius);
		EXPECT_TRUE(result.ok) << result.message;
		return result.text;
	};
	EXPECT_EQ(exported(1.5f), Expected("skeletal.md5anim"));
	EXPECT_THAT(exported(0.3f), HasSubstr("bounds {\n\t( 0 0 0 ) ( 6 6 6 )\n"));
	EXPECT_THAT(exported(std::numeric_limits<float>::infinity()),
		HasSubstr("\t( -2147483648 -2147483648 -2147483648 ) ( 2147483647 2147483647 2147483647 )\n"));
	EXPECT_THAT(exported(std::numeric_limits<float>::quiet_NaN()), HasSubstr("bounds {\n\t( 0 0 0 ) ( 0 0 0 )\n"));
}

TEST(AnimationExport, MixedOrEmptyAnimationsAreRefusedByPSAAndMD5)
{
	AnimState anim = SkeletalAnimation();
	for (const int frames : {-1, 0}) { // -1: a second animation was added onto the first
		anim.nFrames = frames;
		const std::string_view message = frames < 0 ? kMixedAnimations : kNoFrames;
		const BinaryExport psa = ExportAnimToPSA(anim, 3, std::vector<std::string>(3), "clip");
		EXPECT_EQ(std::tuple(psa.ok, psa.message, psa.bytes.empty()), std::tuple(false, message, true));
		const TextExport md5 = ExportAnimToMD5(anim, SkeletalModel(), 1);
		EXPECT_EQ(std::tuple(md5.ok, md5.message, md5.text.empty()), std::tuple(false, message, true));
	}
}

// How many times `what` starts a line, and the sum of the numbers behind it.
std::pair<long long, long long> Lines(const std::string& text, const std::string& what)
{
	std::pair<long long, long long> found{0, 0};
	for (std::size_t at = text.find('\n' + what); at != std::string::npos; at = text.find('\n' + what, at + 1)) {
		++found.first;
		found.second += std::atoll(text.c_str() + at + 1 + what.size());
	}
	return found;
}

// Per mesh the same vertices in the MD5 as wedges in the PSK, the same weights.
TEST(CorpusExport, EveryModelToPSKAndMD5)
{
	int exported = 0;
	testing::ForEachCorpusModel([&](const std::string&, const std::vector<std::uint8_t>& bytes, const auto& sub) {
		LoadedModel model;
		ByteView view(bytes);
		if (!ReadModel(view, sub["offset"].template get<std::size_t>(), model).ok)
			return; // a material library without geometry
		long long triangles = 0;
		for (const std::vector<Triangle>& mesh : model.MD.meshTris)
			triangles += static_cast<long long>(mesh.size());
		const BinaryExport psk = ExportToPSK(model, false);
		ASSERT_TRUE(psk.ok) << psk.message;
		// the chunk headers' counts, the records' lines
		const std::string dump = '\n' + Dump(psk.bytes), md5 = ExportToMD5(model, false);
		const long long points = Lines(dump, "PNTS0000 12 ").second, weights = Lines(dump, "RAWWEIGHTS 12 ").second;
		const long long bones = model.nBones, meshes = model.MD.nMesh;
		EXPECT_EQ((std::array{Lines(dump, "VTXW0000 16 ").second, Lines(dump, "FACE0000 12 ").second,
					  Lines(dump, "REFSKELT 120 ").second, Lines(md5, "mesh {").first, Lines(md5, "\t\"").first}),
			(std::array{points, triangles, bones, meshes, bones}));
		EXPECT_EQ((std::array{Lines(md5, "\tvert ").first, Lines(md5, "\tnumverts ").second, Lines(md5, "\ttri ").first,
					  Lines(md5, "\tnumtris ").second, Lines(md5, "\tweight ").first, Lines(md5, "\tnumweights ").second}),
			(std::array{points, points, triangles, triangles, weights, weights}));
		EXPECT_GE(weights, points);
		EXPECT_THAT(dump + md5, Not(HasSubstr("nan")));
		EXPECT_THAT(md5, Not(HasSubstr("inf")));
		++exported;
	});
	EXPECT_GT(exported, 20);
}

} // namespace
} // namespace zentarra
