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

// `colours.size()` consecutive colours at the cursor in the colour format
// (0 RGB565, 1 RGB8, 2 RGBX8, 3 RGBA4, 4 RGBA6, 5 and others RGBA8).
void ReadColors(ByteView& file, std::span<Vec4> colours, int format);

// A display list's table of node indices, filled by load-matrix commands.
using MatrixTable = std::array<int, 12>;

// Reads one vertex's indices at the cursor and looks its attributes up in the
// model's arrays; posedPos and posedNrm are not set. Indices beyond their
// array mark the view damaged and give zeros.
Vertex ReadVertex(ByteView& file, const BRMDL& model, const MeshInfo& mesh, const NB& nb, const MatrixTable& matrices);

} // namespace zentarra
