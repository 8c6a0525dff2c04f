// Materials and draw lists of models the test-only writer lays out and of
// damaged copies of them.
#include "model/materials.h"

#include "model/mdl0_bytes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zentarra {
namespace {

using namespace zentarra::testing;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Each mesh holds one triangle whose corners have these coordinates.
constexpr float kUv[3][2] = {{0.5f, 0.25f}, {-3.0f, 2.0f}, {1.0f, 0.125f}};

struct Read {
	BRMDL model;
	bool whole = false;
	std::string damage;
};

Read ReadFrom(const ModelArchive& archive, int nMesh)
{
	Read read;
	read.model.nMesh = nMesh;
	read.model.meshTris.resize(std::size_t(nMesh), std::vector<Triangle>(1));
	for (std::vector<Triangle>& triangles : read.model.meshTris)
		for (int c = 0; c < 3; ++c)
			triangles[0].v[c].uv[0] = kUv[c][0], triangles[0].v[c].uv[1] = kUv[c][1];
	ByteView file(archive.bytes);
	read.whole = ReadMaterials(file, archive.offset, 11, read.model, read.damage);
	EXPECT_EQ(read.whole, !file.damaged()) << "damage is marked on the file exactly when reported";
	ExpectConsistentMaterials(read.model);
	return read;
}

Read ReadFrom(const Mdl0Model& description, int nMesh) { return ReadFrom(BuildModelArchive(description), nMesh); }

// Every corner of the mesh has its coordinates multiplied by (s, t).
void ExpectScaled(const BRMDL& model, std::size_t mesh, float s, float t)
{
	for (int c = 0; c < 3; ++c)
		EXPECT_EQ((std::array{model.meshTris[mesh][0].v[c].uv[0], model.meshTris[mesh][0].v[c].uv[1]}),
			(std::array{kUv[c][0] * s, kUv[c][1] * t}))
			<< "mesh " << mesh;
}

// `count` materials with the layers "layer0" to "layer2", unscaled, and a
// draw list giving mesh i material i.
Mdl0Model WithMaterials(int count)
{
	Mdl0Model model;
	model.drawLists = {{"DrawOpa", {}}};
	for (int m = 0; m < count; ++m) {
		model.materials.push_back({.name = "mat" + std::to_string(m), .layers = {{"layer0"}, {"layer1"}, {"layer2"}}});
		model.drawLists[0].calls.push_back({.material = m, .mesh = m});
	}
	return model;
}

TEST(Materials, CullTexturePaletteMirrorAndScale)
{
	struct Case {
		int texGens, cull;
		Layer layer;
		float s, t;
		int mirror;
		float gotS, gotT; // mirrored scales halve, a stored 0 means 1
	};
	const Case cases[] = {
		{0, 2, {"none"}, 5, 7, 0, 1, 1}, // no texture-coordinate generator: no texture, the scales are not used
		{1, 1, {"wood", "wood_pal", 2, 0}, 2, 3, 1, 1, 3},
		{1, 3, {"stone", "", 0, 2}, 0, -0.0f, 2, 1, 0.5f},
		{1, 0, {"glass", "", 2, 2}, 4, 0.5f, 3, 2, 0.25f},
		{1, 2, {"sky", "", 1, 1}, 0, 0, 0, 1, 1},
		{1, 2, {"first", "", 2, 2}, 4, 4, 2, 4, 2}, // the third layer is chosen below
	};
	Mdl0Model model = WithMaterials(6);
	for (std::size_t m = 0; m < 6; ++m) {
		Mdl0Material& material = model.materials[m];
		material.texGens = cases[m].texGens, material.cull = cases[m].cull, material.layers[0] = cases[m].layer;
		material.scaleS = cases[m].s, material.scaleT = cases[m].t;
	}
	// the chosen layer gives mirror and palette, the first matrix the scale
	model.materials[5].shaderSignature = {0x3D, 0x23, 0, 0, 0, 0, 0x64, 0x8F};
	model.materials[5].layers[2] = {"third", "third_pal", 0, 2};
	model.drawLists[0].calls.push_back({1, 6});
	const Read read = ReadFrom(model, 7);
	EXPECT_TRUE(read.whole) << read.damage;
	EXPECT_THAT(read.model.meshCull, ElementsAre(2, 1, 3, 0, 2, 2, 1));
	EXPECT_THAT(read.model.texName, ElementsAre("", "wood", "stone", "glass", "sky", "third"));
	EXPECT_THAT(read.model.palName, ElementsAre("", "wood_pal", "", "", "", "third_pal"));
	for (std::size_t m = 0; m < 6; ++m) {
		EXPECT_EQ(read.model.matMirror[m], cases[m].mirror) << m;
		ExpectScaled(read.model, m, cases[m].gotS, cases[m].gotT);
	}
	ExpectScaled(read.model, 6, 1.0f, 3.0f); // a material shared by two meshes scales each once
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
		{0x3C00, 0x92, 0xAECF, 1, 0, "layer1"}, {0x3C00, 0x92, 0xAECE, 1, 0, "layer0"},
		{0x3C03, 0x92, 0xFFFE, 1, 0, "layer1"}, {0x3C03, 0x92, 0xFFF8, 1, 0, "layer1"},
		{0x3C03, 0x92, 0x2FF8, 1, 0, "layer1"}, {0x3C03, 0x92, 0xFFF9, 1, 0, "layer0"},
		{0x3C90, 0x92, 0xAFF8, 1, 0, "layer1"}, {0x3C90, 0x92, 0xAECF, 1, 0, "layer0"},
		{0x3C93, 0x96, 0x0008, 1, 0, "layer1"}, {0x3C93, 0x96, 0xFF08, 1, 0, "layer1"}, // the byte at 0x97 alone tells
		{0x3C93, 0x95, 0x0008, 1, 0, "layer0"},
		{0x3D20, 0x91, 0x48AF, 1, 0, "layer2"}, {0x3D20, 0x92, 0x48AF, 1, 0, "layer0"}, // 16 bits at the odd 0x91
		{0x3D23, 0x92, 0x648F, 1, 0, "layer2"}, {0x3D23, 0x92, 0xFFF8, 1, 0, "layer2"},
		{0x3D23, 0x92, 0x48AF, 1, 0, "layer0"},
		{0x0520, 0x92, 0x428F, 1, 0, "layer2"}, {0x0520, 0x92, 0x648F, 1, 0, "layer0"},
		{0x0400, 0x92, 0, 4, 0, "layer1"}, {0x0400, 0x92, 0, 5, 2, "layer1"}, // t 4, or t 5 with cull 2
		{0x0400, 0x92, 0, 5, 1, "layer0"}, {0x0400, 0x92, 0, 5, 0, "layer0"}, {0x0400, 0x92, 0, 3, 2, "layer0"},
		{0x3BF0, 0x92, 0xAECF, 4, 2, "layer0"}, // a common shader
	};
	for (const Case& c : cases) {
		Mdl0Model model = WithMaterials(1);
		Mdl0Material& material = model.materials[0];
		material.texGens = c.t, material.cull = c.cull;
		Bytes& signature = material.shaderSignature = Bytes(12); // +0x8C to +0x97
		signature[0] = std::uint8_t(c.signature >> 8), signature[1] = std::uint8_t(c.signature);
		signature[c.at - 0x8C] = std::uint8_t(c.value >> 8), signature[c.at - 0x8B] = std::uint8_t(c.value);
		const Read read = ReadFrom(model, 1);
		EXPECT_TRUE(read.whole) << read.damage;
		EXPECT_THAT(read.model.texName, ElementsAre(c.texture)) << "case " << &c - cases;
	}
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

