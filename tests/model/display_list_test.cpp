#include "model/display_list.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace zentarra {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Corners = std::array<int, 3>; // position indices of a triangle's corners, in stored order

TEST(VertexDescriptor, LowWordSizes)
{
	NB nb;
	SetNB1(0x16, nb); // position 16-bit index, normal 8-bit index
	EXPECT_EQ(nb.posSize, 2);
	EXPECT_EQ(nb.nrmSize, 1);
	EXPECT_EQ(nb.clrSize, 0);

	SetNB1(0x00, nb);
	EXPECT_EQ(nb.posSize, -1); // absent
	SetNB1(0x02, nb);
	EXPECT_EQ(nb.posSize, 0); // direct
	SetNB1(0x0A, nb);         // direct normals count as absent
	EXPECT_EQ(nb.posSize, 0);
	EXPECT_EQ(nb.nrmSize, 0);
	SetNB1(0x7C, nb); // position 16-bit, normal 16-bit, colour 16-bit
	EXPECT_EQ(nb.posSize, 1);
	EXPECT_EQ(nb.nrmSize, 2);
	EXPECT_EQ(nb.clrSize, 2);
	SetNB1(0xC1, nb); // bit 0 and bits 7: the position-matrix flag and colour 1 are not sizes
	EXPECT_EQ(nb.posSize, -1);
	EXPECT_EQ(nb.clrSize, 1);

	SetNB2(0x03, nb);
	EXPECT_EQ(nb.mtxCount, 2);
	SetNB2(0xFF, nb);
	EXPECT_EQ(nb.mtxCount, 8);
	SetNB2(0x00, nb);
	EXPECT_EQ(nb.mtxCount, 0);
	SetNB2(0x81, nb);
	EXPECT_EQ(nb.mtxCount, 2);
}

TEST(VertexDescriptor, TextureChannelsLowestFieldFirst)
{
	NB nb;
	// second byte: channels 0..3 with fields 0, 1, 2, 3; first byte: channels 4..7 with 3, 2, 1, 0
	SetNB3(0x1B, 0xE4, nb);
	const int expected[8] = {0, 0, 1, 2, 2, 1, 0, 0};
	for (int k = 0; k < 8; ++k)
		EXPECT_EQ(nb.texSize[k], expected[k]) << "channel " << k;
}

// Position i of array 0 is (i, 0, 0); a vertex is its one-byte position index,
// after `mtxCount` matrix bytes.
BRMDL Positions(int count)
{
	BRMDL model;
	model.nVtx = 1;
	model.vtx.resize(1);
	for (int i = 0; i < count; ++i)
		model.vtx[0].push_back({float(i), 0, 0});
	model.vtxCount = {count};
	return model;
}

MeshInfo Mesh(int node)
{
	MeshInfo mesh;
	mesh.vtxArray = 0;
	mesh.node = node;
	return mesh;
}

NB Descriptor(int mtxCount)
{
	NB nb;
	nb.posSize = 1;
	nb.mtxCount = mtxCount;
	return nb;
}

struct Parsed {
	std::vector<Triangle> triangles;
	bool damaged = false;
	std::size_t end = 0; // where the cursor stopped
};

// Runs the list `bytes`, whose first byte is the first opcode.
Parsed Parse(const Bytes& bytes, int node = 0, int mtxCount = 0, int positions = 64)
{
	const BRMDL model = Positions(positions);
	Parsed parsed;
	ByteView file(bytes);
	const std::uint8_t first = R8next(file);
	ReadPolygonData(file, first, parsed.triangles, model, Mesh(node), Descriptor(mtxCount));
	parsed.damaged = file.damaged();
	parsed.end = file.tell();
	return parsed;
}

std::vector<Corners> CornersOf(const std::vector<Triangle>& triangles)
{
	std::vector<Corners> corners;
	for (const Triangle& t : triangles)
		corners.push_back({t.v[0].posIndex, t.v[1].posIndex, t.v[2].posIndex});
	return corners;
}

