#include "model/materials.h"

#include "archive/brres_directory.h"
#include "base/file_io.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <bit>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zentarra {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

// --- a tiny MDL0 builder: header, definitions group (draw lists), materials group ---

void Put16(Bytes& bytes, std::size_t at, std::uint16_t value)
{
	bytes[at] = std::uint8_t(value >> 8);
	bytes[at + 1] = std::uint8_t(value);
}

void Put32(Bytes& bytes, std::size_t at, std::uint32_t value)
{
	Put16(bytes, at, std::uint16_t(value >> 16));
	Put16(bytes, at + 2, std::uint16_t(value));
}

std::size_t Reserve(Bytes& bytes, std::size_t length)
{
	const std::size_t at = bytes.size();
	bytes.resize(at + length);
	return at;
}

std::size_t AppendName(Bytes& bytes, const std::string& name)
{
	const std::size_t at = bytes.size();
	bytes.insert(bytes.end(), name.begin(), name.end());
	bytes.push_back(0);
	return at;
}

// A draw list: (material, mesh) commands, then the end opcode 1.
Bytes DrawList(std::vector<std::pair<std::uint16_t, std::uint16_t>> commands, bool terminated = true)
{
	Bytes code;
	for (const auto& [material, mesh] : commands)
		code.insert(code.end(), {4, std::uint8_t(material >> 8), std::uint8_t(material), std::uint8_t(mesh >> 8),
			std::uint8_t(mesh), 0, 0, 0});
	if (terminated)
		code.push_back(1);
	return code;
}

struct LayerPlan {
	std::string texture;
	std::string palette; // "" = offset 0
	std::uint32_t wrapS = 0;
	std::uint32_t wrapT = 0;
};

struct MaterialPlan {
	std::uint8_t t = 1;
	std::uint8_t cull = 0;
	std::array<LayerPlan, 3> layers = {
		LayerPlan{"layer0", "", 0, 0}, LayerPlan{"layer1", "", 0, 0}, LayerPlan{"layer2", "", 0, 0}};
	float scaleS = 1;
	float scaleT = 1;
	std::map<std::size_t, std::uint8_t> shader; // bytes at these offsets of the shader
};

// Shader bytes for a 16-bit value at `at`.
void Shader16(MaterialPlan& material, std::size_t at, std::uint16_t value)
{
	material.shader[at] = std::uint8_t(value >> 8);
	material.shader[at + 1] = std::uint8_t(value);
}

struct ModelPlan {
	std::uint32_t version = 11;
	std::vector<std::pair<std::string, Bytes>> definitions; // none: offset 0
	std::vector<MaterialPlan> materials;                     // none: offset 0
};

struct Built {
	Bytes bytes;
	std::size_t definitionsGroup = 0;
	std::size_t materialsGroup = 0;
	std::vector<std::size_t> definitionAt;
	std::vector<std::size_t> materialAt;
};

constexpr std::size_t kModel = 0x40;     // the sub-file does not start the file
constexpr std::size_t kMaterialSize = 0x300;
constexpr std::size_t kLayers = 0x1C0;   // three 52-byte layers up to 0x25C
constexpr std::size_t kShader = 0x260;   // its fields up to 0x298

std::size_t AddGroup(Bytes& bytes, std::size_t count)
{
	const std::size_t group = Reserve(bytes, 0x18 + 16 * count);
	Put32(bytes, group, std::uint32_t(0x18 + 16 * count));
	Put32(bytes, group + 4, std::uint32_t(count));
	Put16(bytes, group + 8, 0xFFFF);
	return group;
}

void SetEntry(Bytes& bytes, std::size_t group, std::size_t i, std::size_t name, std::size_t data)
{
	Put32(bytes, group + 0x20 + 16 * i, std::uint32_t(name - group));
	Put32(bytes, group + 0x24 + 16 * i, std::uint32_t(data - group));
}