	// commands naming missing meshes or materials are left out
	model.drawLists = {{"DrawOpa", {{1, 0}, {1, 7}, {9, 1}, {2, 1}}}};
	const Read missing = ReadFrom(model, 2);
	EXPECT_FALSE(missing.whole);
	EXPECT_THAT(missing.damage, HasSubstr("mesh 7"));
	EXPECT_THAT(missing.damage, HasSubstr("material 9"));
	EXPECT_THAT(missing.model.meshMat, ElementsAre(1, 2));

	// without materials every mesh shows material 0, unscaled: naming others is harmless
	model.materials.clear();
	model.drawLists = {{"DrawOpa", {{1, 0}, {2, 1}}}};
	const Read none = ReadFrom(model, 2);
	EXPECT_TRUE(none.whole) << none.damage;
	EXPECT_EQ(none.model.hasMat, 0);
	EXPECT_THAT(none.model.meshMat, ElementsAre(0, 0));
	ExpectScaled(none.model, 0, 1, 1);
}

TEST(Materials, DrawListsEndAtTheEndOfTheFile)
{
	Mdl0Model model = WithMaterials(3);
	model.drawLists = {{"DrawOpa", {{1, 0}, {2, 1}}}}; // definition 1: two commands of 8 bytes and the end
	for (const auto& [keep, meshMat] : {std::pair{16, std::vector{1, 2}}, std::pair{12, std::vector{1, 0}}}) {
		ModelArchive archive = BuildModelArchive(model);
		CutDefinitionAtEnd(archive, 1, std::size_t(keep));
		const Read read = ReadFrom(archive, 2);
		EXPECT_FALSE(read.whole);
		EXPECT_THAT(read.damage, HasSubstr("DrawOpa"));
		EXPECT_EQ(read.model.meshMat, meshMat) << "the whole commands still apply, keeping " << keep;
	}

	// many definitions sharing one long list cannot multiply the work without bound
	model.drawLists = {{"Draw0", std::vector<DrawCall>(400)}};
	for (int i = 1; i < 400; ++i)
		model.drawLists.push_back({"Draw" + std::to_string(i), {}});
	ModelArchive archive = BuildModelArchive(model);
	const std::uint32_t first = Get32(archive.bytes, DataField(archive.bytes, archive.offset, kDefinitionsSlot, 1));
	for (std::size_t i = 2; i <= 400; ++i)
		Put32(archive.bytes, DataField(archive.bytes, archive.offset, kDefinitionsSlot, i), first);
	EXPECT_FALSE(ReadFrom(archive, 1).whole);
}

