#include "model/mdl0_reader.h"

#include "base/file_io.h"
#include "support/brres_writer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <bit>
#include <fstream>
#include <string>
#include <vector>

namespace zentarra {
namespace {

using nlohmann::json;
using testing::ByteSink;
using Bytes = std::vector<std::uint8_t>;

// A tiny MDL0 writer: just the fields the reader looks at.
struct ArrayDesc {
	std::string name;
	int format = 4;
	int shift = 0;
	std::uint32_t components = 1; // positions: 1 = x, y, z; texture coordinates: 1 = data at +0x40
	std::uint16_t count = 0;
	Bytes data;
};

struct MeshDesc {
	std::string name;
	std::int32_t node = 0;
	// position, normal, colour 0, colour 1, texture channels 0 to 7
	std::uint16_t arrays[12] = {0, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
	std::uint8_t low = 0x04; // descriptor byte at P+4: 8-bit position index
	std::uint8_t matrices = 0; // P+5
	std::uint8_t texHigh = 0;  // P+10
	std::uint8_t texLow = 0;   // P+11
	bool descriptor = true;
	Bytes list; // from the first opcode on
};

struct ModelDesc {
	std::uint32_t version = 11;
	bool positionsSection = true;
	std::vector<ArrayDesc> positions, normals, colours, texCoords;
	std::vector<MeshDesc> meshes;
	int bones = 1;
};

struct Built {
	Bytes bytes;
	std::size_t positionsGroup = 0;
	std::vector<std::size_t> positionData;
	std::vector<std::size_t> meshData;
	std::size_t objectsGroup = 0;
};

class Mdl0Writer {
public:
	Built Write(const ModelDesc& desc)
	{
		Built built;
		out_.text("MDL0");
		out_.be32(0); // size, patched below
		out_.be32(desc.version);
		while (out_.size() < 0x80)
			out_.u8(0);
		const bool old = desc.version == 8 || desc.version == 9;

		if (desc.bones > 0) {
			std::vector<std::string> names;
			for (int b = 0; b < desc.bones; ++b)
				names.push_back("bone" + std::to_string(b));
			const std::size_t g = Group(0x14, names);
			for (int b = 0; b < desc.bones; ++b) {
				const std::size_t at = Data(g, std::size_t(b));
				Pad(at + 0xD0);
				out_.patch32(at + 0x10, std::uint32_t(b)); // node index
				for (int k = 0; k < 3; ++k)
					out_.patch32(at + 0x20 + 4 * std::size_t(k), std::bit_cast<std::uint32_t>(1.0f)); // scale
			}
		}
		if (desc.positionsSection) {
			built.positionsGroup = Arrays(0x18, desc.positions, 0x40, &built.positionData);
		}
		Arrays(0x1C, desc.normals, 0x20);
		Arrays(0x20, desc.colours, 0x20);
		Arrays(0x24, desc.texCoords, 0);

		if (!desc.meshes.empty()) {
			std::vector<std::string> names;
			for (const MeshDesc& mesh : desc.meshes)
				names.push_back(mesh.name);
			const std::size_t g = Group(old ? 0x30 : 0x38, names);
			built.objectsGroup = g;
			for (std::size_t i = 0; i < desc.meshes.size(); ++i) {
				const MeshDesc& mesh = desc.meshes[i];
				const std::size_t d = Data(g, i);
				built.meshData.push_back(d);
				Pad(d + 0x70);
				out_.patch32(d + 0x08, std::uint32_t(mesh.node));
				for (std::size_t k = 0; k < 12; ++k) {
					out_.bytes[d + 0x48 + 2 * k] = std::uint8_t(mesh.arrays[k] >> 8);
					out_.bytes[d + 0x49 + 2 * k] = std::uint8_t(mesh.arrays[k]);
				}
				const std::size_t p = d + 0x70;
				if (mesh.descriptor)
					out_.append({0x08, 0x50, 0, 0, mesh.low, mesh.matrices, 0x08, 0x60, 0, 0, mesh.texHigh, mesh.texLow});
				Pad(p + 0x50);
				out_.append(mesh.list);
				out_.alignTo(32);
				Pad(out_.size() + 0x20);
			}
		}

		for (const NameField& field : names_) {
			out_.patch32(field.at, std::uint32_t(out_.size() - field.group));
			out_.text(field.name);
			out_.u8(0);
		}
		out_.patch32(4, std::uint32_t(out_.size())); // no padding: every byte of the end matters
		built.bytes = std::move(out_.bytes);
		return built;
	}

private:
	struct NameField {
		std::size_t at;
		std::size_t group;
		std::string name;
	};