Built BuildModel(const ModelPlan& plan)
{
	Built built;
	Bytes& bytes = built.bytes;
	Reserve(bytes, kModel + 0x40);
	Put32(bytes, kModel, 0x4D444C30); // "MDL0"
	Put32(bytes, kModel + 8, plan.version);
	const std::size_t materialsSlot = plan.version == 8 || plan.version == 9 ? 0x28 : 0x30;
	if (!plan.definitions.empty()) {
		built.definitionsGroup = AddGroup(bytes, plan.definitions.size());
		Put32(bytes, kModel + 0x10, std::uint32_t(built.definitionsGroup - kModel));
	}
	if (!plan.materials.empty()) {
		built.materialsGroup = AddGroup(bytes, plan.materials.size());
		Put32(bytes, kModel + materialsSlot, std::uint32_t(built.materialsGroup - kModel));
	}
	for (const auto& [name, code] : plan.definitions) {
		built.definitionAt.push_back(bytes.size());
		bytes.insert(bytes.end(), code.begin(), code.end());
	}
	for (const MaterialPlan& material : plan.materials) {
		const std::size_t m = Reserve(bytes, kMaterialSize);
		bytes[m + 0x14] = material.t;
		Put32(bytes, m + 0x18, material.cull);
		Put32(bytes, m + 0x28, kShader);
		Put32(bytes, m + 0x30, kLayers);
		Put32(bytes, m + 0x1B0, std::bit_cast<std::uint32_t>(material.scaleS));
		Put32(bytes, m + 0x1B4, std::bit_cast<std::uint32_t>(material.scaleT));
		for (const auto& [at, value] : material.shader)
			bytes[m + kShader + at] = value;
		for (std::size_t k = 0; k < 3; ++k) {
			Put32(bytes, m + kLayers + 52 * k + 0x18, material.layers[k].wrapS);
			Put32(bytes, m + kLayers + 52 * k + 0x1C, material.layers[k].wrapT);
		}
		built.materialAt.push_back(m);
	}
	// names last, as real files keep them
	for (std::size_t i = 0; i < plan.definitions.size(); ++i)
		SetEntry(bytes, built.definitionsGroup, i, AppendName(bytes, plan.definitions[i].first), built.definitionAt[i]);
	for (std::size_t i = 0; i < plan.materials.size(); ++i) {
		const std::size_t m = built.materialAt[i];
		SetEntry(bytes, built.materialsGroup, i, AppendName(bytes, "mat" + std::to_string(i)), m);
		for (std::size_t k = 0; k < 3; ++k) {
			const LayerPlan& layer = plan.materials[i].layers[k];
			const std::size_t y = m + kLayers + 52 * k;
			Put32(bytes, y, std::uint32_t(AppendName(bytes, layer.texture) - y));
			if (!layer.palette.empty())
				Put32(bytes, y + 4, std::uint32_t(AppendName(bytes, layer.palette) - y));
		}
	}
	return built;
}

// Mesh i holds one triangle whose corners have the coordinates below.
constexpr float kUv[3][2] = {{0.5f, 0.25f}, {-3.0f, 2.0f}, {1.0f, 0.125f}};

BRMDL Meshes(int nMesh)
{
	BRMDL model;
	model.nMesh = nMesh;
	model.meshTris.resize(std::size_t(nMesh));
	for (std::vector<Triangle>& triangles : model.meshTris) {
		Triangle triangle;
		for (int c = 0; c < 3; ++c) {
			triangle.v[c].uv[0] = kUv[c][0];
			triangle.v[c].uv[1] = kUv[c][1];
		}
		triangles.push_back(triangle);
	}
	return model;
}

