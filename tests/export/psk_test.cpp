// PSK and PSA chunk layout of a small skinned model and animation, the
// quaternion of a matrix, sampled tracks, refusals, damaged skeletons, and
// the corpus through both model writers.
#include "anim/bone_matrices.h"
#include "export/md5.h"
#include "export/psk.h"
#include "export/skeletal_model.h"
#include "model/mdl0_reader.h"
#include "support/corpus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>
#include <random>
#include <sstream>

namespace zentarra {
namespace {

using test::SkeletalAnimation;
using test::SkeletalModel;

std::uint32_t Bits(float value)
{
	return std::bit_cast<std::uint32_t>(value);
}

// Little-endian fields of a written file, read in order.
class Reader {
public:
	explicit Reader(const std::vector<std::uint8_t>& file, std::size_t start = 0) : bytes(&file), at(start) {}

	std::uint32_t u32()
	{
		std::uint32_t value = 0;
		for (int i = 0; i < 4; ++i)
			value |= std::uint32_t(Byte()) << (8 * i);
		return value;
	}
	std::uint16_t u16()
	{
		const std::uint16_t low = Byte();
		return std::uint16_t(low | Byte() << 8);
	}
	std::int32_t s32() { return std::int32_t(u32()); }
	float f32() { return std::bit_cast<float>(u32()); }
	// a NUL-padded text field; everything behind the text must be NUL
	std::string text(std::size_t size)
	{
		std::string value;
		for (std::size_t i = 0; i < size; ++i) {
			const char c = char(Byte());
			if (value.size() == i && c != 0)
				value += c;
			else
				EXPECT_EQ(c, 0) << "byte " << i << " of text field \"" << value << '"';
		}
		return value;
	}
	std::size_t offset() const { return at; }

private:
	std::uint8_t Byte()
	{
		EXPECT_LT(at, bytes->size()) << "read past the end";
		return at < bytes->size() ? (*bytes)[at++] : 0;
	}
	const std::vector<std::uint8_t>* bytes;
	std::size_t at;
};

struct Chunk {
	std::string id;
	std::uint32_t size = 0;
	std::uint32_t count = 0;
	std::size_t data = 0; // offset of the first record
};

// Every chunk of the file, checking the type flag and that the records fill
// the file exactly.
std::vector<Chunk> Chunks(const std::vector<std::uint8_t>& bytes)
{
	std::vector<Chunk> chunks;
	std::size_t at = 0;
	while (at < bytes.size()) {
		Reader r(bytes, at);
		Chunk c;
		c.id = r.text(20);
		EXPECT_EQ(r.u32(), kChunkTypeFlag) << c.id;
		c.size = r.u32();
		c.count = r.u32();
		c.data = r.offset();
		at = c.data + std::size_t(c.size) * c.count;
		EXPECT_LE(at, bytes.size()) << c.id;
		chunks.push_back(c);
	}
	return chunks;
}

std::string Layout(const std::vector<Chunk>& chunks)
{
	std::ostringstream text;
	for (const Chunk& c : chunks)
		text << c.id << ' ' << c.size << ' ' << c.count << '\n';
	return text.str();
}

void ExpectFloats(Reader& r, std::initializer_list<float> values, float tolerance = 0)
{
	for (const float value : values)
		EXPECT_NEAR(r.f32(), value, tolerance);
}

constexpr float kHalfRoot2 = 0.70710677f;

TEST(ExportToPSK, ChunksOfASmallSkinnedModel)
{
	const BinaryExport psk = ExportToPSK(SkeletalModel(), true);
	ASSERT_TRUE(psk.ok) << psk.message;
	const std::vector<Chunk> chunks = Chunks(psk.bytes);
	ASSERT_EQ(Layout(chunks), "ACTRHEAD 0 0\n"
							  "PNTS0000 12 7\n"
							  "VTXW0000 16 7\n"
							  "FACE0000 12 3\n"
							  "MATT0000 88 2\n"
							  "REFSKELT 120 3\n"
							  "RAWWEIGHTS 12 9\n"); // the count patched in at the end
	EXPECT_EQ(chunks.back().data + 12 * 9, psk.bytes.size());

	// points: posed positions as (z, x, y); the hidden mesh left no trace
	Reader points(psk.bytes, chunks[1].data);
	const float expected[7][3] = {{3, 1, 2}, {3, 1, 3}, {3, 0, 2}, {3, 0, 3}, {3, 1, 2}, {3, 0, 3}, {3, 0, 2.5f}};
	for (const auto& p : expected)
		ExpectFloats(points, {p[0], p[1], p[2]}, 1e-6f);

	// wedges: point index, the array's texture coordinate (0, 0 for none), material
	Reader wedges(psk.bytes, chunks[2].data);
	const float uv[4][2] = {{0, 0}, {1, 0}, {0, 1}, {0.25f, 0.75f}};
	for (std::int32_t w = 0; w < 7; ++w) {
		EXPECT_EQ(wedges.s32(), w);
		ExpectFloats(wedges, {w < 4 ? uv[w][0] : 0, w < 4 ? uv[w][1] : 0});
		EXPECT_EQ(wedges.s32(), w < 4 ? 0 : 1);
	}

	// faces: winding reversed, wedge numbers running on across meshes
	Reader faces(psk.bytes, chunks[3].data);
	const int face[3][4] = {{0, 2, 1, 0}, {1, 2, 3, 0}, {4, 6, 5, 1}};
	for (const auto& f : face) {
		EXPECT_EQ(faces.u16(), f[0]);
		EXPECT_EQ(faces.u16(), f[1]);
		EXPECT_EQ(faces.u16(), f[2]);
		EXPECT_EQ(faces.s32(), f[3]);
		EXPECT_EQ(faces.u16(), 0);
	}

	Reader materials(psk.bytes, chunks[4].data);
	for (const char* name : {"skin_tex", "none"}) {
		EXPECT_EQ(materials.text(64), name);
		for (int i = 0; i < 6; ++i)
			EXPECT_EQ(materials.s32(), 0);
	}

	// bones: flags, children, parent bone (0 for the root too), then the local
	// matrix's rotation (z, x, y, w) and translation (z, x, y)
	Reader bones(psk.bytes, chunks[5].data);
	struct Bone {
		const char* name;
		int children, parent;
		float q[4], t[3];
	};
	const Bone expectedBones[] = {{"root", 1, 0, {0, 0, 0, 1}, {0, 0, 0}},
		{"arm", 1, 0, {-kHalfRoot2, 0, 0, kHalfRoot2}, {3, 1, 2}}, {"hand", 0, 1, {0, 0, 0, 1}, {0, 0, 1}}};
	for (const Bone& b : expectedBones) {
		SCOPED_TRACE(b.name);
		EXPECT_EQ(bones.text(64), b.name);
		EXPECT_EQ(bones.s32(), 0);
		EXPECT_EQ(bones.s32(), b.children);
		EXPECT_EQ(bones.s32(), b.parent);
		ExpectFloats(bones, {b.q[0], b.q[1], b.q[2], b.q[3]}, 1e-7f);
		ExpectFloats(bones, {b.t[0], b.t[1], b.t[2]});
		for (int i = 0; i < 4; ++i)
			EXPECT_EQ(bones.u32(), 0u);
	}

	// weights in wedge order: one per plain point, the blend's two in order
	Reader weights(psk.bytes, chunks[6].data);
	const struct {
		float weight;
		int point, bone;
	} expectedWeights[] = {{1, 0, 1}, {1, 1, 1}, {1, 2, 1}, {1, 3, 1}, {0.25f, 4, 1}, {0.75f, 4, 2}, {0.25f, 5, 1},
		{0.75f, 5, 2}, {1, 6, 2}};
	for (const auto& w : expectedWeights) {
		EXPECT_EQ(weights.f32(), w.weight);
		EXPECT_EQ(weights.s32(), w.point);
		EXPECT_EQ(weights.s32(), w.bone);
	}
}

TEST(ExportToPSK, HiddenMeshesAndEmptyModels)
{
	// with the flag off the hidden mesh's wedges come between, and later numbers shift
	const BinaryExport all = ExportToPSK(SkeletalModel(), false);
	ASSERT_TRUE(all.ok);
	const std::vector<Chunk> chunks = Chunks(all.bytes);
	EXPECT_EQ(chunks[1].count, 10u);
	EXPECT_EQ(chunks[3].count, 4u);
	Reader faces(all.bytes, chunks[3].data + 3 * 12);
	EXPECT_EQ(faces.u16(), 7);
	EXPECT_EQ(faces.u16(), 9);
	EXPECT_EQ(faces.u16(), 8);
	// the hidden mesh repeats the body's corners, but meshes never share wedges
	Reader points(all.bytes, chunks[1].data + 4 * 12);
	ExpectFloats(points, {3, 1, 2, 3, 1, 3, 3, 0, 3}, 1e-6f);

	// no material section: an empty MATT0000, every material index 0
	LoadedModel bare = SkeletalModel();
	bare.MD.hasMat = 0;
	bare.MD.nMat = 0;
	bare.MD.texName.clear();
	const BinaryExport psk = ExportToPSK(bare, true);
	const std::vector<Chunk> bareChunks = Chunks(psk.bytes);
	EXPECT_EQ(bareChunks[4].count, 0u);
	Reader lastFace(psk.bytes, bareChunks[3].data + 2 * 12 + 6);
	EXPECT_EQ(lastFace.s32(), 0);

	const BinaryExport empty = ExportToPSK(LoadedModel(), true);
	ASSERT_TRUE(empty.ok);
	EXPECT_EQ(Layout(Chunks(empty.bytes)),
		"ACTRHEAD 0 0\nPNTS0000 12 0\nVTXW0000 16 0\nFACE0000 12 0\nMATT0000 88 0\nREFSKELT 120 0\nRAWWEIGHTS 12 0\n");
}

// One mesh of distinct corners, the last `shared` corners repeating the first.
LoadedModel ManyWedges(std::size_t triangles, std::size_t shared)
{
	LoadedModel model;
	model.nBones = 1;
	model.bonemap = {0};
	model.names.bones = {"root"};
	model.nodelist.resize(1);
	model.nodelist[0].bone = 0;
	model.nNodes = 1;
	model.MD.nMesh = 1;
	model.MD.meshInfo.resize(1);
	std::vector<Triangle>& tris = model.MD.meshTris.emplace_back(triangles);
	const std::size_t corners = triangles * 3;
	for (std::size_t k = 0; k < corners; ++k)
		tris[k / 3].v[k % 3].posIndex = int(k + shared < corners ? k : k + shared - corners);
	return model;
}

TEST(ExportToPSK, WedgesMustFitSixteenBits)
{
	// 65538 corners, two of them repeats: 65536 wedges, the last numbered 65535
	const BinaryExport fits = ExportToPSK(ManyWedges(21846, 2), true);
	ASSERT_TRUE(fits.ok) << fits.message;
	const std::vector<Chunk> chunks = Chunks(fits.bytes);
	EXPECT_EQ(chunks[1].count, 65536u);
	Reader lastFace(fits.bytes, chunks[3].data + (21846 - 1) * 12);
	EXPECT_EQ(lastFace.u16(), 65535); // corners 65535, 65537 (= corner 1), 65536 (= corner 0)
	EXPECT_EQ(lastFace.u16(), 1);
	EXPECT_EQ(lastFace.u16(), 0);
	Reader secondLast(fits.bytes, chunks[3].data + (21846 - 2) * 12);
	EXPECT_EQ(secondLast.u16(), 65532);
	EXPECT_EQ(secondLast.u16(), 65534);
	EXPECT_EQ(secondLast.u16(), 65533);

	// one more, and wedge 65536 would be written as 0
	const BinaryExport refused = ExportToPSK(ManyWedges(21846, 1), true);
	EXPECT_FALSE(refused.ok);
	EXPECT_EQ(refused.message, kTooManyWedges);
	EXPECT_TRUE(refused.bytes.empty());
}

TEST(ExportToPSK, DamagedSkeletonKeepsCountsConsistent)
{
	LoadedModel model = SkeletalModel();
	model.MD.meshTris[0][0].v[0].node = 99;   // a corner naming no node
	model.nodelist[3].wNode = {1, 42};        // a blend naming no node
	model.nodelist[3].nWeights = 5;           // more weights than listed
	model.MD.meshTris[2][0].v[2].posIndex = 7; // beyond its position array
	model.MD.meshMat[2] = 9;                  // no such material
	model.bonemap[2] = 17;                    // a bone without a node
	model.nodelist[1].bone = 40;              // a node naming no bone

	const BinaryExport psk = ExportToPSK(model, true);
	ASSERT_TRUE(psk.ok);
	const std::vector<Chunk> chunks = Chunks(psk.bytes);
	EXPECT_EQ(chunks[1].count, 7u);
	// bone 0 at weight 1 stands in for every unusable influence
	Reader weights(psk.bytes, chunks[6].data);
	const struct {
		float weight;
		int point, bone;
	} expected[] = {{1, 0, 0}, {1, 1, 0}, {1, 2, 0}, {1, 3, 0}, {1, 4, 0}, {1, 5, 0}, {1, 6, 2}};
	ASSERT_EQ(chunks[6].count, std::size(expected));
	for (const auto& w : expected) {
		EXPECT_EQ(weights.f32(), w.weight);
		EXPECT_EQ(weights.s32(), w.point);
		EXPECT_EQ(weights.s32(), w.bone);
	}
	Reader hand(psk.bytes, chunks[5].data + 2 * 120 + 64); // the bone without a node: all zeros but its rotation
	EXPECT_EQ(hand.s32(), 0);
	EXPECT_EQ(hand.s32(), 0);
	EXPECT_EQ(hand.s32(), 0);
	ExpectFloats(hand, {0, 0, 0, 1, 0, 0, 0});

	// the MD5 vertex lines announce exactly the weight lines that follow
	const std::string md5 = ExportToMD5(model, true);
	EXPECT_NE(md5.find("\tvert 0 ( 0.000000 0.000000 ) 0 1\n\tvert 1 ( 0.000000 0.000000 ) 1 1\n"
					   "\tvert 2 ( 0.000000 0.000000 ) 2 1\n\n\tnumtris 1\n\ttri 0 0 2 1\n\n\tnumweights 3\n"),
		std::string::npos)
		<< md5;
	EXPECT_NE(md5.find("\tweight 2 2 1.000000 ( 0.000000 0.000000 0.000000 )\n}\n"), std::string::npos) << md5;
	EXPECT_EQ(md5.find("shader \"skin_tex.tga\"\n\n\tnumverts 3"), std::string::npos); // material 9: none
}

TEST(GetQuatFromMatrix, IdentityAndTurns)
{
	EXPECT_EQ(GetQuatFromMatrix(kIdentity34), (std::array<float, 4>{1, 0, 0, 0}));

	const auto turned = [](float x, float y, float z) {
		Node node;
		Transfo t;
		t.rot[0] = x;
		t.rot[1] = y;
		t.rot[2] = z;
		CalcNodeMatrix(node, t);
		return GetQuatFromMatrix(node.matrix);
	};
	// the sign of each part follows its off-diagonal difference: (w, x, y, z) of
	// the inverse turn
	const std::array<float, 4> z90 = turned(0, 0, 90);
	EXPECT_EQ(z90[0], kHalfRoot2);
	EXPECT_EQ(z90[3], -kHalfRoot2);
	EXPECT_NEAR(z90[1], 0, 1e-9f);
	EXPECT_NEAR(z90[2], 0, 1e-9f);
	const std::array<float, 4> x60 = turned(60, 0, 0);
	EXPECT_NEAR(x60[0], std::cos(std::numbers::pi / 6), 1e-7);
	EXPECT_NEAR(x60[1], -0.5f, 1e-7f);
	const std::array<float, 4> y180 = turned(0, 180, 0);
	EXPECT_NEAR(y180[0], 0, 1e-7f);
	EXPECT_NEAR(std::abs(y180[2]), 1, 1e-7f);

	// a zero part with a negative difference keeps the sign: -0
	Matrix34 m = kIdentity34; // z's radicand 1 - 1 - 1 + 1 is 0, m01 - m10 is -1
	m[1] = -0.5f;
	m[4] = 0.5f;
	const std::array<float, 4> q = GetQuatFromMatrix(m);
	EXPECT_EQ(Bits(q[3]), Bits(-0.0f));
	// a negative radicand gives 0
	const Matrix34 flip = {-1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0};
	EXPECT_EQ(GetQuatFromMatrix(flip)[0], 0.0f);

	// the radicand is summed wider than float: 1 + 3 x 2^-24 is not 1
	const float e = std::ldexp(1.0f, -24);
	const Matrix34 tiny = {e, 0, 0, 0, 0, e, 0, 0, 0, 0, e, 0};
	EXPECT_EQ(GetQuatFromMatrix(tiny)[0], 0.5f + std::ldexp(1.0f, -24));
}

TEST(TrackSampler, SameValuesAsInterpolateFrame)
{
	std::mt19937 random(5);
	std::uniform_real_distribution<float> value(-500, 500);
	for (int round = 0; round < 300; ++round) {
		// ascending tracks with whole and fractional frames, and shuffled ones
		std::vector<Key> keys(std::size_t(random() % 12));
		float frame = float(int(random() % 5)) - 2;
		for (Key& key : keys) {
			frame += round % 3 == 0 ? float(random() % 3) : float(random() % 40) / 16.0f;
			key = Key{frame, value(random)};
		}
		if (round % 5 == 0)
			std::shuffle(keys.begin(), keys.end(), random);
		TrackSampler sampler(keys);
		for (int f = -3; f < 40; ++f)
			ASSERT_EQ(Bits(sampler.At(float(f))), Bits(InterpolateFrame(keys, float(f)))) << round << " frame " << f;
		for (const float f : {7.5f, 2.0f, 30.25f, -1.0f, 0.0f}) // backwards too
			ASSERT_EQ(Bits(sampler.At(f)), Bits(InterpolateFrame(keys, f))) << round << " frame " << f;
	}
}

TEST(ExportAnimToPSA, ChunksOfASmallAnimation)
{
	const std::vector<std::string> names = {"root", "arm", "hand"};
	const BinaryExport psa = ExportAnimToPSA(SkeletalAnimation(), 3, names, "wave");
	ASSERT_TRUE(psa.ok) << psa.message;
	const std::vector<Chunk> chunks = Chunks(psa.bytes);
	ASSERT_EQ(Layout(chunks), "ANIMHEAD 0 0\nBONENAMES 120 3\nANIMINFO 168 1\nANIMKEYS 32 9\n");
	EXPECT_EQ(chunks.back().data + 32 * 9, psa.bytes.size());

	Reader bones(psa.bytes, chunks[1].data);
	for (const std::string& name : names) {
		EXPECT_EQ(bones.text(64), name);
		for (int i = 0; i < 14; ++i)
			EXPECT_EQ(bones.u32(), 0u);
	}

	Reader info(psa.bytes, chunks[2].data);
	EXPECT_EQ(info.text(64), "wave");
	EXPECT_EQ(info.text(64), "None");
	for (const std::int32_t field : {3, 0, 0, 3})
		EXPECT_EQ(info.s32(), field);
	EXPECT_EQ(info.f32(), 0.0f);
	EXPECT_EQ(info.f32(), 90.0f); // frames times the rate
	EXPECT_EQ(info.f32(), 30.0f);
	for (const std::int32_t field : {0, 0, 3})
		EXPECT_EQ(info.s32(), field);

	// frame by frame, bone by bone: translation (z, x, y), rotation (z, x, y, w), time
	Reader keys(psa.bytes, chunks[3].data);
	const float s = std::sin(float(std::numbers::pi / 8)), c = std::cos(float(std::numbers::pi / 8));
	const float armTurn[3][2] = {{0, 1}, {-s, c}, {-kHalfRoot2, kHalfRoot2}};
	for (int f = 0; f < 3; ++f) {
		SCOPED_TRACE(f);
		ExpectFloats(keys, {0, 0, 0, 0, 0, 0, 1, 1}); // root
		ExpectFloats(keys, {3, 1, 2, armTurn[f][0], 0, 0, armTurn[f][1], 1}, 1e-6f);
		ExpectFloats(keys, {0, 0, 0, 0, 0, 0, 1, 1}); // hand: no tracks at all
	}
}

TEST(ExportAnimToPSA, RefusalsAndLongNames)
{
	AnimState anim = SkeletalAnimation();
	anim.nFrames = -1; // animations added together: no frame count of its own
	BinaryExport psa = ExportAnimToPSA(anim, 3, std::vector<std::string>{"a", "b", "c"}, "mixed");
	EXPECT_FALSE(psa.ok);
	EXPECT_EQ(psa.message, kMixedAnimations);
	EXPECT_TRUE(psa.bytes.empty());
	anim.nFrames = 0;
	psa = ExportAnimToPSA(anim, 3, std::vector<std::string>{"a", "b", "c"}, "none");
	EXPECT_FALSE(psa.ok);
	EXPECT_EQ(psa.message, kNoFrames);

	// names longer than their field keep a terminating NUL; missing names are empty
	anim.nFrames = 1;
	const std::string longName(100, 'n');
	psa = ExportAnimToPSA(anim, 2, std::vector<std::string>{longName}, longName);
	ASSERT_TRUE(psa.ok);
	const std::vector<Chunk> chunks = Chunks(psa.bytes);
	Reader bones(psa.bytes, chunks[1].data);
	EXPECT_EQ(bones.text(64), longName.substr(0, 63));
	bones = Reader(psa.bytes, chunks[1].data + 120);
	EXPECT_EQ(bones.text(64), "");
	Reader info(psa.bytes, chunks[2].data);
	EXPECT_EQ(info.text(64), longName.substr(0, 63));
}

// --- the corpus ---

std::size_t Lines(const std::string& text, const std::string& start)
{
	std::size_t count = 0;
	for (std::size_t at = text.find('\n' + start); at != std::string::npos; at = text.find('\n' + start, at + 1))
		++count;
	return count;
}

// The sum of the numbers behind every "\t<tag> " line.
long long Sum(const std::string& text, const std::string& tag)
{
	long long sum = 0;
	const std::string key = "\n\t" + tag + ' ';
	for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1))
		sum += std::stoll(text.substr(at + key.size()));
	return sum;
}