	void Pad(std::size_t to)
	{
		while (out_.size() < to)
			out_.u8(0);
	}

	// An index group whose offset goes into header field `field`.
	std::size_t Group(std::size_t field, const std::vector<std::string>& names)
	{
		out_.alignTo(4);
		const std::size_t g = out_.size();
		out_.patch32(field, std::uint32_t(g));
		out_.be32(std::uint32_t(0x18 + 16 * names.size()));
		out_.be32(std::uint32_t(names.size()));
		out_.append({0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}); // reference entry
		for (std::size_t i = 0; i < names.size(); ++i) {
			out_.be16(std::uint16_t(i + 1));
			out_.be16(0);
			out_.be32(0);
			names_.push_back({out_.size(), g, names[i]});
			out_.be32(0); // name, patched at the end
			out_.be32(0); // data, patched by Data
		}
		return g;
	}

	std::size_t Data(std::size_t group, std::size_t entry)
	{
		out_.alignTo(32);
		out_.patch32(group + 0x18 + 16 * entry + 12, std::uint32_t(out_.size() - group));
		return out_.size();
	}

	// dataAt 0: texture coordinates, +0x40 or +0x20 by the component byte
	std::size_t Arrays(std::size_t field, const std::vector<ArrayDesc>& arrays, std::size_t dataAt,
		std::vector<std::size_t>* starts = nullptr)
	{
		if (arrays.empty())
			return 0;
		std::vector<std::string> names;
		for (const ArrayDesc& a : arrays)
			names.push_back(a.name);
		const std::size_t g = Group(field, names);
		for (std::size_t i = 0; i < arrays.size(); ++i) {
			const ArrayDesc& a = arrays[i];
			const std::size_t d = Data(g, i);
			if (starts)
				starts->push_back(d);
			const std::size_t at = dataAt != 0 ? dataAt : (a.components == 1 ? 0x40 : 0x20);
			Pad(d + at);
			out_.patch32(d + 0x14, a.components);
			out_.patch32(d + 0x18, std::uint32_t(a.format));
			out_.bytes[d + 0x1C] = std::uint8_t(a.shift);
			out_.bytes[d + 0x1E] = std::uint8_t(a.count >> 8);
			out_.bytes[d + 0x1F] = std::uint8_t(a.count);
			out_.append(a.data);
		}
		return g;
	}

