// Decoding vertex-array elements and assembling one display-list vertex.
#pragma once

#include "base/byte_view.h"
#include "model/model.h"

#include <array>
#include <span>

namespace zentarra {

// One component at the cursor: format 0 u8, 1 s8, 2 u16, 3 s16 (each divided
// by 2^shift in double, rounded to float), 4 float (no shift); others as 0.
float ReadCoord(ByteView& file, int format, int shift);

// Consecutive array entries at the cursor, each component as ReadCoord reads
// it: `components` (2 or 3) per position or normal entry, the third 0 when
// only two are stored, and two per texture coordinate.
void ReadCoords(ByteView& file, std::span<Vec3> entries, int components, int format, int shift);
void ReadCoords(ByteView& file, std::span<Vec2> entries, int format, int shift);

// `colours.size()` consecutive colours at the cursor in the colour format
// (0 RGB565, 1 RGB8, 2 RGBX8, 3 RGBA4, 4 RGBA6, 5 and others RGBA8).
void ReadColors(ByteView& file, std::span<Vec4> colours, int format);

// A display list's table of node indices, filled by load-matrix commands.
using MatrixTable = std::array<int, 12>;

// A mesh's vertex layout and array bindings, resolved once so that a display
// list decodes its vertices without looking anything up per vertex.
class VertexDecoder {
public:
	VertexDecoder(const BRMDL& model, const MeshInfo& mesh, const NB& nb);

	// Bytes one vertex takes in the display list (at least 1).
	std::size_t size() const { return size_; }

	// Decodes the size() bytes at `p` into every field of `out` (posedPos and
	// posedNrm become 0). False when an index lies beyond its array (that
	// attribute becomes zeros) or the matrix slot beyond the table (node 0).
	bool Decode(const std::uint8_t* p, const MatrixTable& matrices, Vertex& out) const;

private:
	template <std::size_t N>
	struct Source {
		const std::array<float, N>* entries = nullptr; // null when the mesh names no such array
		std::size_t count = 0;
		int width = 0; // index width in bytes, 0 when the attribute is absent
	};

	std::size_t mtxCount_ = 0;
	Source<3> pos_;
	Source<3> nrm_;
	Source<4> clr_;
	Source<2> uv_;
	std::size_t otherChannels_ = 0; // index bytes of texture channels 1 to 7, passed over
	int node_ = -1;
	std::size_t size_ = 0;
};

// Reads one vertex's indices at the cursor and looks its attributes up in the
// model's arrays; posedPos and posedNrm are not set. Indices beyond their
// array mark the view damaged and give zeros.
Vertex ReadVertex(ByteView& file, const BRMDL& model, const MeshInfo& mesh, const NB& nb, const MatrixTable& matrices);

} // namespace zentarra
