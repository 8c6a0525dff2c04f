// Vertex arrays, vertices and display lists decoded from raw bytes.
#include "model/display_list.h"
#include "model/vertex_arrays.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <vector>

namespace zentarra {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Corners = std::vector<std::array<int, 3>>; // position indices of each triangle, in stored order

TEST(ReadCoord, EveryFormatSingleAndInRuns)
{
	struct Case {
		Bytes bytes;
		int format, shift;
		float expected;
	};
	const Case cases[] = {{{200}, 0, 0, 200.0f}, {{0xFF}, 1, 1, -0.5f}, {{0xFF, 0xFF}, 2, 16, 65535.0f / 65536.0f},
		{{0xC0, 0x00}, 3, 14, -1.0f}, {{0x3F, 0xC0, 0x00, 0x00}, 4, 10, 1.5f}, // floats ignore the shift
		{{0xFE}, 200, 1, 127.0f}, // unknown formats read as unsigned 8-bit
		// 2^130 overflows a float: the division is done in double; 1.5 x 2^-149 rounds to even
		{{1}, 0, 130, std::ldexp(1.0f, -130)}, {{1}, 0, 255, 0.0f}, {{3}, 0, 150, std::ldexp(1.0f, -148)}};
	for (const Case& c : cases) {
		ByteView file(c.bytes);
		EXPECT_EQ(ReadCoord(file, c.format, c.shift), c.expected) << "format " << c.format << " shift " << c.shift;
		EXPECT_TRUE(file.tell() == c.bytes.size() && !file.damaged()) << "format " << c.format;
	}
	// runs take a path of their own: each component must equal ReadCoord's
	const Bytes bytes = {0x80, 0xFF, 0x01, 0x7F, 0xC0, 0x00, 0x3F, 0xC0, 0x00, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC,
		0xDE, 0xF0, 0x0F, 0x1E, 0x2D, 0x3C, 0x4B, 0x5A};
	for (int format : {0, 1, 2, 3, 4, 7})
		for (int shift : {3, 200}) {
			std::vector<Vec3> run(format == 4 ? 2 : format == 2 || format == 3 ? 4 : 8);
			ByteView file(bytes), single(bytes);
			ReadCoords(file, run, 3, format, shift);
			for (const Vec3& entry : run)
				for (float c : entry)
					EXPECT_EQ(std::bit_cast<std::uint32_t>(c), std::bit_cast<std::uint32_t>(ReadCoord(single, format, shift)))
						<< "format " << format << " shift " << shift;
			EXPECT_EQ(file.tell(), single.tell());
		}
	// a cut run keeps what the view holds; two stored components leave z at 0
	const Bytes five = {1, 2, 3, 4, 5};
	std::vector<Vec3> xy(3);
	ByteView cut(five);
	ReadCoords(cut, xy, 2, 0, 1);
	EXPECT_TRUE(xy == (std::vector<Vec3>{{0.5f, 1.0f, 0}, {1.5f, 2.0f, 0}, {2.5f, 0.0f, 0}}) && cut.damaged());
}

TEST(ReadColors, EveryFormat)
{
	const auto c = [](double r, double g, double b, double a) { return Vec4{float(r), float(g), float(b), float(a)}; };
	const std::pair<Bytes, Vec4> cases[] = {{{0x84, 0x10}, c(16 / 31.0, 32 / 63.0, 16 / 31.0, 1)}, // RGB565
		{{0xFF, 0x00, 0x80}, c(1, 0, 128 / 255.0, 1)}, {{0x10, 0x20, 0x30, 0x40}, c(16 / 255.0, 32 / 255.0, 48 / 255.0, 1)},
		{{0x8F, 0x0F}, c(8 / 15.0, 1, 0, 1)}, {{0xFC, 0x0F, 0xC0}, c(1, 0, 1, 0)}, // RGBA4, RGBA6
		{{0x00, 0xFF, 0x33, 0x66}, c(0, 1, 51 / 255.0, 102 / 255.0)}}; // RGBA8, and unknown formats as RGBA8
	for (int format = 0; format < 7; ++format) {
		// twice in a row: the second colour starts where the first ended
		const auto& [bytes, colour] = cases[std::min(format, 5)];
		Bytes twice = bytes;
		twice.insert(twice.end(), bytes.begin(), bytes.end());
		std::vector<Vec4> colours(2);
		ByteView file(twice);
		ReadColors(file, colours, format);
		EXPECT_EQ(colours, std::vector<Vec4>(2, colour)) << "format " << format;
		EXPECT_TRUE(file.tell() == twice.size() && !file.damaged()) << "format " << format;
	}
}

TEST(ReadVertex, AttributesNodesAndMissingEntries)
{
	// position i is (i, 10 + i, 20 + i), uv i (i, -i), normal i (0, 0, -i), colour i (i / 10, 0, 0, 1); 300 of each
	BRMDL model;
	model.vtx.resize(1), model.nrm.resize(1), model.clr.resize(1), model.uv.resize(1);
	for (int i = 0; i < 300; ++i) {
		const float f = float(i);
		model.vtx[0].push_back({f, 10 + f, 20 + f});
		model.uv[0].push_back({f, -f});
		model.nrm[0].push_back({0, 0, -f});
		model.clr[0].push_back({f / 10, 0, 0, 1});
	}
	const MatrixTable matrices{17, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 43};
	const NB all{.posSize = 2, .nrmSize = 1, .clrSize = 1, .texSize = {2, 0, 1}}, skinned{.posSize = 1, .mtxCount = 2};
	struct Case {
		NB nb;
		Bytes bytes;
		std::size_t tell;
		bool damaged;
		std::array<float, 10> got; // position, normal and uv index, node; x, y, normal z, red, alpha, u
	};
	const Case cases[] = {
		// 16-bit position and uv, texture channel 2 passed over
		{all, {0x01, 0x0A, 3, 2, 0x00, 0x03, 0xEE}, 7, false, {266, 3, 3, 17, 266, 276, -3, 0.2f, 1, 3}},
		// the first matrix byte names the slot, 3 per slot, up to 11
		{skinned, {35, 0, 1}, 3, false, {1, -2, -1, 43, 1, 11, 0, 1, 1, 0}},
		{skinned, {36, 0xAA, 1}, 3, true, {1, -2, -1, 0, 1, 11, 0, 1, 1, 0}},
		{all, {0, 1, 1}, 7, true, {1, 1, 0, 17, 1, 11, -1, 0, 1, 0}}, // the list ends inside: the rest reads as 0
	};
	MeshInfo mesh; // per-vertex nodes
	mesh.vtxArray = mesh.nrmArray = mesh.clrArray = mesh.uvArray[0] = 0;
	mesh.node = -1;
	for (const Case& c : cases) {
		ByteView file(c.bytes);
		const Vertex v = ReadVertex(file, model, mesh, c.nb, matrices);
		EXPECT_TRUE(file.tell() == c.tell && file.damaged() == c.damaged) << &c - cases;
		EXPECT_EQ((std::array{float(v.posIndex), float(v.nrmIndex), float(v.uvIndex), float(v.node), v.pos[0], v.pos[1],
					  v.nrm[2], v.color[0], v.color[3], v.uv[0]}),
			c.got) << &c - cases;
	}
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
	model.vtx.resize(1);
	for (int i = 0; i < 64; ++i)
		model.vtx[0].push_back({float(i), 0, 0});
	MeshInfo mesh;
	mesh.vtxArray = 0;
	mesh.node = node;
	std::vector<Triangle> triangles;
	ByteView file(bytes);
	const std::uint8_t first = R8next(file);
	ReadPolygonData(file, first, triangles, model, mesh, NB{.posSize = 1, .mtxCount = mtxCount});
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
	const std::tuple<Bytes, Corners, bool> cases[] = {
		{{0x90, 0, 6, 0, 1, 2, 3, 4, 5, 0}, {{2, 1, 0}, {5, 4, 3}}, false},
		{{0x80, 0, 8, 0, 1, 2, 3, 4, 5, 6, 7, 0}, {{2, 1, 0}, {3, 2, 0}, {6, 5, 4}, {7, 6, 4}}, false}, // split 0-2
		{{0x98, 0, 6, 0, 1, 2, 3, 4, 5, 0}, {{2, 1, 0}, {2, 3, 1}, {4, 3, 2}, {4, 5, 3}}, false}, // every other flipped
		{{0xA0, 0, 5, 0, 1, 2, 3, 4, 0}, {{2, 1, 0}, {3, 2, 0}, {4, 3, 0}}, false},
		// 0x28 and 0x30 skip operands that would read as a triangles command; other opcodes pass one byte at a time
		{{0x28, 0x90, 0, 3, 0, 0x30, 0x90, 0, 3, 0, 0x61, 0x08, 0x90, 0, 3, 1, 2, 3, 0}, {{3, 2, 1}}, false},
		// partial primitives consume their vertices: the sound command behind is still found
		{{0x90, 0, 4, 0, 1, 2, 3, 0x90, 0, 3, 4, 5, 6, 0}, {{2, 1, 0}, {6, 5, 4}}, true},
		{{0x98, 0, 2, 0, 1, 0xA0, 0, 2, 1, 2, 0x90, 0, 3, 4, 5, 6, 0}, {{6, 5, 4}}, true},
		// lists cut short keep their whole primitives
		{{0x90, 0, 3, 0, 1, 2}, {{2, 1, 0}}, true},
	};
	for (const auto& [list, expected, damaged] : cases) {
		const Parsed p = Parse(list);
		EXPECT_TRUE(p.corners == expected && p.damaged == damaged) << &list - &std::get<0>(cases[0]);
		EXPECT_TRUE(list.back() != 0 || p.end == list.size()) << "the cursor stops behind the end";
	}
	const Parsed ended = Parse({0x90, 0, 3, 10, 11, 12, 0, 0x90, 0, 3, 3, 4, 5, 0}); // opcode 0 ends the mesh
	EXPECT_TRUE(ended.corners == (Corners{{12, 11, 10}}) && ended.end == 7u);
}

TEST(DisplayList, MatrixTable)
{
	// 13 loads: only the first restarts, the thirteenth finds no room
	Bytes over;
	for (int k = 0; k < 13; ++k)
		over.insert(over.end(), {0x20, 0, std::uint8_t(20 + k), std::uint8_t(0xB0 + 12 * k / 256), std::uint8_t(12 * k)});
	over.insert(over.end(), {0x90, 0, 3, 0, 0, 33, 1, 30, 2, 0}); // slots 0, 11, 10
	const Parsed q = Parse(over, -1, 1);
	EXPECT_TRUE(q.nodes == (std::vector<int>{30, 31, 20}) && q.damaged);
}

} // namespace
} // namespace zentarra
