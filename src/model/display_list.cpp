#include "model/display_list.h"

#include "model/vertex_arrays.h"

#include <bit>

namespace zentarra {

namespace {

enum Opcode : std::uint8_t {
	kEnd = 0x00,
	kLoadPositionMatrix = 0x20,
	kLoadNormalMatrix = 0x28,
	kLoadTextureMatrix = 0x30,
	kQuads = 0x80,
	kTriangles = 0x90,
	kStrip = 0x98,
	kFan = 0xA0,
};

constexpr std::uint16_t kRestartAddress = 0xB000; // the first matrix slot: the table starts over

bool IsPrimitive(std::uint8_t opcode)
{
	return opcode == kQuads || opcode == kTriangles || opcode == kStrip || opcode == kFan;
}

// Triangles that n vertices of a primitive make; a trailing partial quad or
// triangle, or a strip or fan of fewer than 3, makes none.
std::size_t TrianglesOf(std::uint8_t opcode, std::size_t n)
{
	switch (opcode) {
	case kQuads:
		return n / 4 * 2;
	case kTriangles:
		return n / 3;
	default:
		return n >= 3 ? n - 2 : 0;
	}
}

bool IsWhole(std::uint8_t opcode, std::size_t n)
{
	switch (opcode) {
	case kQuads:
		return n % 4 == 0;
	case kTriangles:
		return n % 3 == 0;
	default:
		return n >= 3;
	}
}

// Reads a primitive's vertex count and returns how many of those vertices
// the view still holds; a list cut short marks the view.
std::size_t VertexCount(ByteView& file, std::size_t vertexSize)
{
	const std::size_t stated = R16next(file);
	const std::size_t present = file.remaining(file.tell()) / vertexSize;
	if (stated > present) {
		file.markDamaged();
		return present;
	}
	return stated;
}

// Triangles the list will append, from a walk that skips the vertices.
std::size_t CountTriangles(ByteView file, std::uint8_t firstOpcode, std::size_t vertexSize)
{
	std::size_t count = 0;
	for (std::uint8_t opcode = firstOpcode; opcode != kEnd; opcode = R8next(file)) {
		if (opcode == kLoadPositionMatrix || opcode == kLoadNormalMatrix || opcode == kLoadTextureMatrix) {
			file.take(4);
		} else if (IsPrimitive(opcode)) {
			const std::size_t n = VertexCount(file, vertexSize);
			count += TrianglesOf(opcode, n);
			file.take(n * vertexSize);
		}
	}
	return count;
}

class ListReader {
public:
	ListReader(ByteView& file, std::vector<Triangle>& triangles, const BRMDL& model, const MeshInfo& mesh,
		const NB& nb)
		: file_(file), triangles_(triangles), decoder_(model, mesh, nb), vertexSize_(decoder_.size())
	{
	}

	bool Run(std::uint8_t firstOpcode, std::size_t maxTriangles)
	{
		const std::size_t count = CountTriangles(file_, firstOpcode, vertexSize_);
		if (count > maxTriangles)
			return false;
		triangles_.reserve(triangles_.size() + count);
		for (std::uint8_t opcode = firstOpcode; opcode != kEnd; opcode = R8next(file_)) {
			// running into the end of the view reads opcode 0 and marks the view
			switch (opcode) {
			case kLoadPositionMatrix:
				LoadMatrix();
				break;
			case kLoadNormalMatrix:
			case kLoadTextureMatrix:
				file_.take(4); // normals follow the position matrices; texture matrices are not used
				break;
			case kQuads:
			case kTriangles:
			case kStrip:
			case kFan:
				Primitive(opcode);
				break;
			default:
				break; // other commands: their operands are read as opcodes in turn
			}
		}
		if (!sound_)
			file_.markDamaged();
		return true;
	}

private:
	void LoadMatrix()
	{
		const int node = R16next(file_);
		const std::uint16_t address = R16next(file_);
		if (address == kRestartAddress)
			next_ = 0;
		if (next_ < matrices_.size())
			matrices_[next_++] = node;
		else
			sound_ = false; // more loads than the table holds: the extra ones are dropped
	}

	// Decodes the next vertex of the primitive into `out`.
	void Read(Vertex& out)
	{
		sound_ &= decoder_.Decode(p_, matrices_, out);
		p_ += vertexSize_;
	}

	void Primitive(std::uint8_t opcode)
	{
		const std::size_t n = VertexCount(file_, vertexSize_);
		p_ = file_.take(n * vertexSize_); // all there: VertexCount kept only what the view holds
		if (!IsWhole(opcode, n))
			sound_ = false; // the vertices beyond the last whole primitive are passed over
		switch (opcode) {
		case kQuads:
			Quads(n);
			break;
		case kTriangles:
			Triangles(n);
			break;
		case kStrip:
			Strip(n);
			break;
		default:
			Fan(n);
			break;
		}
	}