TEST(CorpusExport, EveryModelToPSKAndMD5)
{
	int exported = 0;
	testing::ForEachCorpusModel([&](const std::string&, const std::vector<std::uint8_t>& bytes, const auto& sub) {
		LoadedModel model;
		ByteView view(bytes);
		const ModelReadResult read = ReadModel(view, sub["offset"].template get<std::size_t>(), model);
		if (!read.ok)
			return; // a material library without geometry: the viewer shows its message
		std::size_t triangles = 0;
		for (const std::vector<Triangle>& mesh : model.MD.meshTris)
			triangles += mesh.size();

		const BinaryExport psk = ExportToPSK(model, false);
		ASSERT_TRUE(psk.ok) << psk.message;
		const std::vector<Chunk> chunks = Chunks(psk.bytes);
		ASSERT_EQ(chunks.size(), 7u);
		EXPECT_EQ(chunks[1].count, chunks[2].count); // one point per wedge
		EXPECT_EQ(chunks[3].count, triangles);
		EXPECT_EQ(chunks[4].count, std::uint32_t(model.MD.nMat));
		EXPECT_EQ(chunks[5].count, std::uint32_t(model.nBones));
		EXPECT_GE(chunks[6].count, chunks[1].count); // every point weighted
		EXPECT_EQ(chunks[6].data + 12 * std::size_t(chunks[6].count), psk.bytes.size());
		Reader faces(psk.bytes, chunks[3].data);
		for (std::uint32_t f = 0; f < chunks[3].count; ++f) {
			for (int c = 0; c < 3; ++c)
				ASSERT_LT(faces.u16(), chunks[1].count);
			faces.u32();
			faces.u16();
		}

		const std::string md5 = ExportToMD5(model, false);
		EXPECT_EQ(md5.find("nan"), std::string::npos);
		EXPECT_EQ(md5.find("inf"), std::string::npos);
		EXPECT_EQ(Lines(md5, "mesh {"), std::size_t(model.MD.nMesh));
		EXPECT_EQ(Lines(md5, "\tvert "), chunks[1].count); // per mesh, the same vertices as PSK's wedges
		EXPECT_EQ(Sum(md5, "numverts"), chunks[1].count);
		EXPECT_EQ(Lines(md5, "\ttri "), triangles);
		EXPECT_EQ(Sum(md5, "numtris"), (long long)triangles);
		EXPECT_EQ(Lines(md5, "\tweight "), chunks[6].count);
		EXPECT_EQ(Sum(md5, "numweights"), chunks[6].count);
		EXPECT_EQ(Lines(md5, "\t\""), std::size_t(model.nBones));
		++exported;
	});
	EXPECT_GT(exported, 20);
}

} // namespace
} // namespace zentarra