std::vector<int> NodesOf(const std::vector<Triangle>& triangles)
{
	std::vector<int> nodes;
	for (const Triangle& t : triangles)
		for (const Vertex& v : t.v)
			nodes.push_back(v.node);
	return nodes;
}

TEST(DisplayList, PrimitivesBecomeReversedTriangles)
{
	{
		const Parsed p = Parse({0x90, 0, 6, 0, 1, 2, 3, 4, 5, 0});
		EXPECT_EQ(CornersOf(p.triangles), (std::vector<Corners>{{2, 1, 0}, {5, 4, 3}}));
		EXPECT_FALSE(p.damaged);
		EXPECT_EQ(p.end, 10u); // behind the closing opcode 0
	}
	{
		// quads split along the diagonal from the first to the third corner
		const Parsed p = Parse({0x80, 0, 8, 0, 1, 2, 3, 4, 5, 6, 7, 0});
		EXPECT_EQ(CornersOf(p.triangles), (std::vector<Corners>{{2, 1, 0}, {3, 2, 0}, {6, 5, 4}, {7, 6, 4}}));
		EXPECT_FALSE(p.damaged);
	}
	{
		const Parsed p = Parse({0x98, 0, 4, 0, 1, 2, 3, 0});
		EXPECT_EQ(CornersOf(p.triangles), (std::vector<Corners>{{2, 1, 0}, {2, 3, 1}}));
	}
	{
		// alternate strip triangles flip so every one keeps the winding
		const Parsed p = Parse({0x98, 0, 6, 0, 1, 2, 3, 4, 5, 0});
		EXPECT_EQ(CornersOf(p.triangles), (std::vector<Corners>{{2, 1, 0}, {2, 3, 1}, {4, 3, 2}, {4, 5, 3}}));
	}
	{
		const Parsed p = Parse({0xA0, 0, 4, 0, 1, 2, 3, 0});
		EXPECT_EQ(CornersOf(p.triangles), (std::vector<Corners>{{2, 1, 0}, {3, 2, 0}}));
	}
	{
		const Parsed p = Parse({0xA0, 0, 5, 0, 1, 2, 3, 4, 0});
		EXPECT_EQ(CornersOf(p.triangles), (std::vector<Corners>{{2, 1, 0}, {3, 2, 0}, {4, 3, 0}}));
		EXPECT_FALSE(p.damaged);
	}
	{
		// commands follow one another; triangles keep the list's order
		const Parsed p = Parse({0x98, 0, 3, 9, 8, 7, 0xA0, 0, 3, 1, 2, 3, 0x90, 0, 3, 4, 5, 6, 0});
		EXPECT_EQ(CornersOf(p.triangles), (std::vector<Corners>{{7, 8, 9}, {3, 2, 1}, {6, 5, 4}}));
	}
}

TEST(DisplayList, CornersCarryTheirArrayEntries)
{
	const Parsed p = Parse({0x90, 0, 3, 10, 11, 12, 0});
	ASSERT_EQ(p.triangles.size(), 1u);
	EXPECT_EQ(p.triangles[0].v[0].pos[0], 12.0f);
	EXPECT_EQ(p.triangles[0].v[2].pos[0], 10.0f);
	EXPECT_EQ(p.triangles[0].v[1].nrmIndex, -2);
}

TEST(DisplayList, EndsAtOpcodeZero)
{
	// an opcode 0 right after the first command ends the mesh
	const Parsed p = Parse({0x90, 0, 3, 0, 1, 2, 0, 0x90, 0, 3, 3, 4, 5, 0});
	EXPECT_EQ(CornersOf(p.triangles), (std::vector<Corners>{{2, 1, 0}}));
	EXPECT_EQ(p.end, 7u);

	const Parsed nothing = Parse({0x00, 0x90, 0, 3, 0, 1, 2, 0});
	EXPECT_TRUE(nothing.triangles.empty());
	EXPECT_FALSE(nothing.damaged);
}