	// Corners are stored in the reverse of the list's order, so the list's
	// first vertex goes into corner 2. Quads split along the diagonal from
	// their first to their third corner.
	void Quads(std::size_t n)
	{
		Triangle& t = scratch_;
		for (std::size_t i = 0; i + 4 <= n; i += 4) {
			Read(t.v[2]); // (c, b, a)
			Read(t.v[1]);
			Read(t.v[0]);
			triangles_.push_back(t);
			t.v[1] = t.v[0]; // (d, c, a)
			Read(t.v[0]);
			triangles_.push_back(t);
		}
	}

	void Triangles(std::size_t n)
	{
		Triangle& t = scratch_;
		for (std::size_t i = 0; i + 3 <= n; i += 3) {
			Read(t.v[2]); // (c, b, a)
			Read(t.v[1]);
			Read(t.v[0]);
			triangles_.push_back(t);
		}
	}

	// A strip or fan keeps a window of three vertices A, B, C and appends
	// (C, B, A) for each; the scratch triangle is that window, so each step
	// moves one corner and decodes the new vertex in place.
	void Strip(std::size_t n)
	{
		if (n < 3)
			return;
		Triangle& t = scratch_;
		Read(t.v[2]);
		Read(t.v[1]);
		Read(t.v[0]);
		triangles_.push_back(t);
		for (std::size_t i = 3; i < n; ++i) {
			if (i % 2 == 0) {
				t.v[2] = t.v[0]; // A := C, the new vertex into C
				Read(t.v[0]);
			} else {
				t.v[2] = t.v[1]; // A := B, the new vertex into B
				Read(t.v[1]);
			}
			triangles_.push_back(t);
		}
	}

	void Fan(std::size_t n)
	{
		if (n < 3)
			return;
		Triangle& t = scratch_;
		Read(t.v[2]);
		Read(t.v[1]);
		Read(t.v[0]);
		triangles_.push_back(t);
		for (std::size_t i = 3; i < n; ++i) {
			t.v[1] = t.v[0]; // B := C, the new vertex into C
			Read(t.v[0]);
			triangles_.push_back(t);
		}
	}

	ByteView& file_;
	std::vector<Triangle>& triangles_;
	const VertexDecoder decoder_;
	const std::size_t vertexSize_;
	const std::uint8_t* p_ = nullptr; // the current primitive's next vertex
	MatrixTable matrices_{};          // slots never loaded name node 0
	std::size_t next_ = 0;            // write position of the next load
	bool sound_ = true;               // false once an index, a slot or a count was out of line
	Triangle scratch_;                // the triangle being assembled, copied once into the list
};

// Size of a two-bit index field: 0 absent, 1 direct, 2 8-bit, 3 16-bit. Direct
// data is not read, so it counts as absent.
int FieldSize(unsigned field)
{
	return field == 0 ? 0 : int(field) - 1;
}

} // namespace

void SetNB1(std::uint8_t byte, NB& nb)
{
	nb.posSize = int(byte >> 1 & 3) - 1; // -1 absent, 0 direct (read as 8-bit), 1 8-bit, 2 16-bit
	nb.nrmSize = FieldSize(byte >> 3 & 3);
	nb.clrSize = FieldSize(byte >> 5 & 3);
}

void SetNB2(std::uint8_t byte, NB& nb)
{
	// one bit per matrix index: the position matrix's and texture channels 0 to 6
	nb.mtxCount = std::popcount(byte);
}

void SetNB3(std::uint8_t first, std::uint8_t second, NB& nb)
{
	for (int k = 0; k < 4; ++k) {
		nb.texSize[k] = FieldSize(unsigned(second) >> (2 * k) & 3);
		nb.texSize[k + 4] = FieldSize(unsigned(first) >> (2 * k) & 3);
	}
}

bool ReadPolygonData(ByteView& file, std::uint8_t firstOpcode, std::vector<Triangle>& triangles, const BRMDL& model,
	const MeshInfo& mesh, const NB& nb, std::size_t maxTriangles)
{
	return ListReader(file, triangles, model, mesh, nb).Run(firstOpcode, maxTriangles);
}

void AddTriangle(std::vector<Triangle>& triangles, const Vertex& first, const Vertex& second, const Vertex& third)
{
	triangles.push_back(Triangle{{first, second, third}});
}

} // namespace zentarra