TEST(Materials, RecordsOutsideTheFileLeaveTheirMeshesWithoutTexture)
{
	Mdl0Model model = WithMaterials(4);
	for (Mdl0Material& material : model.materials)
		material.scaleS = 3;
	ModelArchive archive = BuildModelArchive(model);
	Bytes& b = archive.bytes;
	const auto material = [&](std::size_t i) { return DataAt(b, archive.offset, kMaterialsSlot, i); };
	Put32(b, material(3) + Get32(b, material(3) + 0x30), 0x7FFFFFF0); // its texture name
	Put32(b, material(2) + 0x30, 0x7FFFFFF0);                          // its layers
	Put32(b, material(1) + 0x28, 0x7FFFFFF0);                          // its shader: first layer
	const std::size_t first = DataField(b, archive.offset, kMaterialsSlot, 0);
	Put32(b, first, 0x7FFFFFF0); // the record
	const Read read = ReadFrom(archive, 4);
	EXPECT_FALSE(read.whole);
	EXPECT_THAT(read.model.texName, ElementsAre("", "layer0", "", ""));
	ExpectScaled(read.model, 0, 1, 1);
	ExpectScaled(read.model, 1, 3, 1);
	ExpectScaled(read.model, 2, 1, 1);

	// a group counting more materials than the file holds
	Put32(b, first - 0x20, 0xFFFFFFFF);
	const Read counted = ReadFrom(archive, 4);
	EXPECT_FALSE(counted.whole);
	EXPECT_THAT(counted.damage, HasSubstr("4294967295"));
	EXPECT_LT(counted.model.nMat, 10000);
}

} // namespace
} // namespace zentarra
