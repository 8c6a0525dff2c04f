#include "model/vertex_arrays.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <vector>

namespace zentarra {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Coord {
	Bytes bytes;
	int format;
	int shift;
	float expected;
	std::size_t width;
};

TEST(ReadCoord, EveryFormat)
{
	const Coord cases[] = {
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
	};
	for (const Coord& c : cases) {
		ByteView file(c.bytes);
		EXPECT_EQ(ReadCoord(file, c.format, c.shift), c.expected) << "format " << c.format;
		EXPECT_EQ(file.tell(), c.width) << "format " << c.format;
		EXPECT_FALSE(file.damaged());
	}
}

TEST(ReadCoord, LargeShiftsDivideInDouble)
{
	// 2^130 overflows a float; in double the quotient is a float subnormal
	const Bytes one = {1};
	ByteView file(one);
	EXPECT_EQ(ReadCoord(file, 0, 130), std::ldexp(1.0f, -130));
	file.seek(0);
	EXPECT_EQ(ReadCoord(file, 0, 149), std::ldexp(1.0f, -149));
	file.seek(0);
	EXPECT_EQ(ReadCoord(file, 0, 255), 0.0f); // below every float: rounds to zero
	const Bytes three = {3};
	ByteView odd(three);
	EXPECT_EQ(ReadCoord(odd, 0, 150), std::ldexp(1.0f, -148)); // 1.5 x 2^-149, exact in double, rounds to even
}

TEST(ReadCoord, PastTheEndGivesZeroAndMarksTheView)
{
	const Bytes bytes = {0x3F, 0x80};
	ByteView file(bytes);
	EXPECT_EQ(ReadCoord(file, 4, 0), 0.0f);
	EXPECT_TRUE(file.damaged());
}

TEST(ReadCoords, RunsDecodeLikeSingleComponents)
{
	// the same bytes through ReadCoord one by one and through a run, in every format
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
}

TEST(ReadCoords, TwoComponentsAndTruncatedRuns)
{
	const Bytes bytes = {1, 2, 3, 4, 5};
	std::vector<Vec3> xy(2);
	ByteView file(bytes);
	ReadCoords(file, xy, 2, 0, 0);
	EXPECT_EQ(xy[0], (Vec3{1, 2, 0}));
	EXPECT_EQ(xy[1], (Vec3{3, 4, 0}));
	EXPECT_EQ(file.tell(), 4u);
	EXPECT_FALSE(file.damaged());

	std::vector<Vec2> st(3);
	ByteView cut(bytes);
	ReadCoords(cut, st, 0, 1);
	EXPECT_EQ(st[0], (Vec2{0.5f, 1.0f}));
	EXPECT_EQ(st[2], (Vec2{2.5f, 0.0f})); // what the view holds is kept, the rest is 0
	EXPECT_TRUE(cut.damaged());
}

std::vector<Vec4> Colours(const Bytes& bytes, int format, std::size_t count, std::size_t expectedEnd)
{
	std::vector<Vec4> colours(count);
	ByteView file(bytes);
	ReadColors(file, colours, format);
	EXPECT_EQ(file.tell(), expectedEnd) << "format " << format;
	EXPECT_FALSE(file.damaged()) << "format " << format;
	return colours;
}

TEST(ReadColors, EveryFormat)
{
	// RGB565
	EXPECT_EQ(Colours({0xF8, 0x00}, 0, 1, 2)[0], (Vec4{1.0f, 0.0f, 0.0f, 1.0f}));
	EXPECT_EQ(Colours({0x07, 0xE0}, 0, 1, 2)[0], (Vec4{0.0f, 1.0f, 0.0f, 1.0f}));
	EXPECT_EQ(Colours({0x84, 0x10}, 0, 1, 2)[0], (Vec4{float(16.0 / 31.0), float(32.0 / 63.0), float(16.0 / 31.0), 1.0f}));
	// RGB8
	EXPECT_EQ(Colours({0xFF, 0x00, 0x80}, 1, 1, 3)[0], (Vec4{1.0f, 0.0f, float(128.0 / 255.0), 1.0f}));
	// RGBX8: the fourth byte is not alpha
	EXPECT_EQ(Colours({0x10, 0x20, 0x30, 0x40}, 2, 1, 4)[0],
		(Vec4{float(16.0 / 255.0), float(32.0 / 255.0), float(48.0 / 255.0), 1.0f}));
	// RGBA4
	EXPECT_EQ(Colours({0x8F, 0x0F}, 3, 1, 2)[0], (Vec4{float(8.0 / 15.0), 1.0f, 0.0f, 1.0f}));
	// RGBA6
	EXPECT_EQ(Colours({0xFC, 0x0F, 0xC0}, 4, 1, 3)[0], (Vec4{1.0f, 0.0f, 1.0f, 0.0f}));
	EXPECT_EQ(Colours({0x03, 0xF0, 0x3F}, 4, 1, 3)[0], (Vec4{0.0f, 1.0f, 0.0f, 1.0f}));
	// RGBA8, and every unknown format as RGBA8
	EXPECT_EQ(Colours({0x00, 0xFF, 0x33, 0x66}, 5, 1, 4)[0],
		(Vec4{0.0f, 1.0f, float(51.0 / 255.0), float(102.0 / 255.0)}));
	EXPECT_EQ(Colours({0x00, 0xFF, 0x33, 0x66}, 9, 1, 4)[0],
		(Vec4{0.0f, 1.0f, float(51.0 / 255.0), float(102.0 / 255.0)}));
}

TEST(ReadColors, ConsecutiveColoursAndTruncation)
{
	const std::vector<Vec4> two = Colours({0xF8, 0x00, 0x00, 0x1F}, 0, 2, 4);
	EXPECT_EQ(two[0], (Vec4{1.0f, 0.0f, 0.0f, 1.0f}));
	EXPECT_EQ(two[1], (Vec4{0.0f, 0.0f, 1.0f, 1.0f}));

	const Bytes short_ = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
	std::vector<Vec4> colours(2);
	ByteView file(short_);
	ReadColors(file, colours, 5);
	EXPECT_EQ(colours[0], (Vec4{1, 1, 1, 1}));
	EXPECT_EQ(colours[1], (Vec4{0, 0, 0, 0})); // the missing colour reads as zeros
	EXPECT_TRUE(file.damaged());
}

// A model with recognisable entries: position i is (i, 10 + i, 20 + i),
// normal i is (0, 0, -i), colour i has red i/10, uv i is (i, -i).
BRMDL SmallModel(int entries)
{
	BRMDL model;
	model.nVtx = model.nNrm = model.nClr = model.nUV = 1;
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
	model.nUV = 2;
	return model;
}

MeshInfo BoundTo(int node)
{
	MeshInfo mesh;
	mesh.vtxArray = 0;
	mesh.nrmArray = 0;
	mesh.clrArray = 0;
	mesh.uvArray[0] = 0;
	mesh.uvArray[1] = 1;
	mesh.node = node;
	return mesh;
}

TEST(ReadVertex, AttributesFromTheArrays)
{
	const BRMDL model = SmallModel(300);
	NB nb;
	nb.posSize = 2;
	nb.nrmSize = 1;
	nb.clrSize = 1;
	nb.texSize[0] = 2;
	nb.texSize[2] = 1; // read and passed over
	const MatrixTable matrices{};
	const Bytes bytes = {0x01, 0x0A, 7, 5, 0x00, 0x03, 0xEE, 0x42};
	ByteView file(bytes);
	const Vertex v = ReadVertex(file, model, BoundTo(-1), nb, matrices);
	EXPECT_EQ(file.tell(), 7u);
	EXPECT_FALSE(file.damaged());
	EXPECT_EQ(v.posIndex, 266);
	EXPECT_EQ(v.pos[0], 266.0f);
	EXPECT_EQ(v.pos[1], 276.0f);
	EXPECT_EQ(v.pos[2], 286.0f);
	EXPECT_EQ(v.nrmIndex, 7);
	EXPECT_EQ(v.nrm[2], -7.0f);
	EXPECT_EQ(v.color[0], 0.5f);
	EXPECT_EQ(v.color[3], 1.0f);
	EXPECT_EQ(v.uvIndex, 3);
	EXPECT_EQ(v.uv[0], 3.0f);
	EXPECT_EQ(v.uv[1], -3.0f);
	EXPECT_EQ(v.posedPos[0], 0.0f); // left for skinning
}

TEST(ReadVertex, AbsentAttributesKeepTheirDefaults)
{
	const BRMDL model = SmallModel(4);
	NB nb;
	nb.posSize = 1;
	const MatrixTable matrices{};
	const Bytes bytes = {3, 0x99};
	ByteView file(bytes);
	const Vertex v = ReadVertex(file, model, BoundTo(-1), nb, matrices);
	EXPECT_EQ(file.tell(), 1u);
	EXPECT_EQ(v.pos[0], 3.0f);
	EXPECT_EQ(v.nrmIndex, -2);
	EXPECT_EQ(v.nrm[0], 0.0f);
	EXPECT_EQ(v.nrm[1], 0.0f);
	EXPECT_EQ(v.nrm[2], 0.0f);
	EXPECT_EQ(v.color[0], 1.0f);
	EXPECT_EQ(v.color[3], 1.0f);
	EXPECT_EQ(v.uvIndex, -1);
	EXPECT_EQ(v.uv[0], 0.0f);
	EXPECT_EQ(v.uv[1], 0.0f);

	// a position without an index width (absent or direct) still reads one byte
	for (int posSize : {-1, 0}) {
		nb.posSize = posSize;
		ByteView again(bytes);
		EXPECT_EQ(ReadVertex(again, model, BoundTo(-1), nb, matrices).posIndex, 3);
		EXPECT_EQ(again.tell(), 1u);
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
	const Bytes bytes = {6, 0xAA, 1};
	{
		ByteView file(bytes);
		const Vertex v = ReadVertex(file, model, BoundTo(-1), nb, matrices);
		EXPECT_EQ(file.tell(), 3u); // both matrix bytes, then the position
		EXPECT_EQ(v.node, 41);      // 6 / 3 = slot 2
		EXPECT_EQ(v.posIndex, 1);
	}
	{
		ByteView file(bytes);
		EXPECT_EQ(ReadVertex(file, model, BoundTo(5), nb, matrices).node, 5); // whatever matrix it carries
		EXPECT_FALSE(file.damaged());
	}
	{
		const Bytes last = {35, 0, 1}; // slot 11
		ByteView file(last);
		EXPECT_EQ(ReadVertex(file, model, BoundTo(-1), nb, matrices).node, 43);
		EXPECT_FALSE(file.damaged());
	}
	{
		const Bytes beyond = {36, 0, 1}; // slot 12: past the table
		ByteView file(beyond);
		EXPECT_EQ(ReadVertex(file, model, BoundTo(-1), nb, matrices).node, 0);
		EXPECT_TRUE(file.damaged());
	}
	{
		// no matrix index at all: slot 0
		nb.mtxCount = 0;
		matrices[0] = 17;
		const Bytes plain = {1};
		ByteView file(plain);
		EXPECT_EQ(ReadVertex(file, model, BoundTo(-1), nb, matrices).node, 17);
	}
}

TEST(ReadVertex, IndicesBeyondTheirArraysGiveZeros)
{
	const BRMDL model = SmallModel(4);
	NB nb;
	nb.posSize = 1;
	nb.nrmSize = 1;
	nb.clrSize = 1;
	nb.texSize[0] = 1;
	const MatrixTable matrices{};
	{
		const Bytes bytes = {4, 1, 2, 3}; // position 4 of 4
		ByteView file(bytes);
		const Vertex v = ReadVertex(file, model, BoundTo(-1), nb, matrices);
		EXPECT_TRUE(file.damaged());
		EXPECT_EQ(v.posIndex, 4);
		EXPECT_EQ(v.pos[1], 0.0f);
		EXPECT_EQ(v.nrm[2], -1.0f); // the others are still looked up
		EXPECT_EQ(v.uv[0], 3.0f);
		EXPECT_EQ(file.tell(), 4u);
	}
	{
		const Bytes bytes = {1, 1, 200, 3};
		ByteView file(bytes);
		const Vertex v = ReadVertex(file, model, BoundTo(-1), nb, matrices);
		EXPECT_TRUE(file.damaged());
		EXPECT_EQ(v.color[0], 0.0f);
		EXPECT_EQ(v.color[3], 0.0f);
		EXPECT_EQ(v.pos[0], 1.0f);
	}
	{
		// a binding to an array the model does not have
		MeshInfo mesh = BoundTo(-1);
		mesh.nrmArray = 0xFFFF;
		const Bytes bytes = {1, 1, 1, 1};
		ByteView file(bytes);
		const Vertex v = ReadVertex(file, model, mesh, nb, matrices);
		EXPECT_TRUE(file.damaged());
		EXPECT_EQ(v.nrmIndex, 1);
		EXPECT_EQ(v.nrm[2], 0.0f);
	}
	{
		const Bytes bytes = {1, 1}; // the list ends inside the vertex
		ByteView file(bytes);
		const Vertex v = ReadVertex(file, model, BoundTo(-1), nb, matrices);
		EXPECT_TRUE(file.damaged());
		EXPECT_EQ(v.pos[0], 1.0f);
		EXPECT_EQ(v.uvIndex, 0); // read as 0 past the end
	}
}

} // namespace
} // namespace zentarra
