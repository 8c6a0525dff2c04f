#include "model/vertex_arrays.h"

#include <gtest/gtest.h>

#include <bit>
#include <array>
#include <cmath>
#include <vector>

namespace zentarra {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ReadCoord, EveryFormat)
{
	struct Case {
		Bytes bytes;
		int format;
		int shift;
		float expected;
		std::size_t width;
	};
	const Case cases[] = {
		{{200}, 0, 0, 200.0f, 1},
		{{0x80}, 0, 7, 1.0f, 1},
		{{0xFF}, 1, 1, -0.5f, 1}, // signed 8-bit -1
		{{0x7F}, 1, 0, 127.0f, 1},
		{{0xFF, 0xFF}, 2, 16, 65535.0f / 65536.0f, 2},
		{{0xC0, 0x00}, 3, 14, -1.0f, 2}, // -16384
		{{0x7F, 0xFF}, 3, 0, 32767.0f, 2},
		{{0x3F, 0xC0, 0x00, 0x00}, 4, 10, 1.5f, 4}, // floats ignore the shift
		{{0xC2, 0x28, 0x00, 0x00}, 4, 0, -42.0f, 4},
		{{0xFF}, 5, 0, 255.0f, 1}, // unknown formats read as unsigned 8-bit
		{{0xFE}, 200, 1, 127.0f, 1},
		// 2^130 overflows a float: the division is done in double
		{{1}, 0, 130, std::ldexp(1.0f, -130), 1},
		{{1}, 0, 149, std::ldexp(1.0f, -149), 1},
		{{1}, 0, 255, 0.0f, 1},                    // below every float
		{{3}, 0, 150, std::ldexp(1.0f, -148), 1}, // 1.5 x 2^-149 rounds to even
	};
	for (const Case& c : cases) {
		ByteView file(c.bytes);
		EXPECT_EQ(ReadCoord(file, c.format, c.shift), c.expected) << "format " << c.format << " shift " << c.shift;
		EXPECT_EQ(file.tell(), c.width) << "format " << c.format;
		EXPECT_FALSE(file.damaged());
	}
	const Bytes cut = {0x3F, 0x80};
	ByteView file(cut);
	EXPECT_EQ(ReadCoord(file, 4, 0), 0.0f);
	EXPECT_TRUE(file.damaged());
}

TEST(ReadCoords, RunsDecodeLikeSingleComponents)
{
	const Bytes bytes = {0x80, 0xFF, 0x01, 0x7F, 0xC0, 0x00, 0x3F, 0xC0, 0x00, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC,
		0xDE, 0xF0, 0x0F, 0x1E, 0x2D, 0x3C, 0x4B, 0x5A};
	for (int format : {0, 1, 2, 3, 4, 7}) {
		for (int shift : {0, 3, 200}) {
			const std::size_t width = format == 4 ? 4 : format == 2 || format == 3 ? 2 : 1;
			std::vector<Vec3> run(bytes.size() / width / 3);
			ByteView file(bytes);
			ReadCoords(file, run, 3, format, shift);
			EXPECT_EQ(file.tell(), run.size() * 3 * width);
			ByteView single(bytes);
			for (const Vec3& entry : run)
				for (float c : entry)
					EXPECT_EQ(std::bit_cast<std::uint32_t>(c), std::bit_cast<std::uint32_t>(ReadCoord(single, format, shift)))
						<< "format " << format << " shift " << shift;
		}
	}

	// two stored components leave z at 0; a cut run keeps what the view holds
	const Bytes five = {1, 2, 3, 4, 5};
	std::vector<Vec3> xy(2);
	ByteView file(five);
	ReadCoords(file, xy, 2, 0, 0);
	EXPECT_EQ(xy, (std::vector<Vec3>{{1, 2, 0}, {3, 4, 0}}));
	EXPECT_EQ(file.tell(), 4u);
	EXPECT_FALSE(file.damaged());
	std::vector<Vec2> st(3);
	ByteView cut(five);
	ReadCoords(cut, st, 0, 1);
	EXPECT_EQ(st, (std::vector<Vec2>{{0.5f, 1.0f}, {1.5f, 2.0f}, {2.5f, 0.0f}}));
	EXPECT_TRUE(cut.damaged());
}