// Every corner of mesh i has its coordinates multiplied by (s, t).
void ExpectScaled(const BRMDL& model, std::size_t mesh, float s, float t)
{
	SCOPED_TRACE("mesh " + std::to_string(mesh));
	for (const Triangle& triangle : model.meshTris[mesh])
		for (int c = 0; c < 3; ++c) {
			EXPECT_EQ(triangle.v[c].uv[0], kUv[c][0] * s);
			EXPECT_EQ(triangle.v[c].uv[1], kUv[c][1] * t);
		}
}

struct Read {
	BRMDL model;
	bool whole = false;
	std::string damage;
};

Read ReadFrom(const Bytes& bytes, int nMesh, std::uint32_t version = 11, std::size_t offset = kModel)
{
	Read read;
	read.model = Meshes(nMesh);
	ByteView file(bytes);
	read.whole = ReadMaterials(file, offset, version, read.model, read.damage);
	EXPECT_EQ(read.whole, !file.damaged()) << "damage is marked on the file exactly when reported";
	return read;
}

// Whatever the file held, every per-mesh and per-material table fits the counts.
void ExpectConsistent(const BRMDL& model)
{
	ASSERT_EQ(model.meshMat.size(), std::size_t(model.nMesh));
	ASSERT_EQ(model.meshCull.size(), std::size_t(model.nMesh));
	ASSERT_EQ(model.hasMat, model.nMat > 0 ? 1 : 0);
	ASSERT_EQ(model.texName.size(), std::size_t(model.nMat));
	ASSERT_EQ(model.palName.size(), std::size_t(model.nMat));
	ASSERT_EQ(model.matMirror.size(), std::size_t(model.nMat));
	for (const int material : model.meshMat)
		ASSERT_TRUE(material == 0 || (material > 0 && material < model.nMat));
	for (const int mirror : model.matMirror)
		ASSERT_TRUE(mirror >= 0 && mirror <= 3);
}

std::vector<MaterialPlan> Materials(std::size_t count)
{
	return std::vector<MaterialPlan>(count);
}

// --- draw lists ---

TEST(Materials, EveryDrawListIsAppliedAndOnlyThose)
{
	const Built built = BuildModel({11,
		{{"NodeTree", {1}}, {"DrawOpa", DrawList({{1, 0}, {2, 1}})}, {"DrawXlu", DrawList({{2, 2}})},
			{"Draw", DrawList({{1, 3}})}, {"Dra", DrawList({{2, 4}})}},
		Materials(3)});
	const Read read = ReadFrom(built.bytes, 6);
	EXPECT_TRUE(read.whole) << read.damage;
	EXPECT_THAT(read.model.meshMat, ElementsAre(1, 2, 2, 1, 0, 0)) << "Dra is no draw list; mesh 5 is in none";
}

TEST(Materials, FirstStoredListWinsAndWithinAListTheLaterCommand)
{
	const Built built = BuildModel({11,
		{{"DrawOpa", DrawList({{1, 0}, {2, 0}, {1, 2}})}, {"DrawXlu", DrawList({{3, 0}, {3, 1}, {3, 2}})}},
		Materials(4)});
	const Read read = ReadFrom(built.bytes, 3);
	EXPECT_TRUE(read.whole) << read.damage;
	EXPECT_THAT(read.model.meshMat, ElementsAre(2, 3, 1));
}

// --- materials ---

