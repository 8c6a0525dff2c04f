#include "model/mdl0_reader.h"

#include "base/file_io.h"
#include "support/corpus.h"
#include "model/bones.h"
#include "model/materials.h"
#include "model/mdl0_bytes.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <map>
#include <numeric>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zentarra {
namespace {

using nlohmann::json;
using namespace zentarra::testing;

// Positions (i, 2i, 3i), a root bone and one single-bind mesh drawing `primitives`.
Mdl0Model Basic(int positions, std::vector<Primitive> primitives)
{
	Mdl0Model model;
	model.positions = {{.name = "positions0"}};
	for (int i = 0; i < positions; ++i)
		model.positions[0].values.insert(model.positions[0].values.end(), {float(i), float(2 * i), float(3 * i)});
	model.bones = {{.name = "root"}};
	model.meshes = {{.name = "mesh0", .primitives = std::move(primitives)}};
	return model;
}

const std::vector<Primitive> kTriangle = {Triangles({0, 1, 2})};

// Offset of the data of entry `i` of the group in header slot `slot`.
std::size_t EntryData(const Bytes& mdl0, std::size_t slot, std::size_t i) { return DataAt(mdl0, 0, slot, i); }

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

TEST(ReadModel, VersionDecidesWhereObjectsAndMaterialsStand)
{
	Mdl0Model desc = Basic(4, {Strip({0, 1, 2, 3})});
	desc.materials = {{.name = "a", .texGens = 0, .cull = 1}, {.name = "b", .texGens = 0, .cull = 3}};
	desc.drawLists = {{"DrawOpa", {{.material = 1, .mesh = 0}}}};
	for (std::uint32_t version : {8u, 9u, 10u, 11u}) {
		SCOPED_TRACE(version);
		desc.version = version;
		Bytes bytes = BuildMDL0(desc);
		auto model = std::make_unique<LoadedModel>();
		ModelReadResult result = Read(bytes, *model);
		ASSERT_TRUE(result.ok) << result.message;
		EXPECT_FALSE(result.damaged) << result.message;
		EXPECT_EQ(model->MD.nMesh, 1);
		EXPECT_EQ(TriangleCount(model->MD), 2u);
		EXPECT_EQ(model->MD.nMat, 2);
		EXPECT_EQ(model->MD.meshCull, (std::vector<int>{3}));

		// without materials, the same bytes under the other kind of version find no objects
		Mdl0Model plain = desc;
		plain.materials.clear();
		plain.drawLists.clear();
		bytes = BuildMDL0(plain);
		ASSERT_TRUE(Read(bytes, *model).ok);
		bytes[11] = std::uint8_t(version <= 9 ? 11 : 9);
		result = Read(bytes, *model);
		EXPECT_TRUE(!result.ok || model->MD.nMesh == 0);
	}
}

TEST(ReadModel, FailuresLeaveTheTargetEmpty)
{
	auto model = std::make_unique<LoadedModel>();
	model->anim.speed = 3;
	model->anim.rotOnly = 1;
	model->anim.defaultSpeed = 2;
	const auto fill = [&] {
		ASSERT_TRUE(Read(BuildMDL0(Basic(3, kTriangle)), *model).ok);
		ASSERT_EQ(model->MD.nMesh, 1);
		model->anim.type = 1;
		model->anim.bones.resize(1);
		model->MD.morph = {{0.5f}};
	};
	const auto expectEmpty = [&](const ModelReadResult& result) {
		EXPECT_FALSE(result.ok);
		EXPECT_EQ(result.message.rfind("Error: ", 0), 0u) << result.message;
		EXPECT_EQ(model->MD.nMesh, 0);
		EXPECT_TRUE(model->MD.vtx.empty() && model->MD.meshTris.empty() && model->MD.morph.empty());
		EXPECT_TRUE(model->names.positions.empty() && model->names.meshes.empty() && model->nodelist.empty());
		EXPECT_TRUE(model->anim.type == 0 && model->anim.bones.empty() && model->anim.frame == -1.0f);
		// playback settings survive
		EXPECT_EQ((std::array{model->anim.speed, model->anim.rotOnly, model->anim.defaultSpeed}), (std::array{3, 1, 2}));
	};

	fill();
	Mdl0Model none = Basic(3, kTriangle);
	none.positions.clear();
	ModelReadResult result = Read(BuildMDL0(none), *model);
	EXPECT_EQ(result.message, kNoVertices);
	expectEmpty(result);

	// the last mesh's descriptor removed: nothing behind it holds the command
	Mdl0Model two = Basic(3, kTriangle);
	two.meshes.push_back(two.meshes[0]);
	two.meshes[1].name = "lost";
	const Bytes sound = BuildMDL0(two);
	std::size_t descriptor = sound.size() - 1;
	while (!(sound[descriptor - 1] == 0x08 && sound[descriptor] == 0x50))
		--descriptor;
	--descriptor;
	Bytes noDescriptor = sound;
	noDescriptor[descriptor] = 0;
	fill();
	result = Read(noDescriptor, *model);
	EXPECT_NE(result.message.find("\"lost\""), std::string::npos) << result.message;
	expectEmpty(result);

	// the file ends before the last mesh's display list
	fill();
	result = Read(Bytes(sound.begin(), sound.begin() + std::ptrdiff_t(descriptor + 0x60)), *model);
	EXPECT_NE(result.message.find("display list"), std::string::npos) << result.message;
	expectEmpty(result);

	// the sub-file offset past the end of the file
	fill();
	ByteView empty;
	result = ReadModel(empty, 0, *model);
	EXPECT_EQ(result.message, kNoVertices);
	expectEmpty(result);
}

TEST(ReadModel, DamageIsReportedAndLeftOut)
{
	struct Case {
		const char* why;
		Mdl0Model desc;
		void (*patch)(Bytes& mdl0);
		const char* named; // in the message
	};
	const auto shared = [] {
		Mdl0Model desc = Basic(2000, kTriangle);
		desc.positions.push_back({.name = "copy1", .values = {0, 0, 0}});
		desc.positions.push_back({.name = "copy2", .values = {0, 0, 0}});
		return desc;
	};
	const auto unbound = [] {
		Mdl0Model desc = Basic(3, kTriangle);
		desc.meshes[0].node = 4;
		return desc;
	};
	const Case cases[] = {
		{"indices beyond the array", Basic(3, {Triangles({0, 1, 7})}), [](Bytes&) {}, "\"mesh0\""},
		{"an array counting more entries than the file holds", Basic(3, kTriangle),
			[](Bytes& b) {
				const std::size_t d = EntryData(b, 0x18, 0);
				b[d + 0x1E] = 0xEA;
				b[d + 0x1F] = 0x60;
			},
			"\"positions0\""},
		{"a group counting entries that do not fit", Basic(3, kTriangle),
			[](Bytes& b) { b[Get32(b, 0x18) + 4] = 0xFF; }, "positions group"},
		{"three entries sharing one large array", shared(),
			[](Bytes& b) {
				const std::size_t group = Get32(b, 0x18);
				for (std::size_t i : {1u, 2u})
					for (std::size_t k = 0; k < 4; ++k)
						b[group + 0x18 + 16 * i + 12 + k] = b[group + 0x18 + 12 + k];
			},
			"shares its data"},
		{"a mesh bound to a node the skeleton does not have", unbound(), [](Bytes&) {}, "node 4"},
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
	}

	auto model = std::make_unique<LoadedModel>();
	Read(BuildMDL0(Basic(3, {Triangles({0, 1, 7})})), *model);
	EXPECT_EQ(model->MD.meshTris[0][0].v[0].pos[1], 0.0f); // the missing entry
	EXPECT_EQ(model->MD.meshTris[0][0].v[1].pos[1], 2.0f);
	Bytes sharing = BuildMDL0(shared());
	cases[3].patch(sharing);
	Read(sharing, *model);
	EXPECT_EQ(model->MD.vtxCount[0], 2000); // read once, the rest refused
	EXPECT_LT(model->MD.vtxCount[1] + model->MD.vtxCount[2], 4000);

	// a damage mark the caller's view carries from earlier reads is not the model's
	const Bytes sound = BuildMDL0(Basic(3, kTriangle));
	ByteView marked(sound);
	marked.markDamaged();
	EXPECT_FALSE(ReadModel(marked, 0, *model).damaged);
	const Bytes damaged = BuildMDL0(Basic(3, {Triangles({0, 1, 9})}));
	ByteView clean(damaged);
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
	EXPECT_FALSE(refused.ok);
	EXPECT_EQ(refused.message, "Error: the model is damaged: it has more than 2000000 triangles");
	EXPECT_EQ(loaded->MD.nMesh, 0);

	model.meshes.resize(30); // 1,965,990
	const ModelReadResult read = Read(BuildMDL0(model), *loaded);
	ASSERT_TRUE(read.ok) << read.message;
	EXPECT_EQ(TriangleCount(loaded->MD), 30u * 65533u);
}

TEST(ReadModel, ASecondReadKeepsNothingOfTheFirst)
{
	Mdl0Model big = Basic(200, {});
	std::vector<int> strip;
	for (int v = 0; v < 200; ++v)
		strip.push_back(v);
	big.meshes = {};
	for (int i = 0; i < 3; ++i)
		big.meshes.push_back({.name = "big" + std::to_string(i), .primitives = {Strip(strip)}});
	const Bytes bigBytes = BuildMDL0(big);
	const Bytes smallBytes = BuildMDL0(Basic(3, {Triangles({2, 1, 0})}));

	auto model = std::make_unique<LoadedModel>();
	ASSERT_TRUE(Read(bigBytes, *model).ok);
	EXPECT_EQ(TriangleCount(model->MD), 3u * 198u);
	ASSERT_TRUE(Read(smallBytes, *model).ok);
	ASSERT_EQ(model->MD.nMesh, 1);
	ASSERT_EQ(model->MD.meshTris[0].size(), 1u);
	EXPECT_EQ(model->MD.meshTris[0][0].v[0].posIndex, 0);
	EXPECT_EQ(model->MD.meshTris[0][0].v[2].pos[1], 4.0f);
	EXPECT_LE(model->MD.meshTris[0].capacity(), 2u);
	EXPECT_EQ(model->names.meshes, (std::vector<std::string>{"mesh0"}));

	// a read into used memory gives what a fresh read gives
	ASSERT_TRUE(Read(bigBytes, *model).ok);
	auto fresh = std::make_unique<LoadedModel>();
	ASSERT_TRUE(Read(bigBytes, *fresh).ok);
	ASSERT_EQ(TriangleCount(fresh->MD), TriangleCount(model->MD));
	for (std::size_t m = 0; m < 3; ++m)
		for (std::size_t t = 0; t < model->MD.meshTris[m].size(); ++t)
			for (int c = 0; c < 3; ++c)
				EXPECT_EQ(model->MD.meshTris[m][t].v[c].posIndex, fresh->MD.meshTris[m][t].v[c].posIndex);
}

TEST(FreeModel, ReleasesAllButPlaybackSettings)
{
	auto model = std::make_unique<LoadedModel>();
	ASSERT_TRUE(Read(BuildMDL0(Basic(3, kTriangle)), *model).ok);
	model->anim = {.nFrames = 20, .bones = {}, .vanim = std::vector<VAnim>(2), .frame = 7, .playing = 1, .speed = 4,
		.rotOnly = 1, .defaultSpeed = 5};
	model->MD.morph = {{1.0f}, {0.5f}};

	BRMDL copy = model->MD;
	FreeBRMDL(copy);
	EXPECT_EQ(copy.nMesh, 0);
	EXPECT_TRUE(copy.vtx.empty() && copy.meshTris.empty());
	EXPECT_EQ(copy.morph.size(), 2u); // the vertex animation's, released with it

	FreeModel(*model);
	EXPECT_EQ(model->MD.nMesh, 0);
	EXPECT_TRUE(model->MD.morph.empty() && model->nodelist.empty() && model->bonemap.empty());
	EXPECT_TRUE(model->names.bones.empty() && model->anim.vanim.empty());
	EXPECT_EQ((std::array{model->anim.playing, model->anim.nFrames}), (std::array{0, 0}));
	EXPECT_EQ(model->anim.frame, -1.0f);
	EXPECT_EQ((std::array{model->anim.speed, model->anim.rotOnly, model->anim.defaultSpeed}), (std::array{4, 1, 5}));
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
	const int models = testing::ForEachCorpusModel([&](const std::string& where, const Bytes& bytes, const json& entry) {
		ByteView view(bytes);
		auto model = std::make_unique<LoadedModel>();
		const ModelReadResult result = ReadModel(view, entry["offset"].get<std::size_t>(), *model);
		if (entry["positions_arrays"] == 0) {
			EXPECT_FALSE(result.ok);
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
		EXPECT_EQ(model->names.meshes.size(), std::size_t(md.nMesh));
		EXPECT_EQ(model->names.positions.size(), std::size_t(md.nVtx));
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
	EXPECT_EQ((std::array{kuribo.nodelist[0].rot[0], kuribo.nodelist[0].rot[1], kuribo.nodelist[0].rot[2]}),
		(std::array{0.0f, 0.0f, 90.0f}));
	EXPECT_EQ(kuribo.MD.texName, (std::vector<std::string>{"kuribo"}));
	EXPECT_EQ(kuribo.MD.matMirror, (std::vector<int>{1}));
	const BRMDL& cow = reads.at("brres/cow.brres cow")->MD;
	EXPECT_EQ(cow.texName, (std::vector<std::string>{"cow_model2"}));
	EXPECT_EQ(cow.matMirror, (std::vector<int>{3}));
	EXPECT_EQ(reads.at("brres/cow.brres cow-shadow")->MD.texName, (std::vector<std::string>{""}));
}

// The skeleton and materials of every prefix of a model, and of the whole
// model read from every offset, stay within their tables.
TEST(ReadModel, BonesAndMaterialsOfEveryPrefixAndOffsetStayConsistent)
{
	Mdl0Model description = Basic(3, kTriangle);
	description.bones = {{.name = "b0"}, {.name = "b1", .node = 1, .parent = 0}, {.name = "b2", .node = 2, .parent = 1},
		{.name = "b3", .node = 3, .parent = 0}};
	description.nodeMix = {{.node = 0, .bone = 0}, {.node = 4, .blend = {{1, 0.5f}, {2, 0.5f}}},
		{.node = 5, .blend = {{2, 0.5f}, {3, 0.5f}}}};
	description.meshes.push_back(description.meshes[0]);
	description.materials = {{.name = "m0", .layers = {{"layer0"}}},
		{.name = "m1", .texGens = 4, .shaderSignature = {0x04, 0x00}, .layers = {{"layer0"}, {"second", "pal", 2, 0}}}};
	description.drawLists = {{"DrawOpa", {{0, 0}, {1, 1}}}};
	const Bytes bytes = BuildMDL0(description);
	const auto read = [](const Bytes& file, std::size_t offset, bool whole) {
		ByteView view(file), again(file);
		auto model = std::make_unique<LoadedModel>();
		model->MD.nMesh = 2;
		model->MD.meshTris.resize(2, std::vector<Triangle>(1));
		std::string damage;
		const bool bones = ReadBones(view, offset, *model, damage);
		const bool materials = ReadMaterials(again, offset, 11, model->MD, damage);
		ExpectConsistentNodes(*model);
		ExpectConsistentMaterials(model->MD);
		if (whole) {
			EXPECT_TRUE(bones && materials) << damage;
			EXPECT_EQ(model->nNodes, 6);
			EXPECT_EQ(model->MD.texName, (std::vector<std::string>{"layer0", "second"}));
		}
	};
	for (std::size_t n = 0; n <= bytes.size(); ++n) {
		SCOPED_TRACE(n);
		read(Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(n)), 0, n == bytes.size()); // its own, so ASan sees the end
	}
	for (std::size_t offset = 0; offset < bytes.size(); ++offset)
		read(bytes, offset, false);
}

// The sub-file of a corpus model, copied so that it starts at offset 0, and
// its triangle count. Its names stay behind in the archive's string table.
std::pair<Bytes, std::size_t> CorpusModel(const std::string& archive, const std::string& name)
{
	const FileBytes file = ReadWholeFile(testing::kCorpusDir + "/brres/" + archive);
	for (const json& a : testing::CorpusInventory()) {
		if (a["file"] != "brres/" + archive)
			continue;
		for (const json& entry : a["subfiles"]) {
			if (entry["kind"] == "MDL0" && entry["name"] == name) {
				const auto at = entry["offset"].get<std::ptrdiff_t>();
				const auto size = entry["size"].get<std::ptrdiff_t>();
				return {Bytes(file.bytes.begin() + at, file.bytes.begin() + at + size),
					entry["triangles"].get<std::size_t>()};
			}
		}
	}
	return {};
}

TEST(ReadModelCorpus, EveryPrefixOfRealModelsReturns)
{
	for (const auto& [archive, name] : {std::pair<std::string, std::string>{"kuribo.brres", "kuribo"},
			 {"simple.brres", "3ds_simple"}}) {
		const auto [full, triangles] = CorpusModel(archive, name);
		ASSERT_FALSE(full.empty()) << archive;
		auto model = std::make_unique<LoadedModel>();
		for (std::size_t n = 0; n < full.size(); ++n) {
			const Bytes prefix(full.begin(), full.begin() + std::ptrdiff_t(n)); // fresh, so ASan sees the end
			ByteView view(prefix);
			const ModelReadResult result = ReadModel(view, 0, *model);
			if (!result.ok) {
				EXPECT_EQ(model->MD.nMesh, 0);
				EXPECT_EQ(result.message.rfind("Error: ", 0), 0u) << result.message;
			} else {
				EXPECT_TRUE(result.damaged) << n; // at the least, the names are missing
				EXPECT_LE(TriangleCount(model->MD), triangles);
			}
		}
		// without its names the geometry is still whole
		ByteView view(full);
		const ModelReadResult result = ReadModel(view, 0, *model);
		ASSERT_TRUE(result.ok) << archive << ": " << result.message;
		EXPECT_EQ(TriangleCount(model->MD), triangles) << archive;
	}
}

} // namespace
} // namespace zentarra