TEST(ReadColors, EveryFormat)
{
	struct Case {
		const char* why;
		Bytes bytes;
		int format;
		Vec4 expected;
	};
	const Case cases[] = {
		{"RGB565 red", {0xF8, 0x00}, 0, {1, 0, 0, 1}},
		{"RGB565 green", {0x07, 0xE0}, 0, {0, 1, 0, 1}},
		{"RGB565 halves", {0x84, 0x10}, 0, {float(16.0 / 31.0), float(32.0 / 63.0), float(16.0 / 31.0), 1}},
		{"RGB8", {0xFF, 0x00, 0x80}, 1, {1, 0, float(128.0 / 255.0), 1}},
		{"RGBX8: the fourth byte is not alpha", {0x10, 0x20, 0x30, 0x40}, 2,
			{float(16.0 / 255.0), float(32.0 / 255.0), float(48.0 / 255.0), 1}},
		{"RGBA4", {0x8F, 0x0F}, 3, {float(8.0 / 15.0), 1, 0, 1}},
		{"RGBA6", {0xFC, 0x0F, 0xC0}, 4, {1, 0, 1, 0}},
		{"RGBA6 others", {0x03, 0xF0, 0x3F}, 4, {0, 1, 0, 1}},
		{"RGBA8", {0x00, 0xFF, 0x33, 0x66}, 5, {0, 1, float(51.0 / 255.0), float(102.0 / 255.0)}},
		{"unknown as RGBA8", {0x00, 0xFF, 0x33, 0x66}, 9, {0, 1, float(51.0 / 255.0), float(102.0 / 255.0)}},
	};
	for (const Case& c : cases) {
		// twice in a row: the second colour starts where the first ended
		Bytes twice = c.bytes;
		twice.insert(twice.end(), c.bytes.begin(), c.bytes.end());
		std::vector<Vec4> colours(2);
		ByteView file(twice);
		ReadColors(file, colours, c.format);
		EXPECT_EQ(colours, (std::vector<Vec4>{c.expected, c.expected})) << c.why;
		EXPECT_EQ(file.tell(), twice.size()) << c.why;
		EXPECT_FALSE(file.damaged()) << c.why;
	}

	const Bytes short_ = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
	std::vector<Vec4> colours(2);
	ByteView file(short_);
	ReadColors(file, colours, 5);
	EXPECT_EQ(colours, (std::vector<Vec4>{{1, 1, 1, 1}, {0, 0, 0, 0}})); // the missing colour reads as zeros
	EXPECT_TRUE(file.damaged());
}

// Recognisable entries: position i is (i, 10 + i, 20 + i), normal i is
// (0, 0, -i), colour i has red i/10, uv i is (i, -i).
BRMDL SmallModel(int entries)
{
	BRMDL model;
	model.nVtx = model.nNrm = model.nClr = 1;
	model.nUV = 2;
	model.vtx.resize(1);
	model.nrm.resize(1);
	model.clr.resize(1);
	model.uv.resize(2);
	for (int i = 0; i < entries; ++i) {
		const float f = float(i);
		model.vtx[0].push_back({f, 10 + f, 20 + f});
		model.nrm[0].push_back({0, 0, -f});
		model.clr[0].push_back({f / 10, 0, 0, 1});
		model.uv[0].push_back({f, -f});
		model.uv[1].push_back({100 + f, 100 + f});
	}
	return model;
}

MeshInfo BoundTo(int node)
{
	MeshInfo mesh;
	mesh.vtxArray = mesh.nrmArray = mesh.clrArray = mesh.uvArray[0] = 0;
	mesh.uvArray[1] = 1;
	mesh.node = node;
	return mesh;
}