TEST(Materials, CullTexturePaletteAndMirrorBits)
{
	std::vector<MaterialPlan> materials = Materials(5);
	materials[0] = {.t = 0, .cull = 2, .layers = {}, .scaleS = 5, .scaleT = 7, .shader = {}};
	materials[1].cull = 1;
	materials[1].layers[0] = {"wood", "wood_pal", 2, 0};
	materials[2].cull = 3;
	materials[2].layers[0] = {"stone", "", 0, 2};
	materials[3].layers[0] = {"glass", "", 2, 2};
	materials[4].layers[0] = {"sky", "", 1, 1};
	const Bytes list = DrawList({{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {1, 5}});
	const Built built = BuildModel({11, {{"DrawOpa", list}}, materials});
	const Read read = ReadFrom(built.bytes, 6);
	EXPECT_TRUE(read.whole) << read.damage;
	const BRMDL& model = read.model;
	EXPECT_EQ(model.hasMat, 1);
	EXPECT_EQ(model.nMat, 5);
	EXPECT_THAT(model.meshCull, ElementsAre(2, 1, 3, 0, 0, 1));
	EXPECT_THAT(model.texName, ElementsAre("", "wood", "stone", "glass", "sky"));
	EXPECT_THAT(model.palName, ElementsAre("", "wood_pal", "", "", ""));
	EXPECT_THAT(model.matMirror, ElementsAre(0, 1, 2, 3, 0));
	ExpectScaled(model, 0, 1, 1); // no texture: the stored scales are not used
}

TEST(Materials, ShaderSignatureChoosesTheTextureLayer)
{
	struct Case {
		const char* what;
		std::uint16_t signature;
		std::size_t at;       // where the second value goes
		std::uint16_t value;  // 16-bit, or the byte alone when `single`
		bool single;
		std::uint8_t t, cull;
		const char* texture;
	};
	const Case cases[] = {
		{"3C00 AECF", 0x3C00, 0x92, 0xAECF, false, 1, 0, "layer1"},
		{"3C00 other", 0x3C00, 0x92, 0xAECE, false, 1, 0, "layer0"},
		{"3C03 FFFE", 0x3C03, 0x92, 0xFFFE, false, 1, 0, "layer1"},
		{"3C03 FFF8", 0x3C03, 0x92, 0xFFF8, false, 1, 0, "layer1"},
		{"3C03 2FF8", 0x3C03, 0x92, 0x2FF8, false, 1, 0, "layer1"},
		{"3C03 other", 0x3C03, 0x92, 0xFFF9, false, 1, 0, "layer0"},
		{"3C90 AFF8", 0x3C90, 0x92, 0xAFF8, false, 1, 0, "layer1"},
		{"3C90 other", 0x3C90, 0x92, 0xAECF, false, 1, 0, "layer0"},
		{"3C93 byte 8 at 0x97", 0x3C93, 0x97, 8, true, 1, 0, "layer1"},
		{"3C93 16-bit 0xFF08 at 0x96", 0x3C93, 0x96, 0xFF08, false, 1, 0, "layer1"},
		{"3C93 byte 8 at 0x96", 0x3C93, 0x96, 8, true, 1, 0, "layer0"},
		{"3D20 48AF at 0x91", 0x3D20, 0x91, 0x48AF, false, 1, 0, "layer2"},
		{"3D20 48AF at 0x92", 0x3D20, 0x92, 0x48AF, false, 1, 0, "layer0"},
		{"3D23 648F", 0x3D23, 0x92, 0x648F, false, 1, 0, "layer2"},
		{"3D23 FFF8", 0x3D23, 0x92, 0xFFF8, false, 1, 0, "layer2"},
		{"3D23 other", 0x3D23, 0x92, 0x48AF, false, 1, 0, "layer0"},
		{"0520 428F", 0x0520, 0x92, 0x428F, false, 1, 0, "layer2"},
		{"0520 other", 0x0520, 0x92, 0x648F, false, 1, 0, "layer0"},
		{"0400 t=4", 0x0400, 0x92, 0, false, 4, 0, "layer1"},
		{"0400 t=5 cull 2", 0x0400, 0x92, 0, false, 5, 2, "layer1"},
		{"0400 t=5 cull 1", 0x0400, 0x92, 0, false, 5, 1, "layer0"},
		{"0400 t=3 cull 2", 0x0400, 0x92, 0, false, 3, 2, "layer0"},
		{"3BF0, a common shader", 0x3BF0, 0x92, 0xAECF, false, 4, 2, "layer0"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.what);
		MaterialPlan material;
		material.t = c.t;
		material.cull = c.cull;
		Shader16(material, 0x8C, c.signature);
		if (c.single)
			material.shader[c.at] = std::uint8_t(c.value);
		else
			Shader16(material, c.at, c.value);
		const Read read = ReadFrom(BuildModel({11, {}, {material}}).bytes, 1);
		EXPECT_TRUE(read.whole) << read.damage;
		ASSERT_EQ(read.model.texName.size(), 1u);
		EXPECT_EQ(read.model.texName[0], c.texture);
	}
}

TEST(Materials, TheChosenLayerGivesMirrorAndPaletteButTheFirstMatrixGivesTheScale)
{
	MaterialPlan material;
	Shader16(material, 0x8C, 0x3D23);
	Shader16(material, 0x92, 0x648F);
	material.layers[0] = {"first", "first_pal", 2, 2};
	material.layers[2] = {"third", "third_pal", 0, 2};
	material.scaleS = 4;
	material.scaleT = 4;
	const Read read = ReadFrom(BuildModel({11, {}, {material}}).bytes, 1);
	EXPECT_TRUE(read.whole) << read.damage;
	EXPECT_EQ(read.model.texName[0], "third");
	EXPECT_EQ(read.model.palName[0], "third_pal");
	EXPECT_EQ(read.model.matMirror[0], 2);
	ExpectScaled(read.model, 0, 4, 2);
}

TEST(Materials, ScalesMultiplyEveryCornerOnce)
{
	std::vector<MaterialPlan> materials = Materials(4);
	materials[0].scaleS = 2, materials[0].scaleT = 3, materials[0].layers[0].wrapS = 2;
	materials[1].scaleS = 0, materials[1].scaleT = 0;
	materials[2].scaleS = 0, materials[2].scaleT = -0.0f, materials[2].layers[0].wrapT = 2;
	materials[3].scaleS = 4, materials[3].scaleT = 0.5f, materials[3].layers[0] = {"both", "", 2, 2};
	const Built built = BuildModel({11, {{"DrawOpa", DrawList({{0, 0}, {1, 1}, {2, 2}, {3, 3}, {0, 4}})}}, materials});
	const Read read = ReadFrom(built.bytes, 5);
	EXPECT_TRUE(read.whole) << read.damage;
	ExpectScaled(read.model, 0, 1.0f, 3.0f); // 2.0 mirrored along S
	ExpectScaled(read.model, 1, 1.0f, 1.0f); // stored 0.0
	ExpectScaled(read.model, 2, 1.0f, 0.5f); // 0.0, then mirrored along T
	ExpectScaled(read.model, 3, 2.0f, 0.25f);
	ExpectScaled(read.model, 4, 1.0f, 3.0f); // a material shared by two meshes scales each once
}

TEST(Materials, ModelWithoutMaterialsKeepsItsCoordinates)
{
	const Read read = ReadFrom(BuildModel({11, {{"NodeTree", {1}}}, {}}).bytes, 2);
	EXPECT_TRUE(read.whole) << read.damage;
	EXPECT_EQ(read.model.hasMat, 0);
	EXPECT_EQ(read.model.nMat, 0);
	EXPECT_THAT(read.model.meshCull, ElementsAre(0, 0));
	EXPECT_THAT(read.model.meshMat, ElementsAre(0, 0));
	EXPECT_TRUE(read.model.texName.empty());
	ExpectScaled(read.model, 0, 1, 1);
	ExpectScaled(read.model, 1, 1, 1);
}

TEST(Materials, VersionsEightAndNineKeepTheGroupAt0x28)
{
	MaterialPlan material;
	material.layers[0].texture = "found";
	for (const std::uint32_t version : {8u, 9u, 10u, 11u}) {
		SCOPED_TRACE(version);
		const Built built = BuildModel({version, {}, {material}});
		const Read read = ReadFrom(built.bytes, 1, version);
		EXPECT_TRUE(read.whole) << read.damage;
		EXPECT_THAT(read.model.texName, ElementsAre("found"));
		// the same bytes read as the other kind of version find no materials there
		const Read other = ReadFrom(built.bytes, 1, version <= 9 ? 11 : 9);
		EXPECT_EQ(other.model.hasMat, 0);
	}
}

// --- damaged files ---

TEST(Materials, DrawCommandsNamingMissingMeshesOrMaterialsAreLeftOut)
{
	const Built built = BuildModel({11, {{"DrawOpa", DrawList({{1, 0}, {1, 7}, {9, 1}, {2, 1}})}}, Materials(3)});
	const Read read = ReadFrom(built.bytes, 2);
	EXPECT_FALSE(read.whole);
	EXPECT_THAT(read.damage, HasSubstr("mesh 7"));
	EXPECT_THAT(read.damage, HasSubstr("material 9"));
	EXPECT_THAT(read.model.meshMat, ElementsAre(1, 2));
	ExpectConsistent(read.model);

	// without materials a draw list names only missing ones
	const Read none = ReadFrom(BuildModel({11, {{"DrawOpa", DrawList({{0, 0}})}}, {}}).bytes, 1);
	EXPECT_FALSE(none.whole);
	EXPECT_THAT(none.damage, HasSubstr("material 0"));
	ExpectConsistent(none.model);
}

TEST(Materials, DrawListsEndAtTheEndOfTheFile)
{
	// the list is the last thing in the file and has no end opcode
	const Bytes endless = DrawList({{1, 0}, {2, 1}}, false);
	Built built = BuildModel({11, {{"DrawOpa", endless}}, Materials(3)});
	const std::size_t tail = built.bytes.size();
	built.bytes.insert(built.bytes.end(), endless.begin(), endless.end());
	Put32(built.bytes, built.definitionsGroup + 0x24, std::uint32_t(tail - built.definitionsGroup));
	{
		const Read read = ReadFrom(built.bytes, 2);
		EXPECT_FALSE(read.whole);
		EXPECT_THAT(read.damage, HasSubstr("DrawOpa"));
		EXPECT_THAT(read.model.meshMat, ElementsAre(1, 2));
	}
	// cut inside the second command: the first still applies
	built.bytes.resize(tail + 12);
	const Read read = ReadFrom(built.bytes, 2);
	EXPECT_FALSE(read.whole);
	EXPECT_THAT(read.model.meshMat, ElementsAre(1, 0));

	// many definitions sharing one long list cannot multiply the work without bound
	ModelPlan shared{11, {}, Materials(1)};
	const std::vector<std::pair<std::uint16_t, std::uint16_t>> commands(400, {0, 0});
	shared.definitions.push_back({"Draw0", DrawList(commands)});
	for (int i = 1; i < 400; ++i)
		shared.definitions.push_back({"Draw" + std::to_string(i), {1}});
	Built many = BuildModel(shared);
	for (std::size_t i = 1; i < 400; ++i)
		Put32(many.bytes, many.definitionsGroup + 0x24 + 16 * i, std::uint32_t(many.definitionAt[0] - many.definitionsGroup));
	const Read repeated = ReadFrom(many.bytes, 1);
	EXPECT_FALSE(repeated.whole);
	ExpectConsistent(repeated.model);
}

TEST(Materials, RecordsOutsideTheFileLeaveTheirMeshesWithoutTexture)
{
	std::vector<MaterialPlan> materials = Materials(4);
	for (MaterialPlan& material : materials)
		material.scaleS = 3;
	Built built = BuildModel({11, {{"DrawOpa", DrawList({{0, 0}, {1, 1}, {2, 2}, {3, 3}})}}, materials});
	Put32(built.bytes, built.materialsGroup + 0x24 + 16 * 0, 0x7FFFFFF0); // the record
	Put32(built.bytes, built.materialAt[1] + 0x28, 0x7FFFFFF0);           // the shader: first layer
	Put32(built.bytes, built.materialAt[2] + 0x30, 0x7FFFFFF0);           // the layers
	Put32(built.bytes, built.materialAt[3] + kLayers, 0x7FFFFFF0);        // the texture name
	const Read read = ReadFrom(built.bytes, 4);
	EXPECT_FALSE(read.whole);
	ExpectConsistent(read.model);
	EXPECT_THAT(read.model.texName, ElementsAre("", "layer0", "", ""));
	ExpectScaled(read.model, 0, 1, 1);
	ExpectScaled(read.model, 1, 3, 1);
	ExpectScaled(read.model, 2, 1, 1);

	// a group counting more materials than the file holds
	Built counted = BuildModel({11, {}, Materials(1)});
	Put32(counted.bytes, counted.materialsGroup + 4, 0xFFFFFFFF);
	const Read big = ReadFrom(counted.bytes, 1);
	EXPECT_FALSE(big.whole);
	EXPECT_THAT(big.damage, HasSubstr("4294967295"));
	EXPECT_LT(big.model.nMat, 10000);
	ExpectConsistent(big.model);
}

TEST(Materials, EveryPrefixReadsSafely)
{
	std::vector<MaterialPlan> materials = Materials(2);
	materials[1].t = 4;
	Shader16(materials[1], 0x8C, 0x0400);
	materials[1].layers[1] = {"second", "pal", 2, 0};
	const Built built = BuildModel({11, {{"NodeTree", {1}}, {"DrawOpa", DrawList({{0, 0}, {1, 1}})}}, materials});
	for (std::size_t n = 0; n <= built.bytes.size(); ++n) {
		SCOPED_TRACE(n);
		const Bytes prefix(built.bytes.begin(), built.bytes.begin() + std::ptrdiff_t(n)); // fresh, so ASan sees the end
		const Read read = ReadFrom(prefix, 2);
		ExpectConsistent(read.model);
	}
	const Read whole = ReadFrom(built.bytes, 2);
	EXPECT_TRUE(whole.whole) << whole.damage;
	EXPECT_THAT(whole.model.texName, ElementsAre("layer0", "second"));
	for (std::size_t offset = 0; offset < built.bytes.size(); ++offset) {
		const Read read = ReadFrom(built.bytes, 2, 11, offset);
		ExpectConsistent(read.model);
	}
}

// --- real models ---

struct CorpusModel {
	Bytes bytes;
	std::size_t offset = 0;
	std::uint32_t version = 0;
};

CorpusModel LoadCorpusModel(const std::string& file, const std::string& name)
{
	CorpusModel model;
	FileBytes read = ReadWholeFile(std::string(ZENTARRA_CORPUS) + "/" + file);
	EXPECT_EQ(read.status, ReadStatus::Ok) << file;
	model.bytes = std::move(read.bytes);
	ByteView view(model.bytes);
	OpenArchives items;
	ReadBRRES(view, file, items, nullptr);
	const ItemRecord* item = items.FindItem(name, ItemKind::MDL0, 0);
	EXPECT_NE(item, nullptr) << file << " " << name;
	if (item) {
		model.offset = item->offset;
		model.version = R32(view, item->offset + 8);
	}
	return model;
}

Read ReadCorpus(const std::string& file, const std::string& name, int nMesh)
{
	const CorpusModel corpus = LoadCorpusModel(file, name);
	return ReadFrom(corpus.bytes, nMesh, corpus.version, corpus.offset);
}

TEST(Materials, RealModels)
{
	// kuribo: three layers (kuribo, lm_0, lm_1), shader 0x0400 with t = 3: the
	// first; mirrored along S only
	const Read kuribo = ReadCorpus("brres/kuribo.brres", "kuribo", 1);
	EXPECT_TRUE(kuribo.whole) << kuribo.damage;
	EXPECT_THAT(kuribo.model.texName, ElementsAre("kuribo"));
	EXPECT_THAT(kuribo.model.palName, ElementsAre(""));
	EXPECT_THAT(kuribo.model.matMirror, ElementsAre(1));
	ExpectScaled(kuribo.model, 0, 0.5f, 1.0f);

	const Read cow = ReadCorpus("brres/cow.brres", "cow", 1);
	EXPECT_TRUE(cow.whole) << cow.damage;
	EXPECT_THAT(cow.model.texName, ElementsAre("cow_model2"));
	EXPECT_THAT(cow.model.matMirror, ElementsAre(3));
	EXPECT_THAT(cow.model.meshCull, ElementsAre(0));
	ExpectScaled(cow.model, 0, 0.5f, 0.5f);

	const Read shadow = ReadCorpus("brres/cow.brres", "cow-shadow", 1);
	EXPECT_TRUE(shadow.whole) << shadow.damage;
	EXPECT_THAT(shadow.model.texName, ElementsAre(""));
	EXPECT_THAT(shadow.model.meshCull, ElementsAre(2));

	// two draw lists; material 11 has shader 0x3C03 with 0xFE8F: its first layer
	const Read course = ReadCorpus("brres/beginner_course.brres", "course", 22);
	EXPECT_TRUE(course.whole) << course.damage;
	EXPECT_EQ(course.model.nMat, 22);
	EXPECT_EQ(course.model.meshMat[15], 0);
	EXPECT_EQ(course.model.meshMat[7], 1);
	EXPECT_EQ(course.model.meshMat[19], 8) << "named by DrawXlu only";
	EXPECT_EQ(course.model.texName[1], "mainROAD_all_mip");
	EXPECT_EQ(course.model.texName[11], "ef_rainbowRed2");
	ExpectScaled(course.model, 7, 1.0f, 6.0f);
	ExpectScaled(course.model, 2, 25.0f, 25.0f); // mesh 2 uses material 5

	// version 8: the materials group at 0x28; shell_green_tx stores scales 2.0 and 0.0, mirrored both ways
	const Read mario = ReadCorpus("brres/old_mario_gc_hayasi.brres", "course", 21);
	EXPECT_TRUE(mario.whole) << mario.damage;
	EXPECT_EQ(mario.model.nMat, 21);
	EXPECT_EQ(mario.model.texName[18], "shell_yellow_all01");
	EXPECT_EQ(mario.model.matMirror[18], 3);
	EXPECT_EQ(mario.model.meshMat[8], 17);
	ExpectScaled(mario.model, 19, 1.0f, 0.5f); // mesh 19 uses material 18
}

TEST(Materials, EveryCorpusModelMatchesTheInventory)
{
	std::ifstream in(std::string(ZENTARRA_CORPUS) + "/INVENTORY.json");
	ASSERT_TRUE(in);
	const nlohmann::json inventory = nlohmann::json::parse(in);
	int models = 0;
	for (const auto& archive : inventory) {
		const FileBytes file = ReadWholeFile(std::string(ZENTARRA_CORPUS) + "/" + archive["file"].get<std::string>());
		for (const auto& sub : archive["subfiles"]) {
			if (sub["kind"] != "MDL0")
				continue;
			SCOPED_TRACE(archive["file"].get<std::string>() + " " + sub["name"].get<std::string>());
			const Read read = ReadFrom(file.bytes, sub["objects"].get<int>(), sub["version"].get<std::uint32_t>(),
				sub["offset"].get<std::size_t>());
			EXPECT_TRUE(read.whole) << read.damage;
			EXPECT_EQ(read.model.nMat, sub["materials"].get<int>());
			ExpectConsistent(read.model);
			for (std::size_t m = 0; m < read.model.texName.size(); ++m)
				EXPECT_LE(read.model.texName[m].size(), 255u);
			++models;
		}
	}
	EXPECT_GT(models, 20);
}

} // namespace
} // namespace zentarra
