#include "model/mdl0_reader.h"

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
		EXPECT_FALSE(result.ok);
		EXPECT_EQ(result.message.rfind("Error: ", 0), 0u) << result.message;
		EXPECT_NE(result.message.find(message), std::string::npos) << result.message;
		EXPECT_TRUE(model->MD.nMesh == 0 && model->MD.vtx.empty() && model->MD.meshTris.empty());
		EXPECT_TRUE(model->MD.morph.empty() && model->names.positions.empty() && model->nodelist.empty());
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
	const auto shared = [] {
		Mdl0Model desc = Basic(2000);
		desc.positions.push_back({.name = "copy1", .values = {0, 0, 0}});
		desc.positions.push_back({.name = "copy2", .values = {0, 0, 0}});
		return desc;
	}();
	Mdl0Model unbound = Basic(3);
	unbound.meshes[0].node = 4;
	struct Case {
		const char* why;
		Mdl0Model desc;
		void (*patch)(Bytes& mdl0);
		const char* named; // in the message
	};
	const Case cases[] = {
		{"indices beyond the array", Basic(3, {Triangles({0, 1, 7})}), [](Bytes&) {}, "\"mesh0\""},
		{"an array counting more entries than the file holds", Basic(3),
			[](Bytes& b) { b[DataAt(b, 0, kPositionsSlot, 0) + 0x1E] = 0xEA; }, "\"positions0\""},
		{"a group counting entries that do not fit", Basic(3), [](Bytes& b) { b[Get32(b, kPositionsSlot) + 4] = 0xFF; },
			"positions group"},
		{"three entries sharing one large array", shared,
			[](Bytes& b) {
				for (std::size_t i : {1u, 2u})
					Put32(b, DataField(b, 0, kPositionsSlot, i), Get32(b, DataField(b, 0, kPositionsSlot, 0)));
			},
			"shares its data"},
		{"a mesh bound to a node the skeleton does not have", unbound, [](Bytes&) {}, "node 4"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.why);
		Bytes bytes = BuildMDL0(c.desc);
		c.patch(bytes);
		auto model = std::make_unique<LoadedModel>();
		const ModelReadResult result = Read(bytes, *model);
		ASSERT_TRUE(result.ok) << result.message;
		EXPECT_TRUE(result.damaged);
		EXPECT_NE(result.message.find(c.named), std::string::npos) << result.message;
		const BRMDL& md = model->MD;
		ASSERT_EQ(md.nMesh, 1);
		EXPECT_LT(md.nVtx, 1000);
		for (int i = 0; i < md.nVtx; ++i)
			EXPECT_EQ(std::size_t(md.vtxCount[std::size_t(i)]), md.vtx[std::size_t(i)].size());
		ASSERT_EQ(md.meshTris[0].size(), 1u);
		if (&c == &cases[3]) { // read once, the rest refused
			EXPECT_TRUE(md.vtxCount[0] == 2000 && md.vtxCount[1] + md.vtxCount[2] < 4000);
		}
	}

	// a damage mark the caller's view carries from earlier reads is not the model's
	auto model = std::make_unique<LoadedModel>();
	const Bytes sound = BuildMDL0(Basic(3)), damaged = BuildMDL0(Basic(3, {Triangles({0, 1, 9})}));
	ByteView marked(sound), clean(damaged);
	marked.markDamaged();
	EXPECT_FALSE(ReadModel(marked, 0, *model).damaged);
	EXPECT_TRUE(ReadModel(clean, 0, *model).damaged);
	EXPECT_TRUE(clean.damaged());
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
	const ModelReadResult read = Read(BuildMDL0(model), *loaded);
	ASSERT_TRUE(read.ok) << read.message;
	EXPECT_EQ(TriangleCount(loaded->MD), 30u * 65533u);
}

