#include "model/display_list.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

namespace zentarra {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Corners = std::vector<std::array<int, 3>>; // position indices of each triangle, in stored order

TEST(VertexDescriptor, IndexSizesMatrixCountAndTextureChannels)
{
	// -1 absent, 0 direct, 1 8-bit index, 2 16-bit index
	const std::pair<std::uint8_t, std::array<int, 3>> low[] = {{0x16, {2, 1, 0}}, {0x00, {-1, 0, 0}},
		{0x0A, {0, 0, 0}}, {0x7C, {1, 2, 2}}, {0xC1, {-1, 0, 1}}};
	for (const auto& [byte, sizes] : low) {
		NB nb;
		SetNB1(byte, nb);
		EXPECT_EQ((std::array{nb.posSize, nb.nrmSize, nb.clrSize}), sizes) << int(byte);
	}
	for (const auto& [byte, count] : {std::pair{0x03, 2}, {0xFF, 8}, {0x00, 0}, {0x81, 2}}) {
		NB nb;
		SetNB2(std::uint8_t(byte), nb);
		EXPECT_EQ(nb.mtxCount, count) << byte;
	}
	// second byte: channels 0..3 with fields 0, 1, 2, 3; first byte: channels 4..7 with 3, 2, 1, 0
	NB nb;
	SetNB3(0x1B, 0xE4, nb);
	EXPECT_EQ(std::to_array(nb.texSize), (std::array<int, 8>{0, 0, 1, 2, 2, 1, 0, 0}));
}

struct Parsed {
	Corners corners = {};
	std::vector<int> nodes = {}; // of every corner
	bool damaged = false;
	std::size_t end = 0; // where the cursor stopped
};

// Runs `bytes` (first byte: the first opcode) over 64 positions, position i
// being (i, 0, 0); a vertex is `mtxCount` matrix bytes, then an 8-bit position index.
Parsed Parse(const Bytes& bytes, int node = 0, int mtxCount = 0)
{
	BRMDL model;
	model.nVtx = 1;
	model.vtx.resize(1);
	for (int i = 0; i < 64; ++i)
		model.vtx[0].push_back({float(i), 0, 0});
	model.vtxCount = {64};
	MeshInfo mesh;
	mesh.vtxArray = 0;
	mesh.node = node;
	const NB nb{.posSize = 1, .mtxCount = mtxCount};
	std::vector<Triangle> triangles;
	ByteView file(bytes);
	const std::uint8_t first = R8next(file);
	ReadPolygonData(file, first, triangles, model, mesh, nb);
	Parsed parsed{.damaged = file.damaged(), .end = file.tell()};
	for (const Triangle& t : triangles) {
		parsed.corners.push_back({t.v[0].posIndex, t.v[1].posIndex, t.v[2].posIndex});
		for (const Vertex& v : t.v) {
			parsed.nodes.push_back(v.node);
			EXPECT_EQ(v.pos[0], float(v.posIndex)) << "corners carry their entries";
		}
	}
	return parsed;
}

TEST(DisplayList, PrimitivesGiveReversedTriangles)
{
	struct Case {
		const char* why;
		Bytes list;
		Corners expected;
		bool damaged = false;
	};
	const Case cases[] = {
		{"triangles", {0x90, 0, 6, 0, 1, 2, 3, 4, 5, 0}, {{2, 1, 0}, {5, 4, 3}}},
		{"quads split from the first to the third corner", {0x80, 0, 8, 0, 1, 2, 3, 4, 5, 6, 7, 0},
			{{2, 1, 0}, {3, 2, 0}, {6, 5, 4}, {7, 6, 4}}},
		{"strip of 4", {0x98, 0, 4, 0, 1, 2, 3, 0}, {{2, 1, 0}, {2, 3, 1}}},
		{"strip of 6: every other one flipped", {0x98, 0, 6, 0, 1, 2, 3, 4, 5, 0},
			{{2, 1, 0}, {2, 3, 1}, {4, 3, 2}, {4, 5, 3}}},
		{"fan of 5", {0xA0, 0, 5, 0, 1, 2, 3, 4, 0}, {{2, 1, 0}, {3, 2, 0}, {4, 3, 0}}},
		{"commands in list order", {0x98, 0, 3, 9, 8, 7, 0xA0, 0, 3, 1, 2, 3, 0x90, 0, 3, 4, 5, 6, 0},
			{{7, 8, 9}, {3, 2, 1}, {6, 5, 4}}},
		{"empty triangles and quads are whole", {0x90, 0, 0, 0x80, 0, 0, 0}, {}},
		// the operand bytes of 0x28 and 0x30 would read as a triangles command
		{"0x28 and 0x30 skipped", {0x28, 0x90, 0, 3, 0, 0x30, 0x90, 0, 3, 0, 0x90, 0, 3, 1, 2, 3, 0}, {{3, 2, 1}}},
		{"other opcodes passed one byte at a time", {0x61, 0x08, 0x90, 0, 3, 1, 2, 3, 0x91, 0}, {{3, 2, 1}}},
		{"opcode 0 first", {0x00, 0x90, 0, 3, 0, 1, 2, 0}, {}},
		// partial primitives consume their vertices: the sound command behind is still found
		{"triangles of 4", {0x90, 0, 4, 0, 1, 2, 3, 0x90, 0, 3, 4, 5, 6, 0}, {{2, 1, 0}, {6, 5, 4}}, true},
		{"quads of 6", {0x80, 0, 6, 0, 1, 2, 3, 4, 5, 0x90, 0, 3, 4, 5, 6, 0}, {{2, 1, 0}, {3, 2, 0}, {6, 5, 4}}, true},
		{"strip of 2", {0x98, 0, 2, 0, 1, 0x90, 0, 3, 4, 5, 6, 0}, {{6, 5, 4}}, true},
		{"fan of 0", {0xA0, 0, 0, 0x90, 0, 3, 4, 5, 6, 0}, {{6, 5, 4}}, true},
		{"strip of 1, fan of 2", {0x98, 0, 1, 7, 0xA0, 0, 2, 1, 2, 0x90, 0, 3, 4, 5, 6, 0}, {{6, 5, 4}}, true},
		// lists cut short keep their whole primitives
		{"no closing opcode", {0x90, 0, 3, 0, 1, 2}, {{2, 1, 0}}, true},
		{"more vertices announced than remain", {0x90, 0xFF, 0xFF, 0, 1, 2, 3, 4}, {{2, 1, 0}}, true},
	};
	for (const Case& c : cases) {
		const Parsed p = Parse(c.list);
		EXPECT_EQ(p.corners, c.expected) << c.why;
		EXPECT_EQ(p.damaged, c.damaged) << c.why;
		if (c.damaged && c.list.back() == 0) {
			EXPECT_EQ(p.end, c.list.size()) << c.why;
		}
	}
	// opcode 0 ends the mesh, the cursor just behind it
	const Parsed p = Parse({0x90, 0, 3, 10, 11, 12, 0, 0x90, 0, 3, 3, 4, 5, 0});
	EXPECT_EQ(p.corners, (Corners{{12, 11, 10}}));
	EXPECT_EQ(p.end, 7u);

	// every prefix of a list using every command, each in a buffer of its own
	const Bytes full = {0x20, 0, 7, 0xB0, 0x00, 0x28, 1, 2, 3, 4, 0x30, 1, 2, 3, 4, 0x61, 0x80, 0, 4, 0, 0, 3, 1, 0,
		2, 0, 3, 0x90, 0, 3, 0, 0, 0, 1, 0, 2, 0x98, 0, 4, 0, 0, 0, 1, 0, 2, 0, 3, 0xA0, 0, 4, 0, 0, 0, 1, 0, 2, 0, 3, 0};
	EXPECT_EQ(Parse(full, -1, 1).corners.size(), 7u);
	for (std::size_t n = 1; n < full.size(); ++n) {
		const Parsed cut = Parse(Bytes(full.begin(), full.begin() + std::ptrdiff_t(n)), -1, 1);
		EXPECT_TRUE(cut.damaged) << n;
		EXPECT_LE(cut.corners.size(), 7u) << n;
	}
}

TEST(DisplayList, MatrixTable)
{
	// each vertex: one matrix byte (slot x 3), then its position
	const Bytes list = {
		0x20, 0, 7, 0xB0, 0x00, // restart: slot 0 = node 7
		0x20, 0, 9, 0xB0, 0x0C, // slot 1 = node 9
		0x90, 0, 3, 0, 0, 3, 1, 6, 2, // slots 0, 1 and 2 (never loaded: node 0)
		0x20, 0, 4, 0xB0, 0x00, // restart: slot 0 = node 4, slot 1 kept
		0x90, 0, 3, 0, 0, 3, 1, 3, 2, 0};
	const Parsed p = Parse(list, -1, 1);
	EXPECT_EQ(p.nodes, (std::vector<int>{0, 9, 7, 9, 9, 4}));
	EXPECT_FALSE(p.damaged);
	EXPECT_EQ(Parse(list, 5, 1).nodes, (std::vector<int>(6, 5))) << "a mesh bound to one node ignores the table";

	// 13 loads: only the first restarts, the thirteenth finds no room
	Bytes loads;
	for (int k = 0; k < 13; ++k) {
		const std::uint16_t address = std::uint16_t(0xB000 + 12 * k);
		loads.insert(loads.end(), {0x20, 0, std::uint8_t(20 + k), std::uint8_t(address >> 8), std::uint8_t(address)});
	}
	Bytes over = loads;
	over.insert(over.end(), {0x90, 0, 3, 0, 0, 33, 1, 30, 2, 0}); // slots 0, 11, 10
	const Parsed q = Parse(over, -1, 1);
	EXPECT_EQ(q.nodes, (std::vector<int>{30, 31, 20}));
	EXPECT_TRUE(q.damaged);
	// a restart makes room again
	loads.insert(loads.end(), {0x20, 0, 99, 0xB0, 0x00, 0x90, 0, 3, 0, 0, 33, 1, 3, 2, 0});
	EXPECT_EQ(Parse(loads, -1, 1).nodes, (std::vector<int>{21, 31, 99}));
}

} // namespace
} // namespace zentarra