TEST(DisplayList, SkipsMatrixLoadsAndUnknownCommands)
{
	// the operand bytes of 0x28 and 0x30 would read as a triangles command
	const Parsed p = Parse({0x28, 0x90, 0, 3, 0, 0x30, 0x90, 0, 3, 0, 0x90, 0, 3, 1, 2, 3, 0});
	EXPECT_EQ(CornersOf(p.triangles), (std::vector<Corners>{{3, 2, 1}}));
	EXPECT_FALSE(p.damaged);

	// other opcodes are passed over one byte at a time
	const Parsed q = Parse({0x61, 0x08, 0x90, 0, 3, 1, 2, 3, 0x91, 0});
	EXPECT_EQ(CornersOf(q.triangles), (std::vector<Corners>{{3, 2, 1}}));
	EXPECT_FALSE(q.damaged);
}

TEST(DisplayList, MatrixTable)
{
	// each vertex: one matrix byte (slot x 3), then its position
	const Bytes list = {
		0x20, 0, 7, 0xB0, 0x00, // slot 0 = node 7
		0x20, 0, 9, 0xB0, 0x0C, // slot 1 = node 9
		0x90, 0, 3, 0, 0, 3, 1, 6, 2, // slots 0, 1 and 2 (never loaded: node 0)
		0x20, 0, 4, 0xB0, 0x00, // restart: slot 0 = node 4
		0x90, 0, 3, 0, 0, 3, 1, 3, 2, 0};
	const Parsed p = Parse(list, -1, 1);
	EXPECT_EQ(NodesOf(p.triangles), (std::vector<int>{0, 9, 7, 9, 9, 4}));
	EXPECT_FALSE(p.damaged);

	// a mesh bound to one node ignores the table
	EXPECT_EQ(NodesOf(Parse(list, 5, 1).triangles), (std::vector<int>(6, 5)));
}

TEST(DisplayList, ExtraMatrixLoadsAreDropped)
{
	Bytes list;
	for (int k = 0; k < 13; ++k) {
		// 13 loads; only the first starts the table over
		const std::uint16_t address = std::uint16_t(0xB000 + 12 * k);
		list.insert(list.end(), {0x20, 0, std::uint8_t(20 + k), std::uint8_t(address >> 8), std::uint8_t(address)});
	}
	list.insert(list.end(), {0x90, 0, 3, 0, 0, 33, 1, 30, 2, 0}); // slots 0, 11, 10
	const Parsed p = Parse(list, -1, 1);
	EXPECT_EQ(NodesOf(p.triangles), (std::vector<int>{30, 31, 20}));
	EXPECT_TRUE(p.damaged);

	// a restart makes room again
	Bytes again(list.begin(), list.end() - 10);
	again.insert(again.end(), {0x20, 0, 99, 0xB0, 0x00, 0x90, 0, 3, 0, 0, 33, 1, 3, 2, 0});
	const Parsed q = Parse(again, -1, 1);
	EXPECT_EQ(NodesOf(q.triangles), (std::vector<int>{21, 31, 99}));
}

TEST(DisplayList, IncompletePrimitivesConsumeTheirVertices)
{
	// each damaged command is followed by a sound one that must still be found
	struct Case {
		Bytes list;
		std::vector<Corners> expected;
	};
	const Case cases[] = {
		{{0x90, 0, 4, 0, 1, 2, 3, 0x90, 0, 3, 4, 5, 6, 0}, {{2, 1, 0}, {6, 5, 4}}},
		{{0x80, 0, 6, 0, 1, 2, 3, 4, 5, 0x90, 0, 3, 4, 5, 6, 0}, {{2, 1, 0}, {3, 2, 0}, {6, 5, 4}}},
		{{0x98, 0, 2, 0, 1, 0x90, 0, 3, 4, 5, 6, 0}, {{6, 5, 4}}},
		{{0xA0, 0, 0, 0x90, 0, 3, 4, 5, 6, 0}, {{6, 5, 4}}},
		{{0x98, 0, 1, 7, 0xA0, 0, 2, 1, 2, 0x90, 0, 3, 4, 5, 6, 0}, {{6, 5, 4}}},
	};
	for (const Case& c : cases) {
		const Parsed p = Parse(c.list);
		EXPECT_EQ(CornersOf(p.triangles), c.expected) << "opcode " << int(c.list[0]);
		EXPECT_TRUE(p.damaged) << "opcode " << int(c.list[0]);
		EXPECT_EQ(p.end, c.list.size());
	}
	// empty triangle and quad commands are whole
	EXPECT_FALSE(Parse({0x90, 0, 0, 0x80, 0, 0, 0}).damaged);
}

