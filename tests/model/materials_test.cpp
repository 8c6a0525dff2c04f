// Materials and draw lists of models the test-only writer lays out, of
// damaged copies of them and of the corpus.
#include "model/materials.h"

#include "base/file_io.h"
#include "support/corpus.h"
#include "support/mdl0_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace zentarra {
namespace {

using namespace zentarra::testing;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr std::size_t kDefinitions = 0x10; // header slots of the groups (version 11)
constexpr std::size_t kMaterials = 0x30;

// Mesh i holds one triangle whose corners have these coordinates.
constexpr float kUv[3][2] = {{0.5f, 0.25f}, {-3.0f, 2.0f}, {1.0f, 0.125f}};

struct Read {
	BRMDL model;
	bool whole = false;
	std::string damage;
};

Read ReadFrom(const Bytes& bytes, std::size_t offset, int nMesh, std::uint32_t version = 11)
{
	Read read;
	read.model.nMesh = nMesh;
	read.model.meshTris.resize(std::size_t(nMesh), std::vector<Triangle>(1));
	for (std::vector<Triangle>& triangles : read.model.meshTris)
		for (int c = 0; c < 3; ++c)
			triangles[0].v[c].uv[0] = kUv[c][0], triangles[0].v[c].uv[1] = kUv[c][1];
	ByteView file(bytes);
	read.whole = ReadMaterials(file, offset, version, read.model, read.damage);
	EXPECT_EQ(read.whole, !file.damaged()) << "damage is marked on the file exactly when reported";
	return read;
}

Read ReadFrom(const Mdl0Model& description, int nMesh)
{
	const ModelArchive archive = BuildModelArchive(description);
	return ReadFrom(archive.bytes, archive.offset, nMesh, description.version);
}

// Every corner of the mesh has its coordinates multiplied by (s, t).
void ExpectScaled(const BRMDL& model, std::size_t mesh, float s, float t)
{
	SCOPED_TRACE("mesh " + std::to_string(mesh));
	for (const Triangle& triangle : model.meshTris[mesh])
		for (int c = 0; c < 3; ++c) {
			EXPECT_EQ(triangle.v[c].uv[0], kUv[c][0] * s);
			EXPECT_EQ(triangle.v[c].uv[1], kUv[c][1] * t);
		}
}

// Whatever the file held, every per-mesh and per-material table fits the counts.
void ExpectConsistent(const BRMDL& model)
{
	ASSERT_TRUE(model.meshMat.size() == std::size_t(model.nMesh) && model.meshCull.size() == model.meshMat.size());
	ASSERT_EQ(model.hasMat, model.nMat > 0 ? 1 : 0);
	for (const std::size_t size : {model.texName.size(), model.palName.size(), model.matMirror.size()})
		ASSERT_EQ(size, std::size_t(model.nMat));
	for (const int material : model.meshMat)
		ASSERT_TRUE(material == 0 || (material > 0 && material < model.nMat));
	for (const int mirror : model.matMirror)
		ASSERT_TRUE(mirror >= 0 && mirror <= 3);
}

// `count` materials with the layers "layer0" to "layer2", repeating, unscaled.
Mdl0Model WithMaterials(std::size_t count)
{
	Mdl0Model model;
	for (std::size_t m = 0; m < count; ++m)
		model.materials.push_back({.name = "mat" + std::to_string(m), .layers = {{"layer0"}, {"layer1"}, {"layer2"}}});
	return model;
}

// Absolute offset of the field holding entry i's data offset, in the group at header `slot`.
std::size_t DataField(const ModelArchive& archive, std::size_t slot, std::size_t i)
{
	ByteView view(archive.bytes);
	return archive.offset + R32(view, archive.offset + slot) + 0x24 + 16 * i;
}

std::size_t DataAt(const ModelArchive& archive, std::size_t slot, std::size_t i)
{
	ByteView view(archive.bytes);
	const std::size_t field = DataField(archive, slot, i);
	return field - 0x24 - 16 * i + R32(view, field);
}

void Put32(Bytes& bytes, std::size_t at, std::uint32_t value)
{
	for (std::size_t k = 0; k < 4; ++k)
		bytes[at + k] = std::uint8_t(value >> (24 - 8 * k));
}

// Copies the first `keep` bytes of definition i's byte code to the end of the
// file and points the entry there: the code runs into the end, the rest stays whole.
void CutDefinitionAtEnd(ModelArchive& archive, std::size_t i, std::size_t keep)
{
	const std::size_t code = DataAt(archive, kDefinitions, i), field = DataField(archive, kDefinitions, i);
	const Bytes kept(archive.bytes.begin() + std::ptrdiff_t(code), archive.bytes.begin() + std::ptrdiff_t(code + keep));
	Put32(archive.bytes, field, std::uint32_t(archive.bytes.size() - (field - 0x24 - 16 * i)));
	archive.bytes.insert(archive.bytes.end(), kept.begin(), kept.end());
}

TEST(Materials, DrawListsChooseEachMeshsMaterial)
{
	// "Draw…" and "Draw" are draw lists, "Dra" is not; the list stored first
	// wins, and within a list the later command; mesh 5 is in none
	Mdl0Model model = WithMaterials(4);
	model.drawLists = {{"DrawOpa", {{1, 0}, {2, 0}, {1, 2}}}, {"DrawXlu", {{3, 0}, {3, 1}, {3, 2}}},
		{"Draw", {{1, 3}}}, {"Dra", {{2, 4}}}};
	const Read read = ReadFrom(model, 6);
	EXPECT_TRUE(read.whole) << read.damage;
	EXPECT_THAT(read.model.meshMat, ElementsAre(2, 3, 1, 1, 0, 0));
}

TEST(Materials, CullTexturePaletteAndMirrorBits)
{
	Mdl0Model model = WithMaterials(5);
	// no texture-coordinate generator: no texture, and the stored scales are not used
	model.materials[0].texGens = 0, model.materials[0].scaleS = 5, model.materials[0].scaleT = 7;
	model.materials[1].cull = 1, model.materials[1].layers[0] = {"wood", "wood_pal", 2, 0};
	model.materials[2].cull = 3, model.materials[2].layers[0] = {"stone", "", 0, 2};
	model.materials[3].cull = 0, model.materials[3].layers[0] = {"glass", "", 2, 2};
	model.materials[4].layers[0] = {"sky", "", 1, 1};
	model.drawLists = {{"DrawOpa", {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {1, 5}}}};
	const Read read = ReadFrom(model, 6);
	EXPECT_TRUE(read.whole) << read.damage;
	EXPECT_EQ(read.model.hasMat, 1);
	EXPECT_EQ(read.model.nMat, 5);
	EXPECT_THAT(read.model.meshCull, ElementsAre(2, 1, 3, 0, 2, 1));
	EXPECT_THAT(read.model.texName, ElementsAre("", "wood", "stone", "glass", "sky"));
	EXPECT_THAT(read.model.palName, ElementsAre("", "wood_pal", "", "", ""));
	EXPECT_THAT(read.model.matMirror, ElementsAre(0, 1, 2, 3, 0));
	ExpectScaled(read.model, 0, 1, 1);
}

TEST(Materials, ShaderSignatureChoosesTheTextureLayer)
{
	struct Case {
		std::uint16_t signature; // at +0x8C of the shader
		std::size_t at;          // where the 16-bit value that tells goes
		std::uint16_t value;
		int t, cull;
		const char* texture;
	};
	const Case cases[] = {
		{0x3C00, 0x92, 0xAECF, 1, 0, "layer1"},
		{0x3C00, 0x92, 0xAECE, 1, 0, "layer0"},
		{0x3C03, 0x92, 0xFFFE, 1, 0, "layer1"},
		{0x3C03, 0x92, 0xFFF8, 1, 0, "layer1"},
		{0x3C03, 0x92, 0x2FF8, 1, 0, "layer1"},
		{0x3C03, 0x92, 0xFFF9, 1, 0, "layer0"},
		{0x3C90, 0x92, 0xAFF8, 1, 0, "layer1"},
		{0x3C90, 0x92, 0xAECF, 1, 0, "layer0"},
		{0x3C93, 0x96, 0x0008, 1, 0, "layer1"}, // the byte at 0x97 alone tells
		{0x3C93, 0x96, 0xFF08, 1, 0, "layer1"},
		{0x3C93, 0x95, 0x0008, 1, 0, "layer0"},
		{0x3D20, 0x91, 0x48AF, 1, 0, "layer2"}, // 16 bits at the odd offset 0x91
		{0x3D20, 0x92, 0x48AF, 1, 0, "layer0"},
		{0x3D23, 0x92, 0x648F, 1, 0, "layer2"},
		{0x3D23, 0x92, 0xFFF8, 1, 0, "layer2"},
		{0x3D23, 0x92, 0x48AF, 1, 0, "layer0"},
		{0x0520, 0x92, 0x428F, 1, 0, "layer2"},
		{0x0520, 0x92, 0x648F, 1, 0, "layer0"},
		{0x0400, 0x92, 0, 4, 0, "layer1"}, // t 4, or t 5 with cull 2
		{0x0400, 0x92, 0, 5, 2, "layer1"},
		{0x0400, 0x92, 0, 5, 1, "layer0"},
		{0x0400, 0x92, 0, 5, 0, "layer0"},
		{0x0400, 0x92, 0, 3, 2, "layer0"},
		{0x3BF0, 0x92, 0xAECF, 4, 2, "layer0"}, // a common shader
	};
	for (const Case& c : cases) {
		SCOPED_TRACE("case " + std::to_string(&c - cases));
		Mdl0Model model = WithMaterials(1);
		Mdl0Material& material = model.materials[0];
		material.texGens = c.t, material.cull = c.cull;
		Bytes& signature = material.shaderSignature = Bytes(12); // +0x8C to +0x97
		signature[0] = std::uint8_t(c.signature >> 8), signature[1] = std::uint8_t(c.signature);
		signature[c.at - 0x8C] = std::uint8_t(c.value >> 8), signature[c.at - 0x8B] = std::uint8_t(c.value);
		const Read read = ReadFrom(model, 1);
		EXPECT_TRUE(read.whole) << read.damage;
		EXPECT_THAT(read.model.texName, ElementsAre(c.texture));
	}
}

TEST(Materials, ScalesHalveWhenMirroredAndStoredZeroMeansOne)
{
	Mdl0Model model = WithMaterials(5);
	const auto scale = [&](std::size_t m, float s, float t, int wrapS, int wrapT) {
		model.materials[m].scaleS = s, model.materials[m].scaleT = t;
		model.materials[m].layers[0].wrapS = wrapS, model.materials[m].layers[0].wrapT = wrapT;
	};
	scale(0, 2, 3, 2, 1);
	scale(1, 0, 0, 1, 1);
	scale(2, 0, -0.0f, 1, 2);
	scale(3, 4, 0.5f, 2, 2);
	// the chosen (third) layer gives mirror and palette, the first matrix the scale
	scale(4, 4, 4, 2, 2);
	model.materials[4].shaderSignature = {0x3D, 0x23, 0, 0, 0, 0, 0x64, 0x8F};
	model.materials[4].layers[2] = {"third", "third_pal", 0, 2};
	model.drawLists = {{"DrawOpa", {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {0, 5}}}};
	const Read read = ReadFrom(model, 6);
	EXPECT_TRUE(read.whole) << read.damage;
	ExpectScaled(read.model, 0, 1.0f, 3.0f);
	ExpectScaled(read.model, 1, 1.0f, 1.0f);
	ExpectScaled(read.model, 2, 1.0f, 0.5f);
	ExpectScaled(read.model, 3, 2.0f, 0.25f);
	ExpectScaled(read.model, 4, 4.0f, 2.0f);
	ExpectScaled(read.model, 5, 1.0f, 3.0f); // a material shared by two meshes scales each once
	EXPECT_EQ(read.model.texName[4], "third");
	EXPECT_EQ(read.model.palName[4], "third_pal");
	EXPECT_EQ(read.model.matMirror[4], 2);
}

TEST(Materials, GroupSlotByVersionAndModelsWithoutMaterials)
{
	for (const std::uint32_t version : {8u, 9u, 10u, 11u}) {
		SCOPED_TRACE(version);
		Mdl0Model model = WithMaterials(1);
		model.version = version;
		EXPECT_THAT(ReadFrom(model, 1).model.texName, ElementsAre("layer0"));
	}
	const Read read = ReadFrom(Mdl0Model{}, 1);
	EXPECT_TRUE(read.whole) << read.damage;
	EXPECT_EQ(read.model.hasMat, 0);
	EXPECT_THAT(read.model.meshMat, ElementsAre(0));
	ExpectScaled(read.model, 0, 1, 1);
}

// --- damaged files ---

TEST(Materials, DrawCommandsNamingMissingMeshesOrMaterialsAreLeftOut)
{
	Mdl0Model model = WithMaterials(3);
	model.drawLists = {{"DrawOpa", {{1, 0}, {1, 7}, {9, 1}, {2, 1}}}};
	const Read read = ReadFrom(model, 2);
	EXPECT_FALSE(read.whole);
	EXPECT_THAT(read.damage, HasSubstr("mesh 7"));
	EXPECT_THAT(read.damage, HasSubstr("material 9"));
	EXPECT_THAT(read.model.meshMat, ElementsAre(1, 2));
	ExpectConsistent(read.model);

	// without materials every mesh shows material 0: naming others is harmless
	model.materials.clear();
	model.drawLists = {{"DrawOpa", {{1, 0}, {2, 1}}}};
	const Read none = ReadFrom(model, 2);
	EXPECT_TRUE(none.whole) << none.damage;
	EXPECT_THAT(none.model.meshMat, ElementsAre(0, 0));
	ExpectConsistent(none.model);
}

TEST(Materials, DrawListsEndAtTheEndOfTheFile)
{
	Mdl0Model model = WithMaterials(3);
	model.drawLists = {{"DrawOpa", {{1, 0}, {2, 1}}}}; // definition 1: two commands of 8 bytes and the end
	for (const auto& [keep, meshMat] : {std::pair{16, std::vector{1, 2}}, std::pair{12, std::vector{1, 0}}}) {
		SCOPED_TRACE(keep);
		ModelArchive archive = BuildModelArchive(model);
		CutDefinitionAtEnd(archive, 1, std::size_t(keep));
		const Read read = ReadFrom(archive.bytes, archive.offset, 2);
		EXPECT_FALSE(read.whole);
		EXPECT_THAT(read.damage, HasSubstr("DrawOpa"));
		EXPECT_EQ(read.model.meshMat, meshMat) << "the whole commands still apply";
	}

	// many definitions sharing one long list cannot multiply the work without bound
	model.drawLists = {{"Draw0", std::vector<DrawCall>(400)}};
	for (int i = 1; i < 400; ++i)
		model.drawLists.push_back({"Draw" + std::to_string(i), {}});
	ModelArchive archive = BuildModelArchive(model);
	ByteView view(archive.bytes);
	for (std::size_t i = 2; i <= 400; ++i)
		Put32(archive.bytes, DataField(archive, kDefinitions, i), R32(view, DataField(archive, kDefinitions, 1)));
	const Read repeated = ReadFrom(archive.bytes, archive.offset, 1);
	EXPECT_FALSE(repeated.whole);
	ExpectConsistent(repeated.model);
}

TEST(Materials, RecordsOutsideTheFileLeaveTheirMeshesWithoutTexture)
{
	Mdl0Model model = WithMaterials(4);
	for (Mdl0Material& material : model.materials)
		material.scaleS = 3;
	model.drawLists = {{"DrawOpa", {{0, 0}, {1, 1}, {2, 2}, {3, 3}}}};
	ModelArchive archive = BuildModelArchive(model);
	ByteView view(archive.bytes);
	const std::size_t third = DataAt(archive, kMaterials, 3);
	Put32(archive.bytes, third + R32(view, third + 0x30), 0x7FFFFFF0);                // its texture name
	Put32(archive.bytes, DataAt(archive, kMaterials, 2) + 0x30, 0x7FFFFFF0);          // its layers
	Put32(archive.bytes, DataAt(archive, kMaterials, 1) + 0x28, 0x7FFFFFF0);          // its shader: first layer
	Put32(archive.bytes, DataField(archive, kMaterials, 0), 0x7FFFFFF0);              // the record
	const Read read = ReadFrom(archive.bytes, archive.offset, 4);
	EXPECT_FALSE(read.whole);
	ExpectConsistent(read.model);
	EXPECT_THAT(read.model.texName, ElementsAre("", "layer0", "", ""));
	ExpectScaled(read.model, 0, 1, 1);
	ExpectScaled(read.model, 1, 3, 1);
	ExpectScaled(read.model, 2, 1, 1);

	// a group counting more materials than the file holds
	Put32(archive.bytes, DataField(archive, kMaterials, 0) - 0x20, 0xFFFFFFFF);
	const Read counted = ReadFrom(archive.bytes, archive.offset, 4);
	EXPECT_FALSE(counted.whole);
	EXPECT_THAT(counted.damage, HasSubstr("4294967295"));
	EXPECT_LT(counted.model.nMat, 10000);
	ExpectConsistent(counted.model);
}

TEST(Materials, EveryPrefixAndOffsetReadsSafely)
{
	Mdl0Model model = WithMaterials(2);
	model.materials[1].texGens = 4;
	model.materials[1].shaderSignature = {0x04, 0x00};
	model.materials[1].layers[1] = {"second", "pal", 2, 0};
	model.drawLists = {{"DrawOpa", {{0, 0}, {1, 1}}}};
	const Bytes bytes = BuildMDL0(model);
	for (std::size_t n = 0; n <= bytes.size(); ++n) {
		SCOPED_TRACE(n);
		const Bytes prefix(bytes.begin(), bytes.begin() + std::ptrdiff_t(n)); // its own, so ASan sees the end
		const Read read = ReadFrom(prefix, 0, 2);
		ExpectConsistent(read.model);
		if (n == bytes.size()) {
			EXPECT_TRUE(read.whole) << read.damage;
			EXPECT_THAT(read.model.texName, ElementsAre("layer0", "second"));
		}
	}
	for (std::size_t offset = 0; offset < bytes.size(); ++offset)
		ExpectConsistent(ReadFrom(bytes, offset, 2).model);
}

// --- the corpus ---

TEST(Materials, CorpusModelsMatchTheInventory)
{
	std::map<std::string, Read> reads; // by "file model"
	testing::ForEachCorpusModel([&](const std::string& where, const std::vector<std::uint8_t>& bytes, const auto& sub) {
		Read read = ReadFrom(bytes, sub["offset"].template get<std::size_t>(), sub["objects"].template get<int>(),
			sub["version"].template get<std::uint32_t>());
		EXPECT_TRUE(read.whole) << read.damage;
		EXPECT_EQ(read.model.nMat, sub["materials"].template get<int>());
		ExpectConsistent(read.model);
		reads[where] = std::move(read);
	});
	EXPECT_GT(reads.size(), 20u);

	// kuribo: shader 0x0400 with t = 3 shows the first of its three layers, mirrored along S
	const BRMDL& kuribo = reads.at("brres/kuribo.brres kuribo").model;
	EXPECT_THAT(kuribo.texName, ElementsAre("kuribo"));
	EXPECT_THAT(kuribo.matMirror, ElementsAre(1));
	ExpectScaled(kuribo, 0, 0.5f, 1.0f);
	const BRMDL& cow = reads.at("brres/cow.brres cow").model;
	EXPECT_THAT(cow.texName, ElementsAre("cow_model2"));
	EXPECT_THAT(cow.matMirror, ElementsAre(3));
	ExpectScaled(cow, 0, 0.5f, 0.5f);
	EXPECT_THAT(reads.at("brres/cow.brres cow-shadow").model.texName, ElementsAre(""));
}

} // namespace
} // namespace zentarra
