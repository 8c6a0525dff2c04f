#include "model/vertex_arrays.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <vector>

namespace zentarra {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ReadCoord, EveryFormat)
{
	struct Case {
		Bytes bytes;
		int format, shift;
		float expected;
		std::size_t width;
	};
	const Case cases[] = {
		{{200}, 0, 0, 200.0f, 1}, {{0x80}, 0, 7, 1.0f, 1},
		{{0xFF}, 1, 1, -0.5f, 1}, {{0x7F}, 1, 0, 127.0f, 1}, // signed 8-bit
		{{0xFF, 0xFF}, 2, 16, 65535.0f / 65536.0f, 2}, {{0xC0, 0x00}, 3, 14, -1.0f, 2}, {{0x7F, 0xFF}, 3, 0, 32767.0f, 2},
		{{0x3F, 0xC0, 0x00, 0x00}, 4, 10, 1.5f, 4}, {{0xC2, 0x28, 0x00, 0x00}, 4, 0, -42.0f, 4}, // floats ignore the shift
		{{0xFF}, 5, 0, 255.0f, 1}, {{0xFE}, 200, 1, 127.0f, 1}, // unknown formats read as unsigned 8-bit
		// 2^130 overflows a float: the division is done in double; 1.5 x 2^-149 rounds to even
		{{1}, 0, 130, std::ldexp(1.0f, -130), 1}, {{1}, 0, 149, std::ldexp(1.0f, -149), 1}, {{1}, 0, 255, 0.0f, 1},
		{{3}, 0, 150, std::ldexp(1.0f, -148), 1},
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
	for (int format : {0, 1, 2, 3, 4, 7})
		for (int shift : {0, 3, 200}) {
			const std::size_t width = format == 4 ? 4 : format == 2 || format == 3 ? 2 : 1;
			std::vector<Vec3> run(bytes.size() / width / 3);
			ByteView file(bytes), single(bytes);
			ReadCoords(file, run, 3, format, shift);
			EXPECT_EQ(file.tell(), run.size() * 3 * width);
			for (const Vec3& entry : run)
				for (float c : entry)
					EXPECT_EQ(std::bit_cast<std::uint32_t>(c), std::bit_cast<std::uint32_t>(ReadCoord(single, format, shift)))
						<< "format " << format << " shift " << shift;
		}

	// two stored components leave z at 0; a cut run keeps what the view holds
	const Bytes five = {1, 2, 3, 4, 5};
	std::vector<Vec3> xy(2);
	ByteView file(five), cut(five);
	ReadCoords(file, xy, 2, 0, 0);
	EXPECT_EQ(xy, (std::vector<Vec3>{{1, 2, 0}, {3, 4, 0}}));
	EXPECT_EQ(file.tell(), 4u);
	EXPECT_FALSE(file.damaged());
	std::vector<Vec2> st(3);
	ReadCoords(cut, st, 0, 1);
	EXPECT_EQ(st, (std::vector<Vec2>{{0.5f, 1.0f}, {1.5f, 2.0f}, {2.5f, 0.0f}}));
	EXPECT_TRUE(cut.damaged());
}

TEST(ReadColors, EveryFormat)
{
	struct Case {
		Bytes bytes;
		int format;
		Vec4 expected;
	};
	const float third = float(16.0 / 31.0), x80 = float(128.0 / 255.0), x33 = float(51.0 / 255.0);
	const Case cases[] = {
		{{0xF8, 0x00}, 0, {1, 0, 0, 1}}, {{0x07, 0xE0}, 0, {0, 1, 0, 1}}, // RGB565
		{{0x84, 0x10}, 0, {third, float(32.0 / 63.0), third, 1}}, {{0xFF, 0x00, 0x80}, 1, {1, 0, x80, 1}}, // RGB8
		{{0x10, 0x20, 0x30, 0x40}, 2, {float(16.0 / 255.0), float(32.0 / 255.0), float(48.0 / 255.0), 1}}, // not alpha
		{{0x8F, 0x0F}, 3, {float(8.0 / 15.0), 1, 0, 1}}, // RGBA4
		{{0xFC, 0x0F, 0xC0}, 4, {1, 0, 1, 0}}, {{0x03, 0xF0, 0x3F}, 4, {0, 1, 0, 1}}, // RGBA6
		{{0x00, 0xFF, 0x33, 0x66}, 5, {0, 1, x33, float(102.0 / 255.0)}}, // RGBA8, and unknown formats as RGBA8
		{{0x00, 0xFF, 0x33, 0x66}, 9, {0, 1, x33, float(102.0 / 255.0)}},
	};
	for (const Case& c : cases) {
		// twice in a row: the second colour starts where the first ended
		Bytes twice = c.bytes;
		twice.insert(twice.end(), c.bytes.begin(), c.bytes.end());
		std::vector<Vec4> colours(2);
		ByteView file(twice);
		ReadColors(file, colours, c.format);
		EXPECT_EQ(colours, (std::vector<Vec4>{c.expected, c.expected})) << "format " << c.format;
		EXPECT_EQ(file.tell(), twice.size()) << "format " << c.format;
		EXPECT_FALSE(file.damaged()) << "format " << c.format;
	}
	const Bytes short_ = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
	std::vector<Vec4> colours(2);
	ByteView file(short_);
	ReadColors(file, colours, 5);
	EXPECT_EQ(colours, (std::vector<Vec4>{{1, 1, 1, 1}, {0, 0, 0, 0}})); // the missing colour reads as zeros
	EXPECT_TRUE(file.damaged());
}

TEST(ReadVertex, AttributesNodesAndMissingEntries)
{
	// position i is (i, 10 + i, 20 + i) and uv i (i, -i), 300 of each; normal i
	// (0, 0, -i) and colour i (i / 10, 0, 0, 1), 4 of each; uv channel 1 elsewhere
	BRMDL model;
	model.vtx.resize(1), model.nrm.resize(1), model.clr.resize(1), model.uv.resize(2);
	for (int i = 0; i < 300; ++i) {
		const float f = float(i);
		model.vtx[0].push_back({f, 10 + f, 20 + f});
		model.uv[0].push_back({f, -f});
		model.uv[1].push_back({100 + f, 100 + f});
		if (i < 4) {
			model.nrm[0].push_back({0, 0, -f});
			model.clr[0].push_back({f / 10, 0, 0, 1});
		}
	}
	MatrixTable matrices{};
	matrices[0] = 17, matrices[11] = 43;
	const NB all{.posSize = 2, .nrmSize = 1, .clrSize = 1, .texSize = {1}};
	const NB skinned{.posSize = 1, .mtxCount = 2};
	struct Case {
		const char* why;
		NB nb;
		Bytes bytes;
		int meshNode = -1, nrmArray = 0;
		std::size_t tell;
		bool damaged;
		// position, normal and uv index, node; x, y, normal z, red, alpha, u
		std::array<float, 10> got;
	};
	const Case cases[] = {
		{"16-bit position; channel 2 passed over, its index not taken", {.posSize = 2, .nrmSize = 1, .clrSize = 1,
			.texSize = {2, 0, 1}}, {0x01, 0x0A, 3, 2, 0x00, 0x03, 0xEE, 0x42}, -1, 0, 7, false,
			{266, 3, 3, 17, 266, 276, -3, 0.2f, 1, 3}},
		// absent attributes keep their defaults; a position without an index width still reads one byte
		{"8-bit position alone", {.posSize = 1}, {3, 0x99}, -1, 0, 1, false, {3, -2, -1, 17, 3, 13, 0, 1, 1, 0}},
		{"position absent", {.posSize = 0}, {3, 0x99}, -1, 0, 1, false, {3, -2, -1, 17, 3, 13, 0, 1, 1, 0}},
		{"position direct", {.posSize = -1}, {3, 0x99}, -1, 0, 1, false, {3, -2, -1, 17, 3, 13, 0, 1, 1, 0}},
		// the first matrix byte names the slot, 3 per slot; a single-bind mesh ignores it
		{"slot 11", skinned, {35, 0, 1}, -1, 0, 3, false, {1, -2, -1, 43, 1, 11, 0, 1, 1, 0}},
		{"slot 12: past the table", skinned, {36, 0xAA, 1}, -1, 0, 3, true, {1, -2, -1, 0, 1, 11, 0, 1, 1, 0}},
		{"slot 12, single bind", skinned, {36, 0, 1}, 5, 0, 3, false, {1, -2, -1, 5, 1, 11, 0, 1, 1, 0}},
		// indices beyond their arrays give zeros, the other attributes are still looked up
		{"position 300 of 300", all, {0x01, 0x2C, 1, 2, 3}, -1, 0, 5, true, {300, 1, 3, 17, 0, 0, -1, 0.2f, 1, 3}},
		{"colour 200 of 4", all, {0, 1, 1, 200, 3}, -1, 0, 5, true, {1, 1, 3, 17, 1, 11, -1, 0, 0, 3}},
		{"a normal array the model does not have", all, {0, 1, 1, 1, 1}, -1, 0xFFFF, 5, true,
			{1, 1, 1, 17, 1, 11, 0, 0.1f, 1, 1}},
		{"the list ends inside the vertex: the rest reads as 0", all, {0, 1, 1}, -1, 0, 5, true,
			{1, 1, 0, 17, 1, 11, -1, 0, 1, 0}},
	};
	for (const Case& c : cases) {
		MeshInfo mesh;
		mesh.vtxArray = mesh.clrArray = mesh.uvArray[0] = 0;
		mesh.uvArray[1] = 1;
		mesh.nrmArray = c.nrmArray;
		mesh.node = c.meshNode;
		ByteView file(c.bytes);
		const Vertex v = ReadVertex(file, model, mesh, c.nb, matrices);
		EXPECT_EQ(file.tell(), c.tell) << c.why;
		EXPECT_EQ(file.damaged(), c.damaged) << c.why;
		const std::array<float, 10> got = {float(v.posIndex), float(v.nrmIndex), float(v.uvIndex), float(v.node),
			v.pos[0], v.pos[1], v.nrm[2], v.color[0], v.color[3], v.uv[0]};
		EXPECT_EQ(got, c.got) << c.why;
	}
}

} // namespace
} // namespace zentarra
