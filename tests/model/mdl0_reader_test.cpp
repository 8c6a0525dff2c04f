// Models the test-only writer lays out, damaged copies of them and the corpus's, read whole.
#include "model/mdl0_reader.h"

#include "base/file_io.h"
#include "support/demo_archive.h"
#include "support/corpus.h"
#include "model/bones.h"
#include "model/materials.h"
#include "model/mdl0_bytes.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <map>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

namespace zentarra {
namespace {

using nlohmann::json;
using namespace zentarra::testing;

// Positions (i, 2i, 3i), a root bone and one single-bind mesh drawing `primitives`.
Mdl0Model Basic(int positions, std::vector<Primitive> primitives = {Triangles({0, 1, 2})})
{
	Mdl0Model model;
	model.positions = {{.name = "positions0"}};
	for (int i = 0; i < positions; ++i)
		model.positions[0].values.insert(model.positions[0].values.end(), {float(i), float(2 * i), float(3 * i)});
	model.bones = {{.name = "root"}};
	model.meshes = {{.name = "mesh0", .primitives = std::move(primitives)}};
	return model;
}

// Reads `mdl0` placed behind some junk, so offsets must be taken relative to the sub-file.
ModelReadResult Read(const Bytes& mdl0, LoadedModel& model)
{
	Bytes file = {0xDE, 0xAD, 0xBE, 0xEF, 0x08, 0x50, 0x11, 0x22};
	file.insert(file.end(), mdl0.begin(), mdl0.end());
	ByteView view(file);
	return ReadModel(view, 8, model);
}

std::size_t TriangleCount(const BRMDL& md)
{
	std::size_t count = 0;
	for (const std::vector<Triangle>& triangles : md.meshTris)
		count += triangles.size();
	return count;
}

TEST(ReadModel, FailuresLeaveTheTargetEmptyButForPlayback)
{
	// the last mesh's descriptor removed: nothing behind it holds the command
	Mdl0Model two = Basic(3);
	two.meshes.push_back({.name = "lost", .primitives = two.meshes[0].primitives});
	const Bytes sound = BuildMDL0(two);
	std::size_t descriptor = sound.size() - 2;
	while (!(sound[descriptor] == 0x08 && sound[descriptor + 1] == 0x50))
		--descriptor;
	Bytes noDescriptor = sound;
	noDescriptor[descriptor] = 0;
	Mdl0Model none = Basic(3);
	none.positions.clear();
	const std::pair<Bytes, std::string> cases[] = {
		{BuildMDL0(none), std::string(kNoVertices)},
		{noDescriptor, "\"lost\""},
		{Bytes(sound.begin(), sound.begin() + std::ptrdiff_t(descriptor + 0x60)), "display list"},
		{Bytes(), std::string(kNoVertices)}, // the sub-file offset past the end of the file
	};
	auto model = std::make_unique<LoadedModel>();
	model->anim.speed = 3, model->anim.rotOnly = 1, model->anim.defaultSpeed = 2;
	for (const auto& [bytes, message] : cases) {
		ASSERT_TRUE(Read(BuildMDL0(Basic(3)), *model).ok);
		model->anim.type = 1;
		model->anim.bones.resize(1);
		model->MD.morph = {{0.5f}};
		ByteView empty;
		const ModelReadResult result = bytes.empty() ? ReadModel(empty, 0, *model) : Read(bytes, *model);
		EXPECT_TRUE(!result.ok && result.message.starts_with("Error: ")) << result.message;
		EXPECT_NE(result.message.find(message), std::string::npos) << result.message;
		EXPECT_TRUE(model->MD.nMesh == 0 && model->MD.morph.empty() && model->names.positions.empty());
		EXPECT_TRUE(model->anim.type == 0 && model->anim.bones.empty() && model->anim.frame == -1.0f);
		EXPECT_EQ((std::array{model->anim.speed, model->anim.rotOnly, model->anim.defaultSpeed}), (std::array{3, 1, 2}));
	}
	// the morph weights belong to the vertex animation, which releases them
	BRMDL copy;
	copy.nMesh = 1;
	copy.morph = {{1.0f}};
	FreeBRMDL(copy);
	EXPECT_TRUE(copy.nMesh == 0 && copy.morph.size() == 1);
}

TEST(ReadModel, DamageIsReportedAndLeftOut)
{
	Mdl0Model shared = Basic(2000), unbound = Basic(3);
	shared.positions.resize(3, {.name = "copy", .values = {0, 0, 0}});
	unbound.meshes[0].node = 4;
	struct Case {
		Mdl0Model desc;
		void (*patch)(Bytes& mdl0);
		const char* named; // in the message
	};
	const Case cases[] = {
		{Basic(3, {Triangles({0, 1, 7})}), [](Bytes&) {}, "\"mesh0\""}, // indices beyond the array
		{Basic(3), [](Bytes& b) { b[DataAt(b, 0, kPositionsSlot, 0) + 0x1E] = 0xEA; }, "\"positions0\""},
		{Basic(3), [](Bytes& b) { b[Get32(b, kPositionsSlot) + 4] = 0xFF; }, "positions group"},
		{shared, // three entries sharing one large array: read once, the rest refused
			[](Bytes& b) {
				for (std::size_t i : {1u, 2u})
					Put32(b, DataField(b, 0, kPositionsSlot, i), Get32(b, DataField(b, 0, kPositionsSlot, 0)));
			},
			"shares its data"},
		{unbound, [](Bytes&) {}, "node 4"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.named);
		Bytes bytes = BuildMDL0(c.desc);
		c.patch(bytes);
		auto model = std::make_unique<LoadedModel>();
		const ModelReadResult result = Read(bytes, *model);
		ASSERT_TRUE(result.ok && result.damaged) << result.message;
		EXPECT_NE(result.message.find(c.named), std::string::npos) << result.message;
		const BRMDL& md = model->MD;
		ASSERT_TRUE(md.nMesh == 1 && md.meshTris[0].size() == 1u);
		EXPECT_TRUE(md.vtxCount[0] < 1000 || (md.vtxCount[0] == 2000 && md.vtxCount[1] + md.vtxCount[2] < 4000));
		for (int i = 0; i < md.nVtx; ++i)
			EXPECT_EQ(std::size_t(md.vtxCount[std::size_t(i)]), md.vtx[std::size_t(i)].size());
	}

	// a damage mark the caller's view carries from earlier reads is not the model's
	auto model = std::make_unique<LoadedModel>();
	const Bytes sound = BuildMDL0(Basic(3)), damaged = BuildMDL0(Basic(3, {Triangles({0, 1, 9})}));
	ByteView marked(sound), clean(damaged);
	marked.markDamaged();
	EXPECT_FALSE(ReadModel(marked, 0, *model).damaged);
	EXPECT_TRUE(ReadModel(clean, 0, *model).damaged && clean.damaged());
}

// Past the triangle limit the model is refused before anything is allocated
// for its triangles; at the limit it reads.
TEST(ReadModel, TriangleLimitAcrossMeshes)
{
	// 31 strips of 65535 corners make 65533 triangles each: 2,031,523 in all
	std::vector<int> corners(65535);
	for (std::size_t k = 0; k < corners.size(); ++k)
		corners[k] = int(k % 3);
	Mdl0Model model = Basic(3, {Strip(corners)});
	model.meshes.resize(31, model.meshes[0]);
	auto loaded = std::make_unique<LoadedModel>();
	const ModelReadResult refused = Read(BuildMDL0(model), *loaded);
	EXPECT_EQ(refused.message, "Error: the model is damaged: it has more than 2000000 triangles");
	EXPECT_TRUE(!refused.ok && loaded->MD.nMesh == 0);

	model.meshes.resize(30); // 1,965,990
	ASSERT_TRUE(Read(BuildMDL0(model), *loaded).ok);
	EXPECT_EQ(TriangleCount(loaded->MD), 30u * 65533u);
}

// The triangle lists of the model read before are reused, not kept.
TEST(ReadModel, ASecondReadKeepsNothingOfTheFirst)
{
	std::vector<int> strip(200);
	std::iota(strip.begin(), strip.end(), 0);
	Mdl0Model big = Basic(200, {Strip(strip)});
	big.meshes.resize(3, big.meshes[0]);
	auto model = std::make_unique<LoadedModel>();
	ASSERT_TRUE(Read(BuildMDL0(big), *model).ok);
	ASSERT_TRUE(Read(BuildMDL0(Basic(3, {Triangles({2, 1, 0})})), *model).ok);
	ASSERT_TRUE(model->MD.meshTris.size() == 1u && model->MD.meshTris[0].size() == 1u);
	EXPECT_EQ((std::pair{model->MD.meshTris[0][0].v[0].posIndex, model->MD.meshTris[0][0].v[2].pos[1]}),
		(std::pair{0, 4.0f}));
	EXPECT_LE(model->MD.meshTris[0].capacity(), 2u);

}

int WeightedNodes(const LoadedModel& model)
{
	int count = 0;
	for (const Node& node : model.nodelist)
		count += node.nWeights > 0;
	return count;
}

TEST(ReadModelCorpus, EveryModelMatchesTheInventory)
{
	std::map<std::string, std::unique_ptr<LoadedModel>> reads; // by "file model"
	const int models = ForEachCorpusModel([&](const std::string& where, const Bytes& bytes, const json& entry) {
		ByteView view(bytes);
		auto model = std::make_unique<LoadedModel>();
		const ModelReadResult result = ReadModel(view, entry["offset"].get<std::size_t>(), *model);
		if (entry["positions_arrays"] == 0) {
			EXPECT_EQ(result.message, kNoVertices);
			return;
		}
		ASSERT_TRUE(result.ok && !result.damaged) << result.message;
		const BRMDL& md = model->MD;
		const auto sum = [](const std::vector<int>& counts) { return std::accumulate(counts.begin(), counts.end(), 0); };
		std::vector<int> got = {md.nMesh, int(TriangleCount(md)), md.nVtx, md.nNrm, md.nClr, md.nUV, sum(md.vtxCount),
			sum(md.nrmCount), sum(md.clrCount), sum(md.uvCount), model->nBones, WeightedNodes(*model), md.nMat};
		std::vector<int> expected;
		for (const char* key : {"objects", "triangles", "positions_arrays", "normals_arrays", "colors_arrays",
				 "texcoords_arrays", "positions", "normals", "colors", "texcoords", "bones", "envelopes", "materials"})
			expected.push_back(entry[key].get<int>());
		EXPECT_EQ(got, expected);
		EXPECT_EQ((std::array{model->names.meshes.size(), model->names.positions.size()}),
			(std::array{std::size_t(md.nMesh), std::size_t(md.nVtx)}));
		ExpectConsistentNodes(*model);
		ExpectConsistentMaterials(md);
		reads[where] = std::move(model);
	});
	EXPECT_GT(models, 20);
	// kuribo: bone 2 sits on node 1, under node 12; the root turns 90 degrees; shader
	// 0x0400 with t = 3 shows the first of its three layers, mirrored along S
	const LoadedModel& kuribo = *reads.at("brres/kuribo.brres kuribo");
	EXPECT_EQ(kuribo.nodelist[std::size_t(kuribo.bonemap[2])].parent, 12);
	EXPECT_EQ(std::to_array(kuribo.nodelist[0].rot), (std::array{0.0f, 0.0f, 90.0f}));
	EXPECT_TRUE(kuribo.MD.texName == std::vector<std::string>{"kuribo"} && kuribo.MD.matMirror == std::vector{1});
	const BRMDL& cow = reads.at("brres/cow.brres cow")->MD;
	EXPECT_TRUE(cow.texName == std::vector<std::string>{"cow_model2"} && cow.matMirror == std::vector{3});
	EXPECT_EQ(reads.at("brres/cow.brres cow-shadow")->MD.texName, (std::vector<std::string>{""}));
}

// Every prefix of two real models, copied so that they start at offset 0 (their
// names stay behind in the archive's string table), returns; the whole reads.
// The skeleton and materials of every prefix, and of the whole read from every
// offset, stay within their tables.
TEST(ReadModelCorpus, EveryPrefixOfRealModelsReturns)
{
	const auto parts = [](const Bytes& file, std::size_t offset) {
		ByteView view(file), again(file);
		auto model = std::make_unique<LoadedModel>();
		model->MD.nMesh = 2;
		model->MD.meshTris.resize(2, std::vector<Triangle>(1));
		std::string damage;
		ReadBones(view, offset, *model, damage);
		ReadMaterials(again, offset, 11, model->MD, damage);
		ExpectConsistentNodes(*model);
		ExpectConsistentMaterials(model->MD);
	};
	const int models = ForEachCorpusModel([&](const std::string& where, const Bytes& bytes, const json& entry) {
		if (where != "brres/kuribo.brres kuribo" && where != "brres/simple.brres 3ds_simple")
			return;
		const auto at = bytes.begin() + entry["offset"].get<std::ptrdiff_t>();
		const Bytes full(at, at + entry["size"].get<std::ptrdiff_t>());
		const std::size_t triangles = entry["triangles"].get<std::size_t>();
		auto model = std::make_unique<LoadedModel>();
		for (std::size_t n = 0; n <= full.size(); ++n) {
			const Bytes prefix(full.begin(), full.begin() + std::ptrdiff_t(n)); // fresh, so ASan sees the end
			parts(prefix, 0);
			parts(full, n);
			ByteView view(prefix);
			const ModelReadResult result = ReadModel(view, 0, *model);
			if (!result.ok)
				EXPECT_TRUE(model->MD.nMesh == 0 && result.message.starts_with("Error: ")) << result.message;
			else // at the least, the names are missing
				EXPECT_TRUE((result.damaged || n == full.size()) && TriangleCount(model->MD) <= triangles) << n;
		}
		// without its names the geometry is still whole
		EXPECT_EQ(TriangleCount(model->MD), triangles);
	});
	EXPECT_GT(models, 20);
}

using Indices = std::array<int, 4>; // position index of each corner, then the first corner's node

std::vector<Indices> CornersOf(const std::vector<Triangle>& tris)
{
	std::vector<Indices> out;
	for (const Triangle& t : tris)
		out.push_back({t.v[0].posIndex, t.v[1].posIndex, t.v[2].posIndex, t.v[0].node});
	return out;
}

// The entries of arrays 1 and on, flat.
template <std::size_t N>
std::vector<float> Flat(const std::vector<std::vector<std::array<float, N>>>& arrays)
{
	std::vector<float> out;
	for (std::size_t a = 1; a < arrays.size(); ++a)
		for (const auto& e : arrays[a])
			out.insert(out.end(), e.begin(), e.end());
	return out;
}

TEST(WriterRoundTrip, ArrayHeadersIndexWidthsAndMatrixLoads)
{
	Mdl0Model model;
	// array headers: format, shift, component count and data offset each read from their own field
	model.positions = {{.name = "pos"},
		{.name = "s16", .format = 3, .shift = 8, .values = {1.5f, -2.25f, 100, -128, 0.00390625f, 127.99609375f}},
		{.name = "u8xy", .format = 0, .components = 2, .values = {200, 1, 255, 0}}};
	model.normals = {{.name = "nrm"}, {.name = "n16", .format = 3, .shift = 14, .values = {-1, 0, 1}}};
	model.colours = {{.format = 0, .values = {1, 0, 0, 1}}, {.format = 5, .values = {1, 2 / 255.0f, 0, 0.2f}}};
	model.texCoords = {{.format = 4, .components = 2}, // data behind the bounds, then in S-only layout behind the header
		{.format = 0, .shift = 4, .components = 1, .values = {0.0625f, 15.9375f}}};
	for (int i = 0; i < 600; ++i) {
		model.positions[0].values.insert(model.positions[0].values.end(), {float(i), float(2 * i), float(3 * i)});
		model.normals[0].values.insert(model.normals[0].values.end(), {0, 0, float(i)});
		model.texCoords[0].values.insert(model.texCoords[0].values.end(), {float(i), 1});
	}
	model.bones = {{.name = "root"}, {.name = "arm", .node = 1, .parent = 0}, {.name = "hand", .node = 2, .parent = 1}};
	model.nodeMix = {{.node = 3, .blend = {{1, 0.25f}, {2, 0.75f}}}};
	// 16-bit indices, and texture channel 1 without channel 0: its index is stepped over
	Mdl0Mesh wide{.name = "wide", .nrmArray = 0, .posSize = 2, .nrmSize = 2, .texSize = {0, 2},
		.primitives = {Triangles({300, 511, 599, 256, 1, 0})}};
	// slots fill in load order; the load at slot 0 starts the table again
	Mdl0Mesh skinned{.name = "skinned", .node = -1, .mtxCount = 2};
	skinned.primitives = {LoadMatrix(1, 0), LoadMatrix(3, 1), Triangles({At(0, 0), At(1, 1), At(2, 1)}),
		LoadMatrix(2, 0), Triangles({At(3, 0), At(4, 1), At(5, 0)})};
	model.meshes = {wide, skinned};

	const ModelArchive archive = BuildModelArchive(model);
	ByteView view(archive.bytes);
	auto loaded = std::make_unique<LoadedModel>();
	const ModelReadResult result = ReadModel(view, archive.offset, *loaded);
	ASSERT_TRUE(result.ok && !result.damaged) << result.message;
	const BRMDL& md = loaded->MD;
	EXPECT_EQ(loaded->names.positions, (std::vector<std::string>{"pos", "s16", "u8xy"}));
	EXPECT_EQ(md.vtxCount, (std::vector<int>{600, 2, 2}));
	EXPECT_EQ(Flat(md.vtx),
		(std::vector<float>{1.5f, -2.25f, 100, -128, 0.00390625f, 127.99609375f, 200, 1, 0, 255, 0, 0}));
	EXPECT_EQ(Flat(md.nrm), (std::vector<float>{-1, 0, 1}));
	EXPECT_EQ(Flat(md.clr), (std::vector<float>{1, 2 / 255.0f, 0, 51 / 255.0f}));
	EXPECT_EQ(md.clr[0], (std::vector<Vec4>{{1, 0, 0, 1}}));
	EXPECT_EQ(md.uvCount, (std::vector<int>{600, 1}));
	EXPECT_EQ(Flat(md.uv), (std::vector<float>{0.0625f, 15.9375f}));

	ASSERT_EQ(md.nMesh, 2);
	EXPECT_EQ(CornersOf(md.meshTris[0]), (std::vector<Indices>{{599, 511, 300, 0}, {0, 1, 256, 0}}));
	const Vertex& far = md.meshTris[0][0].v[0];
	EXPECT_EQ((std::array{far.nrm[2], far.uv[0], float(far.nrmIndex), float(far.uvIndex)}),
		(std::array{599.0f, 0.0f, 599.0f, -1.0f}));
	EXPECT_EQ(CornersOf(md.meshTris[1]), (std::vector<Indices>{{2, 1, 0, 3}, {5, 4, 3, 2}}));
	EXPECT_EQ((std::array{md.meshTris[1][0].v[2].node, md.meshTris[1][1].v[1].node}), (std::array{1, 3}));
}

// The shipped demo archive is up to date with its generator.
TEST(WriterDemo, ShippedArchiveIsCurrent)
{
	const FileBytes shipped = ReadWholeFile(std::string(ZENTARRA_SOURCE_DIR) + "/samples/demo.brres");
	ASSERT_EQ(shipped.status, ReadStatus::Ok);
	EXPECT_TRUE(shipped.bytes == DemoArchive()) << "run 'make demo'";
}

} // namespace
} // namespace zentarra