TEST(ReadVertex, AttributesFromTheArrays)
{
	const BRMDL model = SmallModel(300);
	NB nb;
	nb.posSize = 2;
	nb.nrmSize = nb.clrSize = 1;
	nb.texSize[0] = 2;
	nb.texSize[2] = 1; // read and passed over
	const Bytes bytes = {0x01, 0x0A, 7, 5, 0x00, 0x03, 0xEE, 0x42};
	ByteView file(bytes);
	const Vertex v = ReadVertex(file, model, BoundTo(-1), nb, MatrixTable{});
	EXPECT_EQ(file.tell(), 7u);
	EXPECT_FALSE(file.damaged());
	EXPECT_EQ(v.posIndex, 266);
	EXPECT_EQ((std::array{v.pos[0], v.pos[1], v.pos[2]}), (std::array{266.0f, 276.0f, 286.0f}));
	EXPECT_EQ(v.nrmIndex, 7);
	EXPECT_EQ(v.nrm[2], -7.0f);
	EXPECT_EQ((std::array{v.color[0], v.color[3]}), (std::array{0.5f, 1.0f}));
	EXPECT_EQ(v.uvIndex, 3);
	EXPECT_EQ((std::array{v.uv[0], v.uv[1]}), (std::array{3.0f, -3.0f}));

	// absent attributes keep their defaults; a position without an index width
	// (absent or direct) still reads one byte
	for (int posSize : {1, 0, -1}) {
		NB bare;
		bare.posSize = posSize;
		const Bytes one = {3, 0x99};
		ByteView at(one);
		const Vertex w = ReadVertex(at, model, BoundTo(-1), bare, MatrixTable{});
		EXPECT_EQ(at.tell(), 1u);
		EXPECT_EQ(w.pos[0], 3.0f);
		EXPECT_EQ(w.nrmIndex, -2);
		EXPECT_EQ((std::array{w.nrm[0], w.nrm[1], w.nrm[2]}), (std::array{0.0f, 0.0f, 0.0f}));
		EXPECT_EQ((std::array{w.color[0], w.color[3]}), (std::array{1.0f, 1.0f}));
		EXPECT_EQ(w.uvIndex, -1);
		EXPECT_EQ((std::array{w.uv[0], w.uv[1]}), (std::array{0.0f, 0.0f}));
	}
}

TEST(ReadVertex, NodeFromMatrixTableOrSingleBind)
{
	const BRMDL model = SmallModel(4);
	NB nb;
	nb.posSize = 1;
	nb.mtxCount = 2;
	MatrixTable matrices{};
	matrices[2] = 41;
	matrices[11] = 43;
	struct Case {
		Bytes bytes;
		int meshNode;
		int node;
		bool damaged;
	};
	const Case cases[] = {
		{{6, 0xAA, 1}, -1, 41, false}, // the first matrix byte: 6 / 3 = slot 2
		{{6, 0xAA, 1}, 5, 5, false},   // a single-bind mesh wins over the matrix
		{{35, 0, 1}, -1, 43, false},   // slot 11
		{{36, 0, 1}, -1, 0, true},     // slot 12: past the table
	};
	for (const Case& c : cases) {
		ByteView file(c.bytes);
		const Vertex v = ReadVertex(file, model, BoundTo(c.meshNode), nb, matrices);
		EXPECT_EQ(v.node, c.node) << int(c.bytes[0]);
		EXPECT_EQ(file.damaged(), c.damaged) << int(c.bytes[0]);
		EXPECT_EQ(file.tell(), 3u); // both matrix bytes, then the position
		EXPECT_EQ(v.posIndex, 1);
	}
	// no matrix index at all: slot 0
	nb.mtxCount = 0;
	matrices[0] = 17;
	const Bytes plain = {1};
	ByteView file(plain);
	EXPECT_EQ(ReadVertex(file, model, BoundTo(-1), nb, matrices).node, 17);
}

TEST(ReadVertex, IndicesBeyondTheirArraysGiveZeros)
{
	const BRMDL model = SmallModel(4);
	NB nb;
	nb.posSize = nb.nrmSize = nb.clrSize = nb.texSize[0] = 1;
	struct Case {
		const char* why;
		Bytes bytes; // position, normal, colour, uv
		int nrmArray;
		std::array<float, 5> got; // pos y, normal z, red, alpha, u: the others are still looked up
	};
	const Case cases[] = {
		{"position 4 of 4", {4, 1, 2, 3}, 0, {0, -1, 0.2f, 1, 3}},
		{"colour 200", {1, 1, 200, 3}, 0, {11, -1, 0, 0, 3}},
		{"a normal array the model does not have", {1, 1, 1, 1}, 0xFFFF, {11, 0, 0.1f, 1, 1}},
		{"the list ends inside the vertex: the rest reads as 0", {1, 1}, 0, {11, -1, 0, 1, 0}},
	};
	for (const Case& c : cases) {
		MeshInfo mesh = BoundTo(-1);
		mesh.nrmArray = c.nrmArray;
		ByteView file(c.bytes);
		const Vertex v = ReadVertex(file, model, mesh, nb, MatrixTable{});
		EXPECT_TRUE(file.damaged()) << c.why;
		EXPECT_EQ((std::array{v.pos[1], v.nrm[2], v.color[0], v.color[3], v.uv[0]}), c.got) << c.why;
		EXPECT_EQ(v.posIndex, c.bytes[0]) << c.why;
	}
}

} // namespace
} // namespace zentarra
