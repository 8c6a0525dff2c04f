// Models the test-only writer lays out, damaged copies of them and the corpus's, read whole.
#include "model/mdl0_reader.h"

#include "base/file_io.h"
#include "support/demo_archive.h"
#include "support/corpus.h"
#include "model/mdl0_bytes.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
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
	return ReadModel(view, 8, "", model);
}

std::size_t TriangleCount(const BRMDL& md)
{
	return std::accumulate(md.meshTris.begin(), md.meshTris.end(), std::size_t(0),
		[](std::size_t count, const std::vector<Triangle>& triangles) { return count + triangles.size(); });
}

// The morph weights belong to the vertex animation, which releases them.
TEST(ReadModel, FreeKeepsTheMorphWeights)
{
	BRMDL copy;
	copy.nMesh = 1, copy.morph = {{1.0f}};
	FreeBRMDL(copy);
	EXPECT_TRUE(copy.nMesh == 0 && copy.morph.size() == 1);
}

TEST(ReadModel, DamageIsReportedAndLeftOut)
{
	Mdl0Model shared = Basic(2000), unbound = Basic(3);
	shared.positions.resize(3, {.name = "copy", .values = {0, 0, 0}});
	unbound.meshes[0].node = 4;
	Bytes sharing = BuildMDL0(shared); // three entries on one large array: read once, the rest refused
	for (std::size_t i : {1u, 2u})
		Put32(sharing, DataField(sharing, 0, kPositionsSlot, i), Get32(sharing, DataField(sharing, 0, kPositionsSlot, 0)));
	const std::pair<Bytes, const char*> cases[] = {
		{BuildMDL0(Basic(3, {Triangles({0, 1, 7})})), "\"mesh0\""}, {sharing, "shares its data"},
		{BuildMDL0(unbound), "node 4"}};
	for (const auto& [bytes, named] : cases) {
		auto model = std::make_unique<LoadedModel>();
		const ModelReadResult result = Read(bytes, *model);
		ASSERT_TRUE(result.ok && result.damaged) << result.message;
		EXPECT_NE(result.message.find(named), std::string::npos) << result.message;
		ASSERT_TRUE(model->MD.nMesh == 1 && model->MD.meshTris[0].size() == 1u);
		EXPECT_LT(std::accumulate(model->MD.vtxCount.begin(), model->MD.vtxCount.end(), 0), 6000) << "read once";
	}
}

// Past the triangle limit the model is refused before anything is allocated
// for its triangles; at the limit it reads. The next read takes over the
// triangle lists, keeping nothing of them.
TEST(ReadModel, TriangleLimitAndReuseAcrossReads)
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
	Mdl0Model small = Basic(3, {Triangles({2, 1, 0})});
	small.colours = {{.format = 0, .values = {1, 0, 0, 1}}}; // RGB565 sizes its entries apart
	ASSERT_TRUE(Read(BuildMDL0(small), *loaded).ok);
	ASSERT_TRUE(loaded->MD.meshTris.size() == 1u && loaded->MD.meshTris[0].size() == 1u);
	EXPECT_TRUE(loaded->MD.meshTris[0][0].v[2].pos[1] == 4.0f && loaded->MD.meshTris[0].capacity() <= 2u);
}

TEST(ReadModelCorpus, EveryModelMatchesTheInventory)
{
	std::map<std::string, std::unique_ptr<LoadedModel>> reads; // by "file model"
	const int models = ForEachCorpusModel([&](const std::string& where, const Bytes& bytes, const json& entry) {
		ByteView view(bytes);
		auto model = std::make_unique<LoadedModel>();
		const ModelReadResult result = ReadModel(view, entry["offset"].get<std::size_t>(), "", *model);
		if (entry["positions_arrays"] == 0) {
			EXPECT_EQ(result.message, kNoVertices);
			return;
		}
		ASSERT_TRUE(result.ok && !result.damaged) << result.message;
		const BRMDL& md = model->MD;
		const auto sum = [](const std::vector<int>& counts) { return std::accumulate(counts.begin(), counts.end(), 0); };
		const auto weighted = [](const Node& node) { return node.nWeights > 0; };
		std::vector<int> got = {md.nMesh, int(TriangleCount(md)), md.nVtx, md.nNrm, md.nClr, md.nUV, sum(md.vtxCount),
			sum(md.nrmCount), sum(md.clrCount), sum(md.uvCount), model->nBones,
			int(std::count_if(model->nodelist.begin(), model->nodelist.end(), weighted)), md.nMat};
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
	const int models = ForEachCorpusModel([&](const std::string& where, const Bytes& bytes, const json& entry) {
		if (where != "brres/kuribo.brres kuribo" && where != "brres/simple.brres 3ds_simple")
			return;
		const auto at = bytes.begin() + entry["offset"].get<std::ptrdiff_t>();
		ModelArchive whole{Bytes(at, at + entry["size"].get<std::ptrdiff_t>())};
		const Bytes& full = whole.bytes;
		const std::size_t triangles = entry["triangles"].get<std::size_t>();
		auto model = std::make_unique<LoadedModel>();
		for (std::size_t n = 0; n <= full.size(); ++n) {
			// fresh, so ASan sees the end
			ModelArchive prefix{Bytes(full.begin(), full.begin() + std::ptrdiff_t(n))};
			whole.offset = n;
			for (const ModelArchive* file : {&prefix, &whole}) {
				ReadBonesOf(*file);
				ReadMaterialsOf(*file, 2);
			}
			ByteView view(prefix.bytes);
			const ModelReadResult result = ReadModel(view, 0, "", *model);
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

// The shipped demo archive is up to date with its generator.
TEST(WriterDemo, ShippedArchiveIsCurrent)
{
	const FileBytes shipped = ReadWholeFile(kShippedDemo);
	ASSERT_EQ(shipped.status, ReadStatus::Ok);
	EXPECT_TRUE(shipped.bytes == DemoArchive()) << "run 'make demo'";
}

} // namespace
} // namespace zentarra