TEST(DisplayList, IndicesBeyondTheArrayGiveZeros)
{
	const Parsed p = Parse({0x90, 0, 3, 1, 2, 9, 0}, 0, 0, 4);
	ASSERT_EQ(p.triangles.size(), 1u);
	EXPECT_TRUE(p.damaged);
	EXPECT_EQ(p.triangles[0].v[0].posIndex, 9);
	EXPECT_EQ(p.triangles[0].v[0].pos[0], 0.0f);
	EXPECT_EQ(p.triangles[0].v[1].pos[0], 2.0f);
}

TEST(DisplayList, TruncatedListsStopAtTheEnd)
{
	{
		// no closing opcode: the list ends with the data, which is damage
		const Parsed p = Parse({0x90, 0, 3, 0, 1, 2});
		EXPECT_EQ(CornersOf(p.triangles), (std::vector<Corners>{{2, 1, 0}}));
		EXPECT_TRUE(p.damaged);
	}
	{
		// a command announcing more vertices than remain keeps its whole primitives
		const Parsed p = Parse({0x90, 0xFF, 0xFF, 0, 1, 2, 3, 4});
		EXPECT_EQ(CornersOf(p.triangles), (std::vector<Corners>{{2, 1, 0}}));
		EXPECT_TRUE(p.damaged);
	}
	// every prefix of a list using every command, each in a buffer of its own
	const Bytes full = {0x20, 0, 7, 0xB0, 0x00, 0x28, 1, 2, 3, 4, 0x30, 1, 2, 3, 4, 0x61,
		0x80, 0, 4, 0, 0, 3, 1, 0, 2, 0, 3, 0x90, 0, 3, 0, 0, 0, 1, 0, 2,
		0x98, 0, 4, 0, 0, 0, 1, 0, 2, 0, 3, 0xA0, 0, 4, 0, 0, 0, 1, 0, 2, 0, 3, 0};
	EXPECT_EQ(Parse(full, -1, 1).triangles.size(), 7u);
	for (std::size_t n = 1; n < full.size(); ++n) {
		const Bytes prefix(full.begin(), full.begin() + std::ptrdiff_t(n));
		const Parsed p = Parse(prefix, -1, 1);
		EXPECT_TRUE(p.damaged) << n;
		EXPECT_LE(p.triangles.size(), 7u);
	}
}

TEST(DisplayList, AppendsBehindExistingTriangles)
{
	std::vector<Triangle> triangles;
	Vertex a, b, c;
	a.posIndex = 1;
	b.posIndex = 2;
	c.posIndex = 3;
	AddTriangle(triangles, a, b, c);
	EXPECT_EQ(CornersOf(triangles), (std::vector<Corners>{{1, 2, 3}}));

	const BRMDL model = Positions(8);
	const Bytes list = {0, 3, 5, 6, 7, 0};
	ByteView file(list);
	ReadPolygonData(file, 0x90, triangles, model, Mesh(0), Descriptor(0));
	EXPECT_EQ(CornersOf(triangles), (std::vector<Corners>{{1, 2, 3}, {7, 6, 5}}));
}

} // namespace
} // namespace zentarra