	ByteSink out_;
	std::vector<NameField> names_;
};

Built Write(const ModelDesc& desc)
{
	return Mdl0Writer().Write(desc);
}

Bytes Floats(std::initializer_list<float> values)
{
	ByteSink sink;
	for (float v : values)
		sink.be32(std::bit_cast<std::uint32_t>(v));
	return sink.bytes;
}

// One float position array of `count` entries (i, 2i, 3i) and one mesh of
// triangles over it, as the list's bytes give.
ModelDesc Basic(int count, Bytes list)
{
	ModelDesc desc;
	ArrayDesc positions{"positions0", 4, 0, 1, std::uint16_t(count), {}};
	for (int i = 0; i < count; ++i) {
		const Bytes entry = Floats({float(i), float(2 * i), float(3 * i)});
		positions.data.insert(positions.data.end(), entry.begin(), entry.end());
	}
	desc.positions.push_back(positions);
	MeshDesc mesh;
	mesh.name = "mesh0";
	mesh.list = std::move(list);
	desc.meshes.push_back(mesh);
	return desc;
}

// Reads the model at `at` of a copy of `bytes` placed behind some junk, so
// offsets are taken relative to the sub-file.
ModelReadResult Read(const Bytes& bytes, LoadedModel& model)
{
	Bytes file = {0xDE, 0xAD, 0xBE, 0xEF, 0x08, 0x50, 0x11, 0x22};
	file.insert(file.end(), bytes.begin(), bytes.end());
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

TEST(ReadModel, GeometryOfASmallModel)
{
	ModelDesc desc;
	// s16 with shift 8: 256 = 1.0
	desc.positions.push_back({"pos", 3, 8, 1, 4,
		{0x01, 0x00, 0x00, 0x00, 0x00, 0x00, /**/ 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, /**/ 0x00, 0x00, 0x00, 0x00,
			0xFF, 0x00, /**/ 0x00, 0x80, 0x00, 0x80, 0x00, 0x80}});
	desc.normals.push_back({"nrm", 4, 0, 0, 2, Floats({0, 0, 1, 0, 1, 0})});
	desc.colours.push_back({"clr", 5, 0, 0, 2, {0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x80}});
	desc.texCoords.push_back({"uv", 2, 1, 1, 3, {0, 2, 0, 4, 0, 6, 0, 8, 0, 10, 0, 12}}); // u16 / 2
	MeshDesc mesh;
	mesh.name = "body";
	mesh.arrays[1] = 0;
	mesh.arrays[2] = 0;
	mesh.arrays[4] = 0;
	mesh.low = 0x54;   // position, normal, colour 0: 8-bit indices
	mesh.texLow = 0x02; // texture channel 0: 8-bit index
	// a quad; each vertex: position, normal, colour, uv
	mesh.list = {0x80, 0, 4, 0, 0, 0, 0, 1, 1, 1, 1, 2, 0, 0, 2, 3, 1, 1, 0, 0};
	desc.meshes.push_back(mesh);
	const Built built = Write(desc);

	LoadedModel model;
	const ModelReadResult result = Read(built.bytes, model);
	ASSERT_TRUE(result.ok) << result.message;
	EXPECT_FALSE(result.damaged) << result.message;
	const BRMDL& md = model.MD;
	EXPECT_EQ(md.nVtx, 1);
	EXPECT_EQ(md.nNrm, 1);
	EXPECT_EQ(md.nClr, 1);
	EXPECT_EQ(md.nUV, 1);
	EXPECT_EQ(md.vtxCount, (std::vector<int>{4}));
	EXPECT_EQ(md.uvCount, (std::vector<int>{3}));
	EXPECT_EQ(md.vtx[0][3], (Vec3{0.5f, 0.5f, 0.5f}));
	EXPECT_EQ(md.vtx[0][2], (Vec3{0.0f, 0.0f, -1.0f}));
	EXPECT_EQ(md.uv[0][2], (Vec2{5.0f, 6.0f}));
	EXPECT_EQ(model.names.positions, (std::vector<std::string>{"pos"}));
	EXPECT_EQ(model.names.normals, (std::vector<std::string>{"nrm"}));
	EXPECT_EQ(model.names.meshes, (std::vector<std::string>{"body"}));
	EXPECT_EQ(md.nMesh, 1);
	EXPECT_EQ(md.meshVisible, (std::vector<int>{1}));
	EXPECT_EQ(md.meshInfo[0].node, 0);
	EXPECT_EQ(md.meshInfo[0].clrArray, 0);
	EXPECT_EQ(md.meshInfo[0].uvArray[1], 0xFFFF);

	ASSERT_EQ(md.meshTris.size(), 1u);
	ASSERT_EQ(md.meshTris[0].size(), 2u);
	const Vertex& c = md.meshTris[0][0].v[0]; // the quad's third vertex comes first
	EXPECT_EQ(c.posIndex, 2);
	EXPECT_EQ(c.pos[2], -1.0f);
	EXPECT_EQ(c.nrmIndex, 0);
	EXPECT_EQ(c.nrm[2], 1.0f);
	EXPECT_EQ(c.color[0], 1.0f);
	EXPECT_EQ(c.uvIndex, 2);
	EXPECT_EQ(c.uv[0], 5.0f); // no materials: coordinates as read
	const Vertex& b = md.meshTris[0][0].v[1];
	EXPECT_EQ(b.color[2], 1.0f);
	EXPECT_EQ(b.color[3], float(128.0 / 255.0));
	// the bind pose of a unit bone leaves every corner where it is
	EXPECT_EQ(c.posedPos[2], -1.0f);
	EXPECT_EQ(md.meshTris[0][1].v[0].posedPos[0], 0.5f);
	EXPECT_EQ(model.nBones, 1);
	EXPECT_EQ(md.hasMat, 0);
	EXPECT_EQ(md.meshMat, (std::vector<int>{0}));
}

TEST(ReadModel, ObjectsOffsetFollowsTheVersion)
{
	for (std::uint32_t version : {8u, 9u, 10u, 11u}) {
		ModelDesc desc = Basic(3, {0x90, 0, 3, 0, 1, 2, 0});
		desc.version = version;
		Built built = Write(desc);
		LoadedModel model;
		ModelReadResult result = Read(built.bytes, model);
		ASSERT_TRUE(result.ok) << version;
		EXPECT_EQ(model.MD.nMesh, 1) << version;
		EXPECT_EQ(TriangleCount(model.MD), 1u) << version;

		// the same bytes under the other kind of version look for the objects elsewhere
		const bool old = version == 8 || version == 9;
		built.bytes[11] = std::uint8_t(old ? 11 : 9);
		result = Read(built.bytes, model);
		ASSERT_TRUE(result.ok) << version;
		EXPECT_EQ(model.MD.nMesh, 0) << version;
	}
}

TEST(ReadModel, MarksOnlyItsOwnDamage)
{
	const Bytes sound = Write(Basic(3, {0x90, 0, 3, 0, 1, 2, 0})).bytes;
	ByteView marked(sound);
	marked.markDamaged(); // left over from reading something else
	LoadedModel model;
	const ModelReadResult result = ReadModel(marked, 0, model);
	ASSERT_TRUE(result.ok);
	EXPECT_FALSE(result.damaged) << result.message;

	const Bytes damaged = Write(Basic(3, {0x90, 0, 3, 0, 1, 9, 0})).bytes;
	ByteView clean(damaged);
	ASSERT_TRUE(ReadModel(clean, 0, model).damaged);
	EXPECT_TRUE(clean.damaged());
}

TEST(ReadModel, ModelWithoutNormalsOrColours)
{
	ModelDesc desc = Basic(3, {0x90, 0, 3, 0, 1, 2, 0});
	desc.positions[0].components = 0; // x and y only
	desc.positions[0].data = Floats({1, 2, 3, 4, 5, 6});
	LoadedModel model;
	const ModelReadResult result = Read(Write(desc).bytes, model);
	ASSERT_TRUE(result.ok) << result.message;
	EXPECT_FALSE(result.damaged) << result.message;
	EXPECT_EQ(model.MD.nNrm, 0);
	EXPECT_EQ(model.MD.nClr, 0);
	EXPECT_EQ(model.MD.nUV, 0);
	EXPECT_TRUE(model.MD.nrm.empty());
	EXPECT_TRUE(model.names.normals.empty());
	EXPECT_EQ(model.MD.vtx[0][1], (Vec3{3, 4, 0}));
	EXPECT_EQ(model.MD.vtx[0][2], (Vec3{5, 6, 0}));
	for (const Vertex& v : model.MD.meshTris[0][0].v) {
		EXPECT_EQ(v.nrmIndex, -2);
		EXPECT_EQ(v.nrm[0], 0.0f);
		EXPECT_EQ(v.nrm[1], 0.0f);
		EXPECT_EQ(v.nrm[2], 0.0f);
		EXPECT_EQ(v.color[3], 1.0f);
		EXPECT_EQ(v.uvIndex, -1);
	}
}

TEST(ReadModel, FailuresLeaveTheTargetEmpty)
{
	LoadedModel model;
	model.anim.speed = 3;
	model.anim.rotOnly = 1;
	model.anim.defaultSpeed = 2;
	ASSERT_TRUE(Read(Write(Basic(3, {0x90, 0, 3, 0, 1, 2, 0})).bytes, model).ok);
	ASSERT_EQ(model.MD.nMesh, 1);
	EXPECT_EQ(model.anim.speed, 3); // kept through a successful read too
	model.anim.type = 1;
	model.anim.bones.resize(1);
	model.MD.morph = {{0.5f}};

	auto expectEmpty = [&](const ModelReadResult& result) {
		EXPECT_FALSE(result.ok);
		EXPECT_EQ(model.MD.nMesh, 0);
		EXPECT_TRUE(model.MD.vtx.empty());
		EXPECT_TRUE(model.MD.meshTris.empty());
		EXPECT_TRUE(model.MD.morph.empty());
		EXPECT_TRUE(model.names.positions.empty());
		EXPECT_TRUE(model.names.meshes.empty());
		EXPECT_TRUE(model.names.bones.empty());
		EXPECT_TRUE(model.nodelist.empty());
		EXPECT_EQ(model.anim.type, 0u);
		EXPECT_TRUE(model.anim.bones.empty());
		EXPECT_EQ(model.anim.frame, -1.0f);
		EXPECT_EQ(model.anim.speed, 3);
		EXPECT_EQ(model.anim.rotOnly, 1);
		EXPECT_EQ(model.anim.defaultSpeed, 2);
	};

	ModelDesc none = Basic(3, {0x90, 0, 3, 0, 1, 2, 0});
	none.positionsSection = false;
	ModelReadResult result = Read(Write(none).bytes, model);
	EXPECT_EQ(result.message, kNoVertices);
	expectEmpty(result);

	ASSERT_TRUE(Read(Write(Basic(3, {0x90, 0, 3, 0, 1, 2, 0})).bytes, model).ok);
	ModelDesc noDescriptor = Basic(3, {});
	noDescriptor.meshes.push_back(noDescriptor.meshes[0]);
	noDescriptor.meshes[1].name = "lost";
	noDescriptor.meshes[1].descriptor = false; // last mesh: nothing behind it holds the command
	noDescriptor.meshes[0].list = {0x90, 0, 3, 0, 1, 2, 0};
	result = Read(Write(noDescriptor).bytes, model);
	EXPECT_EQ(result.message.rfind("Error: ", 0), 0u) << result.message;
	EXPECT_NE(result.message.find("\"lost\""), std::string::npos) << result.message;
	expectEmpty(result);

	// a descriptor followed by nothing but zeros: no display list
	ModelDesc noList = Basic(3, {});
	Built built = Write(noList);
	built.bytes.resize(built.meshData[0] + 0x70 + 0x60); // cut the names off too
	result = Read(built.bytes, model);
	EXPECT_EQ(result.message.rfind("Error: ", 0), 0u) << result.message;
	expectEmpty(result);

	// the sub-file offset past the end of the file
	ByteView empty;
	result = ReadModel(empty, 0, model);
	EXPECT_EQ(result.message, kNoVertices);
	expectEmpty(result);
}

TEST(ReadModel, DamageIsReportedAndLeftOut)
{
	{
		// indices past the array
		LoadedModel model;
		const ModelReadResult result = Read(Write(Basic(3, {0x90, 0, 3, 0, 1, 7, 0})).bytes, model);
		ASSERT_TRUE(result.ok);
		EXPECT_TRUE(result.damaged);
		EXPECT_NE(result.message.find("\"mesh0\""), std::string::npos) << result.message;
		EXPECT_EQ(model.MD.meshTris[0][0].v[0].pos[1], 0.0f);
		EXPECT_EQ(model.MD.meshTris[0][0].v[1].pos[1], 2.0f);
	}
	{
		// an array counting more entries than the file holds
		ModelDesc desc = Basic(3, {0x90, 0, 3, 0, 1, 2, 0});
		desc.positions[0].count = 60000;
		LoadedModel model;
		const ModelReadResult result = Read(Write(desc).bytes, model);
		ASSERT_TRUE(result.ok);
		EXPECT_TRUE(result.damaged);
		EXPECT_NE(result.message.find("\"positions0\""), std::string::npos) << result.message;
		EXPECT_LT(model.MD.vtxCount[0], 60000);
		EXPECT_EQ(std::size_t(model.MD.vtxCount[0]), model.MD.vtx[0].size());
	}
	{
		// a group counting entries that do not fit
		Built built = Write(Basic(3, {0x90, 0, 3, 0, 1, 2, 0}));
		ByteSink patch{built.bytes};
		patch.patch32(built.positionsGroup + 4, 0xFFFFFFFF);
		LoadedModel model;
		const ModelReadResult result = Read(patch.bytes, model);
		ASSERT_TRUE(result.ok);
		EXPECT_TRUE(result.damaged);
		EXPECT_LT(model.MD.nVtx, 1000);
	}
	{
		// three entries sharing one large array: read once, the rest refused
		ModelDesc desc = Basic(2000, {0x90, 0, 3, 0, 1, 2, 0});
		desc.positions.push_back({"copy1", 4, 0, 1, 1, Floats({0, 0, 0})});
		desc.positions.push_back({"copy2", 4, 0, 1, 1, Floats({0, 0, 0})});
		Built built = Write(desc);
		ByteSink patch{built.bytes};
		const std::uint32_t first = std::uint32_t(built.positionData[0] - built.positionsGroup);
		patch.patch32(built.positionsGroup + 0x18 + 16 * 2 + 12, first);
		patch.patch32(built.positionsGroup + 0x18 + 16 * 3 + 12, first);
		LoadedModel model;
		const ModelReadResult result = Read(patch.bytes, model);
		ASSERT_TRUE(result.ok);
		EXPECT_TRUE(result.damaged) << result.message;
		EXPECT_EQ(model.MD.vtxCount[0], 2000);
		EXPECT_LT(model.MD.vtxCount[1] + model.MD.vtxCount[2], 4000);
	}
	{
		// a mesh bound to a node the skeleton does not have
		ModelDesc desc = Basic(3, {0x90, 0, 3, 0, 1, 2, 0});
		desc.meshes[0].node = 4;
		LoadedModel model;
		const ModelReadResult result = Read(Write(desc).bytes, model);
		ASSERT_TRUE(result.ok);
		EXPECT_TRUE(result.damaged);
		EXPECT_EQ(model.MD.meshTris[0][0].v[0].node, 4);
	}
}

TEST(ReadModel, ASecondReadKeepsNothingOfTheFirst)
{
	ModelDesc big = Basic(300, {});
	for (int i = 0; i < 3; ++i) {
		MeshDesc mesh = big.meshes[0];
		mesh.name = "big" + std::to_string(i);
		mesh.list = {0x98, 0x01, 0x2C};
		for (int v = 0; v < 300; ++v)
			mesh.list.push_back(std::uint8_t(v));
		mesh.list.push_back(0);
		big.meshes.push_back(mesh);
	}
	big.meshes.erase(big.meshes.begin());
	const Bytes bigBytes = Write(big).bytes;
	const Bytes smallBytes = Write(Basic(3, {0x90, 0, 3, 2, 1, 0, 0})).bytes;

	LoadedModel model;
	ASSERT_TRUE(Read(bigBytes, model).ok);
	EXPECT_EQ(TriangleCount(model.MD), 3u * 298u);
	ASSERT_TRUE(Read(smallBytes, model).ok);
	ASSERT_EQ(model.MD.nMesh, 1);
	ASSERT_EQ(model.MD.meshTris[0].size(), 1u);
	EXPECT_EQ(model.MD.meshTris[0][0].v[0].posIndex, 0);
	EXPECT_EQ(model.MD.meshTris[0][0].v[2].pos[1], 4.0f);
	EXPECT_LE(model.MD.meshTris[0].capacity(), 2u);
	EXPECT_EQ(model.names.meshes, (std::vector<std::string>{"mesh0"}));

	// the same model twice gives the same triangles
	ASSERT_TRUE(Read(bigBytes, model).ok);
	LoadedModel again;
	ASSERT_TRUE(Read(bigBytes, again).ok);
	ASSERT_TRUE(Read(bigBytes, again).ok);
	ASSERT_EQ(TriangleCount(again.MD), TriangleCount(model.MD));
	for (std::size_t m = 0; m < 3; ++m)
		for (std::size_t t = 0; t < model.MD.meshTris[m].size(); ++t)
			for (int c = 0; c < 3; ++c)
				EXPECT_EQ(model.MD.meshTris[m][t].v[c].posIndex, again.MD.meshTris[m][t].v[c].posIndex);
}

TEST(ReadModel, EveryPrefixOfASmallModelReturns)
{
	ModelDesc desc = Basic(5, {0x20, 0, 0, 0xB0, 0x00, 0x98, 0, 5, 0, 1, 2, 3, 4, 0x90, 0, 3, 4, 3, 2, 0});
	desc.normals.push_back({"n", 1, 6, 0, 1, {0x40, 0, 0}});
	desc.colours.push_back({"c", 0, 0, 0, 1, {0xF8, 0x00}});
	desc.meshes.push_back(desc.meshes[0]);
	desc.meshes[1].name = "second";
	desc.meshes[1].node = -1;
	desc.meshes[1].matrices = 1;
	desc.meshes[1].list = {0xA0, 0, 3, 0, 0, 0, 1, 0, 2, 0};
	const Bytes full = Write(desc).bytes;
	for (std::size_t n = 0; n <= full.size(); ++n) {
		const Bytes prefix(full.begin(), full.begin() + std::ptrdiff_t(n)); // fresh, so ASan sees the end
		ByteView view(prefix);
		LoadedModel model;
		const ModelReadResult result = ReadModel(view, 0, model);
		if (!result.ok) {
			EXPECT_EQ(model.MD.nMesh, 0) << n;
		} else if (n < full.size()) {
			EXPECT_TRUE(result.damaged) << n;
		}
	}
	ByteView view(full);
	LoadedModel model;
	const ModelReadResult result = ReadModel(view, 0, model);
	ASSERT_TRUE(result.ok);
	EXPECT_FALSE(result.damaged) << result.message;
	EXPECT_EQ(TriangleCount(model.MD), 5u);
}

TEST(FreeModel, ReleasesAllButPlaybackSettings)
{
	LoadedModel model;
	ASSERT_TRUE(Read(Write(Basic(3, {0x90, 0, 3, 0, 1, 2, 0})).bytes, model).ok);
	model.anim.speed = 4;
	model.anim.rotOnly = 1;
	model.anim.defaultSpeed = 5;
	model.anim.playing = 1;
	model.anim.frame = 7;
	model.anim.nFrames = 20;
	model.anim.vanim.resize(2);
	model.MD.morph = {{1.0f}, {0.5f}};
	model.modelname = "x";

	BRMDL copy = model.MD;
	FreeBRMDL(copy);
	EXPECT_EQ(copy.nMesh, 0);
	EXPECT_TRUE(copy.vtx.empty());
	EXPECT_TRUE(copy.meshTris.empty());
	EXPECT_EQ(copy.morph.size(), 2u); // the vertex animation's, released with it

	FreeModel(model);
	EXPECT_EQ(model.MD.nMesh, 0);
	EXPECT_TRUE(model.MD.morph.empty());
	EXPECT_TRUE(model.nodelist.empty());
	EXPECT_TRUE(model.bonemap.empty());
	EXPECT_TRUE(model.names.bones.empty());
	EXPECT_TRUE(model.anim.vanim.empty());
	EXPECT_EQ(model.anim.playing, 0);
	EXPECT_EQ(model.anim.nFrames, 0);
	EXPECT_EQ(model.anim.frame, -1.0f);
	EXPECT_EQ(model.anim.speed, 4);
	EXPECT_EQ(model.anim.rotOnly, 1);
	EXPECT_EQ(model.anim.defaultSpeed, 5);
	FreeModel(model); // twice is harmless
	EXPECT_EQ(model.MD.nMesh, 0);
}

const std::string kCorpus = ZENTARRA_CORPUS;

json Inventory()
{
	std::ifstream file(kCorpus + "/INVENTORY.json");
	return file ? json::parse(file) : json();
}

TEST(ReadModelCorpus, EveryModelMatchesTheInventory)
{
	const json inventory = Inventory();
	ASSERT_FALSE(inventory.empty()) << "corpus missing";
	int models = 0;
	for (const json& archive : inventory) {
		const std::string path = kCorpus + "/" + archive["file"].get<std::string>();
		const FileBytes file = ReadWholeFile(path);
		ASSERT_EQ(file.status, ReadStatus::Ok) << path;
		for (const json& entry : archive["subfiles"]) {
			if (entry["kind"] != "MDL0")
				continue;
			++models;
			SCOPED_TRACE(path + " " + entry["name"].get<std::string>());
			ByteView view(file.bytes);
			LoadedModel model;
			const ModelReadResult result = ReadModel(view, entry["offset"].get<std::size_t>(), model);
			if (entry["positions_arrays"] == 0) {
				EXPECT_FALSE(result.ok);
				EXPECT_EQ(result.message, kNoVertices);
				continue;
			}
			ASSERT_TRUE(result.ok) << result.message;
			EXPECT_FALSE(result.damaged) << result.message;
			const BRMDL& md = model.MD;
			EXPECT_EQ(md.nMesh, entry["objects"].get<int>());
			EXPECT_EQ(TriangleCount(md), entry["triangles"].get<std::size_t>());
			EXPECT_EQ(md.nVtx, entry["positions_arrays"].get<int>());
			EXPECT_EQ(md.nNrm, entry["normals_arrays"].get<int>());
			EXPECT_EQ(md.nClr, entry["colors_arrays"].get<int>());
			EXPECT_EQ(md.nUV, entry["texcoords_arrays"].get<int>());
			auto sum = [](const std::vector<int>& counts) {
				int total = 0;
				for (int c : counts)
					total += c;
				return total;
			};
			EXPECT_EQ(sum(md.vtxCount), entry["positions"].get<int>());
			EXPECT_EQ(sum(md.nrmCount), entry["normals"].get<int>());
			EXPECT_EQ(sum(md.clrCount), entry["colors"].get<int>());
			EXPECT_EQ(sum(md.uvCount), entry["texcoords"].get<int>());
			EXPECT_EQ(model.names.meshes.size(), std::size_t(md.nMesh));
			EXPECT_EQ(model.names.positions.size(), std::size_t(md.nVtx));
			EXPECT_EQ(model.nBones, entry["bones"].get<int>());
		}
	}
	EXPECT_GT(models, 20);
}

// The sub-file of a corpus model, copied so that it starts at offset 0, and
// its triangle count. Its names stay behind in the archive's string table.
std::pair<Bytes, std::size_t> CorpusModel(const std::string& archive, const std::string& name)
{
	const FileBytes file = ReadWholeFile(kCorpus + "/brres/" + archive);
	for (const json& a : Inventory()) {
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
		for (std::size_t n = 0; n < full.size(); ++n) {
			const Bytes prefix(full.begin(), full.begin() + std::ptrdiff_t(n)); // fresh, so ASan sees the end
			ByteView view(prefix);
			LoadedModel model;
			const ModelReadResult result = ReadModel(view, 0, model);
			if (!result.ok) {
				EXPECT_EQ(model.MD.nMesh, 0);
				EXPECT_EQ(result.message.rfind("Error: ", 0), 0u) << result.message;
			} else {
				EXPECT_TRUE(result.damaged) << n; // at the least, the names are missing
				EXPECT_LE(TriangleCount(model.MD), triangles);
			}
		}
		// without its names the geometry is still whole
		ByteView view(full);
		LoadedModel model;
		const ModelReadResult result = ReadModel(view, 0, model);
		ASSERT_TRUE(result.ok) << archive << ": " << result.message;
		EXPECT_EQ(TriangleCount(model.MD), triangles) << archive;
	}
}

} // namespace
} // namespace zentarra