TEST(ReadModel, ASecondReadKeepsNothingOfTheFirst)
{
	std::vector<int> strip(200);
	std::iota(strip.begin(), strip.end(), 0);
	Mdl0Model big = Basic(200, {Strip(strip)});
	big.meshes.resize(3, big.meshes[0]);
	const Bytes bigBytes = BuildMDL0(big);
	auto model = std::make_unique<LoadedModel>(), fresh = std::make_unique<LoadedModel>();
	ASSERT_TRUE(Read(bigBytes, *model).ok);
	EXPECT_EQ(TriangleCount(model->MD), 3u * 198u);
	ASSERT_TRUE(Read(BuildMDL0(Basic(3, {Triangles({2, 1, 0})})), *model).ok);
	ASSERT_EQ(model->MD.meshTris.size(), 1u);
	ASSERT_EQ(model->MD.meshTris[0].size(), 1u);
	EXPECT_EQ((std::pair{model->MD.meshTris[0][0].v[0].posIndex, model->MD.meshTris[0][0].v[2].pos[1]}),
		(std::pair{0, 4.0f}));
	EXPECT_LE(model->MD.meshTris[0].capacity(), 2u);
	EXPECT_EQ(model->names.meshes, (std::vector<std::string>{"mesh0"}));

	// a read into used memory gives what a fresh read gives
	ASSERT_TRUE(Read(bigBytes, *model).ok && Read(bigBytes, *fresh).ok);
	ASSERT_EQ(TriangleCount(fresh->MD), TriangleCount(model->MD));
	for (std::size_t m = 0; m < 3; ++m)
		for (std::size_t t = 0; t < model->MD.meshTris[m].size(); ++t)
			for (int c = 0; c < 3; ++c)
				EXPECT_EQ(model->MD.meshTris[m][t].v[c].posIndex, fresh->MD.meshTris[m][t].v[c].posIndex);
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
		ASSERT_TRUE(result.ok) << result.message;
		EXPECT_FALSE(result.damaged) << result.message;
		const BRMDL& md = model->MD;
		const auto sum = [](const std::vector<int>& counts) { return std::accumulate(counts.begin(), counts.end(), 0); };
		const auto get = [&](const char* key) { return entry[key].get<int>(); };
		EXPECT_EQ((std::array{md.nMesh, int(TriangleCount(md)), md.nVtx, md.nNrm, md.nClr, md.nUV}),
			(std::array{get("objects"), get("triangles"), get("positions_arrays"), get("normals_arrays"),
				get("colors_arrays"), get("texcoords_arrays")}));
		EXPECT_EQ((std::array{sum(md.vtxCount), sum(md.nrmCount), sum(md.clrCount), sum(md.uvCount)}),
			(std::array{get("positions"), get("normals"), get("colors"), get("texcoords")}));
		EXPECT_EQ((std::array{model->names.meshes.size(), model->names.positions.size()}),
			(std::array{std::size_t(md.nMesh), std::size_t(md.nVtx)}));
		EXPECT_EQ((std::array{model->nBones, WeightedNodes(*model), md.nMat}),
			(std::array{get("bones"), get("envelopes"), get("materials")}));
		ExpectConsistentNodes(*model);
		ExpectConsistentMaterials(md);
		reads[where] = std::move(model);
	});
	EXPECT_GT(models, 20);
	const LoadedModel& human = *reads.at("brres/human_walk.brres human_walk");
	EXPECT_EQ((std::array{human.nBones, WeightedNodes(human)}), (std::array{53, 148}));
	// kuribo: bone 2 sits on node 1, under node 12; the root turns 90 degrees; shader
	// 0x0400 with t = 3 shows the first of its three layers, mirrored along S
	const LoadedModel& kuribo = *reads.at("brres/kuribo.brres kuribo");
	EXPECT_EQ(kuribo.nodelist[std::size_t(kuribo.bonemap[2])].parent, 12);
	EXPECT_EQ(std::to_array(kuribo.nodelist[0].rot), (std::array{0.0f, 0.0f, 90.0f}));
	EXPECT_EQ(kuribo.MD.texName, (std::vector<std::string>{"kuribo"}));
	EXPECT_EQ(kuribo.MD.matMirror, (std::vector<int>{1}));
	const BRMDL& cow = reads.at("brres/cow.brres cow")->MD;
	EXPECT_EQ(cow.texName, (std::vector<std::string>{"cow_model2"}));
	EXPECT_EQ(cow.matMirror, (std::vector<int>{3}));
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
			if (!result.ok) {
				EXPECT_EQ(model->MD.nMesh, 0);
				EXPECT_EQ(result.message.rfind("Error: ", 0), 0u) << result.message;
			} else {
				EXPECT_TRUE(result.damaged || n == full.size()) << n; // at the least, the names are missing
				EXPECT_LE(TriangleCount(model->MD), triangles);
			}
		}
		// without its names the geometry is still whole
		EXPECT_EQ(TriangleCount(model->MD), triangles);
	});
	EXPECT_GT(models, 20);
}

} // namespace
} // namespace zentarra
